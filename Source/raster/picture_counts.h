#pragma once

// The counts of a picture of any size: one cell per sample, each a 32-bit
// count of the points that landed there and, when the picture is coloured
// by map, three 32-bit sums of the red, green and blue of the maps that
// brought them. Adds and take-backs wrap modulo 2^32 and note every wrap:
// sums modulo 2^32 are the same whatever the order of the adds, and the
// notes give back the high part, so a cell's value is exact for any length
// of render, on any number of threads, however the adds and take-backs of
// the threads interleave.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <vector>

namespace morva {

struct MapColour {
    std::uint32_t r, g, b;
};

class PictureCounts {
public:
    // cells samples of 1 value (counts) or 4 (counts and colour sums). The
    // memory comes zero-filled from the system: only the pages a render
    // touches are ever mapped.
    PictureCounts(std::size_t cells, bool colour);

    std::size_t Cells() const { return cells_; }
    int Stride() const { return stride_; }
    bool Coloured() const { return stride_ == 4; }

    void Add(std::size_t cell, const MapColour& c) {
        std::uint32_t* v = values_.get() + cell * static_cast<std::size_t>(stride_);
        AddTo(v, 0, 1, cell);
        if (stride_ == 4) {
            AddTo(v, 1, c.r, cell);
            AddTo(v, 2, c.g, cell);
            AddTo(v, 3, c.b, cell);
        }
    }
    void Subtract(std::size_t cell, const MapColour& c) {
        std::uint32_t* v = values_.get() + cell * static_cast<std::size_t>(stride_);
        SubtractFrom(v, 0, 1, cell);
        if (stride_ == 4) {
            SubtractFrom(v, 1, c.r, cell);
            SubtractFrom(v, 2, c.g, cell);
            SubtractFrom(v, 3, c.b, cell);
        }
    }

    // Adds another table of the same shape into this one and clears it.
    void FoldFrom(PictureCounts& other);
    // Settles the wrap notes into the high parts that Value reads; call it
    // after the last add and fold, before reading.
    void Settle();
    // Value k (0 the count, 1..3 red, green, blue) of a cell, exact.
    std::uint64_t Value(std::size_t cell, int k) const {
        const std::size_t at = cell * static_cast<std::size_t>(stride_) + static_cast<std::size_t>(k);
        std::uint64_t v = values_[at];
        if (!high_.empty()) {
            if (auto it = high_.find(at); it != high_.end())
                v += static_cast<std::uint64_t>(it->second) << 32;
        }
        return v;
    }

private:
    [[gnu::always_inline]] void AddTo(std::uint32_t* v, int k, std::uint32_t amount, std::size_t cell) {
        const std::uint32_t before = v[k];
        v[k] = before + amount;
        if (v[k] < before) [[unlikely]]
            Note(cell, k, false);
    }
    [[gnu::always_inline]] void SubtractFrom(std::uint32_t* v, int k, std::uint32_t amount,
                                             std::size_t cell) {
        const std::uint32_t before = v[k];
        v[k] = before - amount;
        if (v[k] > before) [[unlikely]]
            Note(cell, k, true);
    }
    [[gnu::noinline, gnu::cold]] void Note(std::size_t cell, int k, bool borrow);

    struct Free {
        void operator()(std::uint32_t* p) const { std::free(p); }
    };
    std::size_t cells_;
    int stride_;
    std::unique_ptr<std::uint32_t[], Free> values_;
    // Each wrap as (value index << 1) | borrow, until Settle nets them.
    std::vector<std::uint64_t> wraps_;
    std::unordered_map<std::size_t, std::int64_t> high_;
};

}  // namespace morva
