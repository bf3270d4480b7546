#include "selfintersect/clean_selfintersecting.h"

#include "geolib/binding.h"
#include "pipeline/gis/number_text.h"
#include "pipeline/gis/runtime_error.h"
#include "selfintersect/cleaning_context.h"
#include "selfintersect/log_texts.h"
#include "selfintersect/repeated_vertex.h"
#include "selfintersect/split_at_vertex.h"
#include "selfintersect/sub_area_sieve.h"
#include "selfintersect/sub_areas.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace plyvet {

namespace {

using selfintersect::Measure;
using selfintersect::ObjectLog;

RuntimeError parameterError() {
    return RuntimeError(err::kInvalidPropertyValue, std::string(selfintersect::kErrorSource),
                        selfintersect::invalidPropertyValueDescription());
}

// A vertex that comes back later in its ring (not as its direct successor).
struct RepeatedVertex {
    gis::Point at;  // unrounded coordinates of the earlier visit
    std::size_t part;
};

struct DuplicateScan {
    gis::Polygon cleaned;
    bool droppedAny = false;
    std::vector<RepeatedVertex> repeated;  // the first of each part, in part order
};

// First pass: drops every vertex identical to its predecessor (the vertex
// before it in the source ring, dropped or not). When it dropped none, it
// records for each part the first vertex that the ring passes again after
// its successor, the spot the second pass cuts at.
DuplicateScan scanDuplicates(const gis::Polygon& polygon, const Measure& measure, ObjectLog& log) {
    const selfintersect::LogTexts& texts = log.texts();
    DuplicateScan scan;
    for (std::size_t i = 0; i < polygon.parts.size(); ++i) {
        const gis::Ring& ring = polygon.parts[i];
        const std::size_t n = ring.size();
        gis::Ring kept;
        kept.reserve(n);
        gis::Point previous{};
        for (std::size_t j = 0; j < n; ++j) {
            const gis::Point p = ring[j];
            if (j == 0) {
                kept.push_back(p);
                previous = p;
                continue;
            }
            if (measure.identical(previous, p)) {
                log.headerIfOnlyErrorObjects(i, n);
                const gis::Point r = measure.round(p);
                if (n < 3) {
                    log.write(texts.fewerThanThreePoints(i));
                    log.write(texts.pointNotExported(i, r.x, r.y));
                } else {
                    log.write(texts.consecutiveDuplicate(i));
                    log.write(texts.duplicateNotExported(i, r.x, r.y));
                }
                previous = p;
                scan.droppedAny = true;
                continue;
            }
            kept.push_back(p);
            previous = p;
        }
        scan.cleaned.parts.push_back(std::move(kept));
    }
    if (!scan.droppedAny) {
        // Nothing dropped: each cleaned part is its source ring.
        for (std::size_t i = 0; i < polygon.parts.size(); ++i) {
            const gis::Ring& ring = polygon.parts[i];
            if (const auto a = selfintersect::firstComingBack(ring, measure)) scan.repeated.push_back({ring[*a], i});
        }
    }
    return scan;
}

// Second pass. std::nullopt when a sub-area's area could not be computed:
// the polygon is then left as it was.
std::optional<gis::Polygon> splitParts(const DuplicateScan& scan, const Measure& measure,
                                       ObjectLog& log) {
    const selfintersect::LogTexts& texts = log.texts();
    gis::Polygon result;
    std::size_t crossingSearches = 0;
    for (std::size_t i = 0; i < scan.cleaned.parts.size(); ++i) {
        const gis::Ring& ring = scan.cleaned.parts[i];
        if (!std::isfinite(gis::ringArea(ring))) {
            throw RuntimeError(selfintersect::kPartAreaUnknown, std::string(selfintersect::kErrorSource),
                               selfintersect::partAreaUnknownDescription(i));
        }

        if (scan.repeated.empty()) {
            ++crossingSearches;
            gis::Polygon repaired = selfintersect::buildSubAreas(ring, i, measure, log);
            for (gis::Ring& r : repaired.parts) result.parts.push_back(std::move(r));
            continue;
        }

        const auto record = std::find_if(scan.repeated.begin(), scan.repeated.end(),
                                         [i](const RepeatedVertex& v) { return v.part == i; });
        if (record == scan.repeated.end()) {
            result.parts.push_back(ring);
            continue;
        }
        log.headerIfOnlyErrorObjects(i, ring.size());
        const gis::Point r = measure.round(record->at);
        log.write(texts.repeatedVertex(i));
        log.write(texts.repeatedVertexCoordinates(i, r.x, r.y));

        auto kept = selfintersect::sieveSubAreas(
            selfintersect::cutAtRepeatedVertex(ring, record->at, measure), i,
            selfintersect::CutKind::RepeatedVertex, measure, log);
        if (!kept) return std::nullopt;
        for (gis::Ring& k : *kept) result.parts.push_back(std::move(k));
    }
    if (crossingSearches > 0 || !scan.repeated.empty()) log.write(texts.returnedArea(gis::area(result)));
    return result;
}

}  // namespace

clsCleanSelfintersecting::clsCleanSelfintersecting(LineSink& checkLog,
                                                   std::function<bool()> onlyErrorObjects)
    : checkLog_(checkLog), onlyErrorObjects_(std::move(onlyErrorObjects)) {
    std::int32_t version = 0;
    try {
        version = geolib::gvrs();
    } catch (const RuntimeError& e) {
        throw RuntimeError(e.number(), e.source() + "." + std::string(selfintersect::kErrorSource),
                           e.description());
    }
    if (version < selfintersect::kOldestLibraryVersion) {
        throw RuntimeError(selfintersect::kOutdatedLibrary, std::string(selfintersect::kErrorSource),
                           selfintersect::outdatedLibraryDescription(geolib::gvss()));
    }
    SplitterAreaTolerance = 1e-2;
    setGranularity(3);
    setIdenticalPointThresholdSize(1e-3);
}

void clsCleanSelfintersecting::setGranularity(std::int16_t granularity) {
    if (granularity < 0) throw parameterError();
    granularity_ = granularity;
}

void clsCleanSelfintersecting::setIdenticalPointThresholdSize(double threshold) {
    // NaN would make every comparison false and silently switch the
    // identity test off.
    if (!(threshold >= 0.0)) throw parameterError();
    identicalPointThresholdSize_ = threshold;
}

void clsCleanSelfintersecting::setPolygon(gis::Polygon polygon) { polygon_ = std::move(polygon); }

const gis::Polygon& clsCleanSelfintersecting::polygon() const { return polygon_; }

gis::Polygon clsCleanSelfintersecting::takePolygon() { return std::exchange(polygon_, {}); }

bool clsCleanSelfintersecting::GetCrossingPoint(const std::string& labelValue,
                                                const std::string& labelName) {
    const Measure measure(
        {granularity_, identicalPointThresholdSize_, SplitterAreaTolerance});
    ObjectLog log(checkLog_, onlyErrorObjects_,
                  selfintersect::LogTexts(gis::localeDecimalSeparator()), labelName, labelValue);

    DuplicateScan scan = scanDuplicates(polygon_, measure, log);
    if (scan.droppedAny) {
        polygon_ = std::move(scan.cleaned);
        return false;
    }
    if (auto result = splitParts(scan, measure, log)) polygon_ = std::move(*result);
    return false;
}

}  // namespace plyvet
