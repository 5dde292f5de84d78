#include "engine/worker_pool.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace morva {
namespace {

using namespace std::chrono_literals;

TEST(WorkerPool, EveryRoundRunsEveryWorkerAndShowsItsResults) {
    WorkerPool pool(3);
    std::vector<int> results(3, 0);
    for (int round = 1; round <= 500; ++round) {
        pool.Start([&](int worker) { results[static_cast<std::size_t>(worker)] += round; });
        // Now and then the workers have gone to sleep before the round.
        if (round % 100 == 0) std::this_thread::sleep_for(1ms);
        pool.Wait();
    }
    for (int r : results) EXPECT_EQ(r, 500 * 501 / 2);
}

TEST(Signal, WakesAWaiterThatHasGoneToSleep) {
    Signal signal;
    std::thread waiter([&] {
        std::uint32_t seen = 0;
        while (seen < 3) seen = signal.AwaitChange(seen, 0us);
    });
    for (std::uint32_t v = 1; v <= 3; ++v) {
        std::this_thread::sleep_for(2ms);  // long past the waiter's polling
        signal.Store(v);
    }
    waiter.join();  // a lost wake-up would hang here
}

}  // namespace
}  // namespace morva
