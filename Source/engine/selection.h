#pragma once

// The fast selection with neither a division nor a walk per step. The draw
// is (v AND 0x7FFFFFFF) mod WeightTotal727 by a multiply-high, exact for
// every 32-bit dividend and divisor (Lemire, Kaser and Kurz 2019). The band
// walk stops at the first record whose running band sum exceeds the draw,
// which is the first record whose running maximum of those sums exceeds it;
// those maxima never decrease, so the records a range of draws can stop at
// are found once, by binary search, when the table is built. The table has
// one entry per bucket of 2^shift consecutive draws (one draw per bucket for
// totals up to 65536): the record every draw of the bucket selects, or, for
// the few buckets that hold a band edge, where to start a short scan of the
// running maxima. Either way the answer is the walk's, draw for draw.

#include <cstdint>
#include <vector>

#include "scene/scene_contract.h"

namespace morva {

namespace detail {

// The high 64 bits of a 64 x 32-bit product, from two 64-bit products.
inline std::uint64_t MultiplyHighPortable(std::uint64_t a, std::uint32_t b) {
    return ((a >> 32) * b + (((a & 0xFFFFFFFFu) * b) >> 32)) >> 32;
}

inline std::uint64_t MultiplyHigh(std::uint64_t a, std::uint32_t b) {
#if defined(__SIZEOF_INT128__) && !defined(MORVA_NO_SIMD)
    __extension__ typedef unsigned __int128 UInt128;
    return static_cast<std::uint64_t>((static_cast<UInt128>(a) * b) >> 64);
#else
    return MultiplyHighPortable(a, b);
#endif
}

}  // namespace detail

class FastSelection {
public:
    // For a scene with the fast selection and WeightTotal727 of at least 1
    // (the contract refuses any other).
    explicit FastSelection(const Scene& scene);

    // What the loop reads at every step, as a value the compiler can keep in
    // registers.
    struct Picker {
        std::uint64_t multiplier;
        std::uint32_t total;
        int shift;
        const std::int16_t* table;
        const FastSelection* owner;

        std::uint32_t Draw(std::int32_t v) const {
            const std::uint64_t low = multiplier * static_cast<std::uint32_t>(v & kDrawMask);
            return static_cast<std::uint32_t>(detail::MultiplyHigh(low, total));
        }
        // The record a draw selects, or -1 for none.
        int Select(std::uint32_t draw) const {
            int entry = table[draw >> shift];
            if (entry < 0) [[unlikely]] {
                if (entry != kNone) entry = owner->Scan(kNone - 1 - entry, draw);
            }
            return entry;
        }
        // The same for the draw of v; a scan draws again, out of line, so
        // that the loop need not keep the draw beside its bucket.
        int Pick(std::int32_t v) const {
            int entry = table[Draw(v) >> shift];
            if (entry < 0) [[unlikely]] {
                if (entry != kNone) entry = owner->ScanDraw(kNone - 1 - entry, v);
            }
            return entry;
        }
    };
    Picker Hot() const { return {multiplier_, total_, shift_, table_.data(), this}; }

    std::uint32_t Draw(std::int32_t v) const { return Hot().Draw(v); }
    int Select(std::uint32_t draw) const { return Hot().Select(draw); }
    int Pick(std::int32_t v) const { return Hot().Pick(v); }

    std::uint32_t WeightTotal() const { return total_; }
    int Shift() const { return shift_; }

    static constexpr std::uint32_t kTableLimit = 1u << 16;

private:
    static constexpr int kNone = -1;

    int Scan(int first, std::uint32_t draw) const;
    [[gnu::noinline]] int ScanDraw(int first, std::int32_t v) const;

    std::uint32_t total_;
    std::uint64_t multiplier_;
    int shift_ = 0;
    // A record, kNone, or kNone - 1 - first for a bucket that scans.
    std::vector<std::int16_t> table_;
    // The running maxima of the band sums, then one past every draw.
    std::vector<std::int64_t> runningMax_;
};

}  // namespace morva
