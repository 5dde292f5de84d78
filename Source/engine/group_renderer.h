#pragma once

#include <memory>
#include <optional>

#include "engine/iteration_group.h"
#include "engine/picture_plan.h"

namespace morva {

class Raster;
class UniformRandom;

// Runs iteration groups for the render loop. After Flush every renderer
// leaves the tables, the picture bytes, the point and the generator exactly
// as the reference loop would after the same number of groups.
class GroupRenderer {
public:
    virtual ~GroupRenderer() = default;
    // count consecutive iteration groups of 2048 steps each.
    virtual void DrawGroups(EngineState& state, Raster& raster, int count) = 0;
    enum class FlushScope {
        Picture,  // the screen table and the picture bytes, before a repaint
        All,      // every table, before a save or the tone mapping
    };
    // Brings the tables and the picture bytes up to date; called before
    // anything reads them.
    virtual void Flush(Raster&, FlushScope) {}
    // Threads this renderer runs its groups on right now.
    virtual int ActiveThreads() const { return 1; }
    // The picture table of the renderer's picture plan, every point so far
    // counted and settled, after a Flush of every table; null without one.
    virtual PictureCounts* Picture() { return nullptr; }
};

// The straightforward loop, step by step as written, with the picture
// counted beside it when a plan is given.
std::unique_ptr<GroupRenderer> MakeReferenceRenderer(const Scene& scene, UniformRandom& uniform,
                                                     std::optional<PicturePlan> picture = std::nullopt);

}  // namespace morva
