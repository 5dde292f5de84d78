#pragma once

// The two-stage pipeline, for scenes whose trajectories never coincide. The
// draws do not depend on the point and the plots do not feed back into the
// trajectory, so the work of a step splits in two: a worker draws, selects
// and maps, writing each new point into a ring in step order, and the
// caller reads the ring in the same order and plots each point into the
// session's tables with its step's index. The same values go to the same
// cells in the same order as in the reference loop; the point and the
// generator are the worker's at the end of the batch.

#include <cstdint>
#include <vector>

#include "engine/fast_scene.h"
#include "engine/group_renderer.h"
#include "engine/worker_pool.h"

namespace morva {

class PipelineSchedule {
public:
    PipelineSchedule(const FastScene& scene, WorkerPool& pool);

    // Runs the steps from the state, plotting into the session's tables.
    void Run(EngineState& state, SessionTables& tables, std::int64_t steps);

    // A chunk of steps is handed over at once; the ring holds a few (a
    // quarter of a megabyte), so that both stages stay in their caches and
    // either can run ahead of the other for a while.
    static constexpr int kChunkSteps = 1024;
    static constexpr std::uint32_t kChunks = 16;
    // A stage waiting for the other polls for about two chunks' time.
    static constexpr std::chrono::microseconds kHandOffSpin{20};

private:
    const FastScene& fs_;
    WorkerPool& pool_;
    std::vector<Lanes> ring_;
    Signal produced_;  // chunks written into the ring
    Signal consumed_;  // chunks plotted
};

}  // namespace morva
