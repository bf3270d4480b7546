// Screenshots of the shell's windows on the offscreen platform, for a look
// at their layout: plyvet-gui-shots [FOLDER] (default /tmp/plyvet-shots).

#include "app/gui/field_name_dialog.h"
#include "app/gui/info_windows.h"
#include "app/gui/main_window.h"
#include "app/gui/settings_dialog.h"
#include "scripted_dialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

bool save(QWidget& w, const QString& folder, const char* name) {
    w.show();
    QApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + QLatin1String(name);
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", path.toStdString().c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/plyvet-shots");
    std::filesystem::create_directories(folder.toStdString());
    QTemporaryDir temp;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, temp.path());
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    using namespace plyvet;
    gui::ShellEnvironment env;
    env.applicationFolder = temp.path().toStdString();
    env.programFolder = temp.path().toStdString();
    env.versionMajor = 1;
    env.openUrl = [](const QUrl&) { return true; };
    auto scripted = std::make_unique<test::ScriptedDialogs>();
    auto* dialogs = scripted.get();
    gui::MainWindow window(env, std::move(scripted));
    bool ok = save(window, folder, "main_window_empty.png");
    dialogs->files.push_back(std::vector<std::string>{"/daten/flur/flur12.shp", "/daten/flur/gemarkung_ost.shp",
                                                      "/daten/flur/wald_x.shp"});
    window.findChild<QPushButton*>(QStringLiteral("cmdAddShapeFiles"))->click();
    window.findChild<QLineEdit*>(QStringLiteral("txtAusgabeVerzeichnis"))->setText(temp.path());
    window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))->setValue(40);
    // What a run shows in its status lines.
    window.findChild<QLabel*>(QStringLiteral("lblStatus"))
        ->setText(QStringLiteral("Bitte warten. Korrektur Selbstüberschneidung u. Laufrichtung flur12.shp."));
    ok = save(window, folder, "main_window.png") && ok;
    window.hide();

    // Only corrected files listed: the three layer commands can run.
    auto layerScripted = std::make_unique<test::ScriptedDialogs>();
    layerScripted->files.push_back(std::vector<std::string>{"/daten/flur/flur12_x.shp", "/daten/flur/wald_x.shp"});
    gui::MainWindow layerWindow(env, std::move(layerScripted));
    layerWindow.findChild<QPushButton*>(QStringLiteral("cmdAddShapeFiles"))->click();
    layerWindow.findChild<QLineEdit*>(QStringLiteral("txtAusgabeVerzeichnis"))->setText(temp.path());
    layerWindow.findChild<QLabel*>(QStringLiteral("lblStatus"))
        ->setText(QStringLiteral("Shapefiles wurden erfolgreich gemerget."));
    ok = save(layerWindow, folder, "main_window_layer_commands.png") && ok;
    layerWindow.hide();

    RunSettings settings;
    settings.ignoreLongFileNames = true;
    gui::SettingsStore store;
    gui::SettingsDialog settingsDialog(settings, store, [](const QString&) {});
    ok = save(settingsDialog, folder, "settings_dialog.png") && ok;

    gui::FieldNameDialog fieldNames;
    fieldNames.load({{"FLURSTUECKSNUMMER", ""}, {"EIGENTUEMERART", "EIGENTART"}, {"GEMARKUNGSNAME", ""}},
                    QStringLiteral("Markieren Sie bitte die zu ändernden Feldnamen in der Liste. \r\n"
                                   "Ändern Sie den in die Textbox kopierten Feldnamen auf höchstens 10 Zeichen.\r\n"
                                   "Zur Übernahme der Änderung betätigen Sie bitte den Button 'Feldname ändern'.\r\n"
                                   "Wenn alle Namen geändert wurden, bitte den ok-Button betätigen."));
    ok = save(fieldNames, folder, "field_name_dialog.png") && ok;

    gui::NewsWindow news;
    ok = save(news, folder, "news_window.png") && ok;
    gui::InfoWindow info(
        gui::ProgramInfo{"/usr/bin", QStringLiteral("1.0.0"), "/home/anna/.local/share/Tarsel/Polyvet"});
    ok = save(info, folder, "info_window.png") && ok;
    return ok ? 0 : 1;
}
