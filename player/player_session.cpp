#include "player/player_session.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include "platform/exception.h"
#include "platform/file.h"
#include "platform/qt/file_name.h"
#include "platform/qt/settings.h"
#include "platform/qt/text_to_play.h"
#include "platform/scratch_file.h"
#include "platform/wave_out.h"
#include "playback/wave_player.h"
#include "player/trace.h"
#include "player/voice_measure_loader.h"
#include "sound/background_conversion.h"
#include "sound/convert_file.h"

namespace {

// The session counts speeds in quarters, the steps the settings allow.
static_assert(kSpeedStepsPerUnit == 4);
constexpr auto kMaxSpeed = static_cast<uint32_t>(kMaximumSpeed);
constexpr auto kMinQuarters = static_cast<uint32_t>(kMinimumSpeed * 4);  // 1x
constexpr auto kMaxQuarters = static_cast<uint32_t>(kMaximumSpeed * 4);  // 3x
constexpr uint32_t kQuarterRate = 0x4000;                                // a quarter in 16.16

// The name as the file layer takes it: the file system's own bytes.
std::string LocalPath(const QString& path) {
    return FileNameToBytes(path).toStdString();
}

// True when path names a folder (after links).
bool IsFolder(const QString& path) {
    std::error_code error;
    return std::filesystem::is_directory(LocalPath(path), error);
}

// True when both name one existing file (after links). A name that does not exist yet is no
// file the player has.
bool SameFile(const QString& a, const QString& b) {
    return IsSameExistingFile(LocalPath(a), LocalPath(b));
}

// Copies source over destination through a temporary file that replaces the destination
// only when the whole copy succeeded. Returns why it failed; empty on success.
QString CopyFileSafely(const QString& source, const QString& destination) {
    CFile in;
    CFileException openError;
    if (!in.Open(LocalPath(source), CFile::modeRead, &openError)) {
        return QString::fromStdString(openError.Message());
    }
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly)) return out.errorString();
    std::vector<char> block(1 << 16);
    bool written = true;
    const ExceptionPtr error = CatchException([&] {
        while (const size_t n = in.Read(block.data(), block.size())) {
            written = out.write(block.data(), static_cast<qint64>(n)) == static_cast<qint64>(n);
            if (!written) return;
        }
    });
    if (error || !written) {
        const QString why = error ? QString::fromStdString(error->Message()) : out.errorString();
        out.cancelWriting();
        return why;
    }
    return out.commit() ? QString() : out.errorString();
}

// Why a sound device that is there did not open for format.
QString DeviceRefusal(const WaveFormat& format) {
    const QString sound = QStringLiteral("%1 Hz, %2 channel(s), %3-bit")
                              .arg(format.sampleRate)
                              .arg(format.channels)
                              .arg(format.bitsPerSample);
    if (WaveOut::Supports(format)) {
        return QStringLiteral("The sound device refused this sound (%1).").arg(sound);
    }
    return QStringLiteral(
               "The sound device does not play this sound (%1): it plays 8- or 16-bit "
               "sound of 1 to %2 channels at %3 to %4 Hz.")
        .arg(sound)
        .arg(WaveOut::kMaxChannels)
        .arg(WaveOut::kMinSampleRate)
        .arg(WaveOut::kMaxSampleRate);
}

// Save As's copies for sharing, in the order the dialog offers them.
constexpr std::pair<ShareFormat, const char*> kShareFilters[] = {
    {ShareFormat::kOpus, "Opus (small, for sharing) (*.opus)"},
    {ShareFormat::kFlac, "FLAC (lossless) (*.flac)"},
    {ShareFormat::kMp3, "MP3 (for older players) (*.mp3)"},
};

// True when ext cannot stand in a name filter's pattern list.
bool BreaksFilter(const QString& ext) {
    if (ext.isEmpty()) return true;
    for (QChar c : ext) {
        if (c.isSpace() || QStringLiteral("()[]*?;").contains(c)) return true;
    }
    return false;
}

}  // namespace

PlayerSession::PlayerSession(QString tempPath, QObject* parent)
    : QObject(parent), tempPath(std::move(tempPath)) {
    closeOnFinish = ReadCloseOnFinish();
    speedQuarters_ = static_cast<uint32_t>(ReadSpeed() * 4);
    if (const std::optional<uint32_t> volume = ReadVolume()) ApplyVolumePercent(*volume / 10 * 10);
    volumePercent = ReadVolumePercent();
    display_.volume = QStringLiteral("%1%").arg(volumePercent);
    display_.speed = SpeedText(speedQuarters_);
    growth_ = new QTimer(this);
    growth_->setInterval(500);
    connect(growth_, &QTimer::timeout, this, &PlayerSession::RecordingGrew);
    tools_ = {.skipSilence = ReadSkipSilence(), .level = ReadLevelVoice()};
    measure_ = new VoiceMeasureLoader(this);
    connect(measure_, &VoiceMeasureLoader::LevelsChanged, this, &PlayerSession::ApplyLevels);
}

// An open whose conversion runs but has not written the output's header yet.
struct PlayerSession::PendingOpen {
    QString path;
    QString label;
    std::string scratch;  // the output, beside tempPath until it becomes the recording
    uint64_t id = 0;
    std::unique_ptr<BackgroundConversion> conversion;
};

// A copy for sharing being written on its own thread.
struct PlayerSession::SharedCopy {
    uint64_t id = 0;
    std::thread thread;
};

PlayerSession::~PlayerSession() {
    Shutdown();
    // A copy the user asked for is finished, not thrown away (a copy waiting for the
    // conversion that Shutdown cancelled ends at once).
    for (const std::unique_ptr<SharedCopy>& copy : copies_) copy->thread.join();
}

PlayerState PlayerSession::State() const {
    return player ? player->GetState() : Stopped;
}

uint32_t PlayerSession::PositionMs() const {
    return player ? player->GetPosition() : 0;
}

void PlayerSession::Start(const QString& textToPlay) {
    if (textToPlay.isEmpty()) {
        SetFileName(display_.fileName);  // "<No File Opened>"
    } else {
        HandOver(textToPlay);
    }
}

void PlayerSession::Shutdown() {
    player.reset();
    pending_.reset();
    conversion_.reset();
    growth_->stop();
}

void PlayerSession::HandOver(const QString& text) {
    QString path;
    QString name;
    SplitDisplayTag(text, &path, &name);
    Stop();
    OpenSource(path, name);
}

void PlayerSession::OpenSource(const QString& path, const QString& label) {
    if (folderHooks_.open && IsFolder(path)) {
        folderHooks_.open(path);
        if (sourcePath.isEmpty()) SetFileName(display_.fileName);  // "<No File Opened>"
        return;
    }
    if (player) {
        player->Stop();
        player.reset();
    }
    // An open still waiting for its conversion to begin gives way to this one.
    pending_.reset();
    auto open = std::make_unique<PendingOpen>();
    open->path = path;
    open->label = label;
    open->id = ++conversionsStarted_;
    // Beside tempPath, in the private folder, under a name of this open's own.
    open->scratch = LocalPath(tempPath) + ".part-" + std::to_string(open->id);
    // The converting thread tells this thread; a call queued to a session that is gone is
    // dropped by Qt, and the session's end waits for the thread.
    const auto observer = [this, id = open->id](ConversionProgress::Event event) {
        if (event == ConversionProgress::Event::kData) return;  // the engine follows the data
        QMetaObject::invokeMethod(
            this, [this, id] { OnConversionEvent(id); }, Qt::QueuedConnection);
    };
    if (ExceptionPtr error = CatchException([&] {
            open->conversion =
                std::make_unique<BackgroundConversion>(LocalPath(path), open->scratch, observer);
        })) {
        ReportError(error, path);
        return;
    }
    pending_ = std::move(open);
    // The header comes within milliseconds for a file on a local disk: waiting that long
    // keeps the open in order with the input that follows it. A slower source goes on in the
    // background and plays when its header arrives.
    pending_->conversion->Progress()->WaitForHeader(std::chrono::milliseconds(kHeaderWaitMs));
    TakePendingOpen();
}

void PlayerSession::TakePendingOpen() {
    if (!pending_) return;
    const std::shared_ptr<const ConversionProgress> progress = pending_->conversion->Progress();
    if (progress->HasHeader()) {
        std::unique_ptr<PendingOpen> open = std::move(pending_);
        StartRecording(std::move(*open));
        return;
    }
    if (!progress->Ended()) return;  // its header event will come
    // It ended before any sound: the previous recording stays. The converter is gone before
    // anything is reported: the message box runs an event loop in which another hand-over may
    // start a conversion.
    const QString path = pending_->path;
    const bool failed = progress->State() == ConversionState::kFailed;
    const QString message = QString::fromStdString(progress->Error());
    pending_.reset();
    if (failed) {
        Trace(QStringLiteral("error ") + message);
        if (reporter_) reporter_({message, path, false});
    }
}

void PlayerSession::StartRecording(PendingOpen open) {
    // The previous recording's conversion, if it still runs, is cancelled (and waited for).
    growth_->stop();
    conversion_.reset();
    if (player) {
        player->Stop();
        player.reset();
    }
    // The converter keeps writing the same file under its new name.
    if (std::rename(open.scratch.c_str(), LocalPath(tempPath).c_str()) != 0) {
        open.conversion.reset();
        ReportError(ExceptionPtr(new CMessageException("Cannot create a file in the temporary "
                                                       "folder.")),
                    open.path);
        return;
    }
    conversion_ = std::move(open.conversion);
    conversionId_ = open.id;
    if (!conversion_->Progress()->Ended()) growth_->start();
    const QString& path = open.path;
    sourcePath = path;
    durationMs_ = 0;  // known once it plays
    ++openCount_;
    Trace(QStringLiteral("open ") + path);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    sourceName = FileNameForDisplay(slash < 0 ? path : path.mid(slash + 1));
    closePending_ = false;  // a new recording plays to its own end
    // The name line changes only with the recording, so it always names what Play plays; a
    // newer open during an error box of this one keeps its own name.
    SetFileName(open.label.isEmpty() ? sourceName : FileNameForDisplay(open.label));
    measure_->Reset();
    measuring_ = false;
    PlayFromStart();
    emit RecordingChanged();
    MeasureIfNeeded();                 // after the first sound, like the waveform
    OnConversionEvent(conversionId_);  // it may have ended already
}

void PlayerSession::OnConversionEvent(uint64_t id) {
    if (pending_ && pending_->id == id) {
        TakePendingOpen();
        return;
    }
    if (!conversion_ || id != conversionId_) return;  // an earlier one's, already gone
    const std::shared_ptr<const ConversionProgress> progress = conversion_->Progress();
    if (!progress->Ended()) return;
    // Done: the engine keeps the progress, which tells it where the data ends.
    growth_->stop();
    const bool failed = progress->State() == ConversionState::kFailed;
    const QString message = QString::fromStdString(progress->Error());
    conversion_.reset();
    if (player) durationMs_ = player->GetDuration();
    emit RecordingGrew();
    if (failed) {
        // What was decoded keeps playing; the error is told once.
        Trace(QStringLiteral("error ") + message);
        if (reporter_) reporter_({message, sourcePath, false});
    }
}

uint64_t PlayerSession::RecordingDataBytes() const {
    return conversion_ ? conversion_->Progress()->DataBytes() : 0;
}

void PlayerSession::Play() {
    if (player && player->GetState() == Paused) {
        player->Resume();
        ShowPause(true);
        Trace(QStringLiteral("play"));
        return;
    }
    // With nothing loaded of an open folder, the folder chooses what plays.
    if (folderHooks_.play && folderHooks_.play()) return;
    PlayFromStart();
}

void PlayerSession::PlayFromStart() {
    if (sourcePath.isEmpty()) return;
    player.reset();
    lastShownSecond = -1;
    std::unique_ptr<WavePlayer> created;
    if (ExceptionPtr error = CatchException([&] {
            // While its conversion runs, the engine reads only what was decoded.
            created = conversion_ ? std::make_unique<WavePlayer>(LocalPath(tempPath),
                                                                 conversion_->Progress())
                                  : std::make_unique<WavePlayer>(LocalPath(tempPath));
        })) {
        ReportError(error, sourcePath);
        return;
    }
    player = std::move(created);
    durationMs_ = player->GetDuration();
    StartPlayer();
}

void PlayerSession::StartPlayer() {
    if (ExceptionPtr error = CatchException([&] { player->Play(); })) {
        // The player stays, stopped; pressing Play again builds a fresh one. A device that
        // refuses the sound is told apart from one that is not there.
        QString detail = sourcePath;
        const WaveFormat format = player->Format();
        if (WaveOut::GetNumDevs() > 0) {
            detail += QStringLiteral("\n") + DeviceRefusal(format);
        }
        ReportError(error, detail, /*stopIcon=*/true);
        return;
    }
    // The speed the user chose carries over to every recording.
    if (speedQuarters_ != kMinQuarters) player->SetPlaybackRate(speedQuarters_ * kQuarterRate);
    player->SetVoiceTools(tools_);
    if (measure_->Levels()) player->SetVoiceLevels(*measure_->Levels());
    ShowSaved();
    ShowSpeed(speedQuarters_);
    ShowPause(true);
    Trace(QStringLiteral("play"));
}

void PlayerSession::Pause() {
    if (!player || player->GetState() != Playing) return;
    player->Pause();
    ShowPause(false);
}

void PlayerSession::TogglePlayPause() {
    if (State() == Playing) {
        Pause();
    } else {
        Play();
    }
}

void PlayerSession::Stop() {
    if (!player) {
        SetTime(0, 0);
        return;
    }
    if (Running()) player->Stop();
    Trace(QStringLiteral("stop"));
    SetTime(0, player->GetDuration() / 1000);
    player.reset();
    ShowPause(false);
}

bool PlayerSession::Running() const {
    return player && player->GetState() != Stopped;
}

void PlayerSession::FastBack() {
    if (!Running()) return;
    const uint32_t d = player->GetDuration();
    const uint32_t p = player->GetPosition();
    const uint32_t t = d / 10;
    SeekTo(p > t ? p - t : 0);
}

void PlayerSession::FastForward() {
    if (!Running()) return;
    const uint32_t d = player->GetDuration();
    const uint32_t p = player->GetPosition();
    const uint32_t t = d / 10;
    uint32_t n = p + t;
    // Past the end: one second before the end, or the start of a recording under a second.
    if (n > d) n = d >= 1000 ? d - 1000 : 0;
    SeekTo(n);
}

void PlayerSession::Skip(int32_t ms) {
    if (!Running()) return;
    const int64_t d = player->GetDuration();
    int64_t n = int64_t{player->GetPosition()} + ms;
    if (n < 0) n = 0;
    if (n > d) n = d >= 1000 ? d - 1000 : 0;
    SeekTo(static_cast<uint32_t>(n));
}

void PlayerSession::Seek(uint32_t ms) {
    if (Running()) SeekTo(std::min(ms, player->GetDuration()));
}

void PlayerSession::SeekTo(uint32_t ms) {
    player->Seek(ms);
    emit Seeked(player->GetPosition());
}

void PlayerSession::CycleSpeed() {
    // Playing, the step counts from the rate the device reports; stopped, from the choice.
    uint32_t n = (Running() ? player->GetSpeed() : speedQuarters_ / 4) + 1;
    if (n > kMaxSpeed) n = 1;
    ChooseSpeed(4 * n);
}

void PlayerSession::StepSpeed(int direction) {
    const int64_t q = int64_t{speedQuarters_} + (direction > 0 ? 1 : -1);
    if (q < kMinQuarters || q > kMaxQuarters) return;
    ChooseSpeed(static_cast<uint32_t>(q));
}

void PlayerSession::SetSpeed(double speed) {
    if (!(speed >= 0)) return;
    const double q = std::round(speed * 4);
    ChooseSpeed(static_cast<uint32_t>(std::clamp<double>(q, kMinQuarters, kMaxQuarters)));
}

void PlayerSession::ChooseSpeed(uint32_t quarters) {
    // Also while stopped: the display shows the choice and the next Play uses it.
    if (Running()) player->SetPlaybackRate(quarters * kQuarterRate);
    speedQuarters_ = quarters;
    WriteSpeed(quarters / 4.0);
    ShowSpeed(quarters);
}

void PlayerSession::ToggleTimeLeft() {
    timeLeft_ = !timeLeft_;
    lastShownSecond = -1;  // redraw at the next tick
    if (player) {
        SetTime(player->GetPosition() / 1000, player->GetDuration() / 1000);
    }
}

uint32_t PlayerSession::ReadVolumePercent() {
    const uint32_t low = WaveOutGetVolume() & 0xFFFF;
    const uint32_t p = low * 100 / 65535;
    const uint32_t r = p / 10 * 10;
    return p - r > 5 ? r + 10 : r;
}

void PlayerSession::ApplyVolumePercent(uint32_t percent) {
    uint32_t v = std::min<uint32_t>(percent, 100) * 65535 / 100;
    if (v < 16) v |= 1;
    // Both channels: a stereo recording keeps its right channel.
    WaveOutSetVolume(v | (v << 16));
}

void PlayerSession::VolumeUp() {
    if (volumePercent < 100) ChooseVolume(volumePercent + 10);
}

void PlayerSession::VolumeDown() {
    if (volumePercent >= 10) ChooseVolume(volumePercent - 10);
}

void PlayerSession::SetVolumePercent(double percent) {
    if (std::isnan(percent)) return;
    ChooseVolume(static_cast<uint32_t>(std::round(std::clamp(percent, 0.0, 100.0) / 10)) * 10);
}

void PlayerSession::ChooseVolume(uint32_t percent) {
    volumePercent = percent;
    ApplyVolumePercent(percent);
    ShowVolume();
    WriteVolume(percent);
}

void PlayerSession::Tick() {
    const uint32_t p = ReadVolumePercent();
    if (p != volumePercent) {
        volumePercent = p;
        ShowVolume();
    }
    if (!player) {
        lastShownSecond = -1;
        return;
    }
    ShowSaved();
    const uint32_t d = player->GetDuration();
    const uint32_t s = player->GetPosition() / 1000;
    if (static_cast<int64_t>(s) != lastShownSecond) {
        lastShownSecond = static_cast<int32_t>(s);
        SetTime(s, d / 1000);
    }
    if (!player->IsFinished()) return;
    Stop();
    if (folderHooks_.ended && folderHooks_.ended()) return;  // the next one plays
    if (!closeOnFinish) return;
    if (dialogsOpen_ > 0) {
        closePending_ = true;
    } else {
        emit CloseRequested();
    }
}

void PlayerSession::SetSkipSilence(bool on) {
    ChooseTools({.skipSilence = on, .level = tools_.level});
    WriteSkipSilence(on);
    Trace(QStringLiteral("skipsilence ") + (on ? QStringLiteral("on") : QStringLiteral("off")));
}

void PlayerSession::SetLevelVoice(bool on) {
    ChooseTools({.skipSilence = tools_.skipSilence, .level = on});
    WriteLevelVoice(on);
    Trace(QStringLiteral("levelvoice ") + (on ? QStringLiteral("on") : QStringLiteral("off")));
}

void PlayerSession::ChooseTools(VoiceTools tools) {
    tools_ = tools;
    if (player) player->SetVoiceTools(tools_);
    MeasureIfNeeded();
}

void PlayerSession::MeasureIfNeeded() {
    if (!tools_.Any() || measuring_ || sourcePath.isEmpty()) return;
    measuring_ = true;
    measure_->Load(tempPath, conversion_ ? conversion_->Progress()
                                         : std::shared_ptr<const ConversionProgress>());
}

void PlayerSession::ApplyLevels() {
    if (player && measure_->Levels()) player->SetVoiceLevels(*measure_->Levels());
}

uint32_t PlayerSession::TimeSavedMs() const {
    return player ? player->TimeSavedMs() : 0;
}

QString PlayerSession::SavedText(uint32_t savedMs) {
    const uint32_t s = savedMs / 1000;
    if (s == 0) return QString();
    const QString clock =
        s >= 3600 ? QStringLiteral("%1:%2:%3")
                        .arg(s / 3600)
                        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                        .arg(s % 60, 2, 10, QLatin1Char('0'))
                  : QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("saved ") + clock;
}

void PlayerSession::ShowSaved() {
    const QString saved = SavedText(TimeSavedMs());
    if (saved == display_.saved) return;
    display_.saved = saved;
    emit DisplayChanged();
}

void PlayerSession::SetCloseOnFinish(bool on) {
    closeOnFinish = on;
    WriteCloseOnFinish(on);
}

void PlayerSession::DialogOpened() {
    ++dialogsOpen_;
}

void PlayerSession::DialogClosed() {
    if (dialogsOpen_ > 0) --dialogsOpen_;
    if (dialogsOpen_ == 0 && closePending_) {
        closePending_ = false;
        emit CloseRequested();
    }
}

std::optional<PlayerSession::SaveQuestion> PlayerSession::SaveAsQuestion() const {
    if (sourcePath.isEmpty()) return std::nullopt;
    SaveQuestion q;
    q.source = sourcePath;
    const qsizetype dot = sourceName.lastIndexOf(QLatin1Char('.'));
    q.base = dot < 0 ? QString() : sourceName.left(dot);
    q.ext = dot < 0 ? sourceName : sourceName.mid(dot + 1);
    const bool breaks = BreaksFilter(q.ext);
    q.filter =
        breaks ? QStringLiteral("Sound File (*)") : QStringLiteral("Sound File (*.%1)").arg(q.ext);
    if (!breaks) q.suffix = q.ext;
    return q;
}

void PlayerSession::SaveCopy(const QString& source, const QString& destination) {
    if (SameFile(destination, source)) return;  // the file is already there
    // The player's private folder holds the recording and its scratch files: nothing goes there.
    const bool ownFile =
        SameFile(QFileInfo(destination).absolutePath(), QFileInfo(tempPath).absolutePath());
    const QString why = ownFile ? QStringLiteral("The player keeps its own files there.")
                                : CopyFileSafely(source, destination);
    if (!why.isEmpty() && reporter_) {
        reporter_({QStringLiteral("Cannot save file ") + destination.trimmed(), why, false});
    }
}

QStringList PlayerSession::ShareFilters() {
    QStringList filters;
    for (const auto& [format, filter] : kShareFilters) filters << QLatin1String(filter);
    return filters;
}

std::optional<ShareFormat> PlayerSession::ShareFilterFormat(const QString& filter) {
    for (const auto& [format, text] : kShareFilters) {
        if (filter == QLatin1String(text)) return format;
    }
    return std::nullopt;
}

QString PlayerSession::SharedCopyName(const QString& chosen, ShareFormat format) {
    const QString ending = QStringLiteral(".") + QLatin1String(ShareFormatExtension(format));
    return chosen.endsWith(ending, Qt::CaseInsensitive) ? chosen : chosen + ending;
}

void PlayerSession::SaveSharedCopy(const QString& destination, ShareFormat format) {
    if (sourcePath.isEmpty()) return;
    const auto refuse = [&](const QString& why) {
        if (reporter_)
            reporter_({QStringLiteral("Cannot save file ") + destination.trimmed(), why});
    };
    if (SameFile(destination, sourcePath))
        return refuse(
            QStringLiteral("A copy in another format would replace the recording itself."));
    if (SameFile(QFileInfo(destination).absolutePath(), QFileInfo(tempPath).absolutePath()))
        return refuse(QStringLiteral("The player keeps its own files there."));
    // Taken now: a later open renames another recording over tempPath, and a cancelled
    // conversion removes its name, but this file stays what it is.
    auto pcm = std::make_unique<CFile>();
    CFileException openError;
    if (!pcm->Open(LocalPath(tempPath), CFile::modeRead, &openError))
        return refuse(QString::fromStdString(openError.Message()));
    std::shared_ptr<const ConversionProgress> progress;
    if (conversion_) progress = conversion_->Progress();
    auto copy = std::make_unique<SharedCopy>();
    copy->id = ++copiesStarted_;
    auto work = [this, id = copy->id, destination, format, pcm = std::move(pcm),
                 progress = std::move(progress), source = LocalPath(sourcePath),
                 folder = QFileInfo(tempPath).absolutePath().toStdString(), tools = tools_] {
        const ExceptionPtr error = CatchException([&] {
            while (progress && !progress->Ended())
                progress->WaitForBytes(UINT64_MAX, std::chrono::milliseconds(200));
            if (progress && progress->State() == ConversionState::kFailed)
                throw new CMessageException(progress->Error());
            const bool whole = !progress || progress->State() == ConversionState::kFinished;
            if (whole && !tools.Any()) {
                WriteShareCopy(*pcm, LocalPath(destination), format);
                return;
            }
            // Another open cancelled the recording's conversion before its end, or the voice
            // tools read the message by name (twice: measured, then shaped): the copy decodes
            // the source itself, into a scratch file of its own in the private folder.
            const ScratchFile decoded(folder, "shared", 0600);
            ConvertFile(source, decoded.Path());
            WriteShareCopy(decoded.Path(), LocalPath(destination), {format, tools});
        });
        const QString why = error ? QString::fromStdString(error->Message()) : QString();
        QMetaObject::invokeMethod(
            this, [this, id, destination, why] { EndSharedCopy(id, destination, why); },
            Qt::QueuedConnection);
    };
    if (const ExceptionPtr error =
            CatchException([&] { copy->thread = std::thread(std::move(work)); })) {
        return refuse(QString::fromStdString(error->Message()));
    }
    Trace(QStringLiteral("share ") + destination);
    copies_.push_back(std::move(copy));
}

void PlayerSession::EndSharedCopy(uint64_t id, const QString& destination, const QString& why) {
    const auto ended = std::ranges::find_if(
        copies_, [id](const std::unique_ptr<SharedCopy>& copy) { return copy->id == id; });
    if (ended == copies_.end()) return;
    (*ended)->thread.join();  // its last step was to queue this call
    copies_.erase(ended);
    if (!why.isEmpty() && reporter_) {
        reporter_({QStringLiteral("Cannot save file ") + destination.trimmed(), why, false});
    }
    emit SharedCopyEnded(destination);
}

void PlayerSession::ReportError(const ExceptionPtr& error, const QString& detail, bool stopIcon) {
    const QString message = QString::fromStdString(error->Message());
    Trace(QStringLiteral("error ") + message);
    if (reporter_) reporter_({message, detail, stopIcon});
}

void PlayerSession::ReportProblem(const QString& message, const QString& detail) {
    Trace(QStringLiteral("error ") + message);
    if (reporter_) reporter_({message, detail, false});
}

QString PlayerSession::TimeText(uint32_t positionSeconds, uint32_t durationSeconds, bool timeLeft) {
    const bool hours = durationSeconds >= 3600 || positionSeconds >= 3600;
    auto clock = [hours](uint32_t s) {
        return hours ? QString::asprintf("%u:%.2u:%.2u", s / 3600, s / 60 % 60, s % 60)
                     : QString::asprintf("%.2u:%.2u", s / 60, s % 60);
    };
    const QString first =
        timeLeft ? QStringLiteral("-") +
                       clock(durationSeconds - std::min(positionSeconds, durationSeconds))
                 : clock(positionSeconds);
    return first + QStringLiteral(" / ") + clock(durationSeconds);
}

QString PlayerSession::SpeedText(uint32_t quarters) {
    if (quarters <= kMinQuarters) return QString();
    return QStringLiteral("x") + QString::number(quarters / 4.0);
}

void PlayerSession::SetFileName(const QString& text) {
    display_.fileName = text;
    Trace(QStringLiteral("name ") + text);
    UpdateTitle();
}

void PlayerSession::SetTitlePrefix(const QString& prefix) {
    titlePrefix_ = prefix;
    UpdateTitle();
}

void PlayerSession::UpdateTitle() {
    // "3 new - Ann Lee - Corvane": the prefix, what Play plays once something is open, and the
    // program.
    QStringList parts;
    if (!titlePrefix_.isEmpty()) parts << titlePrefix_;
    if (!sourcePath.isEmpty()) parts << display_.fileName;
    parts << QStringLiteral("Corvane");
    display_.title = parts.join(QStringLiteral(" - "));
    emit DisplayChanged();
}

void PlayerSession::SetTime(uint32_t positionSeconds, uint32_t durationSeconds) {
    display_.time = TimeText(positionSeconds, durationSeconds, timeLeft_);
    emit DisplayChanged();
}

void PlayerSession::ShowSpeed(uint32_t quarters) {
    display_.speed = SpeedText(quarters);
    emit DisplayChanged();
}

void PlayerSession::ShowVolume() {
    display_.volume = QStringLiteral("%1%").arg(volumePercent);
    emit DisplayChanged();
}

void PlayerSession::ShowPause(bool shown) {
    display_.pauseShown = shown;
    emit DisplayChanged();
}
