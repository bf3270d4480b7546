// Creation, parameters, the pass sequence of Clean() and the event plumbing.

#include "cleaner/polygon_cleaner.h"

#include "cleaner/edge_separation.h"
#include "cleaner/event_texts.h"
#include "cleaner/vertex_search.h"
#include "geolib/binding.h"
#include "pipeline/gis/number_text.h"
#include "pipeline/gis/runtime_error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

namespace plyvet {

namespace texts = cleaner_texts;

namespace {

// The oldest helper library the cleaner works with: 1.1.0.0.
constexpr std::int32_t kMinimumLibraryVersion = 0x1010000;

// Runs of a pass after which it counts as not settling: the failure text is
// reported after the sixth run, and a seventh run is the last.
constexpr int kFailureRun = 5;
constexpr int kLastRun = 6;

// The step of the library's rounding at `granularity` places; it rounds to
// at most 18 places.
double unitOf(std::int16_t granularity) {
    return std::pow(10.0, -static_cast<double>(std::min<std::int16_t>(granularity, 18)));
}

}  // namespace

clsPolygonCleaner::clsPolygonCleaner() {
    std::int32_t version = 0;
    std::string versionText;
    try {
        version = geolib::gvrs();
        if (version < kMinimumLibraryVersion) {
            versionText = geolib::gvss();
        }
    } catch (const RuntimeError& trapped) {
        throw texts::creationFailed(trapped);
    }
    if (version < kMinimumLibraryVersion) {
        throw texts::outdatedLibrary(versionText);
    }
    SplitterAreaTolerance = std::pow(10.0, -2);
    granularity_ = 3;
    roundingUnit_ = unitOf(granularity_);
    threshold_ = std::pow(10.0, -3);
    DeletePointsOnLineEnabled = false;
    // The locale does not change while the program runs; read it once.
    static const char localeSeparator = gis::localeDecimalSeparator();
    DecimalSeparator = localeSeparator;
}

void clsPolygonCleaner::setGranularity(std::int16_t value) {
    if (value < 0) {
        throw texts::invalidPropertyValue();
    }
    granularity_ = value;
    roundingUnit_ = unitOf(value);
}

void clsPolygonCleaner::setIdenticalPointThresholdSize(double value) {
    // NaN is no distance either: it would make every comparison false.
    if (value < 0.0 || std::isnan(value)) {
        throw texts::invalidPropertyValue();
    }
    threshold_ = value;
}

void clsPolygonCleaner::setPolygon(gis::Polygon polygon) {
    polygon_ = std::move(polygon);
    corruptedPart_ = -1;
    intersectionPoint_.reset();
    linearSelfIntersection_ = false;
}

void clsPolygonCleaner::Clean() {
    corruptedPart_ = -1;
    intersectionPoint_.reset();
    linearSelfIntersection_ = false;

    runRepeated(&clsPolygonCleaner::EliminateIdenticalParts, texts::kIdenticalPartsFailed);
    runRepeated(&clsPolygonCleaner::EliminateIdenticalPoints, texts::kIdenticalPointsFailed);
    runRepeated(&clsPolygonCleaner::EliminateOverNextPoints, texts::kOverNextPointsFailed);
    runRepeated(&clsPolygonCleaner::EliminateSelfTangencyInAngles, texts::kTangencyInAnglesFailed);
    runRepeated(&clsPolygonCleaner::EliminateSelfTangencyInLine, texts::kTangencyInLineFailed);
    if (DeletePointsOnLineEnabled) {
        runRepeated(&clsPolygonCleaner::DeletePointsOnLine, texts::kPointsOnLineFailed);
    }
    validateParts();
}

void clsPolygonCleaner::runRepeated(void (clsPolygonCleaner::*pass)(bool&), std::string_view failureText) {
    int run = -1;
    bool changed = false;
    do {
        changed = false;
        (this->*pass)(changed);
        ++run;
        if (run == kFailureRun) {
            raise(std::string(failureText));
        }
    } while (changed && run < kLastRun);
}

// --- events -----------------------------------------------------------------------

void clsPolygonCleaner::raise(const std::string& text) const {
    if (ActionTaken) {
        ActionTaken(text);
    }
}

bool clsPolygonCleaner::onlyErrorObjects() const { return OnlyErrorObjectsInLogFile && OnlyErrorObjectsInLogFile(); }

void clsPolygonCleaner::raiseHeader(std::size_t part, std::size_t vertexCount) const {
    raise(texts::headerSeparator());
    raise(texts::headerVertexCount(part, vertexCount));
}

void clsPolygonCleaner::raiseHeaderIfFiltered(std::size_t part, std::size_t vertexCount) const {
    if (onlyErrorObjects()) {
        raiseHeader(part, vertexCount);
    }
}

// --- numbers ----------------------------------------------------------------------

double clsPolygonCleaner::rounded(double value) const { return geolib::roud(value, granularity_); }

// A rounded value is at most half a rounding unit off, so a rounded distance
// below the threshold needs a true one below threshold + unit / 2; a whole
// unit and a relative slack for the floating error keep the margin safe. A
// vertex on an edge lies within threshold + unit / 2 of its line and within
// (threshold + unit) / 2 beyond its ends, whatever the edge's direction.
double clsPolygonCleaner::identicalMargin(double magnitude) const {
    return threshold_ + roundingUnit_ + 1e-9 * (1.0 + magnitude);
}

double clsPolygonCleaner::onEdgeMargin(double magnitude) const {
    return 2.0 * identicalMargin(magnitude);
}

clsPolygonCleaner::SeparationAnswer clsPolygonCleaner::edgesApartOnEdgeMargin(const gis::Ring& ring) {
    // The same coordinates have the same magnitude, so a known ring needs no
    // pass of its own for it; the margin still depends on the threshold and
    // the granularity, which may have changed since.
    for (const Separation& known : separations_) {
        if (known.ring.size() == ring.size() &&
            (ring.empty() || std::memcmp(known.ring.data(), ring.data(), ring.size() * sizeof(gis::Point)) == 0) &&
            onEdgeMargin(known.magnitude) == known.margin) {
            return {known.apart, known.magnitude};
        }
    }
    const cleaner_search::RingSurvey survey(ring);
    const double magnitude = survey.magnitude();
    const double margin = onEdgeMargin(magnitude);
    const bool apart = survey.edgesApart(margin);
    // The oldest entry's storage takes the new ring: no allocation once the
    // entries have grown to the rings' sizes.
    Separation* slot = nullptr;
    if (separations_.size() < kSeparationsKept) {
        slot = &separations_.emplace_back();
    } else {
        slot = &separations_[nextSeparation_];
        nextSeparation_ = (nextSeparation_ + 1) % kSeparationsKept;
    }
    Separation& fresh = *slot;
    fresh.ring.assign(ring.begin(), ring.end());
    fresh.magnitude = magnitude;
    fresh.margin = margin;
    fresh.apart = apart;
    return {apart, magnitude};
}

double clsPolygonCleaner::roundedDistance(gis::Point a, gis::Point b) const {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return rounded(std::sqrt(dx * dx + dy * dy));
}

// Written as "not below" fails for NaN: a distance that cannot be computed
// never makes two points identical, so broken coordinates are kept and
// reported by the validation instead of silently thinned out. Symmetric bit
// for bit: b - a is the exact negation of a - b.
bool clsPolygonCleaner::identical(gis::Point a, gis::Point b) const {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    const double d2 = dx * dx + dy * dy;
    // Most pairs lie far apart: at twice what clearlyAtLeast asks (threshold,
    // unit and slack, which grows by 1e-9 of the distance), no square root
    // is needed to know that it says yes.
    const double far = 2.0 * (threshold_ + roundingUnit_ + 1e-9);
    if (d2 >= far * far && std::isfinite(threshold_)) {
        return false;
    }
    const double d = std::sqrt(d2);
    // Rounding moves a distance by at most half a unit: one clearly beyond
    // the threshold stays at or above it, and the library need not be asked.
    if (clearlyAtLeast(d, threshold_)) {
        return false;
    }
    return rounded(d) < threshold_;
}


std::string clsPolygonCleaner::coordinate(double value) const { return number(rounded(value)); }

std::string clsPolygonCleaner::number(double value) const { return gis::formatNumber(value, DecimalSeparator); }

double clsPolygonCleaner::fctRound(double value, std::int16_t decimals) {
    if (std::isnan(value)) {
        return 0.0;
    }
    const double scale = std::pow(10.0, decimals);
    const double sign = value > 0.0 ? 1.0 : (value < 0.0 ? -1.0 : 0.0);
    const double sum = value * scale + sign * 0.5;
    if (!std::isfinite(sum) || !std::isfinite(scale) || scale == 0.0) {
        // Too many places to round to, or a value beyond rounding: unchanged.
        return value;
    }
    // The text round trip keeps 15 significant digits, so binary noise such
    // as 100.49999999999999 + 0.5 counts as the 101 it stands for.
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, sum, std::chars_format::general, 15);
    double limited = sum;
    std::from_chars(buffer, written.ptr, limited);
    return std::trunc(limited) / scale;
}

double clsPolygonCleaner::fctRound(std::string_view value, std::int16_t decimals) const {
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    std::string text(value);
    for (char& c : text) {
        if (c == DecimalSeparator) {
            c = '.';
        } else if (c == '.') {
            return 0.0;  // a point where the locale writes a comma is no number
        }
    }
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    double parsed = 0.0;
    const auto [end, error] = std::from_chars(first, last, parsed);
    // from_chars also reads "inf" and "nan", which are no numbers to a user.
    if (text.empty() || error != std::errc() || end != last || !std::isfinite(parsed)) {
        return 0.0;
    }
    return fctRound(parsed, decimals);
}

gis::Polygon clsPolygonCleaner::CreateTestPolygon() {
    return gis::Polygon{{gis::Ring{{1, 3}, {1, 1}, {3, 3}, {5, 1}, {5, 3}, {1, 3}}}};
}

}  // namespace plyvet
