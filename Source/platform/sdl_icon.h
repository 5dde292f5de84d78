#pragma once

#include <cstdint>
#include <vector>

struct SDL_Window;

namespace morva {

// The icon artwork: a green fern grown by the chaos game on black, drawn at
// size × size pixels. RGBA bytes, top row first, every pixel opaque. The
// seed is fixed, so the same size always gives the same picture.
std::vector<std::uint8_t> DrawIconArt(int size);

// Gives the window the 48-pixel icon; the window manager scales it for its
// smaller uses. Failure leaves the default icon and is not an error.
void SetSdlWindowIcon(SDL_Window* window);

}  // namespace morva
