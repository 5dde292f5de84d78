// morva: reads the command line and picks the mode; everything else lives in
// the libraries.

#include <iostream>

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

}  // namespace

int main(int argc, char** argv) {
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
        const ProgressStyle style = options.quiet             ? ProgressStyle::Quiet
                                    : ErrorStreamIsTerminal() ? ProgressStyle::Terminal
                                                              : ProgressStyle::Log;
        return RunBatch(request, style);
    }
    return RunWindow(request, [&options](std::string* reason) { return MakeWindow(reason, options.zoom); });
}
