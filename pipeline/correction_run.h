#pragma once
// The correction run: the list loop and the correction of one shapefile
// into its copy "<name>_x". It shows nothing itself; every question and
// message goes through the Ui it is given.

#include "pipeline/action_log.h"
#include "pipeline/export_preparation.h"
#include "pipeline/log_file.h"
#include "pipeline/object_label.h"
#include "pipeline/polygon_repair.h"
#include "pipeline/run_observer.h"
#include "pipeline/run_options.h"
#include "pipeline/ui.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plyvet {

class ErrorDatabase;

// What became of one file of the list.
struct FileResult {
    std::string source;                 // the path as listed
    bool corrected = false;             // the output was written completely
    std::filesystem::path checkLog;     // empty when it could not be created
    std::filesystem::path output;       // the output .shp, empty when none was created
    int recordsRead = 0;
    int recordsWritten = 0;
};

class CorrectionRun {
public:
    // `programLog` must already have been created (once per program start);
    // `database` may be null when the error database is not open.
    CorrectionRun(Ui& ui, RunSettings& settings, RunOptions& options, LogFile programLog,
                  ErrorDatabase* database = nullptr);

    // Walks `list` from the last entry to the first and corrects each file
    // that exists. Corrected or failed entries leave the list; entries that
    // are empty or name no file stay, and so does the entry at which a
    // refusal stopped the run.
    void run(std::vector<std::string>& list);

    // Corrects one shapefile given by its full path ending in ".shp".
    // True when the output was written completely. Never throws.
    bool correctShapeFile(std::string path);

    const std::vector<FileResult>& results() const { return results_; }

    // Receives the changed and dropped polygons of every file; null for none.
    void setObserver(RunObserver* observer) { observer_ = observer; }

private:
    // The check log as the record loop writes it: every line also goes to
    // the current record's report when an observer listens.
    class RecordLog : public LineSink {
    public:
        explicit RecordLog(CorrectionRun& run) : run_(run) {}
        void writeLine(std::string_view line) override { run_.recordLine(line); }

    private:
        CorrectionRun& run_;
    };

    void recordLine(std::string_view line);
    // Writes the lines held back for the current record, in one write.
    void flushRecordLines() noexcept;
    bool correct(std::string& path, FileResult& result);
    bool copyRecords(PreparedExport& job, FileResult& result);
    Verdict copyRecord(PreparedExport& job, int record);
    // Closes the output and moves it into place; `complete` false for a
    // file that stopped half way. False when that fails (shown and logged).
    bool finishOutput(PreparedExport& job, bool complete);

    // The polygon cleaner's event handler: counts the text under its
    // heading and writes it as an object line.
    void actionTaken(std::string_view text);
    // Check-log lines about the current object.
    void objectLine(std::string_view suffix);
    // Logs an unsolvable problem of the current object and decides by the
    // "bei nicht auflösbarem Problem" choice whether to skip it or stop.
    Verdict unsolvable(std::string_view description);

    Ui& ui_;
    RunSettings& settings_;
    RunOptions& options_;
    LogFile programLog_;
    ErrorDatabase* database_;
    LogFile checkLog_;
    RecordLog recordLog_{*this};
    RunObserver* observer_ = nullptr;
    std::optional<RecordReport> report_;  // the current record's, while an observer listens
    // The check-log lines of the record being corrected: they go to disk
    // together when it is done, one write instead of one a line.
    bool holdingLines_ = false;
    std::vector<std::string> heldLines_;
    std::optional<PolygonRepair> repair_;
    ActionCounters counters_;
    ObjectLabel label_;
    std::string labelValue_;
    std::vector<FileResult> results_;
};

}  // namespace plyvet
