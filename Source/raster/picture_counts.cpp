#include "raster/picture_counts.h"

#include <algorithm>
#include <new>

namespace morva {

PictureCounts::PictureCounts(std::size_t cells, bool colour)
    : cells_(cells),
      stride_(colour ? 4 : 1),
      values_(static_cast<std::uint32_t*>(std::calloc(cells * static_cast<std::size_t>(stride_), 4))) {
    if (cells && !values_) throw std::bad_alloc();
}

void PictureCounts::Note(std::size_t cell, int k, bool borrow) {
    const std::uint64_t at = cell * static_cast<std::uint64_t>(stride_) + static_cast<std::uint64_t>(k);
    wraps_.push_back(at << 1 | (borrow ? 1 : 0));
}

void PictureCounts::FoldFrom(PictureCounts& other) {
    const std::size_t n = cells_ * static_cast<std::size_t>(stride_);
    std::uint32_t* mine = values_.get();
    std::uint32_t* theirs = other.values_.get();
    // Pages the other table never touched read as zero blocks and stay
    // unmapped there.
    constexpr std::size_t kBlock = 1024;
    for (std::size_t block = 0; block < n; block += kBlock) {
        const std::size_t last = std::min(block + kBlock, n);
        std::uint32_t any = 0;
        for (std::size_t i = block; i < last; ++i) any |= theirs[i];
        if (any == 0) continue;
        for (std::size_t i = block; i < last; ++i) {
            const std::uint32_t before = mine[i];
            mine[i] = before + theirs[i];
            if (mine[i] < before) wraps_.push_back(static_cast<std::uint64_t>(i) << 1);
            theirs[i] = 0;
        }
    }
    wraps_.insert(wraps_.end(), other.wraps_.begin(), other.wraps_.end());
    other.wraps_.clear();
    for (const auto& [at, high] : other.high_) high_[at] += high;
    other.high_.clear();
}

void PictureCounts::Settle() {
    for (const std::uint64_t wrap : wraps_) high_[static_cast<std::size_t>(wrap >> 1)] += (wrap & 1) ? -1 : 1;
    wraps_.clear();
    std::erase_if(high_, [](const auto& entry) { return entry.second == 0; });
}

}  // namespace morva
