#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "raster/grid.h"
#include "raster/picture.h"

namespace morva {

enum class ImageFormat { Bmp, Png };

// The format a file name asks for by its ending, ".bmp" or ".png" in any
// case; nothing for any other name.
std::optional<ImageFormat> ImageFormatOfName(std::string_view path);

// The same for a picture that an option names. Throws MorvaError, naming
// the option, for any other name, so that a picture is never written in a
// format its name does not say.
ImageFormat ImageFormatOf(std::string_view path, std::string_view option);

// The colours of the exported pictures.
enum class PictureColours {
    Green,    // the window's colour table
    Grey,     // a plain grey ramp
    Palette,  // the 256 colours of the palette file
};

// The colour table for a choice; palette holds the palette file's colours.
ColourTable PictureColourTable(PictureColours colours, const ColourTable& palette);

// The pictures and tables a run writes besides the count files; an empty
// path is not written.
struct ExportRequest {
    std::string picture;       // the 640 x 480 picture, as the window shows it at the end
    std::string hiResPicture;  // the 2560 x 1920 table through the same curve and colours
    std::string counts;        // the raw hit table, 16-bit grey PNG
    PictureColours colours = PictureColours::Green;

    // Every file the request writes.
    std::vector<std::string> Paths() const;
};

// Refuses a request that cannot give what it asks for, before a render
// spends its time: a high-resolution picture of a scene without the
// high-resolution table, or palette colours from a palette that holds none.
void CheckExportRequest(const ExportRequest& request, bool hiRes, const ColourTable& palette);

// The final picture of a count table: each cell divided by the exposure,
// clipped to 255 and put through the square-root curve, as the window shows
// it when the render has finished.
std::vector<std::uint8_t> TonedPixels(const Grid<std::int32_t>& counts, std::int32_t exposure);

// A picture file of a count table in the given format and colours.
std::vector<std::uint8_t> EncodePicture(const Grid<std::int32_t>& counts, std::int32_t exposure,
                                        const ColourTable& colours, ImageFormat format);

// The raw counts as a 16-bit greyscale PNG, linear, each cell clipped at
// 65535.
std::vector<std::uint8_t> EncodeCountsPng(const Grid<std::int32_t>& counts);

}  // namespace morva
