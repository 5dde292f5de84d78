#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "session/frm_morva.h"

namespace morva {

// Prints the scene's settings and transforms. Returns the exit code.
int RunDescribe(const SessionConfig& config, std::ostream& out, std::ostream& err);

// Renders without a display: the progress text on err (rewritten in place
// on a terminal), the BMP files written at the end as F11 would write them,
// and the window picture to picturePath when it is not empty. SIGINT stops
// the render at the next group; the files are still written from the counts
// so far and the exit code is 130. Returns the exit code.
int RunBatch(const SessionConfig& config, const std::string& picturePath, std::ostream& err, bool terminal);

// The same with the platform supplied by the caller (tests).
int RunBatchWith(FrmMorva& session, const std::string& picturePath, std::ostream& err);

// "morva: N groups, P points in S s (R M points/s)" and a line end.
std::string RenderSummary(std::int64_t groups, double seconds);

// The progress text as one line of a terminal status display.
std::string StatusLine(const std::string& label);

}  // namespace morva
