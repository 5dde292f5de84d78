#include "engine/selection.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "engine/iteration_group.h"
#include "engine_test_support.h"

namespace morva {
namespace {

// The draws where a walk can change its mind: both sides of every running
// band sum, the ends of the range, and some at random.
std::vector<std::uint32_t> TellingDraws(const Scene& scene, std::mt19937& rng) {
    const auto total = static_cast<std::uint32_t>(scene.settings.WeightTotal727);
    std::vector<std::uint32_t> draws = {0, total - 1};
    std::int64_t acc = 0;
    for (int k = 0; k < scene.settings.TransformCount; ++k) {
        acc += *WeightBand(scene.transforms[k].Weight);
        for (std::int64_t d : {acc - 1, acc, acc + 1}) {
            if (d >= 0 && d < total) draws.push_back(static_cast<std::uint32_t>(d));
        }
    }
    for (int i = 0; i < 5000; ++i) draws.push_back(rng() % total);
    return draws;
}

TEST(FastSelection, AgreesWithTheBandWalk) {
    std::mt19937 rng(11);
    std::vector<Scene> scenes = {
        test::MakeAffineScene({0.01, 0.85, 0.07, 0.07}),
        test::MakeAffineScene({0.01, 0.01, 0.98}),  // bands short of the total: draw 726 selects none
        test::MakeAffineScene({0.5, 0.5}),          // bands beyond the total
        test::MakeAffineScene({200.0, -50.0, 100.0, 0.0004}),  // beyond the table, a negative band
    };
    // 1024 bands of every size, many edges inside one bucket.
    std::vector<double> weights;
    for (int k = 0; k < 1024; ++k) weights.push_back(k % 100 == 0 ? 5000.0 : (k % 7) * 0.003);
    scenes.push_back(test::MakeAffineScene(weights));
    for (const Scene& scene : scenes) {
        const FastSelection selection(scene);
        const auto total = static_cast<std::uint32_t>(scene.settings.WeightTotal727);
        if (total <= FastSelection::kTableLimit) {
            for (std::uint32_t draw = 0; draw < total; ++draw) {
                ASSERT_EQ(selection.Select(draw), SelectFast(scene, static_cast<std::int32_t>(draw))) << draw;
            }
        } else {
            ASSERT_GT(selection.Shift(), 0);
            for (std::uint32_t draw : TellingDraws(scene, rng)) {
                ASSERT_EQ(selection.Select(draw), SelectFast(scene, static_cast<std::int32_t>(draw)))
                    << "total " << total << ", draw " << draw;
            }
        }
    }
}

TEST(FastSelection, BandsRoundHalfToEvenAtTheirEdge) {
    // 727 times each weight is exactly an odd half whose even neighbour is
    // below it: the band is 362 (131074), not 363 (131075), so that draw
    // already selects the second record. The second pair lies beyond the
    // draw table, its edge inside a bucket.
    for (auto [weight, band] : {std::pair{0.4986244841815681, 362}, {180.29504814305363, 131074}}) {
        ASSERT_EQ(weight * kWeightScale, band + 0.5);
        const Scene scene = test::MakeAffineScene({weight, 1.0});
        const FastSelection selection(scene);
        for (auto [draw, record] : {std::pair{band - 1, 0}, {band, 1}}) {
            EXPECT_EQ(SelectFast(scene, draw), record) << "reference walk, draw " << draw;
            EXPECT_EQ(selection.Select(static_cast<std::uint32_t>(draw)), record) << "table, draw " << draw;
        }
    }
}

TEST(FastSelection, RemainderMatchesTheDivisionForEveryKindOfDivisor) {
    std::mt19937 rng(5);
    for (std::int32_t total : {1, 2, 3, 727, 728, 65535, 65536, 65537, 1000003, 2147483647}) {
        Scene scene = test::MakeAffineScene({1.0});
        scene.settings.WeightTotal727 = total;
        const FastSelection selection(scene);
        auto check = [&](std::int32_t v) {
            ASSERT_EQ(selection.Draw(v), static_cast<std::uint32_t>((v & kDrawMask) % total))
                << total << " " << v;
        };
        for (int i = 0; i < 20000; ++i) check(static_cast<std::int32_t>(rng()));
        for (std::int32_t v : {0, -1, INT32_MAX, INT32_MIN, total, total - 1}) check(v);
    }
    // The multiply-high of targets without 128-bit integers.
    for (int i = 0; i < 100000; ++i) {
        const std::uint64_t a = static_cast<std::uint64_t>(rng()) << 32 | rng();
        const auto b = static_cast<std::uint32_t>(rng());
        ASSERT_EQ(detail::MultiplyHighPortable(a, b), detail::MultiplyHigh(a, b)) << a << " " << b;
    }
    EXPECT_EQ(detail::MultiplyHighPortable(~std::uint64_t{0}, ~std::uint32_t{0}), 0xFFFFFFFEull);
}

}  // namespace
}  // namespace morva
