#include "pipeline/gis/number_text.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <langinfo.h>
#include <locale.h>
#include <string>

namespace plyvet::gis {

char localeDecimalSeparator() {
    // Reading the environment's locale through a locale object keeps the
    // process locale ("C") untouched, so shapelib and the number parsing of
    // file contents never see a decimal comma.
    locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return '.';
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    const char sep = (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') ? radix[0] : '.';
    freelocale(loc);
    return sep;
}

std::string formatNumber(double value, char decimalSeparator) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    if (value == 0.0) return "0";
    char buf[64];
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e15 || magnitude < 1e-15) {
        std::snprintf(buf, sizeof buf, "%.14E", value);
        // Mantissa without trailing zeros, exponent as E+NN.
        std::string s(buf);
        const auto e = s.find('E');
        std::string mant = s.substr(0, e);
        std::string exp = s.substr(e + 1);
        if (mant.find('.') != std::string::npos) {
            while (!mant.empty() && mant.back() == '0') mant.pop_back();
            if (!mant.empty() && mant.back() == '.') mant.pop_back();
        }
        const int ex = std::stoi(exp);
        std::snprintf(buf, sizeof buf, "E%c%02d", ex < 0 ? '-' : '+', ex < 0 ? -ex : ex);
        s = mant + buf;
        for (char& c : s) {
            if (c == '.') c = decimalSeparator;
        }
        return s;
    }
    std::snprintf(buf, sizeof buf, "%.15g", value);
    std::string s(buf);
    if (s.find('e') != std::string::npos) {
        // %g chose an exponent for a small value: write it out in full.
        const int decimals = 15 - static_cast<int>(std::floor(std::log10(magnitude))) - 1;
        std::snprintf(buf, sizeof buf, "%.*f", decimals < 0 ? 0 : decimals, value);
        s = buf;
    }
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    for (char& c : s) {
        if (c == '.') c = decimalSeparator;
    }
    return s;
}

}  // namespace plyvet::gis
