#include "engine/transforms.h"

#include <gtest/gtest.h>

#include <limits>

namespace morva {
namespace {

TEST(ConvertAff2, MovesThePointAndRecordsTheOldOne) {
    PointState p;
    p.X = 1;
    p.Y = 1;
    p.Den = 9;
    ConvertAff2(p, p.X, p.Y, 0.5, 0, 0, 0.5, 0.5, 0);
    EXPECT_EQ(p.X, 1.0);
    EXPECT_EQ(p.Y, 0.5);
    EXPECT_EQ(p.XOld, 1.0);
    EXPECT_EQ(p.YOld, 1.0);
    EXPECT_EQ(p.Den, 9.0);  // untouched
}

TEST(ConvertAff2, NewYComesFromTheEntryX) {
    PointState p;
    p.X = 1;
    p.Y = 2;
    ConvertAff2(p, p.X, p.Y, 0, 1, 1, 0, 0, 0);
    EXPECT_EQ(p.X, 2.0);
    EXPECT_EQ(p.Y, 1.0);
}

TEST(ConvertAff2, EvaluatesInTheWrittenOrder) {
    // (B*y + A*x) + E gives 0 here, where A*x + (B*y + E) would give 1.
    PointState p;
    p.X = 1;
    p.Y = 1;
    ConvertAff2(p, p.X, p.Y, 1, 1e16, 0, 0, -1e16, 0);
    EXPECT_EQ(p.X, 0.0);
    EXPECT_EQ(1.0 + (1e16 + -1e16), 1.0);
}

TEST(ConvertProj2, DividesEachCoordinateByItsOwnDenominator) {
    PointState p;
    p.X = 1;
    p.Y = 3;
    ConvertProj2(p, p.X, p.Y, 1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1);
    EXPECT_EQ(p.X, 0.5);
    EXPECT_EQ(p.Y, 0.75);
    EXPECT_EQ(p.Den, 4.0);
    EXPECT_EQ(p.XOld, 1.0);
    EXPECT_EQ(p.YOld, 3.0);
}

TEST(ConvertProj2, ZeroOrNanDenominatorKeepsThatCoordinate) {
    PointState p;
    p.X = 1;
    p.Y = 3;
    ConvertProj2(p, p.X, p.Y, 1, 0, 0, 1, 0, -1, 0, 1, 0, 0, 1, 1);
    EXPECT_EQ(p.X, 1.0);
    EXPECT_EQ(p.Y, 0.75);
    EXPECT_EQ(p.Den, 4.0);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    p.X = 2;
    p.Y = 5;
    ConvertProj2(p, p.X, p.Y, 1, 0, 0, 0, 0, 1, 0, 1, 0, nan, 0, 1);
    EXPECT_EQ(p.X, 2.0);
    EXPECT_EQ(p.Y, 5.0);  // kept: its denominator is not a number
    EXPECT_TRUE(std::isnan(p.Den));

    p.X = 2;
    p.Y = 5;
    ConvertProj2(p, p.X, p.Y, 1, 0, 0, 0, 0, -0.0, 0, 1, 0, 0, 0, 2);
    EXPECT_EQ(p.X, 2.0);  // negative zero is zero
    EXPECT_EQ(p.Y, 2.5);
}

TEST(ConvertProj2, UnitDenominatorIsTheAffineMap) {
    PointState p, q;
    p.X = q.X = 0.3;
    p.Y = q.Y = -1.7;
    ConvertProj2(p, p.X, p.Y, 0.5, 0.25, 0.1, 0, 0, 1, 0, 1, 0, 0, 0, 1);
    EXPECT_EQ(p.X, (0.5 * 0.3 + 0.25 * -1.7) + 0.1);
}

TEST(ConvertSqr2, QuadraticTermsFromTheEntryPoint) {
    PointState p;
    p.X = 2;
    p.Y = 3;
    ConvertSqr2(p, p.X, p.Y, 1, 2, 3, 4, 5, 6, 6, 5, 4, 3, 2, 1);
    EXPECT_EQ(p.X, 72.0);
    EXPECT_EQ(p.Y, 103.0);
    p.X = 2;
    p.Y = 3;
    ConvertSqr2(p, p.X, p.Y, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0);
    EXPECT_EQ(p.X, 4.0);
    EXPECT_EQ(p.Y, 6.0);
    EXPECT_EQ(p.XOld, 2.0);
    EXPECT_EQ(p.YOld, 3.0);
}

TEST(ConvertSqr2, SquareTermsAreCoefficientTimesCoordinateTimesCoordinate) {
    // (A*x)*x and A*(x*x) round differently for these values.
    const double a = 0.1, x = 1.7;
    ASSERT_NE((a * x) * x, a * (x * x));
    PointState p;
    p.X = x;
    p.Y = 0;
    ConvertSqr2(p, p.X, p.Y, a, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(p.X, (0.0 + (a * x) * x) + 0.0);
}

}  // namespace
}  // namespace morva
