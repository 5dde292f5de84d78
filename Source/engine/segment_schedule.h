#pragma once

// Speculative segments. A batch's steps are cut into segments that the
// threads take one at a time as each comes free, so no thread waits while
// work is left. Every segment but the first starts a warm-up ahead of its
// first step from the batch's start point, with its generator placed by
// jump-ahead, and plots into the tables of the thread that runs it. Then the
// segments are checked in order: one is exact if its warm-up reached, bit
// for bit, the state in which the segment before it truly ended (from there
// it is fed the same draws as the true trajectory, so everything after is
// the same). One that is not is replayed from the true state alongside its
// wrong start, adding the true plots and taking back the wrong ones in the
// same tables, until the two trajectories coincide. Counts are sums, so the
// order of the additions does not matter: the tables, the point and the
// generator end exactly as the reference loop leaves them.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/fast_scene.h"
#include "engine/group_renderer.h"
#include "engine/worker_pool.h"

namespace morva {

class SegmentSchedule {
public:
    // threads[0] is the caller's table set, threads[i + 1] worker i's.
    SegmentSchedule(const FastScene& scene, WorkerPool& pool,
                    std::vector<std::unique_ptr<ThreadCounts>>& threads);

    // Runs the steps from the state into the threads' tables. False when a
    // replay did not meet its wrong start within its segment: the scene does
    // not coalesce in reach of the warm-up (the batch is exact all the same).
    bool Run(EngineState& state, std::int64_t steps);

    // The speed of the caller's own share of the latest batch, in steps per
    // second.
    double CallerStepsPerSecond() const { return callerStepsPerSecond_; }

    // Whether running the steps could take a plain sum in a thread's screen
    // table past 32 bits; those tables must be folded first then. One thread
    // may run every segment of a batch, and the replays may add as many true
    // plots again, so each table must have room for twice the batch.
    bool NeedsFold(std::int64_t steps) const;

    // Whether a batch is long enough to share: each thread's part at least
    // eight warm-ups.
    bool WorthSharing(std::int64_t steps) const;

    // Steps until a trajectory from the state's point and one from another
    // point, fed the same draws, are the same bits; -1 when they do not meet
    // within the longest warm-up. The state is not changed.
    std::int64_t StepsToCoincide(const EngineState& state) const;

    // Warm-ups grow to twice the longest replay seen, up to this.
    static constexpr std::int64_t kMinWarmUp = 512;
    static constexpr std::int64_t kMaxWarmUp = 16384;
    void AdaptWarmUp(std::int64_t stepsToCoincide);

private:
    struct Segment {
        std::int64_t first = 0, count = 0;
        MapState guess{}, end{};
        std::int32_t seedAtStart = 0;
        int thread = 0;
        std::int64_t offPicture = 0;
    };
    template <class Maps, bool HiRes>
    void RunSegment(const Maps& maps, Segment& segment, int thread, const MapState& start,
                    std::int32_t seed0);
    template <class Maps, bool HiRes>
    bool Correct(const Maps& maps, Segment& segment, MapState& trueEnd, std::int64_t& replayed);

    const FastScene& fs_;
    WorkerPool& pool_;
    std::vector<std::unique_ptr<ThreadCounts>>& threads_;
    std::vector<Segment> segments_;
    std::atomic<int> next_{0};
    std::int64_t warmUp_ = kMinWarmUp;
    double callerStepsPerSecond_ = 0.0;
};

}  // namespace morva
