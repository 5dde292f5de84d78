#pragma once

#include <cstring>
#include <vector>

#include "engine/transforms.h"
#include "scene/scene_contract.h"

namespace morva::test {

// A fast-selection scene with the given weights and affine coefficients,
// its derived values computed as the loader computes them (a scene the
// loader would refuse keeps whatever was derived before the refusal).
inline Scene MakeAffineScene(const std::vector<double>& weights, bool hiRes = false) {
    Scene scene;
    SceneSettings& s = scene.settings;
    s.ScaleX = s.ScaleY = 45;
    s.OffsetX = 320;
    s.OffsetY = 15;
    s.HitValue = 1;
    s.Exposure = 1;
    s.GroupTarget = 0;
    s.TransformCount = static_cast<std::int32_t>(weights.size());
    s.HighSpeed = true;
    s.HiRes = hiRes;
    for (std::size_t k = 0; k < weights.size(); ++k) scene.transforms[k].Weight = weights[k];
    DeriveSceneValues(scene);
    return scene;
}

// The same point, bit for bit. The fast loop carries the point alone: the
// previous point and the latest denominator are the reference's own.
inline bool SamePoint(const PointState& a, const PointState& b) {
    return std::memcmp(&a.X, &b.X, sizeof a.X) == 0 && std::memcmp(&a.Y, &b.Y, sizeof a.Y) == 0;
}

}  // namespace morva::test
