#include "app/gui/settings_store.h"

namespace plyvet::gui {

SettingsStore::SettingsStore() : settings_(QStringLiteral("Tarsel"), QStringLiteral("Polyvet")) {}

QString SettingsStore::text(const char* name, const QString& fallback) const {
    return settings_.value(QLatin1String(name), fallback).toString();
}

bool SettingsStore::contains(const char* name) const { return settings_.contains(QLatin1String(name)); }

bool SettingsStore::flag(const char* name) const {
    return text(name).compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
}

int SettingsStore::setText(const char* name, const QString& value) {
    settings_.setValue(QLatin1String(name), value);
    settings_.sync();
    return static_cast<int>(settings_.status());
}

int SettingsStore::setFlag(const char* name, bool value) {
    return setText(name, value ? QStringLiteral("True") : QStringLiteral("False"));
}

RunSettings SettingsStore::runSettings() const {
    RunSettings s;
    s.overwriteExistingShapeFiles = flag(setting::kOverwriteExistingShapeFiles);
    s.ignoreLongFileNames = flag(setting::kIgnoreLongFileNames);
    s.putResultInSourceFolder = flag(setting::kPutResultInSourceFolder);
    return s;
}

}  // namespace plyvet::gui
