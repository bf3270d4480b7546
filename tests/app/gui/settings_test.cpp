// The settings store and the settings dialog frmShapefileInfo.

#include "app/gui/settings_dialog.h"
#include "app/gui/settings_store.h"
#include "gui_fixture.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace plyvet::test {
namespace {

namespace fs = std::filesystem;
using gui::SettingsDialog;
using gui::SettingsStore;
namespace setting = gui::setting;

class Settings : public GuiFixture {
protected:
    std::vector<QString> reports;

    std::unique_ptr<SettingsDialog> dialogFor(RunSettings& s, SettingsStore& store) {
        auto d = std::make_unique<SettingsDialog>(s, store, [this](const QString& t) { reports.push_back(t); });
        d->show();
        return d;
    }
    static QCheckBox* box(QWidget& w, const char* name) { return w.findChild<QCheckBox*>(QLatin1String(name)); }
    static void click(QWidget& w, const char* name) {
        QTest::mouseClick(w.findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
    }
};

TEST_F(Settings, MissingValuesReadAsFalse) {
    SettingsStore store;
    const RunSettings s = store.runSettings();
    EXPECT_FALSE(s.overwriteExistingShapeFiles);
    EXPECT_FALSE(s.ignoreLongFileNames);
    EXPECT_FALSE(s.putResultInSourceFolder);
    EXPECT_FALSE(s.settingsConfirmed);
    EXPECT_EQ(store.text(setting::kLastDirectoryOut), QString());
}

TEST_F(Settings, FlagsAreTheTextsTrueAndFalse) {
    storeValue(setting::kIgnoreLongFileNames, QStringLiteral("True"));
    storeValue(setting::kOverwriteExistingShapeFiles, QStringLiteral("1"));  // not "True": off
    SettingsStore store;
    EXPECT_TRUE(store.runSettings().ignoreLongFileNames);
    EXPECT_FALSE(store.runSettings().overwriteExistingShapeFiles);
    EXPECT_EQ(store.setFlag(setting::kPutResultInSourceFolder, false), 0);
    const std::string file = readFile(settingsFile());
    EXPECT_NE(file.find("PutResultInSourceFolder=False"), std::string::npos) << file;
    EXPECT_NE(file.find("IgnoreLongFileNames=True"), std::string::npos) << file;
}

TEST_F(Settings, FailedWriteReportsACode) {
    // A file where the store's folder should be: nothing can be written.
    blockSettings();
    SettingsStore store;
    EXPECT_NE(store.setText(setting::kLastDirectoryIn, QStringLiteral("/x")), 0);
}

TEST_F(Settings, DialogShowsTheRunSettings) {
    SettingsStore store;
    RunSettings s;
    s.ignoreLongFileNames = true;
    s.putResultInSourceFolder = true;
    auto d = dialogFor(s, store);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Einstellungen"));
    EXPECT_FALSE(box(*d, "chkOverwriteExistingShapeFiles")->isChecked());
    EXPECT_TRUE(box(*d, "chkIgnoreLongFileNames")->isChecked());
    EXPECT_TRUE(box(*d, "chkPutResultInSourceFolder")->isChecked());
    EXPECT_FALSE(box(*d, "chkSaveSettings")->isChecked());
    EXPECT_EQ(box(*d, "chkSaveSettings")->text(), QStringLiteral("Aktuelle Einstellungen permanent speichern"));
    const auto* explanation = d->findChild<QPlainTextEdit*>(QStringLiteral("txtIgnoreLongFileNames"));
    ASSERT_NE(explanation, nullptr);
    EXPECT_TRUE(explanation->isReadOnly());
    EXPECT_EQ(explanation->toPlainText(), QStringLiteral("Falls Ausgangs-Shapefilenamen zu lang sind\n"
                                                         "(Empfohlen werden höchstens 8 Zeichen!)\n"
                                                         "Dateinamen trotzdem beibehalten!"));
}

TEST_F(Settings, OkWithSaveWritesAllThree) {
    SettingsStore store;
    RunSettings s;
    s.continueRun = false;
    auto d = dialogFor(s, store);
    box(*d, "chkOverwriteExistingShapeFiles")->setChecked(true);
    box(*d, "chkSaveSettings")->setChecked(true);
    click(*d, "cmdOK");
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_TRUE(s.overwriteExistingShapeFiles);
    EXPECT_TRUE(s.settingsConfirmed);
    EXPECT_TRUE(s.continueRun);
    EXPECT_FALSE(box(*d, "chkSaveSettings")->isChecked());  // cleared for next time
    EXPECT_EQ(storedValue(setting::kOverwriteExistingShapeFiles), QStringLiteral("True"));
    EXPECT_EQ(storedValue(setting::kIgnoreLongFileNames), QStringLiteral("False"));
    EXPECT_EQ(storedValue(setting::kPutResultInSourceFolder), QStringLiteral("False"));
    EXPECT_TRUE(reports.empty());
}

TEST_F(Settings, OkWithoutSaveKeepsTheStore) {
    storeValue(setting::kIgnoreLongFileNames, QStringLiteral("False"));
    SettingsStore store;
    RunSettings s;
    auto d = dialogFor(s, store);
    box(*d, "chkIgnoreLongFileNames")->setChecked(true);
    click(*d, "cmdOK");
    EXPECT_TRUE(s.ignoreLongFileNames);
    EXPECT_EQ(storedValue(setting::kIgnoreLongFileNames), QStringLiteral("False"));
    EXPECT_TRUE(storedValue(setting::kOverwriteExistingShapeFiles).isEmpty());
}

TEST_F(Settings, CancelKeepsTheSettingsAndStopsTheRun) {
    SettingsStore store;
    RunSettings s;
    auto d = dialogFor(s, store);
    box(*d, "chkPutResultInSourceFolder")->setChecked(true);
    box(*d, "chkSaveSettings")->setChecked(true);
    click(*d, "cmdCancel");
    EXPECT_EQ(d->result(), QDialog::Rejected);
    EXPECT_FALSE(s.putResultInSourceFolder);
    EXPECT_TRUE(s.settingsConfirmed);
    EXPECT_FALSE(s.continueRun);
    EXPECT_FALSE(store.contains(setting::kPutResultInSourceFolder));
}

TEST_F(Settings, FailedSaveReportsAndStaysOpen) {
    blockSettings();
    SettingsStore store;
    RunSettings s;
    auto d = dialogFor(s, store);
    box(*d, "chkSaveSettings")->setChecked(true);
    click(*d, "cmdOK");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].startsWith(QStringLiteral("Error ")));
    EXPECT_TRUE(reports[0].endsWith(QStringLiteral(
        " (Registry-Eintrag konnte nicht geschrieben werden.) in procedure cmdOK_Click of Formular frmShapefileInfo")))
        << reports[0].toStdString();
    EXPECT_TRUE(d->isVisible());
    // Without the save box the settings still hold for this run.
    box(*d, "chkSaveSettings")->setChecked(false);
    click(*d, "cmdOK");
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(reports.size(), 1u);
}

}  // namespace
}  // namespace plyvet::test
