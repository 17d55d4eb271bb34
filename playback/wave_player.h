// Plays one linear PCM WAVE file through the wave-out device with four 200 ms buffers, a
// reader and a writer thread: pause, resume, seek, stop, speed 1x-3x, position, duration
// and end of data. Every public operation is called from one (the window's) thread.
#pragma once

#include <cstdint>
#include <string>

enum PlayerState : int32_t { Playing = 0, Paused = 1, Stopped = 2 };

class WavePlayer {
  public:
    // Opens and checks the file; throws CWaveIOException* with code 1, 4 or 5.
    explicit WavePlayer(const std::string& path);
    ~WavePlayer();
    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    void Play();  // from Stopped only; throws CWaveIOException* code 3
    void Stop();
    void Pause();
    void Resume();
    void Seek(uint32_t ms);
    uint32_t GetPosition() const;  // ms
    uint32_t GetDuration() const;  // ms
    PlayerState GetState() const;
    bool IsFinished() const;
    uint32_t GetSpeed() const;  // whole rate multiplier; 1 without a device
    void SetSpeed(uint32_t rate);

    // (private members: defined by the engine)
};
