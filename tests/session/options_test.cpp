#include "session/options.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace morva {
namespace {

std::string Refusal(const std::vector<std::string>& args) {
    try {
        ParseOptions(args);
    } catch (const MorvaError& error) {
        return error.what();
    }
    return "";
}

TEST(ParseOptions, ValuesFollowTheNameOrAnEqualsSign) {
    const Options options =
        ParseOptions({"--batch", "--threads=2", "--out", "o", "--picture=a.PNG", "--hires-picture", "b.bmp",
                      "--counts=c=1.png", "--colours=palette", "--zoom", "3", "--quiet"});
    EXPECT_TRUE(options.batch);
    EXPECT_TRUE(options.quiet);
    EXPECT_EQ(options.threads, 2);
    EXPECT_EQ(options.zoom, 3);
    EXPECT_EQ(options.outFolder, "o");
    EXPECT_EQ(options.exports.picture, "a.PNG");
    EXPECT_EQ(options.exports.hiResPicture, "b.bmp");
    EXPECT_EQ(options.exports.counts, "c=1.png");
    EXPECT_EQ(options.exports.colours, PictureColours::Palette);
    EXPECT_EQ(options.exports.Paths(), (std::vector<std::string>{"a.PNG", "b.bmp", "c=1.png"}));
}

TEST(ParseOptions, RefusesWhatItCannotWriteOrDoBeforeAnythingRuns) {
    EXPECT_NE(Refusal({"--picture", "fern.jpg"}).find(".bmp or .png"), std::string::npos);
    EXPECT_NE(Refusal({"--hires-picture=fern"}).find("--hires-picture"), std::string::npos);
    EXPECT_NE(Refusal({"--counts", "counts.bmp"}).find("16-bit PNG"), std::string::npos);
    EXPECT_NE(Refusal({"--colours", "blue"}).find("green, grey or palette"), std::string::npos);
    EXPECT_NE(Refusal({"--zoom", "9"}).find("1 to 8"), std::string::npos);
    EXPECT_NE(Refusal({"--zoom=0"}).find("1 to 8"), std::string::npos);
    EXPECT_NE(Refusal({"--batch=yes"}).find("--batch takes no value"), std::string::npos);
    EXPECT_NE(Refusal({"--threads="}).find("--threads needs a whole number"), std::string::npos);
    EXPECT_NE(Refusal({"--out"}).find("--out needs a value"), std::string::npos);
}

TEST(ParseOptions, TakesOneSceneAndTheShortOptions) {
    const Options options = ParseOptions({"-q", "-j3", "fern.txt", "-o", "fern.png", "--entry=Fern"});
    EXPECT_TRUE(options.quiet);
    EXPECT_EQ(options.threads, 3);
    EXPECT_EQ(options.scene, "fern.txt");
    EXPECT_EQ(options.exports.picture, "fern.png");
    EXPECT_EQ(options.entry, "Fern");
    EXPECT_EQ(ParseOptions({"-ofern.bmp", "-j", "2", "-"}).scene, "-");
    EXPECT_EQ(ParseOptions({"--", "-odd name"}).scene, "-odd name");
    EXPECT_TRUE(ParseOptions({"-h"}).help);

    EXPECT_EQ(Refusal({"a.txt", "b.txt"}), "one SCENE at most: \"a.txt\" and \"b.txt\"");
    EXPECT_EQ(Refusal({"--dir", "d", "a.txt"}), "--dir and SCENE both name the scene; give one of them");
    EXPECT_EQ(Refusal({"--list"}), "--list needs an .ifs library as SCENE");
    EXPECT_EQ(Refusal({"--write", "a.txt"}), "--write writes the header that --fit finds; add --fit");
    EXPECT_EQ(Refusal({"-x"}), "unknown option \"-x\"");
}

TEST(ParseOptions, StylesThePicture) {
    const Options options =
        ParseOptions({"--size", "1920x1080", "--supersample=2", "--tone", "log", "--gamma", "2.2",
                      "--exposure", "auto", "--colour-by", "map", "--map-colours", "#ff8000,00ff00"});
    const PictureStyle& style = options.exports.style;
    EXPECT_TRUE(style.asked);
    EXPECT_EQ(style.size.width, 1920);
    EXPECT_EQ(style.size.samples, 2);
    EXPECT_EQ(style.tone.curve, ToneKind::Log);
    EXPECT_EQ(style.tone.gamma, 2.2);
    EXPECT_TRUE(style.tone.autoExposure);
    EXPECT_EQ(style.mapColours, (std::vector<Rgb>{{255, 128, 0}, {0, 255, 0}}));
    EXPECT_FALSE(ParseOptions({"-o", "a.png"}).exports.style.asked);
    EXPECT_EQ(ParseOptions({"--exposure", "40"}).exports.style.tone.exposure, 40);

    EXPECT_NE(Refusal({"--size", "16385x10"}).find("1 to 16384"), std::string::npos);
    EXPECT_NE(Refusal({"--supersample", "5"}).find("1 to 4"), std::string::npos);
    EXPECT_NE(Refusal({"--tone", "linear"}).find("sqrt or log"), std::string::npos);
    EXPECT_NE(Refusal({"--gamma", "0"}).find("0.1 to 10"), std::string::npos);
    EXPECT_NE(Refusal({"--exposure", "0"}).find("--exposure needs"), std::string::npos);
    EXPECT_NE(Refusal({"--map-colours", "red"}).find("RRGGBB"), std::string::npos);
    EXPECT_NE(Refusal({"--map-colours", "ff0000"}).find("--colour-by map"), std::string::npos);
}

// A usage error is one line that names the problem and where to read more.
TEST(UsageErrorLine, IsOneLine) {
    EXPECT_EQ(UsageErrorLine(Refusal({"--frobnicate"})),
              "morva: unknown option \"--frobnicate\"; try 'morva --help'\n");
    EXPECT_EQ(UsageErrorLine(Refusal({"--zoom", "9"})),
              "morva: --zoom needs a whole number from 1 to 8, not \"9\"; try 'morva --help'\n");
}

}  // namespace
}  // namespace morva
