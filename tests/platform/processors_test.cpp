#include "platform/processors.h"

#include <gtest/gtest.h>
#include <sched.h>

namespace morva {
namespace {

TEST(UsableProcessors, UsableProcessorsFollowTheAffinity) {
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

}  // namespace
}  // namespace morva
