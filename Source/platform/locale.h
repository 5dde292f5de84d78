#pragma once

#include <string>

namespace morva {

// The decimal point and grouping separator of the user's LC_NUMERIC locale,
// read without touching the program's global locale. Where that locale
// cannot be loaded, the C locale's "." and no separator.
struct NumericSeparators {
    std::string decimalPoint = ".";
    std::string groupingSeparator;
};
NumericSeparators UserNumericSeparators();

// Converts number text in the C locale's form ("-12.5e3", "0x1F") to the
// nearest double in one correctly rounded step, whatever the user's locale
// or anything set with setlocale(). Underflow gives 0 or a subnormal and an
// overflow an infinity.
double ParseDoubleInCLocale(const std::string& text);

}  // namespace morva
