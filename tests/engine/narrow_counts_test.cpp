#include "engine/narrow_counts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

namespace morva {
namespace {

constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();

// One thread's cells as the loop keeps them, beside the true counts.
struct Narrow {
    std::vector<std::uint16_t> cells;
    std::vector<std::uint64_t> wraps;
    std::vector<std::int64_t> truth;
    explicit Narrow(std::size_t n) : cells(n, 0), truth(n, 0) {}
    void Add(std::size_t c, std::uint8_t v) {
        if (AddNarrow(cells[c], v)) wraps.push_back(WrapEntry(c, false));
        truth[c] += v;
    }
    void Subtract(std::size_t c, std::uint8_t v) {
        if (SubtractNarrow(cells[c], v)) wraps.push_back(WrapEntry(c, true));
        truth[c] -= v;
    }
};

TEST(NarrowCounts, CellsWrapBothWaysAndNoteIt) {
    std::uint16_t cell = 65530;
    EXPECT_FALSE(AddNarrow(cell, 5));
    EXPECT_EQ(cell, 65535);
    EXPECT_TRUE(AddNarrow(cell, 255));
    EXPECT_EQ(cell, 254);
    EXPECT_FALSE(SubtractNarrow(cell, 254));
    EXPECT_EQ(cell, 0);
    EXPECT_TRUE(SubtractNarrow(cell, 1));
    EXPECT_EQ(cell, 65535);
    // Wraps sort by cell, a borrow just after a carry of the same cell.
    EXPECT_LT(WrapEntry(7, false), WrapEntry(7, true));
    EXPECT_LT(WrapEntry(7, true), WrapEntry(8, false));
}

TEST(NarrowCounts, FoldingAddsEveryTableWithItsWrapsAndSaturatesOnce) {
    // Plots added and taken back at random, many past 65535 and back below,
    // some on cells already close to the 32-bit limit; folded band by band
    // as the threads do, the tables must equal the plain sums.
    constexpr std::size_t kCells = 64;
    std::mt19937 rng(2024);
    std::vector<std::int32_t> wide(kCells);
    for (std::size_t c = 0; c < kCells; ++c) {
        wide[c] =
            c % 8 == 0 ? static_cast<std::int32_t>(kLimit - 100000) : static_cast<std::int32_t>(rng() % 1000);
    }
    Narrow own(kCells), first(kCells), second(kCells);
    for (int i = 0; i < 200000; ++i) {
        const std::size_t c = rng() % 5 == 0 ? 3 : rng() % kCells;  // one cell far busier than the rest
        const auto v = static_cast<std::uint8_t>(rng() % 256);
        own.Add(c, v);
        Narrow& thread = rng() % 2 ? first : second;
        // A thread takes back only what it added before.
        if (rng() % 3 == 0 && thread.truth[c] >= v) {
            thread.Subtract(c, v);
        } else {
            thread.Add(c, v);
        }
    }
    ASSERT_FALSE(first.wraps.empty());
    ASSERT_TRUE(std::any_of(first.wraps.begin(), first.wraps.end(), [](std::uint64_t w) { return w & 1; }))
        << "no borrow was exercised";

    std::vector<std::int64_t> expected(kCells);
    for (std::size_t c = 0; c < kCells; ++c) {
        expected[c] = std::min(wide[c] + own.truth[c] + first.truth[c] + second.truth[c], kLimit);
    }
    std::sort(first.wraps.begin(), first.wraps.end());
    std::sort(second.wraps.begin(), second.wraps.end());
    // The session's own cells carry straight into the wide table.
    for (std::size_t c = 0; c < kCells; ++c) {
        wide[c] = static_cast<std::int32_t>(std::min(wide[c] + (own.truth[c] - own.cells[c]), kLimit));
    }
    const std::vector<NarrowTable> tables = {{own.cells.data(), nullptr},
                                             {first.cells.data(), &first.wraps},
                                             {second.cells.data(), &second.wraps}};
    for (std::size_t from : {0, 5, 6, 40}) {  // bands of uneven size
        const std::size_t end = from == 0 ? 5 : from == 5 ? 6 : from == 6 ? 40 : kCells;
        FoldNarrow(wide.data(), from, end, tables);
    }
    for (std::size_t c = 0; c < kCells; ++c) {
        EXPECT_EQ(wide[c], expected[c]) << "cell " << c;
        EXPECT_EQ(own.cells[c] | first.cells[c] | second.cells[c], 0) << "cell " << c << " not cleared";
    }
}

}  // namespace
}  // namespace morva
