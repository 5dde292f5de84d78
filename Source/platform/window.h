#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace morva {

// Virtual key codes as the session knows them.
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyF11 = 122;

// Window geometry, fixed at design time.
inline constexpr int kPictureWidth = 640;
inline constexpr int kPictureHeight = 480;
inline constexpr int kClientWidth = 640;
inline constexpr int kClientHeight = 511;
inline constexpr int kLabelTop = 480;
inline constexpr int kLabelHeight = 33;
inline constexpr char kWindowCaption[] = "MORVA 1.1";

// One entry of a picture's colour table.
struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// The colours through which an 8-bit picture is shown: entry i is the colour
// of byte value i.
using ColourTable = std::array<Rgb, 256>;

// The window picture's pixel memory as the platform describes it: one byte
// per pixel, bottom row first.
struct PictureMemory {
    std::uint8_t* bits = nullptr;
    int bitsPerPixel = 0;
    int widthBytes = 0;  // bytes per pixel row
    int height = 0;      // rows
};

// Bytes per row of a picture of the window's width at a bit depth.
inline int PictureWidthBytes(int bitsPerPixel) { return kPictureWidth * ((bitsPerPixel + 7) / 8); }

// The memory of a picture that a window keeps in one byte block.
inline PictureMemory DescribePicture(std::uint8_t* bits, int bitsPerPixel) {
    return {bits, bitsPerPixel, PictureWidthBytes(bitsPerPixel), kPictureHeight};
}

// What the window reports to its owner while it processes its messages.
class WindowHandler {
public:
    virtual ~WindowHandler() = default;
    virtual void OnKeyDown(int keyCode, int shift) = 0;
    virtual void OnClose() = 0;
};

// The one window of the program: its 8-bit picture drawn through the colour
// table of WindowColourTable(), the two-line status label beneath it, key
// events, key state and the modal error box.
class Window {
public:
    virtual ~Window() = default;

    virtual void SetHandler(WindowHandler* handler) = 0;
    virtual PictureMemory Picture() = 0;
    virtual void Show() = 0;
    // Serves every pending event (key-down, close, expose) and returns.
    virtual void ProcessMessages() = 0;
    // Blocks until at least one event arrived and serves it. Returns false
    // when no event can ever come again (a headless window with nothing left
    // to report), so that the caller stops waiting.
    virtual bool WaitMessages() = 0;
    virtual void Repaint() = 0;
    // Whether a repaint now would reach the eye: a window need not show
    // more frames than its display can, and a batch run's window shows
    // none, so the render skips drawing the others. The last repaint of a
    // render is always made.
    virtual bool FrameDue() const { return true; }
    virtual void SetLabel(const std::string& text) = 0;
    virtual void ShowError(const std::string& message) = 0;
    // High bit set (a negative value) while the key is held down.
    virtual std::int16_t KeyState(int virtualKey) = 0;
    // Shows the picture through other colours from the next repaint on.
    virtual void SetColours(const ColourTable&) {}
};

}  // namespace morva
