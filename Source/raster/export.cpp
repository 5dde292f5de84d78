#include "raster/export.h"

#include <algorithm>
#include <cctype>

#include "platform/error.h"
#include "raster/bmp_writer.h"
#include "raster/colour_table.h"
#include "raster/png_writer.h"
#include "raster/raster.h"

namespace morva {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view ending) {
    if (text.size() < ending.size()) return false;
    return std::equal(
        ending.begin(), ending.end(), text.end() - static_cast<std::ptrdiff_t>(ending.size()),
        [](char lower, char c) { return std::tolower(static_cast<unsigned char>(c)) == lower; });
}

}  // namespace

std::optional<ImageFormat> ImageFormatOfName(std::string_view path) {
    if (EndsWithNoCase(path, ".bmp")) return ImageFormat::Bmp;
    if (EndsWithNoCase(path, ".png")) return ImageFormat::Png;
    return std::nullopt;
}

ImageFormat ImageFormatOf(std::string_view path, std::string_view option) {
    if (auto format = ImageFormatOfName(path)) return *format;
    throw MorvaError(std::string(option) + " writes .bmp or .png files; " + Quoted(path) + " names neither.");
}

ColourTable PictureColourTable(PictureColours colours, const ColourTable& palette) {
    switch (colours) {
        case PictureColours::Grey:
            return GreyColourTable();
        case PictureColours::Palette:
            return palette;
        case PictureColours::Green:
            break;
    }
    return WindowColourTable();
}

std::vector<std::string> ExportRequest::Paths() const {
    std::vector<std::string> paths;
    for (const std::string* path : {&picture, &hiResPicture, &counts}) {
        if (!path->empty()) paths.push_back(*path);
    }
    return paths;
}

std::optional<PictureSize> StyledPictureSize(const ExportRequest& request) {
    if (!request.style.asked) return std::nullopt;
    if (!request.picture.empty()) return request.style.size;
    if (!request.hiResPicture.empty())
        return PictureSize{kHiResWidth, kHiResHeight, request.style.size.samples};
    // The window's own, when only the window can show the colours.
    if (request.style.colourByMap)
        return PictureSize{kPictureWidth, kPictureHeight, request.style.size.samples};
    return std::nullopt;
}

void CheckExportRequest(const ExportRequest& request, bool hiRes, const ColourTable& palette) {
    if (!request.hiResPicture.empty() && !hiRes) {
        throw MorvaError(
            "--hires-picture needs a scene in high-resolution mode (a \"D\" line); this one "
            "has no 2560 x 1920 table.");
    }
    const bool picture = !request.picture.empty() || !request.hiResPicture.empty();
    const bool blackPalette = std::all_of(palette.begin(), palette.end(), [](const Rgb& colour) {
        return colour == Rgb{0, 0, 0};
    });
    if (request.style.asked && !request.picture.empty() && !request.hiResPicture.empty()) {
        throw MorvaError(
            "The picture options draw one picture a render from a table of its own: --picture, or "
            "--hires-picture (the same view at 2560 x 1920, as --size 2560x1920 draws it); ask for "
            "one of them.");
    }
    if (request.style.colourByMap) {
        for (const auto& [path, option] : {std::pair{&request.picture, "--picture"},
                                           std::pair{&request.hiResPicture, "--hires-picture"}}) {
            if (!path->empty() && ImageFormatOfName(*path) != ImageFormat::Png)
                throw MorvaError(std::string("--colour-by map draws a 24-bit picture: name a .png for ") +
                                 option + ".");
        }
    }
    if (picture && request.colours == PictureColours::Palette && blackPalette) {
        throw MorvaError(
            "--colours palette: the palette file holds no colours (missing, empty or all "
            "black); the picture would be black.");
    }
}

std::vector<std::uint8_t> TonedPixels(const Grid<std::int32_t>& counts, std::int32_t exposure) {
    if (exposure < 1) throw MorvaError("The exposure must be at least 1 to tone-map the picture.");
    const auto& curve = ToneCurve();
    std::vector<std::uint8_t> pixels(counts.Size());
    const std::int32_t* cells = counts.Data();
    for (std::size_t k = 0; k < pixels.size(); ++k) pixels[k] = curve[ClippedCount(cells[k], exposure)];
    return pixels;
}

std::vector<std::uint8_t> EncodePicture(const Grid<std::int32_t>& counts, std::int32_t exposure,
                                        const ColourTable& colours, ImageFormat format) {
    const std::vector<std::uint8_t> pixels = TonedPixels(counts, exposure);
    if (format == ImageFormat::Png) return EncodePng8(counts.Width(), counts.Height(), pixels, colours);
    return EncodeBmp8(counts.Width(), counts.Height(), pixels, colours);
}

std::vector<std::uint8_t> EncodeStyledPicture(const PictureCounts& counts, const PictureFrame& frame,
                                              std::uint8_t hitValue, std::int32_t exposure,
                                              const PictureTone& tone, const ColourTable& colours,
                                              ImageFormat format) {
    const std::vector<std::uint8_t> pixels = TonePicture(counts, frame, hitValue, exposure, tone);
    const int w = frame.size.width, h = frame.size.height;
    if (counts.Coloured()) {
        if (format != ImageFormat::Png)
            throw MorvaError("A picture coloured by map is written as .png only.");
        return EncodePngRgb(w, h, pixels);
    }
    if (format == ImageFormat::Png) return EncodePng8(w, h, pixels, colours);
    return EncodeBmp8(w, h, pixels, colours);
}

std::vector<std::uint8_t> EncodeCountsPng(const Grid<std::int32_t>& counts) {
    std::vector<std::uint16_t> values(counts.Size());
    const std::int32_t* cells = counts.Data();
    for (std::size_t k = 0; k < values.size(); ++k)
        values[k] = static_cast<std::uint16_t>(std::clamp<std::int32_t>(cells[k], 0, 65535));
    return EncodePngGrey16(counts.Width(), counts.Height(), values);
}

}  // namespace morva
