#pragma once
// Fixture of the widget tests: a temporary program folder, application
// folder and settings store, a German locale, and the main window with
// scripted dialogs.

#include "app/gui/main_window.h"
#include "scripted_dialogs.h"
#include "support/testsupport.h"

#include <QLocale>
#include <QSettings>
#include <QString>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace plyvet::test {

inline QString qs(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }
inline QString qs(const std::string& s) { return QString::fromStdString(s); }

class GuiFixture : public ::testing::Test {
protected:
    TempDir dir{"plyvet-gui"};
    std::filesystem::path config = dir / "config";
    std::filesystem::path appFolder = dir / "programm";
    std::filesystem::path home = dir / "home";
    std::vector<QUrl> opened;  // what the window handed to the system
    bool openSucceeds = true;
    ScriptedDialogs* dialogs = nullptr;  // owned by the window
    std::unique_ptr<gui::MainWindow> window;

    void SetUp() override {
        std::filesystem::create_directories(appFolder);
        std::filesystem::create_directories(home);
        pointSettingsAt(config);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    void TearDown() override {
        window.reset();
        QLocale::setDefault(QLocale::c());
    }

    static void pointSettingsAt(const std::filesystem::path& folder) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, qs(folder));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, qs(folder));
    }
    // A store that cannot be written: a file stands where its folder should be.
    void blockSettings() {
        std::filesystem::create_directories(dir / "blocked");
        writeFile(dir / "blocked" / "Tarsel", "");
        pointSettingsAt(dir / "blocked");
    }
    // The settings file as the store writes it.
    std::filesystem::path settingsFile() const { return config / "Tarsel" / "Polyvet.conf"; }

    // A value written straight into the store, as an earlier program run would have.
    static void storeValue(const char* name, const QString& value) {
        QSettings s(QStringLiteral("Tarsel"), QStringLiteral("Polyvet"));
        s.setValue(QLatin1String(name), value);
        s.sync();
    }
    static QString storedValue(const char* name) {
        QSettings s(QStringLiteral("Tarsel"), QStringLiteral("Polyvet"));
        return s.value(QLatin1String(name)).toString();
    }

    gui::ShellEnvironment environment() {
        gui::ShellEnvironment env;
        env.applicationFolder = appFolder;
        env.programFolder = home;
        env.versionMajor = 2;
        env.versionMinor = 1;
        env.versionRevision = 7;
        env.openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return openSucceeds;
        };
        return env;
    }
    gui::MainWindow& open() {
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        window = std::make_unique<gui::MainWindow>(environment(), std::move(scripted));
        return *window;
    }

    template <class T>
    T* find(const char* name) const {
        T* widget = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
};

}  // namespace plyvet::test
