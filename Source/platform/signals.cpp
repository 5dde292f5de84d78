#include "platform/signals.h"

#include <signal.h>

#include <iterator>

namespace morva {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A handler may only store to a lock-free atomic.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction previous[std::size(kStopSignals)];

extern "C" void OnStopSignal(int signal) { caught.store(signal); }

}  // namespace

StopRequests::StopRequests() {
    caught.store(0);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // A save in progress goes on through the signal.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigset_t stops;
    sigemptyset(&stops);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        const int signal = kStopSignals[i];
        sigaction(signal, nullptr, &previous[i]);
        if (signal == SIGHUP && previous[i].sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
        sigaddset(&stops, signal);
    }
    pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
}

StopRequests::~StopRequests() {
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        sigaction(kStopSignals[i], &previous[i], nullptr);
}

const std::atomic<int>& StopRequests::Signal() const { return caught; }

void IgnoreWriteSignals() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    sigaction(SIGXFSZ, &ignore, nullptr);
}

std::string SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(signal);
    }
}

}  // namespace morva
