// Vertex-level passes: consecutive identical vertices, spikes that run out
// and straight back, vertices on the line between their neighbours; and the
// three-point predicates they share with the self-tangency passes.
//
// Each pass reads the old polygon and builds a new one part by part; a part
// that keeps fewer than 3 vertices is left out, so the indices of later parts
// shift down in the next run's messages. Vertices are never moved.

#include "cleaner/event_texts.h"
#include "cleaner/polygon_cleaner.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace plyvet {

namespace texts = cleaner_texts;

namespace {

double euclid(double x1, double y1, double x2, double y2) {
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

void clsPolygonCleaner::EliminateIdenticalPoints(bool& changed) {
    bool removedAny = false;
    gis::Polygon result;
    result.parts.reserve(polygon_.parts.size());
    for (std::size_t i = 0; i < polygon_.parts.size(); ++i) {
        const gis::Ring& ring = polygon_.parts[i];
        const std::size_t n = ring.size();
        // Up to the first coinciding pair nothing is reported or left out;
        // a part without one moves on as it is.
        std::size_t first = 0;
        while (first < n && !identical(ring[first], ring[first + 1 == n ? 0 : first + 1])) {
            ++first;
        }
        if (first == n && n >= 3) {
            result.parts.push_back(std::move(polygon_.parts[i]));  // `ring` is not used again
            continue;
        }
        gis::Ring kept;
        kept.reserve(n);
        kept.insert(kept.end(), ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(first));
        for (std::size_t k = first; k < n; ++k) {
            const std::size_t s = k + 1 == n ? 0 : k + 1;
            if (!identical(ring[k], ring[s])) {
                kept.push_back(ring[k]);
                continue;
            }
            // Of a run of coinciding vertices the last one stays.
            removedAny = true;
            raiseHeaderIfFiltered(i, n);
            const std::string x = coordinate(ring[k].x);
            const std::string y = coordinate(ring[k].y);
            if (n < 3) {
                raise(texts::fewerThanThree(i));
                raise(texts::pointNotExported(i, k, x, y));
            } else {
                raise(texts::consecutiveIdentical(i));
                raise(texts::duplicateNotExported(i, k, x, y));
            }
        }
        if (kept.size() >= 3) {
            result.parts.push_back(std::move(kept));
        } else {
            raise(texts::partDroppedAfterChange(i));
        }
    }
    polygon_ = std::move(result);
    changed = removedAny;
}

void clsPolygonCleaner::EliminateOverNextPoints(bool& changed) { dropMiddlePoints(LinePass::OverNext, changed); }

void clsPolygonCleaner::DeletePointsOnLine(bool& changed) { dropMiddlePoints(LinePass::OnLine, changed); }

// All hits are found on the unchanged vertex list, so neighbouring middle
// points can go in the same run. A part whose every vertex would go this way
// (a densely sampled arc, a ring folded onto one line) is left as it is
// rather than dropped unseen: the validation then judges it as it stands.
void clsPolygonCleaner::dropMiddlePoints(LinePass which, bool& changed) {
    bool removedAny = false;
    gis::Polygon result;
    result.parts.reserve(polygon_.parts.size());
    for (std::size_t i = 0; i < polygon_.parts.size(); ++i) {
        const gis::Ring& ring = polygon_.parts[i];
        const std::size_t n = ring.size();
        if (n < 4) {
            // A triangle has no vertex to spare.
            if (n >= 3) {
                result.parts.push_back(ring);
            }
            continue;
        }
        std::vector<std::size_t> hits;
        // The U-turn test's common case from the two sides at the middle
        // point; each side is the next vertex's first side.
        double ux = ring[1].x - ring[0].x, uy = ring[1].y - ring[0].y;
        double a2 = ux * ux + uy * uy;
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t middle = k + 1 == n ? 0 : k + 1;
            const std::size_t last = middle + 1 == n ? 0 : middle + 1;
            const gis::Point& a = ring[k];
            const gis::Point& b = ring[middle];
            const gis::Point& c = ring[last];
            bool hit = false;
            if (which == LinePass::OverNext) {
                // ThreePointsOnLineAndUturn(a, b, c), from the sides it would form.
                const double vx = c.x - b.x, vy = c.y - b.y;
                const double b2 = vx * vx + vy * vy;
                hit = !runsOnSurely(ux, uy, a2, vx, vy, b2) &&
                      uturnNotRunningOn(ux, uy, a2, vx, vy, b2, a.x, a.y, b.x, b.y, c.x, c.y);
                ux = vx;
                uy = vy;
                a2 = b2;
            } else {
                hit = ThreePointsOnLine(a.x, a.y, b.x, b.y, c.x, c.y);
            }
            if (hit) {
                hits.push_back(middle);
            }
        }
        if (hits.empty() || n - hits.size() < 3) {
            result.parts.push_back(std::move(polygon_.parts[i]));  // `ring` is not used again
            continue;
        }
        std::vector<bool> drop(n, false);
        for (const std::size_t m : hits) {
            if (which == LinePass::OverNext) {
                raiseHeaderIfFiltered(i, n);
                raise(texts::uturnOverlap(i));
            } else {
                // The full log names the part before each thinned vertex.
                if (!onlyErrorObjects()) {
                    raiseHeader(i, n);
                }
                raise(texts::threePointsOnLine(i));
            }
            raise(texts::middlePointNotExported(i, m, coordinate(ring[m].x), coordinate(ring[m].y)));
            drop[m] = true;
        }
        gis::Ring kept;
        kept.reserve(n - hits.size());
        for (std::size_t k = 0; k < n; ++k) {
            if (drop[k]) {
                removedAny = true;
            } else {
                kept.push_back(ring[k]);
            }
        }
        result.parts.push_back(std::move(kept));
    }
    polygon_ = std::move(result);
    changed = removedAny;
}

// --- predicates ---------------------------------------------------------------------

double clsPolygonCleaner::lineDistance(double x1, double y1, double x2, double y2, double x3, double y3) const {
    double d = 0.0;
    if (roundedDiffer(x1, x3)) {
        const double m = (y3 - y1) / (x3 - x1);
        d = (m * x2 - y2 + (y1 - m * x1)) / std::sqrt(m * m + 1.0);
    } else {
        // Vertical at this granularity: the horizontal offset is the distance.
        d = x3 - x2;
    }
    // A distance clearly beyond the threshold stays beyond it once rounded;
    // it is returned unrounded, which decides every comparison the same way.
    return clearlyAtLeast(std::fabs(d), threshold_) ? d : rounded(d);
}

// rounded(a) != rounded(b). Values a whole unit apart always round apart;
// only closer ones need the library.
bool clsPolygonCleaner::roundedDiffer(double a, double b) const {
    if (clearlyAtLeast(std::fabs(a - b), 1e-9 * (std::fabs(a) + std::fabs(b)))) {
        return true;
    }
    return rounded(b) != rounded(a);
}

// |rounded(a) - rounded(b)| < threshold: false at once when a and b lie a
// whole unit further apart than the threshold.
bool clsPolygonCleaner::roundedClose(double a, double b) const {
    if (clearlyAtLeast(std::fabs(a - b), threshold_ + 1e-9 * (std::fabs(a) + std::fabs(b)))) {
        return false;
    }
    return std::fabs(rounded(a) - rounded(b)) < threshold_;
}

bool clsPolygonCleaner::ThreePointsOnLine(double x1, double y1, double x2, double y2, double x3, double y3) const {
    return std::fabs(lineDistance(x1, y1, x2, y2, x3, y3)) < threshold_;
}

bool clsPolygonCleaner::ThreePointsOnLineNisMiddle(double x1, double y1, double x2, double y2, double x3,
                                                   double y3) const {
    const double a = euclid(x1, y1, x2, y2);
    const double b = euclid(x2, y2, x3, y3);
    const double c = euclid(x1, y1, x3, y3);
    if (!(a > 0.0 && b > 0.0 && c > 0.0)) {
        return false;
    }
    const bool between = roundedClose(a + b, c);
    return between && ThreePointsOnLine(x1, y1, x2, y2, x3, y3);
}

// Point 1 between 2 and 3 needs a + c - b near 0, point 3 between 1 and 2
// needs c + b - a near 0 (a = |12|, b = |23|, c = |13|). In a triangle
// whose angle at 2 is obtuse, c exceeds a and b, so a + c - b > a and
// c + b - a > b; one whose angle at 1 is not obtuse has b^2 <= a^2 + c^2,
// so a + c - b >= ac / (a + c) >= min(a, c) / 2, and likewise at 3; one
// whose angle at 1 is at most 120 degrees has b^2 <= a^2 + c^2 + ac, so
// a + c - b >= ac / (2 (a + c)) >= min(a, c) / 4 (thin spikes, whose ends
// meet their base at almost a right angle on either side of it). When
// those lengths clear twice what roundedClose needs to say "no" at once
// (threshold, rounding unit and the relative slacks of its two values,
// a + b + c being at most 2 s for s the coordinate differences' sum),
// both tests fail for certain, and nothing needs a square root. The dot
// products must clear their own rounding by far; squared lengths carry a
// relative error near 2^-52, far below the factors of 2 and 4.
// The first of the cases below: at an obtuse corner both a + c - b > a and
// c + b - a > b, and both sides clear k.
inline bool clsPolygonCleaner::runsOnSurely(double ux, double uy, double a2, double vx, double vy, double b2) const {
    const double dot = ux * vx + uy * vy;
    if (!(dot > 0x1p-40 * (std::fabs(ux * vx) + std::fabs(uy * vy)))) {
        return false;
    }
    const double s = std::fabs(ux) + std::fabs(uy) + std::fabs(vx) + std::fabs(vy);
    const double k = 2.0 * (threshold_ + roundingUnit_) + 1e-8 * (1.0 + s);
    const double k2 = k * k;
    return a2 > k2 && b2 > k2;
}

bool clsPolygonCleaner::ThreePointsOnLineAndUturn(double x1, double y1, double x2, double y2, double x3,
                                                  double y3) const {
    const double ux = x2 - x1, uy = y2 - y1;  // 1 -> 2
    const double vx = x3 - x2, vy = y3 - y2;  // 2 -> 3
    const double a2 = ux * ux + uy * uy, b2 = vx * vx + vy * vy;
    if (runsOnSurely(ux, uy, a2, vx, vy, b2)) {
        return false;
    }
    return uturnNotRunningOn(ux, uy, a2, vx, vy, b2, x1, y1, x2, y2, x3, y3);
}

inline bool clsPolygonCleaner::uturnNotRunningOn(double ux, double uy, double a2, double vx, double vy, double b2,
                                                 double x1, double y1, double x2, double y2, double x3,
                                                 double y3) const {
    const double wx = x3 - x1, wy = y3 - y1;  // 1 -> 3
    const double c2 = wx * wx + wy * wy;
    const auto clear = [](double dot, double p, double q) { return dot > 0x1p-40 * (std::fabs(p) + std::fabs(q)); };
    const double s = std::fabs(ux) + std::fabs(uy) + std::fabs(vx) + std::fabs(vy);
    const double k = 2.0 * (threshold_ + roundingUnit_) + 1e-8 * (1.0 + s);
    const double k2 = k * k;
    // At 2 the sides run to 1 (-u) and to 3 (v); at 1 to 2 (u) and 3 (w);
    // at 3 to 1 (-w) and 2 (-v).
    const bool obtuseAt2 = clear(ux * vx + uy * vy, ux * vx, uy * vy);
    const bool acuteAt1 = clear(ux * wx + uy * wy, ux * wx, uy * wy);
    const bool acuteAt3 = clear(vx * wx + vy * wy, vx * wx, vy * wy);
    // An angle of at most 120 degrees: the dot product, less its rounding,
    // no lower than minus half the product of the sides, compared squared;
    // 4.01 for 4 covers the rounding of the squared lengths many times over.
    const auto notWide = [](double dot, double p, double q, double s2, double t2) {
        const double low = dot - 0x1p-40 * (std::fabs(p) + std::fabs(q));
        return low >= 0.0 || 4.01 * low * low < s2 * t2;
    };
    const auto endApart = [&](bool acute, double side2, double dot, double p, double q) {
        const double shorter2 = std::min(side2, c2);
        return (acute && shorter2 > 4.0 * k2) || (shorter2 > 16.0 * k2 && notWide(dot, p, q, side2, c2));
    };
    const bool firstApart = (obtuseAt2 && a2 > k2) || endApart(acuteAt1, a2, ux * wx + uy * wy, ux * wx, uy * wy);
    const bool thirdApart = (obtuseAt2 && b2 > k2) || endApart(acuteAt3, b2, vx * wx + vy * wy, vx * wx, vy * wy);
    if (firstApart && thirdApart) {
        return false;
    }
    return ThreePointsOnLineAndUturnPlain(x1, y1, x2, y2, x3, y3);
}

bool clsPolygonCleaner::ThreePointsOnLineAndUturnPlain(double x1, double y1, double x2, double y2, double x3,
                                                       double y3) const {
    const double a = euclid(x1, y1, x2, y2);
    const double b = euclid(x2, y2, x3, y3);
    const double c = euclid(x1, y1, x3, y3);
    const bool firstBetween = roundedClose(a + c, b);
    const bool thirdBetween = roundedClose(c + b, a);
    return (firstBetween || thirdBetween) && ThreePointsOnLine(x1, y1, x2, y2, x3, y3);
}

// --- single-precision vector helpers ------------------------------------------------------

namespace {

float dotProduct(float ax, float ay, float bx, float by, float cx, float cy) {
    return (ax - bx) * (cx - bx) + (ay - by) * (cy - by);
}

}  // namespace

float clsPolygonCleaner::CrossProductLength(float ax, float ay, float bx, float by, float cx, float cy) {
    return (ax - bx) * (cy - by) - (ay - by) * (cx - bx);
}

float clsPolygonCleaner::GetAngle(float ax, float ay, float bx, float by, float cx, float cy) {
    return ATan2(CrossProductLength(ax, ay, bx, by, cx, cy), dotProduct(ax, ay, bx, by, cx, cy));
}

float clsPolygonCleaner::ATan2(float y, float x) {
    constexpr float pi = std::numbers::pi_v<float>;
    float t = 0.0f;
    if (std::fabs(x) < 0.0001f) {
        t = pi / 2.0f;
    } else {
        t = std::fabs(std::atan(y / x));
    }
    if (x < 0.0f) {
        t = pi - t;
    }
    if (y < 0.0f) {
        t = -t;
    }
    return t;
}

}  // namespace plyvet
