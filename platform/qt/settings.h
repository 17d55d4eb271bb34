// The program's persistent settings: organisation "Brandolin", application "Corvane", group
// "1.0" (~/.config/Brandolin/Corvane.conf on Linux). Every key is named here once; the
// hand-over text "AutoPlay" is read and written only through platform/qt/handover.h.
#pragma once

#include <QSettings>
#include <cstdint>
#include <memory>
#include <optional>

// Keys of the "1.0" group.
inline constexpr char kCloseOnFinishKey[] = "CloseOnFinish";     // 0 or 1
inline constexpr char kVolumeKey[] = "Volume";                   // percent, 0 to 100
inline constexpr char kSpeedKey[] = "Speed";                     // rate: 1, 1.25, ... 3
inline constexpr char kAutoPlayKey[] = "AutoPlay";               // the text handed to the player
inline constexpr char kLastFolderKey[] = "LastFolder";           // where Open File looked last
inline constexpr char kSkipSilenceKey[] = "SkipSilence";         // 0 or 1
inline constexpr char kLevelVoiceKey[] = "LevelVoice";           // 0 or 1
inline constexpr char kLastInboxKey[] = "LastInbox";             // the folder opened as a list last
inline constexpr char kPlayNextKey[] = "PlayNextAutomatically";  // 0 or 1

// Opens the settings with the "1.0" group entered. Re-reads the backing store first, so a
// value another process wrote is seen.
std::unique_ptr<QSettings> OpenCorvaneSettings();

// "CloseOnFinish": end the player when playback reaches its end. A missing value, or one that
// is not a number, is written as 0 and read as off.
bool ReadCloseOnFinish();
void WriteCloseOnFinish(bool on);

// "Volume": the output volume the user chose last, in percent; nothing when none is stored or
// the stored value is not a number from 0 to 100.
std::optional<uint32_t> ReadVolume();
void WriteVolume(uint32_t percent);

// The playback rates the player offers, and so the ones "Speed" may hold.
inline constexpr double kMinimumSpeed = 1.0;
inline constexpr double kMaximumSpeed = 3.0;
inline constexpr int kSpeedStepsPerUnit = 4;  // steps of 0.25

// "Speed": the playback rate the user chose last, one of the rates above, stored as a decimal
// number ("1.5"). A missing value, or one that is not such a rate, reads as 1.
double ReadSpeed();
// Stores rate, which must be one of the rates ReadSpeed gives.
void WriteSpeed(double rate);

// "LastFolder": the folder of the file Open File opened last; empty when none is stored or it
// is no longer a folder.
QString ReadLastFolder();
void WriteLastFolder(const QString& folder);

// "SkipSilence" and "LevelVoice": the voice tools the user switched on. A missing value, or
// one that is not a number, reads as off.
bool ReadSkipSilence();
void WriteSkipSilence(bool on);
bool ReadLevelVoice();
void WriteLevelVoice(bool on);

// "LastInbox": the folder last opened as a list of messages; empty when none is stored or it is
// no longer a folder.
QString ReadLastInbox();
void WriteLastInbox(const QString& folder);

// "PlayNextAutomatically": when a message of a folder ends, the next new one plays. Read as the
// voice tools' switches are.
bool ReadPlayNext();
void WritePlayNext(bool on);
