#include "platform/sdl_window.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/sdl_icon.h"

namespace morva {

namespace {

constexpr SDL_Color kBackground = {96, 0, 0, 255};
constexpr SDL_Color kPictureBlack = {0, 0, 0, 255};
constexpr SDL_Color kLabelText = {255, 0, 0, 255};

// The label font: DejaVu Sans Bold, the nearest free match for the bold
// 9.75-point face the label is laid out for (13 pixels at 96 dpi). Two
// lines of it fill the 31 visible rows of the strip.
constexpr int kLabelFontPixels = 13;
// A line too wide for the strip at that size (a seed of ten digits, a
// target of seven with both modes on) is drawn in a smaller size of the
// same face, down to this one, so that every line shows whole.
constexpr int kLabelSmallestFontPixels = 7;
constexpr int kLabelTextLeft = 2;
// The strip is 33 rows tall, but the client area ends after 31 of them.
constexpr int kLabelVisibleRows = kClientHeight - kLabelTop;
const char* const kDefaultLabelFonts[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",    // Debian, Ubuntu
    "/usr/share/fonts/dejavu-sans-fonts/DejaVuSans-Bold.ttf",  // Fedora
    "/usr/share/fonts/TTF/DejaVuSans-Bold.ttf",                // Arch
    "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
};

// A blocking wait returns at least this often, so that a caller that waits
// in a loop still gets to look at its own state.
constexpr Uint32 kWaitSliceMs = 250;
// No display shows more than about sixty frames a second.
constexpr Uint64 kFrameIntervalMs = 16;

// Key-down reports and key-state queries speak the virtual key codes of the
// session (Windows values); SDL speaks layout-dependent key codes plus
// positional scan codes.
struct KeyPair {
    SDL_Keycode key;
    int virtualKey;
};
constexpr KeyPair kNamedKeys[] = {
    {SDLK_BACKSPACE, 8},       {SDLK_TAB, 9},           {SDLK_RETURN, 13},
    {SDLK_KP_ENTER, 13},       {SDLK_LSHIFT, 16},       {SDLK_RSHIFT, 16},
    {SDLK_LCTRL, 17},          {SDLK_RCTRL, 17},        {SDLK_LALT, 18},
    {SDLK_RALT, 18},           {SDLK_PAUSE, 19},        {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, kKeyEscape}, {SDLK_SPACE, 32},        {SDLK_PAGEUP, 33},
    {SDLK_PAGEDOWN, 34},       {SDLK_END, 35},          {SDLK_HOME, 36},
    {SDLK_LEFT, 37},           {SDLK_UP, 38},           {SDLK_RIGHT, 39},
    {SDLK_DOWN, 40},           {SDLK_PRINTSCREEN, 44},  {SDLK_INSERT, 45},
    {SDLK_DELETE, 46},         {SDLK_LGUI, 91},         {SDLK_RGUI, 92},
    {SDLK_APPLICATION, 93},    {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107},
    {SDLK_KP_MINUS, 109},      {SDLK_KP_PERIOD, 110},   {SDLK_KP_DIVIDE, 111},
    {SDLK_NUMLOCKCLEAR, 144},  {SDLK_SCROLLLOCK, 145},  {SDLK_SEMICOLON, 186},
    {SDLK_EQUALS, 187},        {SDLK_COMMA, 188},       {SDLK_MINUS, 189},
    {SDLK_PERIOD, 190},        {SDLK_SLASH, 191},       {SDLK_BACKQUOTE, 192},
    {SDLK_LEFTBRACKET, 219},   {SDLK_BACKSLASH, 220},   {SDLK_RIGHTBRACKET, 221},
    {SDLK_QUOTE, 222},
};
constexpr int kVirtualKeyF1 = 112;
constexpr int kVirtualKeyF13 = 124;
constexpr int kVirtualKeyNumpad0 = 96;

// Letters and digits by position, for layouts whose keys give no Latin
// letter (Cyrillic, Greek): the key where A sits on a US keyboard is 'A'.
int VirtualKeyFromScancode(SDL_Scancode scancode) {
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return '0';
    return 0;
}

// 0 for keys that have no virtual key code; those are not reported.
int VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return kVirtualKeyF1 + (key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F24) return kVirtualKeyF13 + (key - SDLK_F13);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return kVirtualKeyNumpad0 + 1 + (key - SDLK_KP_1);
    if (key == SDLK_KP_0) return kVirtualKeyNumpad0;
    for (const KeyPair& pair : kNamedKeys) {
        if (pair.key == key) return pair.virtualKey;
    }
    return VirtualKeyFromScancode(scancode);
}

int ShiftStateFromSdl(Uint16 modifiers) {
    int shift = 0;
    if (modifiers & KMOD_SHIFT) shift |= 1;
    if (modifiers & KMOD_CTRL) shift |= 2;
    if (modifiers & KMOD_ALT) shift |= 4;
    return shift;
}

bool IsScancodeHeld(const Uint8* keys, int keyCount, SDL_Scancode scancode) {
    return scancode > SDL_SCANCODE_UNKNOWN && scancode < keyCount && keys[scancode] != 0;
}

bool IsKeyHeld(const Uint8* keys, int keyCount, SDL_Keycode key) {
    return IsScancodeHeld(keys, keyCount, SDL_GetScancodeFromKey(key));
}

bool IsVirtualKeyHeld(int virtualKey) {
    int keyCount = 0;
    const Uint8* keys = SDL_GetKeyboardState(&keyCount);
    if (!keys) return false;
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        return IsKeyHeld(keys, keyCount, SDLK_a + (virtualKey - 'A')) ||
               IsScancodeHeld(keys, keyCount, static_cast<SDL_Scancode>(SDL_SCANCODE_A + (virtualKey - 'A')));
    }
    if (virtualKey >= '0' && virtualKey <= '9') {
        const SDL_Scancode position = virtualKey == '0'
                                          ? SDL_SCANCODE_0
                                          : static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (virtualKey - '1'));
        return IsKeyHeld(keys, keyCount, SDLK_0 + (virtualKey - '0')) ||
               IsScancodeHeld(keys, keyCount, position);
    }
    if (virtualKey >= kVirtualKeyF1 && virtualKey < kVirtualKeyF1 + 12) {
        return IsKeyHeld(keys, keyCount, SDLK_F1 + (virtualKey - kVirtualKeyF1));
    }
    if (virtualKey >= kVirtualKeyF13 && virtualKey < kVirtualKeyF13 + 12) {
        return IsKeyHeld(keys, keyCount, SDLK_F13 + (virtualKey - kVirtualKeyF13));
    }
    if (virtualKey == kVirtualKeyNumpad0) return IsKeyHeld(keys, keyCount, SDLK_KP_0);
    if (virtualKey > kVirtualKeyNumpad0 && virtualKey <= kVirtualKeyNumpad0 + 9) {
        return IsKeyHeld(keys, keyCount, SDLK_KP_1 + (virtualKey - kVirtualKeyNumpad0 - 1));
    }
    bool held = false;
    for (const KeyPair& pair : kNamedKeys) {
        if (pair.virtualKey == virtualKey) held = held || IsKeyHeld(keys, keyCount, pair.key);
    }
    return held;
}

// The label's caption as lines: split at CR LF, where the progress text
// breaks its two lines, and at a lone LF too.
std::vector<std::string> SplitLabel(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::string NoDisplayReason() {
    const char* display = SDL_getenv("DISPLAY");
    std::string reason = "cannot open a display: no X11 or Wayland display answered";
    if (!display || !*display) return reason + " (DISPLAY is not set)";
    return reason + " (DISPLAY is " + Quoted(display) + ")";
}

void StopVideo() {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // The last user of SDL shuts it down whole, which also ends its D-Bus
    // connection.
    if (SDL_WasInit(0) == 0) SDL_Quit();
}

bool IsDisplayNamed() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = SDL_getenv(name);
        if (value && *value) return true;
    }
    return false;
}

// An X server now and then drops a new connection during its handshake
// (seen with Xvfb while clients come and go quickly); a moment later the
// same display answers. Only a display that is named is worth the wait.
constexpr int kDisplayAttempts = 3;
constexpr Uint32 kDisplayRetryMs = 50;

// The video drivers worth trying, from the display variables: asked for
// nothing, SDL would also try drivers whose failure prints noise of its own
// (Wayland's client library complains on stderr when XDG_RUNTIME_DIR is
// unset). Empty when no display is named at all.
std::string NamedDisplayDrivers() {
    std::string drivers;
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    const char* runtime = SDL_getenv("XDG_RUNTIME_DIR");
    if (wayland && *wayland && (wayland[0] == '/' || (runtime && *runtime))) drivers = "wayland";
    const char* x11 = SDL_getenv("DISPLAY");
    if (x11 && *x11) drivers += drivers.empty() ? "x11" : ",x11";
    return drivers;
}

bool StartVideo(std::string* error) {
    // A driver the user names is the user's choice, the memory-only ones
    // included. Otherwise only the drivers of a display that is named: SDL
    // would fall back to drawing into memory with nobody to see it.
    const char* named = SDL_getenv("SDL_VIDEODRIVER");
    const bool userDriver = named && *named;
    if (!userDriver) {
        const std::string drivers = NamedDisplayDrivers();
        if (drivers.empty()) {
            if (error) *error = NoDisplayReason();
            return false;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    }
    for (int attempt = 1;; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        if (attempt < kDisplayAttempts && IsDisplayNamed()) {
            SDL_Delay(kDisplayRetryMs);
            continue;
        }
        if (error)
            *error = userDriver ? std::string("cannot open a display: ") + SDL_GetError() : NoDisplayReason();
        return false;
    }
}

class SdlWindow final : public Window {
public:
    explicit SdlWindow(const SdlWindowOptions& options)
        : bitsPerPixel_(options.bitsPerPixel),
          colours_(options.colours),
          picture_(
              static_cast<std::size_t>(kPictureWidth) * ((options.bitsPerPixel + 7) / 8) * kPictureHeight,
              0) {}
    ~SdlWindow() override;
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;

    bool Open(const SdlWindowOptions& options, std::string* error);
    SDL_Window* Handle() const { return window_; }

    void SetHandler(WindowHandler* handler) override { handler_ = handler; }
    PictureMemory Picture() override;
    void Show() override;
    void ProcessMessages() override;
    bool WaitMessages() override;
    void Repaint() override { Present(); }
    bool FrameDue() const override;
    void SetLabel(const std::string& text) override;
    void ShowError(const std::string& message) override;
    std::int16_t KeyState(int virtualKey) override;
    void SetColours(const ColourTable& colours) override;
    void ShowTrueColour(const std::vector<std::uint8_t>& rgb) override;
    bool ShowsTrueColour() const override { return true; }

private:
    bool ApplyColours();
    void OpenLabelFont(const SdlWindowOptions& options);
    TTF_Font* LabelFontOfSize(int pixels);
    TTF_Font* FittingLabelFont(const std::vector<std::string>& lines);
    void FreeLabelLines();
    void RenderLabel();
    void Dispatch(const SDL_Event& event);
    void Present();
    void DrawPicture(SDL_Surface* screen);
    void DrawZoomedPicture(SDL_Surface* screen, SDL_Surface* source);
    void DrawLabel(SDL_Surface* screen);
    int ChooseZoom(int requested) const;

    int bitsPerPixel_;
    ColourTable colours_;
    int zoom_ = 1;
    SDL_Surface* unzoomed_ = nullptr;    // the picture in the screen's format, for zooming
    std::vector<std::uint8_t> picture_;  // bottom row first
    bool videoStarted_ = false;
    bool ttfStarted_ = false;
    SDL_Window* window_ = nullptr;
    Uint32 windowId_ = 0;
    SDL_Surface* pictureSurface_ = nullptr;  // 8-bit, top row first, colour table as palette
    SDL_Surface* trueColour_ = nullptr;      // 24-bit, top row first, shown in its place once set
    TTF_Font* labelFont_ = nullptr;          // at the label's own size
    std::string labelFontPath_;
    std::map<int, TTF_Font*> smallerLabelFonts_;  // by pixel size, opened when first needed
    TTF_Font* labelLinesFont_ = nullptr;          // the one labelLines_ were drawn with
    std::vector<SDL_Surface*> labelLines_;
    std::string labelText_;
    bool labelRendered_ = true;  // labelLines_ show labelText_
    WindowHandler* handler_ = nullptr;
    bool repaintPending_ = false;
    Uint64 lastPumpTicks_ = ~Uint64{0};
    Uint64 lastPresentTicks_ = 0;
    bool presented_ = false;
};

SdlWindow::~SdlWindow() {
    FreeLabelLines();
    for (const auto& [pixels, font] : smallerLabelFonts_) {
        if (font) TTF_CloseFont(font);
    }
    if (labelFont_) TTF_CloseFont(labelFont_);
    if (ttfStarted_) TTF_Quit();
    if (pictureSurface_) SDL_FreeSurface(pictureSurface_);
    if (trueColour_) SDL_FreeSurface(trueColour_);
    if (unzoomed_) SDL_FreeSurface(unzoomed_);
    if (window_) SDL_DestroyWindow(window_);
    if (videoStarted_) StopVideo();
}

bool SdlWindow::Open(const SdlWindowOptions& options, std::string* error) {
    auto fail = [error](const std::string& what) {
        if (error) *error = what + ": " + SDL_GetError();
        return false;
    };

    // The window's close button is reported to the handler; SDL must not
    // turn it into a second, separate quit request as well.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A long render is no reason to keep the screen saver away.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // The window system's own framebuffer is plenty for one small picture
    // repainted a few times a second; SDL would otherwise bring up OpenGL
    // (a software rasteriser under Xvfb) just to copy it.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (!StartVideo(error)) return false;
    videoStarted_ = true;

    zoom_ = ChooseZoom(options.zoom);
    window_ = SDL_CreateWindow(kWindowCaption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               kClientWidth * zoom_, kClientHeight * zoom_, SDL_WINDOW_HIDDEN);
    if (!window_) return fail("cannot create the window");
    windowId_ = SDL_GetWindowID(window_);
    SetSdlWindowIcon(window_);

    pictureSurface_ =
        SDL_CreateRGBSurfaceWithFormat(0, kPictureWidth, kPictureHeight, 8, SDL_PIXELFORMAT_INDEX8);
    if (!pictureSurface_) return fail("cannot create the window picture");
    if (!ApplyColours()) return fail("cannot set the colour table of the window picture");

    OpenLabelFont(options);
    return true;
}

bool SdlWindow::ApplyColours() {
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = {colours_[i].r, colours_[i].g, colours_[i].b, 255};
    return SDL_SetPaletteColors(pictureSurface_->format->palette, colours, 0, 256) == 0;
}

void SdlWindow::SetColours(const ColourTable& colours) {
    colours_ = colours;
    // A window that keeps its old colours still shows the picture.
    if (pictureSurface_ && !ApplyColours())
        std::fprintf(stderr, "morva: cannot change the colours of the window picture (%s)\n", SDL_GetError());
}

void SdlWindow::ShowTrueColour(const std::vector<std::uint8_t>& rgb) {
    constexpr std::size_t kRowBytes = static_cast<std::size_t>(kPictureWidth) * 3;
    if (rgb.size() != kRowBytes * kPictureHeight) return;
    if (!trueColour_)
        trueColour_ =
            SDL_CreateRGBSurfaceWithFormat(0, kPictureWidth, kPictureHeight, 24, SDL_PIXELFORMAT_RGB24);
    if (!trueColour_) {
        // The window keeps its 8-bit picture.
        std::fprintf(stderr, "morva: cannot show the coloured picture in the window (%s)\n", SDL_GetError());
        return;
    }
    auto* rows = static_cast<std::uint8_t*>(trueColour_->pixels);
    for (int y = 0; y < kPictureHeight; ++y) {
        std::memcpy(rows + static_cast<std::size_t>(kPictureHeight - 1 - y) * trueColour_->pitch,
                    rgb.data() + static_cast<std::size_t>(y) * kRowBytes, kRowBytes);
    }
}

void SdlWindow::OpenLabelFont(const SdlWindowOptions& options) {
    std::vector<std::string> candidates = options.labelFonts;
    if (candidates.empty()) candidates.assign(std::begin(kDefaultLabelFonts), std::end(kDefaultLabelFonts));
    if (TTF_Init() != 0) {
        std::fprintf(stderr, "morva: cannot start the font renderer (%s); the status text is not shown\n",
                     TTF_GetError());
        return;
    }
    ttfStarted_ = true;
    for (const std::string& path : candidates) {
        // Text drawn at its own size, not enlarged: sharp at every zoom.
        labelFont_ = TTF_OpenFont(path.c_str(), kLabelFontPixels * zoom_);
        if (labelFont_) {
            labelFontPath_ = path;
            return;
        }
    }
    std::string tried;
    for (const std::string& path : candidates) tried += (tried.empty() ? "" : ", ") + path;
    std::fprintf(stderr, "morva: no font for the status text (tried %s); the status text is not shown\n",
                 tried.c_str());
}

int SdlWindow::ChooseZoom(int requested) const {
    if (requested > 0) return requested;
    SDL_DisplayMode mode{};
    SDL_Rect usable{};
    float dotsPerInch = 0.0f;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || SDL_GetDisplayUsableBounds(0, &usable) != 0) return 1;
    if (SDL_GetDisplayDPI(0, nullptr, &dotsPerInch, nullptr) != 0) dotsPerInch = 0.0f;
    return DefaultZoom(mode.w, dotsPerInch, usable.w, usable.h);
}

PictureMemory SdlWindow::Picture() { return DescribePicture(picture_.data(), bitsPerPixel_); }

void SdlWindow::Show() {
    SDL_ShowWindow(window_);
    Present();
}

void SdlWindow::Dispatch(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:  // a termination signal
            if (handler_) handler_->OnClose();
            break;
        case SDL_WINDOWEVENT:
            if (event.window.windowID != windowId_) break;
            switch (event.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    if (handler_) handler_->OnClose();
                    break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                case SDL_WINDOWEVENT_RESTORED:
                    repaintPending_ = true;
                    break;
                default:
                    break;
            }
            break;
        case SDL_KEYDOWN: {
            if (event.key.windowID != windowId_) break;
            const int virtualKey = VirtualKeyFromSdl(event.key.keysym.sym, event.key.keysym.scancode);
            if (virtualKey != 0 && handler_)
                handler_->OnKeyDown(virtualKey, ShiftStateFromSdl(event.key.keysym.mod));
            break;
        }
        default:
            break;
    }
}

void SdlWindow::ProcessMessages() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) Dispatch(event);
    if (repaintPending_) Present();
}

bool SdlWindow::WaitMessages() {
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, kWaitSliceMs)) Dispatch(event);
    ProcessMessages();
    return true;
}

void SdlWindow::FreeLabelLines() {
    for (SDL_Surface* line : labelLines_) SDL_FreeSurface(line);
    labelLines_.clear();
}

void SdlWindow::SetLabel(const std::string& text) {
    // Drawn with the next frame: a render sets the text far more often than
    // frames are shown.
    if (text == labelText_) return;
    labelText_ = text;
    labelRendered_ = false;
}

TTF_Font* SdlWindow::LabelFontOfSize(int pixels) {
    if (pixels == kLabelFontPixels * zoom_) return labelFont_;
    auto found = smallerLabelFonts_.find(pixels);
    if (found == smallerLabelFonts_.end())
        found = smallerLabelFonts_.emplace(pixels, TTF_OpenFont(labelFontPath_.c_str(), pixels)).first;
    return found->second;
}

TTF_Font* SdlWindow::FittingLabelFont(const std::vector<std::string>& lines) {
    const int room = (kClientWidth - 2 * kLabelTextLeft) * zoom_;
    TTF_Font* font = labelFont_;
    int pixels = kLabelFontPixels * zoom_;
    for (;;) {
        int widest = 0;
        for (const std::string& line : lines) {
            int width = 0;
            if (!line.empty() && TTF_SizeUTF8(font, line.c_str(), &width, nullptr) == 0)
                widest = std::max(widest, width);
        }
        if (widest <= room || pixels <= kLabelSmallestFontPixels * zoom_) return font;
        // Widths grow about in proportion to the size; the next look
        // settles the rounding.
        pixels =
            std::max(kLabelSmallestFontPixels * zoom_,
                     std::min(pixels - 1, static_cast<int>(static_cast<long long>(pixels) * room / widest)));
        TTF_Font* smaller = LabelFontOfSize(pixels);
        if (!smaller) return font;
        font = smaller;
    }
}

void SdlWindow::RenderLabel() {
    // Rendered once per text; every repaint until the next text only copies.
    FreeLabelLines();
    labelRendered_ = true;
    if (!labelFont_) return;
    const std::vector<std::string> lines = SplitLabel(labelText_);
    labelLinesFont_ = FittingLabelFont(lines);
    for (const std::string& line : lines) {
        // An empty line renders as nothing (SDL_ttf refuses zero width) but
        // still takes its place.
        labelLines_.push_back(
            line.empty() ? nullptr : TTF_RenderUTF8_Blended(labelLinesFont_, line.c_str(), kLabelText));
    }
}

void SdlWindow::DrawPicture(SDL_Surface* screen) {
    SDL_Rect area = {0, 0, kPictureWidth * zoom_, kPictureHeight * zoom_};
    if (bitsPerPixel_ != 8) {
        // Only an 8-bit picture has a meaning on screen.
        SDL_FillRect(screen, &area,
                     SDL_MapRGB(screen->format, kPictureBlack.r, kPictureBlack.g, kPictureBlack.b));
        return;
    }
    SDL_Surface* source = trueColour_;
    if (!source) {
        // The picture is stored bottom row first; the screen wants the top
        // first.
        auto* rows = static_cast<std::uint8_t*>(pictureSurface_->pixels);
        for (int y = 0; y < kPictureHeight; ++y) {
            const std::uint8_t* from = picture_.data() + static_cast<std::size_t>(y) * kPictureWidth;
            std::memcpy(rows + static_cast<std::size_t>(kPictureHeight - 1 - y) * pictureSurface_->pitch,
                        from, kPictureWidth);
        }
        source = pictureSurface_;
    }
    if (zoom_ == 1) {
        SDL_BlitSurface(source, nullptr, screen, &area);
    } else {
        DrawZoomedPicture(screen, source);
    }
}

void SdlWindow::DrawZoomedPicture(SDL_Surface* screen, SDL_Surface* source) {
    // Through the colour table (or from the true-colour picture) into the
    // screen's own format at the picture's size, then each pixel copied
    // zoom x zoom times: nearest neighbour by construction, so every colour
    // stays exact.
    if (!unzoomed_ || unzoomed_->format->format != screen->format->format) {
        if (unzoomed_) SDL_FreeSurface(unzoomed_);
        unzoomed_ =
            SDL_CreateRGBSurfaceWithFormat(0, kPictureWidth, kPictureHeight, 0, screen->format->format);
        if (!unzoomed_) return;
    }
    SDL_BlitSurface(source, nullptr, unzoomed_, nullptr);
    if (SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) != 0) return;
    const int bytes = screen->format->BytesPerPixel;
    const std::size_t zoomedRow = static_cast<std::size_t>(kPictureWidth) * zoom_ * bytes;
    for (int y = 0; y < kPictureHeight; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(unzoomed_->pixels) +
                          static_cast<std::size_t>(y) * unzoomed_->pitch;
        auto* first =
            static_cast<std::uint8_t*>(screen->pixels) + static_cast<std::size_t>(y) * zoom_ * screen->pitch;
        for (int x = 0; x < kPictureWidth; ++x) {
            for (int copy = 0; copy < zoom_; ++copy)
                std::memcpy(first + (static_cast<std::size_t>(x) * zoom_ + copy) * bytes, row + x * bytes,
                            bytes);
        }
        for (int copy = 1; copy < zoom_; ++copy) std::memcpy(first + copy * screen->pitch, first, zoomedRow);
    }
    if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
}

void SdlWindow::DrawLabel(SDL_Surface* screen) {
    if (labelLines_.empty()) return;
    const int stripTop = kLabelTop * zoom_;
    const int stripRows = kLabelVisibleRows * zoom_;
    SDL_Rect strip = {0, stripTop, kClientWidth * zoom_, stripRows};
    SDL_SetClipRect(screen, &strip);
    // Lines closer than the font's own line skip where two would not
    // otherwise fit the strip: the second line, descenders and all, ends a
    // pixel above the window's lower edge. The first line gives up the
    // empty top rows of its glyphs for that, not ink.
    const int lineHeight = TTF_FontHeight(labelLinesFont_);
    const int bottomMargin = zoom_;
    const int lineStep =
        std::max(1, std::min(TTF_FontLineSkip(labelLinesFont_), stripRows - lineHeight - bottomMargin));
    int top = stripTop;
    for (SDL_Surface* line : labelLines_) {
        if (top >= stripTop + stripRows) break;
        if (line) {
            SDL_Rect place = {kLabelTextLeft * zoom_, top, line->w, line->h};
            SDL_BlitSurface(line, nullptr, screen, &place);
        }
        top += lineStep;
    }
    SDL_SetClipRect(screen, nullptr);
}

bool SdlWindow::FrameDue() const {
    return !presented_ || SDL_GetTicks64() - lastPresentTicks_ >= kFrameIntervalMs;
}

void SdlWindow::Present() {
    repaintPending_ = false;
    if (!labelRendered_) RenderLabel();
    SDL_Surface* screen = SDL_GetWindowSurface(window_);
    if (!screen) return;  // nothing to draw on; the next expose tries again
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, kBackground.r, kBackground.g, kBackground.b));
    DrawPicture(screen);
    DrawLabel(screen);
    SDL_UpdateWindowSurface(window_);
    presented_ = true;
    lastPresentTicks_ = SDL_GetTicks64();
}

void SdlWindow::ShowError(const std::string& message) {
    // The caller reports the message elsewhere too, so a box that cannot be
    // shown is not an error of its own.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, kWindowCaption, message.c_str(), window_);
}

std::int16_t SdlWindow::KeyState(int virtualKey) {
    // The render asks for every key at once; one look at the event queue a
    // millisecond is as fresh as any hand on a keyboard.
    const Uint64 now = SDL_GetTicks64();
    if (now != lastPumpTicks_) {
        SDL_PumpEvents();
        lastPumpTicks_ = now;
    }
    return IsVirtualKeyHeld(virtualKey) ? static_cast<std::int16_t>(-128) : static_cast<std::int16_t>(0);
}

bool IsPictureDepth(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            return true;
        default:
            return false;
    }
}

}  // namespace

int DefaultZoom(int screenWidth, float dotsPerInch, int usableWidth, int usableHeight) {
    // From one and a half times the usual 96 dots per inch, a window of 640
    // pixels is too small to read at arm's length.
    constexpr int kWideScreen = 2560;
    constexpr float kHighDensity = 144.0f;
    const bool large = screenWidth >= kWideScreen || dotsPerInch >= kHighDensity;
    const bool fits = usableWidth >= 2 * kClientWidth && usableHeight >= 2 * kClientHeight;
    return large && fits ? 2 : 1;
}

std::unique_ptr<Window> CreateSdlWindow(std::string* error, const SdlWindowOptions& options) {
    if (!IsPictureDepth(options.bitsPerPixel)) {
        if (error)
            *error = "unsupported picture depth: " + std::to_string(options.bitsPerPixel) + " bits per pixel";
        return nullptr;
    }
    auto window = std::make_unique<SdlWindow>(options);
    if (!window->Open(options, error)) return nullptr;
    return window;
}

SDL_Window* SdlWindowHandle(Window& window) {
    auto* sdlWindow = dynamic_cast<SdlWindow*>(&window);
    return sdlWindow ? sdlWindow->Handle() : nullptr;
}

}  // namespace morva
