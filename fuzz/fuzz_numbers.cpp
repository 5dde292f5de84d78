// The number readers: the lenient real reader, the integer field reader and
// the rounding to 32 bits, each against a simple independent oracle or a
// property that must hold for every text. Input: one selector byte (number
// format and bounds), then the text.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "scene/number_reader.h"

namespace {

using namespace morva;

bool SameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string WithoutBlanks(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '\t') out += c;
    return out;
}

// [+-]?[0-9]+ : the value with strtoll, or nothing when it leaves 64 bits.
bool PlainInteger(std::string_view text) {
    std::size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

// [+-]?[0-9]*(\.[0-9]*)? with at least one digit.
bool PlainDecimal(std::string_view text) {
    std::size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    bool point = false, digit = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && !point)
            point = true;
        else if (text[i] >= '0' && text[i] <= '9')
            digit = true;
        else
            return false;
    }
    return digit;
}

void CheckRoundToInt32(const std::uint8_t* data, std::size_t size) {
    if (size < sizeof(double)) return;
    double value;
    std::memcpy(&value, data, sizeof value);
    const std::optional<std::int32_t> rounded = RoundToInt32(value);
    // nearbyint rounds to nearest with ties to even in the default mode.
    const double oracle = std::nearbyint(value);
    const bool fits = !std::isnan(value) && oracle >= -2147483648.0 && oracle <= 2147483647.0;
    FUZZ_CHECK(rounded.has_value() == fits, "RoundToInt32(%.17g) fits=%d", value, rounded.has_value());
    if (fits)
        FUZZ_CHECK(*rounded == static_cast<std::int32_t>(oracle), "RoundToInt32(%.17g)=%d", value, *rounded);
}

void CheckLenientReal(std::string_view text) {
    const RealReading reading = ParseLenientReal(text);
    if (reading.fault == NumberFault::Overflow) {
        FUZZ_CHECK(reading.value == 0.0, "an overflow reads %g", reading.value);
    } else {
        FUZZ_CHECK(reading.fault == NumberFault::None, "unexpected fault");
        FUZZ_CHECK(std::isfinite(reading.value), "reads %g", reading.value);
    }
    // Blanks and tabs count nowhere.
    const RealReading packed = ParseLenientReal(WithoutBlanks(text));
    FUZZ_CHECK(packed.fault == reading.fault && SameDouble(packed.value, reading.value),
               "blanks change the reading: %.17g vs %.17g", reading.value, packed.value);
    // A plain decimal reads exactly as strtod reads it.
    if (PlainDecimal(text)) {
        const std::string copy(text);
        const double oracle = std::strtod(copy.c_str(), nullptr);
        if (std::isinf(oracle)) {
            FUZZ_CHECK(reading.fault == NumberFault::Overflow, "\"%s\" should overflow", copy.c_str());
        } else {
            FUZZ_CHECK(reading.fault == NumberFault::None && SameDouble(reading.value, oracle),
                       "\"%s\" reads %.17g, strtod %.17g", copy.c_str(), reading.value, oracle);
        }
    }
}

void CheckInteger(std::string_view text, const NumberFormat& format, std::int32_t minimum,
                  std::int32_t maximum) {
    const IntegerReading reading = ParseIntegerText(text, format, minimum, maximum);
    if (reading.fault == NumberFault::None) {
        FUZZ_CHECK(reading.value >= minimum && reading.value <= maximum, "%d outside %d..%d", reading.value,
                   minimum, maximum);
    } else {
        FUZZ_CHECK(reading.value == 0, "a fault reads %d", reading.value);
    }
    // Blanks around the number change nothing.
    const std::string padded = " \t" + std::string(text) + "\t ";
    const IntegerReading paddedReading = ParseIntegerText(padded, format, minimum, maximum);
    FUZZ_CHECK(paddedReading.fault == reading.fault && paddedReading.value == reading.value,
               "blanks around the number change it");

    if (PlainInteger(text)) {
        // Independent oracle: strtoll, with leading zeros that do not matter.
        const std::string copy(text);
        errno = 0;
        const long long oracle = std::strtoll(copy.c_str(), nullptr, 10);
        const bool inRange = errno != ERANGE && oracle >= minimum && oracle <= maximum;
        if (inRange) {
            FUZZ_CHECK(reading.fault == NumberFault::None && reading.value == oracle,
                       "\"%s\" reads %d (fault %d)", copy.c_str(), reading.value,
                       static_cast<int>(reading.fault));
        } else {
            FUZZ_CHECK(reading.fault == NumberFault::Overflow, "\"%s\" should overflow", copy.c_str());
        }
    }
    // In the C format a plain decimal rounds as the real reader reads it.
    if (format.decimalPoint == "." && format.groupingSeparator.empty() && PlainDecimal(text) &&
        minimum == std::numeric_limits<std::int32_t>::min() &&
        maximum == std::numeric_limits<std::int32_t>::max()) {
        const RealReading real = ParseLenientReal(text);
        const std::optional<std::int32_t> rounded =
            real.fault == NumberFault::None ? RoundToInt32(real.value) : std::nullopt;
        if (rounded) {
            FUZZ_CHECK(reading.fault == NumberFault::None && reading.value == *rounded,
                       "integer %d, real %.17g", reading.value, real.value);
        } else {
            FUZZ_CHECK(reading.fault == NumberFault::Overflow, "should overflow");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const unsigned char selector = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    CheckRoundToInt32(data + 1, size - 1);
    CheckLenientReal(text);
    const NumberFormat format = fuzz::FormatFor(selector);
    if (selector & 0x80) {
        CheckInteger(text, format, 0, 255);
    } else {
        CheckInteger(text, format, std::numeric_limits<std::int32_t>::min(),
                     std::numeric_limits<std::int32_t>::max());
    }
    return 0;
}
