#include "font/glyph_codes.h"

#include <array>
#include <cassert>

namespace morva {

namespace {

constexpr char32_t kMalformed = 0xFFFFFFFF;

// The Unicode characters of codes 128..191 of code page 1251, in code order.
// Code 152 is unassigned in the page; its zero is never looked up because
// code points below 32 are handled before the search.
constexpr std::array<char16_t, 64> kSignsFrom128 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 128
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 136
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 144
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 152
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 160
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 168
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 176
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 184
};
// Codes 192..255 are the contiguous block А..я.
constexpr char32_t kFirstCyrillicLetter = 0x0410;
constexpr std::uint8_t kFirstCyrillicCode = 192;

// Decodes one UTF-8 character. Overlong forms, surrogates and values above
// U+10FFFF are malformed; the second-byte ranges follow the well-formed
// byte sequence table of the Unicode standard (section 3.9).
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
    const auto byteAt = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byteAt(pos++);
    if (lead < 0x80) return lead;

    int length = 0;
    char32_t codePoint = 0;
    std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the next byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return kMalformed;
    }
    for (int i = 1; i < length; ++i) {
        if (pos >= text.size() || byteAt(pos) < low || byteAt(pos) > high) return kMalformed;
        codePoint = (codePoint << 6) | (byteAt(pos++) & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return codePoint;
}

std::uint8_t GlyphCodeOf(char32_t codePoint) {
    if (codePoint < 32) return kControlGlyphCode;
    if (codePoint < 128) return static_cast<std::uint8_t>(codePoint);
    if (codePoint >= kFirstCyrillicLetter && codePoint < kFirstCyrillicLetter + 64)
        return static_cast<std::uint8_t>(kFirstCyrillicCode + (codePoint - kFirstCyrillicLetter));
    for (std::size_t i = 0; i < kSignsFrom128.size(); ++i)
        if (kSignsFrom128[i] == codePoint) return static_cast<std::uint8_t>(128 + i);
    return kMissingGlyphCode;
}

}  // namespace

std::uint8_t NextGlyphCode(std::string_view utf8, std::size_t& pos) {
    assert(pos < utf8.size());
    return GlyphCodeOf(NextCodePoint(utf8, pos));
}

std::vector<std::uint8_t> ToGlyphCodes(std::string_view utf8) {
    std::vector<std::uint8_t> codes;
    codes.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) codes.push_back(NextGlyphCode(utf8, pos));
    return codes;
}

}  // namespace morva
