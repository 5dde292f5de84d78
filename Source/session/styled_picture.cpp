#include "session/styled_picture.h"

#include <cmath>

#include "scene/bundled_palettes.h"
#include "session/scene_source.h"

namespace morva {

namespace {

// A fully saturated hue, h in [0, 1), at full brightness.
MapColour Hue(double h) {
    const double sector = h * 6.0;
    const int i = static_cast<int>(sector) % 6;
    const double f = sector - std::floor(sector);
    const auto up = static_cast<std::uint32_t>(std::lround(255.0 * f));
    const auto down = 255u - up;
    switch (i) {
        case 0:
            return {255, up, 0};
        case 1:
            return {down, 255, 0};
        case 2:
            return {0, 255, up};
        case 3:
            return {0, down, 255};
        case 4:
            return {up, 0, 255};
        default:
            return {255, 0, down};
    }
}

}  // namespace

std::vector<MapColour> MapColours(const std::vector<Rgb>& given, const ColourTable* palette, int count) {
    std::vector<MapColour> colours;
    for (int k = 0; k < count; ++k) {
        if (!given.empty()) {
            const Rgb& c = given[static_cast<std::size_t>(k) % given.size()];
            colours.push_back({c.r, c.g, c.b});
        } else if (palette) {
            const Rgb& c = (*palette)[static_cast<std::size_t>((2 * k + 1) * 128 / count)];
            colours.push_back({c.r, c.g, c.b});
        } else {
            colours.push_back(Hue(static_cast<double>(k) / count));
        }
    }
    return colours;
}

std::optional<PicturePlan> MakePicturePlan(const ExportRequest& request, const Scene& scene,
                                           const ColourTable& palette, int threads, std::uint64_t available) {
    const PictureStyle& style = request.style;
    const std::optional<PictureSize> size = StyledPictureSize(request);
    if (!size) return std::nullopt;
    CheckPictureMemory(*size, style.colourByMap, threads, available);
    const SceneSettings& s = scene.settings;
    PicturePlan plan;
    plan.frame = StyledPictureFrame(request, s);
    plan.colourByMap = style.colourByMap;
    const int maps = UsedTransforms(s);
    // Spread over the palette the pictures are drawn with; over the window's
    // green or a grey ramp they would be shades of one colour.
    const ColourTable* spreadOver = request.colours == PictureColours::Palette ? &palette : nullptr;
    plan.colours = style.colourByMap ? MapColours(style.mapColours, spreadOver, maps)
                                     : std::vector<MapColour>(static_cast<std::size_t>(maps));
    // A draw that picks no map plots the point again where it is, with the
    // colour of the first map.
    if (!plan.colours.empty()) plan.noMap = plan.colours.front();
    return plan;
}

PaletteRGB LoadPaletteOption(FileSystem& files, const std::string& name, const NumberFormat& format) {
    if (const auto bundled = BundledPalette(name)) return ParsePalette(*bundled, format, name);
    return ParsePalette(ReadArgumentFile(files, name), format, name);
}

PictureFrame StyledPictureFrame(const ExportRequest& request, const SceneSettings& settings) {
    return MakePictureFrame(*StyledPictureSize(request), settings.ScaleX, settings.ScaleY, settings.OffsetX,
                            settings.OffsetY);
}

std::int32_t StyledExposure(const ExportRequest& request, const SceneSettings& settings) {
    const std::int32_t exposure = request.style.tone.exposure;
    return exposure ? exposure : settings.Exposure;
}

}  // namespace morva
