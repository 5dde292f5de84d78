#include "engine/plot_tables.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/iteration_group.h"

namespace morva {

PlotMapping::PlotMapping(const SceneSettings& s)
    : scale(MakeLanes(s.ScaleX, s.ScaleY)),
      offset(MakeLanes(s.OffsetX, s.OffsetY)),
      // The loader has checked that four times each fits in 32 bits.
      scale4(MakeLanes(static_cast<double>(std::int64_t{kHiResFactor} * s.ScaleX),
                       static_cast<double>(std::int64_t{kHiResFactor} * s.ScaleY))),
      offset4(MakeLanes(static_cast<double>(std::int64_t{kHiResFactor} * s.OffsetX),
                        static_cast<double>(std::int64_t{kHiResFactor} * s.OffsetY))),
      windowMin(MakeLanes(s.HiResXMin, s.HiResYMin)),
      windowMax(MakeLanes(s.HiResXMax, s.HiResYMax)),
      hitValue(s.HitValue),
      layout(MakeCellLayout(s.OffsetX, s.OffsetY, kHitWidth)),
      layout4(MakeCellLayout(kHiResFactor * s.OffsetX, kHiResFactor * s.OffsetY, kHiResWidth)) {
    // The offsets are whole numbers: floor(p) + offset is in [0, size) just
    // when -offset <= p < size - offset, and within 2^31 - 1 the truncation
    // the lanes take is exact.
    auto bounds = [](std::int64_t shift, int size, double& from, double& to) {
        constexpr double kLimit = 2147483647.0;
        from = std::max(static_cast<double>(-shift), -kLimit);
        to = std::min(static_cast<double>(size - shift), kLimit);
    };
    double lx, hx, ly, hy;
    bounds(s.OffsetX, kHitWidth, lx, hx);
    bounds(s.OffsetY, kHitHeight, ly, hy);
    low = MakeLanes(lx, ly);
    high = MakeLanes(hx, hy);
    bounds(std::int64_t{kHiResFactor} * s.OffsetX, kHiResWidth, lx, hx);
    bounds(std::int64_t{kHiResFactor} * s.OffsetY, kHiResHeight, ly, hy);
    low4 = MakeLanes(lx, ly);
    high4 = MakeLanes(hx, hy);
    // Rounding keeps the order: x <= w gives s*x <= s*w, rounded, for s > 0
    // (>= for s < 0). So a product beyond the window's own rounded product
    // is a point strictly inside that bound. A scale of zero or a window
    // bound that is NaN vouches for nothing: such points take both tests.
    auto inWindow = [](double factor, double wMin, double wMax, double from, double to, double& inFrom,
                       double& inTo) {
        inFrom = inTo = 0;
        if (factor == 0 || std::isnan(wMin) || std::isnan(wMax)) return;
        const double a = factor * wMin, b = factor * wMax;
        inFrom = std::max(from, std::nextafter(factor > 0 ? a : b, std::numeric_limits<double>::infinity()));
        inTo = std::min(to, factor > 0 ? b : a);
    };
    double wlx, whx, wly, why;
    inWindow(Lane0(scale4), s.HiResXMin, s.HiResXMax, lx, hx, wlx, whx);
    inWindow(Lane1(scale4), s.HiResYMin, s.HiResYMax, ly, hy, wly, why);
    inWindowLow4 = MakeLanes(wlx, wly);
    inWindowHigh4 = MakeLanes(whx, why);
}

std::int64_t ExactCell(Lanes product, Lanes offset, int width, int height) {
    // Row first, as the reference loop converts them; either failing puts
    // the point off the picture.
    const std::optional<std::int32_t> y = PixelCoordinate(std::floor(Lane1(product)) + Lane1(offset));
    const std::optional<std::int32_t> x =
        y ? PixelCoordinate(std::floor(Lane0(product)) + Lane0(offset)) : std::nullopt;
    if (!x || !y) return kOffPicture;
    if (*x < 0 || *x >= width || *y < 0 || *y >= height) return kOffTable;
    return std::int64_t{*y} * width + *x;
}

ThreadCounts::ThreadCounts(bool withHiRes, const PicturePlan* plan)
    : hits(kHitCells), hiRes(withHiRes ? kHiResCells : 0) {
    if (plan) picture.emplace(plan->MakeCounts());
}

void RebuildPictureRows(FrameSurface& surface, const std::int32_t* sessionHits,
                        std::span<ThreadCounts* const> threads, int firstRow, int endRow) {
    for (int y = firstRow; y < endRow; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * kHitWidth;
        std::uint8_t* row = &surface(0, y);
#if MORVA_SIMD
        // Every count is non-negative: the saturating packs and adds keep
        // min(sum, 255) exact.
        static_assert(kHitWidth % 16 == 0);
        for (int x = 0; x < kHitWidth; x += 16) {
            auto saturated16 = [&](const std::int32_t* counts) {
                auto load = [&](int k) {
                    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(counts + at + x + k));
                };
                return std::pair{_mm_packs_epi32(load(0), load(4)), _mm_packs_epi32(load(8), load(12))};
            };
            auto [low, high] = saturated16(sessionHits);
            for (const ThreadCounts* thread : threads) {
                auto [threadLow, threadHigh] = saturated16(thread->hits.data());
                low = _mm_adds_epi16(low, threadLow);
                high = _mm_adds_epi16(high, threadHigh);
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), _mm_packus_epi16(low, high));
        }
#else
        for (int x = 0; x < kHitWidth; ++x) {
            std::int32_t sum = std::min(sessionHits[at + x], 255);
            for (const ThreadCounts* thread : threads) sum += std::min(thread->hits[at + x], 255);
            row[x] = static_cast<std::uint8_t>(std::min(sum, 255));
        }
#endif
    }
}

bool ScreenSumsNeedFold(std::span<const std::unique_ptr<ThreadCounts>> threads, std::int64_t plots,
                        std::uint8_t hitValue) {
    const std::int64_t room = kHitCellMax / std::max<std::int64_t>(hitValue, 1);
    return std::any_of(threads.begin(), threads.end(),
                       [&](const auto& t) { return t->plotted + plots > room; });
}

void FoldHitCells(std::int32_t* sessionHits, std::span<ThreadCounts* const> threads, std::size_t from,
                  std::size_t end) {
    // Every count is non-negative and below 2^31, so the 32-bit sum of two
    // shows a pass beyond the limit as a negative number. Blocks of a page
    // that were never plotted are skipped, and their pages stay unmapped.
    constexpr std::size_t kBlock = 1024;
    for (ThreadCounts* thread : threads) {
        std::int32_t* local = thread->hits.data();
        for (std::size_t block = from; block < end; block += kBlock) {
            const std::size_t last = std::min(block + kBlock, end);
            std::int32_t any = 0;
            for (std::size_t c = block; c < last; ++c) any |= local[c];
            if (any == 0) continue;
            for (std::size_t c = block; c < last; ++c) {
                const auto sum = static_cast<std::int32_t>(static_cast<std::uint32_t>(sessionHits[c]) +
                                                           static_cast<std::uint32_t>(local[c]));
                sessionHits[c] = sum < 0 ? kHitCellMax : sum;
            }
            std::memset(local + block, 0, (last - block) * sizeof(std::int32_t));
        }
    }
}

}  // namespace morva
