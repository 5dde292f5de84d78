#include "scene/scene_lines.h"

namespace morva {

namespace {

bool IsSeedKeyword(std::string_view line) {
    constexpr std::string_view kSetSeed = "_setseed";
    const std::string_view keyword = line.substr(0, line.find(' '));
    if (keyword.size() != kSetSeed.size()) return false;
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        char c = keyword[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kSetSeed[i]) return false;
    }
    return true;
}

}  // namespace

SceneLine KindOfSceneLine(std::string_view line) {
    if (line.empty()) return SceneLine::Comment;
    switch (line.front()) {
        case '_':
            return IsSeedKeyword(line) ? SceneLine::Seed : SceneLine::IgnoredDirective;
        case 'h':
            return SceneLine::Header;
        case 'D':
            return SceneLine::HiRes;
        case 'S':
            return SceneLine::StandardSpeed;
        case 'a':
            return SceneLine::Affine;
        case 'p':
            return SceneLine::Projective;
        case 's':
            return SceneLine::Quadratic;
        default:
            return SceneLine::Comment;
    }
}

std::size_t FieldsRead(SceneLine kind) {
    switch (kind) {
        case SceneLine::Header:
            return 8;
        case SceneLine::Seed:
            return 1;
        case SceneLine::Affine:
            return 7;
        case SceneLine::Projective:
        case SceneLine::Quadratic:
            return 13;
        default:
            return 0;
    }
}

}  // namespace morva
