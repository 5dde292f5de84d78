#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"

// SDL stays out of the headers; only the SDL backend's own sources include it.
struct SDL_Window;

namespace morva {

struct SdlWindowOptions {
    // What Picture() reports. Only an 8-bit picture is drawn (through the
    // colour table); other depths exist so that the session's refusal of
    // them can be exercised against a real window, whose picture then stays
    // black.
    int bitsPerPixel = 8;
    // Fonts for the status label, tried in order; empty means the usual
    // places of DejaVu Sans Bold. When none opens the window still works and
    // the label is not drawn.
    std::vector<std::string> labelFonts;
    // The colours through which the picture's bytes are shown.
    ColourTable colours{};
    // Every pixel of the window drawn as zoom x zoom pixels on the screen;
    // 0 chooses 2 on a screen 2560 pixels wide or of high pixel density
    // where the larger window fits, and 1 elsewhere.
    int zoom = 0;
};

// The zoom that a screen of the given width and horizontal density (dots
// per inch; 0 when unknown) gets by default, where a window of the given
// zoom fits the usable area.
int DefaultZoom(int screenWidth, float dotsPerInch, int usableWidth, int usableHeight);

// Opens the program's window on the display: fixed size, hidden until
// Show(). Returns nullptr and the reason in *error (which may be null) when
// no display can be opened or the window cannot be made; SDL is left as it
// was found.
std::unique_ptr<Window> CreateSdlWindow(std::string* error, const SdlWindowOptions& options = {});

// The SDL window behind a window made by CreateSdlWindow, for code that must
// talk to SDL directly (tests that read the presented pixels back); nullptr
// for any other kind of window.
SDL_Window* SdlWindowHandle(Window& window);

}  // namespace morva
