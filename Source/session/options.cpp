#include "session/options.h"

#include <charconv>
#include <optional>
#include <utility>

#include "platform/error.h"
#include "scene/bundled_palettes.h"

namespace morva {

namespace {

int ParseWholeNumber(const std::string& option, const std::string& text, int low, int high) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw MorvaError(option + " needs a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not " + Quoted(text) + ".");
    }
    return value;
}

PictureColours ParseColours(const std::string& text) {
    if (text == "green") return PictureColours::Green;
    if (text == "grey" || text == "gray") return PictureColours::Grey;
    if (text == "palette") return PictureColours::Palette;
    throw MorvaError("--colours needs green, grey or palette, not " + Quoted(text) + ".");
}

double ParseGamma(const std::string& text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= 0.1 && value <= 10.0))
        throw MorvaError("--gamma needs a number from 0.1 to 10, not " + Quoted(text) + ".");
    return value;
}

// "RRGGBB,RRGGBB,..." in hexadecimal, a leading # allowed on each.
std::vector<Rgb> ParseMapColours(const std::string& text) {
    std::vector<Rgb> colours;
    std::string_view rest = text;
    while (true) {
        const auto comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        if (item.starts_with('#')) item.remove_prefix(1);
        unsigned value = 0;
        auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value, 16);
        if (item.size() != 6 || error != std::errc() || end != item.data() + item.size()) {
            throw MorvaError(
                "--map-colours needs colours as RRGGBB in hexadecimal, separated by commas, not " +
                Quoted(std::string(item)) + ".");
        }
        colours.push_back({static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                           static_cast<std::uint8_t>(value)});
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return colours;
}

std::string PaletteNamesLine() {
    std::string line;
    for (const std::string& name : BundledPaletteNames()) line += (line.empty() ? "" : " ") + name;
    return line;
}

}  // namespace

std::string UsageText() {
    return "Usage: morva [options] [SCENE]\n"
           "Renders an iterated function system by the chaos game. SCENE is a scene\n"
           "file of any name, a folder holding MORVA.TXT, - for standard input, or\n"
           "an .ifs library; its palette is MORVA.pal beside it, else the default.\n"
           "With no SCENE the scene beside the program is rendered in a window;\n"
           "F11 saves MORVA.BMP (and MORVAHD.BMP in high-resolution mode), Escape\n"
           "held during the render or the close button ends the program.\n"
           "\n"
           "Options (a value may also be given as --name=value):\n"
           "  --batch          render without a window: progress on stderr, the BMP\n"
           "                   files written at the end; Ctrl-C, SIGTERM or SIGHUP\n"
           "                   stop early and still write them from the counts so\n"
           "                   far (exit code 128 + the signal). With SCENE the BMP\n"
           "                   files are written only with --out, and without any\n"
           "                   output named the picture goes to ./NAME.png\n"
           "  --dir DIR        read MORVA.TXT and MORVA.pal from DIR and write the\n"
           "                   BMP files there (default: the program's folder)\n"
           "  --out DIR        write MORVA.BMP and MORVAHD.BMP into DIR instead\n"
           "  -o, --output FILE, --picture FILE\n"
           "                   also write the final picture, as the window shows\n"
           "                   it, to FILE: .bmp or .png (8-bit with a palette)\n"
           "  --hires-picture FILE\n"
           "                   also write the 2560 x 1920 table of a high-resolution\n"
           "                   scene through the same curve and colours, .bmp or .png;\n"
           "                   with the picture options below, the same view at 4x\n"
           "                   as --size 2560x1920 draws it (not with --picture)\n"
           "  --counts FILE.png\n"
           "                   also write the raw hit counts (the 2560 x 1920 table\n"
           "                   in high-resolution mode) as a 16-bit greyscale PNG;\n"
           "                   linear, not tone-mapped, clipped at 65535\n"
           "  --colours green|grey|palette\n"
           "                   colours of the pictures: the window's green ramp\n"
           "                   (default), a grey ramp, or the colours of MORVA.pal\n"
           "                   (or of --palette)\n"
           "  --palette NAME|FILE|list\n"
           "                   the palette of the pictures instead of MORVA.pal: one\n"
           "                   built in, or a JASC palette file; it implies --colours\n"
           "                   palette, and the maps' colours of --colour-by map are\n"
           "                   spread over it. list: print the names. Built in:\n"
           "                   " +
           PaletteNamesLine() +
           "\n"
           "  --size WxH       draw the picture at W x H pixels (each 1 to 16384): the\n"
           "                   640 x 480 view of the scene, zoomed by the smaller of\n"
           "                   W / 640 and H / 480, centred; the same points, counted\n"
           "                   in a table of that size\n"
           "  --supersample N  N x N samples to a pixel, 1 to 4, each toned, then\n"
           "                   averaged over the pixel (anti-aliased edges)\n"
           "  --tone sqrt|log  the curve of the picture: the square root of the\n"
           "                   clipped count (default, the window's) or its logarithm\n"
           "  --gamma G        raise the curve's level to 1/G (default 1)\n"
           "  --exposure auto|N\n"
           "                   divide the counts by N instead of the scene's exposure;\n"
           "                   auto: by the density the render reached, so a longer\n"
           "                   render is smoother, not brighter\n"
           "  --colour-by map  each pixel shows the mixed colours of the maps that\n"
           "                   brought its points (a .png picture; the window shows\n"
           "                   it when the render has finished)\n"
           "  --map-colours RRGGBB,...\n"
           "                   the maps' colours, in order (default: hues spread\n"
           "                   around the colour wheel)\n"
           "  --list           print the entries of the .ifs library SCENE, then exit\n"
           "  --entry NAME     render that entry of the library (default: the first);\n"
           "                   it is framed, exposed and seeded automatically\n"
           "  --save-scene FILE\n"
           "                   write the scene as it would render (a library entry\n"
           "                   with its framed header) to FILE as an editable scene\n"
           "                   file, then exit; 'morva FILE' renders the same picture\n"
           "  --describe       print the scene's settings, derived values and\n"
           "                   transforms as name=value lines, then exit\n"
           "  --check          lint the scene and palette without rendering: each\n"
           "                   warning names the file, line and field, what the\n"
           "                   program will do and how to fix it (exit codes below)\n"
           "  --fit            trace the scene's maps briefly, print where the\n"
           "                   attractor lies and a header line that frames it in\n"
           "                   the 640 x 480 picture, and how the current header\n"
           "                   frames it; exit code 1 when the scene cannot be\n"
           "                   framed (its point runs off or never settles)\n"
           "  --write          with --fit: replace the header line of the scene file\n"
           "                   with the fitted one, every other byte kept\n"
           "  -q, --quiet      no progress lines; errors and the final report only\n"
           "  --zoom N         draw the window N times larger, 1 to 8 (default: 2 on\n"
           "                   a screen 2560 pixels wide or of high pixel density,\n"
           "                   where the larger window fits)\n"
           "  -j, --threads N  threads for the render at most (default and limit:\n"
           "                   one per processor it may run on); the picture is the\n"
           "                   same for every N\n"
           "  --reference      render with the plain reference loop (slow)\n"
           "  --version        print the version and exit\n"
           "  -h, --help       print this text and exit\n"
           "\n"
           "Exit codes:\n"
           "  0    success\n"
           "  1    an input was refused or a file could not be saved\n"
           "  2    a usage error, or no window could be opened\n"
           "  130, 143, 129\n"
           "       stopped by Ctrl-C, TERM or HUP; in batch mode the files hold the\n"
           "       counts so far (nothing is written before the first group)\n"
           "  --check: 0 clean, 1 warnings, 2 the render would refuse the scene\n";
}

std::string UsageErrorLine(std::string_view message) {
    while (message.ends_with('.') || message.ends_with('\n')) message.remove_suffix(1);
    return ErrorLine(std::string(message) + "; try 'morva --help'");
}

std::string VersionText() { return "morva 1.1\n"; }

Options ParseOptions(const std::vector<std::string>& args) {
    Options options;
    bool optionsEnd = false;
    bool coloursGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        // SCENE: any word that is not an option, "-" included.
        if (optionsEnd || arg == "-" || !arg.starts_with('-')) {
            if (!options.scene.empty())
                throw MorvaError("one SCENE at most: " + Quoted(options.scene) + " and " + Quoted(arg));
            if (arg.empty()) throw MorvaError("SCENE is an empty name");
            options.scene = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        // --name=value is --name value; -jN is -j N.
        std::optional<std::string> attached;
        if (const auto equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos) {
            attached = arg.substr(equals + 1);
            arg.resize(equals);
        } else if (!arg.starts_with("--") && arg.size() > 2 && (arg[1] == 'o' || arg[1] == 'j')) {
            attached = arg.substr(2);
            arg.resize(2);
        }
        auto value = [&]() -> std::string {
            if (attached) return *std::exchange(attached, std::nullopt);
            if (i + 1 >= args.size()) throw MorvaError(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--batch") {
            options.batch = true;
        } else if (arg == "--describe") {
            options.describe = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "--fit") {
            options.fit = true;
        } else if (arg == "--write") {
            options.write = true;
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--entry") {
            options.entry = value();
            if (options.entry.empty()) throw MorvaError("--entry needs the name of an entry");
        } else if (arg == "--save-scene") {
            options.saveScene = value();
            if (options.saveScene.empty()) throw MorvaError("--save-scene needs a file name");
        } else if (arg == "--reference") {
            options.reference = true;
        } else if (arg == "--dir") {
            options.folder = value();
            if (options.folder.empty()) throw MorvaError("--dir needs a folder name");
        } else if (arg == "--out") {
            options.outFolder = value();
            if (options.outFolder.empty()) throw MorvaError("--out needs a folder name");
        } else if (arg == "--picture" || arg == "--output" || arg == "-o" || arg == "--hires-picture") {
            std::string& path =
                arg == "--hires-picture" ? options.exports.hiResPicture : options.exports.picture;
            path = value();
            ImageFormatOf(path, arg);
        } else if (arg == "--counts") {
            options.exports.counts = value();
            if (ImageFormatOfName(options.exports.counts) != ImageFormat::Png) {
                throw MorvaError("--counts writes a 16-bit PNG; " + Quoted(options.exports.counts) +
                                 " does not end in .png");
            }
        } else if (arg == "--colours") {
            options.exports.colours = ParseColours(value());
            coloursGiven = true;
        } else if (arg == "--size") {
            const PictureSize size = ParsePictureSize(value());
            options.exports.style.size.width = size.width;
            options.exports.style.size.height = size.height;
            options.exports.style.asked = true;
        } else if (arg == "--supersample") {
            options.exports.style.size.samples = ParseWholeNumber(arg, value(), 1, kMaxSupersample);
            options.exports.style.asked = true;
        } else if (arg == "--tone") {
            const std::string curve = value();
            if (curve != "sqrt" && curve != "log")
                throw MorvaError("--tone needs sqrt or log, not " + Quoted(curve));
            options.exports.style.tone.curve = curve == "log" ? ToneKind::Log : ToneKind::Sqrt;
            options.exports.style.asked = true;
        } else if (arg == "--gamma") {
            options.exports.style.tone.gamma = ParseGamma(value());
            options.exports.style.asked = true;
        } else if (arg == "--exposure") {
            const std::string text = value();
            if (text == "auto") {
                options.exports.style.tone.autoExposure = true;
            } else {
                std::int32_t exposure = 0;
                auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), exposure);
                if (error != std::errc() || end != text.data() + text.size() || exposure < 1)
                    throw MorvaError("--exposure needs auto or a whole number from 1 to 2147483647, not " +
                                     Quoted(text) + ".");
                options.exports.style.tone.exposure = exposure;
            }
            options.exports.style.asked = true;
        } else if (arg == "--colour-by" || arg == "--color-by") {
            const std::string by = value();
            if (by != "map") throw MorvaError(arg + " needs map, not " + Quoted(by));
            options.exports.style.colourByMap = true;
            options.exports.style.asked = true;
        } else if (arg == "--map-colours" || arg == "--map-colors") {
            options.exports.style.mapColours = ParseMapColours(value());
        } else if (arg == "--palette") {
            options.exports.palette = value();
            if (options.exports.palette.empty()) throw MorvaError("--palette needs a name or a file");
            options.listPalettes = options.exports.palette == "list";
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--threads" || arg == "-j") {
            options.threads = ParseWholeNumber(arg, value(), 1, 256);
        } else if (arg == "--zoom") {
            options.zoom = ParseWholeNumber(arg, value(), 1, 8);
        } else {
            throw MorvaError("unknown option " + Quoted(arg));
        }
        if (attached) throw MorvaError(arg + " takes no value");
    }
    if (!options.scene.empty() && !options.folder.empty())
        throw MorvaError("--dir and SCENE both name the scene; give one of them");
    if ((options.list || !options.entry.empty()) && options.scene.empty())
        throw MorvaError(std::string(options.list ? "--list" : "--entry") +
                         " needs an .ifs library as SCENE");
    if (!options.exports.palette.empty() && !coloursGiven) options.exports.colours = PictureColours::Palette;
    if (!options.exports.style.mapColours.empty() && !options.exports.style.colourByMap)
        throw MorvaError("--map-colours colours the maps of --colour-by map; add it");
    if (options.write && !options.fit)
        throw MorvaError("--write writes the header that --fit finds; add --fit");
    return options;
}

}  // namespace morva
