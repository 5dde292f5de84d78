#include "session/frm_morva.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

#include "engine/group_renderer.h"
#include "platform/clock.h"
#include "platform/uniform_random.h"
#include "raster/bmp_writer.h"
#include "support/fake_file_system.h"
#include "support/scripted_window.h"

namespace morva {
namespace {

// A clock that advances a fixed step at every read.
class FakeClock final : public Clock {
public:
    std::uint32_t tick = 1000;
    std::uint32_t tickStep = 7;
    double seconds = 100.25;
    double secondsStep = 0.0;
    std::uint32_t TickCount() override { return tick += tickStep; }
    float SecondsSinceMidnight() override { return static_cast<float>(seconds += secondsStep); }
};

const char kFern[] =
    "h 45 45 320 15 1 10 100 4\r\n"
    "a 0.01 0 0 0 0.16 0 0\r\n"
    "a 0.85 0.85 0.04 -0.04 0.85 0 1.6\r\n"
    "a 0.07 0.2 -0.26 0.23 0.22 0 1.6\r\n"
    "a 0.07 -0.15 0.28 0.26 0.24 0 0.44\r\n"
    "_setseed 12345\r\n";

std::string FernWithTarget(const std::string& groupsPerExposure, const std::string& exposure = "1",
                           const std::string& extra = "") {
    std::string scene = kFern;
    scene.replace(scene.find("10 100"), 6, exposure + " " + groupsPerExposure);
    return scene + extra;
}

struct Session {
    explicit Session(const std::string& sceneText, int threads = 2, int bitsPerPixel = 8)
        : window(bitsPerPixel) {
        files.files["/scene/MORVA.TXT"] = sceneText;
        SessionConfig config;
        config.folder = "/scene";
        config.threads = threads;
        session = std::make_unique<FrmMorva>(window, clock, uniform, files, config, log);
    }
    test::ScriptedWindow window;
    FakeClock clock;
    UniformRandom uniform;
    test::FakeFileSystem files;
    std::ostringstream log;
    std::unique_ptr<FrmMorva> session;
};

// The count file that the reference loop gives after n groups of a scene.
std::string ReferenceCountFile(const std::string& sceneText, int groups) {
    Scene scene = ParseScene(sceneText, 0, NumberFormat{});
    std::vector<std::uint8_t> picture(640 * 480);
    Raster raster;
    raster.MapFrameSurface({picture.data(), 8, 640, 480});
    EngineState state;
    state.RandSeed = scene.settings.RandSeed;
    UniformRandom uniform;
    for (int g = 0; g < groups; ++g) DrawFrameFr(scene, state, raster, uniform);
    auto bytes = EncodeCountBmp(raster.HitBuffer(), scene.settings.Exposure);
    return std::string(bytes.begin(), bytes.end());
}

TEST(RenderLoop, TracesTargetPlusOneGroupsAndStopsTheLabelAtTheLastMultipleOf128) {
    Session s(FernWithTarget("1000"));
    EXPECT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Finished);
    EXPECT_EQ(s.session->GroupsTraced(), 1001);
    EXPECT_EQ(s.session->GroupsDone(), 1000);
    const std::string& label = s.window.Label();
    EXPECT_EQ(label.substr(0, label.find("\r\n")),
              "896 of 1000 groups traced; 89%; Speed: 0 gps; High Speed");
    EXPECT_NE(label.find("; seed: 12345"), std::string::npos);
}

TEST(RenderLoop, SpeedCountsTheGroupsOfThePreviousWholeSecond) {
    Session s(FernWithTarget("1000"));
    s.clock.secondsStep = 1.0 / 64;  // one clock read per pass: 64 passes a second
    EXPECT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Finished);
    EXPECT_NE(s.window.Label().find("Speed: 64 gps"), std::string::npos) << s.window.Label();
}

TEST(RenderLoop, TargetOf1024EndsWithAFullLabel) {
    Session s(FernWithTarget("1024"));
    EXPECT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Finished);
    EXPECT_EQ(s.session->GroupsTraced(), 1025);
    EXPECT_NE(s.window.Label().find("1024 of 1024 groups traced; 100%"), std::string::npos);
    EXPECT_NE(s.window.Label().find("estimated time remaining: 00:00:00:000"), std::string::npos);
}

TEST(RenderLoop, ZeroOrNegativeTargetTracesOneGroupAndStillToneMaps) {
    for (const char* target : {"0", "-5"}) {
        Session s(FernWithTarget(target));
        EXPECT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Finished) << target;
        EXPECT_EQ(s.session->GroupsTraced(), 1) << target;
        EXPECT_EQ(s.session->GroupsDone(), 0) << target;
        EXPECT_EQ(s.window.Label(), "") << "no group completed, so no text";
        std::int64_t ink = 0;
        for (auto byte : s.window.PictureBytes()) ink += byte;
        EXPECT_GT(ink, 0) << target;
    }
}

TEST(RenderLoop, FinalPictureIsTheToneMappedCountsOnEveryThreadCount) {
    std::vector<std::uint8_t> pictures[3];
    for (int threads : {1, 2, 3}) {
        Session s(FernWithTarget("300", "2", "D \r\n"), threads);
        ASSERT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Finished);
        s.session->SaveFiles();
        pictures[threads - 1] = s.window.PictureBytes();
        EXPECT_EQ(s.files.files["/scene/MORVA.BMP"],
                  ReferenceCountFile(FernWithTarget("300", "2", "D \r\n"), 9601));
        if (threads == 1) {
            EXPECT_EQ(s.files.writes.front(), "/scene/MORVAHD.BMP") << "the large file is written first";
        }
    }
    EXPECT_EQ(pictures[0], pictures[1]);
    EXPECT_EQ(pictures[0], pictures[2]);
}

TEST(RenderLoop, FramesTheDisplayCannotShowAreSkippedButTheLastOneIsShown) {
    Session every(FernWithTarget("1000"));
    ASSERT_EQ(every.session->Form_Load(), FrmMorva::Outcome::Finished);
    EXPECT_EQ(every.window.RepaintCount(), 9) << "after groups 0, 128, ..., 896, and the final picture";

    Session busy(FernWithTarget("1000"));
    busy.window.SetFrameDue(false);
    ASSERT_EQ(busy.session->Form_Load(), FrmMorva::Outcome::Finished);
    EXPECT_EQ(busy.window.RepaintCount(), 1);
    EXPECT_EQ(busy.window.PictureBytes(), every.window.PictureBytes());
    EXPECT_EQ(busy.window.Label(), every.window.Label()) << "the text follows the render all the same";
}

TEST(RenderLoop, F11MidRenderSavesExactlyTheGroupsDoneAndTheRenderGoesOn) {
    Session s(FernWithTarget("1000"));
    s.window.QueueKeyDown(kKeyF11, /*shift=*/2);  // Ctrl+F11 saves as F11 does
    s.window.HoldEventsUntilCall(3);              // start-up, then after 128, then after 256 groups
    EXPECT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Finished);
    ASSERT_EQ(s.files.writes.size(), 1u);
    EXPECT_EQ(s.files.files["/scene/MORVA.BMP"], ReferenceCountFile(FernWithTarget("1000"), 256));
    EXPECT_EQ(s.session->GroupsTraced(), 1001);
}

TEST(RenderLoop, EscapeHeldAtAPollEndsBeforeTheGroup) {
    Session s(FernWithTarget("1000"));
    s.window.SetKeyHeld(kKeyEscape, true);
    EXPECT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Unloaded);
    EXPECT_EQ(s.session->GroupsTraced(), 0);
    EXPECT_TRUE(s.files.writes.empty());
}

TEST(RenderLoop, ClosingTheWindowEndsAtTheNextMessageProcessingWithoutToneMapping) {
    Session s(FernWithTarget("1000"));
    s.window.QueueClose();
    s.window.HoldEventsUntilCall(2);
    EXPECT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Unloaded);
    EXPECT_EQ(s.session->GroupsTraced(), 128);
    // The picture is still the preview, each byte its saturated count, not
    // the square-root curve of the final picture.
    s.session->SaveFiles();
    const auto& hits = s.session->CurrentRaster().HitBuffer();
    for (int k = 0; k < 640 * 480; ++k)
        ASSERT_EQ(s.window.PictureBytes()[k], std::min(hits.Data()[k], 255)) << k;
}

TEST(RenderLoop, StopFlagEndsAtTheNextPass) {
    Session s(FernWithTarget("1000"));
    std::atomic<int> stop{SIGTERM};
    s.session->SetStopFlag(&stop);
    EXPECT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Stopped);
    EXPECT_EQ(s.session->GroupsTraced(), 0);
}

TEST(StartUp, PictureThatIsNotEightBitIsRefusedBeforeAnyFileIsRead) {
    Session s("this is not read", 1, /*bitsPerPixel=*/24);
    EXPECT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Refused);
    ASSERT_EQ(s.window.Errors().size(), 1u);
    EXPECT_EQ(s.window.Errors()[0], " 8-bit bitmaps only");
    EXPECT_EQ(s.window.ShowCount(), 1) << "the window opens after the message and waits to be closed";
    EXPECT_EQ(s.window.Label(), "");
    EXPECT_EQ(s.session->GroupsTraced(), 0);
}

TEST(StartUp, F11BeforeTheSceneIsReadSavesNothingAndSaysWhy) {
    Session s(FernWithTarget("10"));
    s.window.QueueKeyDown(kKeyF11);  // delivered at the start-up's message processing
    EXPECT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Finished);
    EXPECT_TRUE(s.files.writes.empty());
    ASSERT_EQ(s.window.Errors().size(), 1u);
    EXPECT_NE(s.window.Errors()[0].find("no scene"), std::string::npos);
}

TEST(StartUp, RefusedSceneThrowsWithItsReason) {
    Session s("h 45 45 320 15 1 0 100 4\r\na 1 0.5 0 0 0.5 0 0\r\n");
    try {
        s.session->Form_Load();
        FAIL() << "an exposure of 0 must be refused";
    } catch (const MorvaError& error) {
        EXPECT_NE(std::string(error.what()).find("exposure"), std::string::npos) << error.what();
    }
}

TEST(Export, FailedSaveIsReportedAndTheCountsAreKeptDuringAndAfterTheRender) {
    Session s(FernWithTarget("300"));
    s.files.failWrites = true;
    s.window.QueueKeyDown(kKeyF11);
    s.window.HoldEventsUntilCall(2);
    EXPECT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Finished);
    EXPECT_EQ(s.session->GroupsTraced(), 301);
    ASSERT_EQ(s.window.Errors().size(), 1u);
    EXPECT_NE(s.window.Errors()[0].find("No space left"), std::string::npos);
    EXPECT_NE(s.window.Errors()[0].find("The render goes on"), std::string::npos);
    EXPECT_NE(s.log.str().find("MORVA.BMP"), std::string::npos);
    s.session->Form_KeyDown(kKeyF11, 0);
    ASSERT_EQ(s.window.Errors().size(), 2u);
    EXPECT_NE(s.window.Errors()[1].find("The finished render and its counts are kept"), std::string::npos);
    s.files.failWrites = false;
    s.session->Form_KeyDown(kKeyF11, 0);  // after the render F11 saves at once
    EXPECT_EQ(s.files.files["/scene/MORVA.BMP"], ReferenceCountFile(FernWithTarget("300"), 301));
}

TEST(Export, SavingAfterTheRenderKeepsTheFinalPicture) {
    Session s(FernWithTarget("300", "4"));
    ASSERT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Finished);
    const std::vector<std::uint8_t> finalPicture = s.window.PictureBytes();
    const auto& hits = s.session->CurrentRaster().HitBuffer();
    for (int k = 0; k < 640 * 480; k += 97) {
        ASSERT_EQ(finalPicture[k], ToneCurve()[ClippedCount(hits.Data()[k], 4)]) << k;
    }
    s.session->Form_KeyDown(kKeyF11, 0);
    EXPECT_EQ(s.window.PictureBytes(), finalPicture);
}

TEST(Export, OtherKeysDoNothingAndEscapeAfterTheRenderIsIgnored) {
    Session s(FernWithTarget("10"));
    ASSERT_EQ(s.session->Form_Load(), FrmMorva::Outcome::Finished);
    s.window.QueueKeyDown('A');
    s.window.QueueKeyDown(kKeyEscape);
    s.window.QueueKeyDown(kKeyF11);
    s.window.QueueKeyDown(kKeyF11);
    s.session->ServeUntilClosed();
    EXPECT_FALSE(s.session->Unloaded());
    EXPECT_EQ(s.files.writes.size(), 2u);  // F11 twice: the same file twice
}

}  // namespace
}  // namespace morva
