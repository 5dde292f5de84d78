#include "raster/bmp_writer.h"

#include <cassert>
#include <string>

#include "platform/error.h"
#include "platform/files.h"
#include "raster/raster.h"

namespace morva {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kColourTableSize = 256 * 4;
constexpr std::uint32_t kPixelOffset = kFileHeaderSize + kInfoHeaderSize + kColourTableSize;  // 1078

class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    void U8(std::uint8_t v) { bytes_[at_++] = v; }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    std::size_t At() const { return at_; }

private:
    std::vector<std::uint8_t>& bytes_;
    std::size_t at_ = 0;
};

void Save(FileSystem& files, const std::string& folder, const char* name, const Grid<std::int32_t>& counts,
          std::int32_t exposure) {
    if (exposure < 1) {
        throw MorvaError(std::string("Nothing to save in ") + name + " yet: no scene has been loaded.");
    }
    auto bytes = EncodeCountBmp(counts, exposure);
    files.ReplaceFile(JoinPath(folder, name), bytes);
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp8(int width, int height, std::span<const std::uint8_t> pixels,
                                     const ColourTable& colours) {
    // Large enough for any grid of the program, small enough that no size
    // field overflows.
    constexpr int kMaxSide = 1 << 14;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
        pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        throw MorvaError("Cannot encode a BMP of " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels from " + std::to_string(pixels.size()) + " values.");
    }
    constexpr std::uint32_t kBitsPerPixel = 8;
    const std::uint32_t rowBytes = (kBitsPerPixel * static_cast<std::uint32_t>(width) + 31) / 32 * 4;
    const std::uint32_t imageSize = rowBytes * static_cast<std::uint32_t>(height);
    std::vector<std::uint8_t> bytes(kPixelOffset + imageSize, 0);
    ByteWriter out(bytes);
    out.U8('B');  // Signature
    out.U8('M');
    out.U32(kPixelOffset + imageSize);  // FileSize
    out.U16(0);                         // Reserved1
    out.U16(0);                         // Reserved2
    out.U32(kPixelOffset);              // PixelDataOffset
    out.U32(kInfoHeaderSize);           // InfoHeaderSize
    out.I32(width);                     // ImageWidth
    out.I32(height);                    // ImageHeight: positive, rows stored bottom-up
    out.U16(1);                         // Planes
    out.U16(kBitsPerPixel);             // BitsPerPixel
    out.U32(0);                         // Compression: none
    out.U32(imageSize);                 // ImageSize
    out.U32(0);                         // XPixelsPerMetre
    out.U32(0);                         // YPixelsPerMetre
    out.U32(256);                       // ColoursUsed
    out.U32(256);                       // ImportantColours
    for (const Rgb& colour : colours) {
        out.U8(colour.b);
        out.U8(colour.g);
        out.U8(colour.r);
        out.U8(0);
    }
    assert(out.At() == kPixelOffset);
    for (int y = 0; y < height; ++y) {
        const auto row = pixels.subspan(static_cast<std::size_t>(y) * width, static_cast<std::size_t>(width));
        std::copy(row.begin(), row.end(), bytes.begin() + kPixelOffset + std::size_t{rowBytes} * y);
    }
    return bytes;
}

const ColourTable& GreyColourTable() {
    static const ColourTable table = [] {
        ColourTable grey{};
        for (int i = 0; i < 256; ++i) {
            auto v = static_cast<std::uint8_t>(i);
            grey[i] = {v, v, v};
        }
        return grey;
    }();
    return table;
}

std::vector<std::uint8_t> EncodeCountBmp(const Grid<std::int32_t>& counts, std::int32_t exposure) {
    std::vector<std::uint8_t> pixels(counts.Size());
    const std::int32_t* cells = counts.Data();
    for (std::size_t k = 0; k < pixels.size(); ++k) pixels[k] = ClippedCount(cells[k], exposure);
    return EncodeBmp8(counts.Width(), counts.Height(), pixels, GreyColourTable());
}

void SaveBmp(FileSystem& files, const std::string& folder, const Raster& raster, std::int32_t exposure) {
    Save(files, folder, kBmpFileName, raster.HitBuffer(), exposure);
}

void SaveHiResBmp(FileSystem& files, const std::string& folder, const Raster& raster, std::int32_t exposure) {
    Save(files, folder, kHiResBmpFileName, raster.HiResBuffer(), exposure);
}

}  // namespace morva
