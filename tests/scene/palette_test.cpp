#include "scene/palette.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/error.h"
#include "scene/bundled_palettes.h"
#include "support/fake_file_system.h"

namespace morva {
namespace {

const NumberFormat kC{};

std::string Header(std::string_view lineEnd) {
    return "JASC-PAL" + std::string(lineEnd) + "0100" + std::string(lineEnd) + "256" + std::string(lineEnd);
}

// Entry k holds (k, 255 - k, k / 2).
std::string FullPalette(std::string_view lineEnd) {
    std::string text = Header(lineEnd);
    for (int k = 0; k < 256; ++k)
        text += std::to_string(k) + " " + std::to_string(255 - k) + " " + std::to_string(k / 2) +
                std::string(lineEnd);
    return text;
}

void ExpectEntry(const PaletteRGB& palette, int k, int r, int g, int b) {
    EXPECT_EQ(palette.PaletteR[k], r) << "entry " << k;
    EXPECT_EQ(palette.PaletteG[k], g) << "entry " << k;
    EXPECT_EQ(palette.PaletteB[k], b) << "entry " << k;
}

TEST(ParsePalette, ReadsAllEntriesWithEitherLineEnd) {
    const PaletteRGB lf = ParsePalette(FullPalette("\n"), kC);
    const PaletteRGB crlf = ParsePalette(FullPalette("\r\n"), kC);
    for (int k = 0; k < 256; ++k) ExpectEntry(lf, k, k, 255 - k, k / 2);
    EXPECT_EQ(crlf.PaletteR, lf.PaletteR);
    EXPECT_EQ(crlf.PaletteG, lf.PaletteG);
    EXPECT_EQ(crlf.PaletteB, lf.PaletteB);
}

TEST(ParsePalette, LinePlacesAndWhatIsIgnored) {
    std::string text =
        Header("\r\n") + "255 128 0 9 junk\r\n" + "\r\n" + "127.5 128.5 -0.5\r\n" + "7\r\n" + "1 2\r\n";
    for (int k = 5; k < 256; ++k) text += "3 3 3\r\n";
    text += "not a palette line\r\n1000 1000 1000\r\n";
    const PaletteRGB palette = ParsePalette(text, kC);
    ExpectEntry(palette, 0, 255, 128, 0);  // further fields ignored
    ExpectEntry(palette, 1, 0, 0, 0);      // empty line: stays 0, nothing shifts
    ExpectEntry(palette, 2, 128, 128, 0);  // ties to even
    ExpectEntry(palette, 3, 7, 0, 0);      // "7\r" is two characters, so it is read
    ExpectEntry(palette, 4, 1, 2, 0);      // a missing field stays 0
    ExpectEntry(palette, 255, 3, 3, 3);
}

TEST(ParsePalette, OneCharacterLineIsSkippedOnlyWithBareLineFeeds) {
    EXPECT_EQ(ParsePalette(Header("\n") + "7\n", kC).PaletteR[0], 0);
    EXPECT_EQ(ParsePalette(Header("\r\n") + "7\r\n", kC).PaletteR[0], 7);
}

TEST(ParsePalette, ShortMissingOrEmptyFilesLeaveZeros) {
    const PaletteRGB empty = ParsePalette("", kC);
    EXPECT_EQ(empty.PaletteR, (std::array<std::uint8_t, 256>{}));
    const PaletteRGB header = ParsePalette("JASC-PAL\n0100\n", kC);
    EXPECT_EQ(header.PaletteG, (std::array<std::uint8_t, 256>{}));
    const PaletteRGB two = ParsePalette(Header("\n") + "1 2 3\n4 5 6", kC);
    ExpectEntry(two, 1, 4, 5, 6);
    ExpectEntry(two, 2, 0, 0, 0);

    test::FakeFileSystem files;
    EXPECT_EQ(LoadPalette(files, "/nowhere", kC).PaletteB, (std::array<std::uint8_t, 256>{}));
    files.files["/art/MORVA.pal"] = FullPalette("\r\n");
    EXPECT_EQ(LoadPalette(files, "/art", kC).PaletteG[0], 255);
}

TEST(ParsePalette, RefusesFieldsThatAreNotBytes) {
    auto message = [](const std::string& entryLines) {
        try {
            ParsePalette(Header("\r\n") + entryLines, kC);
        } catch (const MorvaError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message("1 2 3\r\n1 x 3\r\n"),
              "MORVA.pal, line 5, field 2: type mismatch: \"x\" is not a number");
    EXPECT_EQ(message("1 2 256\r\n"),
              "MORVA.pal, line 4, field 3: overflow: \"256\" is outside the range 0 to 255");
    EXPECT_EQ(message("1  3\r\n"), "MORVA.pal, line 4, field 2: type mismatch: \"\" is not a number");
    EXPECT_EQ(message("-1 0 0\r\n"),
              "MORVA.pal, line 4, field 1: overflow: \"-1\" is outside the range 0 to 255");
}

TEST(ParsePalette, UserNumberFormat) {
    const NumberFormat german{",", "."};
    const PaletteRGB palette = ParsePalette(Header("\n") + "127,5 128,5 0\n", german);
    ExpectEntry(palette, 0, 128, 128, 0);
}

TEST(BundledPalettes, EveryOneReadsAsAFullRamp) {
    const std::vector<std::string> names = BundledPaletteNames();
    ASSERT_GE(names.size(), 6u);
    for (const std::string& name : names) {
        const PaletteRGB p = ParsePalette(*BundledPalette(name), kC, name);
        // Every entry was read (the last is not the zeros a short file
        // leaves), and the colours change along the ramp.
        EXPECT_TRUE(p.PaletteR[255] || p.PaletteG[255] || p.PaletteB[255]) << name;
        EXPECT_NE(std::tie(p.PaletteR[0], p.PaletteG[0], p.PaletteB[0]),
                  std::tie(p.PaletteR[128], p.PaletteG[128], p.PaletteB[128]))
            << name;
    }
    EXPECT_FALSE(BundledPalette("MORVA"));
}

}  // namespace
}  // namespace morva
