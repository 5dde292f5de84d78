#include "engine/fast_renderer.h"

#include "engine/iteration_group.h"
#include "engine/walk.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"

namespace morva {

FastRenderer::FastRenderer(const Scene& scene, UniformRandom& uniform, int threads,
                           FastRendererOptions options, std::optional<PicturePlan> picture)
    : fs_(scene),
      uniform_(uniform),
      options_(std::move(options)),
      picture_(std::move(picture)),
      counts_(fs_.hiRes, Plan()) {
    // The standard-speed selection draws from the platform's generator, one
    // draw after another: it runs on the caller.
    if (!fs_.highSpeed) return;
    if (threads > 1) {
        pool_ = std::make_unique<WorkerPool>(threads - 1, options_.startThread);
        threads_ = pool_->Workers() + 1;
        if (threads_ == 1) pool_.reset();
    }
    parallel_.emplace(fs_, pool_.get(), counts_.Threads(), Plan());
}

FastRenderer::~FastRenderer() = default;

void FastRenderer::DrawGroups(EngineState& state, Raster& raster, int count) {
    if (!fs_.highSpeed) {
        RunStandard(state, raster, count);
        return;
    }
    const std::int64_t steps = std::int64_t{count} * kGroupSteps;
    std::int64_t segments = 0;
    if (parallel_) {
        segments = options_.sharing == FastRendererOptions::Sharing::EveryBatch
                       ? parallel_->AnySegments(steps)
                       : parallel_->Segments(state, steps);
    }
    counts_.Make(threads_);
    // A thread may run every segment and replay each once: room for twice
    // the batch.
    if (ScreenSumsNeedFold(counts_.Threads(), segments > 0 ? 2 * steps : steps, fs_.mapping.hitValue))
        counts_.FoldScreen(raster);
    if (segments > 0) {
        parallel_->Run(state, steps, segments);
    } else {
        RunOneThread(state, steps);
    }
    lastShared_ = segments > 0;
}

void FastRenderer::RunOneThread(EngineState& state, std::int64_t steps) {
    // The caller plots where its segments plot, plain sums folded into the
    // session's tables when they are shown or saved: a screen cell that
    // saturates at every add cost a fifth of the speed, and the caller's own
    // tables are in its cache.
    ThreadCounts& own = counts_.Caller();
    own.plotted += steps;
    MapState point = ToMapState(state.point);
    FastDraws draws{fs_.selection->Hot(), state.RandSeed};
    fs_.Visit([&](const auto& maps, auto hiRes) {
        auto run = [&](auto withPicture) {
            auto sink = MakeStepSink<decltype(hiRes)::value, decltype(withPicture)::value>(
                fs_.mapping, ThreadTables(own), Plan(), own);
            Walk(draws, maps, point, sink, 0, steps);
            state.offPicture += PlotsOf(sink).tables.offPicture;
        };
        if (Plan()) {
            run(std::true_type{});
        } else {
            run(std::false_type{});
        }
    });
    StorePoint(point, state.point);
    state.RandSeed = draws.seed;
}

void FastRenderer::RunStandard(EngineState& state, Raster& raster, int count) {
    // The platform generator's draws make every picture different anyway:
    // plots go straight to the session's tables.
    SessionTables tables{raster.HitBuffer().Data(), counts_.OwnHiRes(), raster.HiResBuffer().Data()};
    MapState point = ToMapState(state.point);
    StandardDraws draws{&fs_.scene, &uniform_, fs_.scene.settings.WeightSum};
    const std::int64_t steps = std::int64_t{count} * kGroupSteps;
    auto run = [&](auto hiRes) {
        PlotSink<decltype(hiRes)::value, SessionTables> plots{fs_.mapping, tables};
        if (Plan()) {
            counts_.Make(threads_);
            BothSinks<decltype(plots), PictureSink<false>> sink{
                plots, PictureSink<false>(Plan(), &*counts_.Caller().picture)};
            Walk(draws, fs_.mixedMaps, point, sink, 0, steps);
            state.offPicture += sink.first.tables.offPicture;
        } else {
            Walk(draws, fs_.mixedMaps, point, plots, 0, steps);
            state.offPicture += plots.tables.offPicture;
        }
    };
    if (fs_.hiRes) {
        run(std::true_type{});
    } else {
        run(std::false_type{});
    }
    StorePoint(point, state.point);
}

int FastRenderer::ActiveThreads() const { return lastShared_ ? threads_ : 1; }

PictureCounts* FastRenderer::Picture() {
    if (!Plan()) return nullptr;
    counts_.Make(threads_);
    return &counts_.Picture();
}

void FastRenderer::Flush(Raster& raster, FlushScope scope) {
    const bool fold = scope == FlushScope::All;
    // A fold (saves, the end) takes the threads' whole tables: each thread
    // takes its own band of rows. The picture alone, rebuilt for every frame
    // of a window, is the caller's: it takes a fraction of a millisecond, and
    // handing it out would make every frame wait for the slowest thread.
    if (fold) counts_.BeginFold();
    if (fold && pool_) {
        pool_->Run([&](int part) { counts_.FlushRows(raster, fold, part, threads_); });
    } else {
        counts_.FlushRows(raster, fold, 0, 1);
    }
    if (fold) counts_.EndFold();
}

std::unique_ptr<GroupRenderer> MakeFastRenderer(const Scene& scene, UniformRandom& uniform, int threads,
                                                FastRendererOptions options,
                                                std::optional<PicturePlan> picture) {
    return std::make_unique<FastRenderer>(scene, uniform, threads, std::move(options), std::move(picture));
}

}  // namespace morva
