#pragma once
// The Ui of the headless commands: messages go to stderr; a question
// that no option answers gets the answer that keeps data safe (No, Cancel,
// no new name), and says so.

#include "pipeline/ui.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace plyvet::app {

class HeadlessUi : public Ui {
public:
    using Rename = std::pair<std::string, std::string>;  // old field name, new field name

    explicit HeadlessUi(std::FILE* out = stderr, std::vector<Rename> renames = {});

    Answer message(const Message& message) override;
    std::string inputBox(std::string_view prompt, std::string_view title, std::string_view defaultText) override;
    bool settingsDialog(RunSettings& settings) override;
    bool fieldNameDialog(std::vector<FieldNameRow>& rows, std::string_view instruction,
                         std::string& editText) override;
    std::string chooseOutputFolder() override;
    // The --output path of the merge command. An existing file is replaced
    // only with --overwrite; otherwise the choice is cancelled, and says why.
    std::string chooseSaveFile(std::string_view title, std::string_view filter) override;
    void setSaveFile(std::string path, bool overwrite) {
        saveFile_ = std::move(path);
        overwriteSaveFile_ = overwrite;
    }
    void setStatus(std::string_view text) override;
    void setStep(std::string_view text) override;
    void progressRange(int minimum, int maximum) override;
    void progressValue(int value) override;
    void pumpEvents() override {}

private:
    void print(std::string_view title, std::string_view text);
    void endProgressLine();

    std::FILE* out_;
    bool terminal_;
    bool progressShown_ = false;
    int maximum_ = 0;
    std::string status_;
    std::vector<Rename> renames_;
    int fieldDialogs_ = 0;
    std::string saveFile_;
    bool overwriteSaveFile_ = false;
};

}  // namespace plyvet::app
