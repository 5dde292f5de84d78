#include "session/ifs_scene.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "raster/raster.h"
#include "scene/scene.h"
#include "session/scene_source.h"

namespace morva {

namespace {

// A header that the framing replaces: any scale reads the maps.
std::string Header(const Framing& framing, const Brightness& brightness, std::size_t maps) {
    return "h " + std::to_string(framing.scaleX) + " " + std::to_string(framing.scaleY) + " " +
           std::to_string(framing.offsetX) + " " + std::to_string(framing.offsetY) + " 1 " +
           std::to_string(brightness.exposure) + " " + std::to_string(brightness.groupsPerExposure) + " " +
           std::to_string(maps);
}

std::string Entry(const IfsEntry& entry, std::string_view fileName) {
    return std::string(fileName) + ", entry " + Quoted(entry.name) + " (line " + std::to_string(entry.line) +
           ")";
}

}  // namespace

Brightness ChooseBrightness(const AttractorSample& sample, const Framing& framing) {
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(kHitWidth) * kHitHeight);
    for (std::size_t i = 0; i < sample.x.size(); ++i) {
        // The pixel of the render: floor(scale x) + offset.
        const double column = std::floor(framing.scaleX * sample.x[i]) + framing.offsetX;
        const double row = std::floor(framing.scaleY * sample.y[i]) + framing.offsetY;
        if (column >= 0 && column < kHitWidth && row >= 0 && row < kHitHeight)
            ++counts[static_cast<std::size_t>(row) * kHitWidth + static_cast<std::size_t>(column)];
    }
    std::vector<std::uint32_t> lit;
    for (const std::uint32_t count : counts)
        if (count > 0) lit.push_back(count);
    Brightness brightness;
    if (lit.empty() || sample.traced == 0) return brightness;
    const auto rank =
        lit.begin() + static_cast<std::ptrdiff_t>(kBrightPixelShare * static_cast<double>(lit.size() - 1));
    std::nth_element(lit.begin(), rank, lit.end());
    // A pixel's count over the whole render, divided by the exposure, is
    // its sample count x groupsPerExposure x 2048 / the points sampled.
    const double groups = 255.0 * static_cast<double>(sample.traced) / (2048.0 * *rank);
    brightness.groupsPerExposure = static_cast<std::int32_t>(std::clamp(std::round(groups), 1.0, 1.0e6));
    brightness.exposure = static_cast<std::int32_t>(
        std::max(1.0, std::round(static_cast<double>(kTargetGroups) / brightness.groupsPerExposure)));
    return brightness;
}

std::string FramedIfsScene(const IfsEntry& entry, std::string_view fileName) {
    const std::size_t maps = entry.maps.size();
    const std::string draft = IfsSceneText(entry, fileName, Header({1, 1, 0, 0}, {}, maps));
    const Scene scene = ParseScene(draft, kIfsSeed, NumberFormat{}, fileName);
    const FitReport report = FitScene(scene, draft);
    switch (report.outcome) {
        case FitOutcome::kFramed:
            break;
        case FitOutcome::kDiverges:
            throw MorvaError(
                Entry(entry, fileName) +
                ": the point runs off to infinity; the maps must shrink the plane, at least on average");
        case FitOutcome::kDrifts:
            throw MorvaError(Entry(entry, fileName) +
                             ": the point does not settle in one region; the maps must shrink the plane, at "
                             "least on average");
        case FitOutcome::kPoint:
            throw MorvaError(Entry(entry, fileName) +
                             ": every point falls on one spot; there is no picture to frame");
        case FitOutcome::kTooLarge:
            throw MorvaError(Entry(entry, fileName) +
                             ": the attractor is too large for a scale of 1 pixel a unit; shrink the maps' "
                             "offsets (e, f)");
    }
    const AttractorSample sample = SampleAttractor(scene, 0, kBrightnessPoints);
    const Brightness brightness = ChooseBrightness(sample, report.framing);
    return IfsSceneText(entry, fileName, Header(report.framing, brightness, maps));
}

int RunList(const std::string& path, std::ostream& out, std::ostream& err) {
    try {
        PosixFileSystem files;
        out << IfsListText(ParseIfsLibrary(ReadArgumentFile(files, path), ArgumentName(path)));
        return 0;
    } catch (const MorvaError& error) {
        err << ErrorLine(error.what()) << std::flush;
        return 1;
    }
}

}  // namespace morva
