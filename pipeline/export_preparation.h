#pragma once
// The preparation every export of a shapefile shares, from the check log to
// the created, still empty output: the settings dialog, the name-length
// rule, the output folder, the folder connections, opening the source, the
// polygon-type and record-count checks, the output field description with
// the field-name dialog, the output name with its overwrite rules, and the
// creation of the output. The correction run and the identical-polygon
// command differ only in what `ExportKind` says.

#include "pipeline/field_plan.h"
#include "pipeline/gis/shapefile.h"
#include "pipeline/log_file.h"
#include "pipeline/run_options.h"
#include "pipeline/ui.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plyvet {

class ErrorDatabase;

struct ExportKind {
    std::string checkLogEnding;     // "_k.log": replaces the source's ".shp"
    std::string outputEnding;       // "_x": appended to the source's base name
    bool askSettings = true;        // show the settings dialog before the first file
    bool recordInDatabase = true;   // rows in the error database
    std::vector<std::string> headerLines;  // written after the record-count check
};

// The output is written under a temporary sibling name ("<name>.tmp.*")
// and moved into place when it is finished, so a run that dies half way
// (killed, power cut) never leaves a file under the output's name that
// looks complete.
struct PreparedExport {
    PreparedExport() = default;
    PreparedExport(const PreparedExport&) = delete;
    PreparedExport& operator=(const PreparedExport&) = delete;
    // Finishes an output that was not finished explicitly (a file that
    // stopped keeps what it wrote, closed properly); errors are swallowed here.
    ~PreparedExport();

    // Closes the output and moves its files into place under `outputBase`,
    // the .shp last. Raises RuntimeError when a write failed part-way, or
    // closing or moving fails; the files written are then removed (as far
    // as the folder lets them go), so nothing half-written ever stands
    // under the output's name. Does nothing the second time.
    void finish();

    std::optional<gis::ShapefileReader> reader;
    std::optional<gis::ShapefileWriter> writer;
    std::filesystem::path writingBase;  // where the writer writes until finish()
    FieldPlan plan;
    std::string sourceFolder;         // without trailing separator
    std::string baseName;             // file name without ".shp"
    std::string sourceShp;            // "<folder>/<base>.shp" as the logs show it
    std::filesystem::path outputFolder;
    std::string outputName;           // without extension
    std::filesystem::path outputBase; // folder / name, without extension
    int recordCount = 0;              // records to walk, after the record-count check
};

class ExportPreparation {
public:
    ExportPreparation(Ui& ui, RunSettings& settings, RunOptions& options, const LogFile& programLog,
                      ErrorDatabase* database);

    // Runs the preparation for `path` (trimmed in place). `checkLog` is set
    // to the file's check log once it exists. False when the file stops; the
    // reason has been shown and logged.
    bool prepare(std::string& path, const ExportKind& kind, LogFile& checkLog, PreparedExport& out);

private:
    bool outputFolder(const std::string& sourceFolder, LogFile& checkLog, std::filesystem::path& folder);
    void showAndLog(const Message& message, const LogFile& checkLog);

    Ui& ui_;
    RunSettings& settings_;
    RunOptions& options_;
    const LogFile& programLog_;
    ErrorDatabase* database_;
};

// "<folder>/" with the platform's separator.
std::string withTrailingSeparator(std::string folder);

// The steps every command that reads a listed shapefile starts with.

// A listed path as the logs name it: made absolute, so every message says
// where the file is; `baseName` is the file name without its ".shp".
struct SourceName {
    std::filesystem::path path;
    std::string folder;  // without trailing separator
    std::string baseName;
};
SourceName splitSourcePath(std::string_view path);

// Closes the output and moves it into place (PreparedExport::finish). When
// that fails, "Shapefile <output>.shp konnte nicht abgeschlossen werden.
// ( <cause> )" is shown and written to `log`, and the result is false.
bool finishExport(PreparedExport& job, Ui& ui, const LogFile& log);

// Creates (empties) the check log "<path without its last four characters><ending>".
// False, with a message shown, when it cannot be written; `checkLog` is then unset.
bool createCheckLog(const std::string& path, std::string_view ending, LogFile& checkLog, Ui& ui);

// The base-name length rule: names over 8 characters need `ignoreLongFileNames`
// or a Yes. A refusal is logged, stops the run (`continueRun` False) and returns false.
bool acceptBaseName(const std::string& baseName, RunSettings& settings, Ui& ui, const LogFile& checkLog);

}  // namespace plyvet
