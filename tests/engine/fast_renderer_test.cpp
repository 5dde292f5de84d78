// The fast renderer against the reference loop, byte for byte, on every
// schedule and thread count: tables, the picture at every repaint, the final
// point, the generator and the count of points off the picture.
#include "engine/fast_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "engine/iteration_group.h"
#include "engine/plot_tables.h"
#include "engine_test_support.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"

namespace morva {
namespace {

// A random scene: any mix of kinds, weights that may leave band gaps or
// total far beyond the draw table, coefficients that may throw points off
// the picture or to infinity.
Scene RandomScene(std::uint32_t seed) {
    std::mt19937 rng(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    Scene scene;
    SceneSettings& s = scene.settings;
    s.TransformCount = 1 + static_cast<int>(rng() % 6);
    s.HiRes = rng() % 5 == 0;
    s.HighSpeed = true;
    s.ScaleX = 20 + static_cast<int>(rng() % 200);
    s.ScaleY = 20 + static_cast<int>(rng() % 200);
    if (rng() % 10 == 0) s.ScaleY = -s.ScaleY;
    s.OffsetX = static_cast<int>(rng() % 640);
    s.OffsetY = static_cast<int>(rng() % 480);
    s.HitValue = static_cast<std::uint8_t>(rng() % 4 == 0 ? 255 : 1 + rng() % 20);
    s.Exposure = 1;
    const int mix = static_cast<int>(rng() % 4);        // affine, projective, quadratic, mixed
    const double heavy = rng() % 5 == 0 ? 300.0 : 1.0;  // totals beyond 65536
    for (int k = 0; k < s.TransformCount; ++k) {
        TransformRec& r = scene.transforms[k];
        r.Weight = rng() % 8 == 0 ? 0.0005 : uniform(0.01, 1.0) * heavy;
        r.Kind = static_cast<std::uint8_t>(mix == 3 ? rng() % 3 : mix);
        const double reach = rng() % 5 == 0 ? 1.3 : 0.7;  // some maps expand
        for (int c = 0; c < 12; ++c) r.Coef[c] = uniform(-reach, reach);
        if (r.Kind == kProjective) {
            r.Coef[5] = uniform(0.5, 1.5);
            r.Coef[11] = rng() % 6 == 0 ? 0.0 : uniform(0.5, 1.5);  // zero denominators now and then
        }
        if (r.Kind == kQuadratic) {
            for (int c : {0, 1, 2, 6, 7, 8}) r.Coef[c] *= 0.3;
        }
    }
    if (DeriveSceneValues(scene)) {
        // Every weight tiny: a band gap takes every draw but the first.
        scene.transforms[0].Weight = 0.002;
        DeriveSceneValues(scene);
    }
    return scene;
}

// A picture and its tables, reused from case to case: a 2560 x 1920 table
// is 20 MB, so only what a run may have written is cleared.
struct Render {
    std::vector<std::uint8_t> picture = std::vector<std::uint8_t>(640 * 480, 0);
    std::vector<std::vector<std::uint8_t>> shown;  // the picture at every repaint
    Raster raster;
    EngineState state;
    bool hiResWritten = false;
    Render() { raster.MapFrameSurface({picture.data(), 8, 640, 480}); }
    void Reset(bool hiRes) {
        std::fill(picture.begin(), picture.end(), 0);
        raster.HitBuffer().Fill(0);
        if (hiResWritten) raster.HiResBuffer().Fill(0);
        hiResWritten = hiRes;
        shown.clear();
        state = EngineState{};
    }
};

Render& Canvas(int i) {
    static Render canvases[2];
    return canvases[i];
}

// Runs the same sequence of group batches through a renderer, as the render
// loop does: a repaint after every batch, all tables up to date at the end.
void RunBatches(GroupRenderer& renderer, Render& render, const Scene& scene, const std::vector<int>& batches,
                std::int32_t seed) {
    render.Reset(scene.settings.HiRes);
    render.state.RandSeed = seed;
    for (int count : batches) {
        renderer.DrawGroups(render.state, render.raster, count);
        renderer.Flush(render.raster, GroupRenderer::FlushScope::Picture);
        render.shown.push_back(render.picture);
    }
    renderer.Flush(render.raster, GroupRenderer::FlushScope::All);
}

void ExpectIdentical(const Render& expected, const Render& actual, bool hiRes, const std::string& what) {
    const auto& eh = expected.raster.HitBuffer();
    const auto& ah = actual.raster.HitBuffer();
    ASSERT_EQ(std::memcmp(eh.Data(), ah.Data(), eh.Size() * 4), 0) << what << ": hit table differs";
    if (hiRes) {
        const auto& eb = expected.raster.HiResBuffer();
        const auto& ab = actual.raster.HiResBuffer();
        ASSERT_EQ(std::memcmp(eb.Data(), ab.Data(), eb.Size() * 4), 0)
            << what << ": high-resolution table differs";
    }
    ASSERT_EQ(expected.picture, actual.picture) << what << ": picture bytes differ";
    ASSERT_TRUE(expected.shown == actual.shown) << what << ": a repainted picture differs";
    ASSERT_TRUE(SamePoint(expected.state.point, actual.state.point)) << what << ": final point differs";
    ASSERT_EQ(expected.state.RandSeed, actual.state.RandSeed) << what;
    ASSERT_EQ(expected.state.offPicture, actual.state.offPicture) << what;
}

struct Variant {
    int threads;
    FastRendererOptions::Sharing sharing = FastRendererOptions::Sharing::ByRule;
    std::string Name() const {
        return std::to_string(threads) + (sharing == FastRendererOptions::Sharing::ByRule
                                              ? " threads by rule"
                                              : " threads, every batch shared");
    }
};

constexpr auto kEveryBatch = FastRendererOptions::Sharing::EveryBatch;

// Every batch, however short, on speculative segments on 1, 2 and 3
// threads, and one and two threads by the rule.
const std::vector<Variant> kEverySchedule = {{1}, {1, kEveryBatch}, {2, kEveryBatch}, {3, kEveryBatch}, {2}};

void CompareWithReference(const Scene& scene, const std::vector<int>& batches, std::int32_t seed,
                          const std::string& name, const std::vector<Variant>& variants = kEverySchedule) {
    UniformRandom uniform;
    Render& reference = Canvas(0);
    auto plain = MakeReferenceRenderer(scene, uniform);
    RunBatches(*plain, reference, scene, batches, seed);
    for (const Variant& v : variants) {
        Render& fast = Canvas(1);
        auto renderer = MakeFastRenderer(scene, uniform, v.threads, {v.sharing, {}});
        RunBatches(*renderer, fast, scene, batches, seed);
        ExpectIdentical(reference, fast, scene.settings.HiRes, name + " with " + v.Name());
        if (::testing::Test::HasFatalFailure()) return;
    }
}

// The cadence of the render loop: one group, then up to 127 in a batch.
const std::vector<int> kCadence = {1, 127, 1, 127, 1, 60};

TEST(FastRenderer, FernMatchesTheReferenceExactly) {
    CompareWithReference(test::Fern(false), kCadence, 12345, "fern");
    CompareWithReference(test::Fern(true), kCadence, 12345, "high-resolution fern");
}

TEST(FastRenderer, RandomScenesMatchTheReferenceExactly) {
    // Fewer under the thread sanitizer, which checks every access.
    const char* count = std::getenv("MORVA_RANDOM_SCENES");
    const std::uint32_t scenes = count ? static_cast<std::uint32_t>(std::atoi(count)) : 120;
    for (std::uint32_t seed = 1; seed <= scenes; ++seed) {
        const Scene scene = RandomScene(seed);
        CompareWithReference(scene, {1, 40, 1, 33}, static_cast<std::int32_t>(seed * 2654435761u),
                             "random scene " + std::to_string(seed));
        if (HasFatalFailure()) return;
    }
}

TEST(FastRenderer, CountsSaturateAlikeOnEveryPath) {
    // Cells a few hits short of the 32-bit limit: every path must stop there.
    Scene scene = test::Fern(true);
    scene.settings.HitValue = 255;
    auto prefill = [](Render& render) {
        render.raster.HitBuffer().Fill(kHitCellMax - 1000);
        render.raster.HiResBuffer().Fill(kHitCellMax - 1000);
        render.hiResWritten = true;
    };
    UniformRandom uniform;
    auto run = [&](GroupRenderer& renderer, Render& render) {
        render.Reset(true);
        prefill(render);
        render.state.RandSeed = 3;
        for (int count : {1, 127}) renderer.DrawGroups(render.state, render.raster, count);
        renderer.Flush(render.raster, GroupRenderer::FlushScope::All);
    };
    Render& reference = Canvas(0);
    run(*MakeReferenceRenderer(scene, uniform), reference);
    const auto& hiRes = reference.raster.HiResBuffer();
    ASSERT_EQ(*std::max_element(hiRes.Data(), hiRes.Data() + hiRes.Size()), kHitCellMax)
        << "nothing saturated";
    for (const Variant& v : kEverySchedule) {
        Render& fast = Canvas(1);
        run(*MakeFastRenderer(scene, uniform, v.threads, {v.sharing, {}}), fast);
        EXPECT_EQ(
            std::memcmp(reference.raster.HitBuffer().Data(), fast.raster.HitBuffer().Data(), 640 * 480 * 4),
            0)
            << v.Name();
        EXPECT_EQ(std::memcmp(hiRes.Data(), fast.raster.HiResBuffer().Data(), hiRes.Size() * 4), 0)
            << v.Name();
    }
}

TEST(FastRenderer, ThreadTablesFoldBeforeTheirSumsLeave32Bits) {
    // Every point on one pixel with the largest hit value: a thread's plain
    // sum there passes 2^31 within 8.4 million plots unless folded in time.
    Scene scene = test::MakeAffineScene({1.0});
    scene.transforms[0].Coef = {0, 0, 0, 0, 1, 1};
    scene.settings.HitValue = 255;
    const std::vector<int> batches(70, 127);
    CompareWithReference(scene, batches, 1, "one hot pixel", {{1}, {2, kEveryBatch}});
    EXPECT_EQ(Canvas(0).raster.HitBuffer()(365, 60), kHitCellMax);
}

TEST(FastRenderer, ThreadSumsFoldOnlyWhenTheNextBatchCouldPass32Bits) {
    // A batch of segments may add twice its steps to one thread's cell:
    // right at the limit it needs no fold, one plot beyond it does.
    const std::int64_t batch = 2 * 127 * kGroupSteps;
    std::vector<std::unique_ptr<ThreadCounts>> threads;
    threads.push_back(std::make_unique<ThreadCounts>(false));
    for (std::uint8_t hitValue : {1, 255}) {
        threads[0]->plotted = kHitCellMax / hitValue - batch;
        EXPECT_FALSE(ScreenSumsNeedFold(threads, batch, hitValue)) << int{hitValue};
        ++threads[0]->plotted;
        EXPECT_TRUE(ScreenSumsNeedFold(threads, batch, hitValue)) << int{hitValue};
    }
}

TEST(FastRenderer, ThreadsTheSystemCannotCreateLeaveFewerThreads) {
    const Scene fern = test::Fern(false);
    UniformRandom uniform;
    RunBatches(*MakeReferenceRenderer(fern, uniform), Canvas(0), fern, kCadence, 5);
    for (int creatable : {0, 1}) {
        int started = 0;
        FastRendererOptions options{
            kEveryBatch, [&](std::function<void()> loop) {
                if (++started > creatable)
                    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
                return std::thread(std::move(loop));
            }};
        FastRenderer renderer(fern, uniform, 3, options);
        RunBatches(renderer, Canvas(1), fern, kCadence, 5);
        ExpectIdentical(Canvas(0), Canvas(1), false, std::to_string(creatable) + " workers");
        EXPECT_EQ(renderer.ActiveThreads(), creatable + 1);
    }
}

TEST(FastRenderer, ARenderLoopBatchOfACoalescingSceneRunsAsSegments) {
    UniformRandom uniform;
    FastRenderer renderer(test::Fern(false), uniform, 2);
    Render& render = Canvas(1);
    render.Reset(false);
    renderer.DrawGroups(render.state, render.raster, 1);
    EXPECT_FALSE(renderer.LastShared()) << "a single group";
    renderer.DrawGroups(render.state, render.raster, 127);
    EXPECT_TRUE(renderer.LastShared());
    EXPECT_EQ(renderer.ActiveThreads(), 2);
}

TEST(FastRenderer, ChaoticSceneMatchesAndNeverRunsSegments) {
    const Scene henon = test::Henon();
    CompareWithReference(henon, kCadence, 7, "henon");
    // Segments would replay every step: the rule never takes them for a
    // scene whose trajectories do not coincide.
    UniformRandom uniform;
    FastRenderer renderer(henon, uniform, 2);
    Render& render = Canvas(1);
    render.Reset(false);
    for (int batch = 0; batch < 12; ++batch) {
        renderer.DrawGroups(render.state, render.raster, 127);
        EXPECT_FALSE(renderer.LastShared()) << "batch " << batch;
    }
}

TEST(FastRenderer, ManyMapsAndLargeWeightTotals) {
    // 1024 maps; then a total beyond the draw table with a negative band in
    // the walk and a band that rounds to nothing.
    Scene many = test::MakeAffineScene(std::vector<double>(1024, 0.05));
    for (int k = 0; k < 1024; ++k) many.transforms[k].Coef = {0.5, 0, 0, 0.5, (k % 32) / 8.0, (k / 32) / 8.0};
    Scene heavy = test::MakeAffineScene({200.0, -50.0, 100.0, 0.0004});
    for (int k = 0; k < 4; ++k) heavy.transforms[k].Coef = {0.5, 0, 0, 0.5, 0.1 * k, 0.2 * k};
    ASSERT_GT(static_cast<std::uint32_t>(heavy.settings.WeightTotal727), FastSelection::kTableLimit);
    CompareWithReference(many, {1, 50}, 99, "1024 maps");
    CompareWithReference(heavy, {1, 50}, 99, "large total");
}

// The fast plot tests the window and the table in one range of products
// where it can; at the window's edges, one ulp in or out and on either
// sign of scale, it must plot what the plain loop plots.
TEST(FastRenderer, PlotsAtTheWindowsEdgesAsThePlainLoopDoes) {
    for (const auto& [scaleX, scaleY] : {std::pair{45, -45}, std::pair{-7, 13}}) {
        Scene scene = test::MakeAffineScene({1.0}, /*hiRes=*/true);
        SceneSettings& s = scene.settings;
        s.ScaleX = scaleX;
        s.ScaleY = scaleY;
        s.OffsetX = 320;
        s.OffsetY = 240;
        s.HiResXMin = -1.3;
        s.HiResXMax = 2.1;
        s.HiResYMin = -0.7;
        s.HiResYMax = 0.9;
        auto around = [](double w) {
            const double inf = std::numeric_limits<double>::infinity();
            return std::vector<double>{w, std::nextafter(w, inf), std::nextafter(w, -inf),
                                       std::nextafter(std::nextafter(w, inf), inf)};
        };
        std::vector<double> xs = around(s.HiResXMin), ys = around(s.HiResYMin);
        for (double x : around(s.HiResXMax)) xs.push_back(x);
        for (double y : around(s.HiResYMax)) ys.push_back(y);
        xs.push_back(0.3);
        ys.push_back(0.1);

        std::vector<std::uint8_t> pictureA(640 * 480), pictureB(640 * 480);
        Raster plain, fast;
        ASSERT_TRUE(plain.MapFrameSurface({pictureA.data(), 8, 640, 480}));
        ASSERT_TRUE(fast.MapFrameSurface({pictureB.data(), 8, 640, 480}));
        std::vector<std::uint16_t> narrow(kHiResCells);
        const PlotMapping mapping(s);
        PlotSink<true, SessionTables> sink{
            mapping, {fast.HitBuffer().Data(), narrow.data(), fast.HiResBuffer().Data()}};
        EngineState state;
        int step = 0;
        for (double x : xs) {
            for (double y : ys) {
                state.point.X = x;
                state.point.Y = y;
                PlotStep(scene, plain, state, step);
                sink.Take(MapState{MakeLanes(x, y)}, 0, step);
                step += 8;  // every other one echoes
            }
        }
        sink.Finish();
        std::int64_t inWindow = 0;
        for (std::size_t c = 0; c < kHiResCells; ++c) {
            ASSERT_EQ(plain.HiResBuffer().Data()[c], narrow[c]) << "cell " << c << ", scale " << scaleX;
            inWindow += narrow[c];
        }
        EXPECT_GT(inWindow, 0);
        EXPECT_EQ(std::memcmp(plain.HitBuffer().Data(), fast.HitBuffer().Data(), kHitCells * 4), 0);
        EXPECT_EQ(state.offPicture, sink.tables.offPicture);
    }
}

}  // namespace
}  // namespace morva
