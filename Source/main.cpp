// morva: reads the command line and picks the mode; everything else lives in
// the libraries.

#include <unistd.h>

#include <iostream>

#include "platform/error.h"
#include "session/fit.h"
#include "session/options.h"
#include "session/run.h"
#include "session/scene_check.h"
#ifdef MORVA_HAVE_SDL
#include "platform/sdl_window.h"
#endif

using namespace morva;

namespace {

std::unique_ptr<Window> MakeWindow(std::string* reason) {
#ifdef MORVA_HAVE_SDL
    return CreateSdlWindow(reason);
#else
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
    const RunRequest request = MakeRunRequest(options);
    if (options.check)
        return RunPrinting([&](std::ostream& out) { return RunCheck(request.session, out, std::cerr); });
    if (options.fit)
        return RunPrinting([&](std::ostream& out) { return RunFit(request.session, out, std::cerr); });
    if (options.describe) return RunDescribe(request);
    if (options.batch) return RunBatch(request, isatty(STDERR_FILENO) != 0);
    return RunWindow(request, MakeWindow);
}
