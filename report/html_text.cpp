#include "report/html_text.h"

#include "pipeline/text.h"

#include <cmath>
#include <cstdint>

namespace plyvet::report {

namespace {

// Length of the valid UTF-8 sequence at the start of `s`, 0 when it is not
// one (overlong forms, surrogates and code points above U+10FFFF included).
std::size_t utf8SequenceLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const std::uint8_t b0 = byte(0);
    if (b0 < 0x80) return 1;
    std::size_t length = 0;
    std::uint32_t cp = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07u;
    } else {
        return 0;
    }
    if (s.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) return 0;
        cp = (cp << 6) | (byte(i) & 0x3Fu);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    // U+FFFE and U+FFFF are no characters for XML either.
    if (cp == 0xFFFE || cp == 0xFFFF) return 0;
    return length;
}

}  // namespace

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        switch (c) {
            case '&': out += "&amp;"; ++i; continue;
            case '<': out += "&lt;"; ++i; continue;
            case '>': out += "&gt;"; ++i; continue;
            case '"': out += "&quot;"; ++i; continue;
            case '\'': out += "&#39;"; ++i; continue;
            default: break;
        }
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            out += (c == '\t' || c == '\n') ? c : ' ';
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceLength(text.substr(i));
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD
            ++i;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string number(double value) {
    if (!std::isfinite(value)) return "\xE2\x80\x93";  // en dash
    return text::formatNumber(value, ',');
}

}  // namespace plyvet::report
