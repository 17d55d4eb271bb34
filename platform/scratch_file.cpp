#include "platform/scratch_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <random>
#include <string>

#include "platform/file.h"

namespace {

constexpr const char* kMarker = ".corvane-part-";
constexpr size_t kRandomLength = 6;
constexpr size_t kMaxFileName = 255;  // bytes, as most Linux file systems allow
// Every signal whose default action ends the process (the real-time ones too; not SIGKILL or
// SIGSTOP, which no handler sees). Faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL) are among them:
// the handler only unlinks and writes, which is safe even then.
constexpr int kFixedSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
    SIGFPE,    SIGUSR1, SIGSEGV,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
    SIGXCPU,   SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

// The paths a signal removes. Slots hold a pointer to a path owned by its ScratchFile; chunks
// are added as needed and never freed, so the handler walks them without a lock.
struct SlotChunk {
    std::atomic<const char*> paths[64] = {};
    std::atomic<SlotChunk*> next = nullptr;
};
SlotChunk firstChunk;

// Set by a handler that is about to end the process; from then on no file is created and no
// registered path is freed (both would race with the handler's removals).
std::atomic<bool> dying = false;
// Threads between the decision to create a file and its registration.
std::atomic<int> creating = 0;

// Indexed by signal number; filled before the handlers are installed, read only afterwards.
struct sigaction previousActions[NSIG];
sigset_t handledSignals;
// "PROGRAM: ended by SIGPIPE (Broken pipe).", made before any handler runs, since a handler
// may not format text.
char endMessages[NSIG][128];
size_t endMessageLengths[NSIG];
std::atomic_flag endReported = ATOMIC_FLAG_INIT;

void HangUntilTheEnd() {
    for (;;) ::pause();
}

void MakeEndMessage(int signal) {
    const char* abbreviation = ::sigabbrev_np(signal);
    const char* description = ::sigdescr_np(signal);
    const int realTime = signal - SIGRTMIN;  // these have neither
    const std::string name =
        abbreviation ? std::string("SIG") + abbreviation : "SIGRTMIN+" + std::to_string(realTime);
    const std::string why =
        description ? description : "Real-time signal " + std::to_string(realTime);
    const int n =
        std::snprintf(endMessages[signal], sizeof endMessages[signal], "%s: ended by %s (%s).\n",
                      program_invocation_short_name, name.c_str(), why.c_str());
    endMessageLengths[signal] =
        n < 0 ? 0 : std::min(static_cast<size_t>(n), sizeof endMessages[signal] - 1);
}

// Only async-signal-safe calls from here on.
void OnSignal(int signal, siginfo_t* info, void* context) {
    const struct sigaction& previous = previousActions[signal];
    if (previous.sa_handler != SIG_DFL) {
        // The program handles the signal itself and ends in order: destructors remove the
        // files then.
        const int savedErrno = errno;
        if (previous.sa_flags & SA_SIGINFO) {
            previous.sa_sigaction(signal, info, context);
        } else {
            previous.sa_handler(signal);
        }
        errno = savedErrno;
        return;
    }
    dying.store(true);
    // A creating thread has these signals blocked and finishes its one open() call.
    while (creating.load() > 0) {
    }
    for (SlotChunk* chunk = &firstChunk; chunk; chunk = chunk->next.load()) {
        for (auto& slot : chunk->paths) {
            const char* path = slot.load();
            if (path && *path) ::unlink(path);
        }
    }
    // Why the work stopped, once. When stderr is itself a broken pipe the write fails with
    // EPIPE; the SIGPIPE it raises stays blocked here and never arrives.
    if (!endReported.test_and_set()) {
        [[maybe_unused]] const ssize_t written =
            ::write(STDERR_FILENO, endMessages[signal], endMessageLengths[signal]);
    }
    // The default action, so that the exit status says which signal ended the process. Only
    // this signal is let through: any other pending one (such as that SIGPIPE) stays blocked.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
}

void InstallHandlers() {
    sigemptyset(&handledSignals);
    for (int signal : kFixedSignals) sigaddset(&handledSignals, signal);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigaddset(&handledSignals, signal);
    struct sigaction action {};
    action.sa_sigaction = OnSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    action.sa_mask = handledSignals;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&handledSignals, signal) != 1) continue;
        ::sigaction(signal, nullptr, &previousActions[signal]);
        // An ignored signal stays ignored (nohup, background jobs).
        if (!(previousActions[signal].sa_flags & SA_SIGINFO) &&
            previousActions[signal].sa_handler == SIG_IGN)
            continue;
        MakeEndMessage(signal);
        ::sigaction(signal, &action, nullptr);
    }
}

std::atomic<const char*>* FreeSlot() {
    for (SlotChunk* chunk = &firstChunk;;) {
        for (auto& slot : chunk->paths) {
            const char* expected = nullptr;
            // Taken with a placeholder; the path goes in only while the file is being made.
            if (slot.load() == nullptr && slot.compare_exchange_strong(expected, "")) return &slot;
        }
        SlotChunk* next = chunk->next.load();
        if (!next) {
            auto* fresh = new SlotChunk;
            if (chunk->next.compare_exchange_strong(next, fresh)) {
                next = fresh;
            } else {
                delete fresh;  // another thread added one first: use that
            }
        }
        chunk = next;
    }
}

std::string RandomLetters() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    std::string text(kRandomLength, ' ');
    for (char& c : text) c = kLetters[pick(random)];
    return text;
}

// The name shortened to at most limit bytes, never inside a UTF-8 sequence.
std::string Shortened(const std::string& name, size_t limit) {
    if (name.size() <= limit) return name;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return name.substr(0, end);
}

}  // namespace

ScratchFile::ScratchFile(const std::string& folder, const std::string& name, mode_t mode) {
    static std::once_flag installed;
    std::call_once(installed, InstallHandlers);

    const std::string stem = Shortened(name, kMaxFileName - kRandomLength - std::strlen(kMarker));
    const std::string prefix = (folder.empty() ? "." : folder) + "/" + stem + kMarker;
    slot_ = FreeSlot();
    const sigset_t blocked = handledSignals;
    int reason = EEXIST;
    for (int attempt = 0; attempt < 100 && reason == EEXIST; ++attempt) {
        // The path is registered before the file exists, so that a signal arriving on another
        // thread finds it; this thread takes no signal meanwhile.
        std::string candidate = prefix + RandomLetters();
        sigset_t old;
        ::pthread_sigmask(SIG_BLOCK, &blocked, &old);
        creating.fetch_add(1);
        if (!dying.load()) {
            path_ = std::move(candidate);
            slot_->store(path_.c_str());
            fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            reason = fd_ < 0 ? errno : 0;
            if (fd_ < 0) slot_->store("");  // not ours to remove (it may be another's file)
        }
        creating.fetch_sub(1);
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
        if (dying.load()) HangUntilTheEnd();
    }
    if (fd_ < 0) {
        slot_->store(nullptr);
        ThrowFileException(reason, folder.empty() ? "." : folder, "Cannot create a file in");
    }
}

ScratchFile::~ScratchFile() {
    if (slot_) {
        ::unlink(path_.c_str());
        Forget();
    }
    if (fd_ >= 0) ::close(fd_);
}

void ScratchFile::Forget() {
    slot_->store(nullptr);
    slot_ = nullptr;
    // A handler that started before the store may still read path_: it ends the process.
    if (dying.load()) HangUntilTheEnd();
}

void ScratchFile::Remove() {
    if (!slot_) return;
    ::unlink(path_.c_str());
    Forget();
}

void ScratchFile::RenameOver(const std::string& target, bool flush) {
    if (flush && ::fsync(fd_) != 0) ThrowFileException(errno, path_, "Cannot write");
    if (::rename(path_.c_str(), target.c_str()) != 0)
        ThrowFileException(errno, target, "Cannot create");
    Forget();
}
