#pragma once

// When the plug-in commits, pauses and waits for locks. The recorder writes
// the same day database while the tool rebuilds it: every transaction of the
// tool is short and is followed by a pause with the lock free, long enough
// for the recorder's back-off (which sleeps at most 25 ms between tries while
// it has waited less than about 100 ms) to find the lock free.

#include <chrono>

namespace strata {

using Clock = std::chrono::steady_clock;

// Where the policy takes the time from and how it waits. The plug-in uses the
// steady clock; tests move a clock of their own.
class BatchClock {
public:
    virtual ~BatchClock() = default;
    virtual Clock::time_point Now() = 0;
    virtual void Sleep(Clock::duration duration) = 0;
};

class SteadyBatchClock final : public BatchClock {
public:
    Clock::time_point Now() override;
    void Sleep(Clock::duration duration) override;
};

struct BatchBounds {
    // A transaction commits once it is this old or holds this many statements.
    // The age bounds the recorder's wait; the count only bounds the rows kept
    // for a replay. It is above a whole day of one-minute recordings each in
    // an interval of its own (2 x 1,440 rows), so that an ordinary
    // location-day's rows, written after its files are read, commit once and
    // need no pause between transactions.
    Clock::duration longest = std::chrono::milliseconds(20);
    int mostStatements = 4000;
    // The lock stays free at least this long after each transaction: longer
    // than the recorder's longest back-off step, sleeps overshooting.
    Clock::duration pause = std::chrono::milliseconds(30);
    // Holding the lock, a busy commit or statement is retried this long.
    Clock::duration holdingWait = std::chrono::milliseconds(20);
    // Taking the lock, and committing one batch with its replays, is tried
    // this long before it fails.
    Clock::duration lockWait = std::chrono::seconds(2);
    // How long one retry sleeps while the database is busy.
    Clock::duration busyStep = std::chrono::milliseconds(1);
};

class BatchPolicy {
public:
    BatchPolicy(BatchClock& clock, const BatchBounds& bounds) : clock_(clock), bounds_(bounds) {}

    // Before a transaction begins: sleeps what remains of the pause after
    // the previous one.
    void WaitOutPause();
    // The transaction has taken the lock.
    void Began();
    void Executed() { ++statements_; }
    bool CommitDue() const;
    // The transaction committed or rolled back: the lock is free, the pause starts.
    void Ended();

    // Asked by SQLite when a lock is busy, attempt counting from 0 for each
    // lock: sleeps one step and says whether to try again.
    bool RetryBusy(int attempt);

    // When an attempt that starts now is to give up.
    Clock::time_point GiveUpTime() { return clock_.Now() + bounds_.lockWait; }
    bool IsPast(Clock::time_point time) { return clock_.Now() >= time; }

private:
    BatchClock& clock_;
    const BatchBounds bounds_;
    bool holdingLock_ = false;
    Clock::time_point began_{};
    int statements_ = 0;
    bool endedOnce_ = false;
    Clock::time_point ended_{};
    Clock::time_point busySince_{};
};

}  // namespace strata
