#include "scene/number_reader.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "platform/error.h"
#include "platform/locale.h"

namespace morva {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

// Converts normalised text ("-12.5e3" or "0x1F") in one correctly rounded
// step. Underflow gives 0 or a subnormal and is no fault; overflow gives an
// infinity, which the callers report.
double ConvertNormalised(const std::string& text) { return ParseDoubleInCLocale(text); }

}  // namespace

// The field as the message quotes it. A field of any length can reach a
// message, and a message must stay readable in a message box: a long field
// is shown by its first characters and its length.
std::string QuotedField(std::string_view text) {
    constexpr std::size_t kLongestQuote = 64;
    constexpr std::size_t kShownOfLong = 40;
    if (text.size() <= kLongestQuote) return Quoted(text);
    std::string shown = Quoted(text.substr(0, kShownOfLong));
    shown.insert(shown.size() - 1, "...");
    return shown + " (" + std::to_string(text.size()) + " characters)";
}

std::string FormatReal(double value, int significantDigits) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, significantDigits);
    return std::string(buffer, result.ptr);
}

IntegerReading ParseIntegerText(std::string_view text, const NumberFormat& format, std::int32_t minimum,
                                std::int32_t maximum) {
    const IntegerReading mismatch{0, NumberFault::TypeMismatch};
    std::size_t pos = 0;
    auto startsWith = [&](std::string_view what) {
        return !what.empty() && text.substr(pos, what.size()) == what;
    };

    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    std::string normalised;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        if (text[pos] == '-') normalised += '-';
        ++pos;
    }

    // Integer part; a grouping separator counts only between two digits.
    std::size_t digits = 0;
    std::string integerPart;
    for (;;) {
        if (pos < text.size() && IsDigit(text[pos])) {
            integerPart += text[pos++];
            continue;
        }
        const std::string& group = format.groupingSeparator;
        if (!integerPart.empty() && group != format.decimalPoint && startsWith(group) &&
            pos + group.size() < text.size() && IsDigit(text[pos + group.size()])) {
            pos += group.size();
            continue;
        }
        break;
    }
    digits += integerPart.size();
    normalised += integerPart.empty() ? "0" : integerPart;

    if (startsWith(format.decimalPoint)) {
        pos += format.decimalPoint.size();
        normalised += '.';
        while (pos < text.size() && IsDigit(text[pos])) {
            normalised += text[pos++];
            ++digits;
        }
    }
    if (digits == 0) return mismatch;

    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        normalised += 'e';
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) normalised += text[pos++];
        if (pos >= text.size() || !IsDigit(text[pos])) return mismatch;
        while (pos < text.size() && IsDigit(text[pos])) normalised += text[pos++];
    }
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos != text.size()) return mismatch;

    const double unrounded = ConvertNormalised(normalised);
    const std::optional<std::int32_t> rounded = RoundToInt32(unrounded);
    if (!rounded || *rounded < minimum || *rounded > maximum) return {0, NumberFault::Overflow, unrounded};
    return {*rounded, NumberFault::None, unrounded};
}

RealReading ParseLenientReal(std::string_view text) {
    std::size_t pos = 0;
    // Blanks and tabs are skipped wherever they stand, so every look at the
    // next character goes through these two.
    auto peek = [&]() -> char {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        return pos < text.size() ? text[pos] : '\0';
    };
    auto take = [&]() { return text[pos++]; };

    std::string normalised;
    std::size_t end = 0;
    if (peek() == '&') {
        ++pos;
        const char radix = peek();
        if (radix != 'h' && radix != 'H' && radix != 'o' && radix != 'O') return {};
        ++pos;
        std::string hex;
        if (radix == 'h' || radix == 'H') {
            while (IsHexDigit(peek())) hex += take();
        } else {
            // Octal digits become a bit string, regrouped into hexadecimal
            // digits so that the one conversion below also rounds them.
            std::string bits;
            while (IsOctalDigit(peek())) {
                const int digit = take() - '0';
                bits += (digit & 4) ? '1' : '0';
                bits += (digit & 2) ? '1' : '0';
                bits += (digit & 1) ? '1' : '0';
            }
            bits.insert(0, (4 - bits.size() % 4) % 4, '0');
            for (std::size_t i = 0; i < bits.size(); i += 4) {
                const int nibble = (bits[i] - '0') * 8 + (bits[i + 1] - '0') * 4 + (bits[i + 2] - '0') * 2 +
                                   (bits[i + 3] - '0');
                hex += "0123456789abcdef"[nibble];
            }
        }
        if (hex.empty()) return {};
        end = pos;
        normalised = "0x" + hex;
    } else {
        const char sign = peek();
        if (sign == '+' || sign == '-') {
            ++pos;
            if (sign == '-') normalised += '-';
        }
        std::string integerPart, fractionPart;
        bool point = false;
        for (char c = peek(); IsDigit(c) || (c == '.' && !point); c = peek()) {
            ++pos;
            if (c == '.')
                point = true;
            else
                (point ? fractionPart : integerPart) += c;
        }
        // A sign or a point alone reads as 0, and so does nothing at all.
        if (integerPart.empty() && fractionPart.empty()) return {};
        end = pos;
        normalised +=
            (integerPart.empty() ? "0" : integerPart) + "." + (fractionPart.empty() ? "0" : fractionPart);
        const char letter = peek();
        if (letter == 'e' || letter == 'E' || letter == 'd' || letter == 'D') {
            ++pos;
            std::string exponent;
            const char exponentSign = peek();
            if (exponentSign == '+' || exponentSign == '-') {
                ++pos;
                if (exponentSign == '-') exponent += '-';
            }
            std::string exponentDigits;
            while (IsDigit(peek())) exponentDigits += take();
            if (!exponentDigits.empty()) {
                normalised += "e" + exponent + exponentDigits;
                end = pos;
            }
        }
    }
    const double value = ConvertNormalised(normalised);
    if (std::isinf(value)) return {0.0, NumberFault::Overflow, end};
    return {value, NumberFault::None, end};
}

std::string IntegerFaultMessage(const IntegerReading& reading, std::string_view text, std::string_view where,
                                std::int32_t minimum, std::int32_t maximum) {
    if (reading.fault == NumberFault::TypeMismatch)
        return std::string(where) + ": type mismatch: " + QuotedField(text) + " is not a number";
    return std::string(where) + ": overflow: " + QuotedField(text) + " is outside the range " +
           std::to_string(minimum) + " to " + std::to_string(maximum);
}

std::string RealFaultMessage(std::string_view text, std::string_view where) {
    return std::string(where) + ": overflow: " + QuotedField(text) + " is too large for a real number";
}

}  // namespace morva
