#pragma once

#include <cassert>
#include <cstdint>

#include "raster/picture.h"

namespace morva {

// A view, not a copy, of the window picture's pixel memory: element (x, y)
// is the byte at Bits + y*Stride + x, row y = 0 being the bottom row. The
// view owns nothing; the window keeps the memory alive.
struct FrameSurface {
    std::uint8_t* Bits = nullptr;
    int Stride = 0;
    int Rows = 0;

    bool Mapped() const { return Bits != nullptr; }
    std::uint8_t& operator()(int x, int y) {
        assert(Mapped() && x >= 0 && x < Stride && y >= 0 && y < Rows);
        return Bits[static_cast<std::ptrdiff_t>(y) * Stride + x];
    }
    std::uint8_t operator()(int x, int y) const {
        assert(Mapped() && x >= 0 && x < Stride && y >= 0 && y < Rows);
        return Bits[static_cast<std::ptrdiff_t>(y) * Stride + x];
    }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < kPictureWidth && y < kPictureHeight; }
};

inline constexpr char kEightBitOnlyMessage[] = " 8-bit bitmaps only";

// Makes the window picture addressable. Returns false, leaving the view
// empty, when the picture does not have 8 bits per pixel; the caller shows
// kEightBitOnlyMessage.
bool MapFrameSurface(const PictureMemory& picture, FrameSurface& surface);

}  // namespace morva
