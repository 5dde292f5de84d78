#include "session/fit.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/fast_renderer.h"
#include "platform/files.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"
#include "scene/fields.h"
#include "session/render_report.h"
#include "session/scene_save.h"

namespace morva {
namespace {

namespace fs = std::filesystem;

// A render of the scene as the session runs it, cut short to `groups`.
RenderCounts Render(const Scene& scene, int groups, Raster& raster) {
    std::vector<std::uint8_t> picture(640 * 480);
    raster.MapFrameSurface({picture.data(), 8, 640, 480});
    UniformRandom uniform;
    EngineState state;
    state.RandSeed = scene.settings.RandSeed;
    auto renderer = MakeFastRenderer(scene, uniform, 1);
    renderer->DrawGroups(state, raster, groups);
    renderer->Flush(raster, GroupRenderer::FlushScope::All);
    return CountRender(scene, raster, groups, state.offPicture);
}

// The share of the table's width and height that its hit cells span.
std::pair<double, double> Fill(const Grid<std::int32_t>& table) {
    int left = table.Width(), right = -1, bottom = table.Height(), top = -1;
    for (int y = 0; y < table.Height(); ++y) {
        for (int x = 0; x < table.Width(); ++x) {
            if (table(x, y) == 0) continue;
            left = std::min(left, x), right = std::max(right, x);
            bottom = std::min(bottom, y), top = std::max(top, y);
        }
    }
    return {(right - left + 1.0) / table.Width(), (top - bottom + 1.0) / table.Height()};
}

// Every shipped scene, framed by the header --fit proposes, puts nearly
// all of its points on the picture and fills most of it, with its other
// header fields unchanged.
TEST(Fit, FramesEveryShippedScene) {
    PosixFileSystem files;
    std::vector<fs::path> folders{fs::path(MORVA_SOURCE_DIR) / "assets"};
    for (const auto& entry : fs::directory_iterator(fs::path(MORVA_SOURCE_DIR) / "scenes"))
        if (entry.is_directory()) folders.push_back(entry.path());
    EXPECT_GE(folders.size(), 18u);

    for (const fs::path& folder : folders) {
        SCOPED_TRACE(folder.string());
        const std::string text = *files.ReadFile((folder / "MORVA.TXT").string(), nullptr);
        const Scene before = ParseScene(text, 0, NumberFormat{});
        const FitReport report = FitScene(before, text);
        ASSERT_EQ(report.outcome, FitOutcome::kFramed) << FitText(report, "MORVA.TXT");

        const Scene after =
            ParseScene(ReplaceLine(text, report.headerLine, report.header), 0, NumberFormat{});
        const SceneSettings &a = after.settings, &b = before.settings;
        EXPECT_EQ(a.ScaleX, a.ScaleY);
        EXPECT_EQ(a.ScaleX, report.framing.scaleX);
        EXPECT_EQ(a.OffsetY, report.framing.offsetY);
        EXPECT_EQ(std::make_tuple(a.HitValue, a.Exposure, a.GroupTarget, a.TransformCount, a.HiRes),
                  std::make_tuple(b.HitValue, b.Exposure, b.GroupTarget, b.TransformCount, b.HiRes));

        Raster raster;
        const RenderCounts counts = Render(after, 64, raster);
        EXPECT_GE(counts.OnPicture(), 0.99 * static_cast<double>(counts.traced));
        const auto [width, height] = Fill(a.HiRes ? raster.HiResBuffer() : raster.HitBuffer());
        EXPECT_TRUE(width >= 0.6 || height >= 0.6) << width << " x " << height;
        EXPECT_LE(width, 1.0 - kFitMargin);
        EXPECT_LE(height, 1.0 - kFitMargin);
    }
}

TEST(Fit, ScenesWithoutAFrameableAttractorAreReportedNotFitted) {
    struct Case {
        const char* maps;
        FitOutcome outcome;
        const char* says;
    };
    const Case cases[] = {
        {"a 1 3 0 0 3 1 1\n", FitOutcome::kDiverges, "runs off"},         // x' = 3x + 1
        {"a 1 1 0 0 0.5 1 0\n", FitOutcome::kDrifts, "does not settle"},  // x' = x + 1
        {"a 1 0 0 0 0 0.25 -2\n", FitOutcome::kPoint, "single point"},    // everything to one point
        {"a 1 0.5 0 0 0.5 0 0\na 1 0.5 0 0 0.5 900 0\n", FitOutcome::kTooLarge, "cannot fit"},  // 1800 wide
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maps);
        const std::string text = std::string("h 45 45 320 15 1 10 100 2\n") + c.maps + "_setseed 7\n";
        const FitReport report = FitScene(ParseScene(text, 0, NumberFormat{}), text);
        EXPECT_EQ(report.outcome, c.outcome);
        EXPECT_TRUE(report.header.empty());
        EXPECT_NE(FitText(report, "MORVA.TXT").find(c.says), std::string::npos)
            << FitText(report, "MORVA.TXT");
    }
}

}  // namespace
}  // namespace morva
