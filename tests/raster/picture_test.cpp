// Pictures of any size: where a point lands, how samples are toned and
// filtered, how an automatic exposure follows the density, and the
// refusal of a picture the machine cannot hold.
#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"
#include "raster/picture_frame.h"
#include "raster/picture_tone.h"

namespace morva {
namespace {

TEST(PictureFrame, APointLandsWhereTheZoomedCentredViewPutsIt) {
    // Header scale 45, offsets 320 and 15: the point (2, 4) is pixel
    // (410, 195) of the 640 x 480 view, 90 right of the centre and 45 below.
    const double x = 2.0 + 1e-9, y = 4.0 + 1e-9;
    EXPECT_EQ(MakePictureFrame({640, 480, 1}, 45, 45, 320, 15).Cell(x, y), 195 * 640 + 410);
    // At 1920 x 1080 the zoom is min(3, 2.25) = 2.25: 202.5 right and 101.25
    // below the centre (960, 540); with 2 x 2 samples, twice those.
    EXPECT_EQ(MakePictureFrame({1920, 1080, 1}, 45, 45, 320, 15).Cell(x, y), (540 - 102) * 1920 + 960 + 202);
    EXPECT_EQ(MakePictureFrame({1920, 1080, 2}, 45, 45, 320, 15).Cell(x, y),
              (1080 - 203) * 3840 + 1920 + 405);
    // Off the picture, and not a number.
    EXPECT_EQ(MakePictureFrame({640, 480, 1}, 45, 45, 320, 15).Cell(8.0, 0.0), -1);
    EXPECT_EQ(MakePictureFrame({640, 480, 1}, 45, 45, 320, 15).Cell(0.0 / 0.0, 0.0), -1);
}

TEST(PictureFrame, SizesAndMemory) {
    EXPECT_EQ(ParsePictureSize("7680x4320").width, 7680);
    EXPECT_EQ(ParsePictureSize("16384X1").height, 1);
    for (const char* bad : {"16385x100", "0x10", "640", "640x", "x480", "64 0x480", "-5x5"})
        EXPECT_THROW(ParsePictureSize(bad), MorvaError) << bad;
    // 16384 x 16384 with 4 x 4 samples coloured by map: 68.7 GB a thread.
    try {
        CheckPictureMemory({16384, 16384, 4}, true, 2, std::uint64_t{64} << 30);
        FAIL() << "not refused";
    } catch (const MorvaError& error) {
        EXPECT_NE(std::string(error.what()).find("needs 141.2 GB"), std::string::npos) << error.what();
    }
    // Fits on one thread only: said so.
    try {
        CheckPictureMemory({7680, 4320, 2}, true, 2, std::uint64_t{3} << 30);
        FAIL() << "not refused";
    } catch (const MorvaError& error) {
        EXPECT_NE(std::string(error.what()).find("With --threads 1"), std::string::npos) << error.what();
    }
    EXPECT_NO_THROW(CheckPictureMemory({1920, 1080, 2}, true, 2, std::uint64_t{1} << 30));
}

// A table of w x h samples with the given counts, row 0 first.
PictureCounts Samples(int w, int h, const std::vector<std::uint32_t>& counts, std::uint32_t scale = 1) {
    PictureCounts table(static_cast<std::size_t>(w) * h, false);
    for (std::size_t c = 0; c < counts.size(); ++c)
        for (std::uint32_t n = 0; n < counts[c] * scale; ++n) table.Add(c, {});
    table.Settle();
    return table;
}

TEST(PictureTone, EachSampleIsTonedThenThePixelAveragesThem) {
    // 2 x 2 samples a pixel: a checkerboard of full and empty samples gives
    // every pixel half the full level, a full pixel the full level.
    const PictureFrame frame = MakePictureFrame({2, 1, 2}, 1, 1, 0, 0);
    const PictureCounts counts = Samples(4, 2, {255, 0, 255, 255, 0, 255, 255, 255});
    PictureTone tone;
    tone.exposure = 1;
    // zoom 2/640 with 2 samples: a sample's value is count * (4/640)^2.
    const double perSample = (2.0 / 640 * 2) * (2.0 / 640 * 2);
    const auto level = [&](double count) { return ToneLevel(count * perSample, tone); };
    const auto pixels = TonePicture(counts, frame, 1, 1, tone);
    ASSERT_EQ(pixels.size(), 2u);
    EXPECT_EQ(pixels[0], static_cast<std::uint8_t>(255 * (2 * level(255)) / 4));
    EXPECT_EQ(pixels[1], static_cast<std::uint8_t>(255 * (4 * level(255)) / 4));
}

TEST(PictureTone, CurvesAndAnExposureThatFollowsTheDensity) {
    PictureTone sqrtTone, logTone;
    logTone.curve = ToneKind::Log;
    // The window's curve at whole values; the log curve ends at 1 too.
    EXPECT_EQ(static_cast<int>(255 * ToneLevel(64, sqrtTone)), 127);
    EXPECT_DOUBLE_EQ(ToneLevel(255, logTone), 1.0);
    EXPECT_DOUBLE_EQ(ToneLevel(15, logTone), 0.5);
    EXPECT_DOUBLE_EQ(ToneLevel(1000, logTone), 1.0);
    logTone.gamma = 2.0;
    EXPECT_DOUBLE_EQ(ToneLevel(15, logTone), std::sqrt(0.5));
    // Eight times the points: the same bytes, on either curve.
    const PictureFrame frame = MakePictureFrame({5, 3, 1}, 1, 1, 0, 0);
    const std::vector<std::uint32_t> counts = {0, 1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, 377, 1000};
    for (PictureTone tone : {sqrtTone, logTone}) {
        tone.autoExposure = true;
        const auto once = TonePicture(Samples(5, 3, counts), frame, 1, 0, tone);
        EXPECT_EQ(TonePicture(Samples(5, 3, counts, 8), frame, 1, 0, tone), once);
        EXPECT_EQ(once.back(), 255);
        EXPECT_EQ(once.front(), 0);
    }
}

TEST(PictureTone, TheWindowUsesTheCurveOfTheSavedPicture) {
    // The window's 640 x 480 table (hit value 1) and a saved 640 x 480
    // picture of the same counts: the same bytes, for every curve.
    std::vector<std::uint32_t> counts(640 * 480);
    for (std::size_t c = 0; c < counts.size(); ++c)
        counts[c] = static_cast<std::uint32_t>(c * c % 7919 % 300);
    const std::vector<std::int32_t> cells(counts.begin(), counts.end());
    const PictureCounts table = Samples(640, 480, counts);
    const PictureFrame frame = MakePictureFrame({640, 480, 1}, 45, 45, 320, 15);
    PictureTone logTone;
    logTone.curve = ToneKind::Log;
    logTone.gamma = 2.2;
    PictureTone autoTone;
    autoTone.autoExposure = true;
    for (const PictureTone& tone : {PictureTone{}, logTone, autoTone})
        EXPECT_EQ(ToneHitTable(cells.data(), cells.size(), 7, tone), TonePicture(table, frame, 1, 7, tone));
}

TEST(PictureTone, TheWindowShowsTheViewOfAPictureOfAnySize) {
    // Each pixel of an RGB picture holds its own column and row; the
    // window's pixel takes the one under its centre where the frame puts
    // the 640 x 480 view: all of a 640 x 480 picture, every other pixel of
    // one twice its size, and the centred middle of a wider one.
    auto picture = [](int w, int h) {
        std::vector<std::uint8_t> rgb;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                rgb.insert(rgb.end(), {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x >> 8),
                                       static_cast<std::uint8_t>(y)});
            }
        }
        return rgb;
    };
    struct Case {
        int w, h, zoom, left;
    };
    for (const Case c : {Case{640, 480, 1, 0}, Case{1280, 960, 2, 0}, Case{1921, 960, 2, 320}}) {
        const PictureFrame frame = MakePictureFrame({c.w, c.h, 1}, 45, 45, 320, 15);
        const std::vector<std::uint8_t> view = ViewOfPicture(picture(c.w, c.h), frame, 3);
        ASSERT_EQ(view.size(), 640u * 480u * 3u);
        for (const auto& [x, y] :
             {std::pair{0, 0}, std::pair{1, 0}, std::pair{639, 479}, std::pair{317, 5}}) {
            const std::uint8_t* pixel = &view[(static_cast<std::size_t>(y) * 640 + x) * 3];
            const int column = c.left + x * c.zoom + c.zoom / 2, row = y * c.zoom + c.zoom / 2;
            EXPECT_EQ(pixel[0] + 256 * pixel[1], column) << c.w << " x " << c.h << " at " << x << ", " << y;
            EXPECT_EQ(pixel[2], row % 256) << c.w << " x " << c.h << " at " << x << ", " << y;
        }
    }
}

TEST(PictureCounts, WrapsAndTakeBacksInAnyOrderGiveTheExactSum) {
    PictureCounts a(2, true), b(2, true);
    const MapColour white{255, 255, 255};
    // 17 million adds of 255 pass 2^32 in the colour sums of cell 1.
    for (int i = 0; i < 17'000'000; ++i) a.Add(1, white);
    for (int i = 0; i < 1000; ++i) b.Subtract(1, white);
    for (int i = 0; i < 1500; ++i) b.Add(1, white);
    a.FoldFrom(b);
    a.Settle();
    EXPECT_EQ(a.Value(1, 0), 17'000'500u);
    EXPECT_EQ(a.Value(1, 1), std::uint64_t{17'000'500} * 255);
    EXPECT_EQ(a.Value(0, 0), 0u);
}

}  // namespace
}  // namespace morva
