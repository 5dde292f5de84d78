#include "font/glyph_font.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "platform/error.h"
#include "raster/bmp_writer.h"

namespace morva {
namespace {

constexpr int kWidth = kPictureWidth;
constexpr int kHeight = kPictureHeight;
constexpr std::uint8_t kBackground = 7;
constexpr std::uint8_t kInk = 200;

const GlyphFont& Font() {
    static const GlyphFont font = [] {
        GlyphFont loaded;
        loaded.LoadGlyphFont();
        return loaded;
    }();
    return font;
}

// A 640 x 480 picture with guard bytes on both sides, so that a write past
// the first or last row shows.
class Picture {
public:
    static constexpr int kGuard = 4096;
    explicit Picture(std::uint8_t fill = kBackground) : bytes_(kWidth * kHeight + 2 * kGuard, fill) {}

    FrameSurface& Surface() { return surface_; }
    std::uint8_t At(int x, int y) const { return bytes_[kGuard + y * kWidth + x]; }
    std::vector<std::uint8_t> Pixels() const { return {bytes_.begin() + kGuard, bytes_.end() - kGuard}; }
    bool GuardsIntact(std::uint8_t fill = kBackground) const {
        for (int i = 0; i < kGuard; ++i)
            if (bytes_[i] != fill || bytes_[bytes_.size() - 1 - i] != fill) return false;
        return true;
    }
    void Draw(std::int32_t x, std::int32_t y, std::string_view text, bool bold = false, bool italic = false,
              std::uint8_t colour = kInk) {
        Font().DrawTxt(surface_, x, y, text, bold, italic, colour);
    }

private:
    std::vector<std::uint8_t> bytes_;
    FrameSurface surface_{bytes_.data() + kGuard, kWidth, kHeight};
};

// The cell of a code as seven rows of '#' (ink) and '.', five columns each.
std::vector<std::string> Cell(int code) {
    std::vector<std::string> rows;
    for (int r = 0; r < kGlyphCellHeight; ++r) {
        std::string row;
        for (int k = 0; k < kGlyphCellWidth; ++k)
            row += Font().SheetPixel(code % 16 * 5 + k, (code - 32) / 16 * 7 + r) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

TEST(GlyphFont, TablesAreZeroUntilLoaded) {
    GlyphFont font;
    EXPECT_FALSE(font.Loaded());
    EXPECT_EQ(font.Width('A'), 0);
    EXPECT_EQ(font.SheetPixel(5, 15), 0);
    font.LoadGlyphFont();
    EXPECT_TRUE(font.Loaded());
    EXPECT_EQ(font.Width('A'), 4);
    EXPECT_EQ(font.SheetPixel(5, 15), 1);  // the left stroke of 'A'
}

TEST(GlyphSheet, BitPatterns) {
    using Rows = std::vector<std::string>;
    EXPECT_EQ(Cell('A'), (Rows{".##..", "#..#.", "#..#.", "####.", "#..#.", "#..#.", "....."}));
    EXPECT_EQ(Cell('0'), (Rows{".###.", "#..##", "#.#.#", "#.#.#", "##..#", ".###.", "....."}));
    EXPECT_EQ(Cell(198), (Rows{"#.#.#", "#.#.#", ".###.", ".###.", "#.#.#", "#.#.#", "....."}));  // Ж
    EXPECT_EQ(Cell(255), (Rows{".....", ".....", ".##..", "#.#..", ".##..", "#.#..", "....."}));  // я
    EXPECT_EQ(Cell(127), (Rows{".....", ".....", "###..", "###..", "###..", ".....", "....."}));
    // The corners of the sheet.
    EXPECT_EQ(Font().SheetPixel(0, 0), 0);
    EXPECT_EQ(Font().SheetPixel(79, 6), 0);
    EXPECT_EQ(Font().SheetPixel(79, 1), 1);  // '/' of code 47
    EXPECT_EQ(Font().SheetPixel(0, 97), 1);  // the descender of р, code 240
    EXPECT_EQ(Font().SheetPixel(-1, 0), 0);
    EXPECT_EQ(Font().SheetPixel(80, 0), 0);
    EXPECT_EQ(Font().SheetPixel(0, 98), 0);
}

// The widths come from a separate table; a field taken one place off would
// leave ink right of some glyph's width.
TEST(GlyphWidths, AgreeWithTheSheet) {
    for (int code = kFirstGlyphCode; code <= kLastGlyphCode; ++code) {
        const int width = Font().Width(code);
        ASSERT_GE(width, 1) << code;
        ASSERT_LE(width, 5) << code;
        for (const std::string& row : Cell(code))
            EXPECT_EQ(row.find('#', width), std::string::npos) << "ink beyond the width of code " << code;
    }
    EXPECT_EQ(Font().Width(32), 1);
    EXPECT_EQ(Font().Width(128), 5);
    EXPECT_EQ(Font().Width(152), 5);
    EXPECT_EQ(Font().Width(255), 3);
    EXPECT_EQ(Font().Width(31), 0);
    EXPECT_EQ(Font().Width(256), 0);
}

TEST(GetTxtWidth, SumsWidthsPlusOneBlankColumn) {
    EXPECT_EQ(Font().GetTxtWidth(""), 0);
    EXPECT_EQ(Font().GetTxtWidth(" "), 2);
    EXPECT_EQ(Font().GetTxtWidth("A"), 5);
    EXPECT_EQ(Font().GetTxtWidth("AB"), 10);
    EXPECT_EQ(Font().GetTxtWidth("\t"), 6);   // measured as code 128
    EXPECT_EQ(Font().GetTxtWidth("Жя"), 10);  // characters, not bytes
    EXPECT_EQ(Font().GetTxtWidth("中"), Font().GetTxtWidth("?"));
}

// A NUL measures 6 (code 128); the zero pages of an anonymous mapping give a
// text of any length without touching memory.
TEST(GetTxtWidth, RefusesASumBeyondInt32) {
    constexpr std::size_t kFits = std::numeric_limits<std::int32_t>::max() / 6;  // 357913941
    const std::size_t length = kFits + 1;
    void* memory = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED) GTEST_SKIP() << "no address space for the long text";
    const std::string_view zeros(static_cast<const char*>(memory), length);
    EXPECT_EQ(Font().GetTxtWidth(zeros.substr(0, kFits)), 2147483646);
    EXPECT_THROW(Font().GetTxtWidth(zeros), MorvaError);
    munmap(memory, length);
}

TEST(DrawTxt, EmptyTextDrawsNothing) {
    Picture picture;
    picture.Draw(10, 10, "", true, true);
    EXPECT_EQ(picture.Pixels(), Picture().Pixels());
}

TEST(DrawTxt, LetterIAtTheOriginFillsTheTopOfColumnZero) {
    Picture picture;
    picture.Draw(0, 0, "I");
    std::vector<std::uint8_t> expected = Picture().Pixels();
    for (int y = 474; y <= 479; ++y) expected[y * kWidth] = kInk;
    EXPECT_EQ(picture.Pixels(), expected);
    EXPECT_EQ(picture.At(0, 473), kBackground);
}

TEST(DrawTxt, StoresInkAndLeavesTheBackground) {
    Picture once(kBackground), twice(kBackground);
    once.Draw(3, 5, "Morva Ж!");
    twice.Draw(3, 5, "Morva Ж!");
    twice.Draw(3, 5, "Morva Ж!");
    EXPECT_EQ(once.Pixels(), twice.Pixels());
    for (int x = 0; x < kWidth; ++x)
        for (int y = 0; y < kHeight; ++y) ASSERT_TRUE(once.At(x, y) == kBackground || once.At(x, y) == kInk);
}

// Italic and bold versions derived from the plain drawing of one glyph.
TEST(DrawTxt, ItalicShiftsTopThreeRowsAndBoldDoubles) {
    for (const char* text : {"A", "W", "Ж", "\x7F"}) {
        Picture plain, italic, bold, both;
        plain.Draw(20, 30, text);
        italic.Draw(20, 30, text, false, true);
        bold.Draw(20, 30, text, true, false);
        both.Draw(20, 30, text, true, true);
        Picture expectItalic, expectBold, expectBoth;
        for (int y = 0; y < kHeight; ++y) {
            const int glyphRow = 479 - 30 - y;
            const int shift = glyphRow >= 0 && glyphRow <= 2 ? 1 : 0;
            for (int x = 0; x + 2 < kWidth; ++x) {
                if (plain.At(x, y) != kInk) continue;
                expectItalic.Surface()(x + shift, y) = kInk;
                expectBold.Surface()(x, y) = expectBold.Surface()(x + 1, y) = kInk;
                expectBoth.Surface()(x + shift, y) = expectBoth.Surface()(x + shift + 1, y) = kInk;
            }
        }
        EXPECT_EQ(italic.Pixels(), expectItalic.Pixels()) << text;
        EXPECT_EQ(bold.Pixels(), expectBold.Pixels()) << text;
        EXPECT_EQ(both.Pixels(), expectBoth.Pixels()) << text;
    }
}

TEST(DrawTxt, BoldAdvancesOneColumnMorePerCharacter) {
    Picture plain, bold;
    plain.Draw(0, 0, "III");
    bold.Draw(0, 0, "III", true, false);
    std::string plainColumns, boldColumns;
    for (int x = 0; x < 10; ++x) {
        plainColumns += plain.At(x, 479) == kInk ? '#' : '.';
        boldColumns += bold.At(x, 479) == kInk ? '#' : '.';
    }
    EXPECT_EQ(plainColumns, "#.#.#.....");
    EXPECT_EQ(boldColumns, "##.##.##..");
    EXPECT_EQ(Font().GetTxtWidth("III"), 6);  // bold takes no part in the measure
}

// A text pushed over an edge equals the same text drawn well inside,
// shifted, with the part beyond the edge dropped.
TEST(DrawTxt, ClipsAtAllFourEdges) {
    const std::string_view text = "WMЖ#";
    const int inX = 300, inY = 200;
    Picture inside;
    inside.Draw(inX, inY, text, true, true);
    struct Edge {
        const char* name;
        int x, y;
    };
    for (const Edge edge : {Edge{"left", -7, inY}, Edge{"right", 625, inY}, Edge{"top", inX, -4},
                            Edge{"bottom", inX, 476}, Edge{"corner", 636, 477}}) {
        Picture clipped;
        clipped.Draw(edge.x, edge.y, text, true, true);
        EXPECT_TRUE(clipped.GuardsIntact()) << edge.name;
        const int dx = inX - edge.x, dy = edge.y - inY;  // surface rows run upwards
        int visible = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const int fromX = x + dx, fromY = y + dy;
                const bool mapped = fromX >= 0 && fromX < kWidth && fromY >= 0 && fromY < kHeight;
                const std::uint8_t expected = mapped ? inside.At(fromX, fromY) : kBackground;
                ASSERT_EQ(clipped.At(x, y), expected) << edge.name << " at " << x << ", " << y;
                visible += clipped.At(x, y) == kInk;
            }
        }
        EXPECT_GT(visible, 0) << edge.name;
    }
}

TEST(DrawTxt, FarOffCoordinatesWriteNothing) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const std::string longText(10000, 'W');  // 70000 columns in bold
    const std::pair<std::int32_t, std::int32_t> places[] = {
        {kMin, 0},     {kMin + 1, 0}, {-1000000, 0}, {640, 0},    {kMax - 1, 0},
        {kMax, 0},     {0, kMin},     {0, kMin + 1}, {0, -7},     {0, 480},
        {0, kMax - 1}, {0, kMax},     {kMin, kMin},  {kMax, kMax}};
    for (const auto& [x, y] : places) {
        Picture picture;
        picture.Draw(x, y, longText, true, true);
        EXPECT_EQ(picture.Pixels(), Picture().Pixels()) << x << ", " << y;
        EXPECT_TRUE(picture.GuardsIntact()) << x << ", " << y;
    }
}

TEST(DrawTxt, UnmappedSurfaceIsLeftAlone) {
    FrameSurface none;
    Font().DrawTxt(none, 0, 0, "A", true, true, kInk);
}

// Codes 32..255 in UTF-8, 32 to a line; the unassigned code 152 has no
// character and reads as '?'.
constexpr const char* kAllCodes[] = {
    " !\"#$%&'()*+,-./0123456789:;<=>?",
    "@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_",
    "`abcdefghijklmnopqrstuvwxyz{|}~\x7F",
    "ЂЃ\u201Aѓ\u201E\u2026\u2020\u2021\u20AC\u2030Љ\u2039ЊЌЋЏђ\u2018\u2019\u201C\u201D\u2022\u2013\u2014?"
    "\u2122љ\u203Aњќћџ",
    "\u00A0ЎўЈ\u00A4Ґ\u00A6\u00A7Ё\u00A9Є\u00AB\u00AC\u00AD\u00AEЇ\u00B0\u00B1Ііґ\u00B5\u00B6\u00B7ё\u2116є"
    "\u00BBјЅѕї",
    "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ",
    "абвгдежзийклмнопрстуфхцчшщъыьэюя",
};

// Every code 32..255 in plain, italic, bold and both, with each glyph in an
// 8-pixel slot. The hash was taken after the picture was checked by eye; set
// MORVA_FONT_PREVIEW to a file name to get it as a BMP.
TEST(DrawTxt, EveryGlyphRendersAsChecked) {
    Picture picture(0);
    int y = 8;
    for (const auto& [bold, italic] : {std::pair{false, false}, {false, true}, {true, false}, {true, true}}) {
        for (const char* line : kAllCodes) {
            ASSERT_EQ(ToGlyphCodes(line).size(), 32u) << line;
            int x = 8;
            for (std::size_t pos = 0; pos < std::strlen(line); x += 8) {
                const std::size_t start = pos;
                NextGlyphCode(line, pos);
                picture.Draw(x, y, std::string_view(line + start, pos - start), bold, italic, 255);
            }
            y += 10;
        }
        y += 8;
    }
    picture.Draw(280, 8, "Morva: Жёлтый шрифт 5x7", false, false, 255);
    picture.Draw(280, 18, "Width " + std::to_string(Font().GetTxtWidth("Morva")), true, true, 255);

    if (const char* preview = std::getenv("MORVA_FONT_PREVIEW")) {
        const std::vector<std::uint8_t> bmp =
            EncodeBmp8(kWidth, kHeight, picture.Pixels(), GreyColourTable());
        std::ofstream(preview, std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()), bmp.size());
    }
    EXPECT_EQ(Fnv1a(picture.Pixels()), 4333024663083104302ull);
    // Spot checks: the top-left of '"' (code 34) and the box of code 127.
    EXPECT_EQ(picture.At(8 + 2 * 8, 479 - 8), 255);
    EXPECT_EQ(picture.At(8 + 31 * 8, 479 - 28 - 2), 255);
    EXPECT_EQ(picture.At(8 + 31 * 8, 479 - 28), 0);
}

}  // namespace
}  // namespace morva
