// The retry rule every request loop of the updater follows: the plan's
// attempts, its pause between two of them, and the run clock that makes any
// attempt the last.

#include <gtest/gtest.h>

#include <vector>

#include "common/Retry.h"

namespace {

// Runs a step that always fails through `retry`; the attempts made and the
// pauses asked for.
struct Trace {
    int attempts = 0;
    std::vector<unsigned> pauses;
};

Trace FailEveryTime(const RetryPlan& plan, Retry::OutOfTime outOfTime = nullptr) {
    Trace trace;
    for (Retry retry(
             plan, [&trace](unsigned seconds) { trace.pauses.push_back(seconds); },
             std::move(outOfTime));
         ;) {
        ++trace.attempts;
        EXPECT_EQ(retry.Attempt(), trace.attempts);
        if (retry.Last() || trace.attempts > 100)
            break;
        retry.Pause();
    }
    return trace;
}

TEST(Retry, MakesThePlansAttemptsWithItsPauseBetweenTwo) {
    const struct {
        RetryPlan plan;
        int attempts;
        std::vector<unsigned> pauses;
    } cases[] = {
        {{5, 5}, 5, {5, 5, 5, 5}},
        {{5, 10}, 5, {10, 10, 10, 10}},
        {{1, 5}, 1, {}},
        // No pause: the sleep is never called.
        {{4, 0}, 4, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.plan.attempts) + "x" + std::to_string(c.plan.pauseSeconds));
        const Trace trace = FailEveryTime(c.plan);
        EXPECT_EQ(trace.attempts, c.attempts);
        EXPECT_EQ(trace.pauses, c.pauses);
    }
}

TEST(Retry, OnceTheRunIsOutOfTimeTheAttemptUnderWayIsTheLast) {
    // Out of time from the start: one attempt, no pause.
    Trace trace = FailEveryTime({5, 5}, [] { return true; });
    EXPECT_EQ(trace.attempts, 1);
    EXPECT_TRUE(trace.pauses.empty());

    // Out of time during the second attempt.
    int asked = 0;
    trace = FailEveryTime({5, 5}, [&asked] { return ++asked >= 2; });
    EXPECT_EQ(trace.attempts, 2);
    EXPECT_EQ(trace.pauses, (std::vector<unsigned>{5}));
}

TEST(Retry, AgainCountsAnAttemptWithoutAPause) {
    std::vector<unsigned> pauses;
    Retry retry({3, 5}, [&pauses](unsigned seconds) { pauses.push_back(seconds); });
    retry.Again();
    EXPECT_EQ(retry.Attempt(), 2);
    EXPECT_FALSE(retry.Last());
    retry.Again();
    EXPECT_TRUE(retry.Last());
    EXPECT_TRUE(pauses.empty());
}

} // namespace
