// What the player is doing, without any widget: the recording that is open, its conversion
// into the private PCM file `tempPath`, the engine that plays it, the user's choices (volume,
// speed, Close On Finish) and the texts the window shows. The window forwards every input
// here and redraws from GetDisplay() when DisplayChanged is emitted.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/exception.h"
#include "playback/player_state.h"
#include "sound/share_copy.h"
#include "sound/voice_chain.h"

class BackgroundConversion;
class QTimer;
class VoiceMeasureLoader;
class WavePlayer;

class PlayerSession : public QObject {
    Q_OBJECT
  public:
    // An error for the user: the system's message, what the box adds below it (the file it is
    // about and why, when known; empty when none) and whether it is shown with the stop icon
    // (a failed Play) instead of the exclamation mark.
    struct Report {
        QString message;
        QString detail;
        bool stopIcon = false;
    };
    using Reporter = std::function<void(const Report&)>;

    // What the window shows.
    struct Display {
        QString fileName = QStringLiteral("<No File Opened>");
        QString title = QStringLiteral("Corvane");  // the window's: what plays, then "Corvane"
        QString time = QStringLiteral("00:00 / 00:00");
        QString speed;            // "x2"; empty while the speed display is hidden
        QString volume;           // "70%"
        bool pauseShown = false;  // Pause stands in Play's place
        QString saved;            // "saved 0:42": time skipped silence saved; empty for none
    };

    // tempPath: the PCM file every source is converted into (its folder must exist and be
    // private). Takes the user's remembered choices from the settings: Close On Finish, the
    // speed, and the volume, which it applies.
    explicit PlayerSession(QString tempPath, QObject* parent = nullptr);
    ~PlayerSession() override;

    // Shows errors to the user; it may run a nested event loop.
    void SetReporter(Reporter reporter) { reporter_ = std::move(reporter); }

    // What a folder of messages (player/inbox_browser.h) adds to playing one recording; an
    // unset hook changes nothing.
    struct FolderHooks {
        // A folder was given to open (start-up, hand-over, Open, a drop, the bus): it opens
        // as a list instead of being converted.
        std::function<void(const QString& folder)> open;
        // Play found nothing paused: returns true when it chose and opened a message itself.
        std::function<bool()> play;
        // The recording played to its end and was stopped: returns true when another one was
        // opened, which then plays instead of Close On Finish closing the program.
        std::function<bool()> ended;
    };
    void SetFolderHooks(FolderHooks hooks) { folderHooks_ = std::move(hooks); }
    // What the window's title begins with ("3 new"), before the name and "Corvane"; empty for
    // nothing.
    void SetTitlePrefix(const QString& prefix);
    // Tells the user of a problem as the session's own errors are told (traced, then shown).
    void ReportProblem(const QString& message, const QString& detail);

    const Display& GetDisplay() const { return display_; }
    // The open recording's path (a file name, see platform/qt/file_name.h) and its name as
    // shown: the text after the last '/'.
    const QString& SourcePath() const { return sourcePath; }
    const QString& SourceName() const { return sourceName; }
    const QString& TempPath() const { return tempPath; }

    // The engine's state; Stopped when nothing is loaded. Times in milliseconds.
    PlayerState State() const;
    bool HasPlayer() const { return player != nullptr; }
    uint32_t PositionMs() const;
    // The loaded recording's length, also once stopped; 0 until it first played.
    uint32_t DurationMs() const { return durationMs_; }
    // How many recordings were opened so far: tells a reopened file from its earlier open.
    uint32_t OpenCount() const { return openCount_; }
    // The speed the user chose: kMinimumSpeed to kMaximumSpeed (platform/qt/settings.h) in
    // steps of a quarter.
    double Speed() const { return speedQuarters_ / 4.0; }
    uint32_t VolumePercent() const { return volumePercent; }
    bool CloseOnFinish() const { return closeOnFinish; }

    // Start-up: the text to play (a path, possibly with a display-name tag; empty for none).
    void Start(const QString& textToPlay);
    // The program ends: silence at once, without touching the displays.
    void Shutdown();
    // Converts path into tempPath on a worker thread and plays it while it is decoded; shows
    // label instead of the file's name when one is given. Returns once the conversion has
    // begun (the output's header is written: a few milliseconds for a local file), or after
    // kHeaderWaitMs at most, when the open goes on in the background. On an error before any
    // sound the previous recording stays, and so does the name line; an error later is
    // reported once and what was decoded keeps playing. A newer open cancels the conversion
    // of one that has not begun, and, once it has begun itself, the previous recording's.
    void OpenSource(const QString& path, const QString& label = QString());
    // Data bytes of the recording in tempPath while it is still being decoded (the length
    // expected, or the final one at its end); 0 when no conversion runs, where the file's own
    // header tells the length.
    uint64_t RecordingDataBytes() const;
    // True while the recording's conversion runs.
    bool Converting() const { return conversion_ != nullptr; }

    static constexpr int kHeaderWaitMs = 40;
    // The launcher's text: stops what plays and opens the text's path under its label.
    void HandOver(const QString& text);

    void Play();
    void Pause();
    void TogglePlayPause();
    void Stop();
    void FastBack();
    void FastForward();
    // Moves by ms (back when negative): not before the start; past the end, one second
    // before the end, as a fast forward does.
    void Skip(int32_t ms);
    void Seek(uint32_t ms);
    // Steps the speed 1, 2, 3, 1, ... from the rate the device reports.
    void CycleSpeed();
    // A quarter faster (+1) or slower (-1), between 1x and 3x.
    void StepSpeed(int direction);
    // The nearest quarter step between 1x and 3x.
    void SetSpeed(double speed);
    // The time display shows the time left instead of the position, or back.
    void ToggleTimeLeft();
    void VolumeUp();
    void VolumeDown();
    // The nearest multiple of 10 between 0 and 100.
    void SetVolumePercent(double percent);
    // The 250 ms tick: the device volume, the time display and the end of playback.
    void Tick();

    void SetCloseOnFinish(bool on);

    // The voice tools (sound/voice_chain.h), remembered in the settings; a change applies to
    // what plays from its next buffer. The recording is measured for them (off the window's
    // thread) once one is on.
    VoiceTools Tools() const { return tools_; }
    void SetSkipSilence(bool on);
    void SetLevelVoice(bool on);
    // The time skipped silence saved in what has played of the recording, in ms.
    uint32_t TimeSavedMs() const;
    // "saved 0:42" (h:mm:ss from an hour); empty for nothing saved.
    static QString SavedText(uint32_t savedMs);

    // Save As: what the dialog proposes for the open recording (nothing when none is open).
    struct SaveQuestion {
        QString source;  // the recording to copy, fixed when the command starts
        QString base;    // proposed name: the name before its last dot
        QString ext;     // the text after the last dot (the whole name without one)
        QString filter;  // "Sound File (*.ext)", or "Sound File (*)" when ext breaks it
        QString suffix;  // appended to a name typed without one: ext, or empty with "(*)"
    };
    std::optional<SaveQuestion> SaveAsQuestion() const;
    // Copies source to destination byte for byte; reports "Cannot save file <path>", with the
    // reason, when that fails or would write into the player's private folder. Onto the source
    // itself: nothing.
    void SaveCopy(const QString& source, const QString& destination);
    // Save As's choices after the original file: copies for sharing, one name filter each
    // ("Opus (small, for sharing) (*.opus)"), and the format a chosen filter names (none for
    // any other filter, the original's among them).
    static QStringList ShareFilters();
    static std::optional<ShareFormat> ShareFilterFormat(const QString& filter);
    // The name a copy in format is saved under: chosen, with the format's extension added
    // when it does not end in it already (in any letter case).
    static QString SharedCopyName(const QString& chosen, ShareFormat format);
    // Writes a copy of the open recording for sharing: the decoded recording in tempPath
    // (once its conversion has ended; the file is taken now, so a later open changes
    // nothing), with the voice tools as they are set, encoded as format into destination, on
    // a thread of its own, so the window stays free. Refuses, like SaveCopy, a destination
    // in the private folder, and the open recording itself. Reports a failure as "Cannot save
    // file <path>" with the reason once the copy has ended; SharedCopyEnded then tells the
    // end either way. The session's end waits for the copies that still run.
    void SaveSharedCopy(const QString& destination, ShareFormat format);
    bool SavingCopy() const { return !copies_.empty(); }

    // The window's own dialogs (About, Open, Save As, a message box): the end of playback
    // closes the program only once none is open.
    void DialogOpened();
    void DialogClosed();

    // Output volume in percent, rounded to a multiple of 10 (a remainder of 5 rounds down).
    static uint32_t ReadVolumePercent();
    // Sets the output volume to percent (0 to 100) on both channels.
    static void ApplyVolumePercent(uint32_t percent);
    // "mm:ss / mm:ss", or "h:mm:ss / h:mm:ss" once the recording reaches an hour; with
    // timeLeft the first is the time left, after a minus sign.
    static QString TimeText(uint32_t positionSeconds, uint32_t durationSeconds,
                            bool timeLeft = false);
    // "x2", "x1.5", "x1.25"; empty at 1x.
    static QString SpeedText(uint32_t quarters);

  signals:
    void DisplayChanged();
    // The position jumped (a seek, a skip, fast back or forward) to ms.
    void Seeked(uint32_t ms);
    // An open replaced the recording in tempPath; sent once its playback has started, so
    // whoever reads the new file then never holds up its first sound.
    void RecordingChanged();
    // More of the recording was decoded (twice a second while it converts, and at its end).
    void RecordingGrew();
    // Close On Finish: the recording ended and no dialog is open.
    void CloseRequested();
    // A SaveSharedCopy into destination has ended (saved, or reported as failed).
    void SharedCopyEnded(const QString& destination);

  private:
    struct PendingOpen;
    struct SharedCopy;
    // The copy number id has ended: why it failed, empty when it was saved.
    void EndSharedCopy(uint64_t id, const QString& destination, const QString& why);
    // Takes the pending open once its conversion has begun or ended; nothing before.
    void TakePendingOpen();
    // The pending open's conversion has begun: its output becomes the recording and plays.
    void StartRecording(PendingOpen open);
    // Something happened to conversion number id (on this thread, after its event).
    void OnConversionEvent(uint64_t id);
    // Plays the loaded recording from its start.
    void PlayFromStart();
    void StartPlayer();
    void ReportError(const ExceptionPtr& error, const QString& detail, bool stopIcon = false);
    void SetFileName(const QString& text);
    void UpdateTitle();
    void SetTime(uint32_t positionSeconds, uint32_t durationSeconds);
    void ShowSpeed(uint32_t quarters);
    // Makes quarters the chosen speed, remembers it and applies it to a running player.
    void ChooseSpeed(uint32_t quarters);
    // Makes percent the output volume, shows it and remembers it.
    void ChooseVolume(uint32_t percent);
    void ShowVolume();
    void ShowPause(bool shown);
    // Running means a device is open: a Play that failed leaves a player that is Stopped.
    bool Running() const;
    // Moves a running player to ms and tells the listeners.
    void SeekTo(uint32_t ms);
    // Makes tools the voice tools: remembers them, applies them and measures what needs it.
    void ChooseTools(VoiceTools tools);
    // Starts measuring the recording when a tool is on and it was not measured yet.
    void MeasureIfNeeded();
    // Hands the levels measured so far to the player.
    void ApplyLevels();
    void ShowSaved();

    QString tempPath;
    Reporter reporter_;
    FolderHooks folderHooks_;
    QString titlePrefix_;
    std::unique_ptr<PendingOpen> pending_;  // an open whose conversion has not begun yet
    // The conversion writing the recording in tempPath while it runs, and its number.
    std::unique_ptr<BackgroundConversion> conversion_;
    uint64_t conversionId_ = 0;
    uint64_t conversionsStarted_ = 0;
    QTimer* growth_ = nullptr;  // RecordingGrew while the conversion runs
    std::unique_ptr<WavePlayer> player;
    QString sourcePath;
    QString sourceName;
    uint32_t durationMs_ = 0;
    uint32_t openCount_ = 0;
    Display display_;
    bool closeOnFinish = false;
    uint32_t volumePercent = 0;
    uint32_t speedQuarters_ = 4;  // the chosen speed in quarters: 4 is 1x, 12 is 3x
    bool timeLeft_ = false;
    int32_t lastShownSecond = -1;
    int dialogsOpen_ = 0;
    bool closePending_ = false;  // the recording ended under a dialog with Close On Finish on
    VoiceTools tools_;
    VoiceMeasureLoader* measure_ = nullptr;
    bool measuring_ = false;  // measure_ was loaded with the current recording
    std::vector<std::unique_ptr<SharedCopy>> copies_;  // shared copies being written
    uint64_t copiesStarted_ = 0;
};
