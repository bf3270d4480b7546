// The indexed crossing search: the answer of the plain scan without looking at
// every pair of edges.
//
// Which pairs can meet. The pair test never accepts two edges whose boxes are
// apart by more than a small margin: every accepting branch checks that the
// two X ranges share a value exactly, and that a point lies in both Y ranges,
// with two exceptions in Y only. The 4-decimal fallback for crossing lines
// accepts Y ranges that touch after rounding, that is up to one rounding
// error (0.5e-4 plus a few units in the last place) apart on each side; and
// two edges on one line record (equal slope and intercept) are not checked in
// Y at all, but each edge lies within the error of its own line record of
// that line. So each edge gets a box with its exact X range and its Y range
// widened by a pad that covers both (kPadBase plus a relative term, see
// edgePad), and only pairs whose padded boxes overlap are candidates. Every
// other pair is rejected by the pair test, so leaving it out changes nothing.
//
// Finding the candidates. The ring is cut into monotone chains: runs of
// consecutive edges along which X never turns back and Y never turns back.
// The box of any stretch of a chain is the box of its two end vertices, so two
// chains are compared by halving the longer stretch while the boxes overlap,
// down to single edges. The chains themselves are compared in a sweep over
// their boxes along the axis in which they are thinner. Inside one chain the X
// ranges of two edges that are not neighbours share a value only across
// vertical edges, so a short forward scan from the edge before each vertical
// edge finds those pairs. Neighbouring edges inside a chain never meet (both
// vertical and running on, or on one line running on: the pair test rejects
// both), so only the neighbours at chain ends and the closing pair are tested
// directly.
//
// Before a candidate is tested it is also checked across the normal of each
// of its edges: a pair more than twice the pads apart there (in the maximum
// norm) cannot be accepted either. That keeps long edges whose boxes overlap
// but which run side by side (spikes) from reaching the pair test.
//
// The answer. Every candidate inside the scan range (the resume position
// onward) that comes before the best pair so far is tested with the shared
// pair test; the smallest (a, b) that meets is the plain scan's first
// finding. A repeated vertex comes before any pair, as in the plain scan; it
// always gives two edges that are not neighbours with overlapping boxes (the
// edges ending at both occurrences, or around a zero-length edge), so the
// repeated-vertex check only looks at the end vertices of such candidate
// pairs (at all vertices, through a hash table, when there are very many).
// Rings that fold over themselves again and again give candidates by the
// thousand: past a budget the repeated-vertex check runs at once, and from
// then on pairs that cannot come before the best finding are skipped.
//
// Cost: linear for the chains, n log n at worst for the sweep on rings whose
// edges are spread out. Rings whose monotone stretches are many and long and
// lie over each other (deep spikes all around one centre) cost the number of
// overlapping stretch boxes, as for any box-based search: past a cap of
// enumeration steps per edge this search gives up and the sweep over X
// (crossing_sweep.cpp) answers instead; only when that gives up as well does
// the box search run to its end.
//
// Falls back to the plain scan (documented in crossing.h) for rings of fewer
// than 4 points, for a coordinate or a pad that is not finite, and when the
// chain tables cannot be allocated.

#include "geolib/crossing.h"
#include "geolib/crossing_chains.h"
#include "geolib/crossing_pair.h"
#include "geolib/crossing_sweep.h"
#include "geolib/edge_separation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <optional>
#include <vector>

namespace plyvet::geolib::core {

namespace {

// The pad: 1e-4 covers a rounding to 4 decimals (at most 0.5e-4 plus the
// relative part); 2^-48 times the magnitudes covers the relative rounding
// errors of the rounding and of a line record at least eight times over.
constexpr double kPadBase = 1.0e-4;
constexpr double kPadRelative = 0x1p-48;
constexpr double kLargest = std::numeric_limits<double>::max();

struct Box {
    double xlo, xhi, ylo, yhi;  // Y already widened by the pad
};

// Raises `steep` to the slope term of the line record's error of the sloped
// edge p -> q, 2^-48 |slope| max(|x|). The division is left out where the
// products show that the term stays below kPadBase, which the pad holds
// anyway; below the normal range the products show nothing, and the quotient
// is formed. A slope beyond the double range makes the term infinite, and
// the pad with it: the line record then says nothing of where the edge lies.
inline void raiseSlopeTerm(double& steep, const PlyvetXY& p, const PlyvetXY& q) {
    const double ady = std::fabs(q.y - p.y), adx = std::fabs(q.x - p.x);
    const double ax = std::max(std::fabs(p.x), std::fabs(q.x));
    const double bound = kPadBase * adx;
    if (!(kPadRelative * ady * ax <= bound) || bound < 0x1p-900)
        steep = std::max(steep, kPadRelative * ((ady / adx) * ax));
}

bool overlaps(const Box& p, const Box& q) {
    return p.xlo <= q.xhi && q.xlo <= p.xhi && p.ylo <= q.yhi && q.ylo <= p.yhi;
}

// Edges first..last (inclusive) of the ring, monotone in X and in Y.
struct Chain {
    std::int32_t first;
    std::int32_t last;
    double pad;  // the largest pad of its edges
    Box box;
};


// The first repeated vertex of the ring when every vertex that takes part in a
// repetition is among `candidates` (indexes, in any order, repeats allowed).
std::optional<RepeatedVertex> firstRepeatedVertexAmong(std::span<const PlyvetXY> ring,
                                                       std::vector<std::int32_t> candidates) {
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    // By point, then by index; -0.0 and 0.0 compare equal, as in the plain check.
    std::stable_sort(candidates.begin(), candidates.end(), [&](std::int32_t p, std::int32_t q) {
        return ring[p].x < ring[q].x || (ring[p].x == ring[q].x && ring[p].y < ring[q].y);
    });
    std::optional<RepeatedVertex> first;
    for (std::size_t g = 0; g < candidates.size();) {
        std::size_t end = g + 1;
        const PlyvetXY& p = ring[candidates[g]];
        while (end < candidates.size() && ring[candidates[end]].x == p.x &&
               ring[candidates[end]].y == p.y)
            ++end;
        // Indexes stay ascending inside a group: the first two are m and k.
        if (end - g >= 2 && (!first || candidates[g + 1] < first->second))
            first = RepeatedVertex{candidates[g], candidates[g + 1]};
        g = end;
    }
    return first;
}

// Sorts by key. Chains come in ring order, and along a ring their keys rise
// and fall in long runs (a comb is one rising run and its base): a natural
// merge sort takes the runs as they are, where quicksort's pivots can go bad
// on a sorted sequence with a small key at its end.
using Keyed = std::pair<double, std::int32_t>;

void sortByKey(std::vector<Keyed>& items) {
    const std::size_t n = items.size();
    std::vector<std::size_t> bounds{0};
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i + 1;
        if (j < n && items[j] < items[i]) {
            while (j < n && items[j] < items[j - 1]) ++j;
            std::reverse(items.begin() + static_cast<std::ptrdiff_t>(i),
                         items.begin() + static_cast<std::ptrdiff_t>(j));
        } else {
            while (j < n && !(items[j] < items[j - 1])) ++j;
        }
        bounds.push_back(j);
        i = j;
    }
    if (bounds.size() <= 2) return;
    std::vector<Keyed> other(n);
    while (bounds.size() > 2) {
        std::vector<std::size_t> merged{0};
        for (std::size_t r = 0; r + 1 < bounds.size(); r += 2) {
            const auto at = [&](std::size_t k) {
                return items.begin() + static_cast<std::ptrdiff_t>(k);
            };
            const std::size_t mid = bounds[r + 1];
            const std::size_t end = r + 2 < bounds.size() ? bounds[r + 2] : mid;
            std::merge(at(bounds[r]), at(mid), at(mid), at(end),
                       other.begin() + static_cast<std::ptrdiff_t>(bounds[r]));
            merged.push_back(end);
        }
        items.swap(other);
        bounds.swap(merged);
    }
}

// Where the ring is cut into chains: an edge continues the current chain when
// its directions in X and Y agree with the chain's (a zero component agrees
// with either); a zero-length edge is a chain of its own.
class ChainCut {
public:
    bool continues(const PlyvetXY& p, const PlyvetXY& q) {
        const int sx = direction(p.x, q.x);
        const int sy = direction(p.y, q.y);
        const bool zeroLength = sx == 0 && sy == 0;
        const bool goesOn = cx_ != kClosed && !zeroLength && (sx == 0 || cx_ == 0 || sx == cx_) &&
                            (sy == 0 || cy_ == 0 || sy == cy_);
        if (goesOn) {
            if (sx != 0) cx_ = sx;
            if (sy != 0) cy_ = sy;
        } else {
            cx_ = zeroLength ? kClosed : sx;
            cy_ = sy;
        }
        return goesOn;
    }

private:
    static constexpr int kClosed = 2;  // nothing may continue: no chain yet, or a zero-length edge
    int cx_ = kClosed, cy_ = 0;
};

class IndexedSearch {
public:
    // `enumerationCap` bounds the steps of the box-pair enumeration; past it
    // the search stops early and gaveUp() tells.
    IndexedSearch(std::span<const PlyvetXY> ring, std::int32_t startA, std::int32_t startB,
                  std::size_t enumerationCap = std::numeric_limits<std::size_t>::max() - 1)
        : ring_(ring), n_(static_cast<std::int32_t>(ring.size())), startA_(startA),
          firstB_(startA != 0 || startB != 0 ? startB : 1), enumerationCap_(enumerationCap) {}

    // False when a value is not finite: the caller then runs the plain scan.
    bool buildChains() {
        // A first pass finds where chains break and counts them, so that the
        // table is allocated once: rings of many short chains (combs) would
        // otherwise copy it over and over while it grows. The breaks are kept
        // as one bit an edge for the second pass.
        std::vector<std::uint64_t> breaks((static_cast<std::size_t>(n_) + 63) / 64, 0);
        {
            ChainCut cut;
            std::size_t count = 0;
            for (std::int32_t k = 0; k < n_; ++k) {
                const bool broken = !cut.continues(ring_[k], vertex(k + 1));
                breaks[static_cast<std::size_t>(k) / 64] |= static_cast<std::uint64_t>(broken) << (k % 64);
                count += broken;
            }
            starts_.reserve(count + 1);
            pads_.reserve(count);
        }
        // The chain being built lives in locals until an edge breaks it.
        Chain current{0, 0, 0.0, Box{}};
        double steep = 0.0;  // the largest slope term of its edges
        // Stays 0 while every coordinate is finite: a product by 0 is NaN
        // for an infinite or NaN one, and NaN stays in the sum.
        double zeroIfFinite = 0.0;
        for (std::int32_t k = 0; k < n_; ++k) {
            const PlyvetXY& p = ring_[k];
            const PlyvetXY& q = vertex(k + 1);
            zeroIfFinite += p.x * 0.0 + p.y * 0.0;
            if (((breaks[static_cast<std::size_t>(k) / 64] >> (k % 64)) & 1u) == 0) {
                current.last = k;
                if (p.x == q.x)
                    verticalInside_.push_back({static_cast<std::int32_t>(pads_.size()), k});
            } else {
                if (k > 0) finishChain(current, steep);
                current = Chain{k, k, 0.0, Box{}};
                steep = 0.0;
            }
            if (p.x != q.x) raiseSlopeTerm(steep, p, q);
        }
        if (n_ > 0) finishChain(current, steep);
        starts_.push_back(n_);
        if (!(zeroIfFinite == 0.0)) return false;
        for (const double pad : pads_)
            if (!std::isfinite(pad)) return false;
        return true;
    }

    void findCandidates() {
        for (const auto& [c, edge] : verticalInside_) withinChain(chain(c), edge);
        sweepChains();
        // Neighbours where one chain ends and the next begins, and the closing pair.
        for (std::size_t c = 1; c + 1 < starts_.size(); ++c)
            if (neighboursMayMeet(ring_, starts_[c] - 1)) test(starts_[c] - 1, starts_[c]);
        if (neighboursMayMeet(ring_, n_ - 1)) test(0, n_ - 1);
    }

    // The first repeated vertex. One always makes a pair of edges that are not
    // neighbours with overlapping boxes, ending at both occurrences (or around
    // a zero-length edge); every vertex that repeats another is therefore an
    // end of a candidate edge, and so is the vertex it repeats.
    std::optional<RepeatedVertex> firstRepeatedVertex() const {
        if (settled_) return repeated_;
        if (!sawNonAdjacent_) return std::nullopt;
        if (tooManySuspects_) return firstRepeatedVertexHashed(ring_);
        return firstRepeatedVertexAmong(ring_, suspects_);
    }

    // The first finding in scan order, with its edges.
    const std::optional<PairFinding>& best() const { return best_; }

private:
    // Vertex k, counted on past the end for k = n.
    const PlyvetXY& vertex(std::int32_t k) const { return ring_[k < n_ ? k : k - n_]; }

    // The pad of a chain covers the pad of each of its edges: a line record
    // deviates from its edge's end points by less than 2^-51 times
    // (|y| + |slope| |x| + |dy|), and the 4-decimal rounding moves a value by
    // less than 0.50001e-4 + 2^-52 |y|. Along a monotone chain |y| and |dy| of
    // every edge are bounded by the chain's end points; the slope term is
    // below kPadBase or counted in `steep`.
    void finishChain(Chain c, double steep) {
        const PlyvetXY& first = ring_[c.first];
        const PlyvetXY& end = vertex(c.last + 1);
        const double ay = std::max(std::fabs(first.y), std::fabs(end.y));
        starts_.push_back(c.first);
        pads_.push_back(2 * kPadBase + kPadRelative * (ay + std::fabs(end.y - first.y)) + steep);
    }

    // Chain c with its box, made from the compact table on demand.
    Chain chain(std::size_t c) const {
        const std::int32_t first = starts_[c], last = starts_[c + 1] - 1;
        return Chain{first, last, pads_[c], spanBox(first, last, pads_[c])};
    }

    // The box of edges first..last of one chain: the box of its end vertices.
    Box spanBox(std::int32_t first, std::int32_t last, double pad) const {
        const PlyvetXY& p = ring_[first];
        const PlyvetXY& q = vertex(last + 1);
        return Box{std::min(p.x, q.x), std::max(p.x, q.x), std::min(p.y, q.y) - pad,
                   std::max(p.y, q.y) + pad};
    }

    bool adjacent(std::int32_t i, std::int32_t j) const {
        return j == i + 1 || (i == 0 && j == n_ - 1);
    }

    // Whether the edges i and j are more than `gap` apart in the maximum norm,
    // judged across the normal of each edge: the points of one edge all lie on
    // one side of the other edge's line, beyond the gap widened into that
    // direction (a square of half side gap spans |nx| + |ny| times gap along a
    // normal n), with the rounding error of the cross products on top.
    bool apartAcrossNormals(std::int32_t i, std::int32_t j, double gap) const {
        return separation_detail::beyondLine(ring_[i], ring_[i + 1], ring_[j], vertex(j + 1), gap) ||
               separation_detail::beyondLine(ring_[j], vertex(j + 1), ring_[i], ring_[i + 1], gap);
    }

    // Candidate pair of edges that are not neighbours, padded by padI and padJ.
    // The pair test accepts no pair more than twice the sum of the pads apart
    // in the maximum norm (the rounding fallback: the point lies within two
    // rounding errors of each edge; otherwise within one line-record error).
    void consider(std::int32_t i, std::int32_t j, double padI, double padJ) {
        if (i > j) std::swap(i, j);
        if (adjacent(i, j)) return;  // tested where chains meet, or never meet inside one
        if (apartAcrossNormals(i, j, 2 * (padI + padJ))) return;
        sawNonAdjacent_ = true;
        if (!settled_ && ++considered_ > budget_) settle();
        if (stopped_) return;
        if (!settled_ && !tooManySuspects_) {
            if (suspects_.size() + 4 > ring_.size()) {
                tooManySuspects_ = true;
                suspects_ = {};
            } else {
                suspects_.insert(suspects_.end(), {i, i + 1, j, j + 1 < n_ ? j + 1 : 0});
            }
        }
        test(i, j);
    }

    // Very many candidates (rings that fold over themselves again and again):
    // the repeated-vertex question is answered now, through the hash table.
    // A repeated vertex ends the search at once; otherwise pairs that cannot
    // come before the best finding so far need not be looked at any more.
    void settle() {
        settled_ = true;
        suspects_ = {};
        repeated_ = firstRepeatedVertexHashed(ring_);
        stopped_ = repeated_.has_value();
    }

    // Counts a step of the candidate enumeration; true once there were more
    // than the cap allows (the search is then given up).
    bool overBudget() {
        if (++enumerated_ <= enumerationCap_) return false;
        enumerated_ = enumerationCap_ + 1;
        return true;
    }

public:
    // Whether the enumeration of box pairs was given up at its cap.
    bool gaveUp() const { return enumerated_ > enumerationCap_; }

private:
    // No pair whose lower edge is `lowest` or later can beat the best finding.
    bool beyondBest(std::int32_t lowest) const {
        return stopped_ || (settled_ && best_ && lowest > best_->a);
    }

    // Tests the pair i < j when it lies in the scan range and before the best so far.
    void test(std::int32_t i, std::int32_t j) {
        if (i < startA_ || (i == startA_ && j < firstB_)) return;
        if (best_ && (i > best_->a || (i == best_->a && j >= best_->b))) return;
        const LineRecord li = makeLine(ring_[i], ring_[i + 1]);
        const LineRecord lj = makeLine(ring_[j], vertex(j + 1));
        if (const auto found = testEdgePair(ring_, i, j, li, lj)) best_ = PairFinding{i, j, *found};
    }

    // Pairs inside one chain that are not neighbours. Their X ranges only
    // share a value when every edge between them is vertical, so the scans
    // start at the edge before each vertical edge inside a chain. Along a
    // monotone chain the boxes of later edges move away from an edge's box in
    // both axes: the first later edge whose box misses ends the scan.
    void withinChain(const Chain& c, std::int32_t vertical) {
        const std::int32_t i = vertical - 1;
        const Box bi = spanBox(i, i, c.pad);
        for (std::int32_t j = i + 2; j <= c.last && !beyondBest(i); ++j) {
            if (!overlaps(bi, spanBox(j, j, c.pad))) break;
            consider(i, j, c.pad, c.pad);
        }
    }

    // Stretches s1..e1 of chain c1 and s2..e2 of chain c2 (different chains),
    // whose boxes b1 and b2 overlap. Only the halves of the longer stretch
    // get new boxes.
    void overlapStretches(const Chain& c1, std::int32_t s1, std::int32_t e1, const Box& b1,
                          const Chain& c2, std::int32_t s2, std::int32_t e2, const Box& b2) {
        if (beyondBest(std::min(s1, s2)) || overBudget()) return;
        if (s1 == e1 && s2 == e2) {
            consider(s1, s2, c1.pad, c2.pad);
            return;
        }
        if (e1 - s1 >= e2 - s2) {
            const std::int32_t mid = s1 + (e1 - s1) / 2;
            const Box low = spanBox(s1, mid, c1.pad), high = spanBox(mid + 1, e1, c1.pad);
            if (overlaps(low, b2)) overlapStretches(c1, s1, mid, low, c2, s2, e2, b2);
            if (overlaps(high, b2)) overlapStretches(c1, mid + 1, e1, high, c2, s2, e2, b2);
        } else {
            const std::int32_t mid = s2 + (e2 - s2) / 2;
            const Box low = spanBox(s2, mid, c2.pad), high = spanBox(mid + 1, e2, c2.pad);
            if (overlaps(b1, low)) overlapStretches(c1, s1, e1, b1, c2, s2, mid, low);
            if (overlaps(b1, high)) overlapStretches(c1, s1, e1, b1, c2, mid + 1, e2, high);
        }
    }

    // Chains in order of their boxes' low end along the thinner axis; each is
    // compared with the chains whose boxes still reach it.
    void sweepChains() {
        const std::size_t count = pads_.size();
        double sumW = 0, sumH = 0;
        Box all = chain(0).box;
        for (std::size_t i = 0; i < count; ++i) {
            const Box b = chain(i).box;
            sumW += b.xhi - b.xlo;
            sumH += b.yhi - b.ylo;
            all.xlo = std::min(all.xlo, b.xlo);
            all.xhi = std::max(all.xhi, b.xhi);
            all.ylo = std::min(all.ylo, b.ylo);
            all.yhi = std::max(all.yhi, b.yhi);
        }
        // Expected number of boxes a sweep line meets: total extent over range.
        const bool alongX = sumW * (all.yhi - all.ylo) <= sumH * (all.xhi - all.xlo);
        const auto lo = [alongX](const Box& b) { return alongX ? b.xlo : b.ylo; };
        const auto hi = [alongX](const Box& b) { return alongX ? b.xhi : b.yhi; };

        // Sort keys next to the chain numbers: no indirection while sorting.
        std::vector<std::pair<double, std::int32_t>> order(count);
        for (std::size_t i = 0; i < count; ++i)
            order[i] = {lo(chain(i).box), static_cast<std::int32_t>(i)};
        sortByKey(order);
        std::vector<Chain> active;  // copies with their boxes, in one block
        for (const auto& [start, ci] : order) {
            if (gaveUp()) return;
            const Chain c = chain(static_cast<std::size_t>(ci));
            std::size_t kept = 0;
            for (const Chain& other : active) {
                if (hi(other.box) < start) continue;  // behind the sweep for good
                active[kept++] = other;
                if (overBudget()) continue;
                if (overlaps(other.box, c.box) && !beyondBest(std::min(other.first, c.first)))
                    overlapStretches(other, other.first, other.last, other.box, c, c.first, c.last,
                                     c.box);
            }
            active.resize(kept);
            active.push_back(c);
        }
    }

    std::span<const PlyvetXY> ring_;
    std::int32_t n_;
    std::int32_t startA_;
    std::int32_t firstB_;  // the lowest b of the first row
    // The chains, compact: chain c runs from edge starts_[c] to starts_[c + 1] - 1.
    std::vector<std::int32_t> starts_;
    std::vector<double> pads_;
    struct InsideEdge {
        std::int32_t chain, edge;
    };
    std::vector<InsideEdge> verticalInside_;  // vertical edges that are not first in their chain
    std::vector<std::int32_t> suspects_;      // end vertices of candidate pairs
    bool tooManySuspects_ = false;
    // Candidates seen, and how many may come before the repeated-vertex check
    // is made at once (settle).
    std::size_t considered_ = 0;
    std::size_t budget_ = 8 * ring_.size() + 4096;
    bool settled_ = false;
    bool stopped_ = false;  // a repeated vertex was found: nothing else counts
    std::optional<RepeatedVertex> repeated_;
    bool sawNonAdjacent_ = false;
    std::optional<PairFinding> best_;
    std::size_t enumerated_ = 0;
    std::size_t enumerationCap_;
};

}  // namespace

namespace {

// Steps of the box-pair enumeration per edge before the sweep is tried: the
// benchmark shapes other than spikes take at most about 10 per edge, thin
// spikes around one centre thousands. Below the base the box search costs
// well under a millisecond and is not worth breaking off (spikes of 10^3
// vertices take 87 000 steps).
constexpr std::size_t kEnumerationPerEdge = 32;
constexpr std::size_t kEnumerationBase = 100000;

// The box search; nothing when it stopped at `cap` steps.
std::optional<std::int32_t> searchByBoxes(std::span<const PlyvetXY> ring, std::int32_t& a,
                                          std::int32_t& b, PlyvetXY& point, std::size_t cap) {
    const auto n = static_cast<std::int32_t>(ring.size());
    std::optional<PairFinding> best;
    try {
        IndexedSearch search(ring, a, b, cap);
        if (!search.buildChains()) return findFirstMeetingPlain(ring, a, b, point);
        search.findCandidates();
        if (search.gaveUp()) return std::nullopt;
        if (const auto repeated = search.firstRepeatedVertex())
            return reportRepeatedVertex(*repeated, n, a, b, point, ring);
        best = search.best();
    } catch (const std::bad_alloc&) {
        return findFirstMeetingPlain(ring, a, b, point);
    }
    return reportPairFinding(best, a, b, point);
}

}  // namespace

namespace {

// Rings up to this many points first ask whether they are spaced (below):
// for them the box search's tables cost more than the whole question, and a
// spaced ring is answered in one pass ...
constexpr std::int32_t kSpacedRingMaximum = 4096;
constexpr std::size_t kSpacedWorkPerEdge = 64;
// ... and the separation sweep is tried when X turns back at one vertex in
// this many or more.
constexpr std::int32_t kSpacedTurnShare = 4;

// Whether X (or, with `orY`, X or Y) turns back at one vertex in
// kSpacedTurnShare or more of every `step`-th vertex.
bool turnsBackOften(std::span<const PlyvetXY> ring, std::int64_t step, bool orY) {
    const auto n = static_cast<std::int64_t>(ring.size());
    std::int64_t turns = 0, looked = 0;
    for (std::int64_t k = 0; k < n; k += step, ++looked) {
        const PlyvetXY& p = ring[static_cast<std::size_t>(k)];
        const PlyvetXY& q = ring[static_cast<std::size_t>(k + 1 < n ? k + 1 : 0)];
        const PlyvetXY& r = ring[static_cast<std::size_t>(k + 2 < n ? k + 2 : k + 2 - n)];
        turns += direction(p.x, q.x) * direction(q.x, r.x) < 0 ||
                 (orY && direction(p.y, q.y) * direction(q.y, r.y) < 0);
    }
    return turns >= looked / kSpacedTurnShare;
}

// Whether X turns back at one vertex in kSpacedTurnShare or more: rings of
// long monotone runs are what the box search does best.
bool turnsOften(std::span<const PlyvetXY> ring) { return turnsBackOften(ring, 1, false); }

// Whether X or Y turns back at one vertex in kSpacedTurnShare or more, judged
// on kRunSamples vertices spread evenly over the ring: the monotone chains
// of the box search are then a few edges long (zigzags, random walks,
// spikes), and where the ring can be proved spaced from its centre that
// proof costs less than comparing its chains. Only the choice of the way
// depends on it, never the answer.
constexpr std::int64_t kRunSamples = 4096;

bool shortRuns(std::span<const PlyvetXY> ring) {
    return turnsBackOften(ring, std::max<std::int64_t>(1, static_cast<std::int64_t>(ring.size()) / kRunSamples), true);
}

// How many times a vertical line meets the ring, on average over its X
// range, judged on the polygon of kRunSamples vertices spread evenly over
// it: about 2 for a round outline, the number of windings twice over for a
// spiral. Where many of its long runs lie over each other, the box search
// compares stretches of chains by the dozen at every edge, and the proof by
// runs (one walk per pair of runs next to each other) costs less. Only the
// choice of the way depends on it, never the answer.
constexpr double kDeepOverlap = 32.0;

bool overlapsDeeply(std::span<const PlyvetXY> ring) {
    const auto n = static_cast<std::int64_t>(ring.size());
    const std::int64_t step = std::max<std::int64_t>(1, n / kRunSamples);
    double low = ring[0].x, high = ring[0].x, travelled = 0.0, previous = ring[0].x;
    for (std::int64_t k = step;; k += step) {
        const double x = ring[static_cast<std::size_t>(k < n ? k : 0)].x;
        travelled += std::fabs(x - previous);
        previous = x;
        low = std::min(low, x);
        high = std::max(high, x);
        if (k >= n) break;
    }
    // Also false for a ring without X extent or with a coordinate that is not finite.
    return travelled > kDeepOverlap * (high - low);
}

// The plain scan's answer on a ring where only neighbouring edges can meet
// and no vertex repeats another: the neighbouring pairs in scan order from
// the resume position, (0, 1), (0, n - 1), (1, 2), (2, 3), ...
std::int32_t neighbourAnswer(std::span<const PlyvetXY> ring, std::int32_t& a, std::int32_t& b,
                             PlyvetXY& point) {
    const auto n = static_cast<std::int32_t>(ring.size());
    const std::int32_t startA = a;
    const bool resumed = a != 0 || b != 0;
    // Edge k's line record, kept for the next pair, which shares the edge.
    std::int32_t known = -1;
    LineRecord knownLine;
    const auto lineOf = [&](std::int32_t k) {
        if (k != known) {
            knownLine = makeLine(ring[k], ring[k + 1 < n ? k + 1 : 0]);
            known = k;
        }
        return knownLine;
    };
    const auto meet = [&](std::int32_t ia, std::int32_t ib) -> std::optional<std::int32_t> {
        const LineRecord la = lineOf(ia);
        const LineRecord lb = lineOf(ib);
        if (const auto found = testEdgePair(ring, ia, ib, la, lb))
            return reportPairFinding(PairFinding{ia, ib, *found}, a, b, point);
        return std::nullopt;
    };
    std::int32_t ia = startA;
    if (ia <= n - 2) {
        // The first edge alone may start at a resume position, and only
        // edge 0 has the closing edge for a neighbour.
        const std::int32_t firstB = resumed ? b : ia + 1;
        if (ia + 1 >= firstB && neighboursMayMeet(ring, ia))
            if (const auto found = meet(ia, ia + 1)) return *found;
        if (ia == 0 && n - 1 >= firstB && neighboursMayMeet(ring, n - 1))
            if (const auto found = meet(0, n - 1)) return *found;
        ++ia;
    }
    // The rest in one run, the X values of vertices ia .. ia + 2 handed on.
    // Neighbours only meet where X turns back or stays (neighboursMayMeet
    // asks that first): at vertex ia + 1, edges ia and ia + 1 run opposite
    // ways in X or both keep it (every coordinate is finite here). There the
    // loop first asks what slopesSurelyDiffer asks, from the same products,
    // wherever every difference lies within 2^-200 .. 2^200 in size: both
    // edges are then sloped and moderate, and the products far from the ends
    // of the range, so neighboursMayMeet would say no. Spikes turn back in X
    // at vertex after vertex; their neighbours are settled without forming
    // the edges' turns.
    const auto backOrStay = [](double x0, double x1, double x2) {
        return x1 > x0 ? x2 < x1 : x1 < x0 ? x2 > x1 : x2 == x1;
    };
    if (ia <= n - 2) {
        double x0 = ring[ia].x, x1 = ring[ia + 1].x;
        for (; ia <= n - 2; ++ia) {
            const PlyvetXY& r = ring[ia + 2 < n ? ia + 2 : 0];
            const double x2 = r.x;
            if (backOrStay(x0, x1, x2)) {
                const PlyvetXY& p = ring[ia];
                const PlyvetXY& q = ring[ia + 1];
                const double dx = q.x - p.x, dy = q.y - p.y, ex = r.x - q.x, ey = r.y - q.y;
                const double first = dy * ex, second = ey * dx;
                const double largest =
                    std::max(std::max(std::fabs(dx), std::fabs(dy)), std::max(std::fabs(ex), std::fabs(ey)));
                const double least =
                    std::min(std::min(std::fabs(dx), std::fabs(dy)), std::min(std::fabs(ex), std::fabs(ey)));
                const bool differ = std::fabs(first - second) > 0x1p-48 * (std::fabs(first) + std::fabs(second)) &&
                                    least >= 0x1p-200 && largest <= 0x1p+200;
                if (!differ && neighboursMayMeet(edgeTurn(p, q), edgeTurn(q, r)))
                    if (const auto found = meet(ia, ia + 1)) return *found;
            }
            x0 = x1;
            x1 = x2;
        }
    }
    return reportPairFinding(std::nullopt, a, b, point);
}

// A spaced ring: its edges that share no vertex all lie further apart than
// any accepting pair test reaches, twice the sum of two pads (see the top of
// this file), each at most `widest`. Only neighbouring edges can meet there,
// and no vertex repeats another (a zero-length edge brings the edges on either
// side of it together, so such a ring is never spaced). `otherwise(reach)`
// is asked only when the proof from the centre fails: whether another proof
// shows that only neighbours can meet, where `reach` is the distance at
// which edges must keep apart for the separation sweep (separatedAt below).
template <class Otherwise>
std::optional<std::int32_t> spacedAnswer(std::span<const PlyvetXY> ring, std::int32_t& a, std::int32_t& b,
                                         PlyvetXY& point, Otherwise&& otherwise) {
    const auto n = static_cast<std::int32_t>(ring.size());
    double largestY = 0.0, lowY = ring[0].y, highY = ring[0].y, steep = 0.0;
    separation_detail::Centre centre;  // for the proof from the centre, gathered on the way
    for (std::int32_t k = 0; k < n; ++k) {
        const PlyvetXY& p = ring[k];
        const PlyvetXY& q = ring[k + 1 < n ? k + 1 : 0];
        if (!(std::fabs(p.x) <= kLargest && std::fabs(p.y) <= kLargest)) return std::nullopt;
        centre.add(p.x, p.y);
        largestY = std::max(largestY, std::fabs(p.y));
        lowY = std::min(lowY, p.y);
        highY = std::max(highY, p.y);
        if (p.x != q.x) raiseSlopeTerm(steep, p, q);  // as the box search does
    }
    // Every chain's |y| and y extent are bounded by the ring's; rounding is
    // monotone, so no chain's pad exceeds this one.
    const double widest = 2 * kPadBase + kPadRelative * (largestY + (highY - lowY)) + steep;
    const double reach = 4 * widest * (1 + 0x1p-40);
    if (!std::isfinite(reach)) return std::nullopt;
    const bool spaced =
        separation_detail::viewFrom<PlyvetXY>(ring, centre, reach).has_value() || otherwise(reach);
    if (!spaced) return std::nullopt;
    return neighbourAnswer(ring, a, b, point);
}

// What edgesApart asks when the proof from the centre has failed.
bool separatedAt(std::span<const PlyvetXY> ring, double reach) {
    const std::span<const PlyvetXY> rings[] = {ring};
    return separation_detail::apart<PlyvetXY>(rings, reach, kSpacedWorkPerEdge);
}

}  // namespace

std::optional<std::int32_t> findFirstMeetingSpaced(std::span<const PlyvetXY> ring, std::int32_t& a,
                                                   std::int32_t& b, PlyvetXY& point, bool sweep) {
    return spacedAnswer(ring, a, b, point, [&](double reach) { return sweep && separatedAt(ring, reach); });
}

std::optional<std::int32_t> findFirstMeetingByRuns(std::span<const PlyvetXY> ring, std::int32_t& a,
                                                   std::int32_t& b, PlyvetXY& point) {
    if (!onlyNeighboursMeetByRuns(ring)) return std::nullopt;
    return neighbourAnswer(ring, a, b, point);
}

// Small rings are first asked whether they are spaced: all of them by the
// proof from their centre, which costs less than the box search; where that
// fails, by the proof by runs in X (crossing_chains.h), and those that turn
// back often (combs) also by the separation sweep. Large rings of short
// monotone runs, and those whose long runs lie over each other many deep
// (spirals), are asked by the proof by runs in X, which settles combs along
// X and other rings of few long runs in X in about two passes and declines
// at once where the runs are many. Rings of short runs are then asked by the
// proof from their centre: it settles wavy and spiky outlines around a
// centre in one pass, where the box search compares their many short chains
// (and thin spikes by the thousand), and when it fails it has cost a pass.
// Then the box search; at box pairs by the thousand per edge (thin spikes
// around one centre) the sweep, which proves most edges apart without
// pairing them; when it gives up too, the box search runs to its end.
std::int32_t findFirstMeetingIndexed(std::span<const PlyvetXY> ring, std::int32_t& a,
                                     std::int32_t& b, PlyvetXY& point) {
    const auto n = static_cast<std::int32_t>(ring.size());
    if (n < 4) return findFirstMeetingPlain(ring, a, b, point);
    if (!validResume(a, b, n)) return kFailure;

    try {
        if (n <= kSpacedRingMaximum) {
            const auto otherwise = [&](double reach) {
                return onlyNeighboursMeetByRuns(ring) || (turnsOften(ring) && separatedAt(ring, reach));
            };
            if (const auto found = spacedAnswer(ring, a, b, point, otherwise)) return *found;
        } else if (const bool shortRunsRing = shortRuns(ring); shortRunsRing || overlapsDeeply(ring)) {
            if (const auto found = findFirstMeetingByRuns(ring, a, b, point)) return *found;
            if (shortRunsRing)
                if (const auto found = findFirstMeetingSpaced(ring, a, b, point, false)) return *found;
        }
    } catch (const std::bad_alloc&) {
        // the box search needs less memory
    }
    const std::size_t cap = kEnumerationPerEdge * ring.size() + kEnumerationBase;
    if (const auto found = searchByBoxes(ring, a, b, point, cap)) return *found;
    try {
        if (const auto found = findFirstMeetingSwept(ring, a, b, point)) return *found;
    } catch (const std::bad_alloc&) {
        // the box search needs less memory
    }
    return *searchByBoxes(ring, a, b, point, std::numeric_limits<std::size_t>::max() - 1);
}

}  // namespace plyvet::geolib::core
