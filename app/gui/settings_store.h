#pragma once
// The program's settings under "Tarsel"/"Polyvet" (the registry key on
// Windows, an INI file under ~/.config/Tarsel/ elsewhere). Every value is
// stored as text; flags as "True" or "False".

#include "pipeline/run_options.h"

#include <QSettings>
#include <QString>

namespace plyvet::gui {

namespace setting {
inline constexpr const char* kLastDirectoryIn = "LastDirectoryIn";
inline constexpr const char* kLastDirectoryOut = "LastDirectoryOut";
inline constexpr const char* kActualVersion = "ActualVersion";
inline constexpr const char* kOverwriteExistingShapeFiles = "OverwriteExistingShapeFiles";
inline constexpr const char* kIgnoreLongFileNames = "IgnoreLongFileNames";
inline constexpr const char* kPutResultInSourceFolder = "PutResultInSourceFolder";
}  // namespace setting

// "Registry-Eintrag konnte nicht geschrieben werden.": what a failed write raises.
inline constexpr const char* kRegistryWriteFailed = "Registry-Eintrag konnte nicht geschrieben werden.";

class SettingsStore {
public:
    SettingsStore();

    // The stored text; `fallback` when the value is missing.
    QString text(const char* name, const QString& fallback = {}) const;
    bool contains(const char* name) const;
    // A flag: true only for a stored "True"; missing or anything else is false.
    bool flag(const char* name) const;

    // Write and flush one value. 0 on success, else the store's error code
    // (1 no access to the file, 2 the file is damaged).
    int setText(const char* name, const QString& value);
    int setFlag(const char* name, bool value);

    // The three run settings as stored; the session flags start afresh.
    RunSettings runSettings() const;

private:
    QSettings settings_;
};

}  // namespace plyvet::gui
