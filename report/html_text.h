#pragma once
// Text for the report's HTML: every piece of text that reaches the file
// passes through escape(), so labels, paths and log lines can hold "<", "&",
// quotes or bytes that are not UTF-8 without breaking the markup.

#include <string>
#include <string_view>

namespace plyvet::report {

// `text` as HTML text or attribute value: "&", "<", ">", '"' and "'" become
// entities; control characters other than tab and line feed become blanks
// (XML allows none of them); a byte that does not start a valid UTF-8
// sequence becomes U+FFFD, so the file is always valid UTF-8.
std::string escape(std::string_view text);

// A decimal number with the German decimal comma and up to 15 significant
// digits; "–" for NaN or an infinity.
std::string number(double value);

}  // namespace plyvet::report
