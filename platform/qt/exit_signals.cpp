#include "platform/qt/exit_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>

namespace {

constexpr std::array<int, 3> kExitSignals = {SIGTERM, SIGINT, SIGHUP};

// The self-pipe: [0] read by the event loop, [1] written by the handler. Made once and kept
// for the process's lifetime, so a handler never writes to a closed descriptor.
int pipeEnds[2] = {-1, -1};

void OnSignal(int signalNumber) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: when the pipe is full, enough is pending already.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

void SetAction(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kExitSignals) ::sigaction(signalNumber, &action, nullptr);
}

}  // namespace

ExitSignals::ExitSignals(QObject* parent) : QObject(parent) {
    if (pipeEnds[0] < 0 && ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ExitSignals::OnReadable);
    SetAction(OnSignal);
}

ExitSignals::~ExitSignals() {
    if (notifier_) SetAction(SIG_DFL);
}

void ExitSignals::OnReadable() {
    unsigned char bytes[16];
    ssize_t count = 0;
    while ((count = ::read(pipeEnds[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i) emit Received(bytes[i]);
    }
}
