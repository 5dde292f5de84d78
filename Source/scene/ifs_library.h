#pragma once

// Libraries of iterated function systems in the widely published .ifs text
// format, and their 2-D entries as scene text.
//
//   fern {                        ; ";" starts a comment
//     0    0    0   .16 0 0   .01 ; a b c d e f p, one map
//    .85  .04 -.04  .85 0 1.6 .85 ; x' = a x + b y + e, y' = c x + d y + f
//     ...                         ; numbers may run over lines
//   }
//   cube (3D) { ... }             ; 13 numbers a map, not rendered here
//
// Some libraries leave the probabilities out (six numbers a map); their maps
// are weighted by the area they cover.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morva {

inline constexpr std::size_t kIfsMapNumbers = 7;         // a b c d e f p
inline constexpr std::size_t kIfsUnweightedNumbers = 6;  // a b c d e f
inline constexpr std::size_t kIfs3DMapNumbers = 13;

// One 2-D map: the coefficients as numbers and as the library writes them,
// and its probability (0 in an entry without probabilities).
struct IfsMap {
    std::array<double, 6> coef{};
    std::array<std::string, 6> text;
    double probability = 0.0;
};

struct IfsEntry {
    std::string name;  // as written
    std::size_t line = 0;
    bool threeD = false;
    bool hasProbabilities = true;
    std::size_t numbers = 0;   // the numbers between the braces
    std::vector<IfsMap> maps;  // 2-D entries only
};

struct IfsLibrary {
    std::vector<IfsEntry> entries;  // in file order
};

// Parses library text. Throws MorvaError "<fileName>, line <n>: <what was
// expected>" for text that is not a library: a stray brace or word, an entry
// that is not closed, a word among the numbers, a count of numbers that is
// not a whole number of maps, a negative probability, an entry without
// maps, a library without entries.
IfsLibrary ParseIfsLibrary(std::string_view text, std::string_view fileName);

// The entry of that name, compared without regard to case; the first entry
// for an empty name. A 2-D entry only: a 3-D one, and a name that is not
// there, throw MorvaError naming the entry.
const IfsEntry& FindIfsEntry(const IfsLibrary& library, std::string_view name, std::string_view fileName);

// The scene weights of a 2-D entry's maps, as whole numbers, so that every
// selection band (weight x 727) is exact and the bands cover every draw.
// Probabilities keep their proportions: written with the fewest decimals
// that hold them (.33 .33 .34 gives 33 33 34), or else rounded to parts of
// 100000 with at least 1 for every map that may be chosen. Without
// probabilities each map weighs |a d - b c|, at least kIfsAreaFloor of the
// entry's total, so that a map that flattens the plane is still drawn.
// Throws MorvaError when no map may be chosen.
inline constexpr double kIfsAreaFloor = 0.01;
std::vector<std::int64_t> IfsWeights(const IfsEntry& entry, std::string_view fileName);

// The seed of every scene made from a library entry: the same command gives
// the same picture.
inline constexpr std::int32_t kIfsSeed = 1;

// The entry as scene text: comment lines that say where it came from, the
// given header line, one "a" line a map (weight, then the coefficients as
// the library writes them where they read back to the same number), and a
// fixed seed. Line ends are LF.
std::string IfsSceneText(const IfsEntry& entry, std::string_view fileName, std::string_view header);

// One line an entry for --list: the name, then the maps and what keeps the
// entry from rendering.
std::string IfsListText(const IfsLibrary& library);

}  // namespace morva
