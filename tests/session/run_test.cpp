#include "session/run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

#include "platform/clock.h"
#include "platform/processors.h"
#include "platform/uniform_random.h"
#include "session/options.h"
#include "support/fake_file_system.h"
#include "support/scripted_window.h"

namespace morva {
namespace {

class FakeClock final : public Clock {
public:
    std::uint32_t tick = 1000;
    std::uint32_t TickCount() override { return tick += 7; }
    float SecondsSinceMidnight() override { return 100.25f; }
};

// The fern at its own seed: target is the header's groups per exposure.
std::string Fern(const std::string& target, const std::string& extra = "") {
    return "h 45 45 320 15 1 1 " + target +
           " 4\r\n"
           "a 0.01 0 0 0 0.16 0 0\r\n"
           "a 0.85 0.85 0.04 -0.04 0.85 0 1.6\r\n"
           "a 0.07 0.2 -0.26 0.23 0.22 0 1.6\r\n"
           "a 0.07 -0.15 0.28 0.26 0.24 0 0.44\r\n"
           "_setseed 12345\r\n" +
           extra;
}

// One run of a session on the fake platform, stopped by a signal number
// that the test sets.
struct BatchOrWindowRun {
    explicit BatchOrWindowRun(const std::string& sceneText) {
        files.files["/scene/MORVA.TXT"] = sceneText;
        request.session.folder = "/scene";
        request.session.threads = 2;
    }
    int Render(RunMode mode = RunMode::Batch, ProgressDisplay* progress = nullptr) {
        session = std::make_unique<FrmMorva>(window, clock, uniform, files, request.session, log);
        session->SetStopFlag(&signal);
        if (progress)
            session->SetProgressListener([progress](const ProgressInputs& in) { progress->Update(in); });
        return RunRender(*session, mode, log, progress);
    }

    test::ScriptedWindow window;
    FakeClock clock;
    UniformRandom uniform;
    test::FakeFileSystem files;
    std::ostringstream log;
    std::atomic<int> signal{0};
    RunRequest request;
    std::unique_ptr<FrmMorva> session;
};

TEST(MakeRunRequest, RunsNoMoreThreadsThanProcessors) {
    Options options;
    EXPECT_EQ(MakeRunRequest(options).session.threads, UsableProcessors());
    options.threads = 256;
    EXPECT_EQ(MakeRunRequest(options).session.threads, UsableProcessors()) << "threads beyond the processors";
    options.threads = 1;
    EXPECT_EQ(MakeRunRequest(options).session.threads, 1);
}

TEST(RunRender, ASignalWritesTheCountsSoFarButNothingBeforeTheFirstGroup) {
    BatchOrWindowRun early(Fern("1000"));
    early.signal = SIGINT;  // came while the scene was read
    EXPECT_EQ(early.Render(), 130);
    EXPECT_TRUE(early.files.writes.empty()) << "files of no counts would replace good ones";
    EXPECT_NE(early.log.str().find("SIGINT before the first group was traced; no file was written"),
              std::string::npos)
        << early.log.str();

    BatchOrWindowRun late(Fern("1000"));
    late.request.session.exports.picture = "/scene/picture.bmp";
    // The first progress text comes after group 128.
    late.window.SetLabelListener([&late](const std::string&) { late.signal = SIGTERM; });
    EXPECT_EQ(late.Render(), 128 + SIGTERM);
    EXPECT_EQ(late.files.writes, (std::vector<std::string>{"/scene/MORVA.BMP", "/scene/picture.bmp"}))
        << "a stopped render writes its files from the counts so far";
    EXPECT_NE(
        late.log.str().find("interrupted by SIGTERM after 129 groups; the files hold the counts so far"),
        std::string::npos)
        << late.log.str();

    BatchOrWindowRun whole(Fern("128"));  // a target of 128 traces 129 groups
    EXPECT_EQ(whole.Render(), 0);
    EXPECT_TRUE(late.files.files["/scene/MORVA.BMP"] == whole.files.files["/scene/MORVA.BMP"]);
}

TEST(RunRender, EveryOutputIsCheckedBeforeTheFirstGroup) {
    BatchOrWindowRun run(Fern("1000", "D\r\n"));
    run.request.session.exports.picture = "/elsewhere/picture.bmp";
    run.files.refusedPath = run.request.session.exports.picture;
    EXPECT_EQ(run.Render(), 1);
    EXPECT_EQ(run.files.checks,
              (std::vector<std::string>{"/scene/MORVAHD.BMP", "/scene/MORVA.BMP", "/elsewhere/picture.bmp"}));
    EXPECT_EQ(run.session->GroupsTraced(), 0);
    EXPECT_TRUE(run.files.writes.empty());
    ASSERT_EQ(run.window.Errors().size(), 1u);
    EXPECT_EQ(run.window.Errors()[0], "Cannot write \"/elsewhere/picture.bmp\": it is a folder");

    // Two outputs of one name: the one written last would replace the other.
    for (const RunMode mode : {RunMode::Batch, RunMode::Window}) {
        BatchOrWindowRun clash(Fern("1000"));
        clash.request.session.exports.picture = "/scene/./MORVA.BMP";
        EXPECT_EQ(clash.Render(mode), 1);
        EXPECT_EQ(clash.session->GroupsTraced(), 0);
        EXPECT_TRUE(clash.files.writes.empty());
        ASSERT_EQ(clash.window.Errors().size(), 1u);
        EXPECT_NE(clash.window.Errors()[0].find("\"/scene/./MORVA.BMP\": "), std::string::npos);
        EXPECT_NE(clash.window.Errors()[0].find("name the same file, and one would replace the other; give "
                                                "--picture a name of its own"),
                  std::string::npos)
            << clash.window.Errors()[0];
    }
}

TEST(RunRender, AnOutputThatRunsOutOfMemoryIsReportedAndTheNextIsStillWritten) {
    BatchOrWindowRun run(Fern("200"));
    run.request.session.exports.picture = "/scene/picture.bmp";
    run.files.outOfMemoryPath = "/scene/MORVA.BMP";
    EXPECT_EQ(run.Render(), 1);
    EXPECT_EQ(run.files.files.count("/scene/picture.bmp"), 1u);
    EXPECT_NE(run.log.str().find("morva: out of memory while writing \"/scene/MORVA.BMP\"\n"),
              std::string::npos)
        << run.log.str();
    EXPECT_NE(run.log.str().find("morva: wrote \"/scene/picture.bmp\"\n"), std::string::npos)
        << run.log.str();
}

TEST(RunRender, TheBatchDisplayEndsAtTheTargetAndTheLabelAtItsLastStep) {
    // 201 groups: the last progress step is at 128.
    BatchOrWindowRun run(Fern("200"));
    std::ostringstream shown;
    ProgressDisplay progress(shown, ProgressStyle::Log, nullptr);
    EXPECT_EQ(run.Render(RunMode::Batch, &progress), 0);
    EXPECT_EQ(shown.str().find("morva: 100%, 200 of 200 groups"), 0u) << shown.str();
    EXPECT_EQ(run.window.Label().find("128 of 200 groups traced; 64%"), 0u) << run.window.Label();
}

TEST(RunRender, BothModesReportPointsThatCouldNotBePlotted) {
    for (const RunMode mode : {RunMode::Window, RunMode::Batch}) {
        BatchOrWindowRun run("h 45 45 320 15 1 1 10 1\r\na 1 0 0 0 0 1e300 0\r\n");
        EXPECT_EQ(run.Render(mode), 0);
        EXPECT_NE(run.log.str().find("22528 not plotted"), std::string::npos) << run.log.str();
    }
}

}  // namespace
}  // namespace morva
