#include "platform/uniform_random.h"

#include <chrono>

namespace morva {

namespace {

std::uint64_t SplitMix64(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

void UniformRandom::Seed(std::uint64_t seed) {
    for (auto& word : state_) word = SplitMix64(seed);
}

void UniformRandom::SeedFromClock() {
    auto now = std::chrono::system_clock::now().time_since_epoch().count();
    auto steady = std::chrono::steady_clock::now().time_since_epoch().count();
    Seed(static_cast<std::uint64_t>(now) ^ Rotl(static_cast<std::uint64_t>(steady), 32));
}

double UniformRandom::Next() {
    // xoshiro256** (Blackman and Vigna).
    std::uint64_t result = Rotl(state_[1] * 5, 7) * 9;
    std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = Rotl(state_[3], 45);
    return static_cast<double>(result >> 11) * 0x1.0p-53;
}

}  // namespace morva
