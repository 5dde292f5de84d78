#include "engine/worker_pool.h"

#include <gtest/gtest.h>

#include <new>
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

TEST(WorkerPool, AJobThatThrowsFailsTheRoundOnTheCallerAndThePoolGoesOn) {
    WorkerPool pool(2);
    std::vector<int> ran(3, 0);
    EXPECT_THROW(pool.Run([&](int thread) {
        ++ran[static_cast<std::size_t>(thread)];
        if (thread == 2) throw std::bad_alloc();
    }),
                 std::bad_alloc);
    EXPECT_EQ(ran, (std::vector<int>{1, 1, 1}));  // every job ran to its end first
    pool.Run([&](int thread) { ++ran[static_cast<std::size_t>(thread)]; });
    EXPECT_EQ(ran, (std::vector<int>{2, 2, 2}));
}

}  // namespace
}  // namespace morva
