#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/plot_tables.h"

namespace morva {

class Raster;

// The tables of a render's threads, one set per thread (the caller's
// first), beside the session's own narrow high-resolution cells, and how
// they fold into the session's tables.
class ThreadCountSet {
public:
    ThreadCountSet(bool hiRes, const PicturePlan* plan);

    // Makes the threads' tables, all or none: a table the system cannot
    // give is a std::bad_alloc for the caller to report, and leaves no
    // thread without its tables.
    void Make(int threads);
    std::vector<std::unique_ptr<ThreadCounts>>& Threads() { return counts_; }
    ThreadCounts& Caller() { return *counts_.front(); }
    std::uint16_t* OwnHiRes() { return hiRes_.data(); }

    // Folds the threads' screen counts into the session's table.
    void FoldScreen(Raster& raster);
    // A fold of every table comes in bands of rows: before them, after them.
    void BeginFold();
    void EndFold();
    // Folds the threads' counts of a band of rows into the session's tables
    // (when asked) and rebuilds the band's picture bytes.
    void FlushRows(Raster& raster, bool fold, int part, int parts);
    // The picture counts of every thread, in the caller's.
    PictureCounts& Picture();

private:
    std::vector<ThreadCounts*> Pointers() const;

    bool withHiRes_;
    const PicturePlan* plan_;
    std::vector<std::unique_ptr<ThreadCounts>> counts_;
    ZeroedCells<std::uint16_t> hiRes_;
};

}  // namespace morva
