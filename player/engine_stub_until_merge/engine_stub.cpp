// TEMPORARY stand-in for the playback engine until it lands; deleted at the merge.
// Plays nothing: position follows a steady clock, finished at the end of the data.
#include <atomic>
#include <chrono>
#include <map>

#include "platform/file.h"
#include "platform/wave_out.h"
#include "playback/wave_exceptions.h"
#include "playback/wave_player.h"
#include "sound/wave_header.h"

namespace {
using Clock = std::chrono::steady_clock;
struct StubState {
    PlayerState state = Stopped;
    uint32_t duration = 0;
    uint32_t base = 0;  // ms at start
    Clock::time_point started;
    uint32_t speed = 1;
    bool finished = false;
};
std::map<const WavePlayer*, StubState>& States() {
    static std::map<const WavePlayer*, StubState> s;
    return s;
}
std::atomic<uint32_t> volume{0xFFFFFFFF};
StubState& S(const WavePlayer* p) {
    return States()[p];
}
uint32_t Now(const StubState& s) {
    if (s.state != Playing) return s.base;
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - s.started).count();
    return s.base + static_cast<uint32_t>(ms) * s.speed;
}
}  // namespace

uint32_t WaveOutGetVolume() {
    return volume;
}
void WaveOutSetVolume(uint32_t v) {
    volume = v;
}

WavePlayer::WavePlayer(const std::string& path) {
    CFile f;
    if (!f.Open(path, CFile::modeRead)) throw new CWaveIOException(1);
    WaveHeader h;
    if (!h.ReadHeader(f)) throw new CWaveIOException(4);
    if (h.formatTag != 1) throw new CWaveIOException(5);
    uint32_t bpm = h.bitsPerSample / 8 * h.channels * h.sampleRate / 1000;
    if (bpm == 0) throw new CWaveIOException(5);
    S(this).duration = h.dataSize / bpm;
}
WavePlayer::~WavePlayer() {
    States().erase(this);
}
void WavePlayer::Play() {
    auto& s = S(this);
    if (s.state != Stopped) return;
    s.state = Playing;
    s.finished = false;
    s.started = Clock::now();
}
void WavePlayer::Stop() {
    auto& s = S(this);
    if (s.state == Stopped) return;
    s.state = Stopped;
    s.base = 0;
    s.speed = 1;
}
void WavePlayer::Pause() {
    auto& s = S(this);
    if (s.state != Playing) return;
    s.base = Now(s);
    s.state = Paused;
}
void WavePlayer::Resume() {
    auto& s = S(this);
    if (s.state != Paused) return;
    s.state = Playing;
    s.started = Clock::now();
}
void WavePlayer::Seek(uint32_t ms) {
    auto& s = S(this);
    s.base = ms;
    s.started = Clock::now();
}
uint32_t WavePlayer::GetPosition() const {
    auto& s = S(this);
    return Now(s);
}
uint32_t WavePlayer::GetDuration() const {
    return S(this).duration;
}
PlayerState WavePlayer::GetState() const {
    return S(this).state;
}
bool WavePlayer::IsFinished() const {
    auto& s = S(this);
    return s.state == Playing && Now(s) >= s.duration;
}
uint32_t WavePlayer::GetSpeed() const {
    return S(this).state == Stopped ? 1 : S(this).speed;
}
void WavePlayer::SetSpeed(uint32_t r) {
    auto& s = S(this);
    if (s.state == Stopped) return;
    s.base = Now(s);
    s.started = Clock::now();
    s.speed = r;
}
