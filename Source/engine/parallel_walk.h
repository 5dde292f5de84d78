#pragma once

// A batch of the fast loop on several threads, exact by construction and
// bounded in cost by a rule, not by measurement.
//
// Speculative segments. The chaos game contracts: two trajectories fed the
// same draws from different points soon become the same bits and stay so.
// So a batch of N steps is cut into S segments. Every segment but the first
// starts a warm-up of W steps ahead of its first step, from the batch's
// start point, with its generator placed by jump-ahead, and plots into the
// tables of the thread that runs it. The threads (the caller among them)
// claim segments two at a time from one counter and run the two side by
// side, step by step (one chain's step fills the time the other's waits for
// its previous step); the caller, out of segments, sleeps until the last
// claimed ones are done. Then the segments are
// checked in order: one is exact if its warm-up reached, bit for bit, the
// state in which the segment before it truly ended. One that is not is
// replayed from the true state alongside its wrong start, adding the true
// plots and taking back the wrong ones in the same tables, until the two
// trajectories coincide. Counts are sums, so the order of the additions does
// not matter: the tables, the point and the generator end exactly as the
// reference loop leaves them, on any number of threads.
//
// The rule, for T threads:
//   W = max(kMinWarmUp, 2 * M), M the steps that two trajectories of the
//       scene took to coincide when first tested (at most kMaxWarmUp; a
//       scene whose trajectories did not coincide within it runs every
//       batch on the caller alone);
//   S = min(kSegmentsPerThread * T, floor(N / (kWarmUpsPerSegment * W))),
//       rounded down to an even count (segments are claimed in pairs);
//   S < max(2, T): the caller runs the batch alone, as one chain.
// What that bounds:
//   speculative work per batch  <= (S - 1) * W <= N / kWarmUpsPerSegment
//                                  (6.25 %), plus the replays;
//   a replay ends where the trajectories coincide; one that reaches the end
//   of its segment shows that the scene does not coincide within reach, and
//   every later batch of the render runs on the caller alone (so replays
//   waste at most one batch's work per render);
//   a thread the system deschedules holds back only the two segments it
//   claimed, since the others claim every other one, and the caller sleeps
//   rather than polls, leaving a core to it: the caller waits at most for
//   2 * (N / S + W) <= (2 * N / S) * (1 + 1 / kWarmUpsPerSegment) steps of
//   that thread once it runs again; S = kSegmentsPerThread * T wherever
//   N >= kSegmentsPerThread * T * kWarmUpsPerSegment * W, which makes it
//   1/15 of a batch on two threads (the render loop's batches of 127 groups
//   have room for that up to W = 508).
//
// Every thread's plain sums stay exact while hitValue * (plotted + 2 * N) <=
// 2^31 - 1 (ScreenSumsNeedFold): a thread may run every segment of a batch,
// and each replay adds at most its segment's plots again.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/fast_scene.h"
#include "engine/iteration_group.h"
#include "engine/worker_pool.h"

namespace morva {

class ParallelWalk {
public:
    static constexpr std::int64_t kSegmentsPerThread = 16;
    static constexpr std::int64_t kWarmUpsPerSegment = 16;
    static constexpr std::int64_t kMinWarmUp = 256;
    static constexpr std::int64_t kMaxWarmUp = 16384;

    // threads[0] is the caller's table set, threads[i] worker i's; no pool:
    // the caller alone.
    // picture: counted beside the tables, in each thread's own picture
    // table, taken back with the rest where a segment is replayed.
    ParallelWalk(const FastScene& scene, WorkerPool* pool,
                 std::vector<std::unique_ptr<ThreadCounts>>& threads, const PicturePlan* picture = nullptr);

    // The segments the rule gives a batch of steps from this state; none:
    // run it on the caller alone, as one chain.
    std::int64_t Segments(const EngineState& state, std::int64_t steps);
    // The segments for a batch whatever the scene and the batch's length
    // (for tests: every batch takes the parallel path).
    std::int64_t AnySegments(std::int64_t steps) const;

    // Runs the steps from the state into the threads' tables.
    void Run(EngineState& state, std::int64_t steps, std::int64_t segments);

    // Steps until a trajectory from the state's point and one from another
    // point, fed the same draws, are the same bits; -1 when they do not meet
    // within kMaxWarmUp. The state is not changed.
    std::int64_t StepsToCoincide(const EngineState& state) const;

    // Whether the scene's trajectories are known to coincide within reach.
    bool Coalesces() const { return coalescence_ == Coalescence::Yes; }

    // What the rule gives for a batch of steps on threads, with warm-up.
    static std::int64_t SegmentCount(std::int64_t steps, std::int64_t threads, std::int64_t warmUp);
    static std::int64_t WarmUp(std::int64_t stepsToCoincide);

private:
    struct Segment {
        std::int64_t first = 0, count = 0;
        MapState guess{}, end{};
        std::int32_t seedAtStart = 0;
        int thread = 0;
        std::int64_t offPicture = 0;
    };
    int Threads() const { return pool_ ? pool_->Workers() + 1 : 1; }
    // Runs segments j and j + 1 on the thread.
    template <bool HiRes, bool WithPicture, class Maps>
    void RunPair(const Maps& maps, std::size_t j, int thread, const MapState& start, std::int32_t seed0);
    template <bool HiRes, bool WithPicture, class Maps>
    void RunSegments(const Maps& maps, std::int64_t count, const MapState& start, std::int32_t seed0,
                     EngineState& state);
    template <bool HiRes, bool WithPicture, class Maps>
    bool Correct(const Maps& maps, Segment& segment, MapState& trueEnd);

    const FastScene& fs_;
    WorkerPool* pool_;
    std::vector<std::unique_ptr<ThreadCounts>>& threads_;
    const PicturePlan* picture_;
    std::vector<Segment> segments_;
    std::atomic<std::int64_t> next_{0};
    enum class Coalescence { Unknown, Yes, No };
    Coalescence coalescence_ = Coalescence::Unknown;
    std::int64_t warmUp_ = kMinWarmUp;
};

}  // namespace morva
