#include "engine/iteration_group.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "engine/random_long.h"
#include "engine_test_support.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"

namespace morva {
namespace {

TEST(RandomLong, FollowsTheWorkedTable) {
    std::int32_t seed = 1;
    EXPECT_EQ(RandomLong(seed), 1015568748);
    EXPECT_EQ(RandomLong(seed), 1586005467);
    EXPECT_EQ(RandomLong(seed), -2129264258);
    EXPECT_EQ(seed & kDrawMask, 18219390);
    EXPECT_EQ((seed & kDrawMask) % 727, 43);
    std::int32_t a = 1, b = 1;
    EXPECT_EQ(RandomUnit(a), 1015568748 / 4294967296.0 + 0.5);
    EXPECT_EQ(RandomCentered(b), 1015568748 / 4294967296.0);
}

TEST(RandomLong, JumpAheadMatchesStepping) {
    for (std::uint64_t n : {0ull, 1ull, 2ull, 3ull, 2048ull, 262144ull, 1000003ull}) {
        std::int32_t seed = 12345;
        for (std::uint64_t i = 0; i < n; ++i) RandomLong(seed);
        EXPECT_EQ(RandomJump(12345, n), seed) << n;
    }
}

TEST(Selection, QuarterAndThreeQuarterBandsSplitAt181) {
    Scene scene = test::MakeAffineScene({0.25, 0.75});
    ASSERT_EQ(scene.settings.WeightTotal727, 727);
    EXPECT_EQ(SelectFast(scene, 0), 0);
    EXPECT_EQ(SelectFast(scene, 181), 0);
    EXPECT_EQ(SelectFast(scene, 182), 1);
    EXPECT_EQ(SelectFast(scene, 726), 1);
    std::int32_t seed = 1;
    const int expected[] = {1, 1, 0};
    for (int record : expected) {
        EXPECT_EQ(SelectFast(scene, (RandomLong(seed) & kDrawMask) % 727), record);
    }
}

TEST(Selection, BandsRoundOneByOneHalfToEven) {
    Scene gap = test::MakeAffineScene({0.01, 0.01, 0.98});  // bands 7, 7, 712: 726 in all
    EXPECT_EQ(SelectFast(gap, 6), 0);
    EXPECT_EQ(SelectFast(gap, 7), 1);
    EXPECT_EQ(SelectFast(gap, 725), 2);
    EXPECT_EQ(SelectFast(gap, 726), -1);               // no transform
    Scene halves = test::MakeAffineScene({0.5, 0.5});  // 363.5 goes to 364 twice
    EXPECT_EQ(SelectFast(halves, 363), 0);
    EXPECT_EQ(SelectFast(halves, 364), 1);
    Scene tiny = test::MakeAffineScene({0.0005, 1.0});
    EXPECT_EQ(SelectFast(tiny, 0), 1);  // a band of 0 is never chosen
}

TEST(Selection, StandardSpeedChoosesOnLessOrEqual) {
    Scene scene = test::MakeAffineScene({0.0, 0.25, 0.0, 0.75});
    EXPECT_EQ(SelectStandard(scene, 0.0), 0);  // only a draw of exactly 0 picks a first zero weight
    EXPECT_EQ(SelectStandard(scene, 0.25), 1);
    EXPECT_EQ(SelectStandard(scene, 0.2500001), 3);  // a later zero weight never
    EXPECT_EQ(SelectStandard(scene, std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(SelectStandard(scene, 1.5), -1);
}

struct PlotFixture : ::testing::Test {
    std::vector<std::uint8_t> picture = std::vector<std::uint8_t>(640 * 480, 0);
    Raster raster;
    EngineState state;
    void SetUp() override { ASSERT_TRUE(raster.MapFrameSurface({picture.data(), 8, 640, 480})); }
    std::int64_t Sum(const Grid<std::int32_t>& grid) {
        std::int64_t sum = 0;
        for (std::size_t k = 0; k < grid.Size(); ++k) sum += grid.Data()[k];
        return sum;
    }
    void PlotAt(const Scene& scene, double x, double y, int step) {
        state.point.X = x;
        state.point.Y = y;
        PlotStep(scene, raster, state, step);
    }
};

TEST_F(PlotFixture, ScreenMappingFloorsTowardMinusInfinity) {
    Scene scene = test::MakeAffineScene({1.0});
    PlotAt(scene, 1.0, 0.0, 1);
    EXPECT_EQ(raster.HitBuffer()(365, 15), 1);
    PlotAt(scene, -0.25 / 45, 0.0, 1);
    EXPECT_EQ(raster.HitBuffer()(319, 15), 1);  // floor, not truncation
    PlotAt(scene, 100.0, 0.0, 1);               // off the picture: not counted
    EXPECT_EQ(Sum(raster.HitBuffer()), 2);
    EXPECT_EQ(state.offPicture, 0);
}

TEST_F(PlotFixture, CoordinatesBeyondThe32BitRangeAreSkippedAndCounted) {
    Scene scene = test::MakeAffineScene({1.0});
    PlotAt(scene, 1e300, 0.0, 1);
    PlotAt(scene, 0.0, std::numeric_limits<double>::quiet_NaN(), 1);
    PlotAt(scene, -std::numeric_limits<double>::infinity(), 0.0, 1);
    PlotAt(scene, 47721858.0, 0.0, 1);  // 45 * X + 320 just past 2^31 - 1
    EXPECT_EQ(state.offPicture, 4);
    EXPECT_EQ(Sum(raster.HitBuffer()), 0);
}

TEST_F(PlotFixture, HiResWindowIsExclusiveAndEchoesEverySixteenthStep) {
    Scene scene = test::MakeAffineScene({1.0}, /*hiRes=*/true);
    const auto& s = scene.settings;
    PlotAt(scene, 1.0, 1.0, 0);
    EXPECT_EQ(raster.HiResBuffer()(1460, 180 + 60), 1);  // x4 = floor(180 * 1.0) + 1280
    EXPECT_EQ(raster.HitBuffer()(365, 60), 1);           // step 0 echoes
    PlotAt(scene, 1.0, 1.0, 5);
    EXPECT_EQ(raster.HiResBuffer()(1460, 240), 2);
    EXPECT_EQ(raster.HitBuffer()(365, 60), 1);  // step 5 does not
    PlotAt(scene, 1.0, 1.0, 2032);
    EXPECT_EQ(raster.HitBuffer()(365, 60), 2);

    for (auto [x, y] :
         {std::pair{s.HiResXMin, 1.0}, {s.HiResXMax, 1.0}, {1.0, s.HiResYMin}, {1.0, s.HiResYMax}}) {
        PlotAt(scene, x, y, 16);
    }
    PlotAt(scene, std::numeric_limits<double>::quiet_NaN(), 1.0, 16);
    PlotAt(scene, 20.0, 1.0, 16);  // outside at an echo step reaches neither table
    EXPECT_EQ(Sum(raster.HiResBuffer()), 3);
    EXPECT_EQ(Sum(raster.HitBuffer()), 2);
}

TEST_F(PlotFixture, NegativeScaleEmptiesTheHiResWindow) {
    Scene scene = test::MakeAffineScene({1.0}, /*hiRes=*/true);
    auto& s = scene.settings;
    s.ScaleX = -45;
    s.HiResXMin = -static_cast<double>(s.OffsetX) / s.ScaleX;
    s.HiResXMax = (640 - static_cast<double>(s.OffsetX)) / s.ScaleX;
    ASSERT_GT(s.HiResXMin, s.HiResXMax);
    for (double x : {-5.0, 0.0, 5.0}) PlotAt(scene, x, 1.0, 0);
    EXPECT_EQ(Sum(raster.HiResBuffer()) + Sum(raster.HitBuffer()), 0);
}

TEST_F(PlotFixture, UpperEdgeRoundingNeverWritesOutsideTheHiResTable) {
    Scene scene = test::MakeAffineScene({1.0}, /*hiRes=*/true);
    const double justInside = std::nextafter(scene.settings.HiResXMax, 0.0);
    PlotAt(scene, justInside, 1.0, 1);
    EXPECT_LE(Sum(raster.HiResBuffer()), 1);
}

TEST(DrawFrameFr, PathShowsEveryChoiceStepForStep) {
    Scene scene = test::MakeAffineScene({0.25, 0.75});
    // Record 0 sets X to 5, record 1 adds 1 to X: the path shows the choices.
    scene.transforms[0].Coef = {0, 0, 0, 1, 5, 0};
    scene.transforms[1].Coef = {1, 0, 0, 1, 1, 0};
    std::vector<std::uint8_t> picture(640 * 480);
    Raster raster;
    ASSERT_TRUE(raster.MapFrameSurface({picture.data(), 8, 640, 480}));
    EngineState state;
    state.RandSeed = 1;
    UniformRandom uniform;
    DrawFrameFr(scene, state, raster, uniform);
    std::int32_t seed = 1;
    for (int i = 0; i < kGroupSteps; ++i) RandomLong(seed);
    EXPECT_EQ(state.RandSeed, seed);
    EXPECT_EQ(raster.HitBuffer()(320 + 45 * 1, 15), 1);  // step 1: record 1 from 0
    EXPECT_EQ(raster.HitBuffer()(320 + 45 * 2, 15), 1);  // step 2: record 1 again
    EXPECT_GE(raster.HitBuffer()(320 + 45 * 5, 15), 1);  // step 3: record 0
    std::int64_t total = 0;
    for (std::size_t k = 0; k < raster.HitBuffer().Size(); ++k) total += raster.HitBuffer().Data()[k];
    EXPECT_LE(total, kGroupSteps);
}

TEST(DrawFrameFr, SameSeedSameImage) {
    const Scene scene = test::Fern();
    auto render = [&](std::int32_t seed) {
        std::vector<std::uint8_t> picture(640 * 480);
        Raster raster;
        EXPECT_TRUE(raster.MapFrameSurface({picture.data(), 8, 640, 480}));
        EngineState state;
        state.RandSeed = seed;
        UniformRandom uniform;
        for (int g = 0; g < 20; ++g) DrawFrameFr(scene, state, raster, uniform);
        return std::vector<std::int32_t>(raster.HitBuffer().Data(),
                                         raster.HitBuffer().Data() + raster.HitBuffer().Size());
    };
    EXPECT_EQ(render(12345), render(12345));
    EXPECT_NE(render(12345), render(54321));
}

}  // namespace
}  // namespace morva
