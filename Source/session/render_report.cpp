#include "session/render_report.h"

#include <cstdio>
#include <cstdlib>

#include "engine/iteration_group.h"
#include "raster/raster.h"

namespace morva {

namespace {

// A picture with fewer lit cells than one in this many is nearly black.
constexpr std::int64_t kDarkShare = 1000;
// Below this share of the points on the picture, most of the attractor is
// off it.
constexpr double kMostlyOff = 0.01;

std::string Points(const TableCounts& table) {
    return (table.atLeast ? "at least " : "") + std::to_string(table.points);
}

std::string Brightness(const TableCounts& table, std::int32_t exposure) {
    return "largest count " + std::to_string(table.largest) + ", " + std::to_string(table.full) + " of " +
           std::to_string(table.cells) + " pixels at 255 and " + std::to_string(table.lit) +
           " lit after the exposure " + std::to_string(exposure);
}

}  // namespace

std::string PercentText(std::int64_t part, std::int64_t whole) {
    if (whole <= 0 || part == 0) return "0%";
    if (part == whole) return "100%";
    // As many decimals as it takes to tell a share from 0 % and 100 %.
    const double percent = 100.0 * static_cast<double>(part) / static_cast<double>(whole);
    char text[32];
    for (int decimals = 1;; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, percent);
        const double shown = std::strtod(text, nullptr);
        if ((shown > 0.0 && shown < 100.0) || decimals == 9) break;
    }
    return std::string(text) + "%";
}

TableCounts CountTable(const Grid<std::int32_t>& table, std::uint8_t hitValue, std::int32_t exposure) {
    TableCounts counts;
    counts.cells = static_cast<std::int64_t>(table.Size());
    std::int64_t sum = 0;
    const std::int32_t* cells = table.Data();
    for (std::size_t i = 0; i < table.Size(); ++i) {
        const std::int32_t cell = cells[i];
        sum += cell;
        counts.largest = std::max(counts.largest, cell);
        counts.touched += cell > 0;
        const std::uint8_t clipped = ClippedCount(cell, exposure);
        counts.lit += clipped >= 1;
        counts.full += clipped == 255;
        counts.atLeast = counts.atLeast || cell == kHitCellMax;
    }
    counts.points = hitValue > 0 ? sum / hitValue : 0;
    return counts;
}

RenderCounts CountRender(const Scene& scene, const Raster& raster, std::int64_t groupsTraced,
                         std::int64_t notPlotted) {
    const SceneSettings& s = scene.settings;
    RenderCounts counts;
    counts.traced = groupsTraced * kGroupSteps;
    counts.notPlotted = notPlotted;
    counts.hiRes = s.HiRes;
    counts.hitValue = s.HitValue;
    counts.exposure = s.Exposure;
    counts.screen = CountTable(raster.HitBuffer(), s.HitValue, s.Exposure);
    if (s.HiRes) counts.highResolution = CountTable(raster.HiResBuffer(), s.HitValue, s.Exposure);
    return counts;
}

std::string DarkPictureReason(const RenderCounts& counts) {
    const TableCounts& picture = counts.Picture();
    if (picture.lit * kDarkShare >= picture.cells && counts.hitValue > 0) return {};
    if (counts.hitValue == 0) return "the hit value (header field 5) is 0, so no point adds to any count.";
    if (counts.traced > 0 && counts.notPlotted * 100 >= counts.traced * 99)
        return "almost every point had a pixel coordinate that is not a number or beyond 32 bits: the maps "
               "throw the point off to infinity.";
    if (counts.OnPicture() == 0) return "all points fell outside the picture: try `morva --fit`.";
    if (picture.largest < counts.exposure) {
        return "the largest count " + std::to_string(picture.largest) + " is below the exposure " +
               std::to_string(counts.exposure) +
               ": nothing reaches 1; raise the groups per exposure (header field 7) or the hit value (field "
               "5).";
    }
    if (static_cast<double>(counts.OnPicture()) < kMostlyOff * static_cast<double>(counts.traced)) {
        return "only " + PercentText(counts.OnPicture(), counts.traced) +
               " of the points fell on the picture: try `morva --fit`.";
    }
    if (picture.touched * kDarkShare < picture.cells) {
        return "the points fall on only " + std::to_string(picture.touched) +
               " pixels: the attractor is tiny at this scale: try `morva --fit`.";
    }
    return "only " + std::to_string(picture.lit) + " of the " + std::to_string(picture.touched) +
           " pixels hit reach the exposure " + std::to_string(counts.exposure) +
           ": raise the groups per exposure (header field 7) or the hit value (field 5).";
}

std::string RenderReport(const RenderCounts& counts) {
    const char* picture = counts.hiRes ? "the picture's high-resolution window" : "the picture";
    std::string out = "morva: " + std::to_string(counts.traced) + " points traced: ";
    if (counts.hitValue == 0) {
        out += std::to_string(counts.notPlotted) +
               " not plotted (not a number or beyond 32 bits); with a hit value of 0 the counts cannot tell "
               "where the others fell\n";
    } else {
        out += Points(counts.Picture()) + " (" + PercentText(counts.OnPicture(), counts.traced) + ") on " +
               picture + ", " + std::to_string(counts.Outside()) + " outside it, " +
               std::to_string(counts.notPlotted) + " not plotted (not a number or beyond 32 bits)\n";
    }
    if (counts.hiRes) {
        out += "morva: MORVAHD.BMP: " + Brightness(counts.highResolution, counts.exposure) + "\n";
        out += "morva: MORVA.BMP and the window (every 16th point, " + Points(counts.screen) +
               "): " + Brightness(counts.screen, counts.exposure) + "\n";
    } else {
        out += "morva: MORVA.BMP and the window: " + Brightness(counts.screen, counts.exposure) + "\n";
    }
    const std::string dark = DarkPictureReason(counts);
    if (!dark.empty()) out += "morva: the picture is black or nearly so: " + dark + "\n";
    return out;
}

std::string RenderReportLine(const RenderCounts& counts) {
    const TableCounts& picture = counts.Picture();
    std::string line = "morva: " + std::to_string(counts.traced) + " points, ";
    if (counts.hitValue > 0) {
        line += PercentText(counts.OnPicture(), counts.traced) + " on the picture, " +
                std::to_string(counts.Outside()) + " outside, ";
    }
    line += std::to_string(counts.notPlotted) + " not plotted; largest count " +
            std::to_string(picture.largest) + ", " + std::to_string(picture.full) + " pixels at 255";
    const std::string dark = DarkPictureReason(counts);
    if (!dark.empty()) line += "; black or nearly: " + dark;
    return line + "\n";
}

std::string RenderSummary(std::int64_t groups, double seconds) {
    const double points = static_cast<double>(groups) * kGroupSteps;
    char text[160];
    std::snprintf(text, sizeof text, "morva: %lld groups, %.0f points in %.2f s (%.1f M points/s)\n",
                  static_cast<long long>(groups), points, seconds,
                  seconds > 0 ? points / seconds / 1e6 : 0.0);
    return text;
}

}  // namespace morva
