#pragma once
// Trying a step again after a failure that may pass: how many attempts, the
// pause between two of them, and which attempt is the last.
//
//   for (Retry retry(kPlan, sleep, outOfTime);;) {
//       if (Fetch()) return true;
//       if (retry.Last()) return Failed();
//       retry.Pause();
//   }
//
// An attempt is the last when it is the plan's last one, or, when the caller
// gives its run's clock, once that run is out of time: a run that has used
// its time starts no further attempt.

#include <functional>

// A step's attempts and the pause before each but the first.
struct RetryPlan {
    int attempts;
    unsigned pauseSeconds; // 0: the next attempt follows at once
};

class Retry {
public:
    // Waits the given number of seconds (tests skip the wait).
    using Sleep = std::function<void(unsigned seconds)>;
    // True once the run that makes the attempts is out of time.
    using OutOfTime = std::function<bool()>;

    Retry(const RetryPlan& steps, Sleep wait, OutOfTime runClock = nullptr);

    // The attempt under way, counted from 1.
    int Attempt() const { return attempt; }
    // True when no attempt follows this one.
    bool Last() const;
    // Waits the plan's pause, then counts the next attempt.
    void Pause();
    // Counts the next attempt without a pause.
    void Again() { ++attempt; }

private:
    RetryPlan plan;
    Sleep sleep;
    OutOfTime outOfTime;
    int attempt = 1;
};
