#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "session/frm_morva.h"

namespace morva {

class MorvaError;
struct Options;

// What a run renders and writes, as the command line asked for it.
struct RunRequest {
    SessionConfig session;
    bool folderGiven = false;  // --dir named the folder
    std::string picturePath;   // --picture: the final window picture, when not empty
};

// The request of the options: the program's folder unless --dir names one,
// the user's number format, one thread per core unless --threads says
// otherwise.
RunRequest MakeRunRequest(const Options& options);

enum class RunMode { Window, Batch };

// A file a run writes when its render has ended. Every one is checked
// before the render starts (FileSystem::CheckReplaceable), so that a path
// that cannot be written is refused before any work is spent on it.
struct EndOfRenderOutput {
    enum class WhenStopped { Written, Skipped };
    std::string path;
    std::function<void()> write;  // throws MorvaError
    // Whether a render stopped by a signal writes it too, from the counts
    // so far.
    WhenStopped whenStopped = WhenStopped::Skipped;
};

// The files a run writes at the end of its render, in order. In batch runs
// the count files as F11 writes them (MORVAHD.BMP first in high-resolution
// mode), also when a signal stops the render; in the window F11 writes
// those. Then, in both modes, the extra files the command line asked for.
// Called once the scene is read.
std::vector<EndOfRenderOutput> EndOfRenderOutputs(FrmMorva& session, RunMode mode, const RunRequest& request);

// What the program says on stderr when a render has ended, in both modes:
// the speed summary and the render report (where the points went, the
// brightest counts, why a dark picture is dark), in one line after a
// window render.
void ReportEndOfRender(FrmMorva& session, RunMode mode, double seconds, std::ostream& err);

// Runs the session's render and what follows it: every output checked
// before the render, written after it, the report, and in the window the
// wait for the close button. Every MorvaError of the run becomes a message
// here (stderr and the message box). Returns the exit code: 0; 1 when an
// input was refused or a file could not be written; 128 + the signal that
// stopped the run.
int RunRender(FrmMorva& session, RunMode mode, const RunRequest& request, std::ostream& err);

// Opens the program's window, or gives nullptr and the reason.
using WindowMaker = std::function<std::unique_ptr<Window>(std::string* reason)>;

// The two ways to render, on the real platform: in the window (exit code 2
// when none opens), or without one, the progress text on stderr (rewritten
// in place on a terminal). SIGINT, SIGTERM and SIGHUP stop either at the
// next group: a batch run still writes the count files from the counts so
// far, the window ends as its close button would.
int RunWindow(const RunRequest& request, const WindowMaker& makeWindow);
int RunBatch(const RunRequest& request, bool terminal);

// Prints the scene's settings and transforms. Returns the exit code.
int RunDescribe(const RunRequest& request);

// Runs a mode that prints on an ostream, then writes what it printed to
// stdout as WriteStandardOutput does; the exit code is the mode's, or 1
// when the text did not arrive.
int RunPrinting(const std::function<int(std::ostream& out)>& mode);

// Writes text to stdout and makes sure it arrived: 0, or 1 with the reason
// on stderr (a full disk, a closed stdout).
int WriteStandardOutput(std::string_view text);

// A command line that cannot be used: the message on stderr; exit code 2.
int ReportUsageError(const MorvaError& error);

}  // namespace morva
