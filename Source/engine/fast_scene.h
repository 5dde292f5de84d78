#pragma once

#include <optional>
#include <type_traits>

#include "engine/map_kernels.h"
#include "engine/plot_tables.h"
#include "engine/random_long.h"
#include "engine/selection.h"

namespace morva {

// A scene compiled for the fast loop: the selection, the maps as lanes and
// the plotting constants. Everything it computes equals what the reference
// loop computes step by step.
struct FastScene {
    explicit FastScene(const Scene& scene);

    const Scene& scene;
    bool highSpeed;
    bool hiRes;
    std::optional<FastSelection> selection;  // with the fast selection
    bool allAffine;
    AffineMaps affineMaps;
    MixedMaps mixedMaps;
    PlotMapping mapping;

    // Calls f(maps, hiRes) with the scene's kind of maps and
    // std::bool_constant<HiRes>, so that each loop is compiled for both.
    template <class F>
    void Visit(F&& f) const {
        auto withMaps = [&](const auto& maps) {
            if (hiRes) {
                f(maps, std::true_type{});
            } else {
                f(maps, std::false_type{});
            }
        };
        if (allAffine) {
            withMaps(affineMaps);
        } else {
            withMaps(mixedMaps);
        }
    }
};

// The fast loop: count steps from global step index first (its place in
// its group decides the screen echo in high-resolution mode), each drawing,
// selecting and mapping exactly as the reference loop does, then handing the
// new point to the sink.
template <class Maps, class Sink>
inline void Walk(const FastSelection& selection, const Maps& maps, MapState& state, std::int32_t& seed,
                 Sink& sink, std::int64_t first, std::int64_t count) {
    int step = static_cast<int>(first % kGroupSteps);
    // Local copies: the compiler need not fear that a table store changes them.
    const FastSelection::Picker pick = selection.Hot();
    const auto apply = maps.Hot();
    MapState s = state;
    std::int32_t localSeed = seed;
    Sink localSink = sink;
    for (std::int64_t j = 0; j < count; ++j) {
        const int k = pick.Pick(RandomLong(localSeed));
        if (k >= 0) apply.Apply(k, s);
        localSink.Take(s.xy, step);
        if (++step == kGroupSteps) step = 0;
    }
    state = s;
    seed = localSeed;
    sink = localSink;
}

// A sink for steps that plot nothing (warm-ups, tests of coalescence).
struct NoPlot {
    void Take(Lanes, int) {}
};

}  // namespace morva
