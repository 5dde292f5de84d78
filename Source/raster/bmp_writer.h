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
// pixel byte k is pixels[k], k = y*width + x with y = 0 the bottom row.
// Widths must be multiples of 4 (no row padding is written).
std::vector<std::uint8_t> EncodeBmp8(int width, int height, std::span<const std::uint8_t> pixels,
                                     const std::array<Rgb, 256>& colours);

// The grey ramp of the exported count files.
const std::array<Rgb, 256>& GreyColourTable();

// The count file of a table: every cell divided by the exposure, clipped to
// 255, stored linearly in a grey BMP.
std::vector<std::uint8_t> EncodeCountBmp(const Grid<std::int32_t>& counts, std::int32_t exposure);

// Writes MORVA.BMP from the hit table, replacing any earlier file whole.
void SaveBmp(FileSystem& files, const std::string& folder, const Raster& raster, std::int32_t exposure);
// Writes MORVAHD.BMP from the high-resolution table.
void SaveHiResBmp(FileSystem& files, const std::string& folder, const Raster& raster, std::int32_t exposure);

}  // namespace morva
