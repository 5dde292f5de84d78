// Scenes that throw the point to infinity, to NaN or onto the pole of a
// projective map, and the largest scene the table holds: each renders a few
// groups on every renderer with the same result, counts what left the
// picture, and tone-maps and exports without a fault.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_test_support.h"
#include "engine/fast_renderer.h"
#include "engine/group_renderer.h"
#include "engine/iteration_group.h"
#include "platform/uniform_random.h"
#include "raster/bmp_writer.h"
#include "raster/raster.h"
#include "scene/scene.h"

namespace morva {
namespace {

constexpr int kGroups = 8;

struct Rendered {
    std::vector<std::uint8_t> picture =
        std::vector<std::uint8_t>(std::size_t{kPictureWidth} * kPictureHeight);
    std::unique_ptr<Raster> raster = std::make_unique<Raster>();
    EngineState state;
};

// threads 0 is the reference loop.
std::unique_ptr<Rendered> Render(const Scene& scene, int threads) {
    auto out = std::make_unique<Rendered>();
    EXPECT_TRUE(out->raster->MapFrameSurface({out->picture.data(), 8, kPictureWidth, kPictureHeight}));
    UniformRandom uniform;
    uniform.Seed(42);
    auto renderer = threads == 0 ? MakeReferenceRenderer(scene, uniform)
                                 : MakeFastRenderer(scene, uniform, threads,
                                                    {FastRendererOptions::Sharing::EveryBatch, {}});
    renderer->DrawGroups(out->state, *out->raster, kGroups);
    renderer->Flush(*out->raster, GroupRenderer::FlushScope::All);
    return out;
}

bool SameTable(const Grid<std::int32_t>& a, const Grid<std::int32_t>& b) {
    return std::memcmp(a.Data(), b.Data(), a.Size() * sizeof(std::int32_t)) == 0;
}

// Renders on the reference loop and on the fast renderer with one thread
// and with two sharing every batch, expects identical results, and
// returns the reference's.
std::unique_ptr<Rendered> RenderEverywhere(const std::string& text) {
    const Scene scene = ParseScene(text, 20240601, NumberFormat{});
    auto reference = Render(scene, 0);
    for (int threads : {1, 2}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        auto fast = Render(scene, threads);
        EXPECT_TRUE(SameTable(reference->raster->HitBuffer(), fast->raster->HitBuffer()));
        EXPECT_TRUE(SameTable(reference->raster->HiResBuffer(), fast->raster->HiResBuffer()));
        EXPECT_EQ(reference->picture, fast->picture);
        EXPECT_TRUE(SamePoint(reference->state.point, fast->state.point));
        EXPECT_EQ(reference->state.RandSeed, fast->state.RandSeed);
        EXPECT_EQ(reference->state.offPicture, fast->state.offPicture);
    }
    // The result survives the end of the render and an export.
    EXPECT_EQ(EncodeCountBmp(reference->raster->HitBuffer(), scene.settings.Exposure).size(),
              1078u + 640 * 480);
    EXPECT_EQ(EncodeCountBmp(reference->raster->HiResBuffer(), scene.settings.Exposure).size(),
              1078u + 2560 * 1920);
    reference->raster->ToneMapFrame(scene.settings.Exposure);
    return reference;
}

TEST(HostileRender, PointsThatDivergeToInfinityLeaveThePicture) {
    // x' = 3x + 1 reaches infinity within a few hundred steps and stays.
    for (const char* hiRes : {"", "D\r\n"}) {
        SCOPED_TRACE(hiRes);
        auto r = RenderEverywhere(std::string("h 45 45 320 15 1 10 100 1\na 1 3 0 0 3 1 1\n") + hiRes);
        // Once y is infinite, 0 * y makes x NaN, and so on.
        EXPECT_FALSE(std::isfinite(r->state.point.X) || std::isfinite(r->state.point.Y));
        if (!*hiRes) {
            EXPECT_GT(r->state.offPicture, kGroups * kGroupSteps - 1000);
        }
    }
}

TEST(HostileRender, PointsThatBecomeNotANumberLeaveThePicture) {
    // x' = 1e300 x^2 + 1 overflows on the third step, y' = xy + 1 follows,
    // and then 0 * x * y is NaN.
    auto r = RenderEverywhere("h 45 45 320 15 1 10 100 1\ns 1 1e300 0 0 0 0 1 0 1 0 0 0 1\n");
    EXPECT_TRUE(std::isnan(r->state.point.X) || std::isnan(r->state.point.Y));
    EXPECT_GT(r->state.offPicture, 0);
}

TEST(HostileRender, ProjectiveMapsWithZeroDenominatorsKeepTheirCoordinate) {
    // The first map divides by 0 in both coordinates, the second by x - y
    // + 1, which is 0 on a whole line of the plane the point crosses.
    auto r = RenderEverywhere(
        "h 100 100 320 240 1 10 100 3\n"
        "p 1 1 0 0 0 0 0 0 1 0 0 0 0\n"
        "p 1 0 1 1 1 -1 1 1 0 0 1 -1 1\n"
        "a 1 0.5 0 0 0.5 0.5 0\n");
    EXPECT_FALSE(std::isnan(r->state.point.Den) && std::isnan(r->state.point.X));
}

TEST(HostileRender, AllTransformSlotsInUse) {
    std::string text = "h 45 45 320 15 1 10 100 1024\n";
    for (int k = 0; k < 1024; ++k) {
        text += "a " + std::to_string(k % 7 + 1) + " 0.5 0 0 0.5 " + std::to_string((k % 32) / 8.0) + " " +
                std::to_string((k / 32) / 8.0) + "\n";
    }
    auto r = RenderEverywhere(text + "D \n");
    std::int64_t hits = 0;
    for (std::size_t c = 0; c < r->raster->HiResBuffer().Size(); ++c)
        hits += r->raster->HiResBuffer().Data()[c];
    EXPECT_GT(hits, kGroups * kGroupSteps / 2);
}

}  // namespace
}  // namespace morva
