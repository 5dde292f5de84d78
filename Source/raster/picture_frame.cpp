#include "raster/picture_frame.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "platform/error.h"

namespace morva {

namespace {

constexpr int kViewWidth = 640;
constexpr int kViewHeight = 480;

std::string Gigabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / 1e9);
    return text;
}

}  // namespace

PictureFrame MakePictureFrame(PictureSize size, std::int32_t scaleX, std::int32_t scaleY,
                              std::int32_t offsetX, std::int32_t offsetY) {
    PictureFrame f;
    f.size = size;
    f.zoom = std::min(static_cast<double>(size.width) / kViewWidth,
                      static_cast<double>(size.height) / kViewHeight);
    const double n = size.samples;
    f.sampleWidth = std::int64_t{size.width} * size.samples;
    f.sampleHeight = std::int64_t{size.height} * size.samples;
    const double perUnit = f.zoom * n;
    f.scaleX = scaleX * perUnit;
    f.scaleY = scaleY * perUnit;
    f.offsetX = (offsetX - kViewWidth / 2) * perUnit + static_cast<double>(f.sampleWidth) / 2;
    f.offsetY = (offsetY - kViewHeight / 2) * perUnit + static_cast<double>(f.sampleHeight) / 2;
    return f;
}

PictureSize ParsePictureSize(const std::string& text) {
    PictureSize size;
    const auto x = text.find_first_of("xX");
    auto side = [&](std::string_view part, int& value) {
        auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        return error == std::errc() && end == part.data() + part.size() && value >= 1 &&
               value <= kMaxPictureSide;
    };
    if (x == std::string::npos || !side(std::string_view(text).substr(0, x), size.width) ||
        !side(std::string_view(text).substr(x + 1), size.height)) {
        throw MorvaError("--size needs WIDTHxHEIGHT, each from 1 to " + std::to_string(kMaxPictureSide) +
                         ", not " + Quoted(text) + ".");
    }
    return size;
}

std::uint64_t PictureMemoryNeeded(const PictureSize& size, bool colourByMap, int threads) {
    const std::uint64_t pixels = std::uint64_t(size.width) * std::uint64_t(size.height);
    const std::uint64_t samples = pixels * std::uint64_t(size.samples) * std::uint64_t(size.samples);
    const std::uint64_t tables = samples * (colourByMap ? 16u : 4u) * std::uint64_t(std::max(threads, 1));
    // The picture's pixels (3 bytes), the nonzero densities that set an
    // automatic exposure (8 bytes) and the encoded file (at most the pixels).
    return tables + pixels * (3 + 8 + 3);
}

void CheckPictureMemory(const PictureSize& size, bool colourByMap, int threads, std::uint64_t available) {
    const std::uint64_t needed = PictureMemoryNeeded(size, colourByMap, threads);
    if (needed <= available) return;
    std::string message =
        "A " + std::to_string(size.width) + " x " + std::to_string(size.height) + " picture";
    if (size.samples > 1)
        message +=
            " with " + std::to_string(size.samples) + " x " + std::to_string(size.samples) + " samples";
    if (colourByMap) message += " coloured by map";
    message += " on " + std::to_string(threads) + (threads == 1 ? " thread" : " threads") + " needs " +
               Gigabytes(needed) + " of memory; this machine has " + Gigabytes(available) + ".";
    if (threads > 1 && PictureMemoryNeeded(size, colourByMap, 1) <= available)
        message += " With --threads 1 it needs " + Gigabytes(PictureMemoryNeeded(size, colourByMap, 1)) + ".";
    throw MorvaError(message);
}

std::uint64_t AvailableMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    std::uint64_t bytes =
        pages > 0 && pageSize > 0 ? std::uint64_t(pages) * std::uint64_t(pageSize) : UINT64_MAX;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        bytes = std::min<std::uint64_t>(bytes, limit.rlim_cur);
    return bytes;
}

}  // namespace morva
