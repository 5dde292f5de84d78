#pragma once

// The fast loop on one thread or several. A batch whose scene coalesces and
// whose length the rule of parallel_walk.h can share runs as speculative
// segments, two side by side on every thread (the caller alone included);
// any other batch (single groups, a scene whose trajectories never
// coincide, the standard-speed selection) runs on the calling thread as one
// chain. Either way the tables, the picture, the point and the
// generator end exactly as the reference loop leaves them.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/fast_scene.h"
#include "engine/group_renderer.h"
#include "engine/parallel_walk.h"
#include "engine/thread_count_set.h"
#include "engine/worker_pool.h"

namespace morva {

class UniformRandom;

struct FastRendererOptions {
    enum class Sharing {
        ByRule,      // as parallel_walk.h states
        EveryBatch,  // every batch, however short, whatever the scene: for tests
    };
    Sharing sharing = Sharing::ByRule;
    // How the workers are started (tests make it fail); none: std::thread.
    WorkerPool::ThreadStarter startThread;
};

class FastRenderer final : public GroupRenderer {
public:
    // picture: counted beside the tables, when given.
    FastRenderer(const Scene& scene, UniformRandom& uniform, int threads, FastRendererOptions options = {},
                 std::optional<PicturePlan> picture = std::nullopt);
    ~FastRenderer() override;

    void DrawGroups(EngineState& state, Raster& raster, int count) override;
    void Flush(Raster& raster, FlushScope scope) override;
    int ActiveThreads() const override;
    PictureCounts* Picture() override;
    // Whether the latest batch ran as segments.
    bool LastShared() const { return lastShared_; }

private:
    void RunOneThread(EngineState& state, std::int64_t steps);
    void RunStandard(EngineState& state, Raster& raster, int count);
    const PicturePlan* Plan() const { return picture_ ? &*picture_ : nullptr; }

    FastScene fs_;
    UniformRandom& uniform_;
    FastRendererOptions options_;
    std::optional<PicturePlan> picture_;
    std::unique_ptr<WorkerPool> pool_;
    int threads_ = 1;
    ThreadCountSet counts_;  // made when first needed
    std::optional<ParallelWalk> parallel_;
    bool lastShared_ = false;
};

std::unique_ptr<GroupRenderer> MakeFastRenderer(const Scene& scene, UniformRandom& uniform, int threads,
                                                FastRendererOptions options = {},
                                                std::optional<PicturePlan> picture = std::nullopt);

}  // namespace morva
