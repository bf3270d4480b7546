#pragma once
// The check log's view of the polygon cleaner's findings: each event text
// is classified by its key phrases into one of ten counters and written as
// an object line; at the end of a file the counters become the summary.

#include "pipeline/run_options.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet {

// The ten counters, in the order of the summary.
enum class Finding : int {
    IdenticalParts,
    SelfOverlappingParts,
    IdenticalPointsOfTwoParts,
    ConsecutiveIdenticalPoints,
    PartialOverlapByUturn,
    PointsOnLine,
    SelfTangencyOnLine,
    SelfTangencyInPoint,
    WrongOrientation,
    SelfIntersection,
};
inline constexpr std::size_t kFindingCount = 10;

// What one event text amounts to.
struct Classification {
    std::optional<Finding> counted;  // the counter it adds to, if any
    bool written = true;             // whether it becomes an object line
};

// Classifies one event text by its key phrases (compared ignoring case).
Classification classifyActionText(std::string_view text);

class ActionCounters {
public:
    void reset() { counts_.fill(0); }
    void add(Finding f) { ++counts_[static_cast<std::size_t>(f)]; }
    std::uint32_t count(Finding f) const { return counts_[static_cast<std::size_t>(f)]; }

    // The summary lines in table order; the line for points on a line only
    // when that pass was enabled.
    std::vector<std::string> summaryLines(bool deletePointsOnLine) const;

private:
    std::array<std::uint32_t, kFindingCount> counts_{};
};

// The settings block that opens the record part of a check log.
std::vector<std::string> settingsBlock(const RunOptions& options, const RunSettings& settings);

}  // namespace plyvet
