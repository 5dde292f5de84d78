#pragma once

#include <array>
#include <string_view>

namespace morva {

// The glyph sheet: 16 columns by 14 bands of 5 x 7 cells, 80 x 98 pixels.
// The glyph of code c (32..255) sits in columns 5*(c % 16) .. +4 and rows
// 7*((c - 32) / 16) .. +6, glyph row 0 at the top.
inline constexpr int kGlyphSheetWidth = 80;
inline constexpr int kGlyphSheetHeight = 98;
inline constexpr int kGlyphCellWidth = 5;
inline constexpr int kGlyphCellHeight = 7;
inline constexpr int kFirstGlyphCode = 32;
inline constexpr int kLastGlyphCode = 255;

// Each sheet row, top row first, as 20 hexadecimal digits: the most
// significant bit of the first digit is column 0, and a 1 bit is ink.
extern const std::array<std::string_view, kGlyphSheetHeight> kGlyphSheetRows;

// The advance widths of codes 32..255 as single digits separated by single
// blanks, code 32 first.
extern const std::string_view kGlyphWidthText;

}  // namespace morva
