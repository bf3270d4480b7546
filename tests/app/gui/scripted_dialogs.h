#pragma once
// Dialogs for the window tests: answers come from queues the test fills,
// and every question is recorded with its exact text, title and buttons.

#include "app/gui/dialogs.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plyvet::test {

class ScriptedDialogs : public gui::Dialogs {
public:
    struct Asked {
        std::string kind;  // "message", "input", "settings", "fields", "files", "folder", "save"
        Message message;   // text/prompt, title, buttons, icon, default button
        std::string startFolder;
    };

    std::deque<Answer> answers;                                   // message boxes with a choice; empty: No/Cancel
    std::deque<std::string> inputs;                               // input boxes; empty: Cancel
    std::deque<std::optional<RunSettings>> settingsAnswers;       // a value confirms with it; nullopt cancels;
                                                                  // empty queue confirms unchanged
    std::deque<std::vector<std::string>> fieldNames;              // new names per showing; empty: abbrechen
    std::deque<std::optional<std::vector<std::string>>> files;    // file choices; empty: cancel
    std::deque<std::string> folders;                              // folder choices; empty: cancel
    std::deque<std::string> saveFiles;                            // save-file choices; empty: cancel
    std::vector<Asked> asked;
    std::function<void()> whileSettingsShown;  // runs inside the settings dialog, as a click there would
    std::function<void()> whileSaveFileShown;  // runs inside the save-file dialog

    Answer message(const Message& m) override {
        asked.push_back({"message", m, {}});
        if (m.buttons == Buttons::Ok) return Answer::Ok;
        if (answers.empty()) return m.buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::string inputBox(std::string_view prompt, std::string_view title, std::string_view) override {
        asked.push_back({"input", {std::string(prompt), std::string(title)}, {}});
        return pop(inputs).value_or(std::string());
    }
    bool settingsDialog(RunSettings& settings) override {
        asked.push_back({"settings", {}, {}});
        if (whileSettingsShown) whileSettingsShown();
        std::optional<RunSettings> answer = settings;
        if (!settingsAnswers.empty()) {
            answer = settingsAnswers.front();
            settingsAnswers.pop_front();
        }
        settings.settingsConfirmed = true;
        settings.continueRun = answer.has_value();
        if (!answer) return false;
        settings.overwriteExistingShapeFiles = answer->overwriteExistingShapeFiles;
        settings.ignoreLongFileNames = answer->ignoreLongFileNames;
        settings.putResultInSourceFolder = answer->putResultInSourceFolder;
        return true;
    }
    bool fieldNameDialog(std::vector<Ui::FieldNameRow>& rows, std::string_view instruction,
                         std::string& editText) override {
        asked.push_back({"fields", {std::string(instruction)}, {}});
        const auto names = pop(fieldNames);
        if (!names) {
            editText.clear();
            return false;
        }
        for (std::size_t i = 0; i < rows.size() && i < names->size(); ++i) rows[i].newName = (*names)[i];
        return true;
    }
    std::optional<std::vector<std::string>> openShapefiles(std::string_view prompt,
                                                           const std::string& startFolder) override {
        asked.push_back({"files", {std::string(prompt)}, startFolder});
        if (files.empty()) return std::nullopt;
        auto f = files.front();
        files.pop_front();
        return f;
    }
    std::string chooseFolder(std::string_view prompt, const std::string& startFolder) override {
        asked.push_back({"folder", {std::string(prompt)}, startFolder});
        return pop(folders).value_or(std::string());
    }

    // Recorded with the filter as its text and the dialog's title.
    std::string chooseSaveFile(std::string_view title, std::string_view filter,
                               const std::string& startFolder) override {
        asked.push_back({"save", {std::string(filter), std::string(title)}, startFolder});
        if (whileSaveFileShown) whileSaveFileShown();
        return pop(saveFiles).value_or(std::string());
    }

    std::vector<std::string> messageTexts() const {
        std::vector<std::string> out;
        for (const auto& a : asked) {
            if (a.kind == "message") out.push_back(a.message.text);
        }
        return out;
    }
    int count(std::string_view kind) const {
        int n = 0;
        for (const auto& a : asked) n += a.kind == kind ? 1 : 0;
        return n;
    }

private:
    template <class T>
    static std::optional<T> pop(std::deque<T>& queue) {
        if (queue.empty()) return std::nullopt;
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
};

}  // namespace plyvet::test
