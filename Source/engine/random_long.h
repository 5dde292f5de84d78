#pragma once

#include <cstdint>

namespace morva {

// The scene's own generator: a 32-bit linear congruential generator
// (multiplier 1664525, increment 1013904223, modulo 2^32) whose state is
// held as a signed 32-bit value.
inline constexpr std::uint32_t kRandomMultiplier = 1664525u;
inline constexpr std::uint32_t kRandomIncrement = 1013904223u;

inline std::int32_t RandomLong(std::int32_t& randSeed) {
    randSeed = static_cast<std::int32_t>(static_cast<std::uint32_t>(randSeed) * kRandomMultiplier +
                                         kRandomIncrement);
    return randSeed;
}

// The new state scaled into [0, 1).
inline double RandomUnit(std::int32_t& randSeed) { return RandomLong(randSeed) / 4294967296.0 + 0.5; }

// The new state scaled into [-0.5, 0.5).
inline double RandomCentered(std::int32_t& randSeed) { return RandomLong(randSeed) / 4294967296.0; }

// The state n steps ahead of seed, in O(log n): the step x -> a*x + c
// composed with itself is x -> a*a*x + c*(a + 1).
inline std::int32_t RandomJump(std::int32_t seed, std::uint64_t n) {
    std::uint32_t a = kRandomMultiplier, c = kRandomIncrement;
    std::uint32_t x = static_cast<std::uint32_t>(seed);
    while (n) {
        if (n & 1) x = a * x + c;
        c = c * (a + 1);
        a = a * a;
        n >>= 1;
    }
    return static_cast<std::int32_t>(x);
}

}  // namespace morva
