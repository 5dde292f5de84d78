#include "engine/fast_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "engine/fast_scene.h"
#include "engine/random_long.h"
#include "engine_test_support.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"

namespace morva {
namespace {

Scene Fern(bool hiRes) {
    Scene scene = test::MakeAffineScene({0.01, 0.85, 0.07, 0.07}, hiRes);
    const double fern[4][6] = {{0, 0, 0, 0.16, 0, 0},
                               {0.85, 0.04, -0.04, 0.85, 0, 1.6},
                               {0.2, -0.26, 0.23, 0.22, 0, 1.6},
                               {-0.15, 0.28, 0.26, 0.24, 0, 0.44}};
    for (int k = 0; k < 4; ++k) std::copy(fern[k], fern[k] + 6, scene.transforms[k].Coef.begin());
    return scene;
}

Scene Henon() {
    Scene scene = test::MakeAffineScene({1.0});
    scene.transforms[0].Kind = kQuadratic;
    scene.transforms[0].Coef = {-1.4, 0, 0, 0, 1, 1, 0, 0, 0, 0.3, 0, 0};
    scene.settings.ScaleX = 200;
    scene.settings.ScaleY = 600;
    scene.settings.OffsetY = 240;
    DeriveSceneValues(scene);
    return scene;
}

// A random scene: any mix of kinds, weights that may leave band gaps,
// coefficients that may throw points off the picture or to infinity.
Scene RandomScene(std::uint32_t seed) {
    std::mt19937 rng(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    Scene scene;
    SceneSettings& s = scene.settings;
    s.TransformCount = 1 + static_cast<int>(rng() % 6);
    s.HiRes = rng() % 3 == 0;
    s.HighSpeed = true;
    s.ScaleX = 20 + static_cast<int>(rng() % 200);
    s.ScaleY = 20 + static_cast<int>(rng() % 200);
    if (rng() % 10 == 0) s.ScaleY = -s.ScaleY;
    s.OffsetX = static_cast<int>(rng() % 640);
    s.OffsetY = static_cast<int>(rng() % 480);
    s.HitValue = static_cast<std::uint8_t>(rng() % 4 == 0 ? 255 : 1 + rng() % 20);
    s.Exposure = 1;
    const int mix = static_cast<int>(rng() % 4);  // affine, projective, quadratic, mixed
    for (int k = 0; k < s.TransformCount; ++k) {
        TransformRec& r = scene.transforms[k];
        r.Weight = rng() % 8 == 0 ? 0.0005 : uniform(0.01, 1.0);
        r.Kind = static_cast<std::uint8_t>(mix == 3 ? rng() % 3 : mix);
        const double reach = rng() % 5 == 0 ? 1.3 : 0.7;  // some maps expand
        for (int c = 0; c < 12; ++c) r.Coef[c] = uniform(-reach, reach);
        if (r.Kind == kProjective) {
            r.Coef[5] = uniform(0.5, 1.5);
            r.Coef[11] = rng() % 6 == 0 ? 0.0 : uniform(0.5, 1.5);  // zero denominators now and then
        }
        if (r.Kind == kQuadratic) {
            for (int c : {0, 1, 2, 6, 7, 8}) r.Coef[c] *= 0.3;
        }
    }
    if (DeriveSceneValues(scene)) s.WeightTotal727 = 1;  // all weights tiny: one band gap
    return scene;
}

struct Render {
    std::vector<std::uint8_t> picture = std::vector<std::uint8_t>(640 * 480, 0);
    std::vector<std::vector<std::uint8_t>> shown;  // the picture at every repaint
    Raster raster;
    EngineState state;
    Render() { raster.MapFrameSurface({picture.data(), 8, 640, 480}); }
};

// Runs the same sequence of group batches through a renderer.
void RunBatches(GroupRenderer& renderer, Render& render, const std::vector<int>& batches, std::int32_t seed) {
    render.state.RandSeed = seed;
    for (int count : batches) {
        renderer.DrawGroups(render.state, render.raster, count);
        renderer.Flush(render.raster, GroupRenderer::FlushScope::Picture);
        render.shown.push_back(render.picture);
    }
    renderer.Flush(render.raster, GroupRenderer::FlushScope::All);
}

void ExpectIdentical(const Render& expected, const Render& actual, const std::string& what) {
    const auto& eh = expected.raster.HitBuffer();
    const auto& ah = actual.raster.HitBuffer();
    ASSERT_EQ(std::memcmp(eh.Data(), ah.Data(), eh.Size() * 4), 0) << what << ": hit table differs";
    const auto& eb = expected.raster.HiResBuffer();
    const auto& ab = actual.raster.HiResBuffer();
    ASSERT_EQ(std::memcmp(eb.Data(), ab.Data(), eb.Size() * 4), 0)
        << what << ": high-resolution table differs";
    ASSERT_EQ(expected.picture, actual.picture) << what << ": picture bytes differ";
    ASSERT_TRUE(expected.shown == actual.shown) << what << ": a repainted picture differs";
    ASSERT_EQ(std::memcmp(&expected.state.point, &actual.state.point, sizeof(PointState)), 0)
        << what << ": final point differs";
    ASSERT_EQ(expected.state.RandSeed, actual.state.RandSeed) << what;
    ASSERT_EQ(expected.state.offPicture, actual.state.offPicture) << what;
}

void CompareWithReference(const Scene& scene, const std::vector<int>& batches, std::int32_t seed,
                          const std::string& name) {
    UniformRandom uniform;
    Render reference;
    auto plain = MakeReferenceRenderer(scene, uniform);
    RunBatches(*plain, reference, batches, seed);
    for (int threads : {1, 2, 3}) {
        Render fast;
        auto renderer = MakeFastRenderer(scene, uniform, threads);
        RunBatches(*renderer, fast, batches, seed);
        ExpectIdentical(reference, fast, name + " with " + std::to_string(threads) + " threads");
    }
}

// The cadence of the render loop: one group, then up to 127 in a batch.
const std::vector<int> kCadence = {1, 127, 1, 127, 1, 60};

TEST(FastRenderer, FernMatchesTheReferenceExactly) {
    CompareWithReference(Fern(false), kCadence, 12345, "fern");
    CompareWithReference(Fern(true), kCadence, 12345, "high-resolution fern");
}

TEST(FastRenderer, CountsSaturateAlikeOnEveryPath) {
    // Cells a few hits short of the 32-bit limit: every path must stop there.
    Scene scene = Fern(true);
    scene.settings.HitValue = 255;
    auto prefill = [](Render& render) {
        for (auto* grid : {&render.raster.HitBuffer(), &render.raster.HiResBuffer()}) {
            std::fill(grid->Data(), grid->Data() + grid->Size(), kHitCellMax - 1000);
        }
    };
    UniformRandom uniform;
    Render reference;
    prefill(reference);
    auto plain = MakeReferenceRenderer(scene, uniform);
    RunBatches(*plain, reference, {1, 127}, 3);
    for (int threads : {1, 2}) {
        Render fast;
        prefill(fast);
        auto renderer = MakeFastRenderer(scene, uniform, threads);
        RunBatches(*renderer, fast, {1, 127}, 3);
        EXPECT_EQ(
            std::memcmp(reference.raster.HitBuffer().Data(), fast.raster.HitBuffer().Data(), 640 * 480 * 4),
            0);
        EXPECT_EQ(std::memcmp(reference.raster.HiResBuffer().Data(), fast.raster.HiResBuffer().Data(),
                              std::size_t{2560} * 1920 * 4),
                  0);
    }
    const auto& hiRes = reference.raster.HiResBuffer();
    EXPECT_EQ(*std::max_element(hiRes.Data(), hiRes.Data() + hiRes.Size()), kHitCellMax)
        << "nothing saturated";
}

TEST(FastRenderer, ChaoticSceneMatchesAndFallsBackToOneThread) {
    Scene henon = Henon();
    CompareWithReference(henon, kCadence, 7, "henon");
    UniformRandom uniform;
    Render render;
    auto renderer = MakeFastRenderer(henon, uniform, 2);
    RunBatches(*renderer, render, {127, 127}, 7);
    EXPECT_EQ(renderer->ActiveThreads(), 1) << "a scene that never coalesces should rest on one thread";
}

TEST(FastRenderer, RandomScenesMatchTheReferenceExactly) {
    for (std::uint32_t seed = 1; seed <= 200; ++seed) {
        Scene scene = RandomScene(seed);
        CompareWithReference(scene, {1, 90, 1, 33}, static_cast<std::int32_t>(seed * 2654435761u),
                             "random scene " + std::to_string(seed));
        if (HasFatalFailure()) return;
    }
}

TEST(FastRenderer, LargeWeightTotalsWalkThePrecomputedBands) {
    // A total beyond the draw table, with a negative band in the walk.
    Scene scene = test::MakeAffineScene({200.0, -50.0, 100.0, 0.0004});
    for (int k = 0; k < 4; ++k) scene.transforms[k].Coef = {0.5, 0, 0, 0.5, 0.1 * k, 0.2 * k};
    ASSERT_GT(static_cast<std::uint32_t>(scene.settings.WeightTotal727), FastScene::kDrawTableLimit);
    FastScene fs(scene);
    for (std::int32_t draw : {0, 145399, 145400, 145401, 181750, 181800, 181801, 181829}) {
        EXPECT_EQ(fs.Select(static_cast<std::uint32_t>(draw)), SelectFast(scene, draw)) << draw;
    }
    CompareWithReference(scene, {1, 50}, 99, "large total");
}

TEST(FastScene, RemainderMatchesTheDivisionForEveryKindOfDivisor) {
    std::mt19937 rng(5);
    for (std::int32_t total : {1, 2, 3, 727, 728, 65535, 65536, 65537, 1000003, 2147483647}) {
        Scene scene = test::MakeAffineScene({1.0});
        scene.settings.WeightTotal727 = total;
        FastScene fs(scene);
        for (int i = 0; i < 20000; ++i) {
            const auto v = static_cast<std::int32_t>(rng());
            ASSERT_EQ(fs.Draw(v), static_cast<std::uint32_t>((v & kDrawMask) % total)) << total << " " << v;
        }
        for (std::int32_t v : {0, -1, INT32_MAX, INT32_MIN, total, total - 1}) {
            ASSERT_EQ(fs.Draw(v), static_cast<std::uint32_t>((v & kDrawMask) % total)) << total << " " << v;
        }
    }
}

}  // namespace
}  // namespace morva
