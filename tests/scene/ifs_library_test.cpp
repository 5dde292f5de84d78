#include "scene/ifs_library.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "scene/scene.h"
#include "scene/scene_contract.h"

namespace morva {
namespace {

// A library as people paste them: comments, a map that runs over two
// lines, names in mixed case, an entry without probabilities, a 3-D entry
// and a brace glued to a name.
constexpr char kLibrary[] = R"(; classic tables
Fern {   ; the four-map fern
  0    0     0 .16 0   0 .01
.85   .04 -.04 .85 0 1.6 .85
.2   -.26  .23 .22 0 1.6
  .07
-.15  .28  .26 .24 0 .44 .07
}
Cube (3D) {
.5 0 0 0 .5 0 0 0 .5 0 0 0 1
}
twig{
0.5 0 0 0.5 0 0
0 0 0 0.5 0 1
}
)";

std::string Refusal(std::string_view text) {
    try {
        ParseIfsLibrary(text, "lib.ifs");
    } catch (const MorvaError& error) {
        return error.what();
    }
    return "";
}

TEST(IfsLibrary, ReadsWhatPublishedLibrariesHold) {
    const IfsLibrary library = ParseIfsLibrary(kLibrary, "lib.ifs");
    ASSERT_EQ(library.entries.size(), 3u);

    const IfsEntry& fern = FindIfsEntry(library, "FERN", "lib.ifs");
    EXPECT_EQ(&fern, &FindIfsEntry(library, "", "lib.ifs"));  // the first is the default
    EXPECT_EQ(fern.line, 2u);
    ASSERT_EQ(fern.maps.size(), 4u);
    EXPECT_EQ(fern.maps[2].coef, (std::array<double, 6>{.2, -.26, .23, .22, 0, 1.6}));
    EXPECT_EQ(fern.maps[2].probability, .07);
    EXPECT_EQ(fern.maps[1].text[2], "-.04");

    const IfsEntry& twig = FindIfsEntry(library, "Twig", "lib.ifs");
    EXPECT_FALSE(twig.hasProbabilities);
    ASSERT_EQ(twig.maps.size(), 2u);
    EXPECT_EQ(twig.maps[1].coef[5], 1.0);

    try {
        FindIfsEntry(library, "cube", "lib.ifs");
        ADD_FAILURE() << "a 3-D entry was taken";
    } catch (const MorvaError& error) {
        EXPECT_STREQ(
            error.what(),
            "lib.ifs, line 9: the entry \"Cube\" is a 3-D system (13 numbers a map); only 2-D entries "
            "render");
    }
    EXPECT_THROW(FindIfsEntry(library, "fer", "lib.ifs"), MorvaError);
    EXPECT_EQ(
        IfsListText(library),
        "Fern  4 maps\nCube  1 map, 3-D (not rendered)\ntwig  2 maps, no probabilities (weighted by area)\n");
}

TEST(IfsLibrary, RefusesMalformedLibrariesNamingTheLine) {
    EXPECT_EQ(Refusal("fern {\n0 0 0 .16 0 0 .01\n.85 .04 -.04 .85 0 1.6\n"),
              "lib.ifs, line 1: the entry \"fern\" is not closed: expected \"}\" before the end of the file");
    EXPECT_EQ(Refusal("fern {\n0 0 0 .16 0 0 .01\n.85 .04 -O.04 .85 0 1.6 .85\n}\n"),
              "lib.ifs, line 3: expected a number or \"}\" in the entry \"fern\", found \"-O.04\"");
    EXPECT_EQ(
        Refusal("fern {\n0 0 0 .16 0 0 .01\n.85 .04 -.04 .85 0\n}\n"),
        "lib.ifs, line 4: the entry \"fern\" holds 12 numbers, not a whole number of maps: expected 7 a "
        "map (a b c d e f p), or 6 without probabilities");
    EXPECT_EQ(Refusal("fern\n0 0 0 .16 0 0 .01\n}"),
              "lib.ifs, line 2: expected \"{\" after the entry name \"fern\", found \"0\"");
    EXPECT_EQ(
        Refusal("a {\n.5 0 0 .5 0 0 -.5\n}\n"),
        "lib.ifs, line 2: the probability \"-.5\" of map 1 of the entry \"a\" is negative; expected 0 or "
        "more");
    EXPECT_EQ(Refusal("a {\n.5 0 0 .5 0 0 inf\n}\n"),
              "lib.ifs, line 2: expected a number or \"}\" in the entry \"a\", found \"inf\"");
    EXPECT_EQ(Refusal("}\n"), "lib.ifs, line 1: \"}\" outside an entry");
    EXPECT_EQ(Refusal("a { }\n"), "lib.ifs, line 1: the entry \"a\" has no maps");
    EXPECT_EQ(Refusal("; nothing\n"),
              "lib.ifs: no entries; an entry is a name, \"{\", the numbers of its maps and \"}\"");
}

// The whole-number weights make every band exact, so the bands of the
// scene cover every draw of the fast selection, and the proportions are
// those of the library.
TEST(IfsLibrary, WeightsCoverEveryDrawAndKeepTheProportions) {
    auto weights = [](std::string_view text) {
        const IfsLibrary library = ParseIfsLibrary(text, "w.ifs");
        const IfsEntry& entry = library.entries.front();
        const std::vector<std::int64_t> whole = IfsWeights(entry, "w.ifs");
        // Read back as a scene: the bands add up to the modulus exactly.
        const Scene scene =
            ParseScene(IfsSceneText(entry, "w.ifs", "h 1 1 0 0 1 1 1 " + std::to_string(entry.maps.size())),
                       0, NumberFormat{});
        std::int64_t bands = 0;
        for (std::size_t k = 0; k < entry.maps.size(); ++k) bands += *WeightBand(scene.transforms[k].Weight);
        EXPECT_EQ(bands, scene.settings.WeightTotal727) << text;
        return whole;
    };
    using W = std::vector<std::int64_t>;
    EXPECT_EQ(weights("t {\n.5 0 0 .5 0 0 .333\n.5 0 0 .5 0 1 .333\n.5 0 0 .5 1 1 .334\n}"),
              (W{333, 333, 334}));
    EXPECT_EQ(weights("t {\n.5 0 0 .5 0 0 .33\n.5 0 0 .5 0 1 .33\n.5 0 0 .5 1 1 .33\n}"), (W{33, 33, 33}));
    EXPECT_EQ(weights("f {\n0 0 0 .16 0 0 .01\n.85 .04 -.04 .85 0 1.6 .85\n.2 -.26 .23 .22 0 1.6 .07\n"
                      "-.15 .28 .26 .24 0 .44 .07\n}"),
              (W{1, 85, 7, 7}));
    // Shares with no short decimal form: parts of 100000, a tiny one kept
    // at 1 and a zero one left at 0.
    EXPECT_EQ(weights("t {\n.5 0 0 .5 0 0 0.3333333333333333\n.5 0 0 .5 0 1 0.6666666666666666\n"
                      ".5 0 0 .5 1 1 1e-9\n.5 0 0 .5 1 0 0\n}"),
              (W{33333, 66667, 1, 0}));
    // No probabilities: the areas |ad - bc|, a flat map at the floor.
    EXPECT_EQ(weights("t {\n.5 0 0 .5 0 0\n.25 0 0 .5 0 1\n0 0 0 .5 1 1\n}"), (W{66007, 33003, 990}));
    EXPECT_THROW(weights("t {\n.5 0 0 .5 0 0 0\n}"), MorvaError);
}

TEST(IfsLibrary, SceneTextKeepsTheLibrarysNumbers) {
    const IfsLibrary library = ParseIfsLibrary(kLibrary, "lib.ifs");
    const std::string text = IfsSceneText(library.entries[0], "lib.ifs", "h 45 45 320 15 1 10 100 4");
    EXPECT_NE(text.find("\nh 45 45 320 15 1 10 100 4\n"), std::string::npos);
    EXPECT_NE(text.find("\na 1 0 0 0 .16 0 0\na 85 .85 .04 -.04 .85 0 1.6\n"), std::string::npos) << text;
    const Scene scene = ParseScene(text, 0, NumberFormat{});
    EXPECT_EQ(scene.settings.RandSeed, kIfsSeed);
    for (std::size_t k = 0; k < 4; ++k) {
        for (std::size_t c = 0; c < 6; ++c)
            EXPECT_EQ(scene.transforms[k].Coef[c], library.entries[0].maps[k].coef[c]) << k << " " << c;
    }
}

}  // namespace
}  // namespace morva
