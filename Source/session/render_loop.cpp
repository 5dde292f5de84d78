#include "session/render_loop.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"

namespace morva {

namespace {

// Keyboard poll, progress step and message processing share this cadence.
constexpr std::int32_t kCadenceMask = 127;

}  // namespace

void RenderLoop::TakeStartTick() { StartTick_ = clock_.TickCount(); }

void RenderLoop::Begin(std::int32_t groupTarget) {
    GroupTarget_ = groupTarget;
    GroupsDone_ = 0;
    GroupsThisSecond_ = 0;
    GroupsPerSecond_ = 0;
}

void RenderLoop::ReadElapsed() { ElapsedMs_ = static_cast<std::int32_t>(clock_.TickCount() - StartTick_); }

void RenderLoop::CountSpeed() {
    const float t = clock_.SecondsSinceMidnight();
    if (std::floor(t) != std::floor(LastTimer_)) {
        GroupsPerSecond_ = GroupsThisSecond_;
        GroupsThisSecond_ = 0;
    }
    LastTimer_ = t;
}

bool RenderLoop::AtCadence() const { return (GroupsDone_ & kCadenceMask) == 0; }

int RenderLoop::BatchLength() const {
    if (AtCadence()) return 1;
    // Up to the group after which messages are processed, and never past
    // the last group of the render.
    const std::int32_t last = std::min(GroupsDone_ | kCadenceMask, std::max(GroupTarget_, GroupsDone_));
    return static_cast<int>(last - GroupsDone_ + 1);
}

bool RenderLoop::EndPasses(int groups) {
    for (int pass = 0; pass < groups; ++pass) {
        if (pass > 0) {
            ReadElapsed();
            CountSpeed();
        }
        if (GroupsDone_ >= GroupTarget_) return true;
        ++GroupsThisSecond_;
        ++GroupsDone_;
    }
    return false;
}

ProgressInputs RenderLoop::Figures(const SceneSettings& settings) const {
    ProgressInputs in;
    in.GroupsDone = GroupsDone_;
    in.GroupTarget = settings.GroupTarget;
    in.GroupsPerSecond = GroupsPerSecond_;
    in.ElapsedMs = ElapsedMs_;
    in.InitialSeed = settings.InitialSeed;
    in.HiRes = settings.HiRes;
    in.HighSpeed = settings.HighSpeed;
    return in;
}

}  // namespace morva
