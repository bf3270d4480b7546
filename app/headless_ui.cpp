#include "app/headless_ui.h"

#include "pipeline/text.h"

#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace plyvet::app {

namespace {

// Message texts use CR LF (and lone CR) between lines; a terminal wants LF.
std::string terminalText(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

HeadlessUi::HeadlessUi(std::FILE* out, std::vector<Rename> renames)
    : out_(out), terminal_(::isatty(::fileno(out)) != 0), renames_(std::move(renames)) {}

void HeadlessUi::endProgressLine() {
    if (progressShown_) {
        std::fputc('\n', out_);
        progressShown_ = false;
    }
}

void HeadlessUi::print(std::string_view title, std::string_view text) {
    endProgressLine();
    std::fprintf(out_, "plyvet: %s: %s\n", std::string(title).c_str(), terminalText(text).c_str());
    std::fflush(out_);
}

Answer HeadlessUi::message(const Message& m) {
    print(m.title, m.text);
    switch (m.buttons) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::OkCancel:
            print(m.title, "(keine Rückfrage im Kommandozeilenbetrieb: Abbrechen)");
            return Answer::Cancel;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            print(m.title, "(keine Rückfrage im Kommandozeilenbetrieb: Nein)");
            return Answer::No;
    }
    return Answer::Cancel;
}

std::string HeadlessUi::inputBox(std::string_view prompt, std::string_view title, std::string_view) {
    print(title, prompt);
    print(title, "(keine Eingabe im Kommandozeilenbetrieb: abgebrochen; --overwrite überschreibt vorhandene "
                 "Ausgaben)");
    return {};
}

bool HeadlessUi::settingsDialog(RunSettings&) { return true; }

bool HeadlessUi::fieldNameDialog(std::vector<FieldNameRow>& rows, std::string_view, std::string& editText) {
    // The answers are the --rename options. The dialog would be shown again
    // after a refused name; the same options would be refused again, so the
    // second showing ends the file instead of looping.
    if (++fieldDialogs_ > 1) {
        print("Feldnamen", "Die mit --rename angegebenen Feldnamen wurden nicht angenommen.");
        editText = rows.empty() ? std::string() : rows.front().newName;
        return false;
    }
    for (auto& row : rows) {
        bool answered = false;
        for (const auto& [oldName, newName] : renames_) {
            if (text::equalsIgnoreCase(oldName, row.oldName)) {
                row.newName = newName;
                answered = true;
            }
        }
        if (!answered) {
            print("Feldnamen", "Kein neuer Name für das Feld " + row.oldName + " (Option --rename " + row.oldName +
                                   "=NEU).");
            editText = row.oldName;
            return false;
        }
    }
    return true;
}

std::string HeadlessUi::chooseOutputFolder() { return {}; }

std::string HeadlessUi::chooseSaveFile(std::string_view title, std::string_view) {
    std::error_code ec;
    if (!saveFile_.empty() && !overwriteSaveFile_ && std::filesystem::exists(saveFile_, ec)) {
        print(title, "Shapefile " + saveFile_ + " bereits vorhanden (--overwrite überschreibt vorhandene Ausgaben).");
        return {};
    }
    return saveFile_;
}

void HeadlessUi::setStatus(std::string_view text) { status_ = text; }

void HeadlessUi::setStep(std::string_view) {}

void HeadlessUi::progressRange(int, int maximum) { maximum_ = maximum; }

void HeadlessUi::progressValue(int value) {
    if (!terminal_ || maximum_ <= 0) return;
    if (value <= 0) {
        endProgressLine();
        return;
    }
    // One update per percent keeps a million-record file from flooding the terminal.
    const int step = maximum_ >= 100 ? maximum_ / 100 : 1;
    if (value % step != 0 && value != maximum_) return;
    std::fprintf(out_, "\r%s %d/%d", status_.c_str(), value, maximum_);
    std::fflush(out_);
    progressShown_ = true;
}

}  // namespace plyvet::app
