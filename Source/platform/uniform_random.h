#pragma once

#include <cstdint>

namespace morva {

// The platform's uniform generator of values in [0, 1): xoshiro256**, seeded
// through splitmix64. It stands behind the default seed and the
// standard-speed selection, and is independent of the scene's own generator.
class UniformRandom {
public:
    UniformRandom() { Seed(0); }
    void Seed(std::uint64_t seed);
    void SeedFromClock();
    // 53 random bits scaled into [0, 1).
    double Next();

private:
    std::uint64_t state_[4] = {};
};

}  // namespace morva
