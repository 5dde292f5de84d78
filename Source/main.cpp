// morva: reads the command line and picks the mode; everything else lives in
// the libraries.

#include <cstdio>
#include <exception>
#include <iostream>
#include <new>
#include <system_error>

#include "platform/error.h"
#include "platform/terminal.h"
#include "raster/colour_table.h"
#include "scene/bundled_palettes.h"
#include "session/fit.h"
#include "session/ifs_scene.h"
#include "session/options.h"
#include "session/run.h"
#include "session/scene_check.h"
#include "session/scene_save.h"
#ifdef MORVA_HAVE_SDL
#include "platform/sdl_window.h"
#endif

using namespace morva;

namespace {

std::unique_ptr<Window> MakeWindow(std::string* reason, int zoom) {
#ifdef MORVA_HAVE_SDL
    SdlWindowOptions windowOptions;
    windowOptions.colours = WindowColourTable();
    windowOptions.zoom = zoom;
    return CreateSdlWindow(reason, windowOptions);
#else
    (void)zoom;
    *reason = "this build has no window";
    return nullptr;
#endif
}

int RunProgram(int argc, char** argv) {
    Options options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const MorvaError& error) {
        return ReportUsageError(error);
    }
    if (options.help) return WriteStandardOutput(UsageText());
    if (options.version) return WriteStandardOutput(VersionText());
    if (options.listPalettes) {
        std::string names;
        for (const std::string& name : BundledPaletteNames()) names += name + "\n";
        return WriteStandardOutput(names);
    }
    if (options.list)
        return RunPrinting([&](std::ostream& out) { return RunList(options.scene, out, std::cerr); });
    RunRequest request;
    try {
        request = MakeRunRequest(options);
    } catch (const MorvaError& error) {
        std::cerr << ErrorLine(error.what()) << std::flush;
        return 1;
    }
    if (options.check)
        return RunPrinting([&](std::ostream& out) { return RunCheck(request.session, out, std::cerr); });
    if (options.fit) {
        const FitOutputs outputs{options.write, options.saveScene};
        return RunPrinting(
            [&](std::ostream& out) { return RunFit(request.session, out, std::cerr, outputs); });
    }
    if (!options.saveScene.empty()) return RunSaveScene(request.session, options.saveScene, std::cerr);
    if (options.describe) return RunDescribe(request);
    if (options.batch) {
        const ProgressStyle style = options.quiet                 ? ProgressStyle::Quiet
                                    : !ErrorStreamIsTerminal()    ? ProgressStyle::Log
                                    : ErrorTerminalTakesEscapes() ? ProgressStyle::Terminal
                                                                  : ProgressStyle::DumbTerminal;
        return RunBatch(request, style);
    }
    return RunWindow(request, [&options](std::string* reason) { return MakeWindow(reason, options.zoom); });
}

}  // namespace

int main(int argc, char** argv) {
    // The modes report their own faults. What can still come from anywhere
    // is a failed allocation (a scene file of hundreds of megabytes under a
    // memory limit) or a call of the system that failed: a message and exit
    // code 1, never an abort. No text is built for the first one: there may
    // be no memory for it.
    try {
        return RunProgram(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("morva: out of memory\n", stderr);
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "morva: a call of the system failed: %s\n", error.what());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "morva: %s\n", error.what());
    }
    return 1;
}
