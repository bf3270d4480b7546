#include "pipeline/field_plan.h"

#include <gtest/gtest.h>

#include <optional>

namespace plyvet {
namespace {

using gis::FieldDef;
using gis::FieldType;

FieldDef field(std::string name, FieldType type, int length, int precision = 0, int scale = 0) {
    return {std::move(name), type, length, precision, scale};
}

TEST(FieldPlan, AdjustsFieldsAndLogsEachAdjustment) {
    const std::vector<FieldDef> source = {
        field("ID", FieldType::Integer, 10, 10),
        field("GROSS", FieldType::Integer, 20, 20),    // 20 digits: becomes floating 19
        field("GROSS19", FieldType::Integer, 19, 19),  // stays
        field("DEZ", FieldType::Double, 24, 24, 5),
        field("DATUM", FieldType::Date, 8),
        field("LANG", FieldType::String, 300),
        field("NAME", FieldType::String, 254),
        field("AKTIV", FieldType::Boolean, 3, 2, 1),
    };
    const FieldPlan plan = planOutputFields(source, "1252", CodePageChoice::FromHeader, "flur");
    ASSERT_EQ(plan.outputFields.size(), source.size());
    EXPECT_EQ(plan.outputFields[0], source[0]);
    EXPECT_EQ(plan.outputFields[1], field("GROSS", FieldType::Double, 19, 19));
    EXPECT_TRUE(plan.widened[1]);
    EXPECT_EQ(plan.outputFields[2], source[2]);
    EXPECT_FALSE(plan.widened[2]);
    EXPECT_EQ(plan.outputFields[3], source[3]);
    EXPECT_EQ(plan.outputFields[4], source[4]);
    EXPECT_EQ(plan.outputFields[5], field("LANG", FieldType::String, 254));
    EXPECT_EQ(plan.outputFields[6], source[6]);
    EXPECT_EQ(plan.outputFields[7], field("AKTIV", FieldType::Boolean, 1, 1, 0));
    EXPECT_EQ(plan.codePage, "1252");

    const std::vector<std::string> expected = {
        "Shapefile: flur.shp, Feldname: GROSS wurde auf 19 Zeichen gekürzt.",
        "Shapefile: flur.shp, Feldname: LANG,\r\nFeldtyp: String, Feldlänge: 300 wurde auf 254 Zeichen gekürzt.",
        "Shapefile: flur.shp, Feldname: AKTIV\r\n, Feldtyp: Boolean , wird unter MapObjects 2.0 grundsätzlich "
        "als 'false' exportiert.\r\nDieser Fehler wird mit der neuen MapObjects-Version (bzw. Vistrel-Version) "
        "behoben.",
    };
    EXPECT_EQ(plan.logLines, expected);
}

TEST(FieldPlan, IntegerWideningNeedsWidthPrecisionAndNoDecimals) {
    struct Case {
        int length, precision, scale;
        bool widened;
    };
    const Case cases[] = {{20, 20, 0, true}, {25, 25, 0, true}, {19, 20, 0, false}, {20, 19, 0, false},
                          {20, 20, 1, false}};
    for (const auto& c : cases) {
        const std::vector<FieldDef> source = {field("N", FieldType::Integer, c.length, c.precision, c.scale)};
        const auto plan = planOutputFields(source, "", CodePageChoice::FromHeader, "a");
        EXPECT_EQ(plan.widened[0], c.widened) << c.length << "/" << c.precision << "/" << c.scale;
    }
}

TEST(FieldPlan, CodePageChoice) {
    const std::vector<FieldDef> none;
    EXPECT_EQ(planOutputFields(none, "LDID/87", CodePageChoice::FromHeader, "a").codePage, "LDID/87");
    EXPECT_EQ(planOutputFields(none, "", CodePageChoice::FromHeader, "a").codePage, "");
    EXPECT_EQ(planOutputFields(none, "LDID/87", CodePageChoice::Ansi, "a").codePage, "1252");
    EXPECT_EQ(planOutputFields(none, "1252", CodePageChoice::Oem, "a").codePage, "850");
}

TEST(FieldPlan, RenamesApplyToOutputAndLogLines) {
    const std::vector<FieldDef> source = {field("SEHRLANGERNAME", FieldType::Integer, 20, 20)};
    const std::vector<std::string> names = {"KURZ"};
    const auto plan = planOutputFields(source, "", CodePageChoice::FromHeader, "a", names);
    EXPECT_EQ(plan.outputFields[0].name, "KURZ");
    EXPECT_EQ(plan.logLines.at(0), "Shapefile: a.shp, Feldname: KURZ wurde auf 19 Zeichen gekürzt.");
}

TEST(FieldPlan, LongFieldNamesCountStoredBytes) {
    const std::vector<FieldDef> source = {field("ABCDEFGHIJ", FieldType::String, 5),          // 10: fine
                                          field("ABCDEFGHIJK", FieldType::String, 5),         // 11: too long
                                          field("GR\xD6SSEFL\xC4" "C", FieldType::String, 5),  // 10 in Windows-1252
                                          field("GRÖSSEFLÄC", FieldType::String, 5)};         // 12 in UTF-8
    EXPECT_EQ(longFieldNames(source), (std::vector<std::string>{"ABCDEFGHIJK", "GRÖSSEFLÄC"}));
}

// Names keep their bytes in the output; the log lines are UTF-8 and show them
// decoded from the table they belong to.
TEST(FieldPlan, LogLinesShowNamesOfEveryCodePage) {
    struct Case {
        const char* what;
        std::string sourceCodePage;
        CodePageChoice choice;
        std::string sourceName;
        std::string newName;  // empty: kept
        std::string stored;   // output field name
        std::string shown;    // in the log line
    };
    const Case cases[] = {
        {"Windows1252Source", "1252", CodePageChoice::FromHeader, "GR\xDCNFL\xC4" "CHE", "", "GR\xDCNFL\xC4" "CHE",
         "GRÜNFLÄCHE"},
        {"UndeclaredSource", "", CodePageChoice::FromHeader, "FL\xC4" "CHE", "", "FL\xC4" "CHE", "FLÄCHE"},
        {"Utf8Source", "UTF-8", CodePageChoice::FromHeader, "FLÄCHE", "", "FLÄCHE", "FLÄCHE"},
        {"RenamedIntoWindows1252", "UTF-8", CodePageChoice::Ansi, "SEHRLANGERNAME", "GR\xDCN", "GR\xDCN", "GRÜN"},
        {"RenamedIntoUtf8", "UTF-8", CodePageChoice::FromHeader, "SEHRLANGERNAME", "GRÜN", "GRÜN", "GRÜN"},
    };
    for (const auto& c : cases) {
        const std::vector<FieldDef> source = {field(c.sourceName, FieldType::Boolean, 1)};
        const std::vector<std::string> names = {c.newName};
        const auto plan = planOutputFields(source, c.sourceCodePage, c.choice, "a", names);
        EXPECT_EQ(plan.outputFields.at(0).name, c.stored) << c.what;
        ASSERT_EQ(plan.logLines.size(), 1u) << c.what;
        EXPECT_EQ(plan.logLines[0].substr(0, plan.logLines[0].find('\r')), "Shapefile: a.shp, Feldname: " + c.shown)
            << c.what;
    }
}

// The export's name coding: source names decoded from the source, new names
// encoded for the output the choice gives.
TEST(FieldPlan, FieldNameCodingFollowsTheOutputsCodePage) {
    struct Case {
        const char* what;
        std::string sourceCodePage;
        CodePageChoice choice;
        std::string name;
        std::optional<std::string> stored;
    };
    const Case cases[] = {
        {"Windows1252", "1252", CodePageChoice::FromHeader, "GRÜNFLÄCHE", "GR\xDCNFL\xC4" "CHE"},
        {"Utf8", "UTF-8", CodePageChoice::FromHeader, "GRÜNFLÄCHE", "GRÜNFLÄCHE"},
        {"AnsiChoiceOverUtf8", "UTF-8", CodePageChoice::Ansi, "FLÄCHE", "FL\xC4" "CHE"},
        {"OemChoiceOnlyAscii", "1252", CodePageChoice::Oem, "FLÄCHE", std::nullopt},
        {"OemChoiceAscii", "1252", CodePageChoice::Oem, "FLAECHE", "FLAECHE"},
        {"OutsideWindows1252", "1252", CodePageChoice::FromHeader, "ŁAKA", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto coding = fieldNameCoding(c.sourceCodePage, c.choice);
        EXPECT_EQ(coding.store(c.name), c.stored) << c.what;
    }
    EXPECT_EQ(fieldNameCoding("1252", CodePageChoice::Ansi).show("GR\xDCN"), "GRÜN");
    EXPECT_EQ(fieldNameCoding("UTF-8", CodePageChoice::Ansi).show("GRÜN"), "GRÜN");
}

// A dBase file needs a field; a source without one yields a plan that says
// why no output is made, and nothing else is refused.
TEST(FieldPlan, TableWithoutFieldsIsRefusedWithItsReason) {
    const std::vector<FieldDef> none;
    const auto refused = planOutputFields(none, "1252", CodePageChoice::FromHeader, "leer");
    EXPECT_TRUE(refused.outputFields.empty());
    EXPECT_EQ(refused.refusal, "Shapefile leer.shp: Die Attributdatei leer.dbf enthält kein Feld. Eine dBase-Datei "
                               "braucht mindestens eines, deshalb wird keine Ausgabe erzeugt.");
    EXPECT_EQ(refused.logLines, std::vector<std::string>{refused.refusal});

    const std::vector<FieldDef> one = {field("ID", FieldType::Integer, 5, 5)};
    const auto plan = planOutputFields(one, "1252", CodePageChoice::FromHeader, "leer");
    EXPECT_TRUE(plan.refusal.empty());
    EXPECT_TRUE(plan.logLines.empty());
}

TEST(FieldPlan, ConvertValues) {
    struct Case {
        const char* what;
        std::string raw;
        FieldDef output;
        bool widened;
        std::optional<std::string> value;
        bool failed;
        std::string note;
    };
    const FieldDef integer = field("ID", FieldType::Integer, 10, 10);
    const FieldDef dbl = field("DEZ", FieldType::Double, 12, 12, 3);
    const FieldDef wide = field("GROSS", FieldType::Double, 19, 19);
    const FieldDef date = field("DATUM", FieldType::Date, 8);
    const FieldDef boolean = field("AKTIV", FieldType::Boolean, 1, 1);
    const FieldDef str = field("NAME", FieldType::String, 6);
    const Case cases[] = {
        {"integer keeps its digits", "        42", integer, false, "42", false, ""},
        {"negative integer", "       -42", integer, false, "-42", false, ""},
        {"blank integer is null", "          ", integer, false, std::nullopt, false, ""},
        {"asterisks are null", "**********", integer, false, std::nullopt, false, ""},
        {"garbage integer fails", "      4x2 ", integer, false, std::nullopt, true, ""},
        {"double keeps its text", "    1234.500", dbl, false, "1234.500", false, ""},
        {"double in exponent form", "1.5000e+003 ", dbl, false, "1.5000e+003", false, ""},
        {"widened keeps all digits", "  1234567890123456789", wide, true, "1234567890123456789", false, ""},
        {"widened that does not fit fails", "12345678901234567890", wide, true, std::nullopt, true, ""},
        {"valid date", "20240229", date, false, "20240229", false, ""},
        {"empty date is null without note", "        ", date, false, std::nullopt, false, ""},
        {"zero date is another writer's null", "00000000", date, false, "00000000", false, ""},
        {"invalid date is reset and noted", "20230229", date, false, std::nullopt, false,
         "( Feld DATUM weist ein ungültiges Datum auf (20230229) und wird zurückgesetzt )"},
        {"date of letters is reset", "abcdefgh", date, false, std::nullopt, false,
         "( Feld DATUM weist ein ungültiges Datum auf (abcdefgh) und wird zurückgesetzt )"},
        {"boolean T", "T", boolean, false, "T", false, ""},
        {"boolean y", "y", boolean, false, "T", false, ""},
        {"boolean word true", "True", boolean, false, "T", false, ""},
        {"boolean F", "F", boolean, false, "F", false, ""},
        {"boolean n", "n", boolean, false, "F", false, ""},
        {"boolean unknown", "?", boolean, false, std::nullopt, false, ""},
        {"boolean garbage fails", "X", boolean, false, std::nullopt, true, ""},
        {"text keeps leading blanks", "  ab  ", str, false, "  ab", false, ""},
        {"text keeps Windows-1252 bytes", "Stra\xDF" "e", str, false, "Stra\xDF" "e", false, ""},
        {"text too long for a shortened field fails", "abcdefg", str, false, std::nullopt, true, ""},
        {"text of trailing blanks only", "      ", str, false, "", false, ""},
    };
    for (const auto& c : cases) {
        const ConvertedValue v = convertValue(c.raw, c.output, c.widened);
        EXPECT_EQ(v.value, c.value) << c.what;
        EXPECT_EQ(v.failed, c.failed) << c.what;
        EXPECT_EQ(v.note, c.note) << c.what;
    }
}

TEST(FieldPlan, DateValidity) {
    EXPECT_TRUE(isValidDate("20000229"));   // divisible by 400
    EXPECT_FALSE(isValidDate("19000229"));  // divisible by 100
    EXPECT_TRUE(isValidDate("19991231"));
    EXPECT_FALSE(isValidDate("19991301"));
    EXPECT_FALSE(isValidDate("19990100"));
    EXPECT_FALSE(isValidDate("00000101"));
    EXPECT_FALSE(isValidDate("1999-1-1"));
    EXPECT_FALSE(isValidDate("1999010"));
}

}  // namespace
}  // namespace plyvet
