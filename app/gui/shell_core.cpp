#include "app/gui/shell_core.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace plyvet::shell {

namespace fs = std::filesystem;

bool validateNum(const NumericField& field, Key key) {
    const std::string_view text = field.text;
    const int length = static_cast<int>(text.size());
    const int start = std::clamp(field.selectionStart, 0, length);
    const int selected = std::clamp(field.selectionLength, 0, length - start);
    const auto at = [](int i) { return static_cast<std::size_t>(i); };
    // What stays of the text once the selection is typed over or deleted.
    const std::string rest = std::string(text.substr(0, at(start))) + std::string(text.substr(at(start + selected)));
    const int integerRoom = std::max(0, field.maxLength - field.decimals - 1);

    switch (key) {
        case Key::Enter: return true;
        case Key::Other: return false;
        case Key::DecimalSeparator:
            if (field.decimals <= 0 || text.find(field.separator) != std::string_view::npos) return false;
            return static_cast<int>(rest.size()) + 1 <= field.maxLength;
        case Key::Digit: {
            if (static_cast<int>(rest.size()) + 1 > field.maxLength) return false;
            const std::size_t sep = rest.find(field.separator);
            if (sep == std::string::npos) return true;
            const int separatorAt = static_cast<int>(sep);
            if (start > separatorAt) {
                const int decimalsUsed = static_cast<int>(rest.size()) - separatorAt - 1;
                return decimalsUsed < field.decimals;
            }
            return separatorAt < integerRoom;
        }
        case Key::Backspace:
        case Key::Delete: {
            std::string_view removed;
            std::string after;
            if (selected > 0) {
                removed = text.substr(at(start), at(selected));
                after = rest;
            } else if (key == Key::Backspace) {
                if (start == 0) return true;
                removed = text.substr(at(start - 1), 1);
                after = std::string(text.substr(0, at(start - 1))) + std::string(text.substr(at(start)));
            } else {
                if (start == length) return true;
                removed = text.substr(at(start), 1);
                after = std::string(text.substr(0, at(start))) + std::string(text.substr(at(start + 1)));
            }
            if (removed.find(field.separator) == std::string_view::npos) return true;
            // Without the separator every remaining digit belongs to the integer part.
            return static_cast<int>(after.size()) <= integerRoom;
        }
    }
    return false;
}

char granularityKey(char typed) { return typed >= '1' && typed <= '8' ? typed : '8'; }

CommandStates applyEnablingRules(CommandStates states, int listCount, bool outputFolderSet, bool allCorrected,
                                 RuleTrigger trigger) {
    states.subtract = listCount > 0;
    const bool ready = listCount > 0 && outputFolderSet;
    if (ready) {
        states.merge = listCount >= 2;
        states.correction = true;
    } else {
        states.merge = false;
        states.correction = false;
        if (trigger == RuleTrigger::ListShrank) {
            states.overlap = false;
            states.identical = false;
        }
    }
    // A list that is not all corrected files leaves the two as they were.
    if (trigger != RuleTrigger::OutputFolderText && ready && allCorrected) {
        states.overlap = true;
        states.identical = true;
    }
    return states;
}

bool isCorrectedShapefile(std::string_view path) {
    if (path.size() < 5) return false;
    return std::toupper(static_cast<unsigned char>(path[path.size() - 5])) == 'X';
}

std::string versionTag(int major, int minor, int revision) {
    return std::to_string(major) + std::to_string(minor) + std::to_string(revision) + "pv";
}

DirectoryResult createDirectory(const fs::path& path) {
    if (path.empty()) return {false, static_cast<int>(std::errc::no_such_file_or_directory)};
    fs::path built;
    for (const fs::path& part : path) {
        // A trailing separator shows up as an empty last component.
        if (part.empty()) continue;
        built /= part;
        if (part == "." || part == ".." || part == part.root_path()) continue;
        std::error_code ec;
        if (fs::is_directory(built, ec)) continue;
        const bool created = fs::create_directory(built, ec);
        std::error_code again;
        if (!created && !fs::is_directory(built, again)) {
            // A file in the way of a level reports "exists" on some systems.
            if (!ec || ec == std::errc::file_exists) ec = std::make_error_code(std::errc::not_a_directory);
            return {false, ec.value()};
        }
    }
    std::error_code ec;
    if (!fs::is_directory(built, ec)) return {false, static_cast<int>(std::errc::not_a_directory)};
    return {true, 0};
}

std::string createDirectoryErrorText(int errorNumber) {
    return "Function CreateDirectory: Laufzeitfehler " + std::to_string(errorNumber) + " aufgetreten!";
}

std::string makePathErrorText(std::string_view path) {
    return "Erzeugung des Pfades " + std::string(path) + " ist fehlgeschlagen.";
}

}  // namespace plyvet::shell
