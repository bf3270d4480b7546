#include "selfintersect/cleaning_context.h"

#include "geolib/binding.h"

#include <algorithm>
#include <cmath>

namespace plyvet::selfintersect {

namespace {

double distance(gis::Point a, gis::Point b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

// Rounding to g decimals moves a value by at most half a unit of the last
// place, 0.5 * 10^-g (ROUD takes g of 18 or more as 18): a distance of at
// least threshold + 10^-g rounds to more than the threshold.
Measure::Measure(const Tolerances& tolerances)
    : tolerances_(tolerances),
      unroundedLimit_(tolerances.identicalPointThreshold +
                      std::pow(10.0, -std::clamp<int>(tolerances.granularity, 0, 18))) {}

double Measure::round(double value) const { return geolib::roud(value, tolerances_.granularity); }

double Measure::roundedDistance(gis::Point a, gis::Point b) const { return round(distance(a, b)); }

bool Measure::identical(gis::Point a, gis::Point b) const {
    const double d = distance(a, b);
    if (!(d < unroundedLimit_)) return false;  // also NaN, which never rounds below anything
    return round(d) < tolerances_.identicalPointThreshold;
}

// identical() needs the computed distance below the limit, and the computed
// sqrt(dx² + dy²) falls short of |dx| by at most a few units in the last
// place, or by the part of dx whose square underflows.
double Measure::identicalReach() const { return unroundedLimit_ * (1 + 0x1p-40) + 1e-150; }

bool Measure::keeps(double area) const {
    return std::fabs(area) > tolerances_.splitterAreaTolerance;
}

ObjectLog::ObjectLog(LineSink& sink, const std::function<bool()>& onlyErrorObjects, LogTexts texts,
                     std::string_view labelName, std::string_view labelValue)
    : sink_(sink), onlyErrorObjects_(onlyErrorObjects), texts_(texts),
      prefix_(texts_.objectPrefix(labelName, labelValue)) {}

void ObjectLog::write(std::string_view text) {
    std::string line;
    line.reserve(prefix_.size() + text.size());
    line += prefix_;
    line += text;
    sink_.writeLine(line);
}

void ObjectLog::headerIfOnlyErrorObjects(std::size_t part, std::size_t points) {
    if (!onlyErrorObjects_ || !onlyErrorObjects_()) return;
    write(texts_.headerRule());
    write(texts_.headerPointCount(part, points));
}

}  // namespace plyvet::selfintersect
