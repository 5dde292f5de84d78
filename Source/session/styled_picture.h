#pragma once

// The picture the command line styles (--size, --supersample, --tone,
// --gamma, --exposure, --colour-by map): the plan the renderer counts it
// by, checked against the machine's memory before the render.

#include <cstdint>
#include <optional>

#include "engine/picture_plan.h"
#include "raster/export.h"
#include "scene/palette.h"
#include "scene/scene.h"
#include "scene/scene_contract.h"

namespace morva {

class FileSystem;

// The colours of count maps: the given ones in turn, else spread evenly
// over the palette, else hues spread evenly around the colour wheel.
std::vector<MapColour> MapColours(const std::vector<Rgb>& given, const ColourTable* palette, int count);

// The plan of the styled picture (StyledPictureSize), or none when the
// pictures are the window's and the high-resolution table's. Throws MorvaError when its tables would not fit
// in available bytes on the given threads.
std::optional<PicturePlan> MakePicturePlan(const ExportRequest& request, const Scene& scene,
                                           const ColourTable& palette, int threads, std::uint64_t available);

// Where the styled picture's samples lie, and the exposure it is toned
// with: the one --exposure names, else the scene's.
PictureFrame StyledPictureFrame(const ExportRequest& request, const SceneSettings& settings);
std::int32_t StyledExposure(const ExportRequest& request, const SceneSettings& settings);

// The palette --palette names: a bundled one or a palette file (refused
// with a message naming it when it cannot be read).
PaletteRGB LoadPaletteOption(FileSystem& files, const std::string& name, const NumberFormat& format);

}  // namespace morva
