#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "raster/picture.h"

namespace morva {

// An 8-bit palette PNG with all 256 colours of the table. Pixel k is
// pixels[k], k = y*width + x with y = 0 the bottom row, as in every grid of
// the program; the file stores the top row first, as PNG prescribes.
// Throws std::bad_alloc when memory runs out, MorvaError on any other
// failure of the encoder.
std::vector<std::uint8_t> EncodePng8(int width, int height, std::span<const std::uint8_t> pixels,
                                     const ColourTable& colours);

// A 24-bit PNG; pixel k is the three bytes (red, green, blue) from 3k, in
// the same order as above.
std::vector<std::uint8_t> EncodePngRgb(int width, int height, std::span<const std::uint8_t> pixels);

// A 16-bit greyscale PNG of linear values, in the same order as above.
std::vector<std::uint8_t> EncodePngGrey16(int width, int height, std::span<const std::uint16_t> values);

}  // namespace morva
