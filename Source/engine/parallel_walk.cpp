#include "engine/parallel_walk.h"

#include <algorithm>

#include "engine/walk.h"

namespace morva {

ParallelWalk::ParallelWalk(const FastScene& scene, WorkerPool& pool,
                           std::vector<std::unique_ptr<ThreadCounts>>& threads)
    : fs_(scene), pool_(pool), threads_(threads) {}

std::int64_t ParallelWalk::WarmUp(std::int64_t stepsToCoincide) {
    return std::max(kMinWarmUp, 2 * stepsToCoincide);
}

std::int64_t ParallelWalk::SegmentCount(std::int64_t steps, std::int64_t threads, std::int64_t warmUp) {
    return std::min(kSegmentsPerThread * threads, steps / (kWarmUpsPerSegment * warmUp));
}

std::int64_t ParallelWalk::Segments(const EngineState& state, std::int64_t steps) {
    const std::int64_t threads = pool_.Workers() + 1;
    // The test of coalescence waits for the first batch the rule could share
    // at the least warm-up.
    if (coalescence_ == Coalescence::No || SegmentCount(steps, threads, kMinWarmUp) < threads) return 0;
    if (coalescence_ == Coalescence::Unknown) {
        const std::int64_t met = StepsToCoincide(state);
        coalescence_ = met >= 0 ? Coalescence::Yes : Coalescence::No;
        if (met < 0) return 0;
        warmUp_ = WarmUp(met);
    }
    const std::int64_t segments = SegmentCount(steps, threads, warmUp_);
    return segments >= threads ? segments : 0;
}

std::int64_t ParallelWalk::AnySegments(std::int64_t steps) const {
    return std::clamp<std::int64_t>(steps, 1, kSegmentsPerThread * (pool_.Workers() + 1));
}

template <bool HiRes, class Maps>
void ParallelWalk::RunSegment(const Maps& maps, Segment& segment, int thread, const MapState& start,
                              std::int32_t seed0) {
    FastDraws draws{fs_.selection->Hot(), seed0};
    MapState p = start;
    if (segment.first > 0) {
        // Any start point will do: the warm-up is there to forget it.
        const std::int64_t lead = std::min(warmUp_, segment.first);
        draws.seed = RandomJump(seed0, static_cast<std::uint64_t>(segment.first - lead));
        NoPlot none;
        Walk(draws, maps, p, none, segment.first - lead, lead);
    }
    segment.guess = p;
    segment.seedAtStart = draws.seed;
    segment.thread = thread;
    ThreadCounts& counts = *threads_[static_cast<std::size_t>(thread)];
    PlotSink<HiRes, ThreadTables> sink{fs_.mapping, ThreadTables(counts)};
    Walk(draws, maps, p, sink, segment.first, segment.count);
    segment.end = p;
    segment.offPicture = sink.tables.offPicture;
    counts.plotted += segment.count;
}

template <bool HiRes, class Maps>
bool ParallelWalk::Correct(const Maps& maps, Segment& segment, MapState& trueEnd) {
    ThreadCounts& counts = *threads_[static_cast<std::size_t>(segment.thread)];
    using Add = PlotSink<HiRes, ThreadTables>;
    using Back = PlotSink<HiRes, TakeBack>;
    Shadow<decltype(maps.Hot()), Add, Back> replay{maps.Hot(), segment.guess, Add{fs_.mapping, ThreadTables(counts)},
                                                   Back{fs_.mapping, TakeBack{ThreadTables(counts)}}};
    FastDraws draws{fs_.selection->Hot(), segment.seedAtStart};
    MapState truth = trueEnd;
    const std::int64_t replayed = Walk(draws, maps, truth, replay, segment.first, segment.count);
    segment.offPicture += replay.primary.tables.offPicture + replay.shadowSink.tables.tables.offPicture;
    counts.plotted += replayed;
    const bool met = replay.Done(truth);
    // Once they met, the speculative run's end is the true end.
    trueEnd = met ? segment.end : truth;
    return met;
}

void ParallelWalk::Run(EngineState& state, std::int64_t steps, std::int64_t count) {
    segments_.assign(static_cast<std::size_t>(count), Segment{});
    for (std::int64_t j = 0; j < count; ++j) {
        segments_[static_cast<std::size_t>(j)].first = steps * j / count;
        segments_[static_cast<std::size_t>(j)].count = steps * (j + 1) / count - steps * j / count;
    }
    const MapState start = ToMapState(state.point);
    const std::int32_t seed0 = state.RandSeed;
    fs_.Visit([&](const auto& maps, auto hiRes) {
        constexpr bool kHiRes = decltype(hiRes)::value;
        next_.store(0, std::memory_order_relaxed);
        pool_.Run([&](int thread) {
            for (;;) {
                const std::int64_t j = next_.fetch_add(1, std::memory_order_relaxed);
                if (j >= count) return;
                RunSegment<kHiRes>(maps, segments_[static_cast<std::size_t>(j)], thread, start, seed0);
            }
        });
        MapState trueEnd = segments_[0].end;
        for (std::size_t j = 1; j < segments_.size(); ++j) {
            Segment& segment = segments_[j];
            if (SameState(segment.guess, trueEnd)) {
                trueEnd = segment.end;
            } else if (!Correct<kHiRes>(maps, segment, trueEnd)) {
                coalescence_ = Coalescence::No;
            }
        }
        state.point = ToPointState(trueEnd);
    });
    for (const Segment& segment : segments_) state.offPicture += segment.offPicture;
    state.RandSeed = RandomJump(seed0, static_cast<std::uint64_t>(steps));
}

std::int64_t ParallelWalk::StepsToCoincide(const EngineState& state) const {
    PointState other = state.point;
    other.X = other.X == 0.0 ? 0.5 : 0.0;
    other.Y = other.Y == 0.0 ? 0.5 : 0.0;
    MapState a = ToMapState(state.point);
    std::int64_t met = -1;
    fs_.Visit([&](const auto& maps, auto) {
        Shadow<decltype(maps.Hot()), NoPlot, NoPlot> shadow{maps.Hot(), ToMapState(other), {}, {}};
        FastDraws draws{fs_.selection->Hot(), state.RandSeed};
        const std::int64_t steps = Walk(draws, maps, a, shadow, 0, kMaxWarmUp);
        if (shadow.Done(a)) met = steps;
    });
    return met;
}

}  // namespace morva
