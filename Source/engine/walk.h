#pragma once

// The fast loop's one step loop. Every fast path runs its steps here: a
// step draws, selects and maps exactly as the reference loop does, then
// hands the new state, the record applied (-1 for none) and the step's
// place to a sink: its index within its group, plus a multiple of
// kGroupSteps (a sink reads it modulo a power of two no larger, the echo
// stride, so the walk need not wrap it at every group). What the steps are
// for lives in the sink: plot into tables, take plots back, carry a second
// trajectory along, or nothing at all (a warm-up). A sink with a
// Done(state) ends the walk before a step when it says so; one with a
// Finish() is finished when the walk ends.

#include <algorithm>
#include <cstdint>

#include "engine/iteration_group.h"
#include "engine/map_kernels.h"
#include "engine/random_long.h"
#include "engine/selection.h"
#include "platform/uniform_random.h"

namespace morva {

// The fast selection's draws: the scene's own generator and the band table.
struct FastDraws {
    FastSelection::Picker picker;
    std::int32_t seed;
    int Next() { return picker.Pick(RandomLong(seed)); }
};

// The fast selection's draws of one of several chains that share a band
// table: the chains need one copy of it between them.
struct SharedDraws {
    const FastSelection::Picker* picker;
    std::int32_t seed;
    int Next() { return picker->Pick(RandomLong(seed)); }
};

// The standard-speed selection's draws, from the platform's generator.
struct StandardDraws {
    const Scene* scene;
    UniformRandom* uniform;
    double weightSum;
    int Next() { return SelectStandard(*scene, uniform->Next() * weightSum); }
};

template <class Sink>
inline void FinishSink(Sink& sink) {
    if constexpr (requires { sink.Finish(); }) sink.Finish();
}

// A sink that gathers its work and can take up to kBatch steps between two
// calls of Finish without testing for room (TakeInBatch).
template <class Sink>
concept BatchedSink = requires(Sink& sink, const MapState& s) {
    Sink::kBatch;
    sink.TakeInBatch(s, 0, 0);
    sink.Finish();
};

// One step: draw, select, map, hand over.
template <bool InBatch = false, class Draws, class Apply, class Sink>
[[gnu::always_inline]] inline void Step(Draws& draws, const Apply& apply, MapState& s, Sink& sink, int step) {
    const int k = draws.Next();
    if (k >= 0) apply.Apply(k, s);
    if constexpr (InBatch) {
        sink.TakeInBatch(s, k, step);
    } else {
        sink.Take(s, k, step);
    }
}

// Runs up to count steps from global step index first (its place in its
// group decides the screen echo in high-resolution mode); returns the steps
// run, fewer only when the sink said it was done.
template <class Draws, class Maps, class Sink>
inline std::int64_t Walk(Draws& draws, const Maps& maps, MapState& state, Sink& sink, std::int64_t first,
                         std::int64_t count) {
    const int base = static_cast<int>(first % kGroupSteps);
    // Local copies: the compiler need not fear that a table store changes them.
    Draws localDraws = draws;
    const auto apply = maps.Hot();
    MapState s = state;
    Sink localSink = sink;
    std::int64_t j = 0;
    if constexpr (BatchedSink<Sink>) {
        localSink.Finish();  // it starts empty
        while (j < count) {
            const std::int64_t end = std::min(count, j + Sink::kBatch);
            for (; j < end; ++j) {
                Step<true>(localDraws, apply, s, localSink, base + static_cast<int>(j));
            }
            localSink.Finish();
        }
    } else {
        for (; j < count; ++j) {
            if constexpr (requires { localSink.Done(s); }) {
                if (localSink.Done(s)) break;
            }
            Step(localDraws, apply, s, localSink, base + static_cast<int>(j));
        }
        FinishSink(localSink);
    }
    draws = localDraws;
    state = s;
    sink = localSink;
    return j;
}

// Two independent walks of count steps each, step by step side by side in
// one thread: each step of a chain waits for the one before it, and the
// other chain's step fills that wait. Both draw from one scene's band table.
template <class Maps, class Sink>
inline void WalkTwo(FastDraws& drawsA, FastDraws& drawsB, const Maps& maps, MapState& stateA,
                    MapState& stateB, Sink& sinkA, Sink& sinkB, std::int64_t firstA, std::int64_t firstB,
                    std::int64_t count) {
    const int baseA = static_cast<int>(firstA % kGroupSteps), baseB = static_cast<int>(firstB % kGroupSteps);
    // Both draw from the same band table.
    const FastSelection::Picker picker = drawsA.picker;
    SharedDraws da{&picker, drawsA.seed}, db{&picker, drawsB.seed};
    const auto apply = maps.Hot();
    MapState a = stateA, b = stateB;
    Sink sa = sinkA, sb = sinkB;
    if constexpr (BatchedSink<Sink>) {
        sa.Finish();  // they start empty
        sb.Finish();
        for (std::int64_t j = 0; j < count;) {
            const std::int64_t end = std::min(count, j + Sink::kBatch);
            for (; j < end; ++j) {
                Step<true>(da, apply, a, sa, baseA + static_cast<int>(j));
                Step<true>(db, apply, b, sb, baseB + static_cast<int>(j));
            }
            sa.Finish();
            sb.Finish();
        }
    } else {
        for (std::int64_t j = 0; j < count; ++j) {
            Step(da, apply, a, sa, baseA + static_cast<int>(j));
            Step(db, apply, b, sb, baseB + static_cast<int>(j));
        }
    }
    FinishSink(sa);
    FinishSink(sb);
    drawsA.seed = da.seed;
    drawsB.seed = db.seed;
    stateA = a;
    stateB = b;
    sinkA = sa;
    sinkB = sb;
}

// Steps that plot nothing (warm-ups, tests of coalescence).
struct NoPlot {
    void Take(const MapState&, int, int) {}
};

// Carries a second trajectory, the shadow, along the walk's, fed the same
// draws: the walk's points go to the primary sink, the shadow's to its own.
// Done when both states are the same bits, from where every draw gives both
// the same steps. This is how a trajectory from a wrong start is replaced by
// the true one (the true plots added, the wrong ones taken back) and how the
// steps until two trajectories coincide are counted.
template <class MapsView, class Primary, class ShadowSink>
struct Shadow {
    MapsView maps;
    MapState shadow;
    Primary primary;
    ShadowSink shadowSink;

    bool Done(const MapState& s) const { return SameState(s, shadow); }
    [[gnu::always_inline]] void Take(const MapState& s, int k, int step) {
        if (k >= 0) maps.Apply(k, shadow);
        primary.Take(s, k, step);
        shadowSink.Take(shadow, k, step);
    }
    void Finish() {
        FinishSink(primary);
        FinishSink(shadowSink);
    }
};

}  // namespace morva
