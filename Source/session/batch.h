#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace morva {

// "morva: N groups, P points in S s (R M points/s)" and a line end.
std::string RenderSummary(std::int64_t groups, double seconds);

// The progress text as one line of a terminal status display.
std::string StatusLine(const std::string& label);

// What a batch run does with each new progress text: on a terminal it
// rewrites one status line in place, elsewhere it prints both lines. Once
// err cannot be written (a reader that went away), nothing more is printed;
// the render goes on.
std::function<void(const std::string&)> BatchProgressPrinter(std::ostream& err, bool terminal);

}  // namespace morva
