// The main window frmDummy driven through its widgets: defaults, list
// handling, enabling rules, numeric input, a real correction run, help,
// log button, menus and closing.

#include "app/gui/info_windows.h"
#include "gui_fixture.h"
#include "tools/samplegen/samplegen.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>

namespace plyvet::test {
namespace {

namespace fs = std::filesystem;
namespace setting = gui::setting;

class MainWindowTest : public GuiFixture {
protected:
    fs::path src = dir / "quelle";
    fs::path out = dir / "ziel";

    void SetUp() override {
        GuiFixture::SetUp();
        fs::create_directories(src);
        fs::create_directories(out);
    }

    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    QLineEdit* edit(const char* name) const { return find<QLineEdit>(name); }
    QListWidget* list() const { return find<QListWidget>("List1"); }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    void trigger(const char* action) const { find<QAction>(action)->trigger(); }

    // Adds `paths` through the add button, as if chosen in the file dialog.
    void add(std::vector<std::string> paths) {
        dialogs->files.push_back(std::move(paths));
        click("cmdAddShapeFiles");
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> e;
        for (int i = 0; i < list()->count(); ++i) e.push_back(list()->item(i)->text().toStdString());
        return e;
    }
    std::string path(const fs::path& p) const { return p.string(); }
    fs::path grid(const std::string& name) {
        samplegen::write(samplegen::gridLayer(2), src / name);
        return src / (name + ".shp");
    }
    // Replaces a field's text as typed keys would arrive.
    static void type(QLineEdit* e, const QString& keys) {
        e->clear();
        e->setFocus();
        QTest::keyClicks(e, keys);
    }
};

TEST_F(MainWindowTest, StartsWithItsDefaultsAndOnlyAddingEnabled) {
    open();
    EXPECT_EQ(window->objectName(), QStringLiteral("frmDummy"));
    EXPECT_EQ(find<QLabel>("lblAnweisung")->text(), QStringLiteral("Ausgewählte Shapefiles"));
    EXPECT_EQ(edit("txtGranularity")->text(), QStringLiteral("3"));
    EXPECT_EQ(edit("txtGranularity")->maxLength(), 1);
    EXPECT_EQ(edit("txtIdenticalPointThresholdSize")->text(), QStringLiteral("0,001"));
    EXPECT_EQ(edit("txtIdenticalPointThresholdSize")->maxLength(), 5);
    EXPECT_EQ(edit("txtSplitterToleranz")->text(), QStringLiteral("0,01"));
    EXPECT_EQ(edit("txtSplitterToleranz")->maxLength(), 5);
    EXPECT_EQ(edit("txtOverlappingTolerance")->text(), QStringLiteral("0,1"));
    EXPECT_EQ(find<QLabel>("lblIdenticalPointThresholdSize")->text(),
              QStringLiteral("Punkte gelten als identisch bei einer Distanz kleiner\n(Standard 0,001)"));
    EXPECT_TRUE(find<QCheckBox>("chkDeleteSplitterArea")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("chkDeletePointsOnLine")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("Option1")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("Option3")->isChecked());
    EXPECT_EQ(edit("txtOpt12")->text(), QStringLiteral("1"));
    EXPECT_EQ(edit("txtOpt345")->text(), QStringLiteral("3"));
    EXPECT_EQ(edit("txtVersion")->text(), QStringLiteral("plyvet.exe Version: 2.1.7"));
    EXPECT_EQ(button("cmdCorrect")->text(), QStringLiteral("Ausführen..."));
    EXPECT_EQ(button("cmdCorrect")->toolTip(), QStringLiteral("Korrigiert alle in der Listbox aufgeführten Shapefiles"));
    EXPECT_EQ(find<QGroupBox>("Frame3")->title(), QStringLiteral("ShapeFile(s) korrigieren..."));
    EXPECT_EQ(find<QGroupBox>("Frame4")->toolTip(),
              QStringLiteral("Nur möglich für bereits korrigierte Shapefiles (Endung _x)"));
    EXPECT_EQ(find<QAction>("umn01EinstAendern")->text(), QStringLiteral("ändern"));
    EXPECT_EQ(find<QAction>("mn01PolyvetHelp")->text(), QStringLiteral("Polyvet-Hilfe"));

    EXPECT_TRUE(button("cmdAddShapeFiles")->isEnabled());
    EXPECT_TRUE(button("cmdOutDir")->isEnabled());
    for (const char* name : {"cmdCorrect", "cmdSubstractShapefiles", "cmdGetLogfile", "cmdMergeLayers", "cmdOverlap",
                             "cmdIdenticalPols"}) {
        EXPECT_FALSE(button(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(edit("txtGranularity")->isEnabled());
    EXPECT_FALSE(find<QCheckBox>("chkID")->isEnabled());

    // Start-up wrote the version tag and created the program log.
    EXPECT_EQ(storedValue(setting::kActualVersion), QStringLiteral("217pv"));
    EXPECT_TRUE(fs::is_regular_file(home / "plyvet.log"));
    EXPECT_TRUE(window->database().isOpen());
    EXPECT_TRUE(dialogs->asked.empty());
}

TEST_F(MainWindowTest, LoadsTheStoredFolderAndFlags) {
    storeValue(setting::kLastDirectoryOut, qs(out));
    storeValue(setting::kIgnoreLongFileNames, QStringLiteral("True"));
    storeValue(setting::kActualVersion, QStringLiteral("100pv"));
    open();
    EXPECT_EQ(edit("txtAusgabeVerzeichnis")->text(), qs(out));
    EXPECT_TRUE(window->runSettings().ignoreLongFileNames);
    EXPECT_FALSE(window->runSettings().overwriteExistingShapeFiles);
    EXPECT_FALSE(window->runSettings().settingsConfirmed);
    EXPECT_EQ(storedValue(setting::kActualVersion), QStringLiteral("217pv"));
    EXPECT_FALSE(button("cmdCorrect")->isEnabled());  // a folder alone is not enough
}

TEST_F(MainWindowTest, DefaultsFollowTheLocale) {
    QLocale::setDefault(QLocale::c());
    open();
    EXPECT_EQ(edit("txtIdenticalPointThresholdSize")->text(), QStringLiteral("0.001"));
    EXPECT_EQ(edit("txtSplitterToleranz")->text(), QStringLiteral("0.01"));
}

TEST_F(MainWindowTest, ReportsAFailedVersionEntry) {
    blockSettings();
    open();
    const auto texts = dialogs->messageTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Eintrag ActualVersion in Registry mit Fehler 1 fehlgeschlagen.");
}

// The start-up box of an error database that cannot be opened is written to
// the program log too, word for word; the window still opens.
TEST_F(MainWindowTest, DatabaseFailureAtStartIsInTheProgramLog) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> block;
    };
    const Case cases[] = {
        {"FolderInTheWay", [](const fs::path& mdb) { fs::create_directory(mdb); }},
        {"NotADatabase", [](const fs::path& mdb) { writeFile(mdb, "kein SQLite, nur Text"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        window.reset();
        const fs::path mdb = home / "Plyvet.mdb";
        fs::remove_all(mdb);
        c.block(mdb);
        open();
        EXPECT_FALSE(window->database().isOpen());
        const auto texts = dialogs->messageTexts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(readFile(home / "plyvet.log"), utf8ToCp1252(texts[0] + "\r\n"));
    }
}

TEST_F(MainWindowTest, AddsEachShapefileOnceIgnoringCase) {
    open();
    add({path(src / "a.shp"), path(src / "b.shp")});
    add({path(src / "A.SHP"), path(src / "c.shp"), path(src / "b.shp")});
    EXPECT_EQ(entries(), (std::vector<std::string>{path(src / "a.shp"), path(src / "b.shp"), path(src / "c.shp")}));
    EXPECT_EQ(storedValue(setting::kLastDirectoryIn), qs(src));
    EXPECT_EQ(edit("txtLastInDirectory")->text(), qs(src));
    ASSERT_EQ(dialogs->count("files"), 2);
    EXPECT_EQ(dialogs->asked[0].message.text,
              "Bitte Shapefile(s) zum Überprüfen auswählen. Mehrfachauswahl möglich.");
    EXPECT_EQ(dialogs->asked[0].startFolder, "");  // nothing remembered yet
    EXPECT_EQ(dialogs->asked[1].startFolder, path(src));
}

TEST_F(MainWindowTest, StartsTheFileChoiceInTheStoredFolder) {
    storeValue(setting::kLastDirectoryIn, qs(src));
    open();
    add({path(src / "a.shp")});
    EXPECT_EQ(dialogs->asked.at(0).startFolder, path(src));
}

TEST_F(MainWindowTest, CancelledChoiceOffersToRepeat) {
    open();
    dialogs->files.push_back(std::nullopt);
    dialogs->files.push_back(std::vector<std::string>{path(src / "a.shp")});
    dialogs->answers.push_back(Answer::Yes);
    click("cmdAddShapeFiles");
    EXPECT_EQ(entries(), std::vector<std::string>{path(src / "a.shp")});
    ASSERT_EQ(dialogs->count("message"), 1);
    const Message& q = dialogs->asked[1].message;
    EXPECT_EQ(q.text, "Sie haben kein(e) Shapefile(s) ausgewählt. Wollen Sie die Auswahl wiederholen?");
    EXPECT_EQ(q.title, "Shapefile-Auswahl");
    EXPECT_EQ(q.buttons, Buttons::YesNo);
    EXPECT_EQ(q.icon, Icon::Question);
    EXPECT_EQ(q.defaultButton, Answer::No);

    // No ends the choice.
    click("cmdAddShapeFiles");
    EXPECT_EQ(list()->count(), 1);
    EXPECT_EQ(dialogs->count("files"), 3);
}

TEST_F(MainWindowTest, EnablingFollowsListAndFolder) {
    open();
    add({path(src / "a.shp")});
    EXPECT_TRUE(button("cmdSubstractShapefiles")->isEnabled());
    EXPECT_FALSE(button("cmdCorrect")->isEnabled());
    EXPECT_TRUE(storedValue(setting::kLastDirectoryOut).isEmpty());

    edit("txtAusgabeVerzeichnis")->setText(qs(out));
    EXPECT_TRUE(button("cmdCorrect")->isEnabled());
    for (const char* name : {"txtGranularity", "txtIdenticalPointThresholdSize", "txtSplitterToleranz",
                             "txtOverlappingTolerance"}) {
        EXPECT_TRUE(edit(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(find<QCheckBox>("chkOnlyErrorObjectsInLogFile")->isEnabled());
    EXPECT_TRUE(find<QRadioButton>("Option5")->isEnabled());
    EXPECT_EQ(storedValue(setting::kLastDirectoryOut), qs(out));
    EXPECT_FALSE(window->commandStates().merge);

    add({path(src / "b.shp")});
    EXPECT_TRUE(window->commandStates().merge);
    EXPECT_TRUE(button("cmdMergeLayers")->isEnabled());

    edit("txtAusgabeVerzeichnis")->clear();
    EXPECT_FALSE(button("cmdCorrect")->isEnabled());
    EXPECT_FALSE(edit("txtGranularity")->isEnabled());
    EXPECT_FALSE(window->commandStates().merge);
}

TEST_F(MainWindowTest, CorrectedFilesQualifyForTheLayerCommands) {
    open();
    edit("txtAusgabeVerzeichnis")->setText(qs(out));
    add({path(src / "a_x.shp"), path(src / "b_X.shp")});
    EXPECT_TRUE(window->commandStates().overlap);
    EXPECT_TRUE(window->commandStates().identical);
    EXPECT_TRUE(button("cmdOverlap")->isEnabled());
    EXPECT_TRUE(button("cmdIdenticalPols")->isEnabled());
}

TEST_F(MainWindowTest, MinusWithoutMarkedEntriesShowsTheHint) {
    open();
    add({path(src / "a.shp"), path(src / "b.shp")});
    list()->clearSelection();
    click("cmdSubstractShapefiles");
    EXPECT_EQ(list()->count(), 2);
    EXPECT_EQ(dialogs->messageTexts(),
              std::vector<std::string>{"Bitte zu entfernende Shapefiles vor Betätigen des 'Minus-Buttons' markieren."});
}

TEST_F(MainWindowTest, MinusRemovesTheMarkedEntries) {
    open();
    edit("txtAusgabeVerzeichnis")->setText(qs(out));
    add({path(src / "a_x.shp"), path(src / "b.shp"), path(src / "c_x.shp"), path(src / "d.shp")});
    EXPECT_FALSE(window->commandStates().overlap);
    list()->item(1)->setSelected(true);
    list()->item(3)->setSelected(true);
    click("cmdSubstractShapefiles");
    EXPECT_EQ(entries(), (std::vector<std::string>{path(src / "a_x.shp"), path(src / "c_x.shp")}));
    // Only corrected files left.
    EXPECT_TRUE(window->commandStates().overlap);
    EXPECT_TRUE(window->commandStates().merge);

    list()->item(0)->setSelected(true);
    click("cmdSubstractShapefiles");
    EXPECT_FALSE(window->commandStates().merge);  // one entry left
    list()->item(0)->setSelected(true);
    click("cmdSubstractShapefiles");
    EXPECT_EQ(list()->count(), 0);
    EXPECT_FALSE(button("cmdSubstractShapefiles")->isEnabled());
    EXPECT_FALSE(button("cmdCorrect")->isEnabled());
    EXPECT_FALSE(window->commandStates().overlap);
    EXPECT_FALSE(window->commandStates().identical);
    EXPECT_TRUE(dialogs->messageTexts().empty());
}

TEST_F(MainWindowTest, NumberFieldsTakeOnlyWhatFits) {
    open();
    add({path(src / "a.shp")});
    edit("txtAusgabeVerzeichnis")->setText(qs(out));
    window->show();
    QLineEdit* threshold = edit("txtIdenticalPointThresholdSize");
    type(threshold, QStringLiteral("1,2345"));
    EXPECT_EQ(threshold->text(), QStringLiteral("1,234"));
    type(threshold, QStringLiteral("1,2,3"));
    EXPECT_EQ(threshold->text(), QStringLiteral("1,23"));
    type(threshold, QStringLiteral("a1b.2"));
    EXPECT_EQ(threshold->text(), QStringLiteral("12"));
    type(threshold, QStringLiteral("0,001"));
    QTest::keyClick(threshold, Qt::Key_Left);
    QTest::keyClick(threshold, Qt::Key_Left);
    QTest::keyClick(threshold, Qt::Key_Left);
    QTest::keyClick(threshold, Qt::Key_Backspace);  // would join 0001 into the integer part
    EXPECT_EQ(threshold->text(), QStringLiteral("0,001"));

    QLineEdit* overlap = edit("txtOverlappingTolerance");
    type(overlap, QStringLiteral("0,123456789"));
    EXPECT_EQ(overlap->text(), QStringLiteral("0,1234567"));

    QLineEdit* granularity = edit("txtGranularity");
    type(granularity, QStringLiteral("a"));
    EXPECT_EQ(granularity->text(), QStringLiteral("8"));
    granularity->selectAll();
    QTest::keyClicks(granularity, QStringLiteral("5"));
    EXPECT_EQ(granularity->text(), QStringLiteral("5"));
    granularity->selectAll();
    QTest::keyClick(granularity, Qt::Key_Backspace);
    EXPECT_EQ(granularity->text(), QStringLiteral("8"));
    granularity->selectAll();
    QTest::keyClicks(granularity, QStringLiteral("9"));
    EXPECT_EQ(granularity->text(), QStringLiteral("8"));

    // Pasting would bypass the key rules.
    QGuiApplication::clipboard()->setText(QStringLiteral("x,yz"));
    if (QGuiApplication::clipboard()->text() == QStringLiteral("x,yz")) {
        type(threshold, QStringLiteral("1"));
        QTest::keySequence(threshold, QKeySequence::Paste);
        EXPECT_EQ(threshold->text(), QStringLiteral("1"));
    }
}

TEST_F(MainWindowTest, CorrectsTheListIntoXFilesAndEmptiesIt) {
    open();
    const fs::path first = grid("flur");
    const fs::path second = grid("wald");
    add({path(first), path(second)});
    edit("txtAusgabeVerzeichnis")->setText(qs(out));
    find<QCheckBox>("chkID")->setChecked(true);
    find<QRadioButton>("Option5")->setChecked(true);
    click("cmdCorrect");

    EXPECT_TRUE(fs::exists(out / "flur_x.shp"));
    EXPECT_TRUE(fs::exists(out / "flur_x.dbf"));
    EXPECT_TRUE(fs::exists(out / "wald_x.shp"));
    EXPECT_TRUE(fs::exists(src / "flur_k.log"));
    EXPECT_EQ(list()->count(), 0);
    ASSERT_EQ(window->lastResults().size(), 2u);
    EXPECT_EQ(window->lastResults()[0].source, path(second));  // the list is walked from its end
    for (const auto& r : window->lastResults()) {
        EXPECT_TRUE(r.corrected) << r.source;
        EXPECT_EQ(r.recordsWritten, 4);
    }
    EXPECT_EQ(find<QLabel>("lblStatus")->text(), QStringLiteral("Korrektur Shapefile(s) erfolgreich beendet."));
    EXPECT_EQ(find<QLabel>("lblStep")->text(), QString());
    EXPECT_EQ(find<QProgressBar>("ProgressBar1")->value(), 0);
    EXPECT_EQ(find<QProgressBar>("ProgressBar1")->maximum(), 4);
    EXPECT_TRUE(button("cmdGetLogfile")->isEnabled());
    EXPECT_FALSE(button("cmdCorrect")->isEnabled());
    EXPECT_FALSE(button("cmdSubstractShapefiles")->isEnabled());
    EXPECT_TRUE(find<QCheckBox>("chkID")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("Option5")->isChecked());
    EXPECT_TRUE(find<QWidget>("Frame3")->isEnabled());
    EXPECT_FALSE(window->running());
    EXPECT_EQ(dialogs->count("settings"), 1);
    EXPECT_TRUE(dialogs->messageTexts().empty());

    const std::string log = cp1252ToUtf8(readFile(home / "plyvet.log"));
    EXPECT_NE(log.find("Original-Shapefile: " + path(first)), std::string::npos) << log;
    EXPECT_NE(log.find("Exportiertes Shapefile: "), std::string::npos);
    const std::string checkLog = cp1252ToUtf8(readFile(src / "flur_k.log"));
    EXPECT_NE(checkLog.find("ID -falls vorhanden- in Log-Datei: ja"), std::string::npos) << checkLog;

    // The settings were confirmed once in this program run.
    add({path(grid("acker"))});
    click("cmdCorrect");
    EXPECT_TRUE(fs::exists(out / "acker_x.shp"));
    EXPECT_EQ(dialogs->count("settings"), 1);

    // Resetting brings the dialog back before the next run.
    trigger("umn01Reset");
    add({path(grid("wiese"))});
    click("cmdCorrect");
    EXPECT_EQ(dialogs->count("settings"), 2);
}

TEST_F(MainWindowTest, CancelledSettingsStopTheRunAndKeepTheEntry) {
    open();
    const fs::path shp = grid("flur");
    add({path(shp)});
    edit("txtAusgabeVerzeichnis")->setText(qs(out));
    dialogs->settingsAnswers.push_back(std::nullopt);
    click("cmdCorrect");
    EXPECT_EQ(entries(), std::vector<std::string>{path(shp)});
    EXPECT_FALSE(fs::exists(out / "flur_x.shp"));
    EXPECT_TRUE(button("cmdCorrect")->isEnabled());
    EXPECT_TRUE(button("cmdSubstractShapefiles")->isEnabled());
}

TEST_F(MainWindowTest, MissingFilesStayInTheList) {
    open();
    add({path(src / "fehlt.shp")});
    edit("txtAusgabeVerzeichnis")->setText(qs(out));
    click("cmdCorrect");
    EXPECT_EQ(list()->count(), 1);
    EXPECT_EQ(dialogs->count("settings"), 0);
    EXPECT_EQ(find<QLabel>("lblStatus")->text(), QStringLiteral("Korrektur Shapefile(s) erfolgreich beendet."));
}

TEST_F(MainWindowTest, NothingCanStartOrCloseDuringARun) {
    open();
    window->show();
    add({path(grid("flur"))});
    edit("txtAusgabeVerzeichnis")->setText(qs(out));
    bool visibleAfterClose = false;
    bool correctClickable = true;
    dialogs->whileSettingsShown = [&] {
        window->close();
        visibleAfterClose = window->isVisible();
        correctClickable = button("cmdCorrect")->isEnabled();
        QTest::mouseClick(button("cmdCorrect"), Qt::LeftButton);
    };
    click("cmdCorrect");
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_FALSE(correctClickable);
    EXPECT_EQ(dialogs->count("settings"), 1);
    EXPECT_TRUE(fs::exists(out / "flur_x.shp"));
    // Afterwards closing works.
    window->close();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, FailedSettingWritesAreReportedAndTheWindowGoesOn) {
    blockSettings();
    open();
    add({path(src / "a.shp")});
    edit("txtAusgabeVerzeichnis")->setText(qs(out));
    EXPECT_EQ(list()->count(), 1);
    EXPECT_TRUE(button("cmdCorrect")->isEnabled());
    const std::string failed = " (Registry-Eintrag konnte nicht geschrieben werden.) in procedure ";
    const auto texts = dialogs->messageTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "Eintrag ActualVersion in Registry mit Fehler 1 fehlgeschlagen.");
    EXPECT_EQ(texts[1], "Error 1" + failed + "ChooseShapeFile of Modul modCheckImportShapefile");
    EXPECT_EQ(texts[2], "Error 1" + failed + "txtAusgabeVerzeichnis_Change of Formular frmDummy");
}

TEST_F(MainWindowTest, OutputFolderButtonStartsInTheRememberedFolder) {
    open();
    add({path(src / "a.shp")});
    dialogs->folders.push_back(path(out));
    click("cmdOutDir");
    EXPECT_EQ(edit("txtAusgabeVerzeichnis")->text(), qs(out));
    EXPECT_TRUE(button("cmdCorrect")->isEnabled());
    ASSERT_EQ(dialogs->count("folder"), 1);
    const auto& asked = dialogs->asked.back();
    EXPECT_EQ(asked.message.text, "Wählen Sie bitte das Verzeichnis aus, \nin dem die korrigierten ShapeFiles "
                                  "gespeichert werden sollen.");
    EXPECT_EQ(asked.startFolder, path(home));  // nothing remembered: the program folder

    // Cancel leaves the folder; the next choice starts where the last one ended.
    click("cmdOutDir");
    EXPECT_EQ(edit("txtAusgabeVerzeichnis")->text(), qs(out));
    EXPECT_EQ(dialogs->asked.back().startFolder, path(out));
}

TEST_F(MainWindowTest, HelpWithoutItsFileSaysSo) {
    open();
    trigger("mn01PolyvetHelp");
    ASSERT_EQ(dialogs->count("message"), 1);
    EXPECT_EQ(dialogs->asked[0].message.text, "Die Hilfedatei plyvet.html befindet sich nicht im "
                                              "Anwendungsverzeichnis (" + path(appFolder) + ").");
    EXPECT_EQ(dialogs->asked[0].message.title, "Warnung");
    EXPECT_TRUE(opened.empty());
}

TEST_F(MainWindowTest, HelpOpensTheFileBesideTheProgram) {
    writeFile(appFolder / "plyvet.html", "<html></html>");
    open();
    trigger("mn01PolyvetHelp");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(qs(appFolder / "plyvet.html")));
    EXPECT_TRUE(dialogs->asked.empty());

    openSucceeds = false;
    trigger("mn01PolyvetHelp");
    EXPECT_EQ(dialogs->messageTexts(), std::vector<std::string>{"Die Hilfedatei " + path(appFolder / "plyvet.html") +
                                                                " konnte nicht geöffnet werden."});
}

TEST(HelpFile, BuiltBesideTheProgram) {
    const fs::path help = gui::ShellEnvironment::standard().applicationFolder / "plyvet.html";
    ASSERT_TRUE(fs::is_regular_file(help)) << help;
    const std::string html = readFile(help);
    EXPECT_NE(html.find("<html lang=\"de\">"), std::string::npos);
    EXPECT_NE(html.find("Polyvet-Hilfe"), std::string::npos);
}

TEST_F(MainWindowTest, LogButtonOpensTheProgramLog) {
    open();
    add({path(src / "fehlt.shp")});
    edit("txtAusgabeVerzeichnis")->setText(qs(out));
    click("cmdCorrect");
    ASSERT_TRUE(button("cmdGetLogfile")->isEnabled());
    click("cmdGetLogfile");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(qs(home / "plyvet.log")));
    // Adding files disables it again.
    add({path(src / "b.shp")});
    EXPECT_FALSE(button("cmdGetLogfile")->isEnabled());
}

TEST_F(MainWindowTest, SettingsMenuChangesAndResetsTheFlags) {
    open();
    RunSettings answer;
    answer.overwriteExistingShapeFiles = true;
    answer.putResultInSourceFolder = true;
    dialogs->settingsAnswers.push_back(answer);
    trigger("umn01EinstAendern");
    EXPECT_TRUE(window->runSettings().overwriteExistingShapeFiles);
    EXPECT_TRUE(window->runSettings().putResultInSourceFolder);
    EXPECT_TRUE(window->runSettings().settingsConfirmed);

    trigger("umn01Reset");
    EXPECT_FALSE(window->runSettings().overwriteExistingShapeFiles);
    EXPECT_FALSE(window->runSettings().ignoreLongFileNames);
    EXPECT_FALSE(window->runSettings().putResultInSourceFolder);
    EXPECT_FALSE(window->runSettings().settingsConfirmed);
}

TEST_F(MainWindowTest, InformationWindowsOpenFromTheMenusAndCloseWithIt) {
    open();
    window->show();
    trigger("umn01ProgrammInfo");
    trigger("umn01News");
    auto* info = window->findChild<gui::InfoWindow*>();
    auto* news = window->findChild<gui::NewsWindow*>();
    ASSERT_NE(info, nullptr);
    ASSERT_NE(news, nullptr);
    EXPECT_TRUE(info->isVisible());
    EXPECT_TRUE(news->isVisible());
    // A second click shows the same window again.
    trigger("umn01News");
    EXPECT_EQ(window->findChildren<gui::NewsWindow*>().size(), 1);

    trigger("umn01Exit");
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(info->isVisible());
    EXPECT_FALSE(news->isVisible());
}

}  // namespace
}  // namespace plyvet::test
