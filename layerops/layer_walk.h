#pragma once
// What the identical-polygon and overlap commands share: the walk over the
// file list, the tolerance, the record IDs of the log lines, the number
// formats and the report of an unexpected error.

#include "pipeline/gis/geometry.h"
#include "pipeline/gis/shapefile.h"
#include "pipeline/log_file.h"
#include "pipeline/object_label.h"
#include "pipeline/run_options.h"
#include "pipeline/ui.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::layerops {

// What became of one file of a layer command.
struct LayerFileResult {
    std::string source;              // the path as listed
    bool ok = false;                 // the command finished the file
    std::filesystem::path checkLog;  // empty when it could not be created
    std::filesystem::path output;    // the written shapefile, empty when none was kept
    int records = 0;                 // records walked
    int found = 0;                   // identical pairs or overlaps counted
    int dropped = 0;                 // records not written to the output
};

// The tolerance of the identical and overlap checks from the text of its
// field: an empty text is 0.1. std::nullopt when the text is no number of at
// least 0.
std::optional<double> parseTolerance(std::string_view text, char decimalSeparator);

// True when the path names a corrected file: the character before its
// four-character extension is "x" or "X".
bool looksCorrected(std::string_view path);

// The list walk of the identical and overlap commands: from the last entry
// to the first, a separator line in the program log per entry; an entry that
// is empty or names no file is passed over. A file that does not look
// corrected is asked about first; "No" ends the whole walk (returns false,
// without the closing status). `process` handles one file and tells whether
// it succeeded. With `removeDone` a processed entry leaves the list, and a
// failure stops the walk (its entry stays) when `settings.continueRun` is
// false. Sets the status for an empty list and after the walk.
bool walkList(std::vector<std::string>& list, Ui& ui, const LogFile& programLog, const RunSettings& settings,
              bool removeDone, const std::function<bool(const std::string&)>& process);

// Area and share as the log lines show them: rounded to four decimals,
// halves to even, in the locale's number format without trailing zeros.
std::string shownRounded(double value);
// Coordinates and the tolerance: up to 15 significant digits in the locale's format.
std::string shownNumber(double value);

// The record's ID in the log lines: the label field's value, or the 0-based
// record number (also when the value cannot be read).
std::string recordId(const ObjectLabel& label, const gis::ShapefileReader& reader, int record);

// Area as the commands use it: 0 when it cannot be computed.
double areaOrZero(const gis::Polygon& polygon);

// Runs `body`; an error that escapes it is shown as "Error <n> (<text>) in
// procedure <procedure> of <where>" and counts as failure.
bool guarded(Ui& ui, std::string_view procedure, std::string_view where, const std::function<bool()>& body);

// The error of a number text that cannot be read (a type mismatch).
[[noreturn]] void raiseTypeMismatch();

}  // namespace plyvet::layerops
