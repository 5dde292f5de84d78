#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morva {

// What a line of a scene file is. The first character decides, compared
// exactly (case matters); only for "_" lines is the whole first field looked
// at. Everything else is a comment.
enum class SceneLine : std::uint8_t {
    Seed,              // "_setseed" in any case: the seed
    IgnoredDirective,  // any other "_" line
    Header,            // "h"
    HiRes,             // "D": high resolution, 16 times the groups
    StandardSpeed,     // "S": the floating-point selection
    Affine,            // "a"
    Projective,        // "p"
    Quadratic,         // "s"
    Comment,
};

// The kind of a usable line (see UsableLine: at least one character, the
// carriage return already removed).
SceneLine KindOfSceneLine(std::string_view line);

// The fields a kind reads after its keyword: 8 for a header, 1 for the seed,
// 7 for an affine map, 13 for a projective or quadratic one, none otherwise.
std::size_t FieldsRead(SceneLine kind);

// Whether the kind fills the next slot of the transform table.
inline bool IsTransform(SceneLine kind) {
    return kind == SceneLine::Affine || kind == SceneLine::Projective || kind == SceneLine::Quadratic;
}

}  // namespace morva
