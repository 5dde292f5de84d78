#include "font/glyph_sheet.h"

namespace morva {

// Codes 32..126 are ASCII, 127 a small filled box, 128..255 the letters and
// signs of code page 1251. No cell holds ink right of its glyph's width.
constexpr std::array<std::string_view, kGlyphSheetHeight> kGlyphSheetRows = {
    // Band 0, codes 32 to 47
    "04280221904400000000",
    "0428A7D6508200000001",
    "0401FA2A408210800002",
    "0400A711A08239C07004",
    "0001F2AA408228800008",
    "0400AF56808200040210",
    "00000209604400080000",
    // Band 1, codes 48 to 63
    "7219E279DE6300000008",
    "9E244642029480020214",
    "AA08CA738264A0847104",
    "AA102F0A449380080088",
    "CA21224A4890A0847100",
    "773CC231906701020208",
    "00000000000000000000",
    // Band 2, codes 64 to 79
    "0338CE7BCC940528462E",
    "74A52942129405486E31",
    "B4B9097390F405885731",
    "D7A509421694054846B1",
    "ACA52942129425284671",
    "74B8CE7A0C94192F462E",
    "00000000000000000000",
    // Band 3, codes 80 to 95
    "E338EFCA318C7D806100",
    "94A5024A318C45082280",
    "94A4C24A315289042000",
    "E4B8224A352111022000",
    "85A42249555121012000",
    "83A5C2308A893D00A000",
    "0080000000880180601F",
    // Band 4, codes 96 to 111
    "80200100808011080000",
    "40200101008401080000",
    "03B8E7310CE011286B0C",
    "04A5097B929411485692",
    "04A509410E9411885692",
    "03B8E7391094116C568C",
    "000000000E0020000000",
    // Band 5, codes 112 to 127
    "00000400000000484140",
    "00000400000000882280",
    "E3B8EE5295A53C88201C",
    "94A5845295450908101C",
    "94A0645295421088201C",
    "E3A1C4310AA43C882000",
    "80800000000000484000",
    // Band 6, codes 128 to 143
    "E1004001083A180A0B91",
    "420080010845280A1111",
    "578000039CF2EC8F4951",
    "6C01C00108F72B0AD1B1",
    "4C1105011C42AA8AF131",
    "54110501083D6C0B493F",
    "00200A55080280000004",
    // Band 7, codes 144 to 159
    "4210A50000FFC0000100",
    "E4114500008DC0001380",
    "44214A60008D590A2114",
    "70000063DF882C8F51D4",
    "4800000000882B0AE134",
    "0800000000882C0B513C",
    "3000000000F800000008",
    // Band 8, codes 160 to 175
    "02A8200A0C501C000014",
    "0550207A10F3A00001C8",
    "046829421885F8A003E8",
    "03E8264014E6614F7BA8",
    "005826420C85E0A10368",
    "0789294204F39C0001C8",
    "0030C002180000000000",
    // Band 9, codes 176 to 191
    "40200001E05580043800",
    "A2210003A0055C004014",
    "47200253B867A1443180",
    "02210E51B8F7F8A40B08",
    "00210850A08521440888",
    "07210870A0751C047308",
    "00000040A00000080000",
    // Band 10, codes 192 to 207
    "67B9E37ABC8AA478C9DE",
    "94250542A28D689DCA32",
    "97390571CC9CF09AFA32",
    "F4A50541C2AD6898CA32",
    "94A50542A2CE6498CA32",
    "97390FFABC8C6518C9D2",
    "00000880000000000000",
    // Band 11, codes 208 to 223
    "E33F274652AD7118724E",
    "94892AC652AD51180AB2",
    "94092AAA52AD5D9E3AB2",
    "E408E7124EAD53590BAE",
    "8488222A42AD53590AB2",
    "8309C247C2FFDD9E7252",
    "000000446000C0000000",
    // Band 12, codes 224 to 239
    "03800000000280000000",
    "04000000000100000000",
    "7339E332B894ACC8C99E",
    "94BD0579CCB5B14DFA52",
    "94A50541C4D6B94ACA52",
    "73390FBAB894A548C992",
    "00000880000000000000",
    // Band 13, codes 240 to 255
    "00000000000000000000",
    "00000000000000000000",
    "E3B9475294AD7118724C",
    "9411CAA294AD599C3BB4",
    "941047228CAD555A0AAC",
    "E391825384FFD99C7254",
    "80000200C000C0000000",
};

constexpr std::string_view kGlyphWidthText =
    "1 1 3 5 5 5 5 1 2 2 3 3 2 3 1 5 5 3 4 4 4 4 4 4 4 4 1 2 3 3 3 3 5 4 4 4 4 4 4 4 4 1 4 4 4 5 5 5 4 4 4 4 "
    "5 4 5 5 5 5 4 2 5 2 3 5 2 4 4 4 4 4 3 4 4 1 2 4 2 5 3 4 4 4 4 4 3 3 3 5 3 3 4 3 1 3 4 3 5 4 2 3 4 5 3 3 "
    "5 5 5 2 5 4 5 5 5 2 2 4 4 2 4 5 5 5 5 2 5 3 5 3 1 5 3 4 4 4 1 3 4 5 4 4 4 4 5 3 3 3 1 1 3 3 5 2 4 5 4 4 "
    "2 4 3 3 4 4 4 4 5 4 5 4 5 5 4 5 5 4 5 4 4 4 5 4 5 5 5 4 5 5 5 5 4 4 5 4 4 4 4 4 5 4 5 3 4 4 4 3 5 4 4 4 "
    "4 4 3 3 5 3 4 3 5 5 4 5 3 4 5 3";

namespace {

constexpr bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

constexpr bool SheetRowsAreWellFormed() {
    for (std::string_view row : kGlyphSheetRows) {
        if (row.size() != kGlyphSheetWidth / 4) return false;
        for (char c : row)
            if (!IsHexDigit(c)) return false;
    }
    return true;
}

// One digit 1..5 per code, one blank between digits.
constexpr bool WidthTextIsWellFormed() {
    constexpr int codes = kLastGlyphCode - kFirstGlyphCode + 1;
    if (kGlyphWidthText.size() != 2 * codes - 1) return false;
    for (std::size_t i = 0; i < kGlyphWidthText.size(); ++i) {
        const char c = kGlyphWidthText[i];
        if (i % 2 == 0 ? (c < '1' || c > '5') : c != ' ') return false;
    }
    return true;
}

static_assert(SheetRowsAreWellFormed());
static_assert(WidthTextIsWellFormed());
static_assert(kGlyphWidthText.size() == 447);

}  // namespace

}  // namespace morva
