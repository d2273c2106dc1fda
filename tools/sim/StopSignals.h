#pragma once

#include <csignal>

// SIGTERM and SIGINT, blocked except while the loop waits, so that a stop
// request cannot slip in between the check and the wait.
class StopSignals {
public:
    StopSignals();
    bool requested() const;
    const sigset_t& waitMask() const { return waitMask_; }

private:
    sigset_t waitMask_;
};
