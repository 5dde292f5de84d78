#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "engine/extent.h"
#include "scene/scene.h"

namespace morva {

struct SessionConfig;

// The mapping of scene coordinates to pixels: pixel = floor(scale * x) +
// offset, y upwards.
struct Framing {
    std::int32_t scaleX = 0, scaleY = 0;
    std::int32_t offsetX = 0, offsetY = 0;
};

// The columns and rows the corners of an extent map to under a framing.
struct PixelBox {
    std::int64_t left = 0, right = 0, bottom = 0, top = 0;
};

PixelBox MapExtent(const Extent& extent, const Framing& framing);

// Sampled points that a framing puts on the 640 x 480 picture.
std::int64_t PointsOnPicture(const AttractorSample& sample, const Framing& framing);

// Share of each side of the picture left free around the attractor.
inline constexpr double kFitMargin = 0.05;

// The largest equal whole-number scale for x and y that fits the extent
// into the picture less its margin, with offsets that centre it; nothing
// when no scale of 1 or more fits, or when the extent is a single point.
// Scales and offsets stay within what a "D" line can take (4 times each
// fits in 32 bits).
std::optional<Framing> FrameExtent(const Extent& extent);

enum class FitOutcome : std::uint8_t {
    kFramed,
    kDiverges,  // the point runs off to infinity
    kDrifts,    // the point does not settle in one region
    kPoint,     // every point falls on one spot
    kTooLarge,  // wider than a scale of 1 can show
};

struct FitReport {
    FitOutcome outcome = FitOutcome::kFramed;
    AttractorSample sample;
    AttractorExtent attractor;
    Framing current;  // the scene's own header
    std::int64_t currentOnPicture = 0;
    Framing framing;  // when framed
    std::int64_t framedOnPicture = 0;
    std::size_t headerLine = 0;  // the line a new header replaces
    std::string header;          // the new header line, ready to paste
};

// Traces the scene's maps briefly and frames what they draw. text is the
// scene text the scene was read from: the new header keeps the current
// header's keyword and its fields from the hit value on, as written.
FitReport FitScene(const Scene& scene, std::string_view text);

// The report for the user.
std::string FitText(const FitReport& report, std::string_view fileName);

// What --fit does with the header it finds besides printing it.
struct FitOutputs {
    bool writeBack = false;  // --write: replace the header line of the scene file in place
    std::string saveScene;   // --save-scene FILE: write the scene with the new header there
};

// morva --fit: reads the scene of the run and prints FitText on out; with
// outputs, writes the fitted scene (every byte but the header line's kept).
// Returns 0 when a header was fitted, 1 when the scene cannot be framed
// (nothing is written then), 2 when the render would refuse the scene or a
// file could not be written.
int RunFit(const SessionConfig& config, std::ostream& out, std::ostream& err, const FitOutputs& outputs = {});

}  // namespace morva
