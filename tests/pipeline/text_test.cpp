#include "pipeline/text.h"

#include <gtest/gtest.h>

#include <optional>

#include <cmath>
#include <limits>

namespace plyvet::text {
namespace {

TEST(Text, Utf8ToCp1252MapsGermanAndEuroAndMarksTheRest) {
    struct Case {
        const char* utf8;
        const char* cp1252;
    };
    const Case cases[] = {
        {"Flurstück", "Flurst\xFC" "ck"},
        {"Größe Straße", "Gr\xF6\xDF" "e Stra\xDF" "e"},
        {"ÄÖÜäöü", "\xC4\xD6\xDC\xE4\xF6\xFC"},
        {"€ – „x“", "\x80 \x96 \x84x\x93"},
        {"m²", "m\xB2"},
        {"日本", "??"},                 // no Windows-1252 form
        {"a\xFF" "b", "a?b"},           // invalid UTF-8 byte
        {"\xC3", "?"},                  // truncated sequence
        {"\xE2\x82", "??"},             // truncated three-byte sequence
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.cp1252) << c.utf8;
    }
}

TEST(Text, Cp1252RoundTripsThroughUtf8) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;  // undefined bytes
        all += static_cast<char>(b);
    }
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(Text, DecodeCodePageKeepsUtf8AndReadsOthersAs1252) {
    EXPECT_EQ(decodeCodePage("Stra\xDF" "e", "1252"), "Straße");
    EXPECT_EQ(decodeCodePage("Stra\xDF" "e", "LDID/87"), "Straße");
    EXPECT_EQ(decodeCodePage("Stra\xDF" "e", ""), "Straße");
    EXPECT_EQ(decodeCodePage("Straße", "UTF-8"), "Straße");
}

// The inverse of decodeCodePage() where the declaration can hold the text,
// and no result where it cannot: nothing is ever replaced.
TEST(Text, EncodeCodePageNeverReplaces) {
    struct Case {
        const char* what;
        std::string codePage;
        std::string utf8;
        std::optional<std::string> bytes;
    };
    const Case cases[] = {
        {"Ascii", "850", "FLAECHE_1", "FLAECHE_1"},
        {"Windows1252", "1252", "Fläche", "Fl\xE4" "che"},
        {"Windows1252Name", "CP1252", "Größe", "Gr\xF6\xDF" "e"},
        {"Windows1252HighRange", "1252", "€Œž", "\x80\x8C\x9E"},
        {"Undeclared", "", "Fläche", "Fl\xE4" "che"},
        {"Utf8", "UTF-8", "Fläche", "Fläche"},
        {"Utf8Number", "65001", "ŁAKA", "ŁAKA"},
        {"Latin1", "ISO-8859-1", "Fläche", "Fl\xE4" "che"},
        {"LanguageDriver87", "LDID/87", "Fläche", "Fl\xE4" "che"},
        {"Latin1HasNoEuro", "LDID/87", "€", std::nullopt},
        {"OutsideWindows1252", "1252", "ŁAKA", std::nullopt},
        {"DosCodePageOnlyAscii", "850", "Fläche", std::nullopt},
        {"UnknownDeclarationOnlyAscii", "LDID/2", "Fläche", std::nullopt},
        {"InvalidUtf8", "UTF-8", "Fl\xE4" "che", std::nullopt},
        {"InvalidUtf8In1252", "1252", "Fl\xE4" "che", std::nullopt},
        {"C1Control", "1252", "\xC2\x81", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto bytes = encodeCodePage(c.utf8, c.codePage);
        EXPECT_EQ(bytes, c.bytes) << c.what;
        if (bytes) {
            EXPECT_EQ(decodeCodePage(*bytes, c.codePage), c.utf8) << c.what;
        }
    }
}

TEST(Text, FormatNumberLikeTheDefaultConversion) {
    struct Case {
        double value;
        char sep;
        const char* text;
    };
    const Case cases[] = {
        {0.0, ',', "0"},
        {3.0, ',', "3"},
        {-12.5, ',', "-12,5"},
        {0.001, ',', "0,001"},
        {0.0001, '.', "0.0001"},
        {1.0 / 3.0, ',', "0,333333333333333"},
        {123456789.125, '.', "123456789.125"},
        {0.1 + 0.2, '.', "0.3"},  // 15 significant digits hide the binary noise
        {1e20, '.', "1E+20"},
        {-2.5e-20, ',', "-2,5E-20"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatNumber(c.value, c.sep), c.text) << c.value;
    }
}

TEST(Text, ParseNumberHonoursTheSeparator) {
    EXPECT_EQ(parseNumber("0,001", ','), 0.001);
    EXPECT_EQ(parseNumber(" 12.5 ", '.'), 12.5);
    EXPECT_EQ(parseNumber("-3", '.'), -3.0);
    EXPECT_EQ(parseNumber("+3", '.'), 3.0);
    EXPECT_EQ(parseNumber("1e3", '.'), 1000.0);
    EXPECT_FALSE(parseNumber("0.001", ','));  // a point where a comma is expected
    EXPECT_FALSE(parseNumber("1,5", '.'));
    EXPECT_FALSE(parseNumber("", '.'));
    EXPECT_FALSE(parseNumber("12abc", '.'));
    EXPECT_FALSE(parseNumber("1.2.3", '.'));
}

TEST(Text, ParseIntegerWholeTextOnly) {
    EXPECT_EQ(parseInteger(" 42 "), 42);
    EXPECT_EQ(parseInteger("-7"), -7);
    EXPECT_FALSE(parseInteger("4.2"));
    EXPECT_FALSE(parseInteger("99999999999999999999"));  // out of range
    EXPECT_FALSE(parseInteger(""));
}

TEST(Text, CaseAndTrimHelpers) {
    EXPECT_TRUE(equalsIgnoreCase("FeatureId", "FEATUREID"));
    EXPECT_FALSE(equalsIgnoreCase("ID", "IDX"));
    EXPECT_TRUE(startsWithIgnoreCase("laufrichtungskorrektur x", "Laufrichtungskorrektur"));
    EXPECT_EQ(trim("  a b \t"), "a b");
    EXPECT_EQ(trim(std::string_view("x\0\0", 3)), "x");
    EXPECT_EQ(charCount("Größe"), 5u);
}

}  // namespace
}  // namespace plyvet::text
