#pragma once

// A picture counted beside the render's own tables: every step's point, on
// every thread, lands in a sample table of its own size (picture_frame.h),
// with the colour of the map that brought it there when the picture is
// coloured by map. The points are the render's: the same seed, the same
// selection; only where they are counted differs.

#include <vector>

#include "engine/transforms.h"
#include "raster/picture_counts.h"
#include "raster/picture_frame.h"

namespace morva {

struct PicturePlan {
    PictureFrame frame;
    bool colourByMap = false;
    std::vector<MapColour> colours;  // one per record used (all zero without colour by map)
    MapColour noMap{};               // a step whose draw picks no map

    const MapColour& ColourOf(int k) const { return k >= 0 ? colours[static_cast<std::size_t>(k)] : noMap; }
    PictureCounts MakeCounts() const { return PictureCounts(frame.SampleCells(), colourByMap); }
};

// Counts a point of record k (-1: none) in the table, the straightforward
// way.
inline void PlotPicture(const PicturePlan& plan, PictureCounts& counts, const PointState& point, int k) {
    const std::int64_t cell = plan.frame.Cell(point.X, point.Y);
    if (cell >= 0) counts.Add(static_cast<std::size_t>(cell), plan.ColourOf(k));
}

}  // namespace morva
