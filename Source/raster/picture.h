#pragma once

#include <array>
#include <cstdint>

namespace morva {

// The picture the render draws into: 640 x 480 pixels, one byte each.
inline constexpr int kPictureWidth = 640;
inline constexpr int kPictureHeight = 480;

// One entry of a picture's colour table.
struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// The colours through which an 8-bit picture is shown: entry i is the colour
// of byte value i.
using ColourTable = std::array<Rgb, 256>;

// A picture's pixel memory as its owner describes it: one byte per pixel,
// bottom row first.
struct PictureMemory {
    std::uint8_t* bits = nullptr;
    int bitsPerPixel = 0;
    int widthBytes = 0;  // bytes per pixel row
    int height = 0;      // rows
};

// Bytes per row of a picture of the picture's width at a bit depth.
inline int PictureWidthBytes(int bitsPerPixel) { return kPictureWidth * ((bitsPerPixel + 7) / 8); }

// The memory of a picture that is kept in one byte block.
inline PictureMemory DescribePicture(std::uint8_t* bits, int bitsPerPixel) {
    return {bits, bitsPerPixel, PictureWidthBytes(bitsPerPixel), kPictureHeight};
}

}  // namespace morva
