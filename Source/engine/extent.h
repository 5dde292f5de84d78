#pragma once

#include <cstdint>
#include <vector>

#include "scene/scene.h"

namespace morva {

// The points of a short run of a scene's own maps and selection, from the
// origin as a render starts, after a warm-up that is thrown away.
struct AttractorSample {
    std::vector<double> x, y;    // the finite points, in the order traced
    std::int64_t traced = 0;     // points traced after the warm-up
    std::int64_t nonFinite = 0;  // of those, points with a coordinate that is not finite
};

// Points thrown away before sampling starts, and points sampled: enough for
// the extent of every attractor the picture can show, and a few milliseconds
// even for a scene of 1024 maps.
inline constexpr std::int64_t kFitWarmUp = 16384;
inline constexpr std::int64_t kFitPoints = 262144;

// Traces warmUp + points steps: the fast selection with the scene's own
// generator from its seed, or the standard-speed selection with a uniform
// generator seeded from the scene's seed, so that the sample is the same on
// every run.
AttractorSample SampleAttractor(const Scene& scene, std::int64_t warmUp = kFitWarmUp,
                                std::int64_t points = kFitPoints);

struct Extent {
    double xMin = 0.0, xMax = 0.0, yMin = 0.0, yMax = 0.0;
    double Width() const { return xMax - xMin; }
    double Height() const { return yMax - yMin; }
};

enum class AttractorState : std::uint8_t {
    kSettled,   // the points stay in one bounded region
    kDiverges,  // many points ran off to infinity or became not a number
    kDrifts,    // the two halves of the sample lie in different places
};

// Where the attractor lies, with a few far-flung points left out: per axis,
// the core from the 0.5 % to the 99.5 % quantile, widened by half its width
// on either side; a point outside that fence on either axis is an outlier
// (a point thrown far off by a rarely chosen map or the pole of a projective
// map, and its way back). The extent is the bounding box of the points
// inside the fence, so that the thin tips of the attractor itself are kept
// whole.
struct AttractorExtent {
    AttractorState state = AttractorState::kSettled;
    Extent extent;
    std::int64_t inside = 0;  // sampled points within the extent
    std::int64_t traced = 0;  // all sampled points, not finite ones included
};

AttractorExtent RobustExtent(const AttractorSample& sample);

}  // namespace morva
