#include "engine/worker_pool.h"

#include <gtest/gtest.h>

#include <system_error>
#include <thread>
#include <vector>

namespace morva {
namespace {

using namespace std::chrono_literals;

TEST(WorkerPool, EveryRoundRunsEveryThreadAndShowsItsResults) {
    WorkerPool pool(3);
    std::vector<int> results(4, 0);
    for (int round = 1; round <= 500; ++round) {
        // Now and then the workers have gone to sleep before the round.
        if (round % 100 == 0) std::this_thread::sleep_for(1ms);
        pool.Run([&](int thread) { results[static_cast<std::size_t>(thread)] += round; });
    }
    for (int r : results) EXPECT_EQ(r, 500 * 501 / 2);
}

TEST(WorkerPool, AThreadTheSystemCannotCreateMeansFewerWorkers) {
    int started = 0;
    WorkerPool pool(3, [&](std::function<void()> loop) {
        if (++started > 1)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        return std::thread(std::move(loop));
    });
    EXPECT_EQ(pool.Workers(), 1);
    std::vector<int> ran(2, 0);
    pool.Run([&](int thread) { ++ran[static_cast<std::size_t>(thread)]; });
    EXPECT_EQ(ran, (std::vector<int>{1, 1}));
}

}  // namespace
}  // namespace morva
