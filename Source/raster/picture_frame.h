#pragma once

// Where the points of a scene land in a picture of any size. The scene's
// header frames a 640 x 480 view; a W x H picture shows the same view with
// the scales multiplied by zoom = min(W / 640, H / 480), its centre on the
// picture's centre, so a picture of another shape shows more of the plane
// around it. With N x N samples to a pixel the table the points are counted
// in is N times as wide and high. A point (x, y) lands on sample
//
//   column = floor(scaleX * x + offsetX),  row = floor(scaleY * y + offsetY)
//
// with scaleX = ScaleX * zoom * N and offsetX = (OffsetX - 320) * zoom * N +
// W * N / 2 (rows alike, around 240 and H * N / 2), row 0 at the bottom.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace morva {

inline constexpr int kMaxPictureSide = 16384;
inline constexpr int kMaxSupersample = 4;

struct PictureSize {
    int width = 640;
    int height = 480;
    int samples = 1;  // N: N x N samples to a pixel
};

struct PictureFrame {
    PictureSize size;
    double zoom = 1.0;
    std::int64_t sampleWidth = 0, sampleHeight = 0;
    double scaleX = 0, scaleY = 0, offsetX = 0, offsetY = 0;

    std::size_t SampleCells() const { return static_cast<std::size_t>(sampleWidth * sampleHeight); }

    // The sample cell a point lands on, or -1 off the picture (a coordinate
    // that is not a number included).
    std::int64_t Cell(double x, double y) const {
        const double column = scaleX * x + offsetX;
        const double row = scaleY * y + offsetY;
        // The sides are whole numbers, so floor(v) < side exactly when v <
        // side; and for v >= 0 the truncating conversion is the floor.
        if (!(column >= 0.0 && column < static_cast<double>(sampleWidth) && row >= 0.0 &&
              row < static_cast<double>(sampleHeight)))
            return -1;
        return static_cast<std::int64_t>(row) * sampleWidth + static_cast<std::int64_t>(column);
    }
};

// The frame of a picture of the given size for a header's scales and
// offsets.
PictureFrame MakePictureFrame(PictureSize size, std::int32_t scaleX, std::int32_t scaleY,
                              std::int32_t offsetX, std::int32_t offsetY);

// Parses "WxH" (each side 1 to kMaxPictureSide); throws MorvaError naming
// the option.
PictureSize ParsePictureSize(const std::string& text);

// The memory a render of the picture holds at most: one sample table per
// render thread (4 bytes a sample, 16 with colour by map; only the pages
// the attractor reaches are ever mapped, so this is the bound, not the
// usual use) and the finished picture's pixels and their working copy.
std::uint64_t PictureMemoryNeeded(const PictureSize& size, bool colourByMap, int threads);

// Refuses (MorvaError) a picture whose memory exceeds what the machine
// has, naming the amount it needs; available is the machine's memory in
// bytes.
void CheckPictureMemory(const PictureSize& size, bool colourByMap, int threads, std::uint64_t available);

// The machine's physical memory in bytes, or the process's address-space
// limit where that is lower.
std::uint64_t AvailableMemory();

}  // namespace morva
