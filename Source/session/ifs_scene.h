#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "engine/extent.h"
#include "scene/ifs_library.h"
#include "session/fit.h"

namespace morva {

// Points traced to choose the brightness of a library entry: the first
// points of its render, exactly (the same seed, selection and start).
inline constexpr std::int64_t kBrightnessPoints = std::int64_t{1} << 21;
// The share of lit pixels that stay below full brightness.
inline constexpr double kBrightPixelShare = 0.9;
// About as many groups as the bundled fern traces: a smooth picture in a
// second or two.
inline constexpr std::int64_t kTargetGroups = 16000;

struct Brightness {
    std::int32_t exposure = 1;
    std::int32_t groupsPerExposure = 1;
};

// The exposure and groups per exposure (hit value 1) that bring the pixel
// at kBrightPixelShare of the lit pixels, ranked by count, to full
// brightness, over about kTargetGroups groups. sample holds the first
// points of the render, framed by framing.
Brightness ChooseBrightness(const AttractorSample& sample, const Framing& framing);

// The scene text of a 2-D library entry, framed as --fit frames a scene,
// with the brightness of ChooseBrightness and a fixed seed: the same entry
// always gives the same text, and so the same picture. Throws MorvaError
// naming the entry when its maps cannot be framed.
std::string FramedIfsScene(const IfsEntry& entry, std::string_view fileName);

// morva --list: the entries of the library (a file, or "-" for standard
// input), one line each, on out. Returns 0, or 1 with the reason on err.
int RunList(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace morva
