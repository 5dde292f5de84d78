#include "session/options.h"

#include <charconv>

#include "platform/error.h"

namespace morva {

namespace {

int ParseThreads(const std::string& text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 256) {
        throw MorvaError("--threads needs a whole number from 1 to 256, not " + Quoted(text) + ".");
    }
    return value;
}

}  // namespace

std::string UsageText() {
    return "Usage: morva [options]\n"
           "Renders the iterated function system of MORVA.TXT by the chaos game.\n"
           "With no options the scene beside the program is rendered in a window;\n"
           "F11 saves MORVA.BMP (and MORVAHD.BMP in high-resolution mode), Escape\n"
           "held during the render or the close button ends the program.\n"
           "\n"
           "Options:\n"
           "  --batch          render without a window: progress on stderr, the BMP\n"
           "                   files written at the end; Ctrl-C, SIGTERM or SIGHUP\n"
           "                   stop early and still write them from the counts so\n"
           "                   far (exit code 128 + the signal)\n"
           "  --dir DIR        read MORVA.TXT and MORVA.pal from DIR and write the\n"
           "                   BMP files there (default: the program's folder)\n"
           "  --describe       print the scene's settings, derived values and\n"
           "                   transforms as name=value lines, then exit\n"
           "  --check          lint MORVA.TXT and MORVA.pal without rendering: each\n"
           "                   warning names the file, line and field, what the\n"
           "                   program will do and how to fix it; exit code 0 when\n"
           "                   clean, 1 with warnings, 2 when the render would refuse\n"
           "  --fit            trace the scene's maps briefly, print where the\n"
           "                   attractor lies and a header line that frames it in\n"
           "                   the 640 x 480 picture, and how the current header\n"
           "                   frames it; exit code 1 when the scene cannot be\n"
           "                   framed (its point runs off or never settles)\n"
           "  --picture FILE   also write the final window picture (with the\n"
           "                   window's colours) to FILE as an 8-bit BMP\n"
           "  --threads N      threads for the render (default: one per core);\n"
           "                   the picture is the same for every N\n"
           "  --reference      render with the plain reference loop (slow)\n"
           "  --version        print the version and exit\n"
           "  --help           print this text and exit\n";
}

std::string VersionText() { return "morva 1.1\n"; }

Options ParseOptions(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
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
        } else if (arg == "--picture") {
            options.picture = value();
            if (options.picture.empty()) throw MorvaError("--picture needs a file name.");
        } else if (arg == "--threads") {
            options.threads = ParseThreads(value());
        } else {
            throw MorvaError("Unknown option " + Quoted(arg) + ".\n\n" + UsageText());
        }
    }
    return options;
}

}  // namespace morva
