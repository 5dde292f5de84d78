#pragma once

#include <string>
#include <vector>

namespace morva {

struct Options {
    bool batch = false;
    bool describe = false;
    bool help = false;
    bool version = false;
    bool reference = false;
    bool check = false;   // lint the scene and palette, render nothing
    bool fit = false;     // frame the attractor, render nothing
    std::string folder;   // empty: the program folder
    std::string picture;  // also write the final window picture here
    int threads = 0;      // 0: one per core
};

// Parses the command line (without the program name). Throws MorvaError with
// a usage message for anything it does not understand.
Options ParseOptions(const std::vector<std::string>& args);

std::string UsageText();
// "morva 1.1" and a line end.
std::string VersionText();

}  // namespace morva
