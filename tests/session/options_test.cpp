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

}  // namespace
}  // namespace morva
