#pragma once
// Saved fuzz inputs as text: a ".hex" file holds the input's bytes as
// hexadecimal digits, whitespace anywhere, and lines that start with '#'
// say what the input is and which fault it once found. The regression
// inputs in fuzz/regressions/ are kept this way, so the tree holds no
// binary files and a diff shows what changed.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::fuzz {

inline int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Appends the decoded bytes to `out`; false for a character that is no hex
// digit, or an odd number of digits.
inline bool decodeHex(std::string_view text, std::vector<std::uint8_t>& out) {
    int high = -1;
    bool lineStart = true;
    bool comment = false;
    for (const char c : text) {
        if (c == '\n') {
            lineStart = true;
            comment = false;
            continue;
        }
        if (comment) continue;
        if (lineStart && c == '#') {
            comment = true;
            continue;
        }
        lineStart = false;
        if (c == ' ' || c == '\t' || c == '\r') continue;
        const int d = hexDigit(c);
        if (d < 0) return false;
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<std::uint8_t>(high << 4 | d));
            high = -1;
        }
    }
    return high < 0;
}

}  // namespace plyvet::fuzz
