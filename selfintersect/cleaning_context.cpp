#include "selfintersect/cleaning_context.h"

#include "geolib/binding.h"

#include <cmath>

namespace plyvet::selfintersect {

double Measure::round(double value) const { return geolib::roud(value, tolerances_.granularity); }

double Measure::roundedDistance(gis::Point a, gis::Point b) const {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return round(std::sqrt(dx * dx + dy * dy));
}

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
