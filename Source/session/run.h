#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "session/frm_morva.h"
#include "session/progress_display.h"

namespace morva {

class MorvaError;
struct Options;

// What a run renders and writes, as the command line asked for it.
struct RunRequest {
    SessionConfig session;
    bool folderGiven = false;  // --dir named the folder
};

// The request of the options: the program's folder unless --dir or SCENE
// names the scene (ApplySceneArgument), the user's number format, one
// thread per core unless --threads says otherwise. Throws MorvaError when
// SCENE cannot be read or its library entry cannot be used.
RunRequest MakeRunRequest(const Options& options);

enum class RunMode { Window, Batch };

// A file a run writes when its render has ended. Every one is checked
// before the render starts (FileSystem::CheckReplaceable), so that a path
// that cannot be written is refused before any work is spent on it.
struct EndOfRenderOutput {
    std::string path;
    std::string what;             // how the command line named it: "MORVA.BMP", "--picture", ...
    std::function<void()> write;  // throws MorvaError
};

// The files a run writes at the end of its render, in order, from the
// counts it reached (also when a signal stopped a batch run). In batch runs
// the count files as F11 writes them (MORVAHD.BMP first in high-resolution
// mode); in the window F11 writes those. Then, in both modes, the pictures
// and tables the command line asked for (--picture, --hires-picture,
// --counts). Called once the scene is read.
std::vector<EndOfRenderOutput> EndOfRenderOutputs(FrmMorva& session, RunMode mode);

// Refuses (MorvaError) two outputs of a run that name the same file, where
// the one written last would silently replace the other: the outputs, and
// in the window the count files F11 writes. Names are compared as the
// system resolves them (".", "..", links in the folders).
void CheckDistinctOutputs(FrmMorva& session, RunMode mode, const std::vector<EndOfRenderOutput>& outputs);

// What the program says on stderr when a render has ended, in both modes:
// the speed summary and the render report (where the points went, the
// brightest counts, why a dark picture is dark), in one line after a
// window render.
void ReportEndOfRender(FrmMorva& session, RunMode mode, double seconds, std::ostream& err);

// Runs the session's render and what follows it (progress, when given,
// shows the batch run's progress and is finished when the render ends): every output checked
// before the render, written after it, the report, and in the window the
// wait for the close button. Every MorvaError of the run becomes a message
// here (stderr and the message box). Returns the exit code: 0; 1 when an
// input was refused or a file could not be written; 128 + the signal that
// stopped the run.
int RunRender(FrmMorva& session, RunMode mode, std::ostream& err, ProgressDisplay* progress = nullptr);

// Opens the program's window, or gives nullptr and the reason.
using WindowMaker = std::function<std::unique_ptr<Window>(std::string* reason)>;

// The two ways to render, on the real platform: in the window (exit code 2
// when none opens), or without one, the progress on stderr in the given
// style. SIGINT, SIGTERM and SIGHUP stop either at the
// next group: a batch run still writes its files from the counts so far,
// the window ends as its close button would.
int RunWindow(const RunRequest& request, const WindowMaker& makeWindow);
int RunBatch(const RunRequest& request, ProgressStyle style);

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
