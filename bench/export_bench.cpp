// Encoding time of the exported pictures at the high resolution, 2560 x
// 1920: a fern of a few million points (long runs of black, as a render
// gives) and noise in every cell (the worst case for the compressor).
//
//   build/bin/morva_export_bench

#include <benchmark/benchmark.h>

#include <random>

#include "raster/colour_table.h"
#include "raster/export.h"
#include "raster/raster.h"

namespace {

using namespace morva;

// A fern traced with its four affine maps, without the program's engine.
const Grid<std::int32_t>& FernCounts() {
    static const Grid<std::int32_t> counts = [] {
        Grid<std::int32_t> grid(kHiResWidth, kHiResHeight);
        std::mt19937 random(12345);
        std::uniform_real_distribution<double> pick(0.0, 1.0);
        double x = 0.0;
        double y = 0.0;
        for (int step = 0; step < 8'000'000; ++step) {
            const double u = pick(random);
            const double x0 = x;
            if (u < 0.01) {
                x = 0.0;
                y = 0.16 * y;
            } else if (u < 0.86) {
                x = 0.85 * x0 + 0.04 * y;
                y = -0.04 * x0 + 0.85 * y + 1.6;
            } else if (u < 0.93) {
                x = 0.2 * x0 - 0.26 * y;
                y = 0.23 * x0 + 0.22 * y + 1.6;
            } else {
                x = -0.15 * x0 + 0.28 * y;
                y = 0.26 * x0 + 0.24 * y + 0.44;
            }
            const int px = static_cast<int>(180.0 * x) + 1280;
            const int py = static_cast<int>(180.0 * y) + 60;
            if (px >= 0 && px < kHiResWidth && py >= 0 && py < kHiResHeight) grid(px, py) += 1;
        }
        return grid;
    }();
    return counts;
}

const Grid<std::int32_t>& NoiseCounts() {
    static const Grid<std::int32_t> counts = [] {
        Grid<std::int32_t> grid(kHiResWidth, kHiResHeight);
        std::mt19937 random(777);
        for (std::size_t k = 0; k < grid.Size(); ++k)
            grid.Data()[k] = static_cast<std::int32_t>(random() % 300);
        return grid;
    }();
    return counts;
}

void Picture(benchmark::State& bench, const Grid<std::int32_t>& counts, ImageFormat format) {
    std::size_t bytes = 0;
    for (auto _ : bench) {
        auto file = EncodePicture(counts, 1, WindowColourTable(), format);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    bench.counters["file_bytes"] = static_cast<double>(bytes);
}

void Counts(benchmark::State& bench, const Grid<std::int32_t>& counts) {
    std::size_t bytes = 0;
    for (auto _ : bench) {
        auto file = EncodeCountsPng(counts);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    bench.counters["file_bytes"] = static_cast<double>(bytes);
}

BENCHMARK_CAPTURE(Picture, fern_png, FernCounts(), ImageFormat::Png)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Picture, fern_bmp, FernCounts(), ImageFormat::Bmp)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Picture, noise_png, NoiseCounts(), ImageFormat::Png)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Counts, fern_png16, FernCounts())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Counts, noise_png16, NoiseCounts())->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
