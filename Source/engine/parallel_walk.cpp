#include "engine/parallel_walk.h"

#include <algorithm>

#include "engine/walk.h"

namespace morva {

ParallelWalk::ParallelWalk(const FastScene& scene, WorkerPool* pool,
                           std::vector<std::unique_ptr<ThreadCounts>>& threads, const PicturePlan* picture)
    : fs_(scene), pool_(pool), threads_(threads), picture_(picture) {}

std::int64_t ParallelWalk::WarmUp(std::int64_t stepsToCoincide) {
    return std::max(kMinWarmUp, 2 * stepsToCoincide);
}

std::int64_t ParallelWalk::SegmentCount(std::int64_t steps, std::int64_t threads, std::int64_t warmUp) {
    // An even count: every claim is a pair.
    return std::min(kSegmentsPerThread * threads, steps / (kWarmUpsPerSegment * warmUp)) & ~std::int64_t{1};
}

std::int64_t ParallelWalk::Segments(const EngineState& state, std::int64_t steps) {
    const std::int64_t threads = Threads();
    const std::int64_t fewest = std::max<std::int64_t>(2, threads);
    // The test of coalescence waits for the first batch the rule could share
    // at the least warm-up.
    if (coalescence_ == Coalescence::No || SegmentCount(steps, threads, kMinWarmUp) < fewest) return 0;
    if (coalescence_ == Coalescence::Unknown) {
        const std::int64_t met = StepsToCoincide(state);
        coalescence_ = met >= 0 ? Coalescence::Yes : Coalescence::No;
        if (met < 0) return 0;
        warmUp_ = WarmUp(met);
    }
    const std::int64_t segments = SegmentCount(steps, threads, warmUp_);
    return segments >= fewest ? segments : 0;
}

std::int64_t ParallelWalk::AnySegments(std::int64_t steps) const {
    return std::clamp<std::int64_t>(steps & ~std::int64_t{1}, 2, kSegmentsPerThread * Threads());
}

template <bool HiRes, bool WithPicture, class Maps>
void ParallelWalk::RunPair(const Maps& maps, std::size_t j, int thread, const MapState& start,
                           std::int32_t seed0) {
    Segment& a = segments_[j];
    Segment& b = segments_[j + 1];
    // Each starts a warm-up ahead of its first step (any start point will
    // do: the warm-up is there to forget it); the first segment of the batch
    // starts from the true point and needs none.
    auto lead = [&](const Segment& s) { return std::min(warmUp_, s.first); };
    FastDraws drawsA{fs_.selection->Hot(), RandomJump(seed0, static_cast<std::uint64_t>(a.first - lead(a)))};
    FastDraws drawsB{fs_.selection->Hot(), RandomJump(seed0, static_cast<std::uint64_t>(b.first - lead(b)))};
    MapState pa = start, pb = start;
    NoPlot none;
    // Either lead is the warm-up, or the first segment's none.
    const std::int64_t leads = std::min(lead(a), lead(b));
    WalkTwo(drawsA, drawsB, maps, pa, pb, none, none, a.first - lead(a), b.first - lead(b), leads);
    Walk(drawsA, maps, pa, none, a.first - lead(a) + leads, lead(a) - leads);
    Walk(drawsB, maps, pb, none, b.first - lead(b) + leads, lead(b) - leads);
    a.guess = pa;
    a.seedAtStart = drawsA.seed;
    b.guess = pb;
    b.seedAtStart = drawsB.seed;
    ThreadCounts& counts = *threads_[static_cast<std::size_t>(thread)];
    auto sinkA = MakeStepSink<HiRes, WithPicture>(fs_.mapping, ThreadTables(counts), picture_, counts);
    auto sinkB = MakeStepSink<HiRes, WithPicture>(fs_.mapping, ThreadTables(counts), picture_, counts);
    const std::int64_t both = std::min(a.count, b.count);
    WalkTwo(drawsA, drawsB, maps, pa, pb, sinkA, sinkB, a.first, b.first, both);
    Walk(drawsA, maps, pa, sinkA, a.first + both, a.count - both);
    Walk(drawsB, maps, pb, sinkB, b.first + both, b.count - both);
    a.end = pa;
    b.end = pb;
    a.thread = b.thread = thread;
    a.offPicture = PlotsOf(sinkA).tables.offPicture;
    b.offPicture = PlotsOf(sinkB).tables.offPicture;
    counts.plotted += a.count + b.count;
}

template <bool HiRes, bool WithPicture, class Maps>
bool ParallelWalk::Correct(const Maps& maps, Segment& segment, MapState& trueEnd) {
    ThreadCounts& counts = *threads_[static_cast<std::size_t>(segment.thread)];
    using Add = StepSink<HiRes, WithPicture, ThreadTables>;
    using Back = StepSink<HiRes, WithPicture, TakeBack>;
    Shadow<decltype(maps.Hot()), Add, Back> replay{
        maps.Hot(), segment.guess,
        MakeStepSink<HiRes, WithPicture>(fs_.mapping, ThreadTables(counts), picture_, counts),
        MakeStepSink<HiRes, WithPicture>(fs_.mapping, TakeBack{ThreadTables(counts)}, picture_, counts)};
    FastDraws draws{fs_.selection->Hot(), segment.seedAtStart};
    MapState truth = trueEnd;
    const std::int64_t replayed = Walk(draws, maps, truth, replay, segment.first, segment.count);
    segment.offPicture +=
        PlotsOf(replay.primary).tables.offPicture + PlotsOf(replay.shadowSink).tables.tables.offPicture;
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
        if (picture_) {
            RunSegments<decltype(hiRes)::value, true>(maps, count, start, seed0, state);
        } else {
            RunSegments<decltype(hiRes)::value, false>(maps, count, start, seed0, state);
        }
    });
    for (const Segment& segment : segments_) state.offPicture += segment.offPicture;
    state.RandSeed = RandomJump(seed0, static_cast<std::uint64_t>(steps));
}

template <bool HiRes, bool WithPicture, class Maps>
void ParallelWalk::RunSegments(const Maps& maps, std::int64_t count, const MapState& start,
                               std::int32_t seed0, EngineState& state) {
    next_.store(0, std::memory_order_relaxed);
    auto work = [&](int thread) {
        for (;;) {
            const std::int64_t j = next_.fetch_add(2, std::memory_order_relaxed);
            if (j >= count) return;
            RunPair<HiRes, WithPicture>(maps, static_cast<std::size_t>(j), thread, start, seed0);
        }
    };
    if (pool_) {
        pool_->Run(work);
    } else {
        work(0);
    }
    MapState trueEnd = segments_[0].end;
    for (std::size_t j = 1; j < segments_.size(); ++j) {
        Segment& segment = segments_[j];
        if (SameState(segment.guess, trueEnd)) {
            trueEnd = segment.end;
        } else if (!Correct<HiRes, WithPicture>(maps, segment, trueEnd)) {
            coalescence_ = Coalescence::No;
        }
    }
    StorePoint(trueEnd, state.point);
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
