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
    if (line.empty()) return SceneLine::kComment;
    switch (line.front()) {
        case '_':
            return IsSeedKeyword(line) ? SceneLine::kSeed : SceneLine::kIgnoredDirective;
        case 'h':
            return SceneLine::kHeader;
        case 'D':
            return SceneLine::kHiRes;
        case 'S':
            return SceneLine::kStandardSpeed;
        case 'a':
            return SceneLine::kAffine;
        case 'p':
            return SceneLine::kProjective;
        case 's':
            return SceneLine::kQuadratic;
        default:
            return SceneLine::kComment;
    }
}

std::size_t FieldsRead(SceneLine kind) {
    switch (kind) {
        case SceneLine::kHeader:
            return 8;
        case SceneLine::kSeed:
            return 1;
        case SceneLine::kAffine:
            return 7;
        case SceneLine::kProjective:
        case SceneLine::kQuadratic:
            return 13;
        default:
            return 0;
    }
}

}  // namespace morva
