// The player window's transport, timer, volume and open flow.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTest>

#include "platform/qt/settings.h"
#include "platform/wave_out.h"
#include "tests/player/player_fixture.h"

namespace playertest {
namespace {

using PlayerDialogTest = PlayerTest;

TEST_F(PlayerDialogTest, OpensPlaysPausesResumesAndStops) {
    const std::string path = MakeWave("message.wav", 65400);
    dialog->OnInitDialog();
    EXPECT_EQ(dialog->ControlText(kIdFileName), "<No File Opened>");
    EXPECT_EQ(dialog->ControlText(kIdTime), "00:00 / 00:00");

    dialog->OnPause();  // nothing loaded: nothing happens
    EXPECT_EQ(dialog->Player(), nullptr);

    dialog->OpenSource(Q(path));
    ASSERT_TRUE(reports.empty()) << reports.front().message;
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->Player()->GetState(), Playing);
    EXPECT_EQ(dialog->SourcePath(), Q(path));
    EXPECT_EQ(dialog->SourceName(), "message.wav");
    EXPECT_EQ(dialog->ControlText(kIdFileName), "message.wav");
    EXPECT_FALSE(dialog->Control(kIdPause)->isHidden());
    EXPECT_TRUE(dialog->Control(kIdPlay)->isHidden());

    dialog->OnPause();
    EXPECT_EQ(dialog->Player()->GetState(), Paused);
    EXPECT_FALSE(dialog->Control(kIdPlay)->isHidden());
    EXPECT_TRUE(dialog->Control(kIdPause)->isHidden());

    dialog->OnPlay();
    EXPECT_EQ(dialog->Player()->GetState(), Playing);
    EXPECT_FALSE(dialog->Control(kIdPause)->isHidden());

    dialog->OnStop();
    EXPECT_EQ(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->ControlText(kIdTime), "00:00 / 01:05");
    EXPECT_FALSE(dialog->Control(kIdPlay)->isHidden());
    EXPECT_TRUE(dialog->Control(kIdPause)->isHidden());
    EXPECT_TRUE(dialog->Control(kIdSpeedDisplay)->isHidden());

    dialog->OnStop();  // a second stop clears the duration too
    EXPECT_EQ(dialog->ControlText(kIdTime), "00:00 / 00:00");

    dialog->OnPlay();  // plays the same recording again from the start
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->Player()->GetState(), Playing);
    EXPECT_LT(dialog->Player()->GetPosition(), 1000u);
}

TEST_F(PlayerDialogTest, FastBackAndForwardJumpATenth) {
    dialog->OpenSource(Q(MakeWave("ten.wav", 10000)));
    ASSERT_NE(dialog->Player(), nullptr);
    WavePlayer* player = dialog->Player();
    dialog->OnPause();  // the position holds still while paused

    player->Seek(500);
    dialog->OnFastBack();  // 0.5 s - 1 s: the start
    EXPECT_EQ(player->GetPosition(), 0u);
    player->Seek(4000);
    dialog->OnFastBack();
    EXPECT_EQ(player->GetPosition(), 3000u);
    dialog->OnFastForward();
    EXPECT_EQ(player->GetPosition(), 4000u);
    player->Seek(9500);
    dialog->OnFastForward();  // 10.5 s is past the end: one second before the end
    EXPECT_EQ(player->GetPosition(), 9000u);
    EXPECT_EQ(player->GetState(), Paused);
}

TEST_F(PlayerDialogTest, FastForwardPastTheEndOfAShortRecordingGoesToTheStart) {
    dialog->OpenSource(Q(MakeWave("short.wav", 600)));
    ASSERT_NE(dialog->Player(), nullptr);
    WavePlayer* player = dialog->Player();
    dialog->OnPause();
    player->Seek(500);
    dialog->OnFastForward();  // 500 + 60 stays inside
    EXPECT_EQ(player->GetPosition(), 560u);
    player->Seek(580);
    dialog->OnFastForward();  // 640 > 600 and the recording is under a second
    EXPECT_EQ(player->GetPosition(), 0u);
}

TEST_F(PlayerDialogTest, SpeedStepsTwoThreeAndBackToOne) {
    dialog->OnSpeed();  // no player: nothing
    EXPECT_TRUE(dialog->Control(kIdSpeedDisplay)->isHidden());
    dialog->OpenSource(Q(MakeWave("speed.wav", 5000)));
    ASSERT_NE(dialog->Player(), nullptr);
    dialog->OnSpeed();
    EXPECT_EQ(dialog->ControlText(kIdSpeedDisplay), "x2");
    EXPECT_FALSE(dialog->Control(kIdSpeedDisplay)->isHidden());
    EXPECT_EQ(dialog->Player()->GetSpeed(), 2u);
    dialog->OnSpeed();
    EXPECT_EQ(dialog->ControlText(kIdSpeedDisplay), "x3");
    dialog->OnSpeed();
    EXPECT_TRUE(dialog->Control(kIdSpeedDisplay)->isHidden());
    EXPECT_EQ(dialog->Player()->GetSpeed(), 1u);
}

TEST_F(PlayerDialogTest, VolumeReadsRoundedToTensAndStepsWithinBounds) {
    auto low = [](uint32_t percent) {  // the smallest low word at percent of the maximum
        return static_cast<uint32_t>((65535ull * percent + 99) / 100);
    };
    WaveOutSetVolume(low(50));
    EXPECT_EQ(PlayerDialog::ReadVolumePercent(), 50u);
    WaveOutSetVolume(low(55));
    EXPECT_EQ(PlayerDialog::ReadVolumePercent(), 50u);  // a remainder of 5 rounds down
    WaveOutSetVolume(low(56));
    EXPECT_EQ(PlayerDialog::ReadVolumePercent(), 60u);
    WaveOutSetVolume(0xFFFF0000);  // only the low word (left) counts
    EXPECT_EQ(PlayerDialog::ReadVolumePercent(), 0u);

    WaveOutSetVolume(0xFFFFFFFF);
    dialog->OnInitDialog();
    EXPECT_EQ(dialog->VolumePercent(), 100u);
    EXPECT_EQ(dialog->ControlText(kIdVolumeDisplay), "100%");
    dialog->OnVolumeUp();  // at the top: nothing
    EXPECT_EQ(dialog->VolumePercent(), 100u);
    EXPECT_EQ(WaveOutGetVolume(), 0xFFFFFFFFu);

    dialog->OnVolumeDown();
    EXPECT_EQ(dialog->ControlText(kIdVolumeDisplay), "90%");
    EXPECT_EQ(WaveOutGetVolume() & 0xFFFF, 65535u * 90 / 100);
    EXPECT_EQ(WaveOutGetVolume() >> 16, 65535u * 90 / 100);  // both channels
    EXPECT_EQ(OpenCorvaneSettings()->value("Volume").toUInt(), 90u);
    for (int i = 0; i < 9; ++i) dialog->OnVolumeDown();
    EXPECT_EQ(dialog->ControlText(kIdVolumeDisplay), "0%");
    EXPECT_EQ(WaveOutGetVolume() & 0xFFFF, 1u);  // 0 % sends 1
    dialog->OnVolumeDown();                      // at the bottom: nothing
    EXPECT_EQ(dialog->VolumePercent(), 0u);
    dialog->OnVolumeUp();
    EXPECT_EQ(dialog->ControlText(kIdVolumeDisplay), "10%");

    WaveOutSetVolume(0x7FFF7FFF);  // changed elsewhere: the timer shows it
    dialog->OnTimer();
    EXPECT_EQ(dialog->ControlText(kIdVolumeDisplay), "50%");
}

TEST_F(PlayerDialogTest, EndOfPlaybackStopsAndKeepsTheWindowOpen) {
    dialog->OnInitDialog();
    dialog->show();
    dialog->OpenSource(Q(MakeWave("end.wav", 1300)));
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return dialog->Player() == nullptr; }, 8000));
    EXPECT_EQ(dialog->ControlText(kIdTime), "00:00 / 00:01");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->Control(kIdPlay)->isHidden());
}

TEST_F(PlayerDialogTest, EndOfPlaybackClosesTheWindowWithCloseOnFinish) {
    dialog->SetCloseOnFinish(true);
    dialog->OnInitDialog();
    dialog->show();
    dialog->OpenSource(Q(MakeWave("end.wav", 400)));
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return !dialog->isVisible(); }, 8000));
    EXPECT_EQ(dialog->result(), 0);
    EXPECT_EQ(dialog->Player(), nullptr);
}

TEST_F(PlayerDialogTest, TimeDisplayFollowsThePositionEachSecond) {
    dialog->OnInitDialog();
    dialog->OpenSource(Q(MakeWave("long.wav", 125000)));
    ASSERT_NE(dialog->Player(), nullptr);
    dialog->OnPause();
    dialog->Player()->Seek(61000);
    dialog->OnTimer();
    EXPECT_EQ(dialog->ControlText(kIdTime), "01:01 / 02:05");
}

TEST_F(PlayerDialogTest, StartPathWithTagPlaysAndShowsTheName) {
    const std::string path = MakeWave("start.wav", 3000);
    dialog->SetStartPath(Q(path) + "<cvnm:Voicemail from Bob>");
    dialog->OnInitDialog();
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->SourcePath(), Q(path));
    EXPECT_EQ(dialog->ControlText(kIdFileName), "Voicemail from Bob");
}

TEST_F(PlayerDialogTest, FailedOpenKeepsThePreviousRecordingPlayable) {
    const std::string good = MakeWave("good.wav", 3000);
    const std::string bad = dir.File("bad.wav");
    testutil::WriteFile(bad, testutil::Bytes(100, 0x55));
    dialog->OpenSource(Q(good));
    ASSERT_NE(dialog->Player(), nullptr);

    dialog->OpenSource(Q(bad));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, "Invalid wav header.");
    EXPECT_EQ(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->SourcePath(), Q(good));
    EXPECT_EQ(dialog->ControlText(kIdFileName), "good.wav");
    EXPECT_FALSE(QFile::exists(dialog->ScratchPath()));

    dialog->OnPlay();
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->Player()->GetState(), Playing);
    EXPECT_EQ(dialog->Player()->GetDuration(), 3000u);

    dialog->OpenSource(Q(dir.File("missing.wav")));
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[1].message.find("missing.wav"), std::string::npos) << reports[1].message;
}

TEST_F(PlayerDialogTest, HandOverPlaysTheAutoPlayTextAndDeletesIt) {
    const std::string path = MakeWave("handed.wav", 3000);
    dialog->OnInitDialog();
    dialog->OnHandOver();  // no value: ignored
    EXPECT_EQ(dialog->Player(), nullptr);

    OpenCorvaneSettings()->setValue("AutoPlay", Q(path) + "<cvnm:From the launcher>");
    dialog->OnHandOver();
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->Player()->GetState(), Playing);
    EXPECT_EQ(dialog->ControlText(kIdFileName), "From the launcher");
    EXPECT_FALSE(OpenCorvaneSettings()->contains("AutoPlay"));
    EXPECT_TRUE(reports.empty());
}

TEST_F(PlayerDialogTest, HandOverOfABadFileReportsAndStillShowsTheName) {
    const std::string good = MakeWave("good.wav", 3000);
    dialog->OnInitDialog();
    dialog->OpenSource(Q(good));
    OpenCorvaneSettings()->setValue("AutoPlay", Q(dir.File("gone.wav")) + "<cvnm:Gone>");
    dialog->OnHandOver();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->ControlText(kIdFileName), "Gone");
    EXPECT_EQ(dialog->SourcePath(), Q(good));  // Save As still copies what tempPath holds
    EXPECT_FALSE(OpenCorvaneSettings()->contains("AutoPlay"));
}

TEST_F(PlayerDialogTest, AHandOverDuringAnErrorBoxKeepsItsOwnLabel) {
    const std::string newer = MakeWave("newer.wav", 3000);
    dialog->OnInitDialog();
    // While the box for the failed open is up, a second hand-over arrives and plays.
    CException::SetReporter([&](const std::string& message, unsigned style) {
        reports.push_back({message, style});
        if (reports.size() == 1) {
            OpenCorvaneSettings()->setValue("AutoPlay", Q(newer) + "<cvnm:Newer>");
            dialog->OnHandOver();
        }
        return 1;
    });
    OpenCorvaneSettings()->setValue("AutoPlay", Q(dir.File("gone.wav")) + "<cvnm:Older>");
    dialog->OnHandOver();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(dialog->SourcePath(), Q(newer));
    EXPECT_EQ(dialog->ControlText(kIdFileName), "Newer");
}

TEST_F(PlayerDialogTest, FileNamesAreShownAsPlainText) {
    const std::string path = MakeWave("<i>tilted<i> & <b>.wav", 500);
    dialog->OpenSource(Q(path));
    auto* line = qobject_cast<QLabel*>(dialog->Control(kIdFileName));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), "<i>tilted<i> & <b>.wav");
    EXPECT_EQ(line->textFormat(), Qt::PlainText);
}

TEST_F(PlayerDialogTest, KeysDriveTheTransportAndVolume) {
    dialog->OnInitDialog();
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    dialog->OpenSource(Q(MakeWave("keys.wav", 10000)));
    ASSERT_NE(dialog->Player(), nullptr);
    QTest::keyClick(dialog.get(), Qt::Key_Space);
    EXPECT_EQ(dialog->Player()->GetState(), Paused);
    QTest::keyClick(dialog.get(), Qt::Key_Space);
    EXPECT_EQ(dialog->Player()->GetState(), Playing);
    QTest::keyClick(dialog.get(), Qt::Key_Space);
    dialog->Player()->Seek(5000);
    QTest::keyClick(dialog.get(), Qt::Key_Right);
    EXPECT_EQ(dialog->Player()->GetPosition(), 6000u);
    QTest::keyClick(dialog.get(), Qt::Key_Left);
    EXPECT_EQ(dialog->Player()->GetPosition(), 5000u);
    QTest::keyClick(dialog.get(), Qt::Key_Down);
    EXPECT_EQ(dialog->VolumePercent(), 90u);
    QTest::keyClick(dialog.get(), Qt::Key_Up);
    EXPECT_EQ(dialog->VolumePercent(), 100u);
    QTest::keyClick(dialog.get(), Qt::Key_S);
    EXPECT_EQ(dialog->ControlText(kIdSpeedDisplay), "x2");
}

TEST_F(PlayerDialogTest, CloseBoxClosesTheWindow) {
    dialog->OnInitDialog();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_TRUE(dialog->isVisible());
    QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, QPoint(223, 15));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

}  // namespace
}  // namespace playertest

namespace playertest {
namespace {

TEST_F(PlayerTest, TheTopLeftCornerOpensTheProgramsMenu) {
    dialog->OnInitDialog();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    dialog->OnTap(100, 100);
    EXPECT_FALSE(dialog->Menu()->isVisible());
    dialog->OnTap(5, 5);
    EXPECT_TRUE(dialog->Menu()->isVisible());
    dialog->Menu()->hide();
    dialog->OnTap(29, 5);  // just outside the corner
    EXPECT_FALSE(dialog->Menu()->isVisible());
}

TEST_F(PlayerTest, DroppingAFileOpensIt) {
    const std::string path = MakeWave("dropped.wav", 2000);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDropEvent drop(QPointF(120, 120), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    dialog->dropEvent(&drop);
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->SourceName(), "dropped.wav");
}

}  // namespace
}  // namespace playertest
