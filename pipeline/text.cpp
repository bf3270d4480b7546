#include "pipeline/text.h"

#include "pipeline/gis/number_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace plyvet::text {
namespace {

// Code points of the Windows-1252 bytes 0x80..0x9F (0 = undefined byte).
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at s[i]; returns the code point and advances i.
// An invalid sequence yields nullopt and advances i by one byte.
std::optional<char32_t> nextUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    std::size_t len = 0;
    char32_t c = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        c = b0 & 0x07;
    } else {
        ++i;
        return std::nullopt;
    }
    if (i + len > s.size()) {
        ++i;
        return std::nullopt;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return std::nullopt;
        }
        c = (c << 6) | (b & 0x3F);
    }
    static constexpr std::array<char32_t, 5> kMin = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return std::nullopt;
    }
    i += len;
    return c;
}

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

std::string utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        // Runs of ASCII, most of any log line, are the same bytes in 1252.
        std::size_t plain = i;
        while (plain < utf8.size() && static_cast<unsigned char>(utf8[plain]) < 0x80) ++plain;
        if (plain > i) {
            out.append(utf8, i, plain - i);
            i = plain;
            continue;
        }
        const auto c = nextUtf8(utf8, i);
        if (!c) {
            out += '?';
        } else if (*c < 0x80 || (*c >= 0xA0 && *c <= 0xFF)) {
            out += static_cast<char>(*c);
        } else {
            char mapped = '?';
            for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
                if (kCp1252High[k] != 0 && kCp1252High[k] == *c) {
                    mapped = static_cast<char>(0x80 + k);
                    break;
                }
            }
            out += mapped;
        }
    }
    return out;
}

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b <= 0x9F) {
            const char32_t c = kCp1252High[b - 0x80];
            appendUtf8(out, c != 0 ? c : 0xFFFD);
        } else {
            appendUtf8(out, b);
        }
    }
    return out;
}

std::string decodeCodePage(std::string_view bytes, std::string_view codePage) {
    const auto cp = trim(codePage);
    if (equalsIgnoreCase(cp, "UTF-8") || equalsIgnoreCase(cp, "UTF8") || equalsIgnoreCase(cp, "65001")) {
        std::string out;
        for (std::size_t i = 0; i < bytes.size();) {
            const std::size_t start = i;
            if (nextUtf8(bytes, i)) {
                out.append(bytes.substr(start, i - start));
            } else {
                appendUtf8(out, 0xFFFD);
            }
        }
        return out;
    }
    // Windows-1252 is a superset of the printable ISO-8859-1 range, so both
    // (and undeclared files) decode the same way.
    return cp1252ToUtf8(bytes);
}

namespace {

enum class Encoding { Utf8, Cp1252, Latin1, AsciiOnly };

Encoding encodingOf(std::string_view codePage) {
    const auto cp = trim(codePage);
    if (equalsIgnoreCase(cp, "UTF-8") || equalsIgnoreCase(cp, "UTF8") || equalsIgnoreCase(cp, "65001")) {
        return Encoding::Utf8;
    }
    if (cp.empty()) return Encoding::Cp1252;
    for (const std::string_view name : {"1252", "CP1252", "WINDOWS-1252", "ANSI 1252", "LDID/3"}) {
        if (equalsIgnoreCase(cp, name)) return Encoding::Cp1252;
    }
    for (const std::string_view name : {"ISO-8859-1", "ISO8859-1", "ISO88591", "88591", "28591", "LATIN1", "LDID/87"}) {
        if (equalsIgnoreCase(cp, name)) return Encoding::Latin1;
    }
    return Encoding::AsciiOnly;
}

}  // namespace

std::optional<std::string> encodeCodePage(std::string_view utf8, std::string_view codePage) {
    const Encoding encoding = encodingOf(codePage);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t start = i;
        const auto c = nextUtf8(utf8, i);
        if (!c) return std::nullopt;
        if (*c < 0x80) {
            out += static_cast<char>(*c);
            continue;
        }
        switch (encoding) {
            case Encoding::Utf8:
                out.append(utf8.substr(start, i - start));
                continue;
            case Encoding::Latin1:
                // 0x80..0x9F are control codes in Latin-1, and the program reads them as Windows-1252.
                if (*c < 0xA0 || *c > 0xFF) return std::nullopt;
                out += static_cast<char>(*c);
                continue;
            case Encoding::Cp1252: {
                if (*c >= 0xA0 && *c <= 0xFF) {
                    out += static_cast<char>(*c);
                    continue;
                }
                const auto* hit = std::find(kCp1252High.begin(), kCp1252High.end(), *c);
                if (hit == kCp1252High.end()) return std::nullopt;
                out += static_cast<char>(0x80 + (hit - kCp1252High.begin()));
                continue;
            }
            case Encoding::AsciiOnly:
                return std::nullopt;
        }
    }
    return out;
}

std::string_view trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\0' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

std::size_t charCount(std::string_view utf8) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        nextUtf8(utf8, i);
        ++n;
    }
    return n;
}

char localeDecimalSeparator() { return gis::localeDecimalSeparator(); }

std::string formatNumber(double value, char decimalSeparator) {
    return gis::formatNumber(value, decimalSeparator);
}

std::string formatNumber(double value) {
    static const char sep = localeDecimalSeparator();
    return formatNumber(value, sep);
}

std::optional<double> parseNumber(std::string_view text, char decimalSeparator) {
    std::string s(trim(text));
    if (s.empty()) return std::nullopt;
    for (char& c : s) {
        if (c == decimalSeparator) {
            c = '.';
        } else if (c == '.' && decimalSeparator != '.') {
            return std::nullopt;
        }
    }
    const char* first = s.data();
    if (*first == '+') ++first;
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(first, s.data() + s.size(), value);
    if (ec != std::errc() || ptr != s.data() + s.size()) return std::nullopt;
    return value;
}

std::optional<long long> parseInteger(std::string_view text) {
    const auto s = trim(text);
    if (s.empty()) return std::nullopt;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (*first == '+') ++first;
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last) return std::nullopt;
    return value;
}

}  // namespace plyvet::text
