#include "raster/png_writer.h"

#include <png.h>

#include <cassert>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/error.h"

namespace morva {

namespace {

// zlib levels. A 2560 x 1920 count table at the default level 6 takes
// several times as long as at 3 for 5 % less size; pictures of one byte per
// pixel are small and fast enough at 6.
constexpr int kPictureCompression = 6;
constexpr int kCountsCompression = 3;

// What one encoding needs beyond libpng's own state; libpng hands it back
// to the callbacks below.
struct PngOutput {
    std::vector<std::uint8_t>* bytes;
    char error[200];
    bool outOfMemory = false;  // the failure was an allocation, ours or libpng's
};

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
    try {
        output->bytes->insert(output->bytes->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        // No C++ exception may pass through libpng's C frames.
        output->outOfMemory = true;
        png_error(png, "out of memory");
    }
}

void Flush(png_structp) {}

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    auto* output = static_cast<PngOutput*>(png_get_error_ptr(png));
    std::snprintf(output->error, sizeof output->error, "%s", message);
    // libpng's own allocations fail with "Out of memory", zlib's with
    // "insufficient memory".
    if (std::strstr(message, "memory")) output->outOfMemory = true;
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// One whole image from its rows, top row first. Between setjmp and the end
// no object with a destructor is created, so libpng's longjmp on an error
// skips nothing that must be undone.
bool WritePng(PngOutput& output, int width, int height, int bitDepth, int colourType,
              const png_color* palette, int paletteSize, int compressionLevel, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &output, OnError, OnWarning);
    // Both fail only when their memory cannot be had.
    if (!png) {
        output.outOfMemory = true;
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        output.outOfMemory = true;
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &output, AppendBytes, Flush);
    // No row filters: on rendered pictures and count tables they gain a few
    // per cent of size for several times the time (bench/export_bench.cpp).
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, compressionLevel);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth,
                 colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (palette) png_set_PLTE(png, info, palette, paletteSize);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

void CheckSize(int width, int height, std::size_t cells) {
    if (width < 1 || height < 1 ||
        cells != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        throw MorvaError("Cannot encode a PNG of " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels from " + std::to_string(cells) + " values.");
    }
}

std::vector<std::uint8_t> Encode(int width, int height, int bitDepth, int colourType,
                                 const png_color* palette, int paletteSize, int compressionLevel,
                                 std::uint8_t* bottomRow, std::size_t rowBytes) {
    // The grids store the bottom row first; PNG wants the top row first.
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int r = 0; r < height; ++r)
        rows[r] = bottomRow + static_cast<std::size_t>(height - 1 - r) * rowBytes;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(rowBytes * static_cast<std::size_t>(height) / 4 + 4096);
    PngOutput output{&bytes, {}, false};
    if (!WritePng(output, width, height, bitDepth, colourType, palette, paletteSize, compressionLevel,
                  rows.data())) {
        // Reported with the file's name by whoever writes it, as any
        // failed allocation is.
        if (output.outOfMemory) throw std::bad_alloc();
        throw MorvaError(std::string("Cannot encode the PNG picture: ") + output.error);
    }
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> EncodePng8(int width, int height, std::span<const std::uint8_t> pixels,
                                     const ColourTable& colours) {
    CheckSize(width, height, pixels.size());
    png_color palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = {colours[i].r, colours[i].g, colours[i].b};
    // libpng only reads the rows; its interface just does not say const.
    auto* bottomRow = const_cast<std::uint8_t*>(pixels.data());
    return Encode(width, height, 8, PNG_COLOR_TYPE_PALETTE, palette, 256, kPictureCompression, bottomRow,
                  static_cast<std::size_t>(width));
}

std::vector<std::uint8_t> EncodePngRgb(int width, int height, std::span<const std::uint8_t> pixels) {
    CheckSize(width, height, pixels.size() / 3);
    auto* bottomRow = const_cast<std::uint8_t*>(pixels.data());
    return Encode(width, height, 8, PNG_COLOR_TYPE_RGB, nullptr, 0, kPictureCompression, bottomRow,
                  static_cast<std::size_t>(width) * 3);
}

std::vector<std::uint8_t> EncodePngGrey16(int width, int height, std::span<const std::uint16_t> values) {
    CheckSize(width, height, values.size());
    // PNG stores 16-bit samples most significant byte first.
    std::vector<std::uint8_t> samples(values.size() * 2);
    for (std::size_t k = 0; k < values.size(); ++k) {
        samples[2 * k] = static_cast<std::uint8_t>(values[k] >> 8);
        samples[2 * k + 1] = static_cast<std::uint8_t>(values[k]);
    }
    return Encode(width, height, 16, PNG_COLOR_TYPE_GRAY, nullptr, 0, kCountsCompression, samples.data(),
                  static_cast<std::size_t>(width) * 2);
}

}  // namespace morva
