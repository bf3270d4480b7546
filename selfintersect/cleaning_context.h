#pragma once
// What the repair steps of one GetCrossingPoint call share: the tolerances,
// the rounding and identity rules built on the helper library's ROUD, and the
// check-log writer with the object prefix and the header rule.

#include "pipeline/gis/geometry.h"
#include "selfintersect/line_sink.h"
#include "selfintersect/log_texts.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace plyvet::selfintersect {

struct Tolerances {
    std::int16_t granularity = 3;             // decimal places of every rounding
    double identicalPointThreshold = 0.001;  // rounded distances below this are 0
    double splitterAreaTolerance = 0.01;     // sub-areas of |area| not above this are slivers
};

// Rounding and identity. Every rounding goes through the helper library, so
// a missing ROUD export raises its RuntimeError here.
class Measure {
public:
    explicit Measure(const Tolerances& tolerances);

    const Tolerances& tolerances() const { return tolerances_; }

    double round(double value) const;
    gis::Point round(gis::Point p) const { return {round(p.x), round(p.y)}; }

    // sqrt(dx² + dy²) in double, then rounded. NaN when a coordinate is NaN,
    // so points with NaN coordinates are never identical to anything.
    double roundedDistance(gis::Point a, gis::Point b) const;

    // Rounded distance below the threshold. The rings are compared vertex
    // with vertex, so distances that cannot round below the threshold are
    // settled without a library call.
    bool identical(gis::Point a, gis::Point b) const;

    // No two points further apart than this in x or in y are identical: a
    // bound for searches that hand identical() only nearby points. Infinite
    // or NaN when the tolerances give none.
    double identicalReach() const;

    // Kept sub-areas have an absolute area above the sliver tolerance; an area
    // exactly at the tolerance is a sliver.
    bool keeps(double area) const;

private:
    Tolerances tolerances_;
    double unroundedLimit_;  // distances at or above this never round below the threshold
};

// The check log as this cleaner writes it: every line is the object prefix
// followed by one text. The two header lines are written only while the
// "only faulty objects" option is set; the option is read at each header, as
// the user may change it during a run.
class ObjectLog {
public:
    ObjectLog(LineSink& sink, const std::function<bool()>& onlyErrorObjects, LogTexts texts,
              std::string_view labelName, std::string_view labelValue);

    const LogTexts& texts() const { return texts_; }

    void write(std::string_view text);

    // " ( ---------- )" and " ( Polygon-Part <part>: <points> Stützpunkt(e) )".
    void headerIfOnlyErrorObjects(std::size_t part, std::size_t points);

private:
    LineSink& sink_;
    const std::function<bool()>& onlyErrorObjects_;
    LogTexts texts_;
    std::string prefix_;
};

}  // namespace plyvet::selfintersect
