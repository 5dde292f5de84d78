#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace morva {

// The glyph sheet is laid out in the single-byte Cyrillic code page 1251:
// ASCII below 128, the page's Cyrillic letters and signs from 128 to 255.
// Text reaches the font as UTF-8 and is mapped character by character.
inline constexpr std::uint8_t kControlGlyphCode = 128;  // drawn for every code below 32
inline constexpr std::uint8_t kMissingGlyphCode = '?';  // drawn for characters the page lacks

// Reads the character of UTF-8 text that starts at byte pos, moves pos past
// it and returns its glyph code. A malformed sequence reads as one '?' and
// consumes the lead byte and the continuation bytes that were valid so far,
// so the next character is never swallowed. Needs pos < utf8.size().
std::uint8_t NextGlyphCode(std::string_view utf8, std::size_t& pos);

// The glyph codes of a whole text, one per character.
std::vector<std::uint8_t> ToGlyphCodes(std::string_view utf8);

}  // namespace morva
