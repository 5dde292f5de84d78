#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "scene/scene.h"

namespace morva {

enum class NumberFault : std::uint8_t { None, TypeMismatch, Overflow };

struct IntegerReading {
    std::int32_t value = 0;
    NumberFault fault = NumberFault::None;
    // The number the text holds, before rounding (when it is a number).
    double unrounded = 0.0;
};

struct RealReading {
    double value = 0.0;
    NumberFault fault = NumberFault::None;
    // Characters of the text up to the end of the number read; 0 when the
    // text holds nothing readable. Whatever follows, blanks aside, was not
    // read.
    std::size_t end = 0;
};

// Conversion of a double to a signed 32-bit integer, rounding to nearest with
// ties to even; nothing when the rounded value does not fit (or is NaN). The
// one such conversion of the program: integer fields, weight bands, the
// weight total and pixel coordinates (already whole, so only their range is
// checked) all go through it. Inline, because the reference loop converts
// two coordinates a step with it.
inline std::optional<std::int32_t> RoundToInt32(double value) {
    // Rejects NaN and everything that cannot round into range; what is left
    // truncates into 64 bits, and its fraction is exact.
    if (!(value > -2147483649.0 && value < 2147483648.0)) return std::nullopt;
    std::int64_t whole = static_cast<std::int64_t>(value);  // toward zero
    const double fraction = value - static_cast<double>(whole);
    const bool odd = (whole & 1) != 0;
    if (fraction > 0.5 || (fraction == 0.5 && odd)) {
        ++whole;
    } else if (fraction < -0.5 || (fraction == -0.5 && odd)) {
        --whole;
    }
    if (whole < std::numeric_limits<std::int32_t>::min() || whole > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(whole);
}

// A double in the C locale's form with the given significant digits,
// whatever the user's locale (to_chars never consults it).
std::string FormatReal(double value, int significantDigits);

// An integer field: optional blanks around a decimal number in the given
// format (sign, digits with grouping separators between them, an optional
// fraction after the decimal point and an optional exponent), rounded to
// nearest with ties to even and checked against minimum..maximum. Empty text
// or anything else is a type mismatch; a value out of range is an overflow.
IntegerReading ParseIntegerText(std::string_view text, const NumberFormat& format, std::int32_t minimum,
                                std::int32_t maximum);

// A real field, read leniently: blanks and tabs are skipped anywhere, then a
// sign, digits with at most one ".", and an exponent (E or D in either case,
// a sign and digits) are taken up to the first character that does not fit;
// nothing readable gives 0. "&H" and "&O" (either case) start a hexadecimal
// or octal integer. The decimal point is always ".", whatever the locale.
// Only a magnitude beyond the double range is a fault (an overflow).
RealReading ParseLenientReal(std::string_view text);

// A field as messages quote it: in double quotes, and a long one by its first
// characters and its length, so that a message stays readable.
std::string QuotedField(std::string_view text);

// Why a faulty field is refused, naming where it is for the user
// ("MORVA.TXT, line 3, field 2") and quoting its text: "<where>: type
// mismatch: ..." or "<where>: overflow: ..." for an integer field read
// with minimum..maximum, "<where>: overflow: ..." for a real field beyond
// the double range.
std::string IntegerFaultMessage(const IntegerReading& reading, std::string_view text, std::string_view where,
                                std::int32_t minimum, std::int32_t maximum);
std::string RealFaultMessage(std::string_view text, std::string_view where);

}  // namespace morva
