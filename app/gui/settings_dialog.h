#pragma once
// frmShapefileInfo, the settings dialog ("Einstellungen"): the three run
// settings, and whether to keep them beyond this program run.
//
// OK takes the boxes into the run settings and, with "Aktuelle
// Einstellungen permanent speichern" ticked, writes them to the settings
// store; Abbrechen leaves them. Either way the dialog counts as answered
// (settingsConfirmed), and continueRun says which button it was.

#include "app/gui/settings_store.h"
#include "pipeline/run_options.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace plyvet::gui {

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    // `report` shows an error message (a message box unless a test replaces it).
    SettingsDialog(RunSettings& settings, SettingsStore& store, std::function<void(const QString&)> report,
                   QWidget* parent = nullptr);

private:
    void cmdOKClick();
    void cmdCancelClick();

    RunSettings& settings_;
    SettingsStore& store_;
    std::function<void(const QString&)> report_;
    QCheckBox* chkOverwrite_ = nullptr;
    QCheckBox* chkIgnoreLongNames_ = nullptr;
    QPlainTextEdit* txtIgnoreLongNames_ = nullptr;
    QCheckBox* chkSourceFolder_ = nullptr;
    QCheckBox* chkSave_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};

}  // namespace plyvet::gui
