#pragma once
// The parts of the application shell that need no widgets: the input rule
// of the numeric fields, the enabling rules of the main window's commands,
// the version tag and the creation of folder paths. Kept free of Qt so they
// can be tested without a display.

#include <filesystem>
#include <string>
#include <string_view>

namespace plyvet::shell {

// --- numeric fields ---------------------------------------------------------
// What a key press means to a numeric field.
enum class Key {
    Digit,             // 0-9
    DecimalSeparator,  // the locale's separator (a comma on German systems)
    Enter,
    Backspace,         // deletes the selection, else the character before the caret
    Delete,            // deletes the selection, else the character after the caret
    Other,             // anything else that types a character
};

// A numeric field as a key sees it: its text (digits and at most one
// separator), the selection (start = caret when `selectionLength` is 0) and
// the field's limits.
struct NumericField {
    std::string_view text;
    int selectionStart = 0;
    int selectionLength = 0;
    int maxLength = 5;
    int decimals = 3;  // digits allowed behind the separator; 0 allows no separator
    char separator = ',';
};

// True when the field takes the key. Digits, Enter and the two deletions are
// taken; a separator only when decimals are allowed and the text has none
// yet; every other key is refused. With a separator present a digit is
// refused behind it when all decimals are used, and in front of it when the
// integer part already fills what the decimals leave of the maximum length.
// A deletion that takes the separator is refused when the digits it joins
// would not fit that integer part. A key that would make the text longer
// than the maximum length is refused.
bool validateNum(const NumericField& field, Key key);

// The check precision takes the digits 1 to 8; every other key, Backspace
// and Enter included, types an 8 instead.
char granularityKey(char typed);

// --- the main window's commands -----------------------------------------------
struct CommandStates {
    bool subtract = false;    // cmdSubstractShapefiles
    bool merge = false;       // cmdMergeLayers
    bool correction = false;  // cmdCorrect with the correction parameters
    bool overlap = false;     // cmdOverlap
    bool identical = false;   // cmdIdenticalPols
};

// Which event runs the rules; they differ in how they treat the two
// commands that need corrected files.
enum class RuleTrigger {
    OutputFolderText,  // a change of the output folder text: leaves overlap and identical alone
    ListGrew,          // add button, output-folder button: may enable them, never disables
    ListShrank,        // minus button, end of a correction run: also disables them when unmet
};

// `current` holds the states before the event; `allCorrected` says whether
// every listed path is a corrected shapefile (see isCorrectedShapefile).
CommandStates applyEnablingRules(CommandStates current, int listCount, bool outputFolderSet, bool allCorrected,
                                 RuleTrigger trigger);

// A corrected shapefile is one whose name ends in "x" or "X" before its
// four-character extension (".shp").
bool isCorrectedShapefile(std::string_view path);

// --- start-up -----------------------------------------------------------------
// "ActualVersion": major, minor and revision written together, then "pv".
std::string versionTag(int major, int minor, int revision);

// --- folders ----------------------------------------------------------------
struct DirectoryResult {
    bool ok = false;
    int errorNumber = 0;  // the system's error number when not ok
};

// Creates every missing folder of `path`, level by level. A trailing
// separator is ignored; "." and ".." are walked through, never created.
// A level that exists as a file, or cannot be created, fails with the
// system's error number. An empty path fails (there is nothing to create).
DirectoryResult createDirectory(const std::filesystem::path& path);

// The message shown when createDirectory fails.
std::string createDirectoryErrorText(int errorNumber);
// The message of the main window's MakePath when the path could not be made.
std::string makePathErrorText(std::string_view path);

}  // namespace plyvet::shell
