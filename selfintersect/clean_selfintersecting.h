#pragma once
// clsCleanSelfintersecting: repairs one polygon whose parts touch or cross
// themselves, one spot per part and call, and writes its findings straight
// into the check log.
//
// A call of GetCrossingPoint does one of two things:
// 1. It drops vertices that repeat their predecessor (rounded distance below
//    the identity threshold). If it dropped any, the cleaned polygon is the
//    result and the call ends.
// 2. Otherwise it cuts every part that passes a vertex twice at the first
//    such vertex into sub-areas; when no part does, it hands every part to
//    the crossing repair (sub_areas.h). Sub-areas that are slivers are
//    dropped. The returned area is logged.
// The caller calls again (after its own cleaning) until the polygon stops
// changing. Rings come back as cut: their orientation is not fixed here.
//
// Log lines: every line begins with "Polygon mit der <label name> <label
// value>", the texts are those of log_texts.h. With the "only faulty
// objects" option set, each duplicate and each repeated vertex is preceded by
// two header lines for the part.
//
// Errors (RuntimeError):
// - creation: the helper library's failure to report its version, with its
//   number and description and the source "<its source>.CleanSelfIntersection";
//   kOutdatedLibrary for a library older than 1.1.0.0;
// - parameter writes: 380 for negative values (and a NaN threshold);
// - GetCrossingPoint: kPartAreaUnknown when a part's area is not a finite
//   number (the polygon is left unchanged), kCrossingSearchFailed, and the
//   helper library's errors unchanged.

#include "pipeline/gis/geometry.h"
#include "selfintersect/line_sink.h"

#include <cstdint>
#include <functional>
#include <string>

namespace plyvet {

class clsCleanSelfintersecting {
public:
    // checkLog receives every log line; onlyErrorObjects tells, at each
    // report, whether the "only faulty objects in the log" option is set.
    // The sink must outlive the object.
    clsCleanSelfintersecting(LineSink& checkLog, std::function<bool()> onlyErrorObjects);

    // Sub-areas whose absolute area is not above this are dropped; with 0
    // every sub-area of non-zero area is kept. Not checked.
    double SplitterAreaTolerance = 0.01;

    // Decimal places of every rounding. Raises 380 for a negative value and
    // keeps the old one.
    void setGranularity(std::int16_t granularity);

    // Points whose rounded distance is below this are the same point; 0 makes
    // no two points the same. Raises 380 for a negative or NaN value and
    // keeps the old one.
    void setIdenticalPointThresholdSize(double threshold);

    void setPolygon(gis::Polygon polygon);
    const gis::Polygon& polygon() const;
    gis::Polygon takePolygon();

    // Repairs polygon() as described above. Always returns false.
    bool GetCrossingPoint(const std::string& labelValue, const std::string& labelName);

private:
    LineSink& checkLog_;
    std::function<bool()> onlyErrorObjects_;
    gis::Polygon polygon_;
    std::int16_t granularity_ = 3;
    double identicalPointThresholdSize_ = 0.001;
};

}  // namespace plyvet
