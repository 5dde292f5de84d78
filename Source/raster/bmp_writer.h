#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "raster/colour_table.h"
#include "raster/grid.h"

namespace morva {

class FileSystem;
class Raster;

inline constexpr char kBmpFileName[] = "MORVA.BMP";
inline constexpr char kHiResBmpFileName[] = "MORVAHD.BMP";

// An uncompressed 8-bit BMP with a 256-entry colour table, rows bottom-up:
// pixel (x, y) is pixels[y*width + x] with y = 0 the bottom row. Each row is
// padded with zeros to a multiple of 4 bytes, as the format requires (none
// for the widths of the count files). Throws MorvaError when the pixels do
// not make a width x height picture.
std::vector<std::uint8_t> EncodeBmp8(int width, int height, std::span<const std::uint8_t> pixels,
                                     const ColourTable& colours);

// The grey ramp of the exported count files.
const ColourTable& GreyColourTable();

// The count file of a table: every cell divided by the exposure, clipped to
// 255, stored linearly in a grey BMP.
std::vector<std::uint8_t> EncodeCountBmp(const Grid<std::int32_t>& counts, std::int32_t exposure);

// Writes MORVA.BMP from the hit table, replacing any earlier file whole.
void SaveBmp(FileSystem& files, const std::string& folder, const Raster& raster, std::int32_t exposure);
// Writes MORVAHD.BMP from the high-resolution table.
void SaveHiResBmp(FileSystem& files, const std::string& folder, const Raster& raster, std::int32_t exposure);

}  // namespace morva
