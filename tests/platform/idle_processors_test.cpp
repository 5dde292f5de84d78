#include "platform/idle_processors.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <chrono>
#include <thread>

namespace morva {
namespace {

TEST(IdleProcessors, CountsTheAllowedProcessorsLinesOnly) {
    // The summary line and the lines after the processors' are not counted;
    // an older kernel's line without steal time still is.
    const char* text =
        "cpu  900 0 100 1000 0 0 0 0 0 0\n"
        "cpu0 400 0 50 500 10 1 2 3 7 0\n"
        "cpu1 500 0 50 480 20 0 0\n"
        "cpu12 1 1 1 1 1 1 1 1 0 0\n"
        "intr 654200 0 0\n"
        "ctxt 99\n";
    const ProcessorTicks all = ParseProcessorTicks(text, {});
    EXPECT_EQ(all.processors, 3);
    EXPECT_EQ(all.idle, 510u + 500u + 2u);
    EXPECT_EQ(all.total, 966u + 1050u + 8u);
    const ProcessorTicks one = ParseProcessorTicks(text, {1, 5});
    EXPECT_EQ(one.processors, 1);
    EXPECT_EQ(one.idle, 500u);
    EXPECT_EQ(one.total, 1050u);
    EXPECT_EQ(ParseProcessorTicks("cpu  1 2 3 4 5\nnothing\n", {}).processors, 0);
}

TEST(IdleProcessors, UsableProcessorsFollowTheAffinity) {
    // Under taskset or a container's processor set, the machine has more
    // processors than the process may use.
    cpu_set_t all;
    ASSERT_EQ(::sched_getaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(UsableProcessors(), CPU_COUNT(&all));
    int first = 0;
    while (!CPU_ISSET(first, &all)) ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(UsableProcessors(), 1);
    ASSERT_EQ(::sched_setaffinity(0, sizeof all, &all), 0);
}

TEST(IdleProcessors, ReadsTheRunnableThreadsOfLoadavg) {
    EXPECT_EQ(ParseRunnableThreads("0.52 0.58 0.59 2/467 12345\n"), 2);
    EXPECT_EQ(ParseRunnableThreads("0.00 0.01 0.05 13/1024 99"), 13);
    EXPECT_FALSE(ParseRunnableThreads("0.52 0.58 0.59 2 12345"));
    EXPECT_FALSE(ParseRunnableThreads("0.52 0.58 2/467"));
    EXPECT_FALSE(ParseRunnableThreads(""));
}

TEST(IdleProcessors, AnswersAtOnceAndThenFromTheCounters) {
    // Busy or idle, the counters tick on in wall time: within a few ticks a
    // window is long enough. Every answer lies within the processors there
    // are.
    IdleProcessors idle;
    const int processors = static_cast<int>(std::thread::hardware_concurrency());
    std::optional<double> seen = idle.SincePrevious();
    ASSERT_TRUE(seen) << "this system tells neither counters nor runnable threads";
    for (int i = 0; i < 10; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        seen = idle.SincePrevious();
        ASSERT_TRUE(seen);
        EXPECT_GE(*seen, 0.0);
        EXPECT_LE(*seen, processors + 0.01);
    }
}

}  // namespace
}  // namespace morva
