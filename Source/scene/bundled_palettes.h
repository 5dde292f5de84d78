#pragma once

// The palettes built into the program (assets/palettes/*.pal, compiled in
// by the build), by name.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morva {

// The text of a bundled palette file, or nothing for an unknown name.
std::optional<std::string_view> BundledPalette(std::string_view name);

// Every bundled palette's name, sorted.
std::vector<std::string> BundledPaletteNames();

}  // namespace morva
