// The palette parser. Input: one selector byte for the number format, then
// the palette text. An accepted palette survives a round trip through the
// file format; a refused one names the file and a line of the entry range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/error.h"
#include "scene/palette.h"

namespace {

using namespace morva;

constexpr char kPrefix[] = "MORVA.pal, line ";

std::string WritePalette(const PaletteRGB& palette) {
    std::string text = "JASC-PAL\r\n0100\r\n256\r\n";
    for (std::size_t i = 0; i < 256; ++i) {
        text += std::to_string(palette.PaletteR[i]) + " " + std::to_string(palette.PaletteG[i]) + " " +
                std::to_string(palette.PaletteB[i]) + "\r\n";
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const NumberFormat format = fuzz::FormatFor(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    PaletteRGB palette;
    try {
        palette = ParsePalette(text, format);
    } catch (const MorvaError& error) {
        const std::string_view message = error.what();
        FUZZ_CHECK(fuzz::StartsWith(message, kPrefix), "refusal without file and line: \"%s\"", error.what());
        // Entries 0..255 sit on lines 4..259 counted from 1.
        const long line = std::strtol(error.what() + sizeof kPrefix - 1, nullptr, 10);
        FUZZ_CHECK(line >= 4 && line <= 259, "refusal names line %ld: \"%s\"", line, error.what());
        FUZZ_CHECK(message.find(", field ") != std::string_view::npos, "refusal names no field: \"%s\"",
                   error.what());
        FUZZ_CHECK(message.size() < 512, "a refusal of %zu characters", message.size());
        return 0;
    }

    const PaletteRGB again = ParsePalette(WritePalette(palette), format);
    FUZZ_CHECK(again.PaletteR == palette.PaletteR && again.PaletteG == palette.PaletteG &&
                   again.PaletteB == palette.PaletteB,
               "the palette does not survive a round trip");
    return 0;
}
