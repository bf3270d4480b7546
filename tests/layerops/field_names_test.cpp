#include "layerops/field_names.h"

#include "pipeline/scripted_ui.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace plyvet::layerops {
namespace {

using test::ScriptedUi;
using Names = std::vector<std::string>;

const std::string kShorten = "Feldnamen dürfen nicht länger als 10 Zeichen sein. Bitte kürzen.";

std::string tooLong(const std::string& name) { return "Feldname " + name + " zu lang. Bitte ändern!"; }
std::string taken(const std::string& name) {
    return "Der Feldname " + name + " ist bereits vorhanden.\r\nBitte neuen Namen eingeben.";
}

// Tables in UTF-8: names are stored as they are.
const NameCoding kUtf8{[](std::string_view s) { return std::string(s); },
                       [](std::string_view s) { return std::optional<std::string>(std::string(s)); }};
// Tables in Windows-1252; a name with a character outside it has no stored form.
const NameCoding kCp1252{[](std::string_view s) { return test::cp1252ToUtf8(s); },
                         [](std::string_view s) -> std::optional<std::string> {
                             std::string stored = test::utf8ToCp1252(s);
                             if (test::cp1252ToUtf8(stored) != s) return std::nullopt;
                             return stored;
                         }};

class FieldNames : public ::testing::Test {
protected:
    ScriptedUi ui;
    // Two over-long names between two short ones.
    Names fields = {"ID", "FLURSTUECKSNUMMER", "NAME", "GEMARKUNGSNAME"};
    const NameCoding* coding = &kUtf8;

    FieldNameOutcome run(int maxDialogs = kMaxFieldNameDialogs) {
        return renameLongFieldNames(std::span<const std::string>(fields), *coding, "parzelle", ui, maxDialogs);
    }
    int dialogs() const {
        int n = 0;
        for (const auto& a : ui.asked) n += a.kind == "fields" ? 1 : 0;
        return n;
    }
};

TEST_F(FieldNames, NoLongNamesShowsNothing) {
    fields = {"ID", "ZEHNZEICHN", "Größenwert"};  // 10 characters, 10 bytes in Windows-1252
    coding = &kCp1252;
    const auto out = run();
    EXPECT_TRUE(out.accepted);
    EXPECT_EQ(out.newNames, Names(3));
    EXPECT_TRUE(out.logLines.empty());
    EXPECT_TRUE(ui.asked.empty());
}

TEST_F(FieldNames, AcceptedNamesAreLoggedPerField) {
    ui.fieldNames = {{"FLURNR", "GEMARKUNG"}};
    const auto out = run();
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(out.newNames, (Names{"", "FLURNR", "", "GEMARKUNG"}));
    EXPECT_EQ(out.logLines, (Names{"Feldname FLURSTUECKSNUMMER in parzellex wurde auf 6 Zeichen gekürzt.",
                                   "Neuer Feldname: FLURNR",
                                   "Feldname GEMARKUNGSNAME in parzellex wurde auf 9 Zeichen gekürzt.",
                                   "Neuer Feldname: GEMARKUNG"}));
    EXPECT_EQ(ui.messageTexts(), Names{kShorten});
    ASSERT_EQ(dialogs(), 1);
    EXPECT_EQ(ui.asked.back().message.text,
              "Markieren Sie bitte die zu ändernden Feldnamen in der Liste. \r\n"
              "Ändern Sie den in die Textbox kopierten Feldnamen auf höchstens 10 Zeichen.\r\n"
              "Zur Übernahme der Änderung betätigen Sie bitte den Button 'Feldname ändern'.\r\n"
              "Wenn alle Namen geändert wurden, bitte den ok-Button betätigen.");
}

struct RefusalCase {
    const char* name;
    Names first;        // the refused answer
    std::string refusal;  // the message it gives
};

class FieldNameRefusals : public FieldNames, public ::testing::WithParamInterface<RefusalCase> {};

// Each refusal names the first refused answer, shows the dialog again and
// accepts a corrected answer the second time; only the accepted set is logged.
TEST_P(FieldNameRefusals, AskAgainThenAccept) {
    const RefusalCase& c = GetParam();
    ui.fieldNames = {c.first, {"FLURNR", "GEMARKUNG"}};
    const auto out = run();
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(out.newNames, (Names{"", "FLURNR", "", "GEMARKUNG"}));
    EXPECT_EQ(out.logLines.size(), 4u);
    EXPECT_EQ(ui.messageTexts(), (Names{kShorten, c.refusal}));
    EXPECT_EQ(dialogs(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FieldNameRefusals,
    ::testing::Values(
        RefusalCase{"Empty", {"", "GEMARKUNG"}, tooLong("")},
        RefusalCase{"BlanksOnly", {"   ", "GEMARKUNG"}, tooLong("")},
        RefusalCase{"UnchangedInOtherCase", {"FLURNR", "gemarkungsname"}, tooLong("gemarkungsname")},
        RefusalCase{"StillTooLong", {"FLURSTUECKNR", "GEMARKUNG"}, tooLong("FLURSTUECKNR")},
        RefusalCase{"ElevenCharacters", {"FLURNUMMERÄ", "GEMARKUNG"}, tooLong("FLURNUMMERÄ")},
        RefusalCase{"NameOfAnotherField", {"FLURNR", "name"}, taken("name")},
        RefusalCase{"ShortNameOfAnotherFieldInOtherCase", {"FLURNR", "id"}, taken("id")},
        RefusalCase{"TwoRowsRenamedAlike", {"FLUR", "flur"}, taken("flur")},
        // Only the first refused answer is named.
        RefusalCase{"FirstRefusalWins", {"ID", ""}, taken("ID")}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(FieldNames, RowsKeepTheirAnswersForTheNextShowing) {
    // The user fixes only the refused row; the other keeps its new name.
    struct KeepingUi : ScriptedUi {
        std::vector<Names> seen;
        bool fieldNameDialog(std::vector<FieldNameRow>& rows, std::string_view, std::string&) override {
            Names now;
            for (const auto& r : rows) now.push_back(r.oldName + "=" + r.newName);
            seen.push_back(now);
            if (seen.size() == 1) {
                rows[0].newName = "FLURNR";
                rows[1].newName = "NAME";
                return true;
            }
            rows[1].newName = "GEMARKUNG";
            return true;
        }
    } keeping;
    const auto out = renameLongFieldNames(std::span<const std::string>(fields), kUtf8, "parzelle", keeping);
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(out.newNames, (Names{"", "FLURNR", "", "GEMARKUNG"}));
    ASSERT_EQ(keeping.seen.size(), 2u);
    EXPECT_EQ(keeping.seen[0], (Names{"FLURSTUECKSNUMMER=", "GEMARKUNGSNAME="}));
    EXPECT_EQ(keeping.seen[1], (Names{"FLURSTUECKSNUMMER=FLURNR", "GEMARKUNGSNAME=NAME"}));
}

TEST_F(FieldNames, CancelStopsWithTheEditText) {
    ui.fieldNameEditText = "FLURSTUECKSNUMMER";
    ui.statuses.clear();
    const auto out = run();
    EXPECT_FALSE(out.accepted);
    EXPECT_EQ(out.newNames, Names(4));
    EXPECT_EQ(ui.messageTexts(),
              (Names{kShorten, "Shapefile: parzelle.shp: Feldname FLURSTUECKSNUMMER wurde nicht geändert.\r\n"
                               "Bearbeitung des aktuellen Shapefiles wird deshalb abgebrochen."}));
    EXPECT_EQ(out.logLines, Names{"Shapefile: parzelle.shp: Feldname FLURSTUECKSNUMMER wurde nicht geändert. "
                                  "Programm wird deshalb abgebrochen."});
    EXPECT_EQ(ui.statuses, Names{""});
}

TEST_F(FieldNames, CancelAfterARefusal) {
    ui.fieldNames = {{"", ""}};
    const auto out = run();
    EXPECT_FALSE(out.accepted);
    EXPECT_EQ(out.newNames, Names(4));
    EXPECT_EQ(dialogs(), 2);
    ASSERT_EQ(out.logLines.size(), 1u);
    EXPECT_EQ(out.logLines[0], "Shapefile: parzelle.shp: Feldname  wurde nicht geändert. Programm wird deshalb abgebrochen.");
}

// A dialog that keeps giving the same refused answer ends after the bound.
TEST_F(FieldNames, EndlessRefusalsEndAtTheBound) {
    struct StubbornUi : ScriptedUi {
        bool fieldNameDialog(std::vector<FieldNameRow>& rows, std::string_view instruction,
                             std::string&) override {
            asked.push_back({"fields", {std::string(instruction), ""}, {}});
            for (auto& r : rows) r.newName = r.oldName;
            return true;
        }
    } stubborn;
    const auto out = renameLongFieldNames(std::span<const std::string>(fields), kUtf8, "parzelle", stubborn, 5);
    EXPECT_FALSE(out.accepted);
    EXPECT_EQ(out.newNames, Names(4));
    EXPECT_EQ(std::count_if(stubborn.asked.begin(), stubborn.asked.end(), [](const auto& a) { return a.kind == "fields"; }), 5);
    const Names texts = stubborn.messageTexts();
    ASSERT_EQ(texts.size(), 7u);  // request, five refusals, the end
    EXPECT_EQ(texts[1], tooLong("FLURSTUECKSNUMMER"));
    EXPECT_EQ(texts.back(), "Die Feldnamen wurden nach 5 Versuchen nicht gültig geändert.\r\n"
                            "Bearbeitung des aktuellen Shapefiles wird deshalb abgebrochen.");
    EXPECT_EQ(out.logLines, Names{"Shapefile: parzelle.shp: Feldnamen wurden nach 5 Versuchen nicht gültig "
                                  "geändert. Programm wird deshalb abgebrochen."});
}

// A dialog must not change the rows' old names or their number; the protocol
// goes by its own list.
TEST_F(FieldNames, DialogCannotRewriteOldNames) {
    struct MeddlingUi : ScriptedUi {
        bool fieldNameDialog(std::vector<FieldNameRow>& rows, std::string_view, std::string&) override {
            rows[0] = {"ANDERS", "FLURNR"};
            rows[1].newName = "GEMARKUNG";
            rows.push_back({"EXTRA", "EXTRA"});
            return true;
        }
    } meddling;
    const auto out = renameLongFieldNames(std::span<const std::string>(fields), kUtf8, "parzelle", meddling);
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(out.newNames, (Names{"", "FLURNR", "", "GEMARKUNG"}));
    EXPECT_EQ(out.logLines.front(), "Feldname FLURSTUECKSNUMMER in parzellex wurde auf 6 Zeichen gekürzt.");
}

// What must fit is the name as the table stores it, in the output's code
// page; names are shown, compared and logged in UTF-8.
struct StoredNameCase {
    const char* name;
    const NameCoding* coding;
    std::string answer;   // the first answer for FLURSTUECKSNUMMER
    std::string refusal;  // its message; empty: accepted
    std::string stored;   // the accepted name's bytes in the output
    int chars = 0;        // its characters, as the log counts them
};

class StoredNameLengths : public FieldNames, public ::testing::WithParamInterface<StoredNameCase> {};

TEST_P(StoredNameLengths, AnswerFitsTheOutputsCodePage) {
    const StoredNameCase& c = GetParam();
    fields = {"ID", "FLURSTUECKSNUMMER", "Fläche"};
    coding = c.coding;
    ui.fieldNames = {{c.answer}, {"FLURNR"}};
    const auto out = run();
    ASSERT_TRUE(out.accepted);
    if (c.refusal.empty()) {
        EXPECT_EQ(out.newNames, (Names{"", c.stored, ""}));
        EXPECT_EQ(out.logLines, (Names{"Feldname FLURSTUECKSNUMMER in parzellex wurde auf " +
                                           std::to_string(c.chars) + " Zeichen gekürzt.",
                                       "Neuer Feldname: " + c.answer}));
        EXPECT_EQ(ui.messageTexts(), Names{kShorten});
    } else {
        EXPECT_EQ(out.newNames, (Names{"", "FLURNR", ""}));
        EXPECT_EQ(ui.messageTexts(), (Names{kShorten, c.refusal}));
    }
}

const std::string kNoForm = " enthält Zeichen, die die Attributdatei nicht speichern kann. Bitte ändern!";

INSTANTIATE_TEST_SUITE_P(
    Answers, StoredNameLengths,
    ::testing::Values(
        // "GRÜNFLÄCHE": 10 characters, 10 bytes in Windows-1252, 12 in UTF-8.
        StoredNameCase{"TenCharactersFitWindows1252", &kCp1252, "GRÜNFLÄCHE", "", "GR\xDCNFL\xC4" "CHE", 10},
        StoredNameCase{"TenCharactersAreTooLongInUtf8", &kUtf8, "GRÜNFLÄCHE", tooLong("GRÜNFLÄCHE"), ""},
        StoredNameCase{"UmlautNameIsStoredInWindows1252", &kCp1252, "FLÄCHE2", "", "FL\xC4" "CHE2", 7},
        StoredNameCase{"UmlautNameIsStoredInUtf8", &kUtf8, "FLÄCHE2", "", "FLÄCHE2", 7},
        StoredNameCase{"TenBytesOfUtf8Fit", &kUtf8, "GRÜNFLÄC", "", "GRÜNFLÄC", 8},
        StoredNameCase{"CharacterOutsideTheCodePage", &kCp1252, "GRÜNŁAND", "Feldname GRÜNŁAND" + kNoForm, ""},
        StoredNameCase{"UmlautsFoldForTheTakenCheck", &kCp1252, "FLÄCHE", "Der Feldname FLÄCHE ist bereits "
                                                                          "vorhanden.\r\nBitte neuen Namen eingeben.",
                       ""}),
    [](const auto& p) { return std::string(p.param.name); });

// Source names arrive as the bytes their .dbf stores; whether they need a new
// name depends on those bytes, and the dialog shows them decoded.
struct SourceNameCase {
    const char* name;
    const NameCoding* coding;
    std::string stored;  // bytes of the source name
    std::string shown;   // as the dialog lists it; empty: no dialog
};

class SourceNames : public FieldNames, public ::testing::WithParamInterface<SourceNameCase> {};

TEST_P(SourceNames, StoredBytesDecideAndTheDialogShowsUtf8) {
    const SourceNameCase& c = GetParam();
    std::vector<gis::FieldDef> defs(2);
    defs[0].name = "ID";
    defs[1].name = c.stored;
    struct SeeingUi : ScriptedUi {
        Names seen;
        bool fieldNameDialog(std::vector<FieldNameRow>& rows, std::string_view, std::string&) override {
            for (auto& r : rows) {
                seen.push_back(r.oldName);
                r.newName = "NEU";
            }
            return true;
        }
    } seeing;
    const auto out = renameLongFieldNames(std::span<const gis::FieldDef>(defs), *c.coding, "p", seeing);
    ASSERT_TRUE(out.accepted);
    if (c.shown.empty()) {
        EXPECT_TRUE(seeing.seen.empty());
        EXPECT_EQ(out.newNames, Names(2));
        return;
    }
    EXPECT_EQ(seeing.seen, Names{c.shown});
    EXPECT_EQ(out.newNames, (Names{"", "NEU"}));
    ASSERT_FALSE(out.logLines.empty());
    EXPECT_EQ(out.logLines.front(), "Feldname " + c.shown + " in px wurde auf 3 Zeichen gekürzt.");
}

INSTANTIATE_TEST_SUITE_P(
    Tables, SourceNames,
    ::testing::Values(
        SourceNameCase{"TenBytesOfWindows1252", &kCp1252, "GR\xDCNFL\xC4" "CHE", ""},
        SourceNameCase{"ElevenBytesOfWindows1252", &kCp1252, "GR\xDCNFL\xC4" "CHEN", "GRÜNFLÄCHEN"},
        // Nine characters, but eleven bytes: the writer could not take it.
        SourceNameCase{"ElevenBytesOfUtf8", &kUtf8, "GRÜNFLÄCH", "GRÜNFLÄCH"},
        SourceNameCase{"TenBytesOfUtf8", &kUtf8, "GRÜNFLÄC", ""}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace plyvet::layerops
