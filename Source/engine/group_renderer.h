#pragma once

#include <memory>

#include "engine/iteration_group.h"

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
};

// The straightforward loop, step by step as written.
std::unique_ptr<GroupRenderer> MakeReferenceRenderer(const Scene& scene, UniformRandom& uniform);

}  // namespace morva
