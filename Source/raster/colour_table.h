#pragma once

#include <array>
#include <cstdint>

namespace morva {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// The colour table of the window picture: entry i has red = blue =
// floor(i*i / 256) and a green ramp that rises quickly for small i.
const std::array<Rgb, 256>& WindowColourTable();

}  // namespace morva
