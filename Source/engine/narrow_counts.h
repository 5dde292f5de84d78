#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace morva {

// High-resolution counts held in 16-bit cells while a loop adds to them: the
// plots scatter over megabytes of table, and half the bytes is half the
// cache misses. A cell that passes 65535, or drops below 0 while plots are
// taken back, wraps, and the wrap is noted: the count of a cell is its 16
// bits plus 65536 for each carry less 65536 for each borrow.
inline constexpr std::int64_t kNarrowWrap = 65536;

// A noted wrap: the cell's index, and in the lowest bit whether it was a
// borrow. Sorted entries come in cell order.
inline std::uint64_t WrapEntry(std::size_t index, bool borrow) {
    return static_cast<std::uint64_t>(index) << 1 | (borrow ? 1u : 0u);
}

// Adds value to a cell; true when the cell wrapped past 65535.
inline bool AddNarrow(std::uint16_t& cell, std::uint8_t value) {
    const std::uint32_t sum = std::uint32_t{cell} + value;
    cell = static_cast<std::uint16_t>(sum);
    return sum > 0xFFFF;
}

// Takes value back from a cell; true when the cell wrapped below 0.
inline bool SubtractNarrow(std::uint16_t& cell, std::uint8_t value) {
    const bool borrow = cell < value;
    cell = static_cast<std::uint16_t>(cell - value);
    return borrow;
}

struct NarrowTable {
    std::uint16_t* cells;
    const std::vector<std::uint64_t>* wraps;  // sorted; none where its wraps went elsewhere
};

// Adds the counts of cells [from, end) of every table to the wide cells,
// saturating at the 32-bit limit, and clears those narrow cells. Each
// table's count of a cell is never negative, and neither is a wide cell, so
// saturating once here is the same as saturating at every plot.
void FoldNarrow(std::int32_t* wide, std::size_t from, std::size_t end, std::span<const NarrowTable> tables);

}  // namespace morva
