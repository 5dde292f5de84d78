#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "engine/transforms.h"
#include "scene/scene_contract.h"

namespace morva {

class Raster;
class UniformRandom;

// What outlives a step: the point, the generator state, and the count of
// points whose pixel coordinate was not a 32-bit number (thrown off the
// picture, for example near the pole of a projective map).
struct EngineState {
    PointState point;
    std::int32_t RandSeed = 0;
    std::int64_t offPicture = 0;
};

// A pixel coordinate computed in double precision as a signed 32-bit number,
// or nothing when it is not a number or out of range. The value is already
// whole (a floor plus an integer), so the conversion only checks the range.
inline std::optional<std::int32_t> PixelCoordinate(double value) { return RoundToInt32(value); }

// The record that the fast selection picks for a draw, or -1 for none: the
// first k whose running band sum exceeds the draw.
int SelectFast(const Scene& scene, std::int32_t draw);
// The record that the standard-speed selection picks for a draw of
// u * WeightSum: the first k whose running weight sum is at least the draw.
int SelectStandard(const Scene& scene, double draw);

// Applies record k to the point.
void ApplyTransform(PointState& point, const TransformRec& record);

// Plots the point of step i as the group does: into the high-resolution
// table inside the window with a screen echo every 16th step, or on the
// screen alone.
void PlotStep(const Scene& scene, Raster& raster, EngineState& state, int step);

// One iteration group, the straightforward way: 2048 steps of selection,
// transform and plot. This is the reference every faster path must match
// byte for byte. Each step's point and record (-1: none) also go to
// alsoPlot, when given.
void DrawFrameFr(const Scene& scene, EngineState& state, Raster& raster, UniformRandom& uniform,
                 const std::function<void(const PointState&, int)>& alsoPlot = {});

}  // namespace morva
