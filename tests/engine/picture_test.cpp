// The picture counted beside the render: the same counts on every path and
// thread count (the speculative segments take their wrong plots back there
// too), and each map's colour where its points land.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/fast_renderer.h"
#include "engine_test_support.h"
#include "platform/uniform_random.h"
#include "raster/picture_tone.h"
#include "raster/raster.h"

namespace morva {
namespace {

struct Canvas {
    std::vector<std::uint8_t> picture = std::vector<std::uint8_t>(640 * 480);
    Raster raster;
    Canvas() { raster.MapFrameSurface({picture.data(), 8, 640, 480}); }
};

PicturePlan Plan(const Scene& scene, PictureSize size, bool colourByMap) {
    PicturePlan plan;
    const SceneSettings& s = scene.settings;
    plan.frame = MakePictureFrame(size, s.ScaleX, s.ScaleY, s.OffsetX, s.OffsetY);
    plan.colourByMap = colourByMap;
    for (int k = 0; k < UsedTransforms(s); ++k)
        plan.colours.push_back(
            {static_cast<std::uint32_t>(60 * k), 255, static_cast<std::uint32_t>(255 - 50 * k)});
    plan.noMap = plan.colours.front();
    return plan;
}

// Every value of the picture table and the toned picture after the batches.
std::vector<std::uint64_t> RenderPicture(GroupRenderer& renderer, const Scene& scene, const PicturePlan& plan,
                                         std::vector<std::uint8_t>* toned) {
    auto canvas = std::make_unique<Canvas>();
    EngineState state;
    state.RandSeed = 777;
    for (int count : {1, 127, 1, 40, 3}) renderer.DrawGroups(state, canvas->raster, count);
    renderer.Flush(canvas->raster, GroupRenderer::FlushScope::All);
    PictureCounts* counts = renderer.Picture();
    std::vector<std::uint64_t> values;
    for (std::size_t c = 0; c < counts->Cells(); ++c)
        for (int k = 0; k < counts->Stride(); ++k) values.push_back(counts->Value(c, k));
    PictureTone tone;
    tone.curve = ToneKind::Log;
    tone.gamma = 2.2;
    tone.autoExposure = true;
    *toned = TonePicture(*counts, plan.frame, scene.settings.HitValue, scene.settings.Exposure, tone);
    return values;
}

TEST(Picture, SameCountsAndBytesOnEveryPathAndThreadCount) {
    const Scene fern = test::Fern();
    const Scene henon = test::Henon();
    Scene hiResFern = fern;
    hiResFern.settings.HiRes = true;
    DeriveSceneValues(hiResFern);
    struct Case {
        std::string name;
        const Scene* scene;
        PictureSize size;
    };
    // Odd sizes and every option on.
    for (const Case& c : {Case{"fern", &fern, {333, 251, 3}}, Case{"henon", &henon, {701, 199, 2}},
                          Case{"high-resolution fern", &hiResFern, {640, 480, 4}}}) {
        const PicturePlan plan = Plan(*c.scene, c.size, true);
        UniformRandom uniform;
        std::vector<std::uint8_t> referenceBytes;
        auto reference = MakeReferenceRenderer(*c.scene, uniform, plan);
        const auto expected = RenderPicture(*reference, *c.scene, plan, &referenceBytes);
        ASSERT_GT(std::count_if(referenceBytes.begin(), referenceBytes.end(), [](auto b) { return b > 0; }),
                  100);
        for (int threads : {1, 2, 3}) {
            auto fast = MakeFastRenderer(*c.scene, uniform, threads,
                                         {FastRendererOptions::Sharing::EveryBatch, {}}, plan);
            std::vector<std::uint8_t> bytes;
            EXPECT_EQ(RenderPicture(*fast, *c.scene, plan, &bytes), expected) << c.name << ", " << threads;
            EXPECT_EQ(bytes, referenceBytes) << c.name << ", " << threads << " threads";
        }
    }
}

TEST(Picture, EachMapsAreaShowsItsColour) {
    // Two maps that never share a pixel: the left one's images lie at x <=
    // 0.4, the right one's at x >= 0.6, so pixels left of x = 0.5 are red
    // and right of it blue, whatever the mix of points elsewhere.
    Scene scene = test::MakeAffineScene({1.0, 1.0});
    scene.transforms[0].Coef = {0.4, 0, 0, 0.5, 0, 0};
    scene.transforms[1].Coef = {0.4, 0, 0, 0.5, 0.6, 0.5};
    scene.settings.ScaleX = scene.settings.ScaleY = 400;
    scene.settings.OffsetX = 120;
    scene.settings.OffsetY = 40;
    PicturePlan plan = Plan(scene, {640, 480, 1}, true);
    plan.colours = {{255, 0, 0}, {0, 0, 255}};
    UniformRandom uniform;
    auto renderer = MakeFastRenderer(scene, uniform, 2, {FastRendererOptions::Sharing::EveryBatch, {}}, plan);
    std::vector<std::uint8_t> rgb;
    RenderPicture(*renderer, scene, plan, &rgb);
    int red = 0, blue = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * 640 + x) * 3];
            if (p[0] == 0 && p[2] == 0) continue;
            ASSERT_EQ(p[1], 0);
            if (x < 120 + 200) {
                EXPECT_EQ(p[2], 0) << x << ", " << y;
                ++red;
            } else {
                EXPECT_EQ(p[0], 0) << x << ", " << y;
                ++blue;
            }
        }
    }
    EXPECT_GT(red, 200);
    EXPECT_GT(blue, 200);
}

}  // namespace
}  // namespace morva
