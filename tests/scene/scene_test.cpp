#include "scene/scene.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <initializer_list>

#include "platform/error.h"
#include "support/fake_file_system.h"

namespace morva {
namespace {

constexpr std::int32_t kStartSeed = 777;
const NumberFormat kC{};

// The four-map fern, in high-resolution mode with a fixed seed.
constexpr char kFern[] =
    "h 45 45 320 15 1 10 100 4\r\n"
    "a 0.01 0 0 0 0.16 0 0\r\n"
    "a 0.85 0.85 0.04 -0.04 0.85 0 1.6\r\n"
    "a 0.07 0.2 -0.26 0.23 0.22 0 1.6\r\n"
    "a 0.07 -0.15 0.28 0.26 0.24 0 0.44\r\n"
    "D\r\n"
    "_setseed 12345\r\n";

constexpr char kHeader[] = "h 45 45 320 15 1 10 100 4\n";
constexpr char kFernMaps[] =
    "a 0.01 0 0 0 0.16 0 0\n"
    "a 0.85 0.85 0.04 -0.04 0.85 0 1.6\n"
    "a 0.07 0.2 -0.26 0.23 0.22 0 1.6\n"
    "a 0.07 -0.15 0.28 0.26 0.24 0 0.44\n";

Scene Parse(std::string_view text, const NumberFormat& format = kC) {
    return ParseScene(text, kStartSeed, format);
}

std::string FernWith(std::string_view extra) { return std::string(kHeader) + kFernMaps + std::string(extra); }

// Parsing must be refused with a message holding every piece.
void ExpectRefused(std::string_view text, std::initializer_list<std::string_view> pieces) {
    try {
        Parse(text);
        ADD_FAILURE() << "accepted:\n" << text;
    } catch (const MorvaError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("MORVA.TXT", 0), 0u) << message;
        for (std::string_view piece : pieces)
            EXPECT_NE(message.find(piece), std::string::npos) << message << "\n  lacks: " << piece;
    }
}

TEST(ParseScene, HiResFernValueForValue) {
    const Scene scene = Parse(kFern);
    const SceneSettings& s = scene.settings;
    EXPECT_EQ(s.ScaleX, 45);
    EXPECT_EQ(s.ScaleY, 45);
    EXPECT_EQ(s.OffsetX, 320);
    EXPECT_EQ(s.OffsetY, 15);
    EXPECT_EQ(s.HitValue, 1);
    EXPECT_EQ(s.Exposure, 10);
    EXPECT_EQ(s.GroupTarget, 16000);
    EXPECT_EQ(s.TransformCount, 4);
    EXPECT_EQ(s.WeightSum, 1.0);
    EXPECT_EQ(s.WeightTotal727, 727);
    EXPECT_TRUE(s.HiRes);
    EXPECT_TRUE(s.HighSpeed);
    EXPECT_EQ(s.HiResXMin, -7.111111111111111);
    EXPECT_EQ(s.HiResXMax, 7.111111111111111);
    EXPECT_EQ(s.HiResYMin, -0.3333333333333333);
    EXPECT_EQ(s.HiResYMax, 10.333333333333334);
    EXPECT_EQ(s.RandSeed, 12345);
    EXPECT_EQ(s.InitialSeed, 12345);

    const double weights[] = {0.01, 0.85, 0.07, 0.07};
    const std::array<double, 12> coefs[] = {{0, 0, 0, 0.16, 0, 0},
                                            {0.85, 0.04, -0.04, 0.85, 0, 1.6},
                                            {0.2, -0.26, 0.23, 0.22, 0, 1.6},
                                            {-0.15, 0.28, 0.26, 0.24, 0, 0.44}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(scene.transforms[k].Kind, kAffine);
        EXPECT_EQ(scene.transforms[k].Weight, weights[k]);
        EXPECT_EQ(scene.transforms[k].Coef, coefs[k]) << "slot " << k;
    }
    EXPECT_EQ(scene.transforms[4].Weight, 0.0);
}

TEST(ParseScene, FernWithoutTheDLine) {
    const SceneSettings s = Parse(FernWith("_setseed 12345\n")).settings;
    EXPECT_EQ(s.GroupTarget, 1000);
    EXPECT_FALSE(s.HiRes);
    EXPECT_EQ(s.HiResXMin, 0.0);
    EXPECT_EQ(s.HiResYMax, 0.0);
    EXPECT_EQ(s.WeightTotal727, 727);
}

TEST(ParseScene, LineEndsAndOneLetterLines) {
    const std::string crlf = DescribeScene(Parse(kFern));
    // With bare LF a lone "D" is too short to count; a trailing space makes
    // it take part.
    EXPECT_EQ(DescribeScene(Parse(FernWith("D \n_setseed 12345\n"))), crlf);
    EXPECT_FALSE(Parse(FernWith("D\n_setseed 12345\n")).settings.HiRes);
    // No final line feed, and trailing empty lines.
    EXPECT_EQ(DescribeScene(Parse(FernWith("D \n_setseed 12345"))), crlf);
    EXPECT_EQ(DescribeScene(Parse(FernWith("D \n_setseed 12345\n\n\r\n"))), crlf);
    // Only one carriage return is removed: the seed field keeps the other.
    ExpectRefused(FernWith("_setseed 5\r\r\n"), {"line 6, field 1", "type mismatch"});
}

TEST(ParseScene, LineKindsAreCaseSensitive) {
    const Scene scene =
        Parse(FernWith("H 1 1 1 1 1 1 1 1\n"
                       "A 1 1 1 1 1 1 1\n"
                       "d \n"
                       "s 1 1 2 3 4 5 6 7 8 9 10 11 12\n"
                       "p 1 12 11 10 9 8 7 6 5 4 3 2 1\n"));
    EXPECT_EQ(scene.settings.ScaleX, 45);
    EXPECT_FALSE(scene.settings.HiRes);
    EXPECT_EQ(scene.transforms[4].Kind, kQuadratic);
    EXPECT_EQ(scene.transforms[4].Coef[11], 12.0);
    EXPECT_EQ(scene.transforms[5].Kind, kProjective);
    EXPECT_EQ(scene.transforms[5].Coef[0], 12.0);
    EXPECT_TRUE(scene.settings.HighSpeed);

    // A comment that starts with "S" switches the fast selection off, and
    // WeightTotal727 then stays 0.
    const SceneSettings slow = Parse(FernWith("Speed is not a comment\n")).settings;
    EXPECT_FALSE(slow.HighSpeed);
    EXPECT_EQ(slow.WeightTotal727, 0);
    EXPECT_EQ(slow.WeightSum, 1.0);
    // One that starts with "h" is read as a header.
    ExpectRefused(FernWith("hello world\n"), {"line 6", "\"h\"", "8 fields", "has 1"});
}

TEST(ParseScene, SeedKeyword) {
    EXPECT_EQ(Parse(FernWith("_SetSeed -42\n")).settings.RandSeed, -42);
    EXPECT_EQ(Parse(FernWith("_SETSEED 9\n")).settings.InitialSeed, 9);
    EXPECT_EQ(Parse(FernWith("_setseed12345\n")).settings.RandSeed, kStartSeed);
    EXPECT_EQ(Parse(FernWith("_seed 5\n")).settings.RandSeed, kStartSeed);
    EXPECT_EQ(Parse(FernWith("")).settings.InitialSeed, kStartSeed);
    EXPECT_EQ(Parse(FernWith("_setseed 1\n_setseed 2 3\n")).settings.RandSeed, 2);
}

TEST(ParseScene, HeaderAnywhereAndDLinesAfterIt) {
    EXPECT_EQ(DescribeScene(Parse(std::string(kFernMaps) + kHeader + "D \n_setseed 12345\n")),
              DescribeScene(Parse(kFern)));
    EXPECT_EQ(Parse(FernWith("D \nD \n")).settings.GroupTarget, 256000);

    const SceneSettings before = Parse(std::string("D \n") + kHeader + kFernMaps).settings;
    EXPECT_EQ(before.GroupTarget, 1000);
    EXPECT_TRUE(before.HiRes);
    EXPECT_EQ(before.HiResXMin, -7.111111111111111);

    // A later header replaces everything, the "D" factor included.
    const SceneSettings replaced = Parse(FernWith("D \nh 10 20 30 40 2 3 7 2\n")).settings;
    EXPECT_EQ(replaced.ScaleX, 10);
    EXPECT_EQ(replaced.OffsetY, 40);
    EXPECT_EQ(replaced.HitValue, 2);
    EXPECT_EQ(replaced.GroupTarget, 21);
    EXPECT_EQ(replaced.TransformCount, 2);
    EXPECT_TRUE(replaced.HiRes);
    EXPECT_EQ(replaced.HiResXMax, (640.0 - 30) / 10);
}

TEST(ParseScene, IntegerFieldsRoundTiesToEven) {
    const SceneSettings s = Parse(std::string("h 45 3.5 320 15 1 10 2.5 4\n") + kFernMaps).settings;
    EXPECT_EQ(s.ScaleY, 4);
    EXPECT_EQ(s.GroupTarget, 20);
}

TEST(ParseScene, IntegerFieldsFollowTheUserNumberFormat) {
    const NumberFormat german{",", "."};
    const SceneSettings s =
        Parse(std::string("h 45 45 320 15 1 2,5 1.000 4\n_setseed 1.234\n") + kFernMaps, german).settings;
    EXPECT_EQ(s.Exposure, 2);
    EXPECT_EQ(s.GroupTarget, 2000);
    EXPECT_EQ(s.RandSeed, 1234);
    // Real fields keep "." whatever the locale.
    EXPECT_EQ(Parse(std::string(kHeader) + kFernMaps, german).transforms[1].Weight, 0.85);
}

TEST(ParseScene, RealFieldsAreLenient) {
    const Scene scene = Parse(std::string("h 1 1 0 0 1 1 1 1\n") + "a 0.5x abc 1e-1 -.25 1D2 &H1F\t &O17\n");
    const TransformRec& t = scene.transforms[0];
    EXPECT_EQ(t.Weight, 0.5);
    EXPECT_EQ(t.Coef, (std::array<double, 12>{0.0, 0.1, -0.25, 100.0, 31.0, 15.0}));
}

TEST(ParseScene, DoubleSpacesShiftTheValues) {
    const Scene scene = Parse(std::string("h 1 1 0 0 1 1 1 1\n") + "a 1 1  2 3 4 5 6\n");
    EXPECT_EQ(scene.transforms[0].Coef, (std::array<double, 12>{1, 0, 2, 3, 4, 5}));
    // A tab separates nothing: "2\t3" reads as 23.
    EXPECT_EQ(Parse(std::string("h 1 1 0 0 1 1 1 1\n") + "a 1 1 2\t3 4 5 6 7\n").transforms[0].Coef[1], 23.0);
    ExpectRefused("h 1  1 0 0 1 1 1 1\na 1 1 1 1 1 1 1\n", {"line 1, field 2", "type mismatch", "\"\""});
}

TEST(ParseScene, TransformCountDecidesTheSlotsInUse) {
    const std::string maps =
        "a 0.25 1 0 0 1 0 0\na 0.5 1 0 0 1 0 0\na 4 1 0 0 1 0 0\np 8 1 0 0 0 0 1 0 1 0 0 0 1\n";
    const SceneSettings two = Parse("h 1 1 0 0 1 1 1 2\n" + maps).settings;
    EXPECT_EQ(two.WeightSum, 0.75);
    EXPECT_EQ(two.WeightTotal727, 545);  // floor(545.25 + 0.5)

    const Scene six = Parse("h 1 1 0 0 1 1 1 6\n" + maps);
    EXPECT_EQ(six.settings.WeightSum, 12.75);
    EXPECT_EQ(six.transforms[5].Kind, kAffine);
    EXPECT_EQ(six.transforms[5].Weight, 0.0);
    EXPECT_NE(DescribeScene(six).find("transform.5.kind=affine\ntransform.5.weight=0\n"), std::string::npos);

    const SceneSettings thirds =
        Parse("h 1 1 0 0 1 1 1 3\na 0.3 0 0 0 0 0 0\na 0.3 0 0 0 0 0 0\na 0.4 0 0 0 0 0 0\n").settings;
    EXPECT_EQ(thirds.WeightSum, 1.0);
    EXPECT_EQ(thirds.WeightTotal727, 727);
}

TEST(ParseScene, WeightTotalRoundsHalfUpAndBandsToEven) {
    // This weight times 727 is exactly 2.5: the total rounds half up to 3,
    // while its band would round to the even 2.
    const SceneSettings s = Parse("h 1 1 0 0 1 1 1 1\na 0.0034387895460797797 0 0 0 0 0 0\n").settings;
    EXPECT_EQ(s.WeightTotal727, 3);
}

TEST(ParseScene, RefusesUnusableFiles) {
    ExpectRefused("", {"empty"});
    ExpectRefused("\n\r\nD\n", {"no header line"});
    ExpectRefused(kFernMaps, {"no header line"});

    test::FakeFileSystem files;
    try {
        LoadScene(files, "/scenes/fern", kStartSeed, kC);
        ADD_FAILURE();
    } catch (const MorvaError& error) {
        EXPECT_STREQ(error.what(),
                     "/scenes/fern/MORVA.TXT: cannot read the scene file: No such file or directory");
    }
    files.files["/scenes/fern/MORVA.TXT"] = "";
    EXPECT_THROW(LoadScene(files, "/scenes/fern", kStartSeed, kC), MorvaError);
    files.files["/scenes/fern/MORVA.TXT"] = kFern;
    EXPECT_EQ(LoadScene(files, "/scenes/fern", kStartSeed, kC).settings.GroupTarget, 16000);
}

TEST(ParseScene, RefusesBadIntegerFields) {
    ExpectRefused("h 45 45 320 15 1 10 100 x4\n",
                  {"MORVA.TXT, line 1, field 8: type mismatch: \"x4\" is not a number"});
    ExpectRefused(FernWith("_setseed \n"), {"line 6, field 1", "type mismatch", "\"\""});
    ExpectRefused("h 45 45 2147483648 15 1 10 100 4\n", {"line 1, field 3", "overflow", "\"2147483648\""});
    ExpectRefused("h 45 45 320 15 256 10 100 4\n", {"line 1, field 5", "overflow", "\"256\"", "0 to 255"});
    ExpectRefused("h 45 45 320 15 -1 10 100 4\n", {"line 1, field 5", "overflow"});
    ExpectRefused("h 45 45 320 15 1 10 100 4\na 1e400 0 0 0 0 0 0\n",
                  {"line 2, field 1", "overflow", "\"1e400\""});
}

TEST(ParseScene, RefusesShortLines) {
    ExpectRefused("h 45 45 320 15 1 10 100\n", {"line 1", "\"h\" (a header) needs 8 fields", "has 7"});
    ExpectRefused(FernWith("_SetSeed\n"), {"line 6", "\"_setseed\" line needs 1 field", "has 0"});
    ExpectRefused(FernWith("a 1 0 0 0 0 0\n"), {"line 6", "\"a\" needs 7", "has 6"});
    ExpectRefused(FernWith("p 1 0 0 0 0 0 0 0 0 0 0 0\n"), {"line 6", "\"p\" needs 13", "has 12"});
    ExpectRefused(FernWith("s 1\n"), {"line 6", "\"s\" needs 13", "has 1"});
}

TEST(ParseScene, RefusesTransformCountsBeyondTheTable) {
    std::string many = "h 1 1 0 0 1 1 1 1024\n";
    for (int k = 0; k < 1024; ++k) many += "a 1 0 0 0 0 0 0\n";
    const Scene full = Parse(many);
    EXPECT_EQ(full.settings.WeightSum, 1024.0);
    ExpectRefused(many + "a 1 0 0 0 0 0 0\n", {"line 1026", "more than 1024 transform lines"});

    ExpectRefused("h 1 1 0 0 1 1 1 0\na 1 0 0 0 0 0 0\n",
                  {"line 1", "number of transforms", "is 0", "1 to 1024"});
    ExpectRefused("h 1 1 0 0 1 1 1 -3\na 1 0 0 0 0 0 0\nS \n", {"line 1", "is -3"});
    ExpectRefused("h 1 1 0 0 1 1 1 1025\na 1 0 0 0 0 0 0\n", {"line 1", "is 1025"});
}

TEST(ParseScene, RefusesGroupTargetsBeyond32Bits) {
    ExpectRefused("h 1 1 0 0 1 65536 32768 1\na 1 0 0 0 0 0 0\n", {"line 1", "overflow", "group target"});
    // 65536 x 32767 fits, the sixteen-fold of it does not.
    ExpectRefused("h 1 1 0 0 1 65536 32767 1\na 1 0 0 0 0 0 0\nD \n", {"line 3", "overflow", "\"D\""});
    EXPECT_EQ(Parse("h 1 1 0 0 1 65536 2047 1\na 1 0 0 0 0 0 0\nD \n").settings.GroupTarget, 2146435072);
    EXPECT_EQ(Parse("h 1 1 0 0 1 65536 -32768 1\na 1 0 0 0 0 0 0\n").settings.GroupTarget, -2147483647 - 1);
    // A later header replaces a target that had overflowed.
    EXPECT_EQ(
        Parse("h 1 1 0 0 1 65536 32768 1\nD \nh 1 1 0 0 1 1 5 1\na 1 0 0 0 0 0 0\n").settings.GroupTarget, 5);
}

TEST(ParseScene, RefusesExposureBelowOne) {
    ExpectRefused("h 1 1 0 0 1 0 100 1\na 1 0 0 0 0 0 0\n", {"line 1", "exposure", "is 0", "at least 1"});
    ExpectRefused("h 1 1 0 0 1 -2 100 1\na 1 0 0 0 0 0 0\n", {"is -2"});
}

TEST(ParseScene, RefusesWeightsTheFastSelectionCannotUse) {
    ExpectRefused("h 1 1 0 0 1 1 1 2\na 0 0 0 0 0 0 0\n", {"add up to 0", "too little"});
    ExpectRefused("h 1 1 0 0 1 1 1 1\na 0.0006 0 0 0 0 0 0\n", {"too little"});
    ExpectRefused("h 1 1 0 0 1 1 1 1\na 3e6 0 0 0 0 0 0\n", {"overflow", "add up to 3e+06"});
    // With the standard selection the same weights are usable.
    EXPECT_EQ(Parse("h 1 1 0 0 1 1 1 2\nS \na 0 0 0 0 0 0 0\n").settings.WeightSum, 0.0);
    EXPECT_EQ(Parse("S \nh 1 1 0 0 1 1 1 1\na 3e6 0 0 0 0 0 0\n").settings.WeightTotal727, 0);

    // A single band beyond 32 bits, although the total is small.
    ExpectRefused("h 1 1 0 0 1 1 1 2\na 3e6 0 0 0 0 0 0\na -2999999 0 0 0 0 0 0\n",
                  {"line 2, field 1", "overflow", "the weight 3e+06 is too large"});
    // The running sum leaves 32 bits at a slot that draws reach.
    ExpectRefused(
        "h 1 1 0 0 1 1 1 4\na -2e6 0 0 0 0 0 0\na -2e6 0 0 0 0 0 0\n"
        "a 2000000.5 0 0 0 0 0 0\na 2000000.5 0 0 0 0 0 0\n",
        {"line 3, field 1", "overflow", "weights up to this transform"});
    // Past the first band every draw is taken, so the sum never gets there.
    const SceneSettings unreached = Parse(
                                        "h 1 1 0 0 1 1 1 4\na 2e6 0 0 0 0 0 0\na 2e6 0 0 0 0 0 0\n"
                                        "a -2e6 0 0 0 0 0 0\na -1999999.99 0 0 0 0 0 0\n")
                                        .settings;
    EXPECT_EQ(unreached.WeightTotal727, 7);
}

TEST(ParseScene, RefusesHighResolutionMappingsThatCannotWork) {
    ExpectRefused("h 0 45 320 15 1 10 100 1\na 1 0 0 0 0 0 0\nD \n", {"line 1", "x scale (field 1) is 0"});
    ExpectRefused("h 45 0 320 15 1 10 100 1\na 1 0 0 0 0 0 0\nD \n", {"y scale (field 2) is 0"});
    ExpectRefused("h 536870912 45 320 15 1 10 100 1\na 1 0 0 0 0 0 0\nD \n",
                  {"line 1", "overflow", "x scale"});
    ExpectRefused("h 45 45 -536870913 15 1 10 100 1\na 1 0 0 0 0 0 0\nD \n", {"x offset"});
    ExpectRefused("h 45 45 320 536870912 1 10 100 1\na 1 0 0 0 0 0 0\nD \n", {"y offset"});
    // At normal resolution none of them is divided or magnified.
    EXPECT_EQ(Parse("h 0 0 536870912 15 1 10 100 1\na 1 0 0 0 0 0 0\n").settings.ScaleX, 0);
    // The limits themselves are fine, and a negative scale just makes an
    // empty window.
    const SceneSettings limit =
        Parse("h -536870912 536870911 -536870912 536870911 1 1 1 1\na 1 0 0 0 0 0 0\nD \n").settings;
    EXPECT_GT(limit.HiResXMin, limit.HiResXMax);
}

TEST(UserNumberFormat, ReadsTheEnvironmentWithoutChangingTheGlobalLocale) {
    const std::string before = setlocale(LC_NUMERIC, nullptr);
    const char* saved = std::getenv("LC_ALL");
    const std::string savedValue = saved ? saved : "";
    setenv("LC_ALL", "C", 1);
    const NumberFormat format = UserNumberFormat();
    if (saved)
        setenv("LC_ALL", savedValue.c_str(), 1);
    else
        unsetenv("LC_ALL");
    EXPECT_EQ(format.decimalPoint, ".");
    EXPECT_EQ(format.groupingSeparator, "");
    EXPECT_EQ(setlocale(LC_NUMERIC, nullptr), before);
}

TEST(DescribeScene, StableNameValueLines) {
    const Scene scene = Parse(
        "h 620 460 10 10 1 1 1000 2\na 1 0.5 0 0 0.5 0 0\ns 0.1 1 2 3 4 5 6 7 8 9 10 11 -0.04\n_setseed 3\n");
    EXPECT_EQ(DescribeScene(scene),
              "ScaleX=620\nScaleY=460\nOffsetX=10\nOffsetY=10\nHitValue=1\nExposure=1\nGroupTarget=1000\n"
              "TransformCount=2\nWeightSum=1.1000000000000001\nHiRes=off\nHighSpeed=on\nWeightTotal727=800\n"
              "RandSeed=3\nInitialSeed=3\nHiResXMin=0\nHiResXMax=0\nHiResYMin=0\nHiResYMax=0\n"
              "transform.0.kind=affine\ntransform.0.weight=1\ntransform.0.coef=0.5 0 0 0.5 0 0 0 0 0 0 0 0\n"
              "transform.1.kind=quadratic\ntransform.1.weight=0.10000000000000001\n"
              "transform.1.coef=1 2 3 4 5 6 7 8 9 10 11 -0.040000000000000001\n");
    EXPECT_NE(DescribeScene(Parse(kFern)).find("HiResXMin=-7.1111111111111107\n"), std::string::npos);
}

}  // namespace
}  // namespace morva
