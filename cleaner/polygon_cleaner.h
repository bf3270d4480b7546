#pragma once
// clsPolygonCleaner: checks and repairs one polygon, part by part.
//
// The driver creates one cleaner per polygon, sets the parameters and the
// polygon, calls Clean() and reads the polygon back. Every finding and every
// repair is reported synchronously through ActionTaken as a German text; the
// log handler recognises the kind of finding by key phrases inside it, so the
// texts (event_texts.h) are an interface. Faults that cannot be repaired end
// Clean() with a RuntimeError (source "PolygonCleaner"); CorruptedPart() and
// GetIntersectionPoint() then say where the fault lies.
//
// Clean() runs six repair passes, each repeated while it changes something
// (at most seven runs, see runRepeated), then the validation phase:
//   1. identical parts            4. self-tangency in a vertex
//   2. consecutive equal vertices 5. self-tangency on an edge
//   3. spikes (180° turns)        6. vertices on a straight line (optional)
//   validation: vertex count, area, self-crossing, containment and overlap
//   of parts, ring orientation by nesting depth, sliver removal.
//
// Comparisons use coordinates and distances rounded through the helper
// library's ROUD with Granularity decimals; two points are identical when
// their rounded distance is strictly below IdenticalPointThresholdSize.
// Every loop is bounded by the vertex and part counts of its input, and no
// input (empty polygons, parts of 0 points, NaN or infinite coordinates)
// makes a pass read outside its arrays.

#include "geolib/plyvet_exports.h"
#include "pipeline/gis/geometry.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet {

class clsPolygonCleaner {
public:
    // Checks the helper library's version. Raises the library binding's own
    // error (53, 453) with the source "<source>.PolygonCleaner" when the
    // library or its version export is missing, and 0x80040005 when the
    // library is older than 1.1.0.0.
    clsPolygonCleaner();

    // Parts whose absolute area is below this are removed as slivers; 0 turns
    // the removal off.
    double SplitterAreaTolerance = 0.01;
    // Enables the removal of vertices on the straight line between their neighbours.
    bool DeletePointsOnLineEnabled = false;
    // Decimal separator of the numbers in event texts; the locale's at creation.
    char DecimalSeparator = '.';

    // Decimal places of every rounding. Negative values raise 380 and keep the old value.
    void setGranularity(std::int16_t value);
    std::int16_t granularity() const { return granularity_; }
    // Distance below which two points are identical. Negative values raise 380; 0 is allowed.
    void setIdenticalPointThresholdSize(double value);
    double identicalPointThresholdSize() const { return threshold_; }

    // Stores the polygon and forgets the findings of an earlier Clean().
    void setPolygon(gis::Polygon polygon);
    const gis::Polygon& polygon() const { return polygon_; }
    gis::Polygon takePolygon() { return std::move(polygon_); }

    // Index of the part that had fewer than 3 vertices or no computable area; -1 otherwise.
    std::int16_t CorruptedPart() const { return corruptedPart_; }
    // The crossing point of a self-crossing part, or a point of the common
    // area of two overlapping parts; nothing when neither was found.
    std::optional<gis::Point> GetIntersectionPoint() const { return intersectionPoint_; }
    // True when the last self-crossing found was a run of collinear edges lying on each other.
    bool IsLinearSelfIntersection() const { return linearSelfIntersection_; }

    // Runs the repair passes and the validation. Raises 0x80040001 (area),
    // 0x80040002 (self-crossing), 0x80040003 (overlapping parts) and
    // 0x80040004 (fewer than 3 vertices), source "PolygonCleaner"; the polygon
    // then keeps the repairs made so far.
    void Clean();

    // Receives every event text, in order, while Clean() runs.
    std::function<void(const std::string&)> ActionTaken;
    // The "only faulty objects in the log" option; read at each report. Unset means off.
    std::function<bool()> OnlyErrorObjectsInLogFile;

    // Rounds half away from zero to `decimals` places after limiting
    // value * 10^decimals + 0.5 to 15 significant digits. Text that is not a
    // number (and NaN) gives 0. Not used by the passes.
    static double fctRound(double value, std::int16_t decimals);
    double fctRound(std::string_view value, std::int16_t decimals) const;

    // The vertex passes; `changed` becomes true when a vertex was removed.
    void EliminateIdenticalPoints(bool& changed);
    void EliminateOverNextPoints(bool& changed);
    void DeletePointsOnLine(bool& changed);
    // The self-tangency passes; `changed` becomes true when a part was split.
    void EliminateSelfTangencyInAngles(bool& changed);
    void EliminateSelfTangencyInLine(bool& changed);
    // The identical-parts pass (the first of Clean); `changed` becomes true
    // when a part was removed. Raises 0x80040004 for a part of fewer than 3 vertices.
    void EliminateIdenticalParts(bool& changed);

    // Point 2 lies on the line through points 1 and 3 (within the threshold).
    bool ThreePointsOnLine(double x1, double y1, double x2, double y2, double x3, double y3) const;
    // ... and strictly between points 1 and 3.
    bool ThreePointsOnLineNisMiddle(double x1, double y1, double x2, double y2, double x3, double y3) const;
    // ... and point 1 lies between 2 and 3, or point 3 between 1 and 2: the
    // outline runs from 1 to 2 and turns back by 180°.
    bool ThreePointsOnLineAndUturn(double x1, double y1, double x2, double y2, double x3, double y3) const;
    // The same by the three distances alone, without the shortcut that
    // settles most vertices from the angles of the triangle: the reference
    // the tests hold the shortcut to.
    bool ThreePointsOnLineAndUturnPlain(double x1, double y1, double x2, double y2, double x3, double y3) const;

    // z component of (A - B) x (C - B), in single precision.
    static float CrossProductLength(float ax, float ay, float bx, float by, float cx, float cy);
    // Signed angle at B from BA to BC, radians, single precision.
    static float GetAngle(float ax, float ay, float bx, float by, float cx, float cy);
    // Quadrant-aware arc tangent of y / x; pi/2 when |x| < 0.0001.
    static float ATan2(float y, float x);

    // One part (1,3) (1,1) (3,3) (5,1) (5,3) (1,3) that touches itself at (3,3).
    static gis::Polygon CreateTestPolygon();

private:
    // Runs one pass by the repetition rule and reports its failure text after the sixth run.
    void runRepeated(void (clsPolygonCleaner::*pass)(bool&), std::string_view failureText);
    // The last step of Clean(): validation, containment, orientation, slivers.
    void validateParts();
    // GISC on the rounded vertices of one ring; sets linearSelfIntersection_.
    std::optional<gis::Point> selfIntersection(const gis::Ring& ring);
    // For two parts without common area: a point where their edges run along
    // each other or meet away from a vertex; nothing when they only touch.
    std::optional<gis::Point> overlapAlongEdges(const gis::Ring& one, const gis::Ring& other) const;
    // Shared body of EliminateOverNextPoints and DeletePointsOnLine.
    enum class LinePass { OverNext, OnLine };
    void dropMiddlePoints(LinePass which, bool& changed);
    // The common case of ThreePointsOnLineAndUturn, false for certain: both
    // sides at vertex 2, u = 2 - 1 and v = 3 - 2 with squared lengths a2 and
    // b2, are long and meet at an obtuse corner.
    bool runsOnSurely(double ux, double uy, double a2, double vx, double vy, double b2) const;
    // ThreePointsOnLineAndUturn of points 1, 2, 3 once runsOnSurely, given
    // the same sides, has not settled it.
    bool uturnNotRunningOn(double ux, double uy, double a2, double vx, double vy, double b2, double x1, double y1,
                           double x2, double y2, double x3, double y3) const;

    void raise(const std::string& text) const;
    bool onlyErrorObjects() const;
    void raiseHeader(std::size_t part, std::size_t vertexCount) const;
    // Header before a report when only faulty objects are logged.
    void raiseHeaderIfFiltered(std::size_t part, std::size_t vertexCount) const;

    double rounded(double value) const;
    // How far apart, in x or in y, two points can be and still be identical
    // (near: a vertex lying on an edge), for coordinates up to `magnitude`.
    double identicalMargin(double magnitude) const;
    double onEdgeMargin(double magnitude) const;
    // cleaner_search::edgesApart(ring, onEdgeMargin) of the ring, with the
    // ring's magnitude it was asked at, remembered for the last few rings
    // asked: the tangency passes ask it for the same unchanged parts over
    // and over.
    struct SeparationAnswer {
        bool apart;
        double magnitude;  // cleaner_search::magnitude(ring)
    };
    SeparationAnswer edgesApartOnEdgeMargin(const gis::Ring& ring);
    double roundedDistance(gis::Point a, gis::Point b) const;
    bool identical(gis::Point a, gis::Point b) const;
    // rounded(value) >= limit for certain, without asking the library.
    bool clearlyAtLeast(double value, double limit) const;
    // rounded(a) != rounded(b), and |rounded(a) - rounded(b)| < threshold,
    // asking the library only when the plain values leave it open.
    bool roundedDiffer(double a, double b) const;
    bool roundedClose(double a, double b) const;
    // Signed distance of point 2 from the line through points 1 and 3, rounded.
    double lineDistance(double x1, double y1, double x2, double y2, double x3, double y3) const;
    // A number as it appears in a message: rounded to Granularity, then formatted.
    std::string coordinate(double value) const;
    std::string number(double value) const;

    std::int16_t corruptedPart_ = -1;
    gis::Polygon polygon_;
    std::int16_t granularity_ = 3;
    double roundingUnit_ = 0.001;  // 10^-granularity, at most 18 places
    double threshold_ = 0.001;
    std::optional<gis::Point> intersectionPoint_;
    bool linearSelfIntersection_ = false;
    struct Separation {
        gis::Ring ring;  // bit for bit as asked
        double magnitude = 0.0;
        double margin = 0.0;
        bool apart = false;
    };
    static constexpr std::size_t kSeparationsKept = 4;
    std::vector<Separation> separations_;  // at most kSeparationsKept, the oldest replaced first
    std::size_t nextSeparation_ = 0;
    std::vector<PlyvetXY> roundedRing_;  // selfIntersection's buffer, kept for the next ring
};

// True when rounded(value) >= limit holds whatever the rounding does: the
// value lies a whole rounding unit (and a relative slack for the floating
// error) above the limit. False for NaN and infinite limits, which take the
// plain road. Inline: the vertex passes ask it several times per vertex.
inline bool clsPolygonCleaner::clearlyAtLeast(double value, double limit) const {
    return value >= limit + roundingUnit_ + 1e-9 * (1.0 + std::fabs(value)) && std::isfinite(limit);
}

}  // namespace plyvet
