#include "session/fit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ostream>

#include "platform/error.h"
#include "platform/files.h"
#include "raster/raster.h"
#include "scene/fields.h"
#include "scene/scene_lines.h"
#include "session/render_report.h"
#include "session/scene_save.h"
#include "session/scene_source.h"
#include "session/session_config.h"

namespace morva {

namespace {

// A "D" line multiplies the scales and offsets by 4; they must still fit.
constexpr double kLargestMapped = 2147483647.0 / 4.0;

std::string Real(double value, int digits = 6) {
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    return std::string(buffer, result.ptr);
}

std::int64_t Pixel(double coordinate, std::int32_t scale, std::int32_t offset) {
    const double value = std::floor(scale * coordinate) + offset;
    return static_cast<std::int64_t>(std::clamp(value, -9.0e18, 9.0e18));
}

// The offset that centres pixels low..high in size pixels.
std::int64_t CentringOffset(std::int64_t low, std::int64_t high, std::int64_t size) {
    return static_cast<std::int64_t>(std::floor(static_cast<double>(size - 1 - low - high) / 2.0));
}

std::string MappedText(const Extent& extent, const Framing& framing) {
    const PixelBox box = MapExtent(extent, framing);
    return "columns " + std::to_string(box.left) + " to " + std::to_string(box.right) + " and rows " +
           std::to_string(box.bottom) + " to " + std::to_string(box.top) + " (the picture is columns 0 to " +
           std::to_string(kHitWidth - 1) + ", rows 0 to " + std::to_string(kHitHeight - 1) + ")";
}

}  // namespace

PixelBox MapExtent(const Extent& extent, const Framing& framing) {
    PixelBox box{Pixel(extent.xMin, framing.scaleX, framing.offsetX),
                 Pixel(extent.xMax, framing.scaleX, framing.offsetX),
                 Pixel(extent.yMin, framing.scaleY, framing.offsetY),
                 Pixel(extent.yMax, framing.scaleY, framing.offsetY)};
    if (box.left > box.right) std::swap(box.left, box.right);  // a negative scale
    if (box.bottom > box.top) std::swap(box.bottom, box.top);
    return box;
}

std::int64_t PointsOnPicture(const AttractorSample& sample, const Framing& framing) {
    std::int64_t on = 0;
    for (std::size_t i = 0; i < sample.x.size(); ++i) {
        const std::int64_t px = Pixel(sample.x[i], framing.scaleX, framing.offsetX);
        const std::int64_t py = Pixel(sample.y[i], framing.scaleY, framing.offsetY);
        on += px >= 0 && px < kHitWidth && py >= 0 && py < kHitHeight;
    }
    return on;
}

std::optional<Framing> FrameExtent(const Extent& extent) {
    const double usableWidth = kHitWidth * (1.0 - 2.0 * kFitMargin);
    const double usableHeight = kHitHeight * (1.0 - 2.0 * kFitMargin);
    double scale = kLargestMapped;
    if (extent.Width() > 0.0) scale = std::min(scale, usableWidth / extent.Width());
    if (extent.Height() > 0.0) scale = std::min(scale, usableHeight / extent.Height());
    if (extent.Width() == 0.0 && extent.Height() == 0.0) return std::nullopt;
    // The offsets, about half the picture less the scaled centre, must
    // stay within 32 bits four times over too.
    const double farthest = std::max(
        {std::abs(extent.xMin), std::abs(extent.xMax), std::abs(extent.yMin), std::abs(extent.yMax)});
    if (farthest > 0.0) scale = std::min(scale, (kLargestMapped - kHitWidth) / farthest);
    scale = std::floor(scale);
    if (!(scale >= 1.0)) return std::nullopt;

    Framing framing;
    framing.scaleX = framing.scaleY = static_cast<std::int32_t>(scale);
    const PixelBox box = MapExtent(extent, framing);
    framing.offsetX = static_cast<std::int32_t>(CentringOffset(box.left, box.right, kHitWidth));
    framing.offsetY = static_cast<std::int32_t>(CentringOffset(box.bottom, box.top, kHitHeight));
    return framing;
}

FitReport FitScene(const Scene& scene, std::string_view text) {
    FitReport report;
    const SceneSettings& s = scene.settings;
    report.current = {s.ScaleX, s.ScaleY, s.OffsetX, s.OffsetY};
    report.sample = SampleAttractor(scene);
    report.attractor = RobustExtent(report.sample);
    report.currentOnPicture = PointsOnPicture(report.sample, report.current);

    // The header the scene was read with is the last one.
    std::vector<std::string_view> fields;
    for (LineCursor cursor(text); const std::optional<NumberedLine> raw = cursor.Next();) {
        const std::optional<std::string_view> line = UsableLine(raw->text);
        if (!line || KindOfSceneLine(*line) != SceneLine::Header) continue;
        report.headerLine = raw->number;
        fields = SplitFields(*line);
    }

    switch (report.attractor.state) {
        case AttractorState::kDiverges:
            report.outcome = FitOutcome::Diverges;
            return report;
        case AttractorState::kDrifts:
            report.outcome = FitOutcome::Drifts;
            return report;
        case AttractorState::kSettled:
            break;
    }
    const Extent& extent = report.attractor.extent;
    const std::optional<Framing> framing = FrameExtent(extent);
    if (!framing) {
        report.outcome =
            extent.Width() == 0.0 && extent.Height() == 0.0 ? FitOutcome::Point : FitOutcome::TooLarge;
        return report;
    }
    report.framing = *framing;
    report.framedOnPicture = PointsOnPicture(report.sample, report.framing);

    const Framing& f = report.framing;
    report.header = std::string(fields.empty() ? std::string_view("h") : fields[0]);
    for (const std::int32_t value : {f.scaleX, f.scaleY, f.offsetX, f.offsetY})
        report.header += " " + std::to_string(value);
    for (std::size_t k = 5; k < fields.size(); ++k) report.header += " " + std::string(fields[k]);
    return report;
}

std::string FitText(const FitReport& report, std::string_view fileName) {
    const AttractorSample& sample = report.sample;
    const Extent& e = report.attractor.extent;
    std::string out = "morva: traced " + std::to_string(sample.traced) + " points of " +
                      std::string(fileName) + " with its own maps and selection, after " +
                      std::to_string(kFitWarmUp) + " thrown away\n";
    switch (report.outcome) {
        case FitOutcome::Diverges:
            return out + "the point runs off: " + std::to_string(sample.nonFinite) + " of " +
                   std::to_string(sample.traced) +
                   " points were infinite or not a number, so there is no attractor to frame; the maps must "
                   "shrink the plane, at least on average\n";
        case FitOutcome::Drifts:
            return out +
                   "the point does not settle: the first and the second half of the points lie in different "
                   "places (x from " +
                   Real(e.xMin) + " to " + Real(e.xMax) + ", y from " + Real(e.yMin) + " to " + Real(e.yMax) +
                   " overall), so there is no attractor to frame; the maps must shrink the plane, at least "
                   "on "
                   "average\n";
        default:
            break;
    }
    const std::int64_t outliers = static_cast<std::int64_t>(sample.x.size()) - report.attractor.inside;
    out += "attractor: x from " + Real(e.xMin) + " to " + Real(e.xMax) + ", y from " + Real(e.yMin) + " to " +
           Real(e.yMax) + " (" + std::to_string(report.attractor.inside) + " points; " +
           std::to_string(outliers + sample.nonFinite) + " far-flung ones left out)\n";

    const Framing& c = report.current;
    out += "current header (line " + std::to_string(report.headerLine) + ", scales " +
           std::to_string(c.scaleX) + " and " + std::to_string(c.scaleY) + ", offsets " +
           std::to_string(c.offsetX) + " and " + std::to_string(c.offsetY) +
           "): " + PercentText(report.currentOnPicture, sample.traced) +
           " of the points land on the picture; the attractor maps to " + MappedText(e, c) + "\n";

    switch (report.outcome) {
        case FitOutcome::Point:
            return out + "every point falls on (" + Real(e.xMin, 17) + ", " + Real(e.yMin, 17) +
                   "): the attractor is a single point, and no scale frames it\n";
        case FitOutcome::TooLarge:
            return out + "the attractor is " + Real(e.Width()) + " by " + Real(e.Height()) +
                   " scene units: even the smallest whole-number scale, 1, cannot fit it into the picture; "
                   "shrink the maps' offsets (E, F) and the header scales follow\n";
        default:
            break;
    }
    const Framing& f = report.framing;
    const PixelBox box = MapExtent(e, f);
    out += "framed with the equal scale " + std::to_string(f.scaleX) +
           ", centred, with a margin: " + PercentText(report.framedOnPicture, sample.traced) +
           " of the points on the picture, filling " + PercentText(box.right - box.left + 1, kHitWidth) +
           " of its width and " + PercentText(box.top - box.bottom + 1, kHitHeight) + " of its height\n";
    out += "replace line " + std::to_string(report.headerLine) + " with:\n" + report.header + "\n";
    return out;
}

int RunFit(const SessionConfig& config, std::ostream& out, std::ostream& err, const FitOutputs& outputs) {
    PosixFileSystem files;
    const SceneSource source = SessionSceneSource(config);
    try {
        if (outputs.writeBack && !source.inPlace) {
            err << ErrorLine("--write replaces the header line of a scene file, and " + source.scenePath +
                             " is not one; save the scene with --save-scene FILE");
            return 2;
        }
        // One reading gives the scene and the text the new header keeps
        // its own fields from (and, with --write, every other byte).
        const std::string text = ReadSceneText(files, source);
        const Scene scene = ParseScene(text, 0, config.numberFormat, source.scenePath);
        const FitReport report = FitScene(scene, text);
        out << FitText(report, source.scenePath);
        if (report.outcome != FitOutcome::Framed) return 1;
        const std::string fitted = ReplaceLine(text, report.headerLine, report.header);
        try {
            if (outputs.writeBack && fitted == text) {
                err << ErrorLine(source.scenePath + " has this header already; nothing written");
            } else if (outputs.writeBack) {
                files.ReplaceFile(source.scenePath, AsBytes(fitted));
                err << ErrorLine("wrote the new header into line " + std::to_string(report.headerLine) +
                                 " of " + source.scenePath);
            }
            if (!outputs.saveScene.empty()) SaveSceneText(files, outputs.saveScene, fitted, err);
        } catch (const MorvaError& error) {
            err << ErrorLine(error.what()) << std::flush;
            return 1;
        }
        return 0;
    } catch (const MorvaError& error) {
        err << ErrorLine(error.what()) << std::flush;
        return 2;
    }
}

}  // namespace morva
