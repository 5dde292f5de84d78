#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "scene/scene.h"

// Invariant checks that stay on in every build type: a failed check prints
// what broke and aborts, which libFuzzer reports as a crash with the input.
#define FUZZ_CHECK(condition, ...)                                                                   \
    do {                                                                                             \
        if (!(condition)) {                                                                          \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n  ", __FILE__, __LINE__, #condition); \
            std::fprintf(stderr, __VA_ARGS__);                                                       \
            std::fprintf(stderr, "\n");                                                              \
            std::abort();                                                                            \
        }                                                                                            \
    } while (0)

namespace morva::fuzz {

// The number formats the parsers meet: the C locale, a comma decimal point
// with a dot for grouping, and a comma with a multi-byte (U+202F narrow
// no-break space) grouping separator. The selector byte picks one.
inline NumberFormat FormatFor(unsigned char selector) {
    switch (selector % 3) {
        case 0:
            return NumberFormat{".", ""};
        case 1:
            return NumberFormat{",", "."};
        default:
            return NumberFormat{",", "\xE2\x80\xAF"};
    }
}

inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

}  // namespace morva::fuzz
