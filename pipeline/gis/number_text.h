#pragma once
// Numbers in message texts. Shared by every module that writes numbers into
// messages (the cleaners' events, the logs), so they all read alike.

#include <string>

namespace plyvet::gis {

// The locale's decimal separator (LC_NUMERIC of the environment, read
// without changing the process locale), '.' when it cannot be determined.
char localeDecimalSeparator();

// Number to text the way messages show numbers: up to 15 significant
// digits, no trailing zeros, no exponent for ordinary magnitudes, with the
// given decimal separator. NaN and infinities come out as "NaN", "Inf", "-Inf".
std::string formatNumber(double value, char decimalSeparator);

}  // namespace plyvet::gis
