#include "scene/number_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace morva {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

const NumberFormat kC{};
const NumberFormat kGerman{",", "."};

IntegerReading Int(std::string_view text, const NumberFormat& format = kC) {
    return ParseIntegerText(text, format, kMin, kMax);
}

void ExpectInt(std::string_view text, std::int32_t expected, const NumberFormat& format = kC) {
    const IntegerReading reading = Int(text, format);
    EXPECT_EQ(reading.fault, NumberFault::None) << '"' << text << '"';
    EXPECT_EQ(reading.value, expected) << '"' << text << '"';
}

void ExpectIntFault(std::string_view text, NumberFault fault, const NumberFormat& format = kC) {
    EXPECT_EQ(Int(text, format).fault, fault) << '"' << text << '"';
}

double Real(std::string_view text) {
    const RealReading reading = ParseLenientReal(text);
    EXPECT_EQ(reading.fault, NumberFault::None) << '"' << text << '"';
    return reading.value;
}

TEST(RoundToInt32, TiesToEvenAndRangeAtTheLimits) {
    EXPECT_EQ(RoundToInt32(2.5), 2);
    EXPECT_EQ(RoundToInt32(3.5), 4);
    EXPECT_EQ(RoundToInt32(-2.5), -2);
    EXPECT_EQ(RoundToInt32(-3.5), -4);
    EXPECT_EQ(RoundToInt32(2.5000000000000004), 3);
    EXPECT_EQ(RoundToInt32(-2.4999999999999996), -2);
    EXPECT_EQ(RoundToInt32(-2.6), -3);
    EXPECT_EQ(RoundToInt32(-0.5), 0);
    EXPECT_EQ(RoundToInt32(363.5), 364);
    EXPECT_EQ(RoundToInt32(2147483647.4), kMax);
    EXPECT_EQ(RoundToInt32(2147483647.5), std::nullopt);
    EXPECT_EQ(RoundToInt32(-2147483648.5), kMin);  // ties to the even limit
    EXPECT_EQ(RoundToInt32(-2147483648.6), std::nullopt);
    EXPECT_EQ(RoundToInt32(std::nan("")), std::nullopt);
    EXPECT_EQ(RoundToInt32(std::numeric_limits<double>::infinity()), std::nullopt);
}

TEST(IntegerField, PlainAndRoundedValues) {
    ExpectInt("45", 45);
    ExpectInt("-320", -320);
    ExpectInt("+7", 7);
    ExpectInt(" 12 ", 12);
    ExpectInt("\t12", 12);
    ExpectInt("2.5", 2);
    ExpectInt("3.5", 4);
    ExpectInt("-0.5", 0);
    ExpectInt(".5", 0);
    ExpectInt("1.", 1);
    ExpectInt("1e3", 1000);
    ExpectInt("25E-1", 2);
    ExpectInt("0001", 1);
    ExpectInt("2147483647", kMax);
    ExpectInt("-2147483648", kMin);
    ExpectInt("1e-400", 0);  // underflow is just 0
}

TEST(IntegerField, MismatchAndOverflow) {
    for (const char* text : {"", " ", "-", ".", "abc", "12a", "1 2", "1,5", "1e", "1e+", "&H10", "0x10",
                             "1d2", "--1", "nan", "inf"})
        ExpectIntFault(text, NumberFault::TypeMismatch);
    for (const char* text : {"2147483648", "-2147483649", "2147483647.5", "1e10", "1e99999"})
        ExpectIntFault(text, NumberFault::Overflow);
}

TEST(IntegerField, ByteRange) {
    EXPECT_EQ(ParseIntegerText("255", kC, 0, 255).value, 255);
    EXPECT_EQ(ParseIntegerText("-0.5", kC, 0, 255).value, 0);
    EXPECT_EQ(ParseIntegerText("256", kC, 0, 255).fault, NumberFault::Overflow);
    EXPECT_EQ(ParseIntegerText("-1", kC, 0, 255).fault, NumberFault::Overflow);
    EXPECT_EQ(ParseIntegerText("254.5", kC, 0, 255).value, 254);
    EXPECT_EQ(ParseIntegerText("255.5", kC, 0, 255).fault, NumberFault::Overflow);  // rounds to 256
}

TEST(IntegerField, UserFormatWithCommaPointAndDotGrouping) {
    ExpectInt("1.000", 1000, kGerman);
    ExpectInt("1.234.567", 1234567, kGerman);
    ExpectInt("2,5", 2, kGerman);
    ExpectInt("3,5", 4, kGerman);
    ExpectInt("1.000,5", 1000, kGerman);
    // Grouping only between digits, and never after the decimal point.
    for (const char* text : {".100", "100.", "1..000", "1,000.5", "1,2,3"})
        ExpectIntFault(text, NumberFault::TypeMismatch, kGerman);
    // The C format takes "1.000" as one.
    ExpectInt("1.000", 1);
}

TEST(IntegerField, MultiByteSeparators) {
    const NumberFormat narrowSpace{",", "\xE2\x80\xAF"};
    ExpectInt(
        "12\xE2\x80\xAF"
        "345,5",
        12346, narrowSpace);
}

TEST(LenientReal, StopsAtTheFirstMisfit) {
    EXPECT_EQ(Real("0.5x"), 0.5);
    EXPECT_EQ(Real("abc"), 0.0);
    EXPECT_EQ(Real(""), 0.0);
    EXPECT_EQ(Real("-"), 0.0);
    EXPECT_EQ(Real("."), 0.0);
    EXPECT_EQ(Real("1.2.3"), 1.2);
    EXPECT_EQ(Real("--1"), 0.0);
    EXPECT_EQ(Real("1,5"), 1.0);  // the point is always "."
    EXPECT_EQ(Real("1e"), 1.0);
    EXPECT_EQ(Real("1e+x"), 1.0);
}

TEST(LenientReal, SignsPointsAndExponents) {
    EXPECT_EQ(Real("-.25"), -0.25);
    EXPECT_EQ(Real("+3"), 3.0);
    EXPECT_EQ(Real("5."), 5.0);
    EXPECT_EQ(Real("1e-1"), 0.1);
    EXPECT_EQ(Real("1E2"), 100.0);
    EXPECT_EQ(Real("1D2"), 100.0);
    EXPECT_EQ(Real("1d-2"), 0.01);
    EXPECT_EQ(Real("2.5e+1"), 25.0);
    EXPECT_EQ(Real(" 1 2 . 5 "), 12.5);  // blanks are skipped anywhere
    EXPECT_EQ(Real("\t-\t0.75"), -0.75);
    EXPECT_EQ(Real("1e-400"), 0.0);  // underflow is no fault
}

TEST(LenientReal, CorrectlyRoundedLikeTheLiteral) {
    EXPECT_EQ(Real("0.1"), 0.1);
    EXPECT_EQ(Real("0.85"), 0.85);
    EXPECT_EQ(Real("-0.04"), -0.04);
    EXPECT_EQ(Real("2.2250738585072011e-308"), 2.2250738585072011e-308);
    EXPECT_EQ(Real("9007199254740993"), 9007199254740992.0);  // halfway, to even
    EXPECT_EQ(Real("1.7976931348623157e308"), std::numeric_limits<double>::max());
}

TEST(LenientReal, HexadecimalAndOctal) {
    EXPECT_EQ(Real("&H1F"), 31.0);
    EXPECT_EQ(Real("&hff"), 255.0);
    EXPECT_EQ(Real("&O17"), 15.0);
    EXPECT_EQ(Real("&o777"), 511.0);
    EXPECT_EQ(Real("&H"), 0.0);
    EXPECT_EQ(Real("&O8"), 0.0);
    EXPECT_EQ(Real("&X1"), 0.0);
    EXPECT_EQ(Real("&H1G"), 1.0);
    EXPECT_EQ(Real("&HFFFFFFFF"), 4294967295.0);  // non-negative, no 32-bit wrap
    EXPECT_EQ(Real("&O1777777777777777777777"), 18446744073709551615.0);
}

TEST(LenientReal, OnlyMagnitudesBeyondDoubleOverflow) {
    EXPECT_EQ(ParseLenientReal("1e309").fault, NumberFault::Overflow);
    EXPECT_EQ(ParseLenientReal("-1e309").fault, NumberFault::Overflow);
    EXPECT_EQ(ParseLenientReal("1e99999999999999999999").fault, NumberFault::Overflow);
    EXPECT_EQ(ParseLenientReal("0e99999999999999999999").fault, NumberFault::None);
    EXPECT_EQ(ParseLenientReal("&H" + std::string(300, 'F')).fault, NumberFault::Overflow);
}

// The refusal of a field as the scene and palette readers word it.
std::string IntegerFault(std::string_view text, std::string_view where, std::int32_t minimum = kMin,
                         std::int32_t maximum = kMax) {
    const IntegerReading reading = ParseIntegerText(text, kC, minimum, maximum);
    EXPECT_NE(reading.fault, NumberFault::None) << text;
    return IntegerFaultMessage(reading, text, where, minimum, maximum);
}

TEST(FieldFaults, MessagesNameThePlaceTheReasonAndTheText) {
    EXPECT_EQ(IntegerFault("1x", "MORVA.TXT, line 2, field 3"),
              "MORVA.TXT, line 2, field 3: type mismatch: \"1x\" is not a number");
    EXPECT_EQ(IntegerFault("300", "MORVA.pal, line 4, field 1", 0, 255),
              "MORVA.pal, line 4, field 1: overflow: \"300\" is outside the range 0 to 255");
    EXPECT_EQ(IntegerFault("", "here"), "here: type mismatch: \"\" is not a number");
    EXPECT_EQ(ParseLenientReal("1e400").fault, NumberFault::Overflow);
    EXPECT_EQ(RealFaultMessage("1e400", "here"), "here: overflow: \"1e400\" is too large for a real number");
    EXPECT_EQ(ParseLenientReal("junk").fault, NumberFault::None);
    EXPECT_EQ(ParseLenientReal("junk").value, 0.0);
}

// A NUL would end the message box's text and a CR or an ESC would move the
// terminal's cursor: quoted text shows them as escapes, and escapes the
// quote and the backslash too, so that it stays unambiguous. UTF-8 stays.
TEST(FieldFaults, QuotedTextShowsControlBytesAsEscapes) {
    EXPECT_EQ(IntegerFault(std::string_view("1\0\r\x1b[2J\"\\\x7f\xc3\xa9", 12), "here"),
              "here: type mismatch: \"1\\x00\\r\\x1b[2J\\\"\\\\\\x7f\xc3\xa9\" is not a number");
}

}  // namespace
}  // namespace morva
