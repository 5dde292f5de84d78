#include "engine/pipeline_schedule.h"

namespace morva {

namespace {

// Stage 1's sink: the new point of each step, in order.
struct RingSink {
    Lanes* next;
    void Take(Lanes xy, int) { *next++ = xy; }
};

}  // namespace

PipelineSchedule::PipelineSchedule(const FastScene& scene, WorkerPool& pool)
    : fs_(scene), pool_(pool), ring_(static_cast<std::size_t>(kChunks) * kChunkSteps) {}

void PipelineSchedule::Run(EngineState& state, SessionTables& tables, std::int64_t steps) {
    const auto chunks = static_cast<std::uint32_t>((steps + kChunkSteps - 1) / kChunkSteps);
    auto chunkSteps = [&](std::uint32_t c) {
        return std::min<std::int64_t>(kChunkSteps, steps - std::int64_t{c} * kChunkSteps);
    };
    auto slot = [&](std::uint32_t c) {
        return ring_.data() + static_cast<std::size_t>(c % kChunks) * kChunkSteps;
    };
    produced_.Store(0);
    consumed_.Store(0);
    MapState point = ToMapState(state.point);
    std::int32_t seed = state.RandSeed;

    fs_.Visit([&](const auto& maps, auto hiRes) {
        pool_.Start([&](int worker) {
            if (worker != 0) return;
            std::uint32_t consumed = consumed_.Load();
            for (std::uint32_t c = 0; c < chunks; ++c) {
                while (c - consumed >= kChunks) consumed = consumed_.AwaitChange(consumed, kHandOffSpin);
                RingSink sink{slot(c)};
                Walk(*fs_.selection, maps, point, seed, sink, std::int64_t{c} * kChunkSteps, chunkSteps(c));
                produced_.Store(c + 1);
            }
        });
        PlotSink<decltype(hiRes)::value, SessionTables> plot{fs_.mapping, tables};
        std::uint32_t produced = produced_.Load();
        for (std::uint32_t c = 0; c < chunks; ++c) {
            while (produced <= c) produced = produced_.AwaitChange(produced, kHandOffSpin);
            const Lanes* points = slot(c);
            const std::int64_t n = chunkSteps(c);
            // Chunks start on a multiple of 1024 steps, and so on a multiple
            // of the echo stride within their group.
            static_assert(kGroupSteps % kChunkSteps == 0 && kChunkSteps % kEchoStride == 0);
            int step = static_cast<int>((std::int64_t{c} * kChunkSteps) % kGroupSteps);
            for (std::int64_t i = 0; i < n; ++i) plot.Take(points[i], step++);
            consumed_.Store(c + 1);
        }
        tables = plot.tables;
        pool_.Wait();
    });
    state.point = ToPointState(point);
    state.RandSeed = seed;
}

}  // namespace morva
