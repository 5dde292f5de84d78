#pragma once

#include <vector>

#include "scene/scene.h"

namespace morva::test {

// A fast-selection scene with the given weights and affine coefficients,
// its derived values computed as the loader computes them.
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
    for (std::size_t k = 0; k < weights.size(); ++k) {
        scene.transforms[k].Weight = weights[k];
        s.WeightSum += weights[k];
    }
    s.WeightTotal727 = static_cast<std::int32_t>(std::floor(s.WeightSum * 727 + 0.5));
    if (hiRes) {
        s.HiResXMin = -static_cast<double>(s.OffsetX) / s.ScaleX;
        s.HiResXMax = (640 - static_cast<double>(s.OffsetX)) / s.ScaleX;
        s.HiResYMin = -static_cast<double>(s.OffsetY) / s.ScaleY;
        s.HiResYMax = (480 - static_cast<double>(s.OffsetY)) / s.ScaleY;
    }
    return scene;
}

}  // namespace morva::test
