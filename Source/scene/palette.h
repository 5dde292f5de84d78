#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "scene/scene.h"
#include "scene/scene_reader.h"

namespace morva {

class FileSystem;

inline constexpr char kPaletteFileName[] = "MORVA.pal";
// Lines (counted from 0) before the first entry: the format's tag, version
// and count. Each entry line holds red, green and blue; further fields on it
// are not read.
inline constexpr std::size_t kPaletteFirstEntryLine = 3;
inline constexpr std::size_t kPaletteEntries = 256;
inline constexpr std::size_t kPaletteEntryFields = 3;

struct PaletteRGB {
    std::array<std::uint8_t, kPaletteEntries> PaletteR{}, PaletteG{}, PaletteB{};
};

// A whole reading of palette text.
struct PaletteReading {
    PaletteRGB palette;
    // The render's message for the first faulty field; the palette is then
    // of no use.
    std::optional<std::string> refusal;
};

// Reads palette text as ParsePalette does. report, when given, hears of
// every entry field, also after a fault: the first fault is kept as the
// refusal and the rest is still read. Without a report the reading ends
// at the first fault.
PaletteReading ReadPalette(std::string_view text, const NumberFormat& format, std::string_view fileName,
                           ReadingReport* report);

// Reads palette text: lines 3 to 258 (counted from 0) hold entries 0 to 255
// as red, green and blue separated by single spaces; the three lines before
// them and everything after them are not read. A line or field that is not
// there leaves its entry 0. A field that is empty, not a number or outside
// 0 to 255 throws MorvaError naming fileName and the line.
PaletteRGB ParsePalette(std::string_view text, const NumberFormat& format,
                        std::string_view fileName = kPaletteFileName);

// Reads MORVA.pal from the folder; a missing or unreadable file reads as
// empty text and leaves every entry 0. A path that is not a regular file (a
// pipe, a folder), or a file over the read limit, is refused: MorvaError
// naming it.
PaletteRGB LoadPalette(FileSystem& files, const std::string& folder, const NumberFormat& format);

}  // namespace morva
