#include "engine/selection.h"

#include <algorithm>
#include <limits>

namespace morva {

FastSelection::FastSelection(const Scene& scene)
    : total_(static_cast<std::uint32_t>(std::max(scene.settings.WeightTotal727, 1))),
      multiplier_(~std::uint64_t{0} / total_ + 1) {
    const int used = UsedTransforms(scene.settings);
    std::int64_t acc = 0;
    std::int64_t best = std::numeric_limits<std::int64_t>::min();
    for (int k = 0; k < used; ++k) {
        acc += WeightBand(scene.transforms[k].Weight).value_or(0);
        best = std::max(best, acc);
        runningMax_.push_back(best);
    }
    // The sentinel ends every scan: no draw reaches it, and its index is
    // the number of records, which selects none.
    runningMax_.push_back(std::numeric_limits<std::int64_t>::max());

    while (((total_ - 1) >> shift_) >= kTableLimit) ++shift_;
    const std::uint32_t buckets = ((total_ - 1) >> shift_) + 1;
    table_.resize(buckets);
    const auto selected = [&](std::uint32_t draw) {
        return static_cast<int>(std::upper_bound(runningMax_.begin(), runningMax_.end(), std::int64_t{draw}) -
                                runningMax_.begin());
    };
    for (std::uint32_t b = 0; b < buckets; ++b) {
        const std::uint32_t firstDraw = b << shift_;
        const std::uint32_t lastDraw = std::min(total_ - 1, firstDraw + ((1u << shift_) - 1));
        const int first = selected(firstDraw);
        if (first == selected(lastDraw)) {
            table_[b] = static_cast<std::int16_t>(first == used ? kNone : first);
        } else {
            table_[b] = static_cast<std::int16_t>(kNone - 1 - first);
        }
    }
}

int FastSelection::Scan(int first, std::uint32_t draw) const {
    int k = first;
    while (runningMax_[static_cast<std::size_t>(k)] <= std::int64_t{draw}) ++k;
    return k == static_cast<int>(runningMax_.size()) - 1 ? kNone : k;
}

int FastSelection::ScanDraw(int first, std::int32_t v) const { return Scan(first, Draw(v)); }

}  // namespace morva
