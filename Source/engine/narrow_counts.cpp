#include "engine/narrow_counts.h"

#include <algorithm>
#include <limits>

namespace morva {

void FoldNarrow(std::int32_t* wide, std::size_t from, std::size_t end, std::span<const NarrowTable> tables) {
    // Each table's wraps within the band, walked alongside the cells.
    struct Wraps {
        const std::uint64_t* next = nullptr;
        const std::uint64_t* last = nullptr;
    };
    std::vector<Wraps> wraps(tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (!tables[i].wraps) continue;
        const std::uint64_t* first = tables[i].wraps->data();
        const std::uint64_t* past = first + tables[i].wraps->size();
        wraps[i] = {std::lower_bound(first, past, WrapEntry(from, false)),
                    std::lower_bound(first, past, WrapEntry(end, false))};
    }
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
    for (std::size_t c = from; c < end; ++c) {
        std::int64_t total = wide[c];
        for (std::size_t i = 0; i < tables.size(); ++i) {
            total += tables[i].cells[c];
            tables[i].cells[c] = 0;
            for (Wraps& w = wraps[i]; w.next != w.last && (*w.next >> 1) == c; ++w.next) {
                total += (*w.next & 1) ? -kNarrowWrap : kNarrowWrap;
            }
        }
        wide[c] = static_cast<std::int32_t>(std::min(total, kLimit));
    }
}

}  // namespace morva
