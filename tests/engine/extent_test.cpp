#include "engine/extent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/engine_test_support.h"
#include "engine/iteration_group.h"

namespace morva {
namespace {

TEST(RobustExtent, AFewFarFlungPointsDoNotWidenTheExtent) {
    AttractorSample sample;
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 20000; ++i) {
        sample.x.push_back(unit(rng));
        sample.y.push_back(2.0 * unit(rng) - 1.0);
    }
    // Thrown far off once, on the way back, and once on one axis only.
    for (double far : {1e6, 5e5, 2.5e5, -3e4}) {
        sample.x.push_back(far);
        sample.y.push_back(0.5);
    }
    sample.x.push_back(0.5);
    sample.y.push_back(1e9);
    sample.traced = static_cast<std::int64_t>(sample.x.size());

    const AttractorExtent found = RobustExtent(sample);
    EXPECT_EQ(found.state, AttractorState::kSettled);
    EXPECT_EQ(found.inside, 20000);
    EXPECT_NEAR(found.extent.xMin, 0.0, 1e-3);
    EXPECT_NEAR(found.extent.xMax, 1.0, 1e-3);
    EXPECT_NEAR(found.extent.yMin, -1.0, 1e-3);
    EXPECT_NEAR(found.extent.yMax, 1.0, 1e-3);
}

// The standard-speed selection takes weights far beyond what the fast
// selection's bands can hold; both maps are drawn.
TEST(SampleAttractor, StandardSpeedTakesAnyFiniteWeights) {
    const Scene scene = ParseScene(
        "h 1 1 0 0 1 1 1 2\na 1e300 0.5 0 0 0.5 0 0\na 1e300 0.5 0 0 0.5 0.5 0\nS \n", 0, NumberFormat{});
    const AttractorSample sample = SampleAttractor(scene, 64, 4096);
    EXPECT_EQ(sample.traced, 4096);
    EXPECT_EQ(sample.nonFinite, 0);
    const auto [low, high] = std::minmax_element(sample.x.begin(), sample.x.end());
    EXPECT_LT(*low, 0.1);
    EXPECT_GT(*high, 0.9);
}

}  // namespace
}  // namespace morva
