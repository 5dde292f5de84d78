#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "raster/frame_surface.h"
#include "raster/grid.h"

namespace morva {

inline constexpr int kHitWidth = 640;
inline constexpr int kHitHeight = 480;
inline constexpr int kHiResWidth = 2560;
inline constexpr int kHiResHeight = 1920;
inline constexpr std::int32_t kHitCellMax = std::numeric_limits<std::int32_t>::max();

inline std::int32_t MinLong(std::int32_t a, std::int32_t b) { return a < b ? a : b; }

// Adds a hit value to a cell; a cell never wraps, it stops at the largest
// 32-bit count so that tone mapping and export never meet a negative count.
inline void AddHit(std::int32_t& cell, std::uint8_t value) {
    cell = cell > kHitCellMax - value ? kHitCellMax : cell + value;
}

// floor(sqrt(v / 255) * 255) for v in 0..255, the curve of the final picture.
const std::array<std::uint8_t, 256>& ToneCurve();

// The picture being rendered and the two accumulation tables. The tables are
// allocated zero-filled once, with the session, and never cleared.
class Raster {
public:
    Raster();

    FrameSurface& Surface() { return surface_; }
    const FrameSurface& Surface() const { return surface_; }
    Grid<std::int32_t>& HitBuffer() { return hitBuffer_; }
    const Grid<std::int32_t>& HitBuffer() const { return hitBuffer_; }
    Grid<std::int32_t>& HiResBuffer() { return hiResBuffer_; }
    const Grid<std::int32_t>& HiResBuffer() const { return hiResBuffer_; }

    // Makes the window picture addressable; false when it is not 8-bit.
    bool MapFrameSurface(const PictureMemory& picture) { return morva::MapFrameSurface(picture, surface_); }

    // Brightens the picture byte (saturating at 255) and counts the hit.
    void PlotPoint(std::int32_t x, std::int32_t y, std::uint8_t value) {
        if (x < 0 || x > kHitWidth - 1 || y < 0 || y > kHitHeight - 1) return;
        std::uint8_t& pixel = surface_(x, y);
        pixel = static_cast<std::uint8_t>(MinLong(pixel + value, 255));
        AddHit(hitBuffer_(x, y), value);
    }
    // Counts a hit in the high-resolution table; coordinates outside it are
    // skipped.
    void PlotHiRes(std::int32_t x, std::int32_t y, std::uint8_t value) {
        if (x < 0 || x > kHiResWidth - 1 || y < 0 || y > kHiResHeight - 1) return;
        AddHit(hiResBuffer_(x, y), value);
    }
    // Brightens the picture byte only, away from the outermost pixel ring.
    void PlotAdd(std::int32_t x, std::int32_t y, std::uint8_t value);
    // Sets the four edge neighbours of (x, y), leaving the centre.
    void PlotCross(std::int32_t x, std::int32_t y, std::uint8_t value);

    // Replaces the preview by the final picture: each count divided by the
    // exposure, clipped to 255 and put through the square-root curve.
    void ToneMapFrame(std::int32_t exposure);

private:
    FrameSurface surface_;
    Grid<std::int32_t> hitBuffer_;
    Grid<std::int32_t> hiResBuffer_;
};

// The clipped count of a cell as the picture and the files store it.
inline std::uint8_t ClippedCount(std::int32_t cell, std::int32_t exposure) {
    std::int32_t v = MinLong(cell / exposure, 255);
    return static_cast<std::uint8_t>(v < 0 ? 0 : v);
}

}  // namespace morva
