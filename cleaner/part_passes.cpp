// Whole-part work: the identical-parts pass that opens Clean(), and the
// validation phase that ends it (vertex count, area, self-crossing,
// containment and overlap of parts, orientation by nesting depth, slivers).

#include "cleaner/edge_meeting.h"
#include "cleaner/event_texts.h"
#include "cleaner/part_nesting.h"
#include "cleaner/part_pairs.h"
#include "cleaner/polygon_cleaner.h"
#include "cleaner/vertex_search.h"
#include "geolib/binding.h"
#include "geolib/edge_separation.h"
#include "pipeline/gis/geos_ops.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <utility>

namespace plyvet {

namespace texts = cleaner_texts;

namespace {

using cleaner_search::apart;
using cleaner_search::Bounds;
using cleaner_search::boundsOf;

// Relative slack for the floating error of distances at these magnitudes.
double slack(const Bounds& a, const Bounds& b) { return 1e-9 * (1.0 + std::max(a.magnitude(), b.magnitude())); }

gis::Point middle(gis::Point a, gis::Point b) { return {a.x + (b.x - a.x) / 2.0, a.y + (b.y - a.y) / 2.0}; }

// A point of the common area: its centroid, or that of its first ring when
// the area falls into several rings.
gis::Point representativePoint(const gis::Polygon& common) {
    if (common.parts.size() == 1) {
        return gis::centroid(common);
    }
    return gis::centroid(gis::Polygon{{common.parts.front()}});
}

// One part kept by the validation, with its place in the nesting.
struct PartRecord {
    gis::Polygon copy;  // the part alone, always with positive (clockwise) area
    std::size_t part = 0;
    bool negative = false;
    int containedBy = 0;                 // number of kept parts that contain it
    std::vector<std::size_t> contains;   // records of the parts it contains
    bool doneThisRound = false;
    bool finished = false;
};

struct Sliver {
    std::size_t part;
    double area;
};

}  // namespace

// --- identical parts -------------------------------------------------------------

void clsPolygonCleaner::EliminateIdenticalParts(bool& changed) {
    const std::size_t count = polygon_.parts.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t n = polygon_.parts[i].size();
        if (!onlyErrorObjects()) {
            raiseHeader(i, n);
        }
        if (n < 3) {
            raiseHeaderIfFiltered(i, n);
            corruptedPart_ = static_cast<std::int16_t>(i);
            throw texts::tooFewPoints(i, n);
        }
    }

    // A single part has nothing to share vertices with.
    if (count < 2) {
        changed = false;
        return;
    }
    std::vector<Bounds> bounds;
    std::vector<double> magnitudes;
    bounds.reserve(count);
    magnitudes.reserve(count);
    for (const gis::Ring& ring : polygon_.parts) {
        bounds.push_back(boundsOf(ring));
        magnitudes.push_back(cleaner_search::magnitude(ring));
    }

    // Only pairs whose boxes come within the margin can share a vertex.
    const auto pairMargin = [&](std::size_t i, std::size_t j) {
        return identicalMargin(std::max(magnitudes[i], magnitudes[j]));
    };
    const double largest = magnitudes.empty() ? 0.0 : *std::max_element(magnitudes.begin(), magnitudes.end());
    const auto meeting = cleaner_search::meetingPairs(bounds, pairMargin, identicalMargin(largest));

    std::vector<std::size_t> noted;
    std::vector<bool> isNoted(count, false);
    for (std::size_t i = 0; i < count; ++i) {
        const gis::Ring& one = polygon_.parts[i];
        // Built at the first later part that meets this one, then shared by all of them.
        std::optional<cleaner_search::PairCounter> counter;
        for (const std::size_t j : meeting[i]) {
            if (j <= i) {
                continue;
            }
            const gis::Ring& other = polygon_.parts[j];
            const double margin = pairMargin(i, j);
            // A hole well inside its outline (or the other way round) shares
            // no vertex with it: every vertex of one keeps further than the
            // margin from the other's, so the count is 0 and says nothing.
            // The proof passes over both rings; against a part far smaller
            // than this one, the count (this part's grid built once) is cheaper.
            if (one.size() <= 4 * other.size() &&
                (geolib::separation_detail::insideWithRoom<gis::Point>(one, other, margin) ||
                 geolib::separation_detail::insideWithRoom<gis::Point>(other, one, margin))) {
                continue;
            }
            if (!counter) counter.emplace(one, identicalMargin(magnitudes[i]));
            const std::size_t shared =
                counter->count(other, margin, [&](std::size_t a, std::size_t b) { return identical(one[a], other[b]); });
            if (shared >= 1 && shared != other.size()) {
                raise(texts::sharedPoints(i, j, shared));
            }
            // A part identical to several earlier parts goes only once.
            if (shared == one.size() && shared == other.size() && !isNoted[j]) {
                isNoted[j] = true;
                noted.push_back(j);
            }
        }
    }

    for (const std::size_t j : noted) {
        raise(texts::duplicatePartRemoved(j));
    }
    // Removal by the original indices, so the order of the notes cannot make
    // a later removal hit a neighbour of the duplicate.
    if (!noted.empty()) {
        gis::Polygon kept;
        kept.parts.reserve(count - noted.size());
        for (std::size_t i = 0; i < count; ++i) {
            if (!isNoted[i]) {
                kept.parts.push_back(std::move(polygon_.parts[i]));
            }
        }
        polygon_ = std::move(kept);
    }
    changed = !noted.empty();
}

// --- self-crossing ---------------------------------------------------------------------

std::optional<gis::Point> clsPolygonCleaner::selfIntersection(const gis::Ring& ring) {
    linearSelfIntersection_ = false;
    if (ring.empty()) {
        return std::nullopt;
    }
    std::vector<PlyvetXY>& rounded = roundedRing_;
    rounded.clear();
    for (const gis::Point& p : ring) {
        rounded.push_back(PlyvetXY{p.x, p.y});
    }
    geolib::roudEach(rounded.data(), rounded.size(), granularity_);
    const auto n = static_cast<std::int32_t>(std::min<std::size_t>(rounded.size(), INT32_MAX));
    std::int32_t a = 0;
    std::int32_t b = 0;
    PlyvetXY where{};
    switch (geolib::gisc(rounded.data(), n, a, b, where)) {
    case 2:
        return gis::Point{where.x, where.y};
    case 3:
        linearSelfIntersection_ = true;
        return gis::Point{where.x, where.y};
    default:
        // 0 and 1: no finding; anything else is no usable answer either.
        return std::nullopt;
    }
}

// --- validation ----------------------------------------------------------------------------

void clsPolygonCleaner::validateParts() {
    corruptedPart_ = -1;
    intersectionPoint_.reset();

    std::vector<PartRecord> records;
    std::vector<Sliver> slivers;
    for (std::size_t i = 0; i < polygon_.parts.size(); ++i) {
        const gis::Ring& ring = polygon_.parts[i];
        if (ring.size() < 3) {
            corruptedPart_ = static_cast<std::int16_t>(i);
            throw texts::tooFewPoints(i, ring.size());
        }
        // Coordinates that are not finite (or overflow the sum) leave no
        // area. The sum starts at 0 as the area of a polygon does.
        const double area = 0.0 + gis::ringArea(ring);
        if (!std::isfinite(area)) {
            corruptedPart_ = static_cast<std::int16_t>(i);
            throw texts::areaNotComputable(i);
        }
        if (const auto crossing = selfIntersection(ring)) {
            raiseHeaderIfFiltered(i, ring.size());
            raise(texts::selfCrossing(i));
            raise(texts::crossingPoint(i, coordinate(crossing->x), coordinate(crossing->y)));
            intersectionPoint_ = crossing;
            throw texts::selfCrossingError(i);
        }
        if (std::fabs(area) >= SplitterAreaTolerance) {
            PartRecord record;
            record.part = i;
            record.negative = area < 0.0;
            records.push_back(std::move(record));
        } else {
            slivers.push_back({i, area});
        }
    }

    // Which part lies inside which; overlapping parts end the cleaning.
    // Bounds that do not even touch share no area and no vertex: only the
    // pairs whose bounds meet are examined, in the order of the plain loop
    // (r ascending, then s ascending).
    // A single part has no pair to examine, and needs no copy of its own.
    std::vector<std::vector<std::size_t>> meeting(records.size());
    if (records.size() > 1) {
        for (PartRecord& record : records) {
            record.copy = gis::Polygon{{polygon_.parts[record.part]}};
            if (record.negative) {
                std::reverse(record.copy.parts.front().begin(), record.copy.parts.front().end());
            }
        }
        std::vector<Bounds> recordBounds;
        recordBounds.reserve(records.size());
        double largest = 0.0;
        for (const PartRecord& record : records) {
            recordBounds.push_back(boundsOf(record.copy.parts.front()));
            if (recordBounds.back().usable) largest = std::max(largest, recordBounds.back().magnitude());
        }
        meeting = cleaner_search::meetingPairs(
            recordBounds, [&](std::size_t r, std::size_t s) { return slack(recordBounds[r], recordBounds[s]); },
            1e-9 * (1.0 + largest));
    }
    // Whether each of two parts is covered by the other: the pair (r, s)
    // and the pair (s, r) ask the same two differences, so they are asked once.
    struct Coverage {
        bool firstCovered;   // nothing of the lower record lies outside the higher
        bool secondCovered;  // nothing of the higher lies outside the lower
    };
    std::map<std::pair<std::size_t, std::size_t>, Coverage> coverage;
    // Outlines that keep clearly apart settle the pair without the overlay,
    // with the answer it gives: the lower record's ring first.
    std::map<std::pair<std::size_t, std::size_t>, std::optional<cleaner_search::Nesting>> nesting;
    for (std::size_t r = 0; r < records.size(); ++r) {
        for (const std::size_t s : meeting[r]) {
            PartRecord& outer = records[r];
            PartRecord& inner = records[s];
            const gis::Ring& innerRing = inner.copy.parts.front();
            const std::pair<std::size_t, std::size_t> pair{std::min(r, s), std::max(r, s)};
            auto settled = nesting.find(pair);
            if (settled == nesting.end()) {
                settled = nesting
                              .emplace(pair, cleaner_search::nestingApart(records[pair.first].copy.parts.front(),
                                                                          records[pair.second].copy.parts.front()))
                              .first;
            }
            if (settled->second) {
                using cleaner_search::Nesting;
                const Nesting innerInOuter = r < s ? Nesting::SecondInFirst : Nesting::FirstInSecond;
                if (*settled->second == innerInOuter) {
                    outer.contains.push_back(s);
                    ++inner.containedBy;
                }
                // Otherwise the outer lies inside the inner (the pair (s, r)
                // records it) or the two are disjoint: nothing to note here.
                continue;
            }
            std::size_t inside = 0;
            std::size_t outside = 0;
            bool sharesArea = false;
            const auto common = gis::intersection(outer.copy, inner.copy);
            if (common) {
                const std::pair<std::size_t, std::size_t> key{std::min(r, s), std::max(r, s)};
                auto known = coverage.find(key);
                if (known == coverage.end()) {
                    const bool innerCovered = !gis::difference(inner.copy, outer.copy);
                    const bool outerCovered = !gis::difference(outer.copy, inner.copy);
                    known = coverage.emplace(key, r < s ? Coverage{outerCovered, innerCovered}
                                                        : Coverage{innerCovered, outerCovered})
                                .first;
                }
                const bool innerCovered = r < s ? known->second.secondCovered : known->second.firstCovered;
                const bool outerCovered = r < s ? known->second.firstCovered : known->second.secondCovered;
                if (innerCovered && !outerCovered) {
                    inside = innerRing.size();
                } else if (outerCovered && !innerCovered) {
                    outside = 1;  // outer lies inside inner: the pair (s, r) records it
                } else {
                    // Common area without containment, or two parts covering
                    // the same area: an overlap whatever their vertices say.
                    sharesArea = true;
                }
            } else {
                for (const bool in : gis::containsPoints(outer.copy, innerRing)) {
                    if (in) {
                        ++inside;
                    } else {
                        ++outside;
                    }
                }
                // Without common area the parts can at most touch: vertices on
                // the other's outline never make a part contained.
                if (inside > 0 && outside == 0) {
                    outside = 1;
                }
            }

            if (inside > 0 && outside == 0 && !sharesArea) {
                outer.contains.push_back(s);
                ++inner.containedBy;
                continue;
            }
            if (!sharesArea && !(inside > 0 && outside > 0)) {
                continue;
            }
            std::optional<gis::Point> where;
            if (common) {
                where = representativePoint(*common);
            } else {
                where = overlapAlongEdges(outer.copy.parts.front(), innerRing);
            }
            if (where) {
                raise(texts::partsOverlap(outer.part, inner.part));
                intersectionPoint_ = where;
                throw texts::partsOverlapError(outer.part, inner.part);
            }
        }
    }

    // Orientation by nesting depth: outermost parts positive, parts inside
    // one part negative, islands in those positive again, and so on.
    bool positive = false;
    std::size_t remaining = records.size();
    while (remaining > 0) {
        positive = !positive;
        bool anyThisRound = false;
        for (PartRecord& record : records) {
            if (record.finished || record.containedBy != 0) {
                continue;
            }
            record.doneThisRound = true;
            anyThisRound = true;
            if (record.negative == positive) {
                const gis::Ring& ring = polygon_.parts[record.part];
                raiseHeaderIfFiltered(record.part, ring.size());
                raise(texts::orientationCorrected(record.part, positive));
                std::reverse(polygon_.parts[record.part].begin(), polygon_.parts[record.part].end());
            }
        }
        if (!anyThisRound) {
            break;  // parts left that contain each other: no depth to give them
        }
        for (PartRecord& record : records) {
            if (!record.doneThisRound) {
                continue;
            }
            --remaining;
            record.doneThisRound = false;
            for (const std::size_t c : record.contains) {
                --records[c].containedBy;
            }
            record.contains.clear();
            record.finished = true;
        }
    }

    // Slivers go last, so the orientation reports still name the original parts.
    std::size_t removed = 0;
    for (const Sliver& sliver : slivers) {
        raise(texts::sliverRemoved(sliver.part, number(sliver.area)));
        polygon_.parts.erase(polygon_.parts.begin() + static_cast<std::ptrdiff_t>(sliver.part - removed));
        ++removed;
    }
}

// Two parts without common area overlap when edges of both run along each
// other for at least the threshold, or meet away from the edges' vertices.
// Meetings at (or within the threshold of) a vertex are a mere touching.
std::optional<gis::Point> clsPolygonCleaner::overlapAlongEdges(const gis::Ring& one, const gis::Ring& other) const {
    using cleaner_geometry::EdgeMeeting;
    // At threshold 0 nothing is "below" it, yet a meeting exactly in a vertex
    // is still only a touching.
    const auto near = [this](gis::Point p, gis::Point q) {
        const double d = roundedDistance(p, q);
        return d < threshold_ || d == 0.0;
    };
    for (std::size_t k = 0; k < one.size(); ++k) {
        const gis::Point a1 = one[k];
        const gis::Point a2 = one[(k + 1) % one.size()];
        for (std::size_t m = 0; m < other.size(); ++m) {
            const gis::Point b1 = other[m];
            const gis::Point b2 = other[(m + 1) % other.size()];
            const auto nearVertex = [&](gis::Point p) { return near(p, a1) || near(p, a2) || near(p, b1) || near(p, b2); };
            const EdgeMeeting meeting = cleaner_geometry::meetEdges(a1, a2, b1, b2);
            switch (meeting.kind) {
            case EdgeMeeting::Kind::None:
                break;
            case EdgeMeeting::Kind::Stretch: {
                const double length = roundedDistance(meeting.from, meeting.to);
                if (length >= threshold_ && length > 0.0) {
                    return middle(meeting.from, meeting.to);
                }
                if (!nearVertex(meeting.from) || !nearVertex(meeting.to)) {
                    return middle(meeting.from, meeting.to);
                }
                break;
            }
            case EdgeMeeting::Kind::Point:
                if (!nearVertex(meeting.from)) {
                    return meeting.from;
                }
                break;
            }
        }
    }
    return std::nullopt;
}

}  // namespace plyvet
