#pragma once
// A Ui for tests: answers come from queues the test fills, and every
// question and message is recorded so a test can assert its exact text.

#include "pipeline/ui.h"

#include <deque>
#include <string>
#include <vector>

namespace plyvet::test {

class ScriptedUi : public Ui {
public:
    struct Asked {
        std::string kind;  // "message", "input", "settings", "folder", "save"
        Message message;   // text and title (for input boxes the prompt and title,
                           // for the save-file choice the title and the filter)
        std::string defaultText;
    };

    std::deque<Answer> answers;          // for message boxes with a choice; Ok boxes need none
    std::deque<std::string> inputs;      // for input boxes; empty queue answers Cancel
    std::deque<bool> settingsAnswers;    // for the settings dialog; empty queue confirms
    std::deque<std::string> folders;     // for the folder choice; empty queue cancels
    std::deque<std::string> saveFiles;   // for the save-file choice; empty queue cancels
    // For the field-name dialog: each entry answers one showing with the new
    // names of its rows, in order; an empty queue answers "abbrechen".
    std::deque<std::vector<std::string>> fieldNames;
    std::string fieldNameEditText;       // what the edit box holds when cancelled
    std::vector<Asked> asked;
    std::vector<std::string> statuses;
    int pumps = 0;
    int lastProgress = -1;
    int progressMaximum = -1;

    Answer message(const Message& m) override {
        asked.push_back({"message", m, {}});
        if (m.buttons == Buttons::Ok) return Answer::Ok;
        if (answers.empty()) return m.buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::string inputBox(std::string_view prompt, std::string_view title, std::string_view def) override {
        asked.push_back({"input", {std::string(prompt), std::string(title)}, std::string(def)});
        if (inputs.empty()) return {};
        std::string s = inputs.front();
        inputs.pop_front();
        return s;
    }
    bool settingsDialog(RunSettings&) override {
        asked.push_back({"settings", {}, {}});
        if (settingsAnswers.empty()) return true;
        const bool b = settingsAnswers.front();
        settingsAnswers.pop_front();
        return b;
    }
    bool fieldNameDialog(std::vector<FieldNameRow>& rows, std::string_view instruction,
                         std::string& editText) override {
        asked.push_back({"fields", {std::string(instruction), ""}, {}});
        if (fieldNames.empty()) {
            editText = fieldNameEditText;
            return false;
        }
        const auto names = fieldNames.front();
        fieldNames.pop_front();
        for (std::size_t i = 0; i < rows.size() && i < names.size(); ++i) rows[i].newName = names[i];
        return true;
    }
    std::string chooseOutputFolder() override {
        asked.push_back({"folder", {}, {}});
        if (folders.empty()) return {};
        std::string s = folders.front();
        folders.pop_front();
        return s;
    }
    std::string chooseSaveFile(std::string_view title, std::string_view filter) override {
        asked.push_back({"save", {std::string(title), std::string(filter)}, {}});
        if (saveFiles.empty()) return {};
        std::string s = saveFiles.front();
        saveFiles.pop_front();
        return s;
    }
    void setStatus(std::string_view t) override { statuses.emplace_back(t); }
    void setStep(std::string_view) override {}
    void progressRange(int, int maximum) override { progressMaximum = maximum; }
    void progressValue(int v) override { lastProgress = v; }
    void pumpEvents() override { ++pumps; }

    // Texts of all message boxes shown, in order.
    std::vector<std::string> messageTexts() const {
        std::vector<std::string> out;
        for (const auto& a : asked) {
            if (a.kind == "message") out.push_back(a.message.text);
        }
        return out;
    }
};

}  // namespace plyvet::test
