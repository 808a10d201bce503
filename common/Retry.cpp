#include "common/Retry.h"

#include <utility>

Retry::Retry(const RetryPlan& steps, Sleep wait, OutOfTime runClock)
    : plan(steps), sleep(std::move(wait)), outOfTime(std::move(runClock)) {}

bool Retry::Last() const { return attempt >= plan.attempts || (outOfTime && outOfTime()); }

void Retry::Pause() {
    if (plan.pauseSeconds > 0 && sleep)
        sleep(plan.pauseSeconds);
    ++attempt;
}
