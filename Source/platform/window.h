#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raster/picture.h"

namespace morva {

// Virtual key codes as the session knows them.
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyF11 = 122;

// A key's state as the platform reports it: a signed 16-bit word whose high
// bit (a negative value) is set while the key is held down.
using KeyStateWord = std::int16_t;
inline bool IsKeyDown(KeyStateWord state) { return state < 0; }

// Window geometry, fixed at design time: the picture (raster/picture.h) at
// the top left of the client area, the status label beneath it.
inline constexpr int kClientWidth = 640;
inline constexpr int kClientHeight = 511;
inline constexpr int kLabelTop = 480;
inline constexpr int kLabelHeight = 33;
inline constexpr char kWindowCaption[] = "MORVA 1.1";

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
    virtual KeyStateWord KeyState(int virtualKey) = 0;
    // Shows the picture through other colours from the next repaint on.
    virtual void SetColours(const ColourTable&) {}
    // From the next repaint on, shows these 640 x 480 pixels (red, green,
    // blue, bottom row first) in place of the 8-bit picture: a finished
    // picture that one colour table cannot hold. A window nobody sees
    // ignores them.
    virtual void ShowTrueColour(const std::vector<std::uint8_t>& /*rgb*/) {}
    // Whether ShowTrueColour shows anything, so that no picture is made
    // for a window nobody sees.
    virtual bool ShowsTrueColour() const { return false; }
};

}  // namespace morva
