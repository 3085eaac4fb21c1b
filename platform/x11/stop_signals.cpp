#include "platform/x11/stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

// A signal handler can reach nothing but globals.
int stopPipe[2] = {-1, -1};
volatile std::sig_atomic_t stopRequested = 0;
constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnStopSignal(int) {
    const int saved = errno;
    stopRequested = 1;
    const char byte = 1;
    // A full pipe already says everything.
    [[maybe_unused]] ssize_t ignored = write(stopPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

bool StopSignals::Install() {
    if (stopPipe[0] >= 0) return true;
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        stopPipe[0] = stopPipe[1] = -1;
        return false;
    }
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals) {
        if (sigaction(signal, &action, nullptr) != 0) return false;
    }
    return true;
}

StopSignals::~StopSignals() {
    if (stopPipe[0] < 0) return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
    close(stopPipe[0]);
    close(stopPipe[1]);
    stopPipe[0] = stopPipe[1] = -1;
}

int StopSignals::Fd() const { return stopPipe[0]; }

const volatile std::sig_atomic_t* StopSignals::Flag() { return &stopRequested; }

bool StopSignals::Pending() const {
    if (stopPipe[0] < 0) return false;
    pollfd p{stopPipe[0], POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & POLLIN) != 0;
}
