#pragma once

#include <cstdint>
#include <vector>

#include "engine/iteration_group.h"

namespace morva {

// A scene compiled for the fast loop: the draw -> record table, the exact
// multiply-high remainder, the used records packed together and the screen
// mapping in integers. Everything it computes equals what the reference loop
// computes step by step.
__extension__ typedef unsigned __int128 UInt128;

struct FastScene {
    explicit FastScene(const Scene& scene);

    struct Record {
        std::uint8_t kind;
        double c[12];
    };

    // draw = (v AND 0x7FFFFFFF) mod WeightTotal727 without a division: exact
    // for every 32-bit dividend and divisor (Lemire, Kaser and Kurz 2019).
    std::uint32_t Draw(std::int32_t v) const {
        const std::uint64_t low = fastModMultiplier * static_cast<std::uint32_t>(v & kDrawMask);
        return static_cast<std::uint32_t>((static_cast<UInt128>(low) * weightTotal) >> 64);
    }
    // The record a draw selects, or -1 for none.
    int Select(std::uint32_t draw) const { return drawTable.empty() ? SelectByBands(draw) : drawTable[draw]; }
    int SelectByBands(std::uint32_t draw) const;

    const Scene& scene;
    bool highSpeed;
    bool hiRes;
    std::uint8_t hitValue;
    std::uint32_t weightTotal = 1;
    std::uint64_t fastModMultiplier = 0;
    // For totals up to kDrawTableLimit: the record of every draw.
    std::vector<std::int16_t> drawTable;
    // Beyond: the running maximum of the band sums; the first record whose
    // running maximum exceeds the draw is the one the band walk stops at.
    std::vector<std::int64_t> bandPrefixMax;
    std::vector<Record> records;
    // Every record in use is affine: the loop can hold the point as one
    // [X, Y] vector (each lane computes exactly its own coordinate's sum).
    bool allAffine = false;

    double scaleX, scaleY;
    std::int64_t offsetX, offsetY;
    double scale4X, scale4Y;
    std::int64_t offset4X, offset4Y;

    static constexpr std::uint32_t kDrawTableLimit = 1u << 16;
};

}  // namespace morva
