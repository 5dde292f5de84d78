#include "engine/iteration_group.h"

#include <algorithm>
#include <cmath>

#include "engine/random_long.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"

namespace morva {

int SelectFast(const Scene& scene, std::int32_t draw) {
    // The bands are rounded one by one, half to even, while their total was
    // rounded as a whole, half up: they need not add up to WeightTotal727.
    // A refused scene is the only one with a band beyond 32 bits.
    std::int64_t acc = 0;
    const int used = UsedTransforms(scene.settings);
    for (int k = 0; k < used; ++k) {
        acc += WeightBand(scene.transforms[k].Weight).value_or(0);
        if (draw < acc) return k;
    }
    return -1;
}

int SelectStandard(const Scene& scene, double draw) {
    double acc = 0.0;
    const int used = UsedTransforms(scene.settings);
    for (int k = 0; k < used; ++k) {
        acc += scene.transforms[k].Weight;
        if (!(draw > acc)) return k;  // also taken when either side is not a number
    }
    return -1;
}

void ApplyTransform(PointState& point, const TransformRec& record) {
    const auto& c = record.Coef;
    switch (record.Kind) {
        case kAffine:
            ConvertAff2(point, point.X, point.Y, c[0], c[1], c[2], c[3], c[4], c[5]);
            break;
        case kProjective:
            ConvertProj2(point, point.X, point.Y, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9],
                         c[10], c[11]);
            break;
        case kQuadratic:
            ConvertSqr2(point, point.X, point.Y, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9],
                        c[10], c[11]);
            break;
        default:
            break;
    }
}

void PlotStep(const Scene& scene, Raster& raster, EngineState& state, int step) {
    const SceneSettings& s = scene.settings;
    const double X = state.point.X;
    const double Y = state.point.Y;
    if (s.HiRes) {
        if (!(s.HiResXMin < X && X < s.HiResXMax && s.HiResYMin < Y && Y < s.HiResYMax)) return;
        // The factors are integer products; the scene loader has checked
        // that they fit in 32 bits.
        auto y4 = PixelCoordinate(std::floor((kHiResFactor * s.ScaleY) * Y) + kHiResFactor * s.OffsetY);
        auto x4 = y4 ? PixelCoordinate(std::floor((kHiResFactor * s.ScaleX) * X) + kHiResFactor * s.OffsetX)
                     : std::nullopt;
        if (!y4 || !x4) {
            ++state.offPicture;
            return;
        }
        raster.PlotHiRes(*x4, *y4, s.HitValue);
        if (step % kEchoStride != 0) return;
    }
    auto py = PixelCoordinate(std::floor(s.ScaleY * Y) + s.OffsetY);
    auto px = py ? PixelCoordinate(std::floor(s.ScaleX * X) + s.OffsetX) : std::nullopt;
    if (!py || !px) {
        ++state.offPicture;
        return;
    }
    raster.PlotPoint(*px, *py, s.HitValue);
}

void DrawFrameFr(const Scene& scene, EngineState& state, Raster& raster, UniformRandom& uniform,
                 const std::function<void(const PointState&, int)>& alsoPlot) {
    const SceneSettings& s = scene.settings;
    for (int i = 0; i < kGroupSteps; ++i) {
        int k = -1;
        if (s.HighSpeed) {
            const std::int32_t v = RandomLong(state.RandSeed);
            // The loader refuses a fast-selection scene without a positive
            // modulus; this guard only keeps a division by zero impossible.
            if (s.WeightTotal727 >= 1) k = SelectFast(scene, (v & kDrawMask) % s.WeightTotal727);
        } else {
            k = SelectStandard(scene, uniform.Next() * s.WeightSum);
        }
        if (k >= 0) ApplyTransform(state.point, scene.transforms[k]);
        PlotStep(scene, raster, state, i);
        if (alsoPlot) alsoPlot(state.point, k);
    }
}

}  // namespace morva
