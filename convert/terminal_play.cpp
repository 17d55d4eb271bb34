#include "convert/terminal_play.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <thread>

#include "playback/wave_player.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

std::string Clock(uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u", ms / 60000, ms / 1000 % 60);
    return text;
}

// Ctrl+C stops the playback instead of the program while it is installed.
class InterruptStopsPlayback {
  public:
    InterruptStopsPlayback() {
        struct sigaction action {};
        action.sa_handler = [](int) { interrupted = 1; };
        ::sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptStopsPlayback() { ::sigaction(SIGINT, &previous_, nullptr); }
    InterruptStopsPlayback(const InterruptStopsPlayback&) = delete;
    InterruptStopsPlayback& operator=(const InterruptStopsPlayback&) = delete;

  private:
    struct sigaction previous_ {};
};

}  // namespace

int PlayInTerminal(const std::string& pcmPath) {
    InterruptStopsPlayback stops;
    WavePlayer player(pcmPath);
    player.Play();
    const auto shown = [&] {
        std::printf("\r%s / %s ", Clock(player.GetPosition()).c_str(),
                    Clock(player.GetDuration()).c_str());
        std::fflush(stdout);
    };
    auto next = std::chrono::steady_clock::now();
    while (!interrupted && !player.IsFinished()) {
        if (std::chrono::steady_clock::now() >= next) {
            shown();
            next += std::chrono::seconds(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    shown();
    std::printf("\n");
    player.Stop();
    return interrupted ? 130 : 0;
}
