#pragma once

// What a scene promises the engine: the constants of the iteration group,
// the values derived from the settings and the transforms, the rounding of
// the weight bands, and the checks that refuse a scene the engine could not
// render exactly. The parser, the engine, the tests and the benchmark all
// take them from here, so that no two of them can disagree.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "scene/number_reader.h"
#include "scene/scene.h"

namespace morva {

// Steps of one iteration group.
inline constexpr int kGroupSteps = 2048;
// The integer scale of the weights in the fast selection.
inline constexpr int kWeightScale = 727;
// The bits of the generator's output that the fast draw reduces.
inline constexpr std::int32_t kDrawMask = 0x7FFFFFFF;
// The high-resolution table magnifies the picture this much per axis.
inline constexpr int kHiResFactor = 4;
// In high-resolution mode every 16th step also reaches the screen...
inline constexpr int kEchoStride = 16;
// ...and a "D" line multiplies the group target by as much, so that the
// screen table gets about as many points as without it.
inline constexpr int kHiResGroupFactor = kEchoStride;

// The transform slots the selection walks: 0 to TransformCount - 1, never
// past the table.
inline int UsedTransforms(const SceneSettings& settings) {
    return std::clamp(settings.TransformCount, 0, kTransformSlots);
}

// A record's band in the fast selection: Weight x 727 rounded to nearest,
// ties to even, each band on its own. Nothing when it does not fit in 32
// bits (a scene with such a weight is refused).
inline std::optional<std::int32_t> WeightBand(double weight) { return RoundToInt32(weight * kWeightScale); }

// The modulus of the fast draw: 727 x WeightSum rounded half up as a whole
// (unlike the bands); nothing when it does not fit in 32 bits.
inline std::optional<std::int32_t> WeightTotal727(double weightSum) {
    return RoundToInt32(std::floor(weightSum * kWeightScale + 0.5));
}

// Why a scene cannot be rendered: the reason for the user and what it
// concerns, so that the parser can name the line.
struct SceneRefusal {
    enum class Concerns { WholeFile, Header, Transform };
    Concerns concerns = Concerns::WholeFile;
    std::size_t slot = 0;  // the transform, for Concerns::Transform
    std::string reason;
};

// Computes the derived values of a scene whose settings and transforms are
// read: WeightSum, WeightTotal727 (fast selection), the four bounds of the
// high-resolution window (HiRes) and InitialSeed. Returns why the scene
// cannot be rendered, checked in this order: the exposure, the number of
// transforms, the weights of the fast selection (every band and every
// running band sum that a draw reaches must fit in 32 bits, and the total
// must be at least 1), and the high-resolution mapping (non-zero scales,
// four times every scale and offset in 32 bits).
std::optional<SceneRefusal> DeriveSceneValues(Scene& scene);

}  // namespace morva
