#include "platform/posix/interrupt_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iterator>

namespace vzrm {
namespace {

// Whatever ends a session or a job asks for the interruption: a dropped SSH
// connection (SIGHUP), a closed pipe, a timer, a user's signal.
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE};
constexpr std::size_t kSignalCount = std::size(kSignals);
constexpr char kRequest = 'r';
constexpr char kQuit = 'q';

// Lock-free atomics are safe in a signal handler.
std::atomic<int> g_received{0};
std::atomic<int> g_writeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);
struct sigaction g_previous[kSignalCount];

// Async-signal-safe: a counter, a write and, the second time, the default action.
void Handler(int signal) {
    const int saved = errno;
    if (g_received++ > 0) {
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigaction(signal, &fallback, nullptr);
        raise(signal);
    }
    if (const int fd = g_writeFd.load(); fd >= 0) {
        [[maybe_unused]] const ssize_t written = write(fd, &kRequest, 1);
    }
    errno = saved;
}

}  // namespace

CInterruptSignals::CInterruptSignals(std::function<void()> request) : request_(std::move(request)) {
    if (pipe2(pipe_, O_CLOEXEC) != 0) {
        pipe_[0] = pipe_[1] = -1;
        return;  // the signals keep their default action
    }
    g_received = 0;
    g_writeFd = pipe_[1];
    thread_ = std::thread(&CInterruptSignals::Listen, this);
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        struct sigaction action {};
        action.sa_handler = Handler;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

CInterruptSignals::~CInterruptSignals() {
    if (pipe_[1] < 0) {
        return;
    }
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    g_writeFd = -1;
    [[maybe_unused]] const ssize_t written = write(pipe_[1], &kQuit, 1);
    thread_.join();
    close(pipe_[0]);
    close(pipe_[1]);
}

void CInterruptSignals::Listen() {
    for (;;) {
        char byte = 0;
        const ssize_t got = read(pipe_[0], &byte, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || byte == kQuit) {
            return;
        }
        request_();
    }
}

}  // namespace vzrm
