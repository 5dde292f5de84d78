#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "raster/grid.h"
#include "raster/picture.h"
#include "raster/picture_frame.h"
#include "raster/picture_tone.h"

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

// How the picture is drawn when the command line asks for more than the
// window's picture: its size and samples, the tone curve and exposure, and
// whether each pixel shows the mixed colours of the maps that brought its
// points. The picture is then counted in a table of its own (picture_frame.h).
struct PictureStyle {
    PictureSize size;
    PictureTone tone;
    bool colourByMap = false;
    std::vector<Rgb> mapColours;  // --map-colours; empty: hues spread around the palette
    // Whether any of these was asked for; if not, the picture is the window's.
    bool asked = false;
};

// The pictures and tables a run writes besides the count files; an empty
// path is not written.
struct ExportRequest {
    std::string picture;       // the picture: as the window shows it at the end, or as style draws it
    std::string hiResPicture;  // the 2560 x 1920 table through the same curve and colours
    std::string counts;        // the raw hit table, 16-bit grey PNG
    PictureColours colours = PictureColours::Green;
    PictureStyle style;   // how --picture is drawn
    std::string palette;  // --palette: a bundled palette's name or a palette file; empty: MORVA.pal

    // Every file the request writes.
    std::vector<std::string> Paths() const;
};

// The size of the picture that style draws from a table of its own, when
// style asks for anything: --picture's, or else --hires-picture's, the same
// view at 2560 x 1920 (zoomed 4 times) with the style's samples, or else,
// coloured by map, the window's 640 x 480. Nothing when the pictures are
// the window's and the high-resolution table's.
std::optional<PictureSize> StyledPictureSize(const ExportRequest& request);

// Refuses a request that cannot give what it asks for, before a render
// spends its time: a high-resolution picture of a scene without the
// high-resolution table, palette colours from a palette that holds none,
// both pictures styled (the render counts one styled table), or a picture
// coloured by map that is not a .png.
void CheckExportRequest(const ExportRequest& request, bool hiRes, const ColourTable& palette);

// The final picture of a count table: each cell divided by the exposure,
// clipped to 255 and put through the square-root curve, as the window shows
// it when the render has finished.
std::vector<std::uint8_t> TonedPixels(const Grid<std::int32_t>& counts, std::int32_t exposure);

// A picture file of a count table in the given format and colours.
std::vector<std::uint8_t> EncodePicture(const Grid<std::int32_t>& counts, std::int32_t exposure,
                                        const ColourTable& colours, ImageFormat format);

// A picture file of its own table (PictureStyle): 8-bit through the colour
// table, or 24-bit when it is coloured by map (PNG only).
std::vector<std::uint8_t> EncodeStyledPicture(const PictureCounts& counts, const PictureFrame& frame,
                                              std::uint8_t hitValue, std::int32_t exposure,
                                              const PictureTone& tone, const ColourTable& colours,
                                              ImageFormat format);

// The raw counts as a 16-bit greyscale PNG, linear, each cell clipped at
// 65535.
std::vector<std::uint8_t> EncodeCountsPng(const Grid<std::int32_t>& counts);

}  // namespace morva
