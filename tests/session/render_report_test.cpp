#include "session/render_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/fast_renderer.h"
#include "engine/random_long.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"

namespace morva {
namespace {

constexpr int kGroups = 24;

struct Tally {
    std::int64_t on = 0, outside = 0, notPlotted = 0, echoes = 0;
};

// Where the reference loop's points go, step by step: the group's own
// selection and maps, and the pixel rules written out once more.
Tally ReferenceTally(const Scene& scene) {
    const SceneSettings& s = scene.settings;
    Tally tally;
    PointState point;
    std::int32_t seed = s.RandSeed;
    const auto pixel = [](double product, std::int64_t offset) -> std::optional<std::int64_t> {
        const double value = std::floor(product) + static_cast<double>(offset);
        if (!(value >= -2147483648.0 && value <= 2147483647.0)) return std::nullopt;
        return static_cast<std::int64_t>(value);
    };
    for (int step = 0; step < kGroups * kGroupSteps; ++step) {
        const int k = SelectFast(scene, (RandomLong(seed) & kDrawMask) % s.WeightTotal727);
        if (k >= 0) ApplyTransform(point, scene.transforms[k]);
        const double X = point.X, Y = point.Y;
        if (s.HiRes) {
            if (!(s.HiResXMin < X && X < s.HiResXMax && s.HiResYMin < Y && Y < s.HiResYMax)) {
                ++tally.outside;
                continue;
            }
            const auto y4 = pixel(4.0 * s.ScaleY * Y, 4 * s.OffsetY),
                       x4 = pixel(4.0 * s.ScaleX * X, 4 * s.OffsetX);
            if (!x4 || !y4) {
                ++tally.notPlotted;
            } else {
                ++(*x4 >= 0 && *x4 < 2560 && *y4 >= 0 && *y4 < 1920 ? tally.on : tally.outside);
                tally.echoes += step % 16 == 0;
            }
            continue;
        }
        const auto py = pixel(s.ScaleY * Y, s.OffsetY), px = pixel(s.ScaleX * X, s.OffsetX);
        if (!px || !py)
            ++tally.notPlotted;
        else
            ++(*px >= 0 && *px < 640 && *py >= 0 && *py < 480 ? tally.on : tally.outside);
    }
    return tally;
}

RenderCounts FastRender(const Scene& scene, Raster& raster, std::vector<std::uint8_t>& picture) {
    picture.assign(640 * 480, 0);
    raster.MapFrameSurface({picture.data(), 8, 640, 480});
    UniformRandom uniform;
    EngineState state;
    state.RandSeed = scene.settings.RandSeed;
    auto renderer = MakeFastRenderer(scene, uniform, 2);
    renderer->DrawGroups(state, raster, kGroups);
    renderer->Flush(raster, GroupRenderer::FlushScope::All);
    return CountRender(scene, raster, kGroups, state.offPicture);
}

RenderCounts FastRender(const Scene& scene) {
    Raster raster;
    std::vector<std::uint8_t> picture;
    return FastRender(scene, raster, picture);
}

Scene Parse(const std::string& text) { return ParseScene(text, 0, NumberFormat{}); }

// A triangle zoomed so that a part of it lies off the picture.
const char kTriangle[] =
    "h 900 900 -150 -100 3 1 100 3\n"
    "a 1 0.5 0 0 0.5 0 0\n"
    "a 1 0.5 0 0 0.5 0.5 0\n"
    "a 1 0.5 0 0 0.5 0.25 0.5\n"
    "_setseed 99\n";

TEST(RenderReport, CountsAgreeWithAStepByStepTallyOfTheReferenceLoop) {
    // The third: x' = 1/x now and then throws the point beyond 32-bit
    // pixels, and the halving map brings it back over the picture's edge.
    const std::string scenes[] = {
        kTriangle,
        std::string(kTriangle) + "D \n",
        "h 100 100 20 20 1 1 100 3\n"
        "a 4 0.5 0 0 0.5 0.25 0.25\n"
        "a 2 1e-9 0 0 1 0 0\n"
        "p 1 0 0 1 1 0 0 0 1 0 0 0 1\n"
        "_setseed 5\n",
    };
    for (const std::string& text : scenes) {
        SCOPED_TRACE(text);
        const Scene scene = Parse(text);
        const Tally expected = ReferenceTally(scene);
        const RenderCounts counts = FastRender(scene);
        EXPECT_GT(expected.on, 0);
        EXPECT_GT(expected.outside, 0);
        EXPECT_EQ(counts.traced, kGroups * kGroupSteps);
        EXPECT_EQ(counts.OnPicture(), expected.on);
        EXPECT_EQ(counts.Outside(), expected.outside);
        EXPECT_EQ(counts.notPlotted, expected.notPlotted);
        if (scene.settings.HiRes) {
            EXPECT_EQ(counts.screen.points, expected.echoes);
        }
        const std::string report = RenderReport(counts);
        EXPECT_NE(report.find(std::to_string(expected.on) + " ("), std::string::npos) << report;
        EXPECT_NE(report.find(std::to_string(expected.outside) + " outside"), std::string::npos) << report;
    }
    EXPECT_GT(ReferenceTally(Parse(scenes[2])).notPlotted, 0);
}

TEST(RenderReport, FullAndLitPixelsAreThoseOfTheFinalPicture) {
    // Small enough for the counts to pile up: hit value 3, exposures 1 and 2.
    for (const char* exposure : {" 3 1 100", " 3 2 100"}) {
        SCOPED_TRACE(exposure);
        std::string text = kTriangle;
        text.replace(text.find("900 900 -150 -100 3 1 100"), 25, std::string("30 30 300 220") + exposure);
        const Scene scene = Parse(text);
        Raster raster;
        std::vector<std::uint8_t> picture;
        const RenderCounts counts = FastRender(scene, raster, picture);
        raster.ToneMapFrame(scene.settings.Exposure);
        EXPECT_GT(counts.screen.full, 0);
        EXPECT_EQ(counts.screen.full, std::count(picture.begin(), picture.end(), 255));
        EXPECT_EQ(counts.screen.lit, picture.size() - std::count(picture.begin(), picture.end(), 0));
        EXPECT_EQ(counts.screen.largest,
                  *std::max_element(raster.HitBuffer().Data(),
                                    raster.HitBuffer().Data() + raster.HitBuffer().Size()));
    }
}

TEST(RenderReport, SaysWhyAPictureIsDark) {
    struct Case {
        const char* from;
        const char* to;
        const char* reason;
    };
    const Case cases[] = {
        {"-150 -100", "5000 -100", "all points fell outside the picture: try `morva --fit`"},
        {" 3 1 100", " 1 1000 100", "the largest count"},
        {" 3 1 100", " 0 1 100", "the hit value (header field 5) is 0"},
        {"900 900 -150 -100", "1 1 320 240", "the points fall on only"},
    };
    EXPECT_EQ(DarkPictureReason(FastRender(Parse(kTriangle))), "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        std::string text = kTriangle;
        text.replace(text.find(c.from), std::string(c.from).size(), c.to);
        const RenderCounts counts = FastRender(Parse(text));
        EXPECT_NE(DarkPictureReason(counts).find(c.reason), std::string::npos) << DarkPictureReason(counts);
        EXPECT_NE(RenderReport(counts).find("black or nearly so"), std::string::npos);
        EXPECT_NE(RenderReportLine(counts).find(c.reason), std::string::npos);
        EXPECT_EQ(RenderReportLine(counts).find('\n'), RenderReportLine(counts).size() - 1);
    }
}

}  // namespace
}  // namespace morva
