#include "selfintersect/sub_areas.h"

#include "geolib/binding.h"
#include "selfintersect/segment_overlap.h"
#include "selfintersect/sub_area_sieve.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace plyvet::selfintersect {

namespace {

// Result codes of the crossing search.
constexpr std::int32_t kNoFinding = 0;
constexpr std::int32_t kNoFindingAlias = 1;  // never produced, read as "no finding"
constexpr std::int32_t kMeetInPoint = 2;
constexpr std::int32_t kCollinearOverlap = 3;

class RingRepair {
public:
    RingRepair(const gis::Ring& ring, std::size_t part, const Measure& measure, ObjectLog& log)
        : ring_(ring), part_(part), measure_(measure), log_(log) {}

    gis::Polygon run() {
        const std::size_t n = ring_.size();
        if (n < 2) return unchanged();  // no pair of edges to meet
        // Shapefile parts never come near this; a ring the search cannot
        // address is left alone rather than cut at a wrong index.
        if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return unchanged();
        const auto count = static_cast<std::int32_t>(n);

        std::vector<PlyvetXY> rounded;
        rounded.reserve(n);
        for (const gis::Point& p : ring_) rounded.push_back({measure_.round(p.x), measure_.round(p.y)});

        // Each repeated search resumes strictly after the overlap it skipped,
        // so there are at most as many searches as pairs of edges; the bound
        // is kept explicit all the same.
        const std::uint64_t pairs = static_cast<std::uint64_t>(n) * (n - 1) / 2;
        std::int32_t a = 0;
        std::int32_t b = 0;
        for (std::uint64_t search = 0; search <= pairs; ++search) {
            const std::int32_t resumeA = a;
            const std::int32_t resumeB = b;
            PlyvetXY found{};
            const std::int32_t code = geolib::gisc(rounded.data(), count, a, b, found);
            switch (code) {
                case kNoFinding:
                case kNoFindingAlias:
                    return unchanged();
                case kMeetInPoint:
                    return cutAtCrossing(a, b, {found.x, found.y});
                case kCollinearOverlap: {
                    if (!validPair(a, b) || a >= b) fail(code);
                    if (search > 0 && std::pair{a, b} < std::pair{resumeA, resumeB}) return unchanged();
                    if (auto repaired = resolveOverlap(static_cast<std::size_t>(a),
                                                       static_cast<std::size_t>(b)))
                        return std::move(*repaired);
                    // Nothing in common on the unrounded ring: go on after edge b.
                    b = b + 1;
                    break;
                }
                default:
                    fail(code);
            }
        }
        return unchanged();
    }

private:
    gis::Polygon unchanged() const { return gis::Polygon{{ring_}}; }

    [[noreturn]] void fail(std::int32_t code) const {
        throw RuntimeError(kCrossingSearchFailed, std::string(kErrorSource),
                           crossingSearchFailedDescription(part_, code));
    }

    bool validPair(std::int32_t a, std::int32_t b) const {
        const auto n = static_cast<std::int32_t>(ring_.size());
        return a >= 0 && b >= 0 && a < n && b < n && a != b;
    }

    std::size_t after(std::size_t k) const { return k + 1 < ring_.size() ? k + 1 : 0; }

    // A vertex at the cut point (identical to it, or equal to the rounded
    // cut point once rounded itself: the spot the search saw) is not kept
    // beside it.
    void appendUnlessAtCrossing(gis::Ring& subArea, std::size_t k, gis::Point crossing,
                                gis::Point cut) const {
        if (measure_.identical(ring_[k], crossing) || measure_.round(ring_[k]) == cut) return;
        subArea.push_back(ring_[k]);
    }

    // Edges a and b meet in `crossing`. A repeated first vertex is reported
    // with a = n - 1 (the edge ending at vertex 0) and b < a; the cut is the
    // same with the two edges in ring order.
    gis::Polygon cutAtCrossing(std::int32_t a, std::int32_t b, gis::Point crossing) {
        if (!validPair(a, b)) fail(kMeetInPoint);
        if (a > b) std::swap(a, b);
        const auto first = static_cast<std::size_t>(a);
        const auto second = static_cast<std::size_t>(b);
        const std::size_t n = ring_.size();
        const gis::Point cut = measure_.round(crossing);

        // Sub-area 0: up to edge a, the cut, and on after edge b. Sub-area 1:
        // the loop from the cut along edges a + 1 .. b back to it. Vertices
        // at the cut point are left out everywhere, so no sub-area holds the
        // cut point twice in a row (a crossing at a vertex would otherwise
        // leave a duplicate for the next call to report).
        std::vector<gis::Ring> subAreas(2);
        for (std::size_t k = 0; k <= first; ++k) appendUnlessAtCrossing(subAreas[0], k, crossing, cut);
        subAreas[0].push_back(cut);
        subAreas[1].push_back(cut);
        for (std::size_t k = first + 1; k <= second; ++k) appendUnlessAtCrossing(subAreas[1], k, crossing, cut);
        if (const std::size_t resume = after(second); resume > 0) {
            for (std::size_t k = resume; k < n; ++k) appendUnlessAtCrossing(subAreas[0], k, crossing, cut);
        }

        auto kept = sieveSubAreas(std::move(subAreas), part_, CutKind::Crossing, measure_, log_);
        if (!kept) return unchanged();
        return gis::Polygon{std::move(*kept)};
    }

    // Edges a and b share a stretch on the rounded ring. std::nullopt when
    // they share nothing on the unrounded one.
    std::optional<gis::Polygon> resolveOverlap(std::size_t a, std::size_t b) {
        const Segment edgeA{ring_[a], ring_[after(a)]};
        const Segment edgeB{ring_[b], ring_[after(b)]};
        if (length(edgeA) == 0.0 && length(edgeB) == 0.0) return unchanged();

        const CommonShape common = intersect(edgeA, edgeB);
        if (common.kind == CommonShape::Kind::Nothing) return std::nullopt;
        if (common.kind == CommonShape::Kind::Point) return unchanged();

        // The end of the common stretch along edge a: at a spike, the tip.
        const gis::Point end = common.end;
        gis::Ring repaired = ring_;
        for (std::size_t k = repaired.size(); k-- > 0;) {
            const gis::Point p = repaired[k];
            if (!measure_.identical(p, end)) continue;
            repaired.erase(repaired.begin() + static_cast<std::ptrdiff_t>(k));
            const double mx = measure_.round((end.x + p.x) / 2);
            const double my = measure_.round((end.y + p.y) / 2);
            log_.write(log_.texts().headerPointCount(part_, ring_.size()));
            log_.write(log_.texts().collinearOverlap(part_));
            log_.write(log_.texts().overlapMidpoint(part_, mx, my));
            break;
        }
        return gis::Polygon{{std::move(repaired)}};
    }

    const gis::Ring& ring_;
    std::size_t part_;
    const Measure& measure_;
    ObjectLog& log_;
};

}  // namespace

gis::Polygon buildSubAreas(const gis::Ring& ring, std::size_t part, const Measure& measure,
                           ObjectLog& log) {
    return RingRepair(ring, part, measure, log).run();
}

}  // namespace plyvet::selfintersect
