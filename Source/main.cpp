// morva: picks window or batch mode; everything else lives in the libraries.

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/terminal.h"
#include "platform/uniform_random.h"
#include "raster/colour_table.h"
#include "session/batch.h"
#include "session/frm_morva.h"
#include "session/options.h"
#ifdef MORVA_HAVE_SDL
#include "platform/sdl_window.h"
#endif

using namespace morva;

namespace {

int RunWindow(const SessionConfig& config, const Options& options) {
#ifdef MORVA_HAVE_SDL
    std::string reason;
    SdlWindowOptions windowOptions;
    windowOptions.colours = WindowColourTable();
    windowOptions.zoom = options.zoom;
    std::unique_ptr<Window> window = CreateSdlWindow(&reason, windowOptions);
    if (!window) {
        std::cerr << "morva: cannot open a window: " << reason << "\n"
                  << "morva: to render without a display, run: morva --batch"
                  << (options.folder.empty() ? "" : " --dir " + options.folder) << "\n";
        return 2;
    }
    SystemClock clock;
    UniformRandom uniform;
    PosixFileSystem files;
    FrmMorva session(*window, clock, uniform, files, config, std::cerr);
    try {
        const auto start = std::chrono::steady_clock::now();
        auto outcome = session.Form_Load();
        if (outcome == FrmMorva::Outcome::Unloaded) return 0;
        if (outcome == FrmMorva::Outcome::Finished) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::cerr << RenderSummary(session.GroupsTraced(), seconds) << std::flush;
        }
        if (outcome == FrmMorva::Outcome::Finished) session.SaveExports();
        session.ServeUntilClosed();
        return outcome == FrmMorva::Outcome::Refused ? 1 : 0;
    } catch (const MorvaError& error) {
        std::cerr << "morva: " << error.what() << std::endl;
        window->ShowError(error.what());
        return 1;
    }
#else
    (void)config;
    (void)options;
    std::cerr << "morva: this build has no window; run: morva --batch\n";
    return 2;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const MorvaError& error) {
        std::cerr << "morva: " << error.what();
        return 2;
    }
    if (options.help) {
        std::cout << UsageText();
        return 0;
    }
    if (options.version) {
        std::cout << "morva 1.1\n";
        return 0;
    }
    SessionConfig config;
    config.folder = options.folder.empty() ? ProgramFolder() : options.folder;
    config.numberFormat = UserNumberFormat();
    config.threads = options.threads > 0
                         ? options.threads
                         : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    config.reference = options.reference;
    config.outFolder = options.outFolder;
    config.exports = options.exports;

    if (options.describe) return RunDescribe(config, std::cout, std::cerr);
    if (options.batch) {
        const ProgressStyle style = options.quiet             ? ProgressStyle::Quiet
                                    : ErrorStreamIsTerminal() ? ProgressStyle::Terminal
                                                              : ProgressStyle::Log;
        return RunBatch(config, std::cerr, style);
    }
    return RunWindow(config, options);
}
