#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "session/frm_morva.h"
#include "session/progress_display.h"

namespace morva {

// Prints the scene's settings and transforms. Returns the exit code.
int RunDescribe(const SessionConfig& config, std::ostream& out, std::ostream& err);

// Renders without a display: the progress on err in the given style, the
// BMP files written at the end as F11 would write them, and the pictures and
// tables of config.exports. SIGINT stops the render at the next group; the
// files are still written from the counts so far and the exit code is 130.
// Returns the exit code.
int RunBatch(const SessionConfig& config, std::ostream& err, ProgressStyle style);

// The same with the platform supplied by the caller (tests).
int RunBatchWith(FrmMorva& session, std::ostream& err, ProgressDisplay& progress);

// "morva: N groups, P points in S s (R M points/s)" and a line end.
std::string RenderSummary(std::int64_t groups, double seconds);

}  // namespace morva
