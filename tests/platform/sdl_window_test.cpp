#include "platform/sdl_window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "raster/colour_table.h"

namespace morva {
namespace {

constexpr Rgb kStrip = {96, 0, 0};
constexpr Rgb kBlack = {0, 0, 0};
constexpr char kDejaVuBold[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// The windows of these tests share one connection to the display, held from
// the first window to the end of the run: an X server now and then drops a
// connection made right after another one closed, and a fresh connection per
// test made the run flaky.
bool HoldDisplay() {
    static const bool held = [] {
        const char* display = std::getenv("DISPLAY");
        return display && *display && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    }();
    return held;
}

class ReleaseDisplay final : public testing::Environment {
public:
    void TearDown() override {
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_Quit();
    }
};
[[maybe_unused]] testing::Environment* const releaseDisplay =
    testing::AddGlobalTestEnvironment(new ReleaseDisplay);

struct Screen {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;
    Rgb At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// What the window has presented, read back from its surface.
Screen ReadScreen(SDL_Window* window) {
    Screen screen;
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface) return screen;
    screen.width = surface->w;
    screen.height = surface->h;
    SDL_LockSurface(surface);
    const int bytes = surface->format->BytesPerPixel;
    for (int y = 0; y < surface->h; ++y) {
        const auto* row =
            static_cast<const Uint8*>(surface->pixels) + static_cast<std::size_t>(y) * surface->pitch;
        for (int x = 0; x < surface->w; ++x) {
            Uint32 value = 0;
            std::memcpy(&value, row + x * bytes, bytes);
            Rgb pixel{};
            SDL_GetRGB(value, surface->format, &pixel.r, &pixel.g, &pixel.b);
            screen.pixels.push_back(pixel);
        }
    }
    SDL_UnlockSurface(surface);
    return screen;
}

class RecordingHandler final : public WindowHandler {
public:
    void OnKeyDown(int keyCode, int shift) override { keys.emplace_back(keyCode, shift); }
    void OnClose() override { ++closes; }
    std::vector<std::pair<int, int>> keys;
    int closes = 0;
};

class SdlWindowTest : public testing::Test {
protected:
    void SetUp() override {
        if (!HoldDisplay()) GTEST_SKIP() << "no display; run under xvfb-run";
        std::string error;
        SdlWindowOptions options;
        options.colours = WindowColourTable();
        options.zoom = 1;
        window_ = CreateSdlWindow(&error, options);
        ASSERT_NE(window_, nullptr) << error;
        handle_ = SdlWindowHandle(*window_);
        ASSERT_NE(handle_, nullptr);
        window_->SetHandler(&handler_);
    }

    void TearDown() override {
        if (!window_) return;
        const Uint32 id = SDL_GetWindowID(handle_);
        window_.reset();
        EXPECT_EQ(SDL_GetWindowFromID(id), nullptr) << "the SDL window outlived its owner";
    }

    void PushKey(SDL_Keycode key, SDL_Scancode scancode, Uint16 modifiers, Uint32 windowId = 0) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.windowID = windowId ? windowId : SDL_GetWindowID(handle_);
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = key;
        event.key.keysym.scancode = scancode;
        event.key.keysym.mod = modifiers;
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    void PushWindowEvent(SDL_WindowEventID what, Uint32 windowId = 0) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = windowId ? windowId : SDL_GetWindowID(handle_);
        event.window.event = what;
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    std::uint8_t& PictureByte(int x, int y) {
        PictureMemory memory = window_->Picture();
        return memory.bits[static_cast<std::size_t>(y) * memory.widthBytes + x];
    }

    std::unique_ptr<Window> window_;
    SDL_Window* handle_ = nullptr;
    RecordingHandler handler_;
};

// Counts the strip's text pixels by band: rows 480..495 hold the first line,
// 496..510 the second. Every pixel of the strip must be a shade between the
// background and the text red.
struct LabelInk {
    int firstLine = 0;
    int secondLine = 0;
    int rightmost = -1;
    int foreign = 0;  // neither background nor a shade of the text red
};

LabelInk MeasureLabel(const Screen& screen) {
    LabelInk ink;
    for (int y = kLabelTop; y < kClientHeight; ++y) {
        for (int x = 0; x < kClientWidth; ++x) {
            const Rgb pixel = screen.At(x, y);
            // Blending the faintest edge of a glyph may round one below
            // the background.
            if (pixel.g != 0 || pixel.b != 0 || pixel.r < kStrip.r - 1) {
                ++ink.foreign;
                continue;
            }
            if (pixel.r <= kStrip.r) continue;
            (y < kLabelTop + 16 ? ink.firstLine : ink.secondLine) += 1;
            ink.rightmost = std::max(ink.rightmost, x);
        }
    }
    return ink;
}

int PictureAreaMismatches(const Screen& screen, Rgb expected) {
    int mismatches = 0;
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) mismatches += screen.At(x, y) == expected ? 0 : 1;
    }
    return mismatches;
}

TEST_F(SdlWindowTest, IsAFixedSizeCaptionedWindowHiddenUntilShown) {
    EXPECT_STREQ(SDL_GetWindowTitle(handle_), "MORVA 1.1");
    EXPECT_TRUE(SDL_GetWindowFlags(handle_) & SDL_WINDOW_HIDDEN);
    window_->Show();
    window_->ProcessMessages();
    EXPECT_TRUE(SDL_GetWindowFlags(handle_) & SDL_WINDOW_SHOWN);
    EXPECT_FALSE(SDL_GetWindowFlags(handle_) & SDL_WINDOW_RESIZABLE);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(handle_, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 511);
    const Screen screen = ReadScreen(handle_);
    EXPECT_EQ(screen.width, 640);
    EXPECT_EQ(screen.height, 511);
}

TEST_F(SdlWindowTest, StartsAsBlackPictureAboveEmptyDarkRedStrip) {
    PictureMemory memory = window_->Picture();
    ASSERT_NE(memory.bits, nullptr);
    EXPECT_EQ(memory.bitsPerPixel, 8);
    EXPECT_EQ(memory.widthBytes, 640);
    EXPECT_EQ(memory.height, 480);
    for (int i = 0; i < 640 * 480; ++i) ASSERT_EQ(memory.bits[i], 0) << "byte " << i;

    window_->Show();
    const Screen screen = ReadScreen(handle_);
    ASSERT_EQ(screen.height, kClientHeight);
    EXPECT_EQ(PictureAreaMismatches(screen, kBlack), 0);
    for (int y = kLabelTop; y < kClientHeight; ++y) {
        for (int x = 0; x < kClientWidth; ++x) ASSERT_EQ(screen.At(x, y), kStrip) << x << ", " << y;
    }
}

TEST_F(SdlWindowTest, ShowsPictureThroughColourTableBottomRowFirst) {
    window_->Show();
    // Every value appears, in a pattern that is not symmetric in x or y.
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) PictureByte(x, y) = static_cast<std::uint8_t>(x * 7 + y * 3);
    }
    PictureByte(0, 0) = 255;
    PictureByte(1, 0) = 1;
    PictureByte(639, 479) = 128;
    window_->Repaint();

    Screen screen = ReadScreen(handle_);
    ASSERT_EQ(screen.height, kClientHeight);
    EXPECT_EQ(screen.At(0, 479), (Rgb{254, 255, 254}));  // bottom-left byte
    EXPECT_EQ(screen.At(1, 479), (Rgb{0, 2, 0}));
    EXPECT_EQ(screen.At(639, 0), (Rgb{64, 191, 64}));  // top-right byte
    EXPECT_EQ(screen.At(0, 480), kStrip);
    const auto& table = WindowColourTable();
    int mismatches = 0;
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            mismatches += screen.At(x, kPictureHeight - 1 - y) == table[PictureByte(x, y)] ? 0 : 1;
        }
    }
    EXPECT_EQ(mismatches, 0);

    // A repaint shows the picture as it is now, not as it was.
    PictureMemory memory = window_->Picture();
    std::fill(memory.bits, memory.bits + 640 * 480, 0);
    window_->Repaint();
    screen = ReadScreen(handle_);
    EXPECT_EQ(PictureAreaMismatches(screen, kBlack), 0);
}

// A true-colour picture whose every pixel differs from its neighbours,
// bottom row first, and the colour of its pixel (x, y).
std::vector<std::uint8_t> TrueColourPattern() {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x)
            rgb.insert(rgb.end(), {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                   static_cast<std::uint8_t>(x * 5 + y * 11)});
    }
    return rgb;
}
Rgb TrueColourAt(const std::vector<std::uint8_t>& rgb, int x, int y) {
    const std::uint8_t* pixel = &rgb[(static_cast<std::size_t>(y) * kPictureWidth + x) * 3];
    return {pixel[0], pixel[1], pixel[2]};
}

TEST_F(SdlWindowTest, ShowsATrueColourPictureInPlaceOfTheEightBitOne) {
    window_->Show();
    const std::vector<std::uint8_t> rgb = TrueColourPattern();
    window_->ShowTrueColour(rgb);
    PictureByte(0, 0) = 200;  // no longer shown
    window_->Repaint();
    const Screen screen = ReadScreen(handle_);
    int mismatches = 0;
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x)
            mismatches += screen.At(x, kPictureHeight - 1 - y) == TrueColourAt(rgb, x, y) ? 0 : 1;
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(screen.At(0, 480), kStrip);
}

TEST(SdlWindowZoom, EveryPixelBecomesASquareOfItsExactColour) {
    if (!HoldDisplay()) GTEST_SKIP() << "no display; run under xvfb-run";
    SdlWindowOptions options;
    options.colours = WindowColourTable();
    options.zoom = 2;
    std::string error;
    auto window = CreateSdlWindow(&error, options);
    ASSERT_NE(window, nullptr) << error;
    PictureMemory memory = window->Picture();
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x)
            memory.bits[y * kPictureWidth + x] = static_cast<std::uint8_t>(x * 7 + y * 3);
    }
    window->SetLabel("1280 of 16000 groups traced\r\nBuilding time: 00:00:06:400; seed: 12345");
    window->Show();
    const Screen screen = ReadScreen(SdlWindowHandle(*window));
    ASSERT_EQ(screen.width, 2 * kClientWidth);
    ASSERT_EQ(screen.height, 2 * kClientHeight);
    const auto& table = WindowColourTable();
    int mismatches = 0;
    for (int y = 0; y < 2 * kPictureHeight; ++y) {
        for (int x = 0; x < 2 * kPictureWidth; ++x) {
            const std::uint8_t byte = memory.bits[(kPictureHeight - 1 - y / 2) * kPictureWidth + x / 2];
            mismatches += screen.At(x, y) == table[byte] ? 0 : 1;
        }
    }
    EXPECT_EQ(mismatches, 0);
    // Both lines of text, descenders included, lie on the strip's visible rows.
    int firstLine = 0;
    int secondLine = 0;
    for (int y = 2 * kLabelTop; y < 2 * kClientHeight; ++y) {
        for (int x = 0; x < 2 * kClientWidth; ++x) {
            if (screen.At(x, y).r > 200) (y < 2 * kLabelTop + 31 ? firstLine : secondLine) += 1;
        }
    }
    EXPECT_GT(firstLine, 400);
    EXPECT_GT(secondLine, 400);

    // A true-colour picture is zoomed alike.
    const std::vector<std::uint8_t> rgb = TrueColourPattern();
    window->ShowTrueColour(rgb);
    window->Repaint();
    const Screen coloured = ReadScreen(SdlWindowHandle(*window));
    mismatches = 0;
    for (int y = 0; y < 2 * kPictureHeight; ++y) {
        for (int x = 0; x < 2 * kPictureWidth; ++x)
            mismatches += coloured.At(x, y) == TrueColourAt(rgb, x / 2, kPictureHeight - 1 - y / 2) ? 0 : 1;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(SdlWindowZoom, LongLabelLinesShowWholeInASmallerSize) {
    if (!HoldDisplay()) GTEST_SKIP() << "no display; run under xvfb-run";
    if (!std::filesystem::exists(kDejaVuBold)) GTEST_SKIP() << "no " << kDejaVuBold;
    for (const int zoom : {1, 2}) {
        SdlWindowOptions options;
        options.zoom = zoom;
        std::string error;
        auto window = CreateSdlWindow(&error, options);
        ASSERT_NE(window, nullptr) << error;
        // A seven-digit target with both modes on, a seed of ten digits.
        window->SetLabel(
            "1234567 of 9999999 groups traced; 12%; Speed: 12345 gps; HiRes Output; High Speed\r\n"
            "Building time: 01:02:03:004; estimated time remaining: 123:45:06:789; seed: 2147483647");
        window->Show();
        const Screen screen = ReadScreen(SdlWindowHandle(*window));
        int rightmost = -1;
        int bottomRowInk = 0;
        for (int y = zoom * kLabelTop; y < zoom * kClientHeight; ++y) {
            for (int x = 0; x < screen.width; ++x) {
                if (screen.At(x, y).r <= kStrip.r + 8) continue;
                rightmost = std::max(rightmost, x);
                bottomRowInk += y == screen.height - 1 ? 1 : 0;
            }
        }
        EXPECT_GT(rightmost, screen.width / 2) << "zoom " << zoom;
        EXPECT_LT(rightmost, screen.width - zoom) << "zoom " << zoom << ": a line runs off the window";
        EXPECT_EQ(bottomRowInk, 0) << "zoom " << zoom << ": the second line is cut at the bottom";
    }
}

TEST(SdlWindowZoom, DoublesOnWideOrDenseScreensWhereTheWindowFits) {
    EXPECT_EQ(DefaultZoom(2559, 96.0f, 2559, 1400), 1);
    EXPECT_EQ(DefaultZoom(2560, 96.0f, 2560, 1400), 2);
    EXPECT_EQ(DefaultZoom(3840, 0.0f, 3840, 2100), 2);
    EXPECT_EQ(DefaultZoom(1920, 144.0f, 1920, 1080), 2);
    EXPECT_EQ(DefaultZoom(1920, 143.9f, 1920, 1080), 1);
    EXPECT_EQ(DefaultZoom(1920, 166.0f, 1920, 1000), 1) << "1022 rows do not fit";
}

TEST_F(SdlWindowTest, DrawsTheLabelAsTwoRedLinesOnTheStrip) {
    if (!std::filesystem::exists(kDejaVuBold)) GTEST_SKIP() << "no " << kDejaVuBold;
    // The longest caption the progress report writes in practice.
    window_->SetLabel(
        "1280 of 16000 groups traced; 8%; Speed: 200 gps; HiRes Output; High Speed\r\n"
        "Building time: 00:00:06:400; estimated time remaining: 00:01:13:600; seed: 12345");
    window_->Show();
    Screen screen = ReadScreen(handle_);
    LabelInk ink = MeasureLabel(screen);
    EXPECT_GT(ink.firstLine, 200);
    EXPECT_GT(ink.secondLine, 200);
    EXPECT_EQ(ink.foreign, 0);
    EXPECT_LT(ink.rightmost, kClientWidth - 1) << "a line runs off the window";
    int edgeInk = 0;
    for (int x = 0; x < kClientWidth; ++x) edgeInk += screen.At(x, kClientHeight - 1).r > kStrip.r ? 1 : 0;
    EXPECT_EQ(edgeInk, 0) << "the descenders of the second line reach the window's edge and are cut";
    EXPECT_EQ(PictureAreaMismatches(screen, kBlack), 0) << "text leaks into the picture";

    window_->SetLabel("One line only");
    window_->Repaint();
    ink = MeasureLabel(ReadScreen(handle_));
    EXPECT_GT(ink.firstLine, 50);
    EXPECT_EQ(ink.secondLine, 0);

    window_->SetLabel("\r\nSecond line only");
    window_->Repaint();
    ink = MeasureLabel(ReadScreen(handle_));
    EXPECT_EQ(ink.firstLine, 0);
    EXPECT_GT(ink.secondLine, 50);

    window_->SetLabel("");
    window_->Repaint();
    ink = MeasureLabel(ReadScreen(handle_));
    EXPECT_EQ(ink.firstLine + ink.secondLine + ink.foreign, 0);
}

TEST_F(SdlWindowTest, ShowsNoMoreFramesThanADisplayCanAndTheTextWithTheNextFrame) {
    if (!std::filesystem::exists(kDejaVuBold)) GTEST_SKIP() << "no " << kDejaVuBold;
    EXPECT_TRUE(window_->FrameDue()) << "the first frame";
    const Uint64 before = SDL_GetTicks64();
    window_->Show();
    const bool due = window_->FrameDue();
    // (Unless this test itself was held up that long.)
    if (SDL_GetTicks64() - before < 16) {
        EXPECT_FALSE(due) << "a frame was just shown";
    }
    SDL_Delay(40);
    EXPECT_TRUE(window_->FrameDue());

    window_->SetLabel("One line only");
    EXPECT_EQ(MeasureLabel(ReadScreen(handle_)).firstLine, 0) << "text is drawn with a frame";
    window_->Repaint();
    EXPECT_GT(MeasureLabel(ReadScreen(handle_)).firstLine, 50);
}

TEST_F(SdlWindowTest, ReportsKeysAsVirtualKeyCodesWithShiftState) {
    window_->Show();
    window_->ProcessMessages();
    handler_.keys.clear();
    PushKey(SDLK_F11, SDL_SCANCODE_F11, KMOD_LSHIFT | KMOD_RCTRL);
    PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, KMOD_NONE);
    PushKey(SDLK_a, SDL_SCANCODE_A, KMOD_LALT);
    PushKey(SDLK_z, SDL_SCANCODE_Z, KMOD_RSHIFT | KMOD_LCTRL | KMOD_RALT);
    PushKey(SDLK_0, SDL_SCANCODE_0, KMOD_NUM);  // lock keys are not shift state
    PushKey(SDLK_9, SDL_SCANCODE_9, KMOD_CAPS);
    PushKey(SDLK_F1, SDL_SCANCODE_F1, KMOD_NONE);
    PushKey(SDLK_F12, SDL_SCANCODE_F12, KMOD_NONE);
    PushKey(SDLK_KP_0, SDL_SCANCODE_KP_0, KMOD_NONE);
    PushKey(SDLK_KP_9, SDL_SCANCODE_KP_9, KMOD_NONE);
    PushKey(SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT);
    PushKey(0x0444, SDL_SCANCODE_A, KMOD_NONE);                // Cyrillic layout: by position
    PushKey(SDLK_VOLUMEUP, SDL_SCANCODE_VOLUMEUP, KMOD_NONE);  // no code: not reported
    PushKey(SDLK_F11, SDL_SCANCODE_F11, KMOD_NONE, SDL_GetWindowID(handle_) + 100);  // not ours
    window_->ProcessMessages();
    const std::vector<std::pair<int, int>> expected = {
        {122, 3}, {27, 0},  {65, 4}, {90, 7},  {48, 0}, {57, 0},
        {112, 0}, {123, 0}, {96, 0}, {105, 0}, {16, 1}, {65, 0},
    };
    EXPECT_EQ(handler_.keys, expected);
}

TEST_F(SdlWindowTest, CloseButtonAndQuitRequestEachCloseOnce) {
    window_->Show();
    window_->ProcessMessages();
    EXPECT_EQ(handler_.closes, 0);
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    window_->ProcessMessages();
    EXPECT_EQ(handler_.closes, 1);
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE, SDL_GetWindowID(handle_) + 100);
    window_->ProcessMessages();
    EXPECT_EQ(handler_.closes, 1);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    window_->ProcessMessages();
    EXPECT_EQ(handler_.closes, 2);
}

TEST_F(SdlWindowTest, WaitMessagesServesWhatComesAndNeverBlocksForLong) {
    window_->Show();
    window_->ProcessMessages();
    PushKey(SDLK_F11, SDL_SCANCODE_F11, KMOD_NONE);
    EXPECT_TRUE(window_->WaitMessages());
    EXPECT_EQ(handler_.keys, (std::vector<std::pair<int, int>>{{122, 0}}));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(window_->WaitMessages());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// A real key press goes through the X server, where xdotool can make one.
TEST_F(SdlWindowTest, KeyStateReadsNegativeWhileTheKeyIsHeld) {
    window_->Show();
    for (int key : {kKeyEscape, kKeyF11, int{'A'}, int{'0'}, 16, 96, -1, 0, 255, 256, 100000}) {
        EXPECT_EQ(window_->KeyState(key), 0) << key;
    }
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
    SDL_RaiseWindow(handle_);
    int left = 0;
    int top = 0;
    SDL_GetWindowPosition(handle_, &left, &top);
    const std::string pointer =
        "xdotool mousemove " + std::to_string(left + 100) + " " + std::to_string(top + 100);
    ASSERT_EQ(std::system(pointer.c_str()), 0);
    SDL_SetWindowInputFocus(handle_);
    SDL_Delay(100);
    window_->ProcessMessages();
    handler_.keys.clear();

    auto waitFor = [&](auto done) {
        for (int attempt = 0; attempt < 1000 && !done(); ++attempt)
            SDL_Delay(10);  // generous for busy machines
        return done();
    };
    ASSERT_EQ(std::system("xdotool keydown Escape"), 0);
    EXPECT_TRUE(waitFor([&] { return window_->KeyState(kKeyEscape) < 0; }));
    EXPECT_EQ(window_->KeyState(kKeyF11), 0);
    ASSERT_EQ(std::system("xdotool keyup Escape"), 0);
    EXPECT_TRUE(waitFor([&] { return window_->KeyState(kKeyEscape) == 0; }));

    ASSERT_EQ(std::system("xdotool keydown shift key F11 keyup shift"), 0);
    EXPECT_TRUE(waitFor([&] {
        window_->ProcessMessages();
        return handler_.keys.size() >= 3;
    }));
    // Escape, Shift, then F11 with Shift held.
    EXPECT_EQ(handler_.keys, (std::vector<std::pair<int, int>>{{27, 0}, {16, 1}, {122, 1}}));
}

TEST(SdlWindowOptions, ReportsTheRequestedDepthAndRefusesImpossibleOnes) {
    for (int depth : {0, 7, 33, -8}) {
        std::string error;
        EXPECT_EQ(CreateSdlWindow(&error, {depth, {}}), nullptr) << depth;
        EXPECT_NE(error.find("depth"), std::string::npos) << error;
    }
    if (!HoldDisplay()) GTEST_SKIP() << "no display; run under xvfb-run";
    std::string error;
    auto window = CreateSdlWindow(&error, {24, {}});
    ASSERT_NE(window, nullptr) << error;
    PictureMemory memory = window->Picture();
    EXPECT_EQ(memory.bitsPerPixel, 24);
    EXPECT_EQ(memory.widthBytes, 1920);
    EXPECT_EQ(memory.height, 480);
    std::fill(memory.bits, memory.bits + 1920 * 480, 200);  // the whole buffer is there to write
    window->Show();
    EXPECT_EQ(PictureAreaMismatches(ReadScreen(SdlWindowHandle(*window)), kBlack), 0);
}

TEST(SdlWindowOptions, WorksWithoutALabelFontAndSaysSoOnce) {
    if (!HoldDisplay()) GTEST_SKIP() << "no display; run under xvfb-run";
    std::string error;
    testing::internal::CaptureStderr();
    auto window = CreateSdlWindow(&error, {8, {"/nonexistent/first.ttf", "/nonexistent/second.ttf"}});
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_NE(window, nullptr) << error;
    EXPECT_NE(said.find("/nonexistent/second.ttf"), std::string::npos) << said;
    EXPECT_EQ(said.find("morva:"), said.rfind("morva:")) << said;

    window->SetLabel("1 of 2 groups traced\r\nBuilding time: 00:00:00:001");
    window->Show();
    const Screen screen = ReadScreen(SdlWindowHandle(*window));
    const LabelInk ink = MeasureLabel(screen);
    EXPECT_EQ(ink.firstLine + ink.secondLine + ink.foreign, 0);
}

// Opens a window in a child process of its own, started afresh, with the
// given display settings (null: unset), and says on stderr what happened:
// "[opened]" or "[<error>]". The parent's display and SDL stay untouched.
[[noreturn]] void OpenWindowWithDisplay(const char* display, const char* driver) {
    unsetenv("WAYLAND_DISPLAY");
    display ? setenv("DISPLAY", display, 1) : unsetenv("DISPLAY");
    driver ? setenv("SDL_VIDEODRIVER", driver, 1) : unsetenv("SDL_VIDEODRIVER");
    std::string error;
    auto window = CreateSdlWindow(&error);
    std::fprintf(stderr, "[%s]\n", window ? "opened" : error.c_str());
    std::exit(0);
}

TEST(SdlWindowDeathTest, WithoutADisplayFailsWithAReason) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // SDL itself would fall back to an invisible window in memory here.
    EXPECT_EXIT(OpenWindowWithDisplay(nullptr, nullptr), testing::ExitedWithCode(0),
                "\\[cannot open a display: .*DISPLAY is not set.*\\]");
    EXPECT_EXIT(OpenWindowWithDisplay(":4321", nullptr), testing::ExitedWithCode(0),
                "\\[cannot open a display: .*DISPLAY is \":4321\".*\\]");
    // Quoted as every name from outside is: no escape reaches the terminal.
    EXPECT_EXIT(OpenWindowWithDisplay(":1\x1b[2J", nullptr), testing::ExitedWithCode(0),
                "DISPLAY is \":1\\\\x1b\\[2J\"");
    EXPECT_EXIT(OpenWindowWithDisplay(nullptr, "x11"), testing::ExitedWithCode(0),
                "\\[cannot open a display: .+\\]");
    // Asked for by name, the memory-only driver is the user's choice.
    EXPECT_EXIT(OpenWindowWithDisplay(nullptr, "dummy"), testing::ExitedWithCode(0), "\\[opened\\]");
}

}  // namespace
}  // namespace morva
