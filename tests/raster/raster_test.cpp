#include "raster/raster.h"

#include <gtest/gtest.h>

#include <vector>

#include "raster/colour_table.h"

namespace morva {
namespace {

// A raster drawing into a plain 640 x 480 picture.
struct RasterFixture : ::testing::Test {
    std::vector<std::uint8_t> picture = std::vector<std::uint8_t>(640 * 480, 0);
    Raster raster;
    void SetUp() override { ASSERT_TRUE(raster.MapFrameSurface({picture.data(), 8, 640, 480})); }
    std::uint8_t Pixel(int x, int y) const { return picture[static_cast<std::size_t>(y) * 640 + x]; }
    std::int64_t SumOfHits() const {
        std::int64_t sum = 0;
        for (std::size_t k = 0; k < raster.HitBuffer().Size(); ++k) sum += raster.HitBuffer().Data()[k];
        return sum;
    }
};

TEST(FrameSurface, RefusesPicturesThatAreNotEightBit) {
    std::vector<std::uint8_t> memory(640 * 480 * 4);
    FrameSurface surface;
    EXPECT_FALSE(MapFrameSurface({memory.data(), 24, 640 * 3, 480}, surface));
    EXPECT_FALSE(surface.Mapped());
    EXPECT_FALSE(MapFrameSurface({memory.data(), 32, 640 * 4, 480}, surface));
    EXPECT_TRUE(MapFrameSurface({memory.data(), 8, 640, 480}, surface));
    EXPECT_EQ(surface.Stride, 640);
    EXPECT_EQ(std::string(kEightBitOnlyMessage), " 8-bit bitmaps only");
}

TEST_F(RasterFixture, PlotPointCornersAndRejectedCoordinates) {
    raster.PlotPoint(0, 0, 7);
    raster.PlotPoint(639, 479, 9);
    EXPECT_EQ(Pixel(0, 0), 7);  // the bottom-left pixel is the first byte
    EXPECT_EQ(Pixel(639, 479), 9);
    EXPECT_EQ(raster.HitBuffer()(0, 0), 7);
    EXPECT_EQ(raster.HitBuffer().Data()[479 * 640 + 639], 9);
    for (auto [x, y] : {std::pair{640, 0}, {-1, 0}, {0, 480}, {0, -1}, {INT32_MIN, INT32_MAX}}) {
        raster.PlotPoint(x, y, 50);
    }
    EXPECT_EQ(SumOfHits(), 16);
}

TEST_F(RasterFixture, PictureSaturatesWhileCountsKeepGrowing) {
    picture[5 * 640 + 5] = 250;
    raster.PlotPoint(5, 5, 10);
    EXPECT_EQ(Pixel(5, 5), 255);
    EXPECT_EQ(raster.HitBuffer()(5, 5), 10);
    raster.PlotPoint(6, 5, 0);  // a valid plot that changes nothing
    EXPECT_EQ(Pixel(6, 5), 0);
}

TEST_F(RasterFixture, CountsStopAtTheLargestValueInsteadOfWrapping) {
    raster.HitBuffer()(1, 1) = kHitCellMax - 100;
    raster.PlotPoint(1, 1, 255);
    EXPECT_EQ(raster.HitBuffer()(1, 1), kHitCellMax);
    raster.PlotPoint(1, 1, 1);
    EXPECT_EQ(raster.HitBuffer()(1, 1), kHitCellMax);
    raster.HiResBuffer()(2, 2) = kHitCellMax;
    raster.PlotHiRes(2, 2, 255);
    EXPECT_EQ(raster.HiResBuffer()(2, 2), kHitCellMax);
}

TEST_F(RasterFixture, PlotHiResStaysInsideItsTable) {
    raster.PlotHiRes(2559, 1919, 3);
    EXPECT_EQ(raster.HiResBuffer().Data()[4915199], 3);
    raster.PlotHiRes(0, 0, 1);
    EXPECT_EQ(raster.HiResBuffer().Data()[0], 1);
    raster.PlotHiRes(2560, 0, 1);
    raster.PlotHiRes(0, 1920, 1);
    raster.PlotHiRes(-1, 5, 1);
    raster.PlotHiRes(5, -1, 1);
    std::int64_t sum = 0;
    for (std::size_t k = 0; k < raster.HiResBuffer().Size(); ++k) sum += raster.HiResBuffer().Data()[k];
    EXPECT_EQ(sum, 4);
    EXPECT_EQ(SumOfHits(), 0);  // the screen table is not touched
}

TEST_F(RasterFixture, PlotAddAndPlotCrossKeepAwayFromTheBorder) {
    raster.PlotAdd(0, 10, 5);
    raster.PlotAdd(639, 10, 5);
    raster.PlotAdd(10, 479, 5);
    EXPECT_EQ(Pixel(0, 10) + Pixel(639, 10) + Pixel(10, 479), 0);
    raster.PlotAdd(1, 1, 200);
    raster.PlotAdd(1, 1, 100);
    EXPECT_EQ(Pixel(1, 1), 255);
    EXPECT_EQ(SumOfHits(), 0);

    raster.PlotCross(2, 2, 77);
    EXPECT_EQ(Pixel(3, 2), 77);
    EXPECT_EQ(Pixel(1, 2), 77);
    EXPECT_EQ(Pixel(2, 1), 77);
    EXPECT_EQ(Pixel(2, 3), 77);
    EXPECT_EQ(Pixel(2, 2), 0);
    std::vector<std::uint8_t> before = picture;
    raster.PlotCross(1, 5, 9);
    raster.PlotCross(638, 5, 9);
    raster.PlotCross(5, 478, 9);
    EXPECT_EQ(picture, before);
}

TEST(ToneCurve, IsTheIntegerSquareRootOf255TimesTheCount) {
    const auto& curve = ToneCurve();
    for (int v = 0; v < 256; ++v) {
        int root = 0;
        while ((root + 1) * (root + 1) <= 255 * v) ++root;
        EXPECT_EQ(curve[v], root) << "v = " << v;
    }
    const std::pair<int, int> listed[] = {{0, 0},    {1, 15},    {2, 22},    {4, 31},    {16, 63},
                                          {64, 127}, {128, 180}, {200, 225}, {254, 254}, {255, 255}};
    for (auto [v, shown] : listed) EXPECT_EQ(curve[v], shown) << "v = " << v;
}

TEST_F(RasterFixture, ToneMapDividesClipsAndOverwritesEveryPixel) {
    picture.assign(picture.size(), 99);
    raster.HitBuffer()(0, 0) = 9;
    raster.HitBuffer()(1, 0) = 10;
    raster.HitBuffer()(2, 0) = 2550;
    raster.HitBuffer()(3, 0) = kHitCellMax;
    raster.HitBuffer()(639, 479) = 640;
    raster.ToneMapFrame(10);
    EXPECT_EQ(Pixel(0, 0), 0);  // the division truncates
    EXPECT_EQ(Pixel(1, 0), 15);
    EXPECT_EQ(Pixel(2, 0), 255);
    EXPECT_EQ(Pixel(3, 0), 255);
    EXPECT_EQ(Pixel(639, 479), 127);
    EXPECT_EQ(Pixel(320, 240), 0);  // nothing of the preview survives
}

TEST(ColourTable, GreenRampWithRedAndBlueFromTheSquare) {
    const auto& table = WindowColourTable();
    EXPECT_EQ(table[0], (Rgb{0, 0, 0}));
    EXPECT_EQ(table[1], (Rgb{0, 2, 0}));
    EXPECT_EQ(table[15], (Rgb{0, 30, 0}));
    EXPECT_EQ(table[16], (Rgb{1, 31, 1}));
    EXPECT_EQ(table[128], (Rgb{64, 191, 64}));
    EXPECT_EQ(table[255], (Rgb{254, 255, 254}));
    for (int i = 1; i < 256; ++i) EXPECT_GE(table[i].g, table[i - 1].g);
}

TEST(MinLongTest, ReturnsTheSmaller) {
    EXPECT_EQ(MinLong(5, 5), 5);
    EXPECT_EQ(MinLong(-3, 255), -3);
    EXPECT_EQ(MinLong(300, 255), 255);
    EXPECT_EQ(MinLong(INT32_MIN, INT32_MAX), INT32_MIN);
}

}  // namespace
}  // namespace morva
