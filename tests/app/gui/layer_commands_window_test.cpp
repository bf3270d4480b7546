// The three layer commands of the main window (identical polygons, overlaps,
// merge): when their buttons are enabled, and real runs on generated
// shapefiles through the buttons, with the scripted dialogs answering.

#include "gui_fixture.h"
#include "pipeline/gis/shapefile.h"
#include "tools/samplegen/samplegen.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <algorithm>

namespace plyvet::test {
namespace {

namespace fs = std::filesystem;
namespace sg = samplegen;

constexpr const char* kFinished = "Korrektur Shapefile(s) erfolgreich beendet.";

class LayerCommandsWindowTest : public GuiFixture {
protected:
    fs::path src = dir / "quelle";
    fs::path out = dir / "ziel";

    void SetUp() override {
        GuiFixture::SetUp();
        fs::create_directories(src);
        fs::create_directories(out);
        open();
        // The settings of this program run were confirmed; names stay short.
        window->runSettings().settingsConfirmed = true;
    }

    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    QLineEdit* edit(const char* name) const { return find<QLineEdit>(name); }
    QString status() const { return find<QLabel>("lblStatus")->text(); }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    void add(std::vector<std::string> paths) {
        dialogs->files.push_back(std::move(paths));
        click("cmdAddShapeFiles");
    }
    void setOutput() const { edit("txtAusgabeVerzeichnis")->setText(qs(out)); }
    std::vector<std::string> entries() const {
        std::vector<std::string> e;
        auto* list = find<QListWidget>("List1");
        for (int i = 0; i < list->count(); ++i) e.push_back(list->item(i)->text().toStdString());
        return e;
    }
    struct Enabled {
        bool identical;
        bool overlap;
        bool merge;
        bool operator==(const Enabled&) const = default;
    };
    Enabled enabled() const {
        return {button("cmdIdenticalPols")->isEnabled(), button("cmdOverlap")->isEnabled(),
                button("cmdMergeLayers")->isEnabled()};
    }

    // Squares of side 10 with an Integer "ID"; `boxes` are {x0, y0, x1, y1}.
    static sg::Layer squares(const std::vector<std::array<double, 4>>& boxes) {
        sg::Layer layer;
        layer.fields = {sg::integerField("ID", 9)};
        int id = 11;
        for (const auto& b : boxes) {
            layer.records.push_back({sg::rectanglePolygon(b[0], b[1], b[2], b[3]), {std::to_string(id++)}});
        }
        return layer;
    }
    fs::path write(const sg::Layer& layer, const std::string& name, bool prj = false) {
        sg::write(layer, src / name);
        if (prj) writeFile(src / (name + ".prj"), "LOCAL_CS[\"Test\"]");
        return src / (name + ".shp");
    }
    static std::vector<std::string> lines(const fs::path& file) {
        std::vector<std::string> out;
        for (const auto& l : readLines(file)) out.push_back(cp1252ToUtf8(l));
        return out;
    }
    static bool has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static std::vector<std::string> containing(const std::vector<std::string>& lines, const std::string& part) {
        std::vector<std::string> found;
        for (const auto& l : lines) {
            if (l.find(part) != std::string::npos) found.push_back(l);
        }
        return found;
    }
    // The ID values of a shapefile's records, in file order.
    static std::vector<std::string> ids(const fs::path& shp) {
        gis::ShapefileReader reader(shp);
        std::vector<std::string> values;
        for (int i = 0; i < reader.recordCount(); ++i) {
            std::string v = reader.rawValue(i, 0);
            v.erase(0, v.find_first_not_of(' '));
            values.push_back(v);
        }
        return values;
    }
    void expectLogButtonOpensTheProgramLog() {
        ASSERT_TRUE(button("cmdGetLogfile")->isEnabled());
        opened.clear();
        click("cmdGetLogfile");
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0], QUrl::fromLocalFile(qs(home / "plyvet.log")));
    }
};

TEST_F(LayerCommandsWindowTest, ButtonsFollowListFolderAndCorrectedNames) {
    // Each row on a fresh list; the folder is set first when `folder` is on.
    struct Case {
        const char* what;
        std::vector<std::string> names;
        bool folder;
        Enabled expected;
    };
    const Case cases[] = {
        {"nothing listed", {}, true, {false, false, false}},
        {"one corrected", {"a_x.shp"}, true, {true, true, false}},
        {"two corrected, either case", {"a_x.shp", "b_X.SHP"}, true, {true, true, true}},
        {"one uncorrected", {"a.shp"}, true, {false, false, false}},
        {"two, one uncorrected", {"a_x.shp", "b.shp"}, true, {false, false, true}},
        {"x elsewhere in the name", {"x_a.shp", "xa.shp"}, true, {false, false, true}},
        {"no output folder", {"a_x.shp", "b_x.shp"}, false, {false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open();
        if (c.folder) setOutput();
        std::vector<std::string> paths;
        for (const std::string& n : c.names) paths.push_back((src / n).string());
        if (!paths.empty()) add(paths);
        EXPECT_EQ(enabled(), c.expected);
        EXPECT_EQ(window->commandStates().identical, c.expected.identical);
        EXPECT_EQ(window->commandStates().merge, c.expected.merge);
    }
}

TEST_F(LayerCommandsWindowTest, AnUncorrectedAdditionKeepsTheCheckButtonsAsTheyWere) {
    setOutput();
    add({(src / "a_x.shp").string()});
    add({(src / "b.shp").string()});
    EXPECT_EQ(enabled(), (Enabled{true, true, true}));

    // The output folder text leaves the two check commands alone; merge needs it.
    edit("txtAusgabeVerzeichnis")->clear();
    EXPECT_EQ(enabled(), (Enabled{true, true, false}));
    setOutput();

    // Removing the corrected entry keeps them too; emptying the list ends them.
    auto* list = find<QListWidget>("List1");
    list->item(0)->setSelected(true);
    click("cmdSubstractShapefiles");
    EXPECT_EQ(entries(), std::vector<std::string>{(src / "b.shp").string()});
    EXPECT_EQ(enabled(), (Enabled{true, true, false}));
    list->item(0)->setSelected(true);
    click("cmdSubstractShapefiles");
    EXPECT_EQ(enabled(), (Enabled{false, false, false}));
}

TEST_F(LayerCommandsWindowTest, IdenticalRunWritesTheCopyWithoutTheDuplicateAndEmptiesTheList) {
    // The third square repeats the first: the first is dropped, the later one kept.
    const fs::path shp = write(squares({{0, 0, 10, 10}, {20, 0, 30, 10}, {0, 0, 10, 10}}), "flur_x");
    setOutput();
    add({shp.string()});
    find<QCheckBox>("chkID")->setChecked(true);
    ASSERT_TRUE(button("cmdIdenticalPols")->isEnabled());
    click("cmdIdenticalPols");

    EXPECT_TRUE(dialogs->messageTexts().empty()) << dialogs->messageTexts().front();
    ASSERT_TRUE(fs::exists(out / "flur_xi.shp"));
    EXPECT_EQ(ids(out / "flur_xi.shp"), (std::vector<std::string>{"12", "13"}));
    const auto check = lines(src / "flur_x_i.log");
    EXPECT_EQ(containing(check, "identisch mit"),
              std::vector<std::string>{"Polygon mit der ID 13 ist identisch mit ID 11 ( Fläche: 100 m², "
                                       "Mittelpunkt X = 5 , Y = 5 )"});
    EXPECT_TRUE(has(check, "1 identische(s) Polygon(e) (Shapefile " + shp.string() + ")."));
    const auto program = lines(home / "plyvet.log");
    EXPECT_TRUE(has(program, "Original-Shapefile: " + shp.string()));

    // The finished entry left the list, and with it every layer command.
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(status(), QString::fromUtf8(kFinished));
    EXPECT_EQ(enabled(), (Enabled{false, false, false}));
    EXPECT_FALSE(button("cmdCorrect")->isEnabled());
    EXPECT_EQ(find<QProgressBar>("ProgressBar1")->value(), 0);
    EXPECT_FALSE(window->running());
    EXPECT_TRUE(find<QWidget>("Frame3")->isEnabled());
    expectLogButtonOpensTheProgramLog();
}

TEST_F(LayerCommandsWindowTest, OverlapRunReportsEachPairAndKeepsTheList) {
    // 2 x 10 = 20 m² common to the first two squares; the third stands apart.
    const fs::path shp = write(squares({{0, 0, 10, 10}, {8, 0, 18, 10}, {40, 0, 50, 10}}), "flur_x");
    const fs::path other = write(squares({{0, 0, 10, 10}, {10, 0, 20, 10}}), "wald_x");
    setOutput();
    add({shp.string(), other.string()});
    find<QListWidget>("List1")->item(1)->setSelected(true);
    // A tolerance as typed with the decimal comma: read, not replaced by its default.
    edit("txtOverlappingTolerance")->setText(QStringLiteral("0,5"));
    click("cmdOverlap");

    const auto check = lines(src / "flur_x_ü.log");
    EXPECT_TRUE(has(check, "Überlappungstoleranz: 0.5") || has(check, "Überlappungstoleranz: 0,5"));
    EXPECT_EQ(containing(check, " überlappt "),
              std::vector<std::string>{"FID 1 überlappt FID 0 mit 20 m² ( 20 % , Überlappungs-Mittelpunkt X = 9 , "
                                       "Y = 5 )"});
    EXPECT_EQ(check.back(), "1 Überlappung(en) (Shapefile " + shp.string() + ").");
    // Touching squares share no area.
    EXPECT_EQ(lines(src / "wald_x_ü.log").back(),
              "Keine sich überlappenden Polygone gefunden (Shapefile " + other.string() + ").");
    EXPECT_TRUE(fs::is_empty(out));

    EXPECT_EQ(entries(), (std::vector<std::string>{shp.string(), other.string()}));
    EXPECT_TRUE(find<QListWidget>("List1")->item(1)->isSelected());
    EXPECT_EQ(status(), QString::fromUtf8(kFinished));
    EXPECT_EQ(enabled(), (Enabled{true, true, true}));
    expectLogButtonOpensTheProgramLog();
}

TEST_F(LayerCommandsWindowTest, DecliningAnUncorrectedFileEndsTheCommand) {
    const fs::path corrected = write(squares({{0, 0, 10, 10}, {0, 0, 10, 10}}), "flur_x");
    const fs::path plain = write(squares({{0, 0, 10, 10}, {0, 0, 10, 10}}), "wald");
    setOutput();
    add({corrected.string()});
    add({plain.string()});  // keeps the two check buttons enabled
    for (const char* command : {"cmdIdenticalPols", "cmdOverlap"}) {
        SCOPED_TRACE(command);
        dialogs->asked.clear();
        ASSERT_TRUE(button(command)->isEnabled());
        click(command);  // the scripted answer is No

        // The list is walked from its end: the uncorrected file is asked about first.
        ASSERT_EQ(dialogs->asked.size(), 1u);
        const Message& asked = dialogs->asked[0].message;
        EXPECT_EQ(asked.text, "Shapefile " + plain.string() +
                                  " endet nicht mit 'x' und wurde vermutlich noch nicht korrigiert. \r\n"
                                  "Wollen Sie trotzdem den Vorgang fortsetzen?");
        EXPECT_EQ(asked.title, "Hinweis");
        EXPECT_EQ(asked.buttons, Buttons::YesNo);
        EXPECT_EQ(entries(), (std::vector<std::string>{corrected.string(), plain.string()}));
        EXPECT_EQ(status(), QString());
        EXPECT_FALSE(button("cmdGetLogfile")->isEnabled());
        EXPECT_FALSE(window->running());
    }
    EXPECT_FALSE(fs::exists(out / "flur_xi.shp"));
    EXPECT_FALSE(fs::exists(src / "flur_x_i.log"));
    EXPECT_FALSE(fs::exists(src / "flur_x_ü.log"));

    // Yes goes on with every file.
    dialogs->answers.push_back(Answer::Yes);
    click("cmdIdenticalPols");
    EXPECT_TRUE(fs::exists(out / "waldi.shp"));
    EXPECT_TRUE(fs::exists(out / "flur_xi.shp"));
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(status(), QString::fromUtf8(kFinished));
}

TEST_F(LayerCommandsWindowTest, MergeWritesBothLayersIntoTheChosenFile) {
    const fs::path first = write(squares({{0, 0, 10, 10}, {20, 0, 30, 10}}), "nord_x", true);
    const fs::path second = write(squares({{0, 20, 10, 30}}), "sued_x", true);
    setOutput();
    add({first.string(), second.string()});
    const fs::path merged = out / "gesamt.shp";
    dialogs->saveFiles.push_back(merged.string());
    bool lockedWhileAsked = false;
    dialogs->whileSaveFileShown = [&] {
        window->close();  // ignored while the command runs
        lockedWhileAsked = window->running() && !button("cmdMergeLayers")->isEnabled() &&
                           !window->menuBar()->isEnabled() && !find<QWidget>("List1")->isEnabled();
    };
    window->show();
    click("cmdMergeLayers");

    ASSERT_EQ(dialogs->count("save"), 1);
    const auto& save = *std::find_if(dialogs->asked.begin(), dialogs->asked.end(),
                                     [](const ScriptedDialogs::Asked& a) { return a.kind == "save"; });
    EXPECT_EQ(save.message.title, "Gemergte Shapefiles speichern unter ...");
    EXPECT_EQ(save.startFolder, out.string());
    EXPECT_TRUE(lockedWhileAsked);
    EXPECT_TRUE(window->isVisible());

    ASSERT_TRUE(fs::exists(merged));
    EXPECT_EQ(ids(merged), (std::vector<std::string>{"11", "12", "11"}));
    EXPECT_TRUE(has(lines(out / "gesamt_m.log"), "Shapefiles wurden erfolgreich gemerget unter " + merged.string() + "."));
    EXPECT_TRUE(has(lines(home / "plyvet.log"), "Ausgabe-Shapefile: " + merged.string()));
    EXPECT_EQ(status(), QStringLiteral("Shapefiles wurden erfolgreich gemerget."));
    EXPECT_EQ(entries(), (std::vector<std::string>{first.string(), second.string()}));
    EXPECT_EQ(enabled(), (Enabled{true, true, true}));
    expectLogButtonOpensTheProgramLog();
    window->close();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(LayerCommandsWindowTest, CancelledSaveChoiceMergesNothing) {
    const fs::path first = write(squares({{0, 0, 10, 10}}), "nord_x", true);
    const fs::path second = write(squares({{0, 20, 10, 30}}), "sued_x", true);
    setOutput();
    add({first.string(), second.string()});
    click("cmdMergeLayers");  // no save answer: cancelled
    EXPECT_EQ(dialogs->count("save"), 1);
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_EQ(status(), QString());
    EXPECT_EQ(entries().size(), 2u);
    EXPECT_TRUE(button("cmdGetLogfile")->isEnabled());
}

}  // namespace
}  // namespace plyvet::test
