#pragma once

// The fast loop on one thread or several. Each long batch runs on one of
// three schedules, whichever is measured to be fastest on this machine now
// (schedule_choice.h): the calling thread alone, speculative segments on
// every thread (segment_schedule.h; only for scenes whose trajectories
// coincide soon), or a two-stage pipeline (pipeline_schedule.h). Every
// schedule leaves the tables, the picture, the point and the generator
// exactly as the reference loop does, so the choice changes only the speed.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/fast_scene.h"
#include "engine/group_renderer.h"
#include "engine/pipeline_schedule.h"
#include "engine/schedule_choice.h"
#include "engine/segment_schedule.h"
#include "engine/worker_pool.h"
#include "platform/idle_processors.h"

namespace morva {

class UniformRandom;

struct FastRendererOptions {
    // Runs every batch, however short, on this schedule instead of the
    // measured choice (where the threads allow it): for tests.
    std::optional<Schedule> schedule;
};

class FastRenderer final : public GroupRenderer {
public:
    FastRenderer(const Scene& scene, UniformRandom& uniform, int threads, FastRendererOptions options = {});
    ~FastRenderer() override;

    void DrawGroups(EngineState& state, Raster& raster, int count) override;
    void Flush(Raster& raster, FlushScope scope) override;
    int ActiveThreads() const override;
    // The schedule of the latest batch.
    Schedule LastSchedule() const { return last_; }

    // Batches of fewer groups run on the calling thread and are not
    // measured: the render loop's single groups between two polls.
    static constexpr int kSharedBatchGroups = 32;

private:
    Schedule Choose(const EngineState& state, int count);
    bool Coalesces(const EngineState& state);
    SessionTables MainTables(Raster& raster);
    // The threads' tables, made when first needed.
    void MakeThreadCounts();
    void RunOneThread(EngineState& state, Raster& raster, std::int64_t steps);
    void RunSegments(EngineState& state, Raster& raster, std::int64_t steps);
    // Folds the threads' screen counts into the session's table.
    void FoldScreenCounts(Raster& raster);
    void RunStandard(EngineState& state, Raster& raster, int count);
    void FlushRows(Raster& raster, bool fold, int part, int parts);

    FastScene fs_;
    UniformRandom& uniform_;
    int threads_;
    FastRendererOptions options_;
    std::unique_ptr<WorkerPool> pool_;
    // The threads' tables, one set per thread (the caller's first).
    std::vector<std::unique_ptr<ThreadCounts>> counts_;
    ZeroedCells<std::uint16_t> hiRes_;  // the session's own narrow cells
    std::optional<SegmentSchedule> segments_;
    std::optional<PipelineSchedule> pipeline_;
    IdleProcessors idle_;
    ScheduleChoice choice_;
    Schedule last_ = Schedule::OneThread;

    // Whether trajectories coincide soon enough for segments: tested before
    // the first shared batch, and again now and then after a failure.
    enum class Coalescence { Unknown, Yes, No };
    Coalescence coalescence_ = Coalescence::Unknown;
    std::uint64_t sharedBatches_ = 0;
    std::uint64_t retestAt_ = 0;
    int retestInterval_ = 64;
};

std::unique_ptr<GroupRenderer> MakeFastRenderer(const Scene& scene, UniformRandom& uniform, int threads,
                                                FastRendererOptions options = {});

}  // namespace morva
