#pragma once

#include <cstdint>

#include "scene/scene.h"
#include "session/progress.h"

namespace morva {

class Clock;

// The bookkeeping of the render loop, one pass per iteration group: the
// groups counted, the building time read at the head of each pass, the
// groups per whole clock second, and the cadence of 128 groups at which
// the keyboard is polled, the progress step writes the label and the
// window's messages are served.
class RenderLoop {
public:
    explicit RenderLoop(Clock& clock) : clock_(clock) {}

    // The time before the start tick is not building time.
    void TakeStartTick();
    // Before the first pass: the counters at 0, and the group count at
    // which the loop ends.
    void Begin(std::int32_t groupTarget);

    // The head of a pass: the building time so far.
    void ReadElapsed();
    // The speed count: when the whole second of the clock has changed since
    // the previous pass, the groups counted in the second before become the
    // speed.
    void CountSpeed();
    // Whether the groups counted so far are a multiple of 128.
    bool AtCadence() const;
    // The groups to trace at once: one at the cadence, otherwise up to the
    // group after which the messages are served, and never past the last
    // group of the render. Between two polls nothing outside the loop looks
    // at the tables, so these groups can run as one batch.
    int BatchLength() const;
    // The ends of the passes of that many groups, just traced, in order: the
    // end test, then the counters; each pass after the first begins as a
    // pass does (ReadElapsed, CountSpeed). Returns true once the end test is
    // met: the loop traces GroupTarget + 1 groups (one when the target is 0
    // or less), and the last is not counted.
    bool EndPasses(int groups);

    // The figures of the progress step.
    ProgressInputs Figures(const SceneSettings& settings) const;
    std::int32_t GroupsDone() const { return GroupsDone_; }

private:
    Clock& clock_;
    std::int32_t GroupTarget_ = 0;
    std::int32_t GroupsDone_ = 0;
    std::int32_t GroupsThisSecond_ = 0;
    std::int32_t GroupsPerSecond_ = 0;
    float LastTimer_ = 0.0f;
    std::uint32_t StartTick_ = 0;
    std::int32_t ElapsedMs_ = 0;
};

}  // namespace morva
