#pragma once

#include <cstdint>
#include <string>

#include "raster/grid.h"
#include "scene/scene.h"

namespace morva {

class Raster;

// The speed summary of a render: "morva: N groups, P points in S s (R M
// points/s)" and a line end.
std::string RenderSummary(std::int64_t groups, double seconds);

// part of whole as a percentage with as many decimals as it takes to tell a
// share from 0 % and 100 %: "100%" only for the whole.
std::string PercentText(std::int64_t part, std::int64_t whole);

// What one count table holds at the end of a render.
struct TableCounts {
    std::int64_t points = 0;   // points it counted: the sum of its cells over the hit value
    bool atLeast = false;      // a cell stopped at the largest count, so points is a lower bound
    std::int32_t largest = 0;  // the largest count of a cell
    std::int64_t touched = 0;  // cells with a count above 0
    std::int64_t lit = 0;      // cells that reach 1 after the exposure
    std::int64_t full = 0;     // cells that reach 255 after the exposure
    std::int64_t cells = 0;
};

TableCounts CountTable(const Grid<std::int32_t>& table, std::uint8_t hitValue, std::int32_t exposure);

// Where the points of a render went. In high-resolution mode the picture's
// points are those of the high-resolution table, and the screen table holds
// only the echo of every 16th step.
struct RenderCounts {
    std::int64_t traced = 0;      // points traced: 2048 per group
    std::int64_t notPlotted = 0;  // a pixel coordinate not a number or beyond 32 bits
    bool hiRes = false;
    std::uint8_t hitValue = 0;
    std::int32_t exposure = 1;
    TableCounts screen;          // the 640 x 480 table: the window picture and MORVA.BMP
    TableCounts highResolution;  // the 2560 x 1920 table (MORVAHD.BMP), in high-resolution mode

    const TableCounts& Picture() const { return hiRes ? highResolution : screen; }
    std::int64_t OnPicture() const { return Picture().points; }
    // Points that landed neither on the picture nor among the not plotted
    // ones; not known when the hit value is 0.
    std::int64_t Outside() const { return traced - OnPicture() - notPlotted; }
};

// The counts of a render from its tables (brought up to date) and the
// session's own counters.
RenderCounts CountRender(const Scene& scene, const Raster& raster, std::int64_t groupsTraced,
                         std::int64_t notPlotted);

// Why the picture is black or nearly so (fewer than one cell in a thousand
// reaches 1), as one sentence; empty when it is not.
std::string DarkPictureReason(const RenderCounts& counts);

// The report at the end of a batch run: lines that begin "morva: ".
std::string RenderReport(const RenderCounts& counts);

// The same in one line, for the end of a window render.
std::string RenderReportLine(const RenderCounts& counts);

}  // namespace morva
