#include "engine/narrow_counts.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace morva {

void FoldNarrow(std::int32_t* wide, std::size_t from, std::size_t end, std::span<const NarrowTable> tables) {
    // A table's count of a cell is its 16 bits plus 65536 for each net carry,
    // and neither part is ever negative, so the tables can be added one at a
    // time, each part saturating on its own: min(min(a + b, L) + c, L) is
    // min(a + b + c, L) for non-negative b and c.
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
    // Blocks of one page of 16-bit cells: a block never plotted is skipped,
    // neither read twice nor written (its page may never have been mapped).
    constexpr std::size_t kBlock = 2048;
    for (const NarrowTable& table : tables) {
        std::uint16_t* cells = table.cells;
        for (std::size_t block = from; block < end; block += kBlock) {
            const std::size_t last = std::min(block + kBlock, end);
            unsigned any = 0;
            for (std::size_t c = block; c < last; ++c) any |= cells[c];
            if (any == 0) continue;
            for (std::size_t c = block; c < last; ++c) {
                wide[c] = static_cast<std::int32_t>(
                    std::min<std::int64_t>(std::int64_t{wide[c]} + cells[c], kLimit));
            }
            std::memset(cells + block, 0, (last - block) * sizeof(std::uint16_t));
        }
        if (!table.wraps) continue;
        const std::uint64_t* next = std::lower_bound(
            table.wraps->data(), table.wraps->data() + table.wraps->size(), WrapEntry(from, false));
        const std::uint64_t* stop =
            std::lower_bound(next, table.wraps->data() + table.wraps->size(), WrapEntry(end, false));
        while (next != stop) {
            const std::size_t cell = static_cast<std::size_t>(*next >> 1);
            std::int64_t net = 0;
            for (; next != stop && (*next >> 1) == cell; ++next)
                net += (*next & 1) ? -kNarrowWrap : kNarrowWrap;
            wide[cell] = static_cast<std::int32_t>(std::min(std::int64_t{wide[cell]} + net, kLimit));
        }
    }
}

}  // namespace morva
