#include "session/batch.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ostream>

#include "engine/iteration_group.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/headless_window.h"
#include "platform/terminal.h"
#include "platform/uniform_random.h"

namespace morva {

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted.store(true); }

}  // namespace

std::string RenderSummary(std::int64_t groups, double seconds) {
    const double points = static_cast<double>(groups) * kGroupSteps;
    char text[160];
    std::snprintf(text, sizeof text, "morva: %lld groups, %.0f points in %.2f s (%.1f M points/s)\n",
                  static_cast<long long>(groups), points, seconds,
                  seconds > 0 ? points / seconds / 1e6 : 0.0);
    return text;
}

int RunDescribe(const SessionConfig& config, std::ostream& out, std::ostream& err) {
    try {
        UniformRandom uniform;
        uniform.SeedFromClock();
        PosixFileSystem files;
        auto startSeed = static_cast<std::int32_t>(uniform.Next() * 2147483648.0);
        Scene scene = LoadScene(files, config.folder, startSeed, config.numberFormat);
        out << DescribeScene(scene);
        return 0;
    } catch (const MorvaError& error) {
        err << "morva: " << error.what() << std::endl;
        return 1;
    }
}

int RunBatchWith(FrmMorva& session, std::ostream& err, ProgressDisplay& progress) {
    const auto start = std::chrono::steady_clock::now();
    session.SetProgressListener([&progress](const ProgressInputs& in) { progress.Update(in); });
    try {
        const auto outcome = session.Form_Load();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        progress.Finish();
        if (outcome == FrmMorva::Outcome::Refused) return 1;
        session.SaveFiles();
        session.SaveExports();
        err << RenderSummary(session.GroupsTraced(), seconds);
        if (session.Engine().offPicture > 0) {
            err << "morva: " << session.Engine().offPicture
                << " points had a pixel coordinate beyond the 32-bit range or not a number; they were not "
                   "plotted\n";
        }
        if (outcome == FrmMorva::Outcome::Stopped) {
            err << "morva: interrupted after " << session.GroupsTraced()
                << " groups; the files hold the counts so far" << std::endl;
            return 130;
        }
        return outcome == FrmMorva::Outcome::Finished ? 0 : 1;
    } catch (const MorvaError& error) {
        progress.Finish();
        err << "morva: " << error.what() << std::endl;
        return 1;
    }
}

int RunBatch(const SessionConfig& config, std::ostream& err, ProgressStyle style) {
    HeadlessWindow window;
    ProgressDisplay progress(err, style, ErrorStreamColumns);
    SystemClock clock;
    UniformRandom uniform;
    PosixFileSystem files;
    FrmMorva session(window, clock, uniform, files, config, err);
    interrupted.store(false);
    session.SetStopFlag(&interrupted);
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);
    int code = RunBatchWith(session, err, progress);
    sigaction(SIGINT, &previous, nullptr);
    return code;
}

}  // namespace morva
