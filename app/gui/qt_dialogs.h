#pragma once
// The real modal dialogs: message boxes, input box, settings dialog,
// field-name dialog, file and folder choice.

#include "app/gui/dialogs.h"
#include "app/gui/settings_store.h"

class QWidget;

namespace plyvet::gui {

class QtDialogs : public Dialogs {
public:
    QtDialogs(QWidget* parent, SettingsStore& store) : parent_(parent), store_(store) {}

    Answer message(const Message& message) override;
    std::string inputBox(std::string_view prompt, std::string_view title, std::string_view defaultText) override;
    bool settingsDialog(RunSettings& settings) override;
    bool fieldNameDialog(std::vector<Ui::FieldNameRow>& rows, std::string_view instruction,
                         std::string& editText) override;
    std::optional<std::vector<std::string>> openShapefiles(std::string_view prompt,
                                                           const std::string& startFolder) override;
    std::string chooseFolder(std::string_view prompt, const std::string& startFolder) override;
    std::string chooseSaveFile(std::string_view title, std::string_view filter,
                               const std::string& startFolder) override;

private:
    QWidget* parent_;
    SettingsStore& store_;
};

// Message texts separate lines with CR LF or a lone CR; widgets want LF.
QString displayText(std::string_view text);

}  // namespace plyvet::gui
