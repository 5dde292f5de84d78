#include "session/run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <sstream>

#include "platform/bundled_files.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/headless_window.h"
#include "platform/processors.h"
#include "platform/signals.h"
#include "platform/terminal.h"
#include "platform/uniform_random.h"
#include "scene/scene.h"
#include "session/options.h"
#include "session/render_report.h"

namespace morva {

namespace {

// Writes the outputs in order; a file that fails is reported and the rest
// are still written. Returns whether all of them were written.
bool WriteOutputs(FrmMorva& session, const std::vector<EndOfRenderOutput>& outputs) {
    bool written = true;
    for (const EndOfRenderOutput& output : outputs) {
        try {
            SaveOneFile(output.path, output.write);
        } catch (const MorvaError& error) {
            session.ReportError(error.what());
            written = false;
        }
    }
    return written;
}

// The count files of the scene, as F11 writes them: MORVAHD.BMP first in
// high-resolution mode, then MORVA.BMP. Named by their file names.
std::vector<EndOfRenderOutput> CountFiles(FrmMorva& session) {
    std::vector<EndOfRenderOutput> files;
    for (const FrmMorva::CountFile file : {FrmMorva::CountFile::HiRes, FrmMorva::CountFile::Screen}) {
        if (file == FrmMorva::CountFile::HiRes && !session.CurrentScene().settings.HiRes) continue;
        const std::string path = session.CountFilePath(file);
        files.push_back({path, std::filesystem::path(path).filename().string(),
                         [&session, file] { session.SaveCountFile(file); }});
    }
    return files;
}

std::string ExportOption(FrmMorva::Export which) {
    switch (which) {
        case FrmMorva::Export::Picture:
            return "--picture";
        case FrmMorva::Export::HiResPicture:
            return "--hires-picture";
        case FrmMorva::Export::Counts:
            return "--counts";
    }
    return {};
}

}  // namespace

RunRequest MakeRunRequest(const Options& options) {
    RunRequest request;
    request.session.folder = options.folder.empty() ? DefaultDataFolder() : options.folder;
    request.folderGiven = !options.folder.empty();
    request.scene = options.scene;
    request.session.numberFormat = UserNumberFormat();
    // One thread per processor this process may run on (fewer when asked);
    // more would only take turns on them.
    const int processors = UsableProcessors();
    request.session.threads = options.threads > 0 ? std::min(options.threads, processors) : processors;
    request.session.reference = options.reference;
    request.session.outFolder = options.outFolder;
    // An installed program reads its bundled scene from a shared folder that
    // is not its own and that the user may not write: what it writes goes
    // into the current folder.
    if (!request.folderGiven && options.outFolder.empty() && request.session.folder != ProgramFolder()) {
        request.session.outFolder = ".";
    }
    request.session.exports = options.exports;
    ApplySceneArgument(options, request.session, std::cerr);
    return request;
}

std::vector<EndOfRenderOutput> EndOfRenderOutputs(FrmMorva& session, RunMode mode) {
    using Export = FrmMorva::Export;
    std::vector<EndOfRenderOutput> outputs;
    if (mode == RunMode::Batch && session.BatchCountFiles()) outputs = CountFiles(session);
    for (const Export which : {Export::Picture, Export::HiResPicture, Export::Counts}) {
        const std::string& path = session.ExportPath(which);
        if (!path.empty()) {
            outputs.push_back({path, ExportOption(which), [&session, which] { session.SaveExport(which); }});
        }
    }
    return outputs;
}

void CheckDistinctOutputs(FrmMorva& session, RunMode mode, const std::vector<EndOfRenderOutput>& outputs) {
    std::vector<EndOfRenderOutput> names = outputs;
    if (mode == RunMode::Window) {
        for (EndOfRenderOutput& file : CountFiles(session)) {
            file.what += " (F11)";
            names.push_back(std::move(file));
        }
    }
    std::vector<std::string> keys;
    for (const EndOfRenderOutput& name : names) keys.push_back(OutputFileKey(name.path));
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (keys[i] != keys[j]) continue;
            // Only an option's file can be renamed; the count files are
            // never both in question.
            const EndOfRenderOutput& option = names[i].what.starts_with("--") ? names[i] : names[j];
            throw MorvaError("Cannot write " + Quoted(option.path) + ": " + names[j].what + " and " +
                             names[i].what + " name the same file, and one would replace the other; give " +
                             option.what + " a name of its own");
        }
    }
}

void ReportEndOfRender(FrmMorva& session, RunMode mode, double seconds, std::ostream& err) {
    err << RenderSummary(session.GroupsTraced(), seconds);
    session.BringTablesUpToDate();
    const RenderCounts counts = CountRender(session.CurrentScene(), session.CurrentRaster(),
                                            session.GroupsTraced(), session.Engine().offPicture);
    err << (mode == RunMode::Batch ? RenderReport(counts) : RenderReportLine(counts)) << std::flush;
}

int RunRender(FrmMorva& session, RunMode mode, std::ostream& err, ProgressDisplay* progress) {
    std::vector<EndOfRenderOutput> outputs;
    session.SetBeforeRender([&] {
        outputs = EndOfRenderOutputs(session, mode);
        CheckDistinctOutputs(session, mode, outputs);
        for (const EndOfRenderOutput& output : outputs) session.Files().CheckReplaceable(output.path);
    });
    // A batch run's progress line stays open on a terminal until the render
    // has ended.
    auto endProgressLine = [&] {
        if (progress) progress->Finish();
    };
    const auto start = std::chrono::steady_clock::now();
    try {
        const FrmMorva::Outcome outcome = session.Form_Load();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        endProgressLine();
        switch (outcome) {
            case FrmMorva::Outcome::Refused:
                // The message is shown; the window waits to be closed.
                if (mode == RunMode::Window) session.ServeUntilClosed();
                return 1;
            case FrmMorva::Outcome::Unloaded:
                return 0;
            case FrmMorva::Outcome::Stopped: {
                const int signal = session.StopSignal();
                const std::string name = SignalName(signal);
                if (mode == RunMode::Window) {
                    // Like the close button: the program ends now.
                    err << ErrorLine("ended by " + name) << std::flush;
                    return 128 + signal;
                }
                if (session.GroupsTraced() == 0) {
                    // Files of no counts at all would replace good ones.
                    err << ErrorLine("interrupted by " + name +
                                     " before the first group was traced; no file was written")
                        << std::flush;
                    return 128 + signal;
                }
                const bool written = WriteOutputs(session, outputs);
                ReportEndOfRender(session, mode, seconds, err);
                const std::int64_t groups = session.GroupsTraced();
                err << ErrorLine(
                           "interrupted by " + name + " after " + std::to_string(groups) +
                           (groups == 1 ? " group; " : " groups; ") +
                           (written ? "the files hold the counts so far" : "not every file was written"))
                    << std::flush;
                return written ? 128 + signal : 1;
            }
            case FrmMorva::Outcome::Finished:
                break;
        }
        const bool written = WriteOutputs(session, outputs);
        ReportEndOfRender(session, mode, seconds, err);
        if (mode == RunMode::Window) {
            session.ServeUntilClosed();
            if (const int signal = session.StopSignal(); signal != 0) {
                err << ErrorLine("ended by " + SignalName(signal)) << std::flush;
                return 128 + signal;
            }
        }
        return written ? 0 : 1;
    } catch (const MorvaError& error) {
        endProgressLine();
        session.ReportError(error.what());
        return 1;
    } catch (const std::bad_alloc&) {
        // Outside the saves (which report their own): reading the inputs,
        // the tables, the report.
        endProgressLine();
        session.ReportError("out of memory");
        return 1;
    }
}

int RunWindow(const RunRequest& request, const WindowMaker& makeWindow) {
    IgnoreWriteSignals();
    // Before the window: the window system then leaves these signals to us.
    StopRequests stops;
    std::string reason;
    std::unique_ptr<Window> window = makeWindow(&reason);
    if (!window) {
        std::cerr << ErrorLine("cannot open a window: " + reason)
                  << ErrorLine("to render without a display, run: morva --batch" +
                               (request.folderGiven ? " --dir " + ShellQuoted(request.session.folder)
                                                    : std::string()) +
                               (request.scene.empty() ? std::string() : " " + ShellQuoted(request.scene)));
        return 2;
    }
    SystemClock clock;
    UniformRandom uniform;
    PosixFileSystem files;
    FrmMorva session(*window, clock, uniform, files, request.session, std::cerr);
    session.SetStopFlag(&stops.Signal());
    return RunRender(session, RunMode::Window, std::cerr);
}

int RunBatch(const RunRequest& request, ProgressStyle style) {
    IgnoreWriteSignals();
    StopRequests stops;
    HeadlessWindow window;
    ProgressDisplay progress(std::cerr, style, ErrorStreamColumns);
    SystemClock clock;
    UniformRandom uniform;
    PosixFileSystem files;
    FrmMorva session(window, clock, uniform, files, request.session, std::cerr);
    session.SetStopFlag(&stops.Signal());
    session.SetProgressListener([&progress](const ProgressInputs& in) { progress.Update(in); });
    return RunRender(session, RunMode::Batch, std::cerr, &progress);
}

int RunDescribe(const RunRequest& request) {
    try {
        UniformRandom uniform;
        uniform.SeedFromClock();
        PosixFileSystem files;
        const auto startSeed = static_cast<std::int32_t>(std::floor(uniform.Next() * 2147483648.0));
        const Scene scene = LoadSourceScene(files, SessionSceneSource(request.session), startSeed,
                                            request.session.numberFormat);
        return WriteStandardOutput(DescribeScene(scene));
    } catch (const MorvaError& error) {
        std::cerr << ErrorLine(error.what()) << std::flush;
        return 1;
    }
}

int RunPrinting(const std::function<int(std::ostream& out)>& mode) {
    std::ostringstream out;
    const int code = mode(out);
    const int written = WriteStandardOutput(out.str());
    return written != 0 ? written : code;
}

int WriteStandardOutput(std::string_view text) {
    bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    int reason = written ? 0 : errno;
    if (std::fflush(stdout) != 0) {
        written = false;
        reason = errno;
    }
    if (written && !std::ferror(stdout)) return 0;
    std::cerr << ErrorLine(std::string("cannot write to standard output: ") +
                           (reason != 0 ? std::strerror(reason) : "write error"))
              << std::flush;
    return 1;
}

int ReportUsageError(const MorvaError& error) {
    std::cerr << UsageErrorLine(error.what()) << std::flush;
    return 2;
}

}  // namespace morva
