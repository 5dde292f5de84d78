#include "platform/locale.h"

#include <langinfo.h>
#include <locale.h>
#include <stdlib.h>

#include "platform/error.h"

namespace morva {

namespace {

locale_t CLocale() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        if (made == static_cast<locale_t>(nullptr))
            throw MorvaError("Cannot create the C locale for reading numbers");
        return made;
    }();
    return locale;
}

}  // namespace

NumericSeparators UserNumericSeparators() {
    NumericSeparators separators;
    // A locale object of its own, so that nothing global changes.
    locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) return separators;
    const char* point = nl_langinfo_l(RADIXCHAR, user);
    const char* grouping = nl_langinfo_l(THOUSEP, user);
    if (point && *point) separators.decimalPoint = point;
    separators.groupingSeparator = grouping ? grouping : "";
    freelocale(user);
    return separators;
}

double ParseDoubleInCLocale(const std::string& text) { return strtod_l(text.c_str(), nullptr, CLocale()); }

}  // namespace morva
