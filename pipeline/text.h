#pragma once
// Text helpers shared by the run driver, the logs and the layer operations.
// Source strings are UTF-8; Windows-1252 appears only at the file boundary
// (log files, dBase values).

#include <optional>
#include <string>
#include <string_view>

namespace plyvet::text {

// UTF-8 to Windows-1252. A character without a Windows-1252 form, and every
// byte of an invalid UTF-8 sequence, becomes "?": nothing is dropped.
std::string utf8ToCp1252(std::string_view utf8);

// Windows-1252 bytes to UTF-8 (the five undefined bytes become U+FFFD).
std::string cp1252ToUtf8(std::string_view bytes);

// Decodes dBase text in the file's declared code page ("1252", "LDID/87",
// "UTF-8", "ISO-8859-1", ...) to UTF-8. Unknown or missing declarations are
// read as Windows-1252, the code page these files are written in.
std::string decodeCodePage(std::string_view bytes, std::string_view codePage);

// UTF-8 to the bytes of the declared code page, the inverse of
// decodeCodePage() for what the declaration can hold: UTF-8 declarations
// take the text as it is, Windows-1252 ("1252", "CP1252", an undeclared
// file, language driver 3), Latin-1 ("ISO-8859-1", language driver 87) their
// own single bytes. Any other declaration ("850", "LDID/2", an unknown name)
// is written without recoding, so only ASCII is safe in it. std::nullopt
// when a character has no form in the code page or the text is no valid
// UTF-8: nothing is replaced, so a name can never come out altered.
std::optional<std::string> encodeCodePage(std::string_view utf8, std::string_view codePage);

// Trims blanks, tabs and NUL bytes at both ends.
std::string_view trim(std::string_view s);

bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view s, std::string_view prefix);

// Number of characters (code points) of a UTF-8 text.
std::size_t charCount(std::string_view utf8);

// The locale's decimal separator (LC_NUMERIC of the environment, read
// without changing the process locale), '.' when it cannot be determined.
char localeDecimalSeparator();

// Number to text the way messages show numbers: up to 15 significant
// digits, no trailing zeros, no exponent for ordinary magnitudes, with the
// given decimal separator.
std::string formatNumber(double value, char decimalSeparator);
std::string formatNumber(double value);  // with localeDecimalSeparator()

// Parses a whole text as a number written with the given decimal separator
// (no thousands separators). std::nullopt when the text is not a number.
std::optional<double> parseNumber(std::string_view text, char decimalSeparator);

// Parses a whole text as a decimal integer.
std::optional<long long> parseInteger(std::string_view text);

}  // namespace plyvet::text
