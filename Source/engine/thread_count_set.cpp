#include "engine/thread_count_set.h"

#include <algorithm>

#include "engine/narrow_counts.h"
#include "raster/raster.h"

namespace morva {

ThreadCountSet::ThreadCountSet(bool hiRes, const PicturePlan* plan)
    : withHiRes_(hiRes), plan_(plan), hiRes_(hiRes ? kHiResCells : 0) {}

void ThreadCountSet::Make(int threads) {
    if (!counts_.empty()) return;
    std::vector<std::unique_ptr<ThreadCounts>> counts;
    for (int t = 0; t < threads; ++t) counts.push_back(std::make_unique<ThreadCounts>(withHiRes_, plan_));
    counts_ = std::move(counts);
}

std::vector<ThreadCounts*> ThreadCountSet::Pointers() const {
    std::vector<ThreadCounts*> threads;
    for (const auto& counts : counts_) threads.push_back(counts.get());
    return threads;
}

void ThreadCountSet::FoldScreen(Raster& raster) {
    FoldHitCells(raster.HitBuffer().Data(), Pointers(), 0, kHitCells);
    for (auto& counts : counts_) counts->plotted = 0;
}

void ThreadCountSet::BeginFold() {
    // The bands find their wraps by cell.
    for (auto& counts : counts_) std::sort(counts->wraps.begin(), counts->wraps.end());
}

void ThreadCountSet::EndFold() {
    for (auto& counts : counts_) {
        counts->plotted = 0;
        counts->wraps.clear();
    }
}

void ThreadCountSet::FlushRows(Raster& raster, bool fold, int part, int parts) {
    std::vector<ThreadCounts*> threads = Pointers();
    const int firstRow = kHitHeight * part / parts, endRow = kHitHeight * (part + 1) / parts;
    std::int32_t* hits = raster.HitBuffer().Data();
    if (fold) {
        FoldHitCells(hits, threads, static_cast<std::size_t>(firstRow) * kHitWidth,
                     static_cast<std::size_t>(endRow) * kHitWidth);
        if (withHiRes_) {
            std::vector<NarrowTable> tables{{hiRes_.data(), nullptr}};
            for (ThreadCounts* t : threads) tables.push_back({t->hiRes.data(), &t->wraps});
            FoldNarrow(raster.HiResBuffer().Data(),
                       static_cast<std::size_t>(kHiResHeight * part / parts) * kHiResWidth,
                       static_cast<std::size_t>(kHiResHeight * (part + 1) / parts) * kHiResWidth, tables);
        }
    }
    // A thread's screen table holds nothing since its latest fold.
    std::erase_if(threads, [](const ThreadCounts* t) { return t->plotted == 0; });
    FrameSurface& surface = raster.Surface();
    if (surface.Mapped()) RebuildPictureRows(surface, hits, threads, firstRow, endRow);
}

PictureCounts& ThreadCountSet::Picture() {
    PictureCounts& picture = *Caller().picture;
    for (std::size_t t = 1; t < counts_.size(); ++t) picture.FoldFrom(*counts_[t]->picture);
    picture.Settle();
    return picture;
}

}  // namespace morva
