#include "raster/picture_tone.h"

#include <algorithm>
#include <cmath>

#include "platform/error.h"

namespace morva {

namespace {

constexpr double kReferenceQuantile = 0.995;

// The reference of an automatic exposure among nonzero counts (1 for none).
std::uint64_t Percentile(std::vector<std::uint64_t>& nonzero) {
    if (nonzero.empty()) return 1;
    const auto at = static_cast<std::size_t>(kReferenceQuantile * static_cast<double>(nonzero.size() - 1));
    std::nth_element(nonzero.begin(), nonzero.begin() + static_cast<std::ptrdiff_t>(at), nonzero.end());
    return nonzero[at];
}

}  // namespace

std::uint64_t AutoExposureReference(const PictureCounts& counts) {
    std::vector<std::uint64_t> nonzero;
    for (std::size_t c = 0; c < counts.Cells(); ++c) {
        if (const std::uint64_t n = counts.Value(c, 0)) nonzero.push_back(n);
    }
    return Percentile(nonzero);
}

double ToneLevel(double v, const PictureTone& tone) {
    v = std::clamp(v, 0.0, 255.0);
    const double t = tone.curve == ToneKind::Log ? std::log1p(v) / std::log(256.0) : std::sqrt(v / 255.0);
    return tone.gamma == 1.0 ? t : std::pow(t, 1.0 / tone.gamma);
}

std::vector<std::uint8_t> TonePicture(const PictureCounts& counts, const PictureFrame& frame,
                                      std::uint8_t hitValue, std::int32_t exposure, const PictureTone& tone) {
    if (!tone.autoExposure && exposure < 1)
        throw MorvaError("The exposure must be at least 1 to tone-map the picture.");
    const int n = frame.size.samples;
    const double perSample = frame.zoom * n;
    // A sample's value is its count times this.
    const double scale = tone.autoExposure ? 255.0 / static_cast<double>(AutoExposureReference(counts))
                                           : static_cast<double>(hitValue) * perSample * perSample / exposure;
    const bool colour = counts.Coloured();
    const int channels = colour ? 3 : 1;
    const std::size_t w = static_cast<std::size_t>(frame.size.width);
    const std::size_t h = static_cast<std::size_t>(frame.size.height);
    std::vector<std::uint8_t> pixels(w * h * static_cast<std::size_t>(channels));
    const double area = static_cast<double>(n) * n;
    for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) {
            double sum[3] = {0, 0, 0};
            for (int sy = 0; sy < n; ++sy) {
                const std::size_t row = (y * static_cast<std::size_t>(n) + static_cast<std::size_t>(sy)) *
                                        static_cast<std::size_t>(frame.sampleWidth);
                for (int sx = 0; sx < n; ++sx) {
                    const std::size_t cell =
                        row + x * static_cast<std::size_t>(n) + static_cast<std::size_t>(sx);
                    const std::uint64_t count = counts.Value(cell, 0);
                    if (count == 0) continue;
                    const double level = ToneLevel(static_cast<double>(count) * scale, tone);
                    if (!colour) {
                        sum[0] += level;
                        continue;
                    }
                    // The mean colour of the sample's points, at its level.
                    for (int k = 0; k < 3; ++k)
                        sum[k] += static_cast<double>(counts.Value(cell, k + 1)) /
                                  static_cast<double>(count) * level;
                }
            }
            std::uint8_t* out = &pixels[(y * w + x) * static_cast<std::size_t>(channels)];
            for (int k = 0; k < channels; ++k) {
                const double value = colour ? sum[k] / area : 255.0 * sum[k] / area;
                out[k] = static_cast<std::uint8_t>(std::min(255.0, std::floor(value)));
            }
        }
    }
    return pixels;
}

std::vector<std::uint8_t> ViewOfPicture(const std::vector<std::uint8_t>& pixels, const PictureFrame& frame,
                                        int channels) {
    const int w = frame.size.width, h = frame.size.height;
    // The view's pixel v has its centre at (v + 1/2 - 320) * zoom + W / 2
    // in the picture (rows alike), clamped to the picture's edge.
    auto under = [&](int v, int viewSide, int side) {
        const double at = (v + 0.5 - viewSide / 2.0) * frame.zoom + side / 2.0;
        return std::clamp(static_cast<int>(std::floor(at)), 0, side - 1);
    };
    const auto bytes = static_cast<std::size_t>(channels);
    std::vector<std::uint8_t> view(static_cast<std::size_t>(kPictureWidth) * kPictureHeight * bytes);
    for (int y = 0; y < kPictureHeight; ++y) {
        const auto row = static_cast<std::size_t>(under(y, kPictureHeight, h));
        for (int x = 0; x < kPictureWidth; ++x) {
            const auto column = static_cast<std::size_t>(under(x, kPictureWidth, w));
            std::copy_n(
                &pixels[(row * static_cast<std::size_t>(w) + column) * bytes], bytes,
                &view[(static_cast<std::size_t>(y) * kPictureWidth + static_cast<std::size_t>(x)) * bytes]);
        }
    }
    return view;
}

std::vector<std::uint8_t> ToneHitTable(const std::int32_t* cells, std::size_t count, std::int32_t exposure,
                                       const PictureTone& tone) {
    std::vector<std::uint8_t> pixels(count);
    std::vector<std::uint64_t> nonzero;
    for (std::size_t c = 0; c < count; ++c) {
        if (cells[c] > 0) nonzero.push_back(static_cast<std::uint64_t>(cells[c]));
    }
    const double scale =
        tone.autoExposure ? 255.0 / static_cast<double>(Percentile(nonzero)) : 1.0 / std::max(exposure, 1);
    for (std::size_t c = 0; c < count; ++c) {
        if (cells[c] > 0)
            pixels[c] = static_cast<std::uint8_t>(std::floor(255.0 * ToneLevel(cells[c] * scale, tone)));
    }
    return pixels;
}

}  // namespace morva
