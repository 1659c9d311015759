#include "plugin/batch_policy.h"

#include <algorithm>
#include <thread>

namespace strata {

Clock::time_point SteadyBatchClock::Now() { return Clock::now(); }

void SteadyBatchClock::Sleep(Clock::duration duration) { std::this_thread::sleep_for(duration); }

void BatchPolicy::WaitOutPause() {
    if (!endedOnce_) return;
    const Clock::duration remaining = ended_ + bounds_.pause - clock_.Now();
    if (remaining > Clock::duration::zero()) clock_.Sleep(remaining);
}

void BatchPolicy::Began() {
    holdingLock_ = true;
    began_ = clock_.Now();
    statements_ = 0;
}

bool BatchPolicy::CommitDue() const {
    return statements_ >= bounds_.mostStatements || clock_.Now() - began_ >= bounds_.longest;
}

void BatchPolicy::Ended() {
    holdingLock_ = false;
    endedOnce_ = true;
    ended_ = clock_.Now();
}

// Holding the lock shuts others out, so that wait is short; a commit that
// meets readers gives up and is replayed after the pause instead.
bool BatchPolicy::RetryBusy(int attempt) {
    const Clock::time_point now = clock_.Now();
    if (attempt == 0) busySince_ = now;
    const Clock::time_point giveUp = busySince_ + (holdingLock_ ? bounds_.holdingWait : bounds_.lockWait);
    if (now >= giveUp) return false;
    clock_.Sleep(std::min<Clock::duration>(bounds_.busyStep, giveUp - now));
    return true;
}

}  // namespace strata
