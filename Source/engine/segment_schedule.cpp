#include "engine/segment_schedule.h"

#include <algorithm>

namespace morva {

SegmentSchedule::SegmentSchedule(const FastScene& scene, WorkerPool& pool,
                                 std::vector<std::unique_ptr<ThreadCounts>>& threads)
    : fs_(scene), pool_(pool), threads_(threads) {}

bool SegmentSchedule::NeedsFold(std::int64_t steps) const {
    return ScreenSumsNeedFold(threads_, 2 * steps, fs_.mapping.hitValue);
}

bool SegmentSchedule::WorthSharing(std::int64_t steps) const {
    return steps / (pool_.Workers() + 1) >= 8 * warmUp_;
}

void SegmentSchedule::AdaptWarmUp(std::int64_t stepsToCoincide) {
    warmUp_ = std::clamp<std::int64_t>(2 * stepsToCoincide, warmUp_, kMaxWarmUp);
}

template <class Maps, bool HiRes>
void SegmentSchedule::RunSegment(const Maps& maps, Segment& segment, int thread, const MapState& start,
                                 std::int32_t seed0) {
    const FastSelection& selection = *fs_.selection;
    MapState p = start;
    std::int32_t seed = seed0;
    if (segment.first > 0) {
        // Any start point will do: the warm-up is there to forget it.
        const std::int64_t lead = std::min(warmUp_, segment.first);
        seed = RandomJump(seed0, static_cast<std::uint64_t>(segment.first - lead));
        NoPlot none;
        Walk(selection, maps, p, seed, none, segment.first - lead, lead);
    }
    segment.guess = p;
    segment.seedAtStart = seed;
    segment.thread = thread;
    ThreadCounts& counts = *threads_[static_cast<std::size_t>(thread)];
    PlotSink<HiRes, ThreadTables> sink{fs_.mapping, ThreadTables(counts)};
    Walk(selection, maps, p, seed, sink, segment.first, segment.count);
    segment.end = p;
    segment.offPicture = sink.tables.offPicture;
    counts.plotted += segment.count;
}

template <class Maps, bool HiRes>
bool SegmentSchedule::Correct(const Maps& maps, Segment& segment, MapState& trueEnd, std::int64_t& replayed) {
    const FastSelection& selection = *fs_.selection;
    ThreadCounts& counts = *threads_[static_cast<std::size_t>(segment.thread)];
    PlotSink<HiRes, ThreadTables> add{fs_.mapping, ThreadTables(counts)};
    PlotSink<HiRes, TakeBack> takeBack{fs_.mapping, TakeBack{ThreadTables(counts)}};
    MapState truth = trueEnd, wrong = segment.guess;
    std::int32_t seed = segment.seedAtStart;
    int step = static_cast<int>(segment.first % kGroupSteps);
    std::int64_t j = 0;
    for (; j < segment.count && !SameState(truth, wrong); ++j) {
        const int k = selection.Pick(RandomLong(seed));
        if (k >= 0) {
            maps.Apply(k, truth);
            maps.Apply(k, wrong);
        }
        add.Take(truth.xy, step);
        takeBack.Take(wrong.xy, step);
        if (++step == kGroupSteps) step = 0;
    }
    segment.offPicture += add.tables.offPicture + takeBack.tables.tables.offPicture;
    counts.plotted += j;
    replayed = j;
    const bool met = SameState(truth, wrong);
    // Once they met, the speculative run's end is the true end.
    trueEnd = met ? segment.end : truth;
    return met;
}

bool SegmentSchedule::Run(EngineState& state, std::int64_t steps) {
    const std::int64_t threads = pool_.Workers() + 1;
    const std::int64_t count = std::clamp(steps / (16 * warmUp_), threads, 4 * threads);
    segments_.assign(static_cast<std::size_t>(count), Segment{});
    for (std::int64_t j = 0; j < count; ++j) {
        segments_[static_cast<std::size_t>(j)].first = steps * j / count;
        segments_[static_cast<std::size_t>(j)].count = steps * (j + 1) / count - steps * j / count;
    }
    const MapState start = ToMapState(state.point);
    const std::int32_t seed0 = state.RandSeed;

    bool coalesced = true;
    fs_.Visit([&](const auto& maps, auto hiRes) {
        constexpr bool kHiRes = decltype(hiRes)::value;
        auto work = [&](int thread) {
            for (;;) {
                const int j = next_.fetch_add(1, std::memory_order_relaxed);
                if (j >= count) return;
                RunSegment<std::decay_t<decltype(maps)>, kHiRes>(maps, segments_[static_cast<std::size_t>(j)],
                                                                 thread, start, seed0);
            }
        };
        next_.store(0, std::memory_order_relaxed);
        pool_.Start([&](int worker) { work(worker + 1); });
        const auto started = std::chrono::steady_clock::now();
        work(0);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        pool_.Wait();
        std::int64_t callerSteps = 0;
        for (const Segment& segment : segments_) callerSteps += segment.thread == 0 ? segment.count : 0;
        callerStepsPerSecond_ = seconds > 0.0 ? static_cast<double>(callerSteps) / seconds : 0.0;

        MapState trueEnd = segments_[0].end;
        std::int64_t longestReplay = 0;
        for (std::size_t j = 1; j < segments_.size(); ++j) {
            Segment& segment = segments_[j];
            if (SameState(segment.guess, trueEnd)) {
                trueEnd = segment.end;
                continue;
            }
            std::int64_t replayed = 0;
            coalesced &= Correct<std::decay_t<decltype(maps)>, kHiRes>(maps, segment, trueEnd, replayed);
            longestReplay = std::max(longestReplay, replayed);
        }
        if (coalesced && longestReplay > 0) AdaptWarmUp(longestReplay);
        state.point = ToPointState(trueEnd);
    });
    for (const Segment& segment : segments_) state.offPicture += segment.offPicture;
    state.RandSeed = RandomJump(seed0, static_cast<std::uint64_t>(steps));
    return coalesced;
}

std::int64_t SegmentSchedule::StepsToCoincide(const EngineState& state) const {
    MapState a = ToMapState(state.point);
    PointState other = state.point;
    other.X = other.X == 0.0 ? 0.5 : 0.0;
    other.Y = other.Y == 0.0 ? 0.5 : 0.0;
    MapState b = ToMapState(other);
    std::int32_t seed = state.RandSeed;
    std::int64_t met = -1;
    fs_.Visit([&](const auto& maps, auto) {
        for (std::int64_t j = 0; j <= kMaxWarmUp; ++j) {
            if (SameState(a, b)) {
                met = j;
                return;
            }
            const int k = fs_.selection->Pick(RandomLong(seed));
            if (k >= 0) {
                maps.Apply(k, a);
                maps.Apply(k, b);
            }
        }
    });
    return met;
}

}  // namespace morva
