#include "engine/fast_renderer.h"

#include <algorithm>
#include <chrono>

#include "engine/iteration_group.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"

namespace morva {

FastRenderer::FastRenderer(const Scene& scene, UniformRandom& uniform, int threads,
                           FastRendererOptions options)
    : fs_(scene),
      uniform_(uniform),
      threads_(fs_.highSpeed ? std::max(1, threads) : 1),
      options_(options),
      hiRes_(fs_.hiRes ? kHiResCells : 0),
      // One thread has nothing to choose, and the machine need not be read.
      choice_(threads_ > 1 ? ScheduleChoice::IdleReading([this] { return idle_.SincePrevious(); })
                           : ScheduleChoice::IdleReading()) {
    if (threads_ > 1) {
        pool_ = std::make_unique<WorkerPool>(threads_ - 1);
        segments_.emplace(fs_, *pool_, counts_);
        pipeline_.emplace(fs_, *pool_);
    }
}

FastRenderer::~FastRenderer() = default;

SessionTables FastRenderer::MainTables(Raster& raster) {
    return SessionTables{raster.HitBuffer().Data(), hiRes_.data(), raster.HiResBuffer().Data()};
}

bool FastRenderer::Coalesces(const EngineState& state) {
    const bool test = coalescence_ == Coalescence::Unknown ||
                      (coalescence_ == Coalescence::No && sharedBatches_ >= retestAt_);
    if (test) {
        const std::int64_t met = segments_->StepsToCoincide(state);
        if (met >= 0) {
            coalescence_ = Coalescence::Yes;
            segments_->AdaptWarmUp(met);
        } else {
            coalescence_ = Coalescence::No;
            retestAt_ = sharedBatches_ + static_cast<std::uint64_t>(retestInterval_);
            retestInterval_ = std::min(2 * retestInterval_, 4096);
        }
    }
    return coalescence_ == Coalescence::Yes;
}

Schedule FastRenderer::Choose(const EngineState& state, int count) {
    if (threads_ == 1) return Schedule::OneThread;
    if (options_.schedule) return *options_.schedule;
    if (count < kSharedBatchGroups) return Schedule::OneThread;
    const std::int64_t steps = std::int64_t{count} * kGroupSteps;
    const bool segmentsUsable = segments_->WorthSharing(steps) && Coalesces(state);
    // The pipeline is bound by the slower of its two stages, segments only
    // by their warm-ups: where segments can run, they won every comparison.
    return choice_.Next(segmentsUsable, /*pipelineUsable=*/!segmentsUsable);
}

void FastRenderer::DrawGroups(EngineState& state, Raster& raster, int count) {
    if (!fs_.highSpeed) {
        RunStandard(state, raster, count);
        return;
    }
    const std::int64_t steps = std::int64_t{count} * kGroupSteps;
    const Schedule schedule = Choose(state, count);
    const auto started = std::chrono::steady_clock::now();
    switch (schedule) {
        case Schedule::OneThread:
            // When one thread takes over from segments, the other threads'
            // screen tables are folded: every picture rebuilt until segments
            // run again reads two tables, not one per thread.
            if (count >= kSharedBatchGroups && last_ == Schedule::Segments) FoldScreenCounts(raster);
            RunOneThread(state, raster, steps);
            break;
        case Schedule::Segments:
            RunSegments(state, raster, steps);
            break;
        case Schedule::Pipeline: {
            SessionTables tables = MainTables(raster);
            pipeline_->Run(state, tables, steps);
            state.offPicture += tables.offPicture;
            break;
        }
    }
    // A single group on the caller leaves the latest long batch's schedule.
    if (schedule != Schedule::OneThread || count >= kSharedBatchGroups) last_ = schedule;
    if (threads_ > 1 && !options_.schedule) {
        const auto elapsed = std::chrono::steady_clock::now() - started;
        if (count < kSharedBatchGroups) {
            choice_.SingleGroups(steps, elapsed);
        } else {
            choice_.Measured(schedule, steps, elapsed,
                             schedule == Schedule::Segments ? segments_->CallerStepsPerSecond() : 0.0);
            ++sharedBatches_;
        }
    }
}

void FastRenderer::MakeThreadCounts() {
    if (counts_.empty()) {
        for (int t = 0; t < threads_; ++t) counts_.push_back(std::make_unique<ThreadCounts>(fs_.hiRes));
    }
}

void FastRenderer::RunOneThread(EngineState& state, Raster& raster, std::int64_t steps) {
    // The caller plots where its segments plot, plain sums folded into the
    // session's tables when they are shown or saved: a screen cell that
    // saturates at every add ran a fifth slower (fern, sierpinski), and the
    // caller's own tables are in its cache (a high-resolution table is ten
    // megabytes; the single groups between two batches of segments ran six
    // times slower into a cold one).
    MakeThreadCounts();
    if (ScreenSumsNeedFold(counts_, steps, fs_.mapping.hitValue)) FoldScreenCounts(raster);
    ThreadCounts& own = *counts_.front();
    own.plotted += steps;
    ThreadTables tables(own);
    MapState point = ToMapState(state.point);
    fs_.Visit([&](const auto& maps, auto hiRes) {
        PlotSink<decltype(hiRes)::value, ThreadTables> sink{fs_.mapping, tables};
        Walk(*fs_.selection, maps, point, state.RandSeed, sink, 0, steps);
        tables = sink.tables;
    });
    state.point = ToPointState(point);
    state.offPicture += tables.offPicture;
}

void FastRenderer::RunSegments(EngineState& state, Raster& raster, std::int64_t steps) {
    MakeThreadCounts();
    // Only the screen tables hold plain 32-bit sums; the 16-bit
    // high-resolution cells note their wraps and never run out of range.
    if (segments_->NeedsFold(steps)) FoldScreenCounts(raster);
    if (!segments_->Run(state, steps)) {
        // A replay ran through a whole segment: segments cost more than they
        // give until a later test shows the trajectories coinciding again.
        coalescence_ = Coalescence::No;
        retestAt_ = sharedBatches_ + static_cast<std::uint64_t>(retestInterval_);
    }
}

void FastRenderer::FoldScreenCounts(Raster& raster) {
    std::vector<ThreadCounts*> threads;
    for (auto& counts : counts_) threads.push_back(counts.get());
    FoldHitCells(raster.HitBuffer().Data(), threads, 0, kHitCells);
    for (auto& counts : counts_) counts->plotted = 0;
}

void FastRenderer::RunStandard(EngineState& state, Raster& raster, int count) {
    // The platform generator's draws make every picture different anyway;
    // the loop stays on one thread and uses the reference walk.
    SessionTables tables = MainTables(raster);
    MapState point = ToMapState(state.point);
    const double weightSum = fs_.scene.settings.WeightSum;
    auto run = [&](auto hiRes) {
        PlotSink<decltype(hiRes)::value, SessionTables> sink{fs_.mapping, tables};
        for (int g = 0; g < count; ++g) {
            for (int i = 0; i < kGroupSteps; ++i) {
                const int k = SelectStandard(fs_.scene, uniform_.Next() * weightSum);
                if (k >= 0) fs_.mixedMaps.Apply(k, point);
                sink.Take(point.xy, i);
            }
        }
        tables = sink.tables;
    };
    if (fs_.hiRes) {
        run(std::true_type{});
    } else {
        run(std::false_type{});
    }
    state.point = ToPointState(point);
    state.offPicture += tables.offPicture;
}

int FastRenderer::ActiveThreads() const {
    switch (last_) {
        case Schedule::OneThread:
            break;
        case Schedule::Segments:
            return threads_;
        case Schedule::Pipeline:
            return 2;
    }
    return 1;
}

void FastRenderer::Flush(Raster& raster, FlushScope scope) {
    const bool fold = scope == FlushScope::All;
    // The bands below find their wraps by cell.
    if (fold) {
        for (auto& counts : counts_) std::sort(counts->wraps.begin(), counts->wraps.end());
    }
    // A fold (saves, the end) takes the threads' whole tables: each thread
    // takes its own band of rows, while the render runs on every thread.
    // The picture alone, rebuilt for every frame of a window, is the
    // caller's: it takes a fraction of a millisecond, and handing it out
    // would make every frame wait for the slowest thread, which another
    // program on a busy machine may hold off its core for milliseconds.
    const int parts = fold && pool_ && last_ == Schedule::Segments ? threads_ : 1;
    if (parts > 1) {
        pool_->Start([&](int worker) { FlushRows(raster, fold, worker + 1, parts); });
        FlushRows(raster, fold, 0, parts);
        pool_->Wait();
    } else {
        FlushRows(raster, fold, 0, 1);
    }
    if (fold) {
        for (auto& counts : counts_) {
            counts->plotted = 0;
            counts->wraps.clear();
        }
    }
}

// Folds the threads' counts of a band of rows into the session's tables
// (when asked) and rebuilds the band's picture bytes.
void FastRenderer::FlushRows(Raster& raster, bool fold, int part, int parts) {
    std::vector<ThreadCounts*> threads;
    for (auto& counts : counts_) threads.push_back(counts.get());
    const int firstRow = kHitHeight * part / parts, endRow = kHitHeight * (part + 1) / parts;
    std::int32_t* hits = raster.HitBuffer().Data();
    if (fold) {
        FoldHitCells(hits, threads, static_cast<std::size_t>(firstRow) * kHitWidth,
                     static_cast<std::size_t>(endRow) * kHitWidth);
        if (fs_.hiRes) {
            std::vector<NarrowTable> tables{{hiRes_.data(), nullptr}};
            for (ThreadCounts* t : threads) tables.push_back({t->hiRes.data(), &t->wraps});
            FoldNarrow(raster.HiResBuffer().Data(),
                       static_cast<std::size_t>(kHiResHeight * part / parts) * kHiResWidth,
                       static_cast<std::size_t>(kHiResHeight * (part + 1) / parts) * kHiResWidth, tables);
        }
    }
    // A thread's screen table holds nothing since its latest fold.
    std::erase_if(threads, [](const ThreadCounts* t) { return t->plotted == 0; });
    FrameSurface& surface = raster.Surface();
    if (surface.Mapped()) RebuildPictureRows(surface, hits, threads, firstRow, endRow);
}

std::unique_ptr<GroupRenderer> MakeFastRenderer(const Scene& scene, UniformRandom& uniform, int threads,
                                                FastRendererOptions options) {
    return std::make_unique<FastRenderer>(scene, uniform, threads, options);
}

}  // namespace morva
