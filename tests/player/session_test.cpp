// The player's rules without a window: open and convert, the transport, speed, volume, the
// time display, the end of playback and Close On Finish, hand-overs and Save As.
#include <QDir>
#include <QFile>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iterator>

#include "platform/qt/settings.h"
#include "platform/wave_out.h"
#include "player/voice_measure_loader.h"
#include "sound/background_conversion.h"
#include "tests/player/player_fixture.h"

namespace playertest {
namespace {

// A GSM WAVE file made by sox: seconds of a 300 Hz sine at volume (of full scale); empty
// when sox fails.
std::string MakeLongGsm(const testutil::TempDir& dir, int seconds, double volume) {
    const std::string gsm = dir.File("long-gsm.wav");
    const std::string make = "sox -n -r 8000 -c 1 -e gsm-full-rate " + gsm + " synth " +
                             std::to_string(seconds) + " sine 300 vol " + std::to_string(volume) +
                             " 2>/dev/null";
    return std::system(make.c_str()) == 0 ? gsm : std::string();
}

TEST_F(SessionTest, OpensPlaysPausesResumesAndStops) {
    const std::string path = MakeWave("message.wav", 65400);
    EXPECT_EQ(session->GetDisplay().fileName, "<No File Opened>");
    session->Pause();  // nothing loaded: nothing happens
    EXPECT_FALSE(session->HasPlayer());

    session->OpenSource(Q(path));
    ASSERT_TRUE(reports.empty()) << reports.front().message.toStdString();
    EXPECT_EQ(session->State(), Playing);
    EXPECT_EQ(session->SourceName(), "message.wav");
    EXPECT_EQ(session->GetDisplay().fileName, "message.wav");
    EXPECT_TRUE(session->GetDisplay().pauseShown);

    session->TogglePlayPause();
    EXPECT_EQ(session->State(), Paused);
    EXPECT_FALSE(session->GetDisplay().pauseShown);
    session->TogglePlayPause();
    EXPECT_EQ(session->State(), Playing);

    session->Stop();
    EXPECT_FALSE(session->HasPlayer());
    EXPECT_EQ(session->GetDisplay().time, "00:00 / 01:05");
    EXPECT_FALSE(session->GetDisplay().pauseShown);
    session->Stop();  // a second stop clears the duration too
    EXPECT_EQ(session->GetDisplay().time, "00:00 / 00:00");

    session->Play();  // the same recording again, from the start
    EXPECT_EQ(session->State(), Playing);
    EXPECT_LT(session->PositionMs(), 1000u);
}

TEST_F(SessionTest, FastBackAndForwardJumpATenth) {
    session->OpenSource(Q(MakeWave("ten.wav", 10000)));
    session->Pause();  // the position holds still while paused
    session->Seek(500);
    session->FastBack();  // 0.5 s - 1 s: the start
    EXPECT_EQ(session->PositionMs(), 0u);
    session->Seek(4000);
    session->FastBack();
    EXPECT_EQ(session->PositionMs(), 3000u);
    session->FastForward();
    EXPECT_EQ(session->PositionMs(), 4000u);
    session->Seek(9500);
    session->FastForward();  // 10.5 s is past the end: one second before the end
    EXPECT_EQ(session->PositionMs(), 9000u);
    EXPECT_EQ(session->State(), Paused);

    session->Skip(-5000);
    EXPECT_EQ(session->PositionMs(), 4000u);
    session->Skip(-5000);  // not before the start
    EXPECT_EQ(session->PositionMs(), 0u);
    session->Skip(12000);  // past the end: one second before it
    EXPECT_EQ(session->PositionMs(), 9000u);

    session->OpenSource(Q(MakeWave("short.wav", 600)));
    session->Pause();
    session->Seek(580);
    session->FastForward();  // past the end of a recording under a second: the start
    EXPECT_EQ(session->PositionMs(), 0u);
}

TEST_F(SessionTest, SpeedCarriesOverToTheNextRecordingAndTheNextStart) {
    session->CycleSpeed();  // nothing loaded: chosen for the first Play
    EXPECT_EQ(session->GetDisplay().speed, "x2");
    session->OpenSource(Q(MakeWave("first.wav", 5000)));
    EXPECT_EQ(session->GetDisplay().speed, "x2");
    session->CycleSpeed();
    EXPECT_EQ(session->GetDisplay().speed, "x3");

    // A new recording plays at the chosen speed, and the display says so.
    session->OpenSource(Q(MakeWave("second.wav", 5000)));
    EXPECT_EQ(session->GetDisplay().speed, "x3");
    session->CycleSpeed();
    EXPECT_EQ(session->GetDisplay().speed, "");  // back to 1
    session->CycleSpeed();

    session->StepSpeed(+1);
    EXPECT_EQ(session->GetDisplay().speed, "x2.25");

    Restart();
    session->OpenSource(Q(MakeWave("third.wav", 5000)));
    EXPECT_EQ(session->Speed(), 2.25);
    EXPECT_EQ(session->GetDisplay().speed, "x2.25");
    session->Stop();
    EXPECT_EQ(session->GetDisplay().speed, "x2.25");  // still what the next Play uses
}

TEST_F(SessionTest, SpeedStepsByQuartersBetweenOneAndThree) {
    session->OpenSource(Q(MakeWave("steps.wav", 5000)));
    session->StepSpeed(-1);  // already at 1x
    EXPECT_EQ(session->Speed(), 1.0);
    session->StepSpeed(+1);
    session->StepSpeed(+1);
    EXPECT_EQ(session->GetDisplay().speed, "x1.5");
    session->CycleSpeed();  // from the whole rate the device reports, 1: to 2
    EXPECT_EQ(session->GetDisplay().speed, "x2");
    session->SetSpeed(2.8);  // the nearest quarter
    EXPECT_EQ(session->Speed(), 2.75);
    session->SetSpeed(9);
    EXPECT_EQ(session->Speed(), 3.0);
    session->StepSpeed(+1);  // already at 3x
    EXPECT_EQ(session->GetDisplay().speed, "x3");
    EXPECT_EQ(ReadSpeed(), 3.0);
}

TEST_F(SessionTest, VolumeReadsRoundedToTensStepsWithinBoundsAndIsRemembered) {
    auto low = [](uint32_t percent) {  // the smallest low word at percent of the maximum
        return static_cast<uint32_t>((65535ull * percent + 99) / 100);
    };
    WaveOutSetVolume(low(55));
    EXPECT_EQ(PlayerSession::ReadVolumePercent(), 50u);  // a remainder of 5 rounds down
    WaveOutSetVolume(low(56));
    EXPECT_EQ(PlayerSession::ReadVolumePercent(), 60u);
    WaveOutSetVolume(0xFFFF0000);  // only the low word (left) counts
    EXPECT_EQ(PlayerSession::ReadVolumePercent(), 0u);

    WaveOutSetVolume(0xFFFFFFFF);
    Restart();
    session->VolumeUp();  // at the top: nothing
    EXPECT_EQ(WaveOutGetVolume(), 0xFFFFFFFFu);
    session->VolumeDown();
    EXPECT_EQ(session->GetDisplay().volume, "90%");
    EXPECT_EQ(WaveOutGetVolume(), (65535u * 90 / 100) * 0x10001u);  // both channels
    for (int i = 0; i < 9; ++i) session->VolumeDown();
    EXPECT_EQ(WaveOutGetVolume() & 0xFFFF, 1u);  // 0 % sends 1
    session->VolumeDown();                       // at the bottom: nothing
    EXPECT_EQ(session->GetDisplay().volume, "0%");

    WaveOutSetVolume(0x7FFF7FFF);  // changed elsewhere: the tick shows it
    session->Tick();
    EXPECT_EQ(session->GetDisplay().volume, "50%");

    // A volume given from outside goes to the nearest ten, within 0 to 100.
    session->SetVolumePercent(34.9);
    EXPECT_EQ(session->GetDisplay().volume, "30%");
    EXPECT_EQ(WaveOutGetVolume(), (65535u * 30 / 100) * 0x10001u);
    session->SetVolumePercent(35);
    EXPECT_EQ(session->VolumePercent(), 40u);
    session->SetVolumePercent(-5);
    EXPECT_EQ(session->VolumePercent(), 0u);
    session->SetVolumePercent(250);
    EXPECT_EQ(session->VolumePercent(), 100u);
    session->SetVolumePercent(std::nan(""));
    EXPECT_EQ(ReadVolume(), 100u);

    // The next start applies the stored volume, rounded down to tens.
    WriteVolume(47);
    Restart();
    EXPECT_EQ(session->VolumePercent(), 40u);
}

TEST_F(SessionTest, TimeDisplayShowsHoursOnceTheRecordingReachesAnHour) {
    EXPECT_EQ(PlayerSession::TimeText(61, 125), "01:01 / 02:05");
    EXPECT_EQ(PlayerSession::TimeText(6059, 6060), "1:40:59 / 1:41:00");
    EXPECT_EQ(PlayerSession::TimeText(0, 3600), "0:00:00 / 1:00:00");
    EXPECT_EQ(PlayerSession::TimeText(61, 125, /*timeLeft=*/true), "-01:04 / 02:05");

    session->OpenSource(Q(MakeWave("long.wav", 125000)));
    session->Pause();
    session->Seek(61000);
    session->Tick();
    EXPECT_EQ(session->GetDisplay().time, "01:01 / 02:05");
    session->ToggleTimeLeft();
    EXPECT_EQ(session->GetDisplay().time, "-01:04 / 02:05");
}

TEST_F(SessionTest, EndOfPlaybackStopsAndAsksToCloseOnlyWithCloseOnFinish) {
    int closes = 0;
    QObject::connect(session.get(), &PlayerSession::CloseRequested, [&] { ++closes; });
    session->OpenSource(Q(MakeWave("end.wav", 300)));
    ASSERT_TRUE(WaitUntil([&] {
        session->Tick();
        return !session->HasPlayer();
    }));
    EXPECT_EQ(session->GetDisplay().time, "00:00 / 00:00");
    EXPECT_EQ(closes, 0);

    session->SetCloseOnFinish(true);
    EXPECT_TRUE(ReadCloseOnFinish());
    session->Play();
    ASSERT_TRUE(WaitUntil([&] {
        session->Tick();
        return !session->HasPlayer();
    }));
    EXPECT_EQ(closes, 1);
}

TEST_F(SessionTest, CloseOnFinishWaitsForAnOpenDialogAndANewRecordingCancelsIt) {
    int closes = 0;
    QObject::connect(session.get(), &PlayerSession::CloseRequested, [&] { ++closes; });
    session->SetCloseOnFinish(true);
    auto playToTheEnd = [&] {
        session->OpenSource(Q(MakeWave("end.wav", 300)));
        return WaitUntil([&] {
            session->Tick();
            return !session->HasPlayer();
        });
    };
    session->DialogOpened();
    ASSERT_TRUE(playToTheEnd());
    EXPECT_EQ(closes, 0);  // the dialog is still open
    session->DialogClosed();
    EXPECT_EQ(closes, 1);

    session->DialogOpened();
    ASSERT_TRUE(playToTheEnd());
    session->OpenSource(Q(MakeWave("new.wav", 3000)));  // picked in the dialog: it plays
    session->DialogClosed();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(session->State(), Playing);
}

TEST_F(SessionTest, StartTextWithATagPlaysUnderItsName) {
    const std::string path = MakeWave("start.wav", 3000);
    session->Start(Q(path) + "<cvnm:Voicemail from Bob>");
    EXPECT_EQ(session->State(), Playing);
    EXPECT_EQ(session->SourcePath(), Q(path));
    EXPECT_EQ(session->GetDisplay().fileName, "Voicemail from Bob");
}

TEST_F(SessionTest, FailedOpenKeepsThePreviousRecordingAndNamesTheFile) {
    const std::string good = MakeWave("good.wav", 3000);
    const std::string bad = dir.File("bad.wav");
    testutil::WriteFile(bad, testutil::Bytes(100, 0x55));
    session->OpenSource(Q(good), "Ann");

    session->OpenSource(Q(bad));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, "Invalid wav header.");
    EXPECT_EQ(reports[0].detail, Q(bad));
    EXPECT_FALSE(reports[0].stopIcon);
    EXPECT_FALSE(session->HasPlayer());
    EXPECT_EQ(session->SourcePath(), Q(good));
    EXPECT_EQ(session->GetDisplay().fileName, "Ann");
    EXPECT_EQ(QDir(Q(dir.File("private"))).entryList(QDir::Files), QStringList{"cvtemp.wav"});

    session->Play();
    EXPECT_EQ(session->State(), Playing);
    EXPECT_EQ(session->DurationMs(), 3000u);
}

// The name line names what Play plays: a hand-over whose open failed shows nothing of its own.
TEST_F(SessionTest, FailedHandOverKeepsTheNameOfWhatPlays) {
    session->OpenSource(Q(MakeWave("good.wav", 3000)));
    session->HandOver(Q(dir.File("gone.wav")) + "<cvnm:Gone>");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(session->GetDisplay().fileName, "good.wav");
    session->Play();
    EXPECT_EQ(session->SourceName(), "good.wav");
}

TEST_F(SessionTest, AHandOverDuringAnErrorBoxKeepsItsOwnLabel) {
    const std::string newer = MakeWave("newer.wav", 3000);
    // While the box for the failed open is up, a second hand-over arrives and plays.
    session->SetReporter([&](const PlayerSession::Report& r) {
        reports.push_back(r);
        if (reports.size() == 1) session->HandOver(Q(newer) + "<cvnm:Newer>");
    });
    session->HandOver(Q(dir.File("gone.wav")) + "<cvnm:Older>");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(session->SourcePath(), Q(newer));
    EXPECT_EQ(session->GetDisplay().fileName, "Newer");
}

TEST_F(SessionTest, SaveAsProposesTheNameBeforeTheLastDotAndGuardsThePlayersFiles) {
    EXPECT_FALSE(session->SaveAsQuestion());  // nothing open
    const std::string source = MakeWave("memo.old.wav", 700);
    session->OpenSource(Q(source));
    const auto q = session->SaveAsQuestion();
    ASSERT_TRUE(q);
    EXPECT_EQ(q->base, "memo.old");
    EXPECT_EQ(q->filter, "Sound File (*.wav)");
    EXPECT_EQ(q->suffix, "wav");
    session->OpenSource(Q(MakeWave("recording", 300)));
    EXPECT_EQ(session->SaveAsQuestion()->base, "");
    EXPECT_EQ(session->SaveAsQuestion()->filter, "Sound File (*.recording)");
    session->OpenSource(Q(MakeWave("odd.w(a)v", 300)));  // breaks the filter syntax
    EXPECT_EQ(session->SaveAsQuestion()->filter, "Sound File (*)");
    EXPECT_EQ(session->SaveAsQuestion()->suffix, "");

    const std::string copy = dir.File("copy.wav");
    testutil::WriteFile(copy, testutil::Bytes(10, 1));
    session->SaveCopy(Q(source), Q(copy));  // the source itself, not the PCM, replacing
    EXPECT_EQ(testutil::ReadFile(copy), testutil::ReadFile(source));
    session->SaveCopy(Q(source), Q(source));  // onto itself: untouched, nothing said
    EXPECT_TRUE(reports.empty());

    const testutil::Bytes pcm = testutil::ReadFile(TempPath().toStdString());
    for (const QString& own : {session->TempPath(), Q(dir.File("private/other.wav")),
                               Q(dir.File("no/such/folder/x.wav"))}) {
        session->SaveCopy(Q(source), own);
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back().message, "Cannot save file " + own);
        EXPECT_FALSE(reports.back().detail.isEmpty());  // and why
    }
    EXPECT_EQ(testutil::ReadFile(TempPath().toStdString()), pcm);
    session->SetReporter(nullptr);  // no window to tell: the refusal goes unsaid
    session->SaveCopy(Q(source), session->TempPath());
    EXPECT_EQ(testutil::ReadFile(TempPath().toStdString()), pcm);
}

// A copy for sharing is the decoded recording, also one still being decoded when it is
// asked for, encoded off the window's thread; a later open does not change it. A copy that
// cannot be written, or would replace the recording, is reported and leaves nothing.
TEST_F(SessionTest, ASharedCopyIsTheWholeDecodedRecording) {
    EXPECT_EQ(PlayerSession::SharedCopyName(Q("a/memo.old"), ShareFormat::kOpus),
              "a/memo.old.opus");
    EXPECT_EQ(PlayerSession::SharedCopyName(Q("memo.FLAC"), ShareFormat::kFlac), "memo.FLAC");
    for (const QString& filter : PlayerSession::ShareFilters()) {
        const std::optional<ShareFormat> format = PlayerSession::ShareFilterFormat(filter);
        ASSERT_TRUE(format);
        EXPECT_TRUE(filter.contains(QStringLiteral("(*.%1)").arg(ShareFormatExtension(*format))));
    }
    const std::string gsm = MakeLongGsm(dir, 600, 0.2);
    ASSERT_FALSE(gsm.empty()) << "sox failed";
    session->OpenSource(Q(gsm));
    ASSERT_TRUE(session->Converting());
    std::vector<QString> ended;
    QObject::connect(session.get(), &PlayerSession::SharedCopyEnded,
                     [&](const QString& destination) { ended.push_back(destination); });
    const auto samples = [&](const std::string& flac) {
        const std::string raw = flac + ".raw";
        EXPECT_EQ(std::system(("flac -s -d -f --force-raw-format --endian=little --sign=signed "
                               "-o " +
                               raw + " " + flac)
                                  .c_str()),
                  0);
        return std::filesystem::exists(raw) ? std::filesystem::file_size(raw) / 2 : 0;
    };
    // Waiting for the conversion; then with the conversion cancelled by a newer open.
    for (const bool reopened : {false, true}) {
        if (reopened) session->OpenSource(Q(gsm));
        const std::string flac = dir.File(reopened ? "reopened.flac" : "copy.flac");
        session->SaveSharedCopy(Q(flac), ShareFormat::kFlac);
        if (reopened) session->OpenSource(Q(MakeWave("other.wav", 300)));
        ASSERT_TRUE(WaitUntil([&] { return ended.size() == 1; }, 15000));
        ended.clear();
        EXPECT_TRUE(reports.empty()) << reports.front().detail.toStdString();
        EXPECT_EQ(samples(flac), 600u * 8000) << reopened;
    }

    const std::string other = dir.File("other.wav");
    const testutil::Bytes before = testutil::ReadFile(other);
    for (const QString& refused : {Q(other), Q(dir.File("no/such/folder/x.opus"))}) {
        reports.clear();
        ended.clear();
        session->SaveSharedCopy(refused, ShareFormat::kOpus);
        WaitUntil([&] { return !session->SavingCopy(); });
        ASSERT_EQ(reports.size(), 1u) << refused.toStdString();
        EXPECT_EQ(reports[0].message, "Cannot save file " + refused);
        EXPECT_FALSE(reports[0].detail.isEmpty());
    }
    EXPECT_EQ(testutil::ReadFile(other), before);
}

// A long message plays at once: the open returns while it is still being decoded, with its
// whole length known, and a seek past the decoded part lands where it was asked to.
TEST_F(SessionTest, ALongMessagePlaysWhileItIsDecoded) {
    const std::string gsm = MakeLongGsm(dir, 1800, 0.2);
    ASSERT_FALSE(gsm.empty()) << "sox failed";
    session->OpenSource(Q(gsm));
    ASSERT_TRUE(reports.empty());
    EXPECT_TRUE(session->Converting());
    EXPECT_EQ(session->State(), Playing);
    EXPECT_EQ(session->DurationMs(), 1800000u);
    session->Seek(1790000);
    EXPECT_EQ(session->PositionMs(), 1790000u);
    ASSERT_TRUE(WaitUntil([&] { return !session->Converting(); }, 60000));
    EXPECT_GE(session->PositionMs(), 1790000u);
    EXPECT_EQ(session->State(), Playing);
    EXPECT_TRUE(reports.empty());

    // A newer open while one converts: the earlier conversion goes, with its file.
    session->OpenSource(Q(gsm));
    ASSERT_TRUE(session->Converting());
    session->OpenSource(Q(MakeWave("short.wav", 500)));
    EXPECT_FALSE(session->Converting());
    EXPECT_EQ(session->SourceName(), "short.wav");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "private"),
                            std::filesystem::directory_iterator()),
              1);  // the recording alone
}

TEST_F(SessionTest, VoiceToolsAreRememberedAndSkippedSilenceIsShownAsTimeSaved) {
    session->SetSkipSilence(true);
    session->SetLevelVoice(true);
    session->SetLevelVoice(false);
    Restart();
    EXPECT_TRUE(session->Tools().skipSilence);
    EXPECT_FALSE(session->Tools().level);

    // Two spoken phrases 3 s apart: 2.75 s saved, shown in whole seconds.
    const std::vector<int16_t> tone = testutil::VoiceMessage(dir, {3000}, -70);
    ASSERT_FALSE(tone.empty()) << "espeak-ng or sox failed";
    const std::string path = dir.File("pause.wav");
    testutil::WritePcmWave(path, tone);
    session->OpenSource(Q(path));
    const uint32_t duration = session->DurationMs();
    EXPECT_EQ(duration, tone.size() / 8);
    ASSERT_TRUE(WaitUntil(
        [&] {
            session->Tick();
            return !session->HasPlayer();
        },
        20000));
    EXPECT_EQ(session->GetDisplay().saved, PlayerSession::SavedText(2750));
    EXPECT_EQ(session->GetDisplay().time, PlayerSession::TimeText(0, duration / 1000));
}

TEST_F(SessionTest, AMessageIsMeasuredWhileItIsDecodedAndThenWhole) {
    const std::string gsm = MakeLongGsm(dir, 900, 0.05);
    ASSERT_FALSE(gsm.empty()) << "sox failed";
    const std::string out = dir.File("out.wav");
    BackgroundConversion conversion(gsm, out);
    ASSERT_TRUE(conversion.Progress()->WaitForHeader(std::chrono::seconds(5)));
    VoiceMeasureLoader loader;
    std::vector<std::pair<uint64_t, bool>> seen;  // frames measured, final
    QObject::connect(&loader, &VoiceMeasureLoader::LevelsChanged,
                     [&] { seen.emplace_back(loader.Levels()->frames, loader.Final()); });
    loader.Load(Q(out), conversion.Progress());
    ASSERT_TRUE(WaitUntil([&] { return loader.Final(); }, 60000));
    ASSERT_GE(seen.size(), 2u);
    EXPECT_FALSE(seen.front().second);
    EXPECT_LT(seen.front().first, seen.back().first);
    EXPECT_EQ(seen.back().first, 900u * 8000);
    // A sine at 0.05 of full scale: -29 dBFS RMS, about -32 LUFS at 300 Hz.
    EXPECT_NEAR(loader.Levels()->loudnessLufs, -29.0 - 3.0, 1.5);
}

}  // namespace
}  // namespace playertest
