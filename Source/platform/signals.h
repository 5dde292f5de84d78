#pragma once

#include <atomic>
#include <string>

namespace morva {

// While one lives, the termination requests a user can send (SIGINT from
// Ctrl-C, SIGTERM, SIGHUP from a terminal that goes away) no longer end the
// process wherever it stands: the signal's number is kept for the render
// loop, which stops at its next pass, so that files are written whole and
// no temporary file is left behind. The earlier handlers come back when it
// goes. One at a time.
//
// A SIGHUP that was ignored when the program started (under nohup) stays
// ignored: whoever started it asked for the render to outlive the terminal.
// The three are unblocked, so that a mask inherited from the parent cannot
// keep a stop request away.
class StopRequests {
public:
    StopRequests();
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    // The number of the latest signal caught; 0 while none has come.
    const std::atomic<int>& Signal() const;
};

// Failed writes come back as errors (EPIPE, EFBIG) instead of signals that
// end the program: SIGPIPE (a reader of stderr that went away) and SIGXFSZ
// (a file size limit) are ignored from here on.
void IgnoreWriteSignals();

// "SIGINT", "SIGTERM", "SIGHUP", or "signal N" for any other.
std::string SignalName(int signal);

}  // namespace morva
