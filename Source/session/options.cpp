#include "session/options.h"

#include <charconv>
#include <optional>
#include <utility>

#include "platform/error.h"

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

}  // namespace

std::string UsageText() {
    return "Usage: morva [options]\n"
           "Renders the iterated function system of MORVA.TXT by the chaos game.\n"
           "With no options the scene beside the program is rendered in a window;\n"
           "F11 saves MORVA.BMP (and MORVAHD.BMP in high-resolution mode), Escape\n"
           "held during the render or the close button ends the program.\n"
           "\n"
           "Options (a value may also be given as --name=value):\n"
           "  --batch          render without a window: progress on stderr, the BMP\n"
           "                   files written at the end; Ctrl-C, SIGTERM or SIGHUP\n"
           "                   stop early and still write them from the counts so\n"
           "                   far (exit code 128 + the signal)\n"
           "  --dir DIR        read MORVA.TXT and MORVA.pal from DIR and write the\n"
           "                   BMP files there (default: the program's folder)\n"
           "  --out DIR        write MORVA.BMP and MORVAHD.BMP into DIR instead\n"
           "  --describe       print the scene's settings, derived values and\n"
           "                   transforms as name=value lines, then exit\n"
           "  --check          lint MORVA.TXT and MORVA.pal without rendering: each\n"
           "                   warning names the file, line and field, what the\n"
           "                   program will do and how to fix it (exit codes below)\n"
           "  --fit            trace the scene's maps briefly, print where the\n"
           "                   attractor lies and a header line that frames it in\n"
           "                   the 640 x 480 picture, and how the current header\n"
           "                   frames it; exit code 1 when the scene cannot be\n"
           "                   framed (its point runs off or never settles)\n"
           "  --picture FILE   also write the final picture, as the window shows\n"
           "                   it, to FILE: .bmp or .png (8-bit with a palette)\n"
           "  --hires-picture FILE\n"
           "                   also write the 2560 x 1920 table of a high-resolution\n"
           "                   scene through the same curve and colours, .bmp or .png\n"
           "  --counts FILE.png\n"
           "                   also write the raw hit counts (the 2560 x 1920 table\n"
           "                   in high-resolution mode) as a 16-bit greyscale PNG;\n"
           "                   linear, not tone-mapped, clipped at 65535\n"
           "  --colours green|grey|palette\n"
           "                   colours of the pictures: the window's green ramp\n"
           "                   (default), a grey ramp, or the colours of MORVA.pal\n"
           "  --quiet          no progress lines; errors and the final report only\n"
           "  --zoom N         draw the window N times larger, 1 to 8 (default: 2 on\n"
           "                   a screen 2560 pixels wide or of high pixel density,\n"
           "                   where the larger window fits)\n"
           "  --threads N      threads for the render at most (default and limit:\n"
           "                   one per processor it may run on); the picture is the\n"
           "                   same for every N\n"
           "  --reference      render with the plain reference loop (slow)\n"
           "  --version        print the version and exit\n"
           "  --help           print this text and exit\n"
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

std::string VersionText() { return "morva 1.1\n"; }

Options ParseOptions(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        // --name=value is --name value.
        std::string arg = args[i];
        std::optional<std::string> attached;
        if (const auto equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos) {
            attached = arg.substr(equals + 1);
            arg.resize(equals);
        }
        auto value = [&]() -> std::string {
            if (attached) return *std::exchange(attached, std::nullopt);
            if (i + 1 >= args.size()) throw MorvaError(arg + " needs a value.\n\n" + UsageText());
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
        } else if (arg == "--reference") {
            options.reference = true;
        } else if (arg == "--dir") {
            options.folder = value();
            if (options.folder.empty()) throw MorvaError("--dir needs a folder name.");
        } else if (arg == "--out") {
            options.outFolder = value();
            if (options.outFolder.empty()) throw MorvaError("--out needs a folder name.");
        } else if (arg == "--picture" || arg == "--hires-picture") {
            std::string& path = arg == "--picture" ? options.exports.picture : options.exports.hiResPicture;
            path = value();
            ImageFormatOf(path, arg);
        } else if (arg == "--counts") {
            options.exports.counts = value();
            if (ImageFormatOfName(options.exports.counts) != ImageFormat::Png) {
                throw MorvaError("--counts writes a 16-bit PNG; " + Quoted(options.exports.counts) +
                                 " does not end in .png.");
            }
        } else if (arg == "--colours") {
            options.exports.colours = ParseColours(value());
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--threads") {
            options.threads = ParseWholeNumber(arg, value(), 1, 256);
        } else if (arg == "--zoom") {
            options.zoom = ParseWholeNumber(arg, value(), 1, 8);
        } else {
            throw MorvaError("Unknown option " + Quoted(arg) + ".\n\n" + UsageText());
        }
        if (attached) throw MorvaError(arg + " takes no value.\n\n" + UsageText());
    }
    return options;
}

}  // namespace morva
