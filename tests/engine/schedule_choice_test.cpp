#include "engine/schedule_choice.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <utility>

namespace morva {
namespace {

using namespace std::chrono_literals;

// Runs batches on a machine whose speed per schedule the test sets, and
// counts which schedule ran.
struct Machine {
    explicit Machine(ScheduleChoice::IdleReading idle = {}) : choice(std::move(idle)) {}
    ScheduleChoice choice;
    std::map<Schedule, double> stepsPerSecond;
    std::map<Schedule, int> runs;
    bool singleGroups = false;  // the caller runs one group alone before each batch
    void Batches(int n, bool segmentsUsable = true) {
        for (int i = 0; i < n; ++i) {
            if (singleGroups) {
                choice.SingleGroups(2048, std::chrono::nanoseconds(static_cast<std::int64_t>(
                                              2048 * 1e9 / stepsPerSecond[Schedule::OneThread])));
            }
            const Schedule s = choice.Next(segmentsUsable, true);
            ++runs[s];
            const auto elapsed =
                std::chrono::nanoseconds(static_cast<std::int64_t>(1e6 * 1e9 / stepsPerSecond[s]));
            // A segments batch also tells how fast the caller's own share ran.
            const double caller = s == Schedule::Segments ? stepsPerSecond[Schedule::OneThread] : 0.0;
            choice.Measured(s, 1000000, elapsed, caller);
        }
    }
};

TEST(ScheduleChoice, FollowsTheFastestAsTheLoadChanges) {
    Machine m;
    // Idle: segments twice as fast as one thread.
    m.stepsPerSecond = {
        {Schedule::OneThread, 100e6}, {Schedule::Segments, 200e6}, {Schedule::Pipeline, 150e6}};
    m.Batches(200);
    EXPECT_GE(m.runs[Schedule::Segments], 190);
    EXPECT_LE(m.runs[Schedule::OneThread], 6) << "one thread is measured often while segments clearly win";
    // Another program takes a core: the threads now lose to one thread.
    m.runs.clear();
    m.stepsPerSecond = {{Schedule::OneThread, 100e6}, {Schedule::Segments, 70e6}, {Schedule::Pipeline, 60e6}};
    m.Batches(200);
    EXPECT_GE(m.runs[Schedule::OneThread], 180);
    EXPECT_GT(m.runs[Schedule::Segments], 0) << "the threads are never tried again";
    // The other program ends: the threads win again, soon.
    m.runs.clear();
    m.stepsPerSecond = {
        {Schedule::OneThread, 100e6}, {Schedule::Segments, 200e6}, {Schedule::Pipeline, 150e6}};
    m.Batches(200);
    EXPECT_GE(m.runs[Schedule::Segments], 120);
    // A scene that does not coalesce: segments are out of the question.
    m.runs.clear();
    m.Batches(50, /*segmentsUsable=*/false);
    EXPECT_EQ(m.runs[Schedule::Segments], 0);
    EXPECT_GE(m.runs[Schedule::Pipeline], 45);
}

TEST(ScheduleChoice, SingleGroupsShowWhenSegmentsClearlyWin) {
    // A short render is over before a slow batch of one thread pays back:
    // its single groups show for free that segments are twice as fast.
    Machine fast;
    fast.singleGroups = true;
    fast.stepsPerSecond = {
        {Schedule::OneThread, 100e6}, {Schedule::Segments, 200e6}, {Schedule::Pipeline, 150e6}};
    fast.Batches(200);
    EXPECT_EQ(fast.runs[Schedule::OneThread], 0);
    // Segments that barely win: one thread is measured all the same.
    Machine close;
    close.singleGroups = true;
    close.stepsPerSecond = {
        {Schedule::OneThread, 100e6}, {Schedule::Segments, 120e6}, {Schedule::Pipeline, 90e6}};
    close.Batches(200);
    EXPECT_GT(close.runs[Schedule::OneThread], 0);
}

TEST(ScheduleChoice, WaitsForAnIdleProcessorBeforeTryingTheThreadsAgain) {
    // Another program holds the second core from the start, and the
    // processor counters say so: each try of the threads costs two slow
    // batches, so they are tried rarely, and as soon as a processor stands
    // idle again.
    double idle = 0.0;
    int asked = 0;
    Machine m([&]() -> std::optional<double> {
        ++asked;
        return idle;
    });
    m.stepsPerSecond = {{Schedule::OneThread, 100e6}, {Schedule::Segments, 50e6}, {Schedule::Pipeline, 40e6}};
    m.Batches(100);
    EXPECT_EQ(m.runs[Schedule::Segments], 0)
        << "a short render on a busy machine paid for trying the threads";
    m.Batches(900);
    EXPECT_LE(m.runs[Schedule::Segments], 14) << "tried as often as on an idle machine";
    EXPECT_GT(m.runs[Schedule::Segments], 2) << "never tried again";
    EXPECT_LE(asked, 40) << "the counters are read at every batch";
    idle = 1.0;
    m.stepsPerSecond[Schedule::Segments] = 200e6;
    m.runs.clear();
    m.Batches(200);
    EXPECT_GE(m.runs[Schedule::Segments], 120);
}

}  // namespace
}  // namespace morva
