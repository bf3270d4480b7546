// "Bericht mit Abbildungen erzeugen" in the correction group, the help file
// of an installed program, and the data folder in the information window.

#include "../../report/xml_lite.h"
#include "app/gui/info_windows.h"
#include "gui_fixture.h"
#include "tools/samplegen/samplegen.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace plyvet::test {
namespace {

namespace fs = std::filesystem;

class ReportOptionTest : public GuiFixture {
protected:
    fs::path src = dir / "quelle";
    fs::path out = dir / "ziel";
    fs::path report = home / gui::MainWindow::kReportFileName;

    void SetUp() override {
        GuiFixture::SetUp();
        fs::create_directories(src);
        fs::create_directories(out);
    }

    // Corrects the demo sample with the report box as given.
    void correctSample(bool withReport) {
        samplegen::write(samplegen::sampleLayer(), src / "flur");
        dialogs->files.push_back(std::vector<std::string>{(src / "flur.shp").string()});
        QTest::mouseClick(find<QPushButton>("cmdAddShapeFiles"), Qt::LeftButton);
        find<QLineEdit>("txtAusgabeVerzeichnis")->setText(qs(out));
        find<QCheckBox>("chkReport")->setChecked(withReport);
        QTest::mouseClick(find<QPushButton>("cmdCorrect"), Qt::LeftButton);
        ASSERT_EQ(window->lastResults().size(), 1u);
        EXPECT_TRUE(window->lastResults()[0].corrected);
    }
};

TEST_F(ReportOptionTest, OffByDefault) {
    open();
    EXPECT_FALSE(find<QCheckBox>("chkReport")->isChecked());
    EXPECT_EQ(find<QLabel>("lblReport")->text(), QStringLiteral("Bericht mit Abbildungen erzeugen"));
    correctSample(false);
    EXPECT_FALSE(fs::exists(report));
    EXPECT_TRUE(opened.empty());
}

TEST_F(ReportOptionTest, TickedWritesAndShowsTheReport) {
    open();
    correctSample(true);
    ASSERT_TRUE(fs::is_regular_file(report));
    const auto doc = xml::parse(readFile(report));
    const auto sections = xml::findAll(doc, [](const xml::Element& e) { return e.hasClass("objekt"); });
    EXPECT_FALSE(sections.empty());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(qs(report)));
    EXPECT_TRUE(dialogs->messageTexts().empty());
    // The box keeps its state for the next run.
    EXPECT_TRUE(find<QCheckBox>("chkReport")->isChecked());
}

TEST_F(ReportOptionTest, UnwritableReportIsToldAndTheRunGoesOn) {
    fs::create_directories(report);  // a folder where the report should go
    open();
    correctSample(true);
    EXPECT_EQ(dialogs->messageTexts(), std::vector<std::string>{"Bericht " + report.string() + " ist ein Verzeichnis."});
    EXPECT_TRUE(fs::exists(out / "flur_x.shp"));
    EXPECT_TRUE(opened.empty());
}

TEST_F(ReportOptionTest, HelpOfAnInstalledProgram) {
    const fs::path help = dir / "share" / "plyvet" / "plyvet.html";
    fs::create_directories(help.parent_path());
    writeFile(help, "<html></html>");
    auto env = environment();
    env.helpFile = help;
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    window = std::make_unique<gui::MainWindow>(env, std::move(scripted));
    find<QAction>("mn01PolyvetHelp")->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(qs(help)));

    fs::remove(help);
    find<QAction>("mn01PolyvetHelp")->trigger();
    EXPECT_EQ(dialogs->messageTexts(),
              std::vector<std::string>{"Die Hilfedatei plyvet.html befindet sich nicht im Anwendungsverzeichnis (" +
                                       help.parent_path().string() + ")."});
}

TEST_F(ReportOptionTest, InformationWindowShowsTheDataFolder) {
    open();
    find<QAction>("umn01ProgrammInfo")->trigger();
    auto* info = window->findChild<gui::InfoWindow*>();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->findChild<QLabel*>(QStringLiteral("lblDataFolder"))->text(),
              QStringLiteral("Protokoll und Fehlerdatenbank: ") + qs(home));
}

}  // namespace
}  // namespace plyvet::test
