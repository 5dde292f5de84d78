#include "font/glyph_font.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "platform/error.h"
#include "scene/fields.h"

namespace morva {

namespace {

int HexDigitValue(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

constexpr int kItalicRows = 3;  // glyph rows 0..2 lean one column right

}  // namespace

void GlyphFont::LoadGlyphFont() {
    for (int y = 0; y < kGlyphSheetHeight; ++y) {
        for (int x = 0; x < kGlyphSheetWidth; ++x) {
            const int nibble = HexDigitValue(kGlyphSheetRows[y][x / 4]);
            sheet_[y * kGlyphSheetWidth + x] = (nibble >> (3 - x % 4)) & 1;
        }
    }
    for (int c = kFirstGlyphCode; c <= kLastGlyphCode; ++c) {
        const std::string field = GetField(kGlyphWidthText, c - (kFirstGlyphCode - 1), " ");
        unsigned width = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), width);
        if (error != std::errc{} || end != field.data() + field.size() || width > kGlyphCellWidth)
            throw MorvaError("The glyph width table is damaged at code " + std::to_string(c) + ".");
        widths_[c] = static_cast<std::uint8_t>(width);
    }
    loaded_ = true;
}

void GlyphFont::DrawTxt(FrameSurface& surface, std::int32_t X, std::int32_t Y, std::string_view text,
                        bool Bold, bool Italic, std::uint8_t Colour) const {
    if (!surface.Mapped()) return;
    // All positions are 64-bit so that no X or Y near the 32-bit limits can
    // overflow; whatever lands outside the picture is skipped.
    const std::int64_t columns = std::min(kPictureWidth, surface.Stride);
    const std::int64_t rows = std::min(kPictureHeight, surface.Rows);
    const std::int64_t topRow = std::int64_t{kPictureHeight - 1} - Y;
    if (topRow < 0 || topRow - (kGlyphCellHeight - 1) >= rows) return;

    std::int64_t pen = X;
    // A glyph that starts right of the picture cannot reach back into it.
    for (std::size_t pos = 0; pos < text.size() && pen < columns;) {
        const int code = NextGlyphCode(text, pos);
        const int width = widths_[code];
        const std::uint8_t* cell =
            &sheet_[(code - kFirstGlyphCode) / 16 * kGlyphCellHeight * kGlyphSheetWidth +
                    code % 16 * kGlyphCellWidth];
        for (int r = 0; r < kGlyphCellHeight; ++r) {
            const std::int64_t sy = topRow - r;
            if (sy < 0 || sy >= rows) continue;
            const std::int64_t left = pen + (Italic && r < kItalicRows ? 1 : 0);
            const auto put = [&](std::int64_t sx) {
                if (sx >= 0 && sx < columns) surface(static_cast<int>(sx), static_cast<int>(sy)) = Colour;
            };
            for (int k = 0; k < width; ++k) {
                if (!cell[r * kGlyphSheetWidth + k]) continue;
                put(left + k);
                if (Bold) put(left + k + 1);
            }
        }
        pen += width + 1 + (Bold ? 1 : 0);
    }
}

std::int32_t GlyphFont::GetTxtWidth(std::string_view text) const {
    std::int64_t total = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        total += widths_[NextGlyphCode(text, pos)] + 1;
        if (total > std::numeric_limits<std::int32_t>::max())
            throw MorvaError("The text is too long to measure: its width exceeds 2147483647 pixels.");
    }
    return static_cast<std::int32_t>(total);
}

std::uint8_t GlyphFont::SheetPixel(int x, int y) const {
    if (x < 0 || x >= kGlyphSheetWidth || y < 0 || y >= kGlyphSheetHeight) return 0;
    return sheet_[y * kGlyphSheetWidth + x];
}

std::uint8_t GlyphFont::Width(int code) const {
    return code >= kFirstGlyphCode && code <= kLastGlyphCode ? widths_[code] : 0;
}

}  // namespace morva
