#pragma once
// The visual report of a correction run: one self-contained HTML file
// (inline CSS and SVG, no scripts, nothing loaded from elsewhere), German
// like the program. Per shapefile it shows the outcome, the records read,
// written and not exported, and the ten counters of the check log; then,
// for every polygon that the run changed or did not export, its pictures
// before and after (see picture.h) beside its check-log lines.
//
// Pictures are capped per shapefile, so a layer with a million faulty
// polygons still gives a file a browser can show; the report says how many
// polygons it leaves out, whose lines remain in the check log.
//
// The report is written beside its final name while the run goes on and
// moved into place by finish(), so an interrupted run leaves no half file
// under that name. Its own failures never reach the run: the observer calls
// swallow them and finish() reports them.

#include "pipeline/correction_run.h"
#include "pipeline/run_observer.h"

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace plyvet::report {

inline constexpr int kDefaultPictureLimit = 500;
// Check-log lines shown beside one polygon; the rest are counted.
inline constexpr std::size_t kLinesPerPolygon = 200;

struct ReportSettings {
    int pictureLimit = kDefaultPictureLimit;  // polygons pictured per shapefile, 0 for none
    bool pointsOnLineChecked = false;         // the pass for points on a line ran
    std::vector<std::string> settingsLines;   // the check log's settings block, shown once
};

// German headings of the ten counters, in the order of the check log's summary.
const std::vector<std::string>& findingHeadings();

class HtmlReport final : public RunObserver {
public:
    HtmlReport(std::filesystem::path file, ReportSettings settings);
    ~HtmlReport() override;
    HtmlReport(const HtmlReport&) = delete;
    HtmlReport& operator=(const HtmlReport&) = delete;

    // Creates the working file beside the report. False, with `error` set,
    // when the folder cannot be written or the name is a folder.
    bool open(std::string& error);

    void fileStarted(const std::string& source) override;
    void record(const RecordReport& report) override;
    void fileFinished(const FileResult& result, const ActionCounters& counters) override;

    // Writes the whole report under its name. False, with `error` set, when
    // any part of it could not be written; no file is left under the name then.
    bool finish(std::string& error);

    const std::filesystem::path& file() const { return file_; }

private:
    struct FileSummary {
        std::string source;
        std::string anchor;
        bool corrected = false;
        int read = 0;
        int written = 0;
        std::size_t reported = 0;  // changed or not exported
        std::size_t pictured = 0;
    };
    struct CurrentFile {
        std::string source;
        std::vector<std::string> sections;
        std::size_t reported = 0;
        std::size_t changed = 0;
        std::size_t dropped = 0;
    };

    std::string polygonSection(const RecordReport& report, std::size_t index) const;
    std::string fileSection(const FileResult& result, const ActionCounters& counters, const FileSummary& summary) const;
    void fail(const std::string& what);
    void removeWorkingFiles() noexcept;

    std::filesystem::path file_;
    ReportSettings settings_;
    std::filesystem::path bodyPath_;
    std::filesystem::path finalTemp_;
    std::ofstream body_;
    std::optional<CurrentFile> current_;
    std::vector<FileSummary> files_;
    std::string error_;
    bool opened_ = false;
    bool finished_ = false;
};

}  // namespace plyvet::report
