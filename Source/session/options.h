#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "raster/export.h"

namespace morva {

struct Options {
    bool batch = false;
    bool describe = false;
    bool help = false;
    bool version = false;
    bool reference = false;
    bool check = false;         // lint the scene and palette, render nothing
    bool fit = false;           // frame the attractor, render nothing
    bool quiet = false;         // no progress lines
    bool list = false;          // list the entries of an .ifs library
    bool write = false;         // --fit writes its header into the scene file
    bool listPalettes = false;  // --palette list
    std::string scene;          // SCENE: a scene file, a folder, "-" or an .ifs library; empty: none
    std::string entry;          // the entry of an .ifs library; empty: the first
    std::string saveScene;      // write the scene as it would render to this file
    std::string folder;         // empty: the program folder
    std::string outFolder;      // receives the count files; empty: the scene's folder
    ExportRequest exports;      // pictures and tables written at the end
    int threads = 0;            // 0: one per core
    int zoom = 0;               // window zoom; 0: chosen from the screen
};

// Parses the command line (without the program name): options and at most
// one SCENE, in any order ("--" ends the options). A long option's value may
// also follow it after "=", a short one's follow it at once ("-j4"). Throws
// MorvaError with a one-line message for anything it does not understand or
// any options that do not go together.
Options ParseOptions(const std::vector<std::string>& args);

std::string UsageText();
// The one line a usage error prints: the problem, and where to read more.
std::string UsageErrorLine(std::string_view message);
// "morva 1.1" and a line end.
std::string VersionText();

}  // namespace morva
