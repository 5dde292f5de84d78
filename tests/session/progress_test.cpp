#include "session/progress.h"

#include <gtest/gtest.h>

namespace morva {
namespace {

TEST(PCStr, PadsWithZerosButNeverCuts) {
    EXPECT_EQ(PCStr(7, 2), "07");
    EXPECT_EQ(PCStr(5, 3), "005");
    EXPECT_EQ(PCStr(123, 2), "123");
    EXPECT_EQ(PCStr(0, 0), "0");
    EXPECT_EQ(PCStr(-5, 3), "0-5");  // the sign counts as a character of the minimum length
}

TEST(GetTimeForm, HoursGrowPastTwoDigitsAndPast24) {
    EXPECT_EQ(GetTimeForm(0), "00:00:00:000");
    EXPECT_EQ(GetTimeForm(3723004), "01:02:03:004");
    EXPECT_EQ(GetTimeForm(86399999), "23:59:59:999");
    EXPECT_EQ(GetTimeForm(360000000), "100:00:00:000");
    EXPECT_EQ(GetTimeForm(2147483647), "596:31:23:647");
}

TEST(ProgressText, HiResHighSpeedRunAtEightPercent) {
    ProgressInputs in{1280, 16000, 200, 6400, 12345, true, true};
    EXPECT_EQ(ProgressText(in),
              "1280 of 16000 groups traced; 8%; Speed: 200 gps; HiRes Output; High Speed\r\n"
              "Building time: 00:00:06:400; estimated time remaining: 00:01:13:600; seed: 12345");
    in.HiRes = in.HighSpeed = false;
    in.InitialSeed = 0;
    EXPECT_EQ(ProgressText(in),
              "1280 of 16000 groups traced; 8%; Speed: 200 gps\r\n"
              "Building time: 00:00:06:400; estimated time remaining: 00:01:13:600; seed: 0");
}

TEST(ProgressText, SinglePrecisionPercentAndTiesToEvenRemainingTime) {
    // 57.99999999999999 in double is 58.0 in single precision.
    EXPECT_EQ(PercentDone(3712, 6400), 58.0f);
    EXPECT_NE(ProgressText({3712, 6400, 0, 1, 0, false, false})->find("; 58%;"), std::string::npos);
    auto text = ProgressText({384, 1000, 0, 1000, 0, false, false});
    EXPECT_NE(text->find("; 38%;"), std::string::npos);
    EXPECT_NE(text->find("remaining: 00:00:01:604;"), std::string::npos);
    EXPECT_EQ(RemainingMs(5, 128, 192), 2);  // 2.5 goes to 2
    EXPECT_EQ(RemainingMs(3, 128, 192), 2);  // 1.5 goes to 2
    auto last = ProgressText({1024, 1024, 0, 777, 0, false, true});
    EXPECT_EQ(last->substr(0, last->find("\r\n")),
              "1024 of 1024 groups traced; 100%; Speed: 0 gps; High Speed");
    EXPECT_NE(last->find("estimated time remaining: 00:00:00:000"), std::string::npos);
}

TEST(ProgressText, NothingWithoutAGroupOrElapsedTime) {
    EXPECT_FALSE(ProgressText({0, 1000, 0, 500, 0, false, false}));
    EXPECT_FALSE(ProgressText({128, 1000, 0, 0, 0, false, false}));
}

TEST(ProgressText, HugeEstimatesAreClamped) {
    // 2^31 - 1 groups at 10 s for 128 of them is far beyond 24.8 days.
    EXPECT_EQ(RemainingMs(10000, 128, 2147483647), 2147483647);
    auto text = ProgressText({128, 2147483647, 0, 10000, 0, false, false});
    EXPECT_NE(text->find("remaining: 596:31:23:647;"), std::string::npos);
}

}  // namespace
}  // namespace morva
