#include "engine/fast_renderer.h"

#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/fast_scene.h"
#include "engine/narrow_counts.h"
#include "engine/random_long.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"

namespace morva {

namespace {

// How a run of steps adds its plots: into the session's tables, saturating
// like every plot there; into a thread's own tables, plainly; or taking back
// the plots of a trajectory that started from a wrong point.
enum class Accumulate { Saturating, Plain, Subtract };

// Every loop adds its high-resolution plots to 16-bit cells of its own. The
// session's loop carries each wrap straight into the session's table (all
// its adds are positive, so saturating there is exact); a thread notes its
// wraps, to be folded in with its cells.
struct Tables {
    std::int32_t* hits = nullptr;
    std::uint16_t* hiRes = nullptr;
    std::int32_t* hiResWide = nullptr;            // the session's loop
    std::vector<std::uint64_t>* wraps = nullptr;  // a thread's loop
    std::int64_t offPicture = 0;
};

constexpr std::size_t kHiResCells = static_cast<std::size_t>(kHiResWidth) * kHiResHeight;

template <Accumulate Mode>
[[gnu::noinline, gnu::cold]] void NoteWrap(Tables& t, std::size_t index) {
    if constexpr (Mode == Accumulate::Saturating) {
        std::int32_t& cell = t.hiResWide[index];
        cell = static_cast<std::int32_t>(std::min<std::int64_t>(cell + kNarrowWrap, kHitCellMax));
    } else {
        t.wraps->push_back(WrapEntry(index, Mode == Accumulate::Subtract));
    }
}

template <Accumulate Mode>
inline void AddHiRes(Tables& t, std::size_t index, std::uint8_t value) {
    const bool wrapped = Mode == Accumulate::Subtract ? SubtractNarrow(t.hiRes[index], value)
                                                      : AddNarrow(t.hiRes[index], value);
    if (wrapped) [[unlikely]]
        NoteWrap<Mode>(t, index);
}

template <Accumulate Mode>
inline void AddTo(std::int32_t& cell, std::uint8_t value) {
    if constexpr (Mode == Accumulate::Saturating) {
        AddHit(cell, value);
    } else if constexpr (Mode == Accumulate::Plain) {
        cell += value;
    } else {
        cell -= value;
    }
}

template <Accumulate Mode>
inline void CountOff(Tables& t) {
    t.offPicture += Mode == Accumulate::Subtract ? -1 : 1;
}

constexpr double kTwo31 = 2147483648.0;

// floor(scale * coordinate) + offset as an integer, when the product is
// comfortably inside the 32-bit range; otherwise false and the caller takes
// the exact slow path.
inline bool FastPixel(double product, std::int64_t offset, std::int64_t& pixel) {
    if (!(product > -kTwo31 && product < kTwo31)) return false;
    std::int64_t whole = static_cast<std::int64_t>(product);  // truncation...
    whole -= static_cast<double>(whole) > product;            // ...made a floor
    pixel = whole + offset;
    return true;
}

inline bool FitsInt32(std::int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// The exact pixel of the reference loop, for products beyond the fast range.
inline bool SlowPixel(double product, std::int64_t offset, std::int64_t& pixel) {
    auto value = PixelCoordinate(std::floor(product) + static_cast<double>(offset));
    if (!value) return false;
    pixel = *value;
    return true;
}

inline bool Pixel(double product, std::int64_t offset, std::int64_t& pixel) {
    if (FastPixel(product, offset, pixel)) return FitsInt32(pixel);
    return SlowPixel(product, offset, pixel);
}

template <Accumulate Mode>
inline void PlotScreen(const FastScene& fs, double X, double Y, Tables& t) {
    std::int64_t py, px;
    if (!Pixel(fs.scaleY * Y, fs.offsetY, py) || !Pixel(fs.scaleX * X, fs.offsetX, px)) {
        CountOff<Mode>(t);
        return;
    }
    if (static_cast<std::uint64_t>(px) < kHitWidth && static_cast<std::uint64_t>(py) < kHitHeight) {
        AddTo<Mode>(t.hits[py * kHitWidth + px], fs.hitValue);
    }
}

template <bool HiRes, Accumulate Mode>
inline void Plot(const FastScene& fs, const PointState& p, Tables& t, int step) {
    const double X = p.X, Y = p.Y;
    if constexpr (HiRes) {
        const SceneSettings& s = fs.scene.settings;
        if (!(s.HiResXMin < X && X < s.HiResXMax && s.HiResYMin < Y && Y < s.HiResYMax)) return;
        std::int64_t y4, x4;
        if (!Pixel(fs.scale4Y * Y, fs.offset4Y, y4) || !Pixel(fs.scale4X * X, fs.offset4X, x4)) {
            CountOff<Mode>(t);
            return;
        }
        if (static_cast<std::uint64_t>(x4) < kHiResWidth && static_cast<std::uint64_t>(y4) < kHiResHeight) {
            AddHiRes<Mode>(t, static_cast<std::size_t>(y4 * kHiResWidth + x4), fs.hitValue);
        }
        if (step % kEchoStride != 0) return;
    }
    PlotScreen<Mode>(fs, X, Y, t);
}

[[gnu::always_inline]] inline void Apply(const FastScene::Record& r, PointState& p) {
    const double* c = r.c;
    switch (r.kind) {
        case kAffine:
            ConvertAff2(p, p.X, p.Y, c[0], c[1], c[2], c[3], c[4], c[5]);
            break;
        case kProjective:
            ConvertProj2(p, p.X, p.Y, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10],
                         c[11]);
            break;
        case kQuadratic:
            ConvertSqr2(p, p.X, p.Y, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10],
                        c[11]);
            break;
        default:
            break;
    }
}

inline int SelectHighSpeed(const FastScene& fs, std::int32_t& seed) {
    return fs.Select(fs.Draw(RandomLong(seed)));
}

// count steps from global step index first (its position in the group
// decides the screen echo in high-resolution mode).
template <bool HiRes, Accumulate Mode>
void RunSteps(const FastScene& fs, PointState& p, std::int32_t& seed, Tables& t, std::int64_t first,
              std::int64_t count) {
    int step = static_cast<int>(first % kGroupSteps);
    const FastScene::Record* records = fs.records.data();
    // Local copies: the compiler need not fear that a table store changes them.
    PointState point = p;
    std::int32_t localSeed = seed;
    Tables local = t;
    for (std::int64_t j = 0; j < count; ++j) {
        const int k = SelectHighSpeed(fs, localSeed);
        if (k >= 0) Apply(records[k], point);
        Plot<HiRes, Mode>(fs, point, local, step);
        if (++step == kGroupSteps) step = 0;
    }
    p = point;
    seed = localSeed;
    t = local;
}

// The affine maps with the point held as one [X, Y] vector: lane 0 computes
// (B*y + A*x) + E and lane 1 (D*y + C*x) + F, the very operations of the
// scalar map in the same order, so the results are the same bits.
struct AffineLanes {
    __m128d xCoef;  // [A, C]
    __m128d yCoef;  // [B, D]
    __m128d shift;  // [E, F]
};

const __m128d kAbsMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFll));

// floor(m) + offset in both lanes as 32-bit integers, when both products are
// inside the range where truncation is exact; false otherwise (the caller
// takes the exact scalar path then).
[[gnu::always_inline]] inline bool VectorPixels(__m128d m, __m128d offset, std::int32_t& low,
                                                std::int32_t& high) {
    const __m128d limit = _mm_set1_pd(kTwo31);
    if (_mm_movemask_pd(_mm_cmplt_pd(_mm_and_pd(m, kAbsMask), limit)) != 3) return false;
    const __m128d truncated = _mm_cvtepi32_pd(_mm_cvttpd_epi32(m));
    const __m128d floored = _mm_sub_pd(truncated, _mm_and_pd(_mm_cmpgt_pd(truncated, m), _mm_set1_pd(1.0)));
    // A sum outside the 32-bit range converts to INT32_MIN, which no table
    // accepts; the scalar path then decides what it is.
    const __m128i pixels = _mm_cvttpd_epi32(_mm_add_pd(floored, offset));
    low = _mm_cvtsi128_si32(pixels);
    high = _mm_cvtsi128_si32(_mm_shuffle_epi32(pixels, 1));
    return true;
}

template <bool HiRes, Accumulate Mode>
void RunAffine(const FastScene& fs, const std::vector<AffineLanes>& lanes, PointState& p, std::int32_t& seed,
               Tables& t, std::int64_t first, std::int64_t count) {
    const SceneSettings& s = fs.scene.settings;
    const std::int16_t* table = fs.drawTable.data();
    const AffineLanes* maps = lanes.data();
    const __m128d scale = _mm_set_pd(fs.scaleY, fs.scaleX);
    const __m128d offset = _mm_set_pd(static_cast<double>(fs.offsetY), static_cast<double>(fs.offsetX));
    const __m128d scale4 = _mm_set_pd(fs.scale4Y, fs.scale4X);
    const __m128d offset4 = _mm_set_pd(static_cast<double>(fs.offset4Y), static_cast<double>(fs.offset4X));
    const __m128d windowMin = _mm_set_pd(s.HiResYMin, s.HiResXMin);
    const __m128d windowMax = _mm_set_pd(s.HiResYMax, s.HiResXMax);
    const std::uint8_t value = fs.hitValue;
    __m128d xy = _mm_set_pd(p.Y, p.X);
    __m128d old = _mm_set_pd(p.YOld, p.XOld);
    std::int32_t localSeed = seed;
    Tables local = t;
    int step = static_cast<int>(first % kGroupSteps);

    auto screen = [&](__m128d point) {
        std::int32_t px, py;
        if (VectorPixels(_mm_mul_pd(scale, point), offset, px, py) &&
            static_cast<std::uint32_t>(px) < kHitWidth && static_cast<std::uint32_t>(py) < kHitHeight) {
            AddTo<Mode>(local.hits[py * kHitWidth + px], value);
        } else {
            PlotScreen<Mode>(fs, _mm_cvtsd_f64(point), _mm_cvtsd_f64(_mm_unpackhi_pd(point, point)), local);
        }
    };

    for (std::int64_t j = 0; j < count; ++j) {
        const int k = table[fs.Draw(RandomLong(localSeed))];
        if (k >= 0) {
            const AffineLanes& m = maps[k];
            old = xy;
            const __m128d xx = _mm_unpacklo_pd(xy, xy);
            const __m128d yy = _mm_unpackhi_pd(xy, xy);
            xy = _mm_add_pd(_mm_add_pd(_mm_mul_pd(m.yCoef, yy), _mm_mul_pd(m.xCoef, xx)), m.shift);
        }
        if constexpr (HiRes) {
            const int inside =
                _mm_movemask_pd(_mm_and_pd(_mm_cmplt_pd(windowMin, xy), _mm_cmplt_pd(xy, windowMax)));
            if (inside == 3) {
                std::int32_t x4, y4;
                if (VectorPixels(_mm_mul_pd(scale4, xy), offset4, x4, y4) &&
                    static_cast<std::uint32_t>(x4) < kHiResWidth &&
                    static_cast<std::uint32_t>(y4) < kHiResHeight) {
                    AddHiRes<Mode>(local,
                                   static_cast<std::size_t>(y4) * kHiResWidth + static_cast<std::size_t>(x4),
                                   value);
                    if (step % kEchoStride == 0) screen(xy);
                } else {
                    PointState point;
                    point.X = _mm_cvtsd_f64(xy);
                    point.Y = _mm_cvtsd_f64(_mm_unpackhi_pd(xy, xy));
                    Plot<true, Mode>(fs, point, local, step);
                }
            }
        } else {
            screen(xy);
        }
        if (++step == kGroupSteps) step = 0;
    }
    p.X = _mm_cvtsd_f64(xy);
    p.Y = _mm_cvtsd_f64(_mm_unpackhi_pd(xy, xy));
    p.XOld = _mm_cvtsd_f64(old);
    p.YOld = _mm_cvtsd_f64(_mm_unpackhi_pd(old, old));
    seed = localSeed;
    t = local;
}

void RunWarmUp(const FastScene& fs, PointState& p, std::int32_t seed, std::int64_t count) {
    const FastScene::Record* records = fs.records.data();
    for (std::int64_t j = 0; j < count; ++j) {
        const int k = SelectHighSpeed(fs, seed);
        if (k >= 0) Apply(records[k], p);
    }
}

bool SameState(const PointState& a, const PointState& b) {
    return std::memcmp(&a, &b, sizeof(PointState)) == 0;
}

// Replays a segment from its true start alongside the wrong start that the
// speculative run took, adding the true plots and taking back the wrong
// ones, until the two coincide. Returns the steps replayed; *converged says
// whether they met (then the speculative run's end is right), otherwise
// *trueEnd holds the true end of the segment.
template <bool HiRes>
std::int64_t Correct(const FastScene& fs, PointState truePoint, PointState wrongPoint, std::int32_t seed,
                     Tables& t, std::int64_t first, std::int64_t count, bool* converged,
                     PointState* trueEnd) {
    int step = static_cast<int>(first % kGroupSteps);
    const FastScene::Record* records = fs.records.data();
    for (std::int64_t j = 0; j < count; ++j) {
        if (SameState(truePoint, wrongPoint)) {
            *converged = true;
            return j;
        }
        const int k = SelectHighSpeed(fs, seed);
        if (k >= 0) {
            Apply(records[k], truePoint);
            Apply(records[k], wrongPoint);
        }
        Plot<HiRes, Accumulate::Plain>(fs, truePoint, t, step);
        Plot<HiRes, Accumulate::Subtract>(fs, wrongPoint, t, step);
        if (++step == kGroupSteps) step = 0;
    }
    *converged = SameState(truePoint, wrongPoint);
    *trueEnd = truePoint;
    return count;
}

// A few threads that each run one job per round while the caller runs its
// own share. Rounds follow each other within microseconds during a render,
// so both sides spin a little before they sleep.
class WorkerPool {
public:
    explicit WorkerPool(int workers) : workers_(workers) {
        for (int i = 0; i < workers; ++i) threads_.emplace_back([this, i] { Loop(i); });
    }
    ~WorkerPool() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
            round_.fetch_add(1, std::memory_order_release);
        }
        wake_.notify_all();
        for (auto& thread : threads_) thread.join();
    }
    // Starts job(i) on every worker i; the previous round must be over.
    void Start(std::function<void(int)> job) {
        job_ = std::move(job);
        pending_.store(workers_, std::memory_order_relaxed);
        {
            std::lock_guard lock(mutex_);
            round_.fetch_add(1, std::memory_order_release);
        }
        wake_.notify_all();
    }
    void Wait() {
        for (int spin = 0; spin < kSpins; ++spin) {
            if (pending_.load(std::memory_order_acquire) == 0) return;
            _mm_pause();
        }
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return pending_.load(std::memory_order_acquire) == 0; });
    }

private:
    static constexpr int kSpins = 20000;  // well under a millisecond

    void Loop(int index) {
        std::uint64_t seen = 0;
        for (;;) {
            std::uint64_t round = round_.load(std::memory_order_acquire);
            for (int spin = 0; round == seen && spin < kSpins; ++spin) {
                _mm_pause();
                round = round_.load(std::memory_order_acquire);
            }
            if (round == seen) {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return round_.load(std::memory_order_acquire) != seen; });
                round = round_.load(std::memory_order_acquire);
            }
            seen = round;
            {
                std::lock_guard lock(mutex_);
                if (quit_) return;
            }
            job_(index);
            if (pending_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
                std::lock_guard lock(mutex_);
                done_.notify_all();
            }
        }
    }

    const int workers_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::function<void(int)> job_;
    std::atomic<std::uint64_t> round_{0};
    std::atomic<int> pending_{0};
    bool quit_ = false;
};

class FastRenderer final : public GroupRenderer {
public:
    FastRenderer(const Scene& scene, UniformRandom& uniform, int threads)
        : fs_(scene),
          uniform_(uniform),
          threads_(fs_.highSpeed ? std::max(1, threads) : 1),
          hiRes_(fs_.hiRes ? kHiResCells : 0, 0) {
        if (fs_.highSpeed && fs_.allAffine && !fs_.drawTable.empty()) {
            for (const auto& r : fs_.records) {
                lanes_.push_back(
                    {_mm_set_pd(r.c[2], r.c[0]), _mm_set_pd(r.c[3], r.c[1]), _mm_set_pd(r.c[5], r.c[4])});
            }
        }
        if (threads_ > 1) {
            pool_ = std::make_unique<WorkerPool>(threads_ - 1);
            for (int t = 1; t < threads_; ++t) {
                locals_.push_back(std::make_unique<Local>(fs_.hiRes));
            }
        }
    }

    void DrawGroups(EngineState& state, Raster& raster, int count) override {
        const std::int64_t steps = std::int64_t{count} * kGroupSteps;
        if (!fs_.highSpeed) {
            RunStandard(state, raster, count);
            return;
        }
        // Batches long enough to share run on every thread unless the scene
        // does not coalesce (then they rest on one thread for a while).
        const bool eligible = threads_ > 1 && steps / threads_ >= 8 * warmUp_;
        bool parallel = false;
        if (eligible && cooldown_ > 0) {
            --cooldown_;
        } else if (eligible) {
            parallel = true;
            // Before the first shared batch, and after every rest, a cheap
            // test: two trajectories from different points, fed the same
            // draws, must meet within the longest warm-up.
            if (!coalescenceKnown_) {
                const std::int64_t met = StepsToCoincide(state);
                coalescenceKnown_ = met >= 0;
                if (met < 0) {
                    Adapt(true, 0);
                    parallel = false;
                } else {
                    warmUp_ = std::clamp<std::int64_t>(2 * met, warmUp_, kMaxWarmUp);
                }
            }
        }
        if (!parallel) {
            Tables main = MainTables(raster);
            if (fs_.hiRes) {
                Run<true, Accumulate::Saturating>(state.point, state.RandSeed, main, 0, steps);
            } else {
                Run<false, Accumulate::Saturating>(state.point, state.RandSeed, main, 0, steps);
            }
            state.offPicture += main.offPicture;
        } else if (fs_.hiRes) {
            RunParallel<true>(state, raster, steps);
        } else {
            RunParallel<false>(state, raster, steps);
        }
    }

    void Flush(Raster& raster, FlushScope scope) override {
        const bool fold = scope == FlushScope::All;
        // The bands below find their wraps by cell.
        if (fold) {
            for (auto& local : locals_) std::sort(local->wraps.begin(), local->wraps.end());
        }
        // Each thread takes its own band of rows (one band while the render
        // rests on one thread).
        const int parts = pool_ && ActiveThreads() > 1 ? threads_ : 1;
        auto band = [&](int part) {
            FlushRows(raster, fold, kHitHeight * part / parts, kHitHeight * (part + 1) / parts,
                      kHiResHeight * part / parts, kHiResHeight * (part + 1) / parts);
        };
        if (parts > 1) {
            pool_->Start([&](int worker) { band(worker + 1); });
            band(0);
            pool_->Wait();
        } else {
            band(0);
        }
        if (fold) {
            for (auto& local : locals_) {
                local->plottedSinceFold = 0;
                local->wraps.clear();
            }
        }
    }

    int ActiveThreads() const override { return cooldown_ > 0 ? 1 : threads_; }

private:
    struct Local {
        explicit Local(bool withHiRes)
            : hits(static_cast<std::size_t>(kHitWidth) * kHitHeight, 0),
              hiRes(withHiRes ? kHiResCells : 0, 0) {}
        std::vector<std::int32_t> hits;
        std::vector<std::uint16_t> hiRes;
        std::vector<std::uint64_t> wraps;
        std::int64_t plottedSinceFold = 0;  // bound on any cell of this thread's tables
        // One segment's results.
        PointState guess, end;
        std::int32_t seedAtStart = 0;
        Tables tables;
    };

    template <bool HiRes, Accumulate Mode>
    void Run(PointState& p, std::int32_t& seed, Tables& t, std::int64_t first, std::int64_t count) const {
        if (!lanes_.empty()) {
            RunAffine<HiRes, Mode>(fs_, lanes_, p, seed, t, first, count);
        } else {
            RunSteps<HiRes, Mode>(fs_, p, seed, t, first, count);
        }
    }

    Tables MainTables(Raster& raster) {
        Tables t;
        t.hits = raster.HitBuffer().Data();
        t.hiRes = hiRes_.data();
        t.hiResWide = raster.HiResBuffer().Data();
        return t;
    }

    // Adds a thread's plain counts into the session's saturating ones. Both
    // are never negative, so a sum past the 32-bit range shows as negative.
    static void FoldInto(std::int32_t* target, std::int32_t* local, std::size_t n) {
        for (std::size_t c = 0; c < n; ++c) {
            const auto sum = static_cast<std::int32_t>(static_cast<std::uint32_t>(target[c]) +
                                                       static_cast<std::uint32_t>(local[c]));
            target[c] = sum < 0 ? kHitCellMax : sum;
            local[c] = 0;
        }
    }

    // Folds the threads' counts of a band of rows into the session's tables
    // (when asked), and rebuilds the band's picture bytes: nothing but the
    // plots writes the picture during a render, so each byte is the
    // saturated count of its cell.
    void FlushRows(Raster& raster, bool fold, int firstRow, int endRow, int firstHiResRow, int endHiResRow) {
        std::int32_t* hits = raster.HitBuffer().Data();
        const std::size_t from = static_cast<std::size_t>(firstRow) * kHitWidth;
        const std::size_t cells = static_cast<std::size_t>(endRow - firstRow) * kHitWidth;
        if (fold) {
            for (auto& local : locals_) FoldInto(hits + from, local->hits.data() + from, cells);
            if (fs_.hiRes) {
                FoldHiRes(raster.HiResBuffer().Data(), static_cast<std::size_t>(firstHiResRow) * kHiResWidth,
                          static_cast<std::size_t>(endHiResRow) * kHiResWidth);
            }
        }
        FrameSurface& surface = raster.Surface();
        if (!surface.Mapped()) return;
        static_assert(kHitWidth % 16 == 0);
        for (int y = firstRow; y < endRow; ++y) {
            const std::size_t at = static_cast<std::size_t>(y) * kHitWidth;
            std::uint8_t* row = &surface(0, y);
            for (int x = 0; x < kHitWidth; x += 16) {
                // Counts are never negative: the saturating packs and adds
                // keep min(count, 255) exact.
                auto saturated16 = [&](const std::int32_t* counts) {
                    auto load = [&](int k) {
                        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(counts + at + x + k));
                    };
                    return std::pair{_mm_packs_epi32(load(0), load(4)), _mm_packs_epi32(load(8), load(12))};
                };
                auto [low, high] = saturated16(hits);
                for (auto& local : locals_) {
                    auto [localLow, localHigh] = saturated16(local->hits.data());
                    low = _mm_adds_epi16(low, localLow);
                    high = _mm_adds_epi16(high, localHigh);
                }
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), _mm_packus_epi16(low, high));
            }
        }
    }

    void FoldHiRes(std::int32_t* wide, std::size_t from, std::size_t end) {
        std::vector<NarrowTable> tables{{hiRes_.data(), nullptr}};
        for (auto& local : locals_) tables.push_back({local->hiRes.data(), &local->wraps});
        FoldNarrow(wide, from, end, tables);
    }

    void RunStandard(EngineState& state, Raster& raster, int count) {
        // The platform generator's draws make every picture different
        // anyway; the loop stays on one thread and uses the reference walk.
        Tables main = MainTables(raster);
        const double weightSum = fs_.scene.settings.WeightSum;
        for (int g = 0; g < count; ++g) {
            for (int i = 0; i < kGroupSteps; ++i) {
                const int k = SelectStandard(fs_.scene, uniform_.Next() * weightSum);
                if (k >= 0) Apply(fs_.records[k], state.point);
                if (fs_.hiRes) {
                    Plot<true, Accumulate::Saturating>(fs_, state.point, main, i);
                } else {
                    Plot<false, Accumulate::Saturating>(fs_, state.point, main, i);
                }
            }
        }
        state.offPicture += main.offPicture;
    }

    template <bool HiRes>
    void RunParallel(EngineState& state, Raster& raster, std::int64_t steps) {
        const int segments = threads_;
        auto bound = [&](int t) { return steps * t / segments; };
        const PointState start = state.point;
        const std::int32_t seed0 = state.RandSeed;
        const std::int64_t warmUp = warmUp_;

        // A thread's plots stay plain 32-bit sums until they are folded into
        // the session's tables; fold before any cell could pass the range.
        for (auto& local : locals_) {
            const std::int64_t segmentMax = (bound(1) + 2 * warmUp) * fs_.hitValue * 2;
            if (local->plottedSinceFold + segmentMax > kHitCellMax) {
                Flush(raster, FlushScope::All);
                break;
            }
        }

        pool_->Start([&](int worker) {
            const int t = worker + 1;
            Local& local = *locals_[worker];
            const std::int64_t first = bound(t), count = bound(t + 1) - first;
            const std::int64_t lead = std::min<std::int64_t>(warmUp, first);
            PointState p = start;
            RunWarmUp(fs_, p, RandomJump(seed0, static_cast<std::uint64_t>(first - lead)), lead);
            local.guess = p;
            local.seedAtStart = RandomJump(seed0, static_cast<std::uint64_t>(first));
            std::int32_t seed = local.seedAtStart;
            local.tables = Tables{};
            local.tables.hits = local.hits.data();
            local.tables.hiRes = local.hiRes.data();
            local.tables.wraps = &local.wraps;
            Run<HiRes, Accumulate::Plain>(p, seed, local.tables, first, count);
            local.end = p;
            local.plottedSinceFold += count * fs_.hitValue;
        });
        Tables main = MainTables(raster);
        PointState p = start;
        std::int32_t seed = seed0;
        Run<HiRes, Accumulate::Saturating>(p, seed, main, 0, bound(1));
        state.offPicture += main.offPicture;
        pool_->Wait();

        PointState trueEnd = p;
        bool anyFailed = false;
        std::int64_t longestFix = 0;
        for (int t = 1; t < segments; ++t) {
            Local& local = *locals_[t - 1];
            PointState segmentEnd = local.end;
            if (!SameState(local.guess, trueEnd)) {
                bool converged = false;
                PointState replayEnd;
                const std::int64_t first = bound(t), count = bound(t + 1) - first;
                const std::int64_t replayed =
                    Correct<HiRes>(fs_, trueEnd, local.guess, local.seedAtStart, local.tables, first, count,
                                   &converged, &replayEnd);
                local.plottedSinceFold += replayed * fs_.hitValue;
                longestFix = std::max(longestFix, replayed);
                if (!converged) {
                    segmentEnd = replayEnd;
                    anyFailed = true;
                }
            }
            state.offPicture += local.tables.offPicture;
            trueEnd = segmentEnd;
        }
        state.point = trueEnd;
        state.RandSeed = RandomJump(seed0, static_cast<std::uint64_t>(steps));
        Adapt(anyFailed, longestFix);
    }

    // Longer warm-ups for scenes that coincide slowly; a rest on one thread
    // for scenes that never do, growing while they keep failing.
    // Steps until a trajectory from the point and one from another point,
    // fed the same draws, are the same bits; -1 when they do not meet within
    // the longest warm-up. The render's own state is not touched.
    std::int64_t StepsToCoincide(const EngineState& state) const {
        PointState a = state.point, b = state.point;
        b.X = a.X == 0.0 ? 0.5 : 0.0;
        b.Y = a.Y == 0.0 ? 0.5 : 0.0;
        std::int32_t seed = state.RandSeed;
        const FastScene::Record* records = fs_.records.data();
        for (std::int64_t j = 0; j < kMaxWarmUp; ++j) {
            if (SameState(a, b)) return j;
            const int k = SelectHighSpeed(fs_, seed);
            if (k >= 0) {
                Apply(records[k], a);
                Apply(records[k], b);
            }
        }
        return SameState(a, b) ? kMaxWarmUp : -1;
    }

    void Adapt(bool failed, std::int64_t longestFix) {
        if (failed) {
            failedRounds_ = std::min(failedRounds_ + 1, 8);
            cooldown_ = 32 << failedRounds_;
            coalescenceKnown_ = false;
            return;
        }
        failedRounds_ = std::max(failedRounds_ - 1, 0);
        if (longestFix > 0) warmUp_ = std::min<std::int64_t>(std::max(warmUp_, 2 * longestFix), kMaxWarmUp);
    }

    static constexpr std::int64_t kMaxWarmUp = 16384;

    FastScene fs_;
    std::vector<AffineLanes> lanes_;
    UniformRandom& uniform_;
    int threads_;
    std::unique_ptr<WorkerPool> pool_;
    std::vector<std::unique_ptr<Local>> locals_;
    std::vector<std::uint16_t> hiRes_;  // the session's loop's own cells
    std::int64_t warmUp_ = 512;
    int cooldown_ = 0;
    int failedRounds_ = 0;
    bool coalescenceKnown_ = false;
};

}  // namespace

std::unique_ptr<GroupRenderer> MakeFastRenderer(const Scene& scene, UniformRandom& uniform, int threads) {
    return std::make_unique<FastRenderer>(scene, uniform, threads);
}

}  // namespace morva
