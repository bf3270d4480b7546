#pragma once
// What a correction run tells an observer beyond its logs: the polygons
// that changed or were not exported, with the check-log lines about them,
// and the outcome of each file. The visual report is built from this; the
// run works the same with no observer.

#include "pipeline/action_log.h"
#include "pipeline/gis/geometry.h"

#include <optional>
#include <string>
#include <vector>

namespace plyvet {

struct FileResult;

struct RecordReport {
    int record = 0;                      // 0-based record number
    std::string labelName;               // "FID", "ID", "OBNR"
    std::string labelValue;
    std::optional<gis::Polygon> before;  // as read; empty for a shape that could not be read
    std::optional<gis::Polygon> after;   // as written; empty when the record was not exported
    std::vector<std::string> lines;      // the check-log lines about the record, in order
};

class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void fileStarted(const std::string& source) = 0;
    // Called for every record that changed or was not exported.
    virtual void record(const RecordReport& report) = 0;
    virtual void fileFinished(const FileResult& result, const ActionCounters& counters) = 0;
};

}  // namespace plyvet
