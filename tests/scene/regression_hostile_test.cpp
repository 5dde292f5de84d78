// Scene and palette files as a hostile or broken source may hand them over:
// each is parsed or refused with a message naming the file, within a memory
// budget that does not grow with the number of lines or fields.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "scene/fields.h"
#include "scene/palette.h"
#include "scene/scene.h"

namespace morva {
namespace {

constexpr std::size_t kHundredMegabytes = 100u << 20;
const NumberFormat kC{".", ""};
const std::string kFern =
    "h 45 45 320 15 1 10 100 4\n"
    "a 0.01 0 0 0 0.16 0 0\n"
    "a 0.85 0.85 0.04 -0.04 0.85 0 1.6\n"
    "a 0.07 0.2 -0.26 0.23 0.22 0 1.6\n"
    "a 0.07 -0.15 0.28 0.26 0.24 0 0.44\n";

// Peak resident memory of the process in bytes.
std::size_t PeakResident() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

// Runs a parse and checks that the peak memory grew by less than the budget
// (the text itself is already resident). Each test runs as a process of its
// own, so the peak before is this test's. A parse that is not linear in the
// text's size would run for hours here and meet the test's time limit.
template <typename Parse>
void WithinBudget(Parse parse, std::size_t budget, const char* what) {
    const std::size_t before = PeakResident();
    parse();
    EXPECT_LT(PeakResident() - before, budget) << what;
}

std::string Refusal(const std::string& text) {
    try {
        ParseScene(text, 7, kC);
    } catch (const MorvaError& error) {
        return error.what();
    }
    ADD_FAILURE() << "accepted";
    return {};
}

TEST(HostileScene, HundredMegabytesOfBlankLinesAreRefusedWithoutALineTable) {
    const std::string text(kHundredMegabytes, '\n');
    std::string message;
    WithinBudget([&] { message = Refusal(text); }, 64u << 20, "blank lines");
    EXPECT_EQ(message, "MORVA.TXT: the scene has no header line (a line beginning with \"h\")");
}

TEST(HostileScene, HundredMegabytesOfCommentsAroundAWorkingScene) {
    std::string text = kFern;
    const std::string comment = "# a comment line of forty bytes or so..\r\n";
    text.reserve(kHundredMegabytes + 2 * comment.size() + 64);
    while (text.size() < kHundredMegabytes) text += comment;
    text += "_setseed 99\r\nD\r\n";
    Scene scene;
    WithinBudget([&] { scene = ParseScene(text, 7, kC); }, 64u << 20, "comment lines");
    EXPECT_EQ(scene.settings.TransformCount, 4);
    EXPECT_EQ(scene.settings.RandSeed, 99);
    EXPECT_TRUE(scene.settings.HiRes);
    EXPECT_EQ(scene.settings.GroupTarget, 16000);
}

TEST(HostileScene, HundredMegabytesOfTransformLinesStopAtTheTable) {
    std::string text = "h 45 45 320 15 1 10 100 1\n";
    const std::string line = "a 1 0.5 0 0 0.5 0 0\n";
    text.reserve(kHundredMegabytes + line.size());
    while (text.size() < kHundredMegabytes) text += line;
    std::string message;
    WithinBudget([&] { message = Refusal(text); }, 64u << 20, "transform lines");
    EXPECT_NE(message.find("MORVA.TXT, line 1026: more than 1024 transform lines"), std::string::npos)
        << message;
}

TEST(HostileScene, OneHundredMegabyteLineOfSpacesAfterAHeader) {
    // Fields past the eighth are never read: a line of nothing but blanks
    // after them must not be cut into a hundred million empty fields.
    std::string text = "h 45 45 320 15 1 10 100 1";
    text.append(kHundredMegabytes, ' ');
    text += "\na 1 0.5 0 0 0.5 0 0" + std::string(1u << 20, ' ') + "\n";
    Scene scene;
    WithinBudget([&] { scene = ParseScene(text, 7, kC); }, 64u << 20, "spaces");
    EXPECT_EQ(scene.settings.TransformCount, 1);
    EXPECT_EQ(scene.transforms[0].Coef[0], 0.5);
}

TEST(HostileScene, OneVeryLongLineOfNumbers) {
    // A header whose transform count has ten million leading zeros, and a
    // weight with ten million digits: read, not refused, in linear time.
    const std::string zeros(10u << 20, '0');
    const std::string text = "h 45 45 320 15 1 10 100 " + zeros + "1\na 0." + zeros + "5e" +
                             std::to_string(zeros.size()) + " 0.5 0 0 0.5 0 0\n";
    Scene scene;
    WithinBudget([&] { scene = ParseScene(text, 7, kC); }, 256u << 20, "long numbers");
    EXPECT_EQ(scene.settings.TransformCount, 1);
    EXPECT_EQ(scene.transforms[0].Weight, 0.5);

    // A hundred-megabyte keyword line is only a comment.
    std::string directive = kFern + "_";
    directive.append(kHundredMegabytes, 's');
    WithinBudget([&] { scene = ParseScene(directive, 7, kC); }, 64u << 20, "long directive");
    EXPECT_EQ(scene.settings.RandSeed, 7);
}

TEST(HostileScene, LongLinesAreRefusedWithTheirFieldCount) {
    // Too few fields is still counted for the message, however long the line.
    std::string text = "h 45 45 320" + std::string(1u << 20, 'x') + "\n";
    EXPECT_NE(Refusal(text).find(
                  "MORVA.TXT, line 1: a line beginning with \"h\" (a header) needs 8 fields after its "
                  "keyword, this one has 3"),
              std::string::npos);
}

TEST(HostileScene, RefusalsQuoteAHugeFieldByItsBeginning) {
    // The message goes to a message box: a field of a hundred megabytes is
    // quoted by its first characters and its length.
    const std::string digits(kHundredMegabytes, '7');
    EXPECT_EQ(Refusal("h 45 45 320 15 1 10 100 1\na " + digits + " 0 0 0 0 0 0\n"),
              "MORVA.TXT, line 2, field 1: overflow: \"" + digits.substr(0, 40) +
                  "...\" (104857600 characters) is too large for a real number");
    EXPECT_EQ(Refusal("h 45 45 320 15 1 10 100 " + digits + "x\n"),
              "MORVA.TXT, line 1, field 8: type mismatch: \"" + digits.substr(0, 40) +
                  "...\" (104857601 characters) is not a number");
    // Up to 64 characters a field is quoted whole.
    const std::string field64 = std::string(63, '1') + "x";
    EXPECT_EQ(Refusal("h 45 45 320 15 1 10 100 " + field64 + "\n"),
              "MORVA.TXT, line 1, field 8: type mismatch: \"" + field64 + "\" is not a number");
}

TEST(HostileScene, ALimitedSplitIsThePrefixOfTheWholeSplit) {
    using Fields = std::vector<std::string_view>;
    for (std::string_view line : {"", " ", "a", "a b", "a  b ", " a\tb  c", "h 1 2 3 4 5 6 7 8 9 10"}) {
        const Fields whole = SplitFields(line);
        for (std::size_t limit = 0; limit <= whole.size() + 1; ++limit) {
            const Fields limited = SplitFields(line, limit);
            const Fields prefix(whole.begin(),
                                whole.begin() + static_cast<std::ptrdiff_t>(std::min(limit, whole.size())));
            EXPECT_EQ(limited, prefix) << "\"" << line << "\" limit " << limit;
        }
    }
}

TEST(HostilePalette, BinaryGarbageIsRefusedWithFileAndLine) {
    std::string garbage;
    std::uint32_t state = 12345;
    for (int i = 0; i < (1 << 20); ++i) {
        state = state * 1664525u + 1013904223u;
        garbage += static_cast<char>(state >> 24);
    }
    try {
        ParsePalette(garbage, kC);
        FAIL() << "binary garbage read as a palette";
    } catch (const MorvaError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("MORVA.pal, line ", 0), 0u) << error.what();
    }
}

TEST(HostilePalette, HundredMegabytesAreReadOnlyAsFarAsTheEntries) {
    std::string text = "JASC-PAL\n0100\n256\n";
    for (int i = 0; i < 256; ++i) text += std::to_string(i) + " 1 2\n";
    text.append(kHundredMegabytes, '\n');
    PaletteRGB palette;
    WithinBudget([&] { palette = ParsePalette(text, kC); }, 64u << 20, "trailing lines");
    EXPECT_EQ(palette.PaletteR[255], 255);
    EXPECT_EQ(palette.PaletteB[0], 2);

    // An entry line of a hundred million blanks reads its three fields only.
    std::string wide = "JASC-PAL\n0100\n256\n1 2 3";
    wide.append(kHundredMegabytes, ' ');
    WithinBudget([&] { palette = ParsePalette(wide, kC); }, 64u << 20, "wide line");
    EXPECT_EQ(palette.PaletteG[0], 2);
}

}  // namespace
}  // namespace morva
