#pragma once

#include <algorithm>
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

// The Barnsley fern, in normal or high-resolution mode.
inline Scene Fern(bool hiRes = false) {
    Scene scene = MakeAffineScene({0.01, 0.85, 0.07, 0.07}, hiRes);
    const double fern[4][6] = {{0, 0, 0, 0.16, 0, 0},
                               {0.85, 0.04, -0.04, 0.85, 0, 1.6},
                               {0.2, -0.26, 0.23, 0.22, 0, 1.6},
                               {-0.15, 0.28, 0.26, 0.24, 0, 0.44}};
    for (int k = 0; k < 4; ++k) std::copy(fern[k], fern[k] + 6, scene.transforms[k].Coef.begin());
    return scene;
}

// The Henon map, whose trajectories never coincide.
inline Scene Henon() {
    Scene scene = MakeAffineScene({1.0});
    scene.transforms[0].Kind = kQuadratic;
    scene.transforms[0].Coef = {-1.4, 0, 0, 0, 1, 1, 0, 0, 0, 0.3, 0, 0};
    scene.settings.ScaleX = 200;
    scene.settings.ScaleY = 600;
    scene.settings.OffsetY = 240;
    return scene;
}

}  // namespace morva::test
