#pragma once
// Everything the run driver and the layer operations ask a person or show
// them goes through this interface: the GUI answers with widgets, the
// command line from its options, tests with scripted answers.

#include "pipeline/run_options.h"

#include <string>
#include <string_view>
#include <vector>

namespace plyvet {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Answer { Ok, Cancel, Yes, No };

inline constexpr std::string_view kDefaultTitle = "Polyvet";

struct Message {
    std::string text;
    std::string title = std::string(kDefaultTitle);
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    Answer defaultButton = Answer::Ok;
};

class Ui {
public:
    virtual ~Ui() = default;

    // A message box; returns the button pressed.
    virtual Answer message(const Message& message) = 0;

    // An input box with a default text. Cancel returns an empty text, like an
    // emptied box: the callers treat both alike.
    virtual std::string inputBox(std::string_view prompt, std::string_view title,
                                 std::string_view defaultText) = 0;

    // The settings dialog for the three run settings. Returns true when it
    // was confirmed (the settings may have changed), false when cancelled.
    virtual bool settingsDialog(RunSettings& settings) = 0;

    // One row of the field-name dialog: an over-long name and its new name
    // (empty until the user gives one).
    struct FieldNameRow {
        std::string oldName;
        std::string newName;
    };

    // The field-name dialog. The user edits the new names of `rows`; true
    // for "ok", false for "abbrechen". `editText` carries the text of the
    // dialog's edit box out (the refusal message quotes it).
    virtual bool fieldNameDialog(std::vector<FieldNameRow>& rows, std::string_view instruction,
                                 std::string& editText) = 0;

    // The folder choice for the output; empty when cancelled.
    virtual std::string chooseOutputFolder() = 0;

    // A save-file choice titled `title`; `filter` names the kind of file and
    // its pattern as file dialogs show it ("Shapefiles (*.shp)"). The dialog
    // starts in the output folder and asks before an existing file is
    // replaced. The chosen full path; empty when cancelled.
    virtual std::string chooseSaveFile(std::string_view title, std::string_view filter) = 0;

    // Status line (lblStatus) and step line (lblStep).
    virtual void setStatus(std::string_view text) = 0;
    virtual void setStep(std::string_view text) = 0;

    // Progress of the current file: a range, then values within it.
    virtual void progressRange(int minimum, int maximum) = 0;
    virtual void progressValue(int value) = 0;

    // Called once per record: the GUI processes pending window events here.
    virtual void pumpEvents() = 0;
};

}  // namespace plyvet
