#pragma once
// The modal parts of the window: every place where the program waits for
// the person. The window calls them through this interface so that tests
// can answer them from a script; QtDialogs shows the real dialogs.

#include "pipeline/run_options.h"
#include "pipeline/ui.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::gui {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual Answer message(const Message& message) = 0;
    // Cancel answers an empty text.
    virtual std::string inputBox(std::string_view prompt, std::string_view title, std::string_view defaultText) = 0;
    // The settings dialog; true when confirmed. It updates `settings` itself.
    virtual bool settingsDialog(RunSettings& settings) = 0;
    // The field-name dialog; see Ui::fieldNameDialog.
    virtual bool fieldNameDialog(std::vector<Ui::FieldNameRow>& rows, std::string_view instruction,
                                 std::string& editText) = 0;
    // A file-open dialog for one or several shapefiles, starting in
    // `startFolder` (empty: wherever the dialog likes). The chosen full
    // paths; std::nullopt when cancelled.
    virtual std::optional<std::vector<std::string>> openShapefiles(std::string_view prompt,
                                                                   const std::string& startFolder) = 0;
    // A folder choice starting in `startFolder`; empty when cancelled.
    virtual std::string chooseFolder(std::string_view prompt, const std::string& startFolder) = 0;
    // A save-file choice (see Ui::chooseSaveFile) starting in `startFolder`;
    // empty when cancelled, which is also the answer of dialogs that have none.
    virtual std::string chooseSaveFile(std::string_view /*title*/, std::string_view /*filter*/,
                                       const std::string& /*startFolder*/) {
        return {};
    }
};

}  // namespace plyvet::gui
