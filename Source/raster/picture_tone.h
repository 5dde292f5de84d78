#pragma once

// From a picture's sample counts to its pixels. Every sample is toned on
// its own, then the N x N toned samples of a pixel are averaged (a box
// filter over the pixel's own area): a pixel that a bright filament covers
// half is half as bright, where counting the points of the whole pixel
// first would light it as brightly as the filament.
//
// A sample's value on the 0..255 scale of the count files is
//   v = min(count * hitValue * (zoom * N)^2 / exposure, 255)
// (the count of the same area of the 640 x 480 view, divided by the
// exposure), or, with an automatic exposure,
//   v = min(255 * count / reference, 255)
// where reference is the 99.5th percentile of the samples' nonzero counts:
// it grows with the points traced, so a longer render is smoother, not
// brighter. Its level is t = sqrt(v / 255) (the window's curve) or
// t = log(1 + v) / log(256), then t^(1 / gamma).

#include <cstdint>
#include <vector>

#include "raster/picture.h"
#include "raster/picture_counts.h"
#include "raster/picture_frame.h"

namespace morva {

enum class ToneKind { Sqrt, Log };

struct PictureTone {
    ToneKind curve = ToneKind::Sqrt;
    double gamma = 1.0;
    bool autoExposure = false;
    std::int32_t exposure = 0;  // with a numeric exposure; 0: the scene's
};

// The counts a sample is compared with under an automatic exposure.
std::uint64_t AutoExposureReference(const PictureCounts& counts);

// The level of a sample value v (0..255), 0..1.
double ToneLevel(double v, const PictureTone& tone);

// The pixels of a picture, row 0 at the bottom: one byte of level per pixel
// (put through a colour table), or, when the counts carry colour, three
// bytes (red, green, blue) of the mean colour of its points at the level.
// exposure is the one that applies (the scene's or the command line's);
// the counts must be settled.
std::vector<std::uint8_t> TonePicture(const PictureCounts& counts, const PictureFrame& frame,
                                      std::uint8_t hitValue, std::int32_t exposure, const PictureTone& tone);

// The 640 x 480 view of a toned picture of the frame's size (pixels of
// TonePicture, channels bytes each): each pixel of the view takes the
// picture's pixel under its centre, where the frame puts the view (zoomed
// and centred), so a picture of any size shows in the window.
std::vector<std::uint8_t> ViewOfPicture(const std::vector<std::uint8_t>& pixels, const PictureFrame& frame,
                                        int channels);

// The window's final picture through the same curve: cell k of the
// 640 x 480 table (hit values summed) is a sample of a 640 x 480 picture
// without supersampling.
std::vector<std::uint8_t> ToneHitTable(const std::int32_t* cells, std::size_t count, std::int32_t exposure,
                                       const PictureTone& tone);

}  // namespace morva
