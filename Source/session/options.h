#pragma once

#include <string>
#include <vector>

#include "raster/export.h"

namespace morva {

struct Options {
    bool batch = false;
    bool describe = false;
    bool help = false;
    bool version = false;
    bool reference = false;
    bool check = false;     // lint the scene and palette, render nothing
    bool fit = false;       // frame the attractor, render nothing
    bool quiet = false;     // no progress lines
    std::string folder;     // empty: the program folder
    std::string outFolder;  // receives the count files; empty: the scene's folder
    ExportRequest exports;  // pictures and tables written at the end
    int threads = 0;        // 0: one per core
    int zoom = 0;           // window zoom; 0: chosen from the screen
};

// Parses the command line (without the program name); a long option's value
// may also follow it after "=". Throws MorvaError with a usage message for
// anything it does not understand.
Options ParseOptions(const std::vector<std::string>& args);

std::string UsageText();
// "morva 1.1" and a line end.
std::string VersionText();

}  // namespace morva
