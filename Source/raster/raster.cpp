#include "raster/raster.h"

#include <cmath>

#include "platform/error.h"

namespace morva {

bool MapFrameSurface(const PictureMemory& picture, FrameSurface& surface) {
    if (picture.bitsPerPixel != 8 || picture.bits == nullptr || picture.widthBytes < kPictureWidth ||
        picture.height < kPictureHeight) {
        surface = {};
        return false;
    }
    surface.Bits = picture.bits;
    surface.Stride = picture.widthBytes;
    surface.Rows = picture.height;
    return true;
}

const std::array<std::uint8_t, 256>& ToneCurve() {
    static const std::array<std::uint8_t, 256> curve = [] {
        std::array<std::uint8_t, 256> table{};
        for (int v = 0; v < 256; ++v) {
            table[v] = static_cast<std::uint8_t>(std::floor(std::sqrt(v / 255.0) * 255.0));
        }
        return table;
    }();
    return curve;
}

Raster::Raster() : hitBuffer_(kHitWidth, kHitHeight), hiResBuffer_(kHiResWidth, kHiResHeight) {}

void Raster::PlotAdd(std::int32_t x, std::int32_t y, std::uint8_t value) {
    if (x < 1 || x > 638 || y < 1 || y > 478) return;
    std::uint8_t& pixel = surface_(x, y);
    pixel = static_cast<std::uint8_t>(MinLong(pixel + value, 255));
}

void Raster::PlotCross(std::int32_t x, std::int32_t y, std::uint8_t value) {
    if (x < 2 || x > 637 || y < 2 || y > 477) return;
    surface_(x + 1, y) = value;
    surface_(x - 1, y) = value;
    surface_(x, y - 1) = value;
    surface_(x, y + 1) = value;
}

void Raster::ToneMapFrame(std::int32_t exposure) {
    if (exposure < 1) throw MorvaError("The exposure must be at least 1 to tone-map the picture.");
    const auto& curve = ToneCurve();
    for (int y = 0; y < kHitHeight; ++y) {
        for (int x = 0; x < kHitWidth; ++x) {
            surface_(x, y) = curve[ClippedCount(hitBuffer_(x, y), exposure)];
        }
    }
}

}  // namespace morva
