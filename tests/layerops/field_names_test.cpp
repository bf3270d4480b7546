#include "layerops/field_names.h"

#include "pipeline/scripted_ui.h"

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

class FieldNames : public ::testing::Test {
protected:
    ScriptedUi ui;
    // Two over-long names between two short ones.
    Names fields = {"ID", "FLURSTUECKSNUMMER", "NAME", "GEMARKUNGSNAME"};

    FieldNameOutcome run(int maxDialogs = kMaxFieldNameDialogs) {
        return renameLongFieldNames(std::span<const std::string>(fields), "parzelle", ui, maxDialogs);
    }
    int dialogs() const {
        int n = 0;
        for (const auto& a : ui.asked) n += a.kind == "fields" ? 1 : 0;
        return n;
    }
};

TEST_F(FieldNames, NoLongNamesShowsNothing) {
    fields = {"ID", "ZEHNZEICHN", "Größenwert"};  // 10 characters, 12 bytes in UTF-8
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
    const auto out = renameLongFieldNames(std::span<const std::string>(fields), "parzelle", keeping);
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
    const auto out = renameLongFieldNames(std::span<const std::string>(fields), "parzelle", stubborn, 5);
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
    const auto out = renameLongFieldNames(std::span<const std::string>(fields), "parzelle", meddling);
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(out.newNames, (Names{"", "FLURNR", "", "GEMARKUNG"}));
    EXPECT_EQ(out.logLines.front(), "Feldname FLURSTUECKSNUMMER in parzellex wurde auf 6 Zeichen gekürzt.");
}

TEST_F(FieldNames, FieldDescriptionsAndCharacterCounts) {
    std::vector<gis::FieldDef> defs(2);
    defs[0].name = "ÄÖÜäöüßÄÖÜ";   // 10 characters, 20 bytes: not too long
    defs[1].name = "ÄÖÜäöüßÄÖÜx";  // 11 characters
    ui.fieldNames = {{"äöüÄÖÜßäöü"}};  // the first field's name in other case
    const auto first = renameLongFieldNames(std::span<const gis::FieldDef>(defs), "p", ui);
    ASSERT_GE(ui.messageTexts().size(), 2u);
    EXPECT_EQ(ui.messageTexts()[1], taken("äöüÄÖÜßäöü"));
    EXPECT_FALSE(first.accepted);  // the queue is empty the second time: cancelled
}

}  // namespace
}  // namespace plyvet::layerops
