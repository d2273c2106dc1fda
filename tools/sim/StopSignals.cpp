#include "StopSignals.h"

namespace {

volatile std::sig_atomic_t gStopRequested = 0;

extern "C" void onStopSignal(int) {
    gStopRequested = 1;
}

}  // namespace

StopSignals::StopSignals() {
    sigset_t stopSet;
    sigemptyset(&stopSet);
    sigaddset(&stopSet, SIGTERM);
    sigaddset(&stopSet, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSet, &waitMask_);
    sigdelset(&waitMask_, SIGTERM);
    sigdelset(&waitMask_, SIGINT);

    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool StopSignals::requested() const {
    return gStopRequested != 0;
}
