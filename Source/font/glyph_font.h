#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "font/glyph_codes.h"
#include "font/glyph_sheet.h"
#include "raster/frame_surface.h"

namespace morva {

// The program's own 5 x 7 bitmap font for codes 32..255, drawn straight into
// the frame surface. Both tables stay zero until LoadGlyphFont runs.
class GlyphFont {
public:
    // Fills the sheet (1 = ink) and the widths of codes 32..255.
    void LoadGlyphFont();
    bool Loaded() const { return loaded_; }

    // Draws UTF-8 text in colour-table index Colour over the picture; glyph
    // background leaves the surface as it was. X is the surface column of the
    // first glyph's left edge, Y the number of rows between the top row of the
    // picture and the glyph's top row (Y = 0 puts glyph row 0 in row 479).
    // Italic moves glyph rows 0..2 one column right; Bold inks each pixel's
    // right neighbour too and advances one column more per character.
    // Pixels that fall outside the 640 x 480 picture are not written.
    void DrawTxt(FrameSurface& surface, std::int32_t X, std::int32_t Y, std::string_view text, bool Bold,
                 bool Italic, std::uint8_t Colour) const;

    // The advance of text drawn without bold: every glyph's width plus one
    // blank column, the last one included. Throws MorvaError when the sum
    // does not fit a signed 32-bit number.
    std::int32_t GetTxtWidth(std::string_view text) const;

    // Sheet pixel (x, y), y = 0 the top row; 0 outside the sheet.
    std::uint8_t SheetPixel(int x, int y) const;
    // Width of a glyph code; 0 outside 32..255.
    std::uint8_t Width(int code) const;

private:
    std::array<std::uint8_t, kGlyphSheetWidth * kGlyphSheetHeight> sheet_{};
    std::array<std::uint8_t, kLastGlyphCode + 1> widths_{};
    bool loaded_ = false;
};

}  // namespace morva
