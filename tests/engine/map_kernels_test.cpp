#include "engine/map_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/engine_test_support.h"
#include "engine/iteration_group.h"

namespace morva {
namespace {

TEST(MapKernels, EveryKindGivesTheScalarMapsBits) {
    // Random maps on random points, and on the points that test the edges:
    // zero and NaN denominators, infinities, NaN, signed zeros, huge values.
    constexpr double kInf = std::numeric_limits<double>::infinity();
    // The NaN a render can meet: the coefficients are finite and the point
    // starts at the origin, so every NaN is the one the machine makes of an
    // invalid operation (which of two such operands an add returns cannot
    // show).
    volatile double zero = 0.0;
    const double nan = zero * kInf;
    const std::vector<double> special = {0.0, -0.0, 1.0, -1.0, 1e300, -1e300, kInf, -kInf, nan, 5e-324};
    std::mt19937 rng(7);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    Scene scene;
    // The three kinds and one the loop does not know (it applies nothing).
    scene.settings.TransformCount = 4;
    for (int round = 0; round < 20000; ++round) {
        // Mixed scenes choose each map's result by masks where the kinds
        // mix evenly, and jump on its kind where one kind is most of them.
        const bool even = round % 2 == 0;
        for (int kind = 0; kind < 4; ++kind) {
            TransformRec& r = scene.transforms[kind];
            r.Kind = static_cast<std::uint8_t>(kind);
            r.Weight = even || kind != kAffine ? 1 : 10;
            // Zeros of either sign, often enough that some terms are zero in
            // both coordinates and are left out.
            for (double& c : r.Coef) c = rng() % 3 == 0 ? (rng() % 2 ? 0.0 : -0.0) : uniform(-2, 2);
            // Denominators that vanish on the line x = y, or everywhere.
            if (kind == kProjective && rng() % 4 == 0) r.Coef = {1, 0, 0, 1, -1, 0, 0, 1, 0, 0, 0, 0};
        }
        const MixedMaps maps(scene);
        ASSERT_EQ(maps.Chooses(), even);
        PointState p;
        const bool edge = rng() % 4 == 0;
        p.X = edge ? special[rng() % special.size()] : uniform(-3, 3);
        p.Y = edge ? special[rng() % special.size()] : uniform(-3, 3);
        if (rng() % 8 == 0) p.Y = p.X;
        p.Den = uniform(-1, 1);
        for (int kind = 0; kind < 4; ++kind) {
            PointState expected = p;
            ApplyTransform(expected, scene.transforms[kind]);
            MapState s = ToMapState(p);
            maps.Apply(kind, s);
            PointState got = p;
            StorePoint(s, got);
            ASSERT_TRUE(SamePoint(got, expected))
                << "kind " << kind << " at (" << p.X << ", " << p.Y << "): (" << got.X << ", " << got.Y
                << "), expected (" << expected.X << ", " << expected.Y << ")";
        }
        // Each kind alone, as the maps of a scene of that one kind.
        for (int kind = 0; kind < 3; ++kind) {
            Scene alone;
            alone.settings.TransformCount = 1;
            alone.transforms[0] = scene.transforms[kind];
            PointState expected = p;
            ApplyTransform(expected, alone.transforms[0]);
            auto apply = [&](const auto& kindMaps) {
                MapState s = ToMapState(p);
                kindMaps.Apply(0, s);
                PointState got = p;
                StorePoint(s, got);
                return got;
            };
            const PointState got = kind == kAffine       ? apply(OneKindMaps<kAffine>(alone))
                                   : kind == kProjective ? apply(OneKindMaps<kProjective>(alone))
                                                         : apply(OneKindMaps<kQuadratic>(alone));
            ASSERT_TRUE(SamePoint(got, expected)) << "kind " << kind << " alone";
        }
    }
}

}  // namespace
}  // namespace morva
