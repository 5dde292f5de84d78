#pragma once

// The picture the command line styles (--size, --supersample, --tone,
// --gamma, --exposure, --colour-by map): the plan the renderer counts it
// by, checked against the machine's memory before the render.

#include <cstdint>
#include <optional>

#include "engine/picture_plan.h"
#include "raster/export.h"
#include "scene/scene.h"
#include "scene/scene_contract.h"

namespace morva {

// The colours of count maps: the given ones in turn, else hues spread
// evenly around the colour wheel.
std::vector<MapColour> MapColours(const std::vector<Rgb>& given, int count);

// The plan of the styled picture, or none when --picture is the window's
// picture. Throws MorvaError when its tables would not fit in available
// bytes on the given threads.
std::optional<PicturePlan> MakePicturePlan(const ExportRequest& request, const Scene& scene, int threads,
                                           std::uint64_t available);

}  // namespace morva
