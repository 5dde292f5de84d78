#pragma once

// Where the fast loop's plots go. A point is mapped to its pixel with the
// lanes and, whenever that shortcut cannot vouch for the result (a product
// beyond 2^31, a pixel off the table), with the reference loop's own
// conversion, so every plot lands in the cell the reference loop picks and
// every point it cannot convert is counted off the picture. The plots go to
// one of three kinds of tables:
// - the session's tables, saturating at every add like every plot there;
// - a thread's tables, plain sums that are folded into the session's (each
//   cell is a count, never negative, so saturating once at the fold is the
//   same as saturating at every add, as long as no plain sum leaves 32 bits);
// - the same thread tables taking plots back, for a trajectory that started
//   from a wrong point and whose plots were added there before.
// Nothing but the plots writes the picture during a render, so its byte is
// always min(count, 255) and is rebuilt from the tables when it is shown.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

#include "engine/lanes.h"
#include "engine/map_kernels.h"
#include "engine/narrow_counts.h"
#include "engine/picture_plan.h"
#include "raster/raster.h"
#include "scene/scene_contract.h"

namespace morva {

inline constexpr std::size_t kHitCells = static_cast<std::size_t>(kHitWidth) * kHitHeight;
inline constexpr std::size_t kHiResCells = static_cast<std::size_t>(kHiResWidth) * kHiResHeight;

// The screen mapping and the high-resolution window of a scene, as lanes.
struct PlotMapping {
    explicit PlotMapping(const SceneSettings& s);
    Lanes scale, offset;    // [ScaleX, ScaleY], [OffsetX, OffsetY]
    Lanes scale4, offset4;  // the same, times kHiResFactor
    Lanes windowMin, windowMax;
    std::uint8_t hitValue;
    // The products whose cell the lanes give at once, low <= product < high
    // (the rest take the exact conversion), and how: for the screen table
    // and, with the 4 suffix, the high-resolution one.
    Lanes low, high, low4, high4;
    // Products in [inWindowLow4, inWindowHigh4) are also those of points
    // strictly inside the window (a product is rounded, but never out of
    // the order of the points; see the constructor): one test for both.
    Lanes inWindowLow4, inWindowHigh4;
    CellLayout layout, layout4;
};

// The session's own tables. High-resolution plots add to 16-bit cells of
// the session's own (half the bytes, half the cache misses); a wrap is
// carried at once into the wide table, saturating, which is exact because
// every add there is positive.
struct SessionTables {
    std::int32_t* hits;
    std::uint16_t* narrowHiRes;
    std::int32_t* wideHiRes;
    std::int64_t offPicture = 0;

    void AddHitCell(std::size_t cell, std::uint8_t v) { AddHit(hits[cell], v); }
    void AddHiResCell(std::size_t cell, std::uint8_t v) {
        if (AddNarrow(narrowHiRes[cell], v)) [[unlikely]] {
            std::int32_t& wide = wideHiRes[cell];
            wide = wide > kHitCellMax - kNarrowWrap ? kHitCellMax
                                                    : static_cast<std::int32_t>(wide + kNarrowWrap);
        }
    }
    void CountOff() { ++offPicture; }
};

// A table of counts that starts at zero without being written: the memory
// comes zero-filled from the system, so only the pages a render touches are
// ever mapped (a high-resolution table is ten megabytes, and an attractor
// covers a fraction of it).
template <typename T>
class ZeroedCells {
public:
    explicit ZeroedCells(std::size_t n)
        : size_(n), cells_(n ? static_cast<T*>(std::calloc(n, sizeof(T))) : nullptr) {
        if (n && !cells_) throw std::bad_alloc();
    }
    T* data() { return cells_.get(); }
    const T* data() const { return cells_.get(); }
    T& operator[](std::size_t i) { return cells_[i]; }
    const T& operator[](std::size_t i) const { return cells_[i]; }
    std::size_t size() const { return size_; }

private:
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };
    std::size_t size_;
    std::unique_ptr<T[], Free> cells_;
};

// The tables a thread plots its segments into, and the bound that keeps
// their plain sums exact.
struct ThreadCounts {
    explicit ThreadCounts(bool withHiRes, const PicturePlan* plan = nullptr);
    ZeroedCells<std::int32_t> hits;
    ZeroedCells<std::uint16_t> hiRes;
    std::optional<PictureCounts> picture;  // with a picture plan
    std::vector<std::uint64_t> wraps;      // see narrow_counts.h
    // Steps plotted here since the screen table was last folded; every step
    // plots at most one cell, so hitValue times this bounds every cell.
    std::int64_t plotted = 0;
};

// Whether plots more plots could take a plain sum in one of the threads'
// screen tables past 32 bits; they must be folded first then.
bool ScreenSumsNeedFold(std::span<const std::unique_ptr<ThreadCounts>> threads, std::int64_t plots,
                        std::uint8_t hitValue);

// Plain adds into a thread's tables; high-resolution wraps are noted.
struct ThreadTables {
    explicit ThreadTables(ThreadCounts& counts)
        : hits(counts.hits.data()), hiRes(counts.hiRes.data()), wraps(&counts.wraps) {}
    std::int32_t* hits;
    std::uint16_t* hiRes;
    std::vector<std::uint64_t>* wraps;
    std::int64_t offPicture = 0;

    void AddHitCell(std::size_t cell, std::uint8_t v) { hits[cell] += v; }
    void AddHiResCell(std::size_t cell, std::uint8_t v) {
        if (AddNarrow(hiRes[cell], v)) [[unlikely]]
            NoteWrap(cell, false);
    }
    void CountOff() { ++offPicture; }
    [[gnu::noinline, gnu::cold]] void NoteWrap(std::size_t cell, bool borrow) {
        wraps->push_back(WrapEntry(cell, borrow));
    }
};

// Takes plots back from a thread's tables.
struct TakeBack {
    ThreadTables tables;

    void AddHitCell(std::size_t cell, std::uint8_t v) { tables.hits[cell] -= v; }
    void AddHiResCell(std::size_t cell, std::uint8_t v) {
        if (SubtractNarrow(tables.hiRes[cell], v)) [[unlikely]]
            tables.NoteWrap(cell, true);
    }
    void CountOff() { --tables.offPicture; }
};

// What the reference loop makes of a point that the lanes could not vouch
// for: the cell of floor(product) + offset in a table of the given size, or
// one of these. Out of line: it is rare, and it keeps the loop's values in
// registers.
inline constexpr std::int64_t kOffTable = -1;    // a 32-bit pixel outside the table
inline constexpr std::int64_t kOffPicture = -2;  // not a 32-bit number
[[gnu::noinline, gnu::cold]] std::int64_t ExactCell(Lanes product, Lanes offset, int width, int height);

// Plots the point of a step (its index within its group) as the reference
// loop does: into the high-resolution table inside the window with an echo
// on the screen every 16th step, or on the screen alone. The cells of the
// main table are gathered and added in one loop when kBatch have gathered
// and when the walk ends (Finish): the step chain then never waits on a
// table update, and the updates overlap one another. The order of the
// updates does not matter: plain sums and take-backs are sums, and the
// session's saturating cells only ever get non-negative values.
template <bool HiRes, class Tables>
struct PlotSink {
    static constexpr int kBatch = 64;

    PlotSink(const PlotMapping& m, Tables t) : mapping(m), tables(t) {}

    PlotMapping mapping;
    Tables tables;
    std::uint32_t cells[kBatch];
    std::ptrdiff_t gathered = 0;  // as wide as an address: no widening a step

    [[gnu::always_inline]] void Take(const MapState& s, int, int step) { Plot<true>(s.xy, step); }
    // For a walk that calls Finish at least every kBatch steps: no test of
    // the room left.
    [[gnu::always_inline]] void TakeInBatch(const MapState& s, int, int step) { Plot<false>(s.xy, step); }
    void Finish() {
#pragma GCC unroll 4
        for (std::ptrdiff_t i = 0; i < gathered; ++i) {
            if constexpr (HiRes) {
                tables.AddHiResCell(cells[i], mapping.hitValue);
            } else {
                tables.AddHitCell(cells[i], mapping.hitValue);
            }
        }
        gathered = 0;
    }
    template <bool Checked>
    [[gnu::always_inline]] void Gather(std::size_t cell) {
        cells[gathered] = static_cast<std::uint32_t>(cell);
        ++gathered;
        if constexpr (Checked) {
            if (gathered == kBatch) Finish();
        }
    }

    template <bool Checked>
    [[gnu::always_inline]] void Plot(Lanes xy, int step) {
        const PlotMapping& m = mapping;
        static_assert((kEchoStride & (kEchoStride - 1)) == 0 && kGroupSteps % kEchoStride == 0);
        if constexpr (HiRes) {
            const Lanes product = m.scale4 * xy;
            if (WithinRange(m.inWindowLow4, product, m.inWindowHigh4)) {
                Gather<Checked>(CellOf(product, m.layout4));
            } else if (!StrictlyInside(m.windowMin, xy, m.windowMax)) {
                return;
            } else if (WithinRange(m.low4, product, m.high4)) {
                Gather<Checked>(CellOf(product, m.layout4));
            } else {
                const std::int64_t cell = ExactCell(product, m.offset4, kHiResWidth, kHiResHeight);
                if (cell == kOffPicture) {
                    tables.CountOff();
                    return;  // and no echo
                }
                if (cell >= 0) Gather<Checked>(static_cast<std::size_t>(cell));
            }
            if ((step & (kEchoStride - 1)) != 0) return;
        }
        const Lanes product = m.scale * xy;
        std::int64_t cell;
        if (WithinRange(m.low, product, m.high)) {
            cell = CellOf(product, m.layout);
        } else {
            cell = ExactCell(product, m.offset, kHitWidth, kHitHeight);
            if (cell == kOffPicture) tables.CountOff();
            if (cell < 0) return;
        }
        if constexpr (HiRes) {
            tables.AddHitCell(static_cast<std::size_t>(cell), m.hitValue);  // an echo: one step in 16
        } else {
            Gather<Checked>(static_cast<std::size_t>(cell));
        }
    }
};

// Counts every step's point in a picture table, or takes it back. A big
// picture's table is far beyond the caches: the cells are gathered and
// added kBatch at a time (and when the walk ends), so that the step chain
// never waits on a miss and the misses overlap. Counts are sums, so the
// order of the adds does not matter.
template <bool TakesBack>
struct PictureSink {
    static constexpr int kBatch = 64;

    PictureSink(const PicturePlan* p, PictureCounts* c) : plan(p), counts(c) {}

    const PicturePlan* plan;
    PictureCounts* counts;
    std::uint64_t cells[kBatch];
    int records[kBatch];
    int gathered = 0;

    void Take(const MapState& s, int k, int) {
        const std::int64_t cell = plan->frame.Cell(Lane0(s.xy), Lane1(s.xy));
        if (cell < 0) return;
        cells[gathered] = static_cast<std::uint64_t>(cell);
        records[gathered] = k;
        if (++gathered == kBatch) Finish();
    }
    void Finish() {
        for (int i = 0; i < gathered; ++i) {
            if constexpr (TakesBack) {
                counts->Subtract(cells[i], plan->ColourOf(records[i]));
            } else {
                counts->Add(cells[i], plan->ColourOf(records[i]));
            }
        }
        gathered = 0;
    }
};

// Two sinks fed the same steps.
template <class First, class Second>
struct BothSinks {
    First first;
    Second second;

    void Take(const MapState& s, int k, int step) {
        first.Take(s, k, step);
        second.Take(s, k, step);
    }
    void Finish() {
        first.Finish();
        second.Finish();
    }
};

// The sink of the render's steps into a thread's tables (Tables:
// ThreadTables, or TakeBack to take them back), with the picture beside
// them when WithPicture; PlotsOf gives its PlotSink.
template <bool HiRes, bool WithPicture, class Tables>
using StepSink =
    std::conditional_t<WithPicture,
                       BothSinks<PlotSink<HiRes, Tables>, PictureSink<std::is_same_v<Tables, TakeBack>>>,
                       PlotSink<HiRes, Tables>>;

template <bool HiRes, bool WithPicture, class Tables>
StepSink<HiRes, WithPicture, Tables> MakeStepSink(const PlotMapping& mapping, Tables tables,
                                                  const PicturePlan* plan, ThreadCounts& counts) {
    if constexpr (WithPicture) {
        return {PlotSink<HiRes, Tables>{mapping, tables},
                PictureSink<std::is_same_v<Tables, TakeBack>>(plan, &*counts.picture)};
    } else {
        return PlotSink<HiRes, Tables>{mapping, tables};
    }
}

template <class Sink>
auto& PlotsOf(Sink& sink) {
    if constexpr (requires { sink.first; }) {
        return sink.first;
    } else {
        return sink;
    }
}

// Rebuilds rows [firstRow, endRow) of the picture from the session's
// screen table and the threads' tables: each byte is min(count, 255).
void RebuildPictureRows(FrameSurface& surface, const std::int32_t* sessionHits,
                        std::span<ThreadCounts* const> threads, int firstRow, int endRow);

// Adds the threads' screen counts of cells [from, end) into the session's
// table, saturating once, and clears them there.
void FoldHitCells(std::int32_t* sessionHits, std::span<ThreadCounts* const> threads, std::size_t from,
                  std::size_t end);

}  // namespace morva
