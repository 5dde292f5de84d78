#include "platform/sdl_icon.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

namespace morva {

namespace {

// The fern's four affine maps, (a, b, c, d, e, f): x' = a x + b y + e,
// y' = c x + d y + f, with their chances in percent. The attractor lies in
// x -2.19 .. 2.66, y 0 .. 10.
struct FernMap {
    double a, b, c, d, e, f;
    int percent;
};
constexpr FernMap kFernMaps[] = {
    {0.00, 0.00, 0.00, 0.16, 0.0, 0.00, 1},
    {0.85, 0.04, -0.04, 0.85, 0.0, 1.60, 85},
    {0.20, -0.26, 0.23, 0.22, 0.0, 1.60, 7},
    {-0.15, 0.28, 0.26, 0.24, 0.0, 0.44, 7},
};
constexpr double kFernLeft = -2.2;
constexpr double kFernRight = 2.7;
constexpr double kFernTop = 10.0;

constexpr int kIconSize = 48;
constexpr std::uint32_t kIconSeed = 20240607u;

}  // namespace

std::vector<std::uint8_t> DrawIconArt(int size) {
    if (size <= 0) return {};
    std::vector<std::uint32_t> hits(static_cast<std::size_t>(size) * size, 0);

    // The fern keeps its proportions, stands centred on the bottom row and
    // leaves a pixel of black above its tip.
    const double scale = (size - 2) / kFernTop;
    const double left = (size - (kFernRight - kFernLeft) * scale) / 2.0;

    std::uint32_t state = kIconSeed;
    double x = 0.0;
    double y = 0.0;
    const int steps = 400 * size;
    for (int step = 0; step < steps; ++step) {
        state = state * 1664525u + 1013904223u;
        int pick = static_cast<int>((state >> 16) % 100u);
        const FernMap* map = &kFernMaps[0];
        for (const FernMap& candidate : kFernMaps) {
            map = &candidate;
            if (pick < candidate.percent) break;
            pick -= candidate.percent;
        }
        const double nextX = map->a * x + map->b * y + map->e;
        const double nextY = map->c * x + map->d * y + map->f;
        x = nextX;
        y = nextY;
        if (step < 16) continue;  // let the point settle onto the attractor
        const int column = static_cast<int>(std::floor(left + (x - kFernLeft) * scale));
        const int row = size - 1 - static_cast<int>(std::floor(y * scale));
        if (column < 0 || column >= size || row < 0 || row >= size) continue;
        ++hits[static_cast<std::size_t>(row) * size + column];
    }

    const std::uint32_t most = *std::max_element(hits.begin(), hits.end());
    const double logMost = std::log1p(static_cast<double>(most));
    std::vector<std::uint8_t> rgba(hits.size() * 4, 0);
    for (std::size_t i = 0; i < hits.size(); ++i) {
        rgba[i * 4 + 3] = 255;
        if (hits[i] == 0) continue;
        // A log ramp over a floor, so that the thin fronds stay visible next
        // to the dense tip; the densest cells whiten slightly.
        const double level = std::log1p(static_cast<double>(hits[i])) / logMost;
        const int green = 70 + static_cast<int>(185.0 * level);
        const int whiten = std::max(0, green - 215) * 2;
        rgba[i * 4 + 0] = static_cast<std::uint8_t>(whiten);
        rgba[i * 4 + 1] = static_cast<std::uint8_t>(green);
        rgba[i * 4 + 2] = static_cast<std::uint8_t>(whiten);
    }
    return rgba;
}

void SetSdlWindowIcon(SDL_Window* window) {
    if (!window) return;
    std::vector<std::uint8_t> pixels = DrawIconArt(kIconSize);
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), kIconSize, kIconSize, 32,
                                                           kIconSize * 4, SDL_PIXELFORMAT_RGBA32);
    if (!icon) return;
    SDL_SetWindowIcon(window, icon);  // SDL keeps its own copy
    SDL_FreeSurface(icon);
}

}  // namespace morva
