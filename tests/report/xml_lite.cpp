#include "xml_lite.h"

#include <cstdint>

namespace plyvet::test::xml {

namespace {

class Parser {
public:
    explicit Parser(std::string_view s) : s_(s) {}

    Element document() {
        checkUtf8();
        skipMisc(true);
        if (!peek('<')) fail("kein Wurzelelement");
        Element root = element();
        skipMisc(false);
        if (pos_ != s_.size()) fail("Inhalt nach dem Wurzelelement");
        return root;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw ParseError(what + " (Byte " + std::to_string(pos_) + ")");
    }

    bool peek(char c) const { return pos_ < s_.size() && s_[pos_] == c; }
    bool startsWith(std::string_view t) const { return s_.substr(pos_, t.size()) == t; }

    void checkUtf8() const {
        std::size_t i = 0;
        while (i < s_.size()) {
            const auto b = static_cast<std::uint8_t>(s_[i]);
            std::size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
            if (n == 0 || i + n > s_.size()) throw ParseError("kein UTF-8 (Byte " + std::to_string(i) + ")");
            for (std::size_t k = 1; k < n; ++k) {
                if ((static_cast<std::uint8_t>(s_[i + k]) & 0xC0) != 0x80) {
                    throw ParseError("kein UTF-8 (Byte " + std::to_string(i) + ")");
                }
            }
            if (n == 1 && b < 0x20 && b != '\t' && b != '\n' && b != '\r') {
                throw ParseError("Steuerzeichen (Byte " + std::to_string(i) + ")");
            }
            i += n;
        }
    }

    void skipSpace() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\t' || s_[pos_] == '\r')) ++pos_;
    }

    // Whitespace, comments and (before the root) one doctype.
    void skipMisc(bool doctypeAllowed) {
        for (;;) {
            skipSpace();
            if (startsWith("<!--")) {
                comment();
            } else if (startsWith("<?")) {
                const auto end = s_.find("?>", pos_);
                if (end == std::string_view::npos) fail("offene Verarbeitungsanweisung");
                pos_ = end + 2;
            } else if (doctypeAllowed && startsWith("<!DOCTYPE")) {
                const auto end = s_.find('>', pos_);
                if (end == std::string_view::npos) fail("offener Doctype");
                pos_ = end + 1;
                doctypeAllowed = false;
            } else {
                return;
            }
        }
    }

    void comment() {
        const auto end = s_.find("-->", pos_ + 4);
        if (end == std::string_view::npos) fail("offener Kommentar");
        pos_ = end + 3;
    }

    std::string name() {
        const std::size_t start = pos_;
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
                            (pos_ > start && ((c >= '0' && c <= '9') || c == '-' || c == '.'));
            if (!ok) break;
            ++pos_;
        }
        if (pos_ == start) fail("Name erwartet");
        return std::string(s_.substr(start, pos_ - start));
    }

    void appendCodePoint(std::string& out, std::uint32_t cp) {
        if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) fail("ungültige Zeichenreferenz");
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    void entity(std::string& out) {
        const auto end = s_.find(';', pos_);
        if (end == std::string_view::npos || end - pos_ > 12) fail("nacktes &");
        const std::string_view ref = s_.substr(pos_ + 1, end - pos_ - 1);
        if (ref == "amp") out += '&';
        else if (ref == "lt") out += '<';
        else if (ref == "gt") out += '>';
        else if (ref == "quot") out += '"';
        else if (ref == "apos") out += '\'';
        else if (ref.size() > 1 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string digits(ref.substr(hex ? 2 : 1));
            if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos) {
                fail("ungültige Zeichenreferenz");
            }
            appendCodePoint(out, static_cast<std::uint32_t>(std::stoul(digits, nullptr, hex ? 16 : 10)));
        } else {
            fail("unbekannte Entität &" + std::string(ref) + ";");
        }
        pos_ = end + 1;
    }

    Element element() {
        ++pos_;  // '<'
        Element e;
        e.name = name();
        for (;;) {
            const std::size_t before = pos_;
            skipSpace();
            if (peek('/')) {
                if (!startsWith("/>")) fail("/> erwartet");
                pos_ += 2;
                return e;
            }
            if (peek('>')) {
                ++pos_;
                break;
            }
            if (pos_ == before) fail("Leerraum vor Attribut erwartet");
            const std::string key = name();
            skipSpace();
            if (!peek('=')) fail("= erwartet nach Attribut " + key);
            ++pos_;
            skipSpace();
            if (!peek('"') && !peek('\'')) fail("Attributwert ohne Anführungszeichen");
            const char quote = s_[pos_++];
            std::string value;
            while (pos_ < s_.size() && s_[pos_] != quote) {
                if (s_[pos_] == '<') fail("< im Attributwert");
                if (s_[pos_] == '&') {
                    entity(value);
                } else {
                    value += s_[pos_++];
                }
            }
            if (pos_ >= s_.size()) fail("offener Attributwert");
            ++pos_;
            if (!e.attributes.emplace(key, value).second) fail("Attribut " + key + " doppelt");
        }
        // Content.
        for (;;) {
            if (pos_ >= s_.size()) fail("Element " + e.name + " nicht geschlossen");
            if (startsWith("</")) {
                pos_ += 2;
                const std::string closing = name();
                if (closing != e.name) fail("</" + closing + "> schließt <" + e.name + ">");
                skipSpace();
                if (!peek('>')) fail("> erwartet");
                ++pos_;
                return e;
            }
            if (startsWith("<!--")) {
                comment();
            } else if (startsWith("<![CDATA[")) {
                const auto end = s_.find("]]>", pos_);
                if (end == std::string_view::npos) fail("offener CDATA-Abschnitt");
                e.text.append(s_.substr(pos_ + 9, end - pos_ - 9));
                pos_ = end + 3;
            } else if (peek('<')) {
                e.children.push_back(element());
            } else if (peek('&')) {
                entity(e.text);
            } else {
                e.text += s_[pos_++];
            }
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

void appendText(const Element& e, std::string& out) {
    // Own text and children are kept apart, so the order is approximate:
    // the element's text first. Good enough for "contains" checks.
    out += e.text;
    for (const auto& c : e.children) appendText(c, out);
}

}  // namespace

bool Element::hasClass(std::string_view cls) const {
    const std::string value = attribute("class");
    std::size_t i = 0;
    while (i < value.size()) {
        const std::size_t end = std::min(value.find(' ', i), value.size());
        if (std::string_view(value).substr(i, end - i) == cls) return true;
        i = end + 1;
    }
    return false;
}

std::string Element::allText() const {
    std::string out;
    appendText(*this, out);
    return out;
}

Element parse(std::string_view document) { return Parser(document).document(); }

}  // namespace plyvet::test::xml
