#pragma once

#include <optional>
#include <type_traits>

#include "engine/map_kernels.h"
#include "engine/plot_tables.h"
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
    int oneKind;                             // see OneKind
    OneKindMaps<kAffine> affineMaps;
    OneKindMaps<kProjective> projectiveMaps;
    OneKindMaps<kQuadratic> quadraticMaps;
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
        switch (oneKind) {
            case kAffine:
                withMaps(affineMaps);
                break;
            case kProjective:
                withMaps(projectiveMaps);
                break;
            case kQuadratic:
                withMaps(quadraticMaps);
                break;
            default:
                withMaps(mixedMaps);
                break;
        }
    }
};

}  // namespace morva
