#include "engine/parallel_walk.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace morva {
namespace {

TEST(ParallelWalk, TheRuleKeepsItsStatedBounds) {
    constexpr std::int64_t kPerThread = ParallelWalk::kSegmentsPerThread;
    constexpr std::int64_t kWarmUps = ParallelWalk::kWarmUpsPerSegment;
    for (std::int64_t threads = 1; threads <= 4; ++threads) {
        for (std::int64_t warmUp :
             {ParallelWalk::kMinWarmUp, std::int64_t{777}, std::int64_t{2 * ParallelWalk::kMaxWarmUp}}) {
            for (std::int64_t steps = 2048; steps <= std::int64_t{1} << 22; steps = steps * 3 / 2) {
                const std::int64_t s = ParallelWalk::SegmentCount(steps, threads, warmUp);
                if (s < std::max<std::int64_t>(2, threads)) continue;  // the caller alone
                EXPECT_EQ(s % 2, 0) << "claimed in pairs";
                // Speculative work: at most a sixteenth of the batch.
                EXPECT_LE((s - 1) * warmUp, steps / kWarmUps) << steps << " steps, warm-up " << warmUp;
                // What a descheduled thread's claim of two segments holds back.
                const double claim = 2.0 * static_cast<double>((steps + s - 1) / s + warmUp);
                EXPECT_LE(
                    claim,
                    2.0 * static_cast<double>(steps) / static_cast<double>(s) * (1.0 + 1.0 / kWarmUps) + 2);
                if (steps >= kPerThread * threads * kWarmUps * warmUp) {
                    EXPECT_EQ(s, kPerThread * threads);
                }
            }
        }
    }
    // The render loop's batch of 127 groups on two threads, at the least
    // warm-up: 32 segments, a claim at most 1/15 of the batch.
    const std::int64_t batch = 127 * kGroupSteps;
    const std::int64_t s = ParallelWalk::SegmentCount(batch, 2, ParallelWalk::kMinWarmUp);
    EXPECT_EQ(s, 32);
    EXPECT_LE(15 * 2 * (batch / s + 1 + ParallelWalk::kMinWarmUp), batch);
    // A single group is never shared.
    EXPECT_LT(ParallelWalk::SegmentCount(kGroupSteps, 1, ParallelWalk::kMinWarmUp), 2);
    EXPECT_EQ(ParallelWalk::WarmUp(10), ParallelWalk::kMinWarmUp);
    EXPECT_EQ(ParallelWalk::WarmUp(1000), 2000);
}

}  // namespace
}  // namespace morva
