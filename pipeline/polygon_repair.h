#pragma once
// The cleaning loop of one record: a fresh polygon cleaner per record, its
// raised errors dispatched, the self-intersection cleaner called for a
// crossing part and the polygon cleaner run again on its result.
//
// The loop goes on while a self-intersection pass changes the polygon, not
// only while it changes the area: a symmetric bow tie is cut into two rings
// of opposite orientation whose areas cancel, and only the next clean turns
// them into the two triangles they are. The loop ends on every input: a pass
// that changes nothing, one that brings back a polygon seen before (a
// cycle), or more passes than the polygon can need, end it with the polygon
// reported as not repaired, skipped or stopping the file by the option.

#include "pipeline/gis/geometry.h"
#include "pipeline/run_options.h"
#include "selfintersect/line_sink.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace plyvet {

// What becomes of a record.
enum class Verdict { Write, Skip, Stop };

// The cleaner parameters as read from the run's option texts.
struct CleanerParameters {
    std::optional<std::int16_t> granularity;  // unset: the cleaner's default
    std::optional<double> threshold;          // unset: the cleaner's default
    double splitterTolerance = 0.0;           // 0 switches the sliver removal off
    bool deletePointsOnLine = false;
};

// Reads the parameters from the option texts (empty texts keep the
// cleaners' defaults). std::nullopt with `error` set when a text is not a
// number or is negative.
std::optional<CleanerParameters> readCleanerParameters(const RunOptions& options, std::string& error);

class PolygonRepair {
public:
    struct Hooks {
        // An object line: the label prefix is added by the hook; `suffix` begins with a blank.
        std::function<void(std::string_view suffix)> objectLine;
        // A line of its own, without the label.
        std::function<void(std::string_view line)> plainLine;
        // The polygon cleaner's events.
        std::function<void(const std::string& text)> actionTaken;
        // The log-filter option, read at each report.
        std::function<bool()> onlyErrorObjects;
    };

    // `checkLog` receives the self-intersection cleaner's own lines.
    PolygonRepair(CleanerParameters parameters, OnUnsolvable onUnsolvable, LineSink& checkLog, Hooks hooks);

    // Cleans `polygon` in place. Creation errors of the cleaners propagate
    // as RuntimeError (the file cannot be cleaned without the library).
    Verdict repair(gis::Polygon& polygon, const std::string& labelValue, const std::string& labelName);

private:
    Verdict unsolvable(std::string_view description, std::string_view skipLine, std::string_view stopLine);
    // Logs a polygon the loop could not repair and skips or stops by the option.
    Verdict notRepaired(std::string_view why);

    CleanerParameters parameters_;
    OnUnsolvable onUnsolvable_;
    LineSink& checkLog_;
    Hooks hooks_;
    // The locale's decimal separator for the numbers in event texts. Asking
    // the locale costs a file lookup, so it is asked once per file, not per
    // record; the locale does not change while the program runs.
    char decimalSeparator_;
};

}  // namespace plyvet
