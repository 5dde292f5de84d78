#include "session/scene_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "engine/fast_renderer.h"
#include "platform/files.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"
#include "scene/fields.h"
#include "scene/ifs_library.h"
#include "session/fit.h"
#include "session/frm_morva.h"
#include "session/ifs_scene.h"
#include "session/options.h"
#include "session/scene_save.h"
#include "support/test_support.h"

namespace morva {
namespace {

constexpr char kFern[] =
    "fern {\n  0 0 0 .16 0 0 .01\n.85 .04 -.04 .85 0 1.6 .85\n.2 -.26 .23 .22 0 1.6 .07\n"
    "-.15 .28 .26 .24 0 .44 .07\n}\n";

TEST(ReplaceLine, ChangesThatLineAndKeepsEveryOtherByte) {
    const std::string text = "# fern\r\nh 1 1 0 0 1 10 100 4\r\na 1 0 0 0 .16 0 0\r\n\r\n_setseed 1";
    EXPECT_EQ(ReplaceLine(text, 2, "h 45 45 320 15 1 10 100 4"),
              "# fern\r\nh 45 45 320 15 1 10 100 4\r\na 1 0 0 0 .16 0 0\r\n\r\n_setseed 1");
    EXPECT_EQ(ReplaceLine(text, 5, "_setseed 2"),
              "# fern\r\nh 1 1 0 0 1 10 100 4\r\na 1 0 0 0 .16 0 0\r\n\r\n_setseed 2");
    EXPECT_EQ(ReplaceLine("a\nb\n", 2, "c"), "a\nc\n");
    EXPECT_EQ(ReplaceLine(text, 9, "x"), text);
}

// A library entry is framed as --fit frames it (fitting it again proposes
// the header it has), and its brightness brings the brighter lit pixels to
// full brightness without saturating the rest; the same entry always gives
// the same text.
TEST(FramedIfsScene, FramesAndExposesTheAttractor) {
    const IfsLibrary library = ParseIfsLibrary(kFern, "fern.ifs");
    const std::string text = FramedIfsScene(library.entries[0], "fern.ifs");
    EXPECT_EQ(text, FramedIfsScene(library.entries[0], "fern.ifs"));
    const Scene scene = ParseScene(text, 0, NumberFormat{});
    const FitReport report = FitScene(scene, text);
    ASSERT_EQ(report.outcome, FitOutcome::kFramed);
    EXPECT_NE(text.find("\n" + report.header + "\n"), std::string::npos) << text;

    std::vector<std::uint8_t> picture(kHitWidth * kHitHeight);
    Raster raster;
    raster.MapFrameSurface({picture.data(), 8, kHitWidth, kHitHeight});
    UniformRandom uniform;
    EngineState state;
    state.RandSeed = scene.settings.RandSeed;
    auto renderer = MakeFastRenderer(scene, uniform, 1);
    renderer->DrawGroups(state, raster, scene.settings.GroupTarget + 1);
    renderer->Flush(raster, GroupRenderer::FlushScope::All);
    std::vector<std::int64_t> lit;
    for (int y = 0; y < kHitHeight; ++y) {
        for (int x = 0; x < kHitWidth; ++x) {
            if (const std::int32_t count = raster.HitBuffer()(x, y); count > 0)
                lit.push_back(std::min<std::int64_t>(255, count / scene.settings.Exposure));
        }
    }
    ASSERT_GT(lit.size(), 20000u);
    std::sort(lit.begin(), lit.end());
    EXPECT_GE(lit[lit.size() * 95 / 100], 200);
    EXPECT_LT(lit[lit.size() / 2], 255);
    EXPECT_GE(lit[lit.size() / 2], 16);
}

// SCENE on the command line: its palette beside it, nothing written beside
// it, and a batch render with no output named writes NAME.png here.
TEST(ApplySceneArgument, ReadsBesideTheSceneAndWritesWhereTheUserSays) {
    test::TempDir dir;
    test::WriteTextFile(dir.File("leaf.scene"), "h 45 45 320 15 1 1 1 1\na 1 .5 0 0 .5 0 0\n");
    test::WriteTextFile(dir.File("fern.IFS"), kFern);
    std::ostringstream notes;

    Options options = ParseOptions({"--batch", dir.File("leaf.scene")});
    SessionConfig config;
    ApplySceneArgument(options, config, notes);
    EXPECT_EQ(config.source.scenePath, dir.File("leaf.scene"));
    EXPECT_EQ(config.source.palettePath, DefaultPalettePath());
    EXPECT_EQ(config.exports.picture, "leaf.png");
    EXPECT_FALSE(config.batchCountFiles);
    EXPECT_EQ(config.folder, ".");
    EXPECT_EQ(notes.str(), "morva: no output named: the picture goes to leaf.png (-o FILE names another)\n");

    test::WriteTextFile(dir.File("MORVA.pal"), "");
    options = ParseOptions({"--batch", "--out", dir.Path(), dir.File("fern.IFS")});
    config = SessionConfig{};
    ApplySceneArgument(options, config, notes);
    EXPECT_EQ(config.source.palettePath, dir.File("MORVA.pal"));
    EXPECT_TRUE(config.exports.picture.empty());
    EXPECT_TRUE(config.batchCountFiles);
    EXPECT_FALSE(config.source.inPlace);
    EXPECT_EQ(config.source.name, "fern");
    ASSERT_TRUE(config.source.text);
    EXPECT_EQ(ParseScene(*config.source.text, 0, NumberFormat{}).settings.TransformCount, 4);

    // A folder, in the window: F11 writes here, not into the folder.
    options = ParseOptions({dir.Path()});
    config = SessionConfig{};
    ApplySceneArgument(options, config, notes);
    EXPECT_EQ(config.source.scenePath, JoinPath(dir.Path(), kSceneFileName));
    EXPECT_EQ(config.folder, ".");
    EXPECT_TRUE(config.exports.picture.empty());
}

}  // namespace
}  // namespace morva
