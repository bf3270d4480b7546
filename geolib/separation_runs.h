#pragma once
// The edge separation of edgesApart (edge_separation.h) proved by runs, for
// rings made of few long runs along which x keeps one direction (spirals,
// combs along x, outlines wound round and back): one walk along each pair
// of runs next to each other instead of a search over all edges.
//
// Runs. A run is a maximal stretch of consecutive edges along which x
// strictly grows or strictly falls; a vertical edge is a run of its own, of
// no width. Every run begins and ends at an event: an x where some run
// begins or ends. Between two events next to each other (a strip) the same
// runs are present throughout, and none of them ends there.
//
// Which pairs are asked where. Let p and q be points of two edges that
// share no vertex, at most d apart in x and in y, D a little more than d and
// K D the margin of the strips. Either one of them lies within K D of an
// event in x, and then both lie within (K + 1) D of it: both edges meet the
// zone of that width either side of the event, and all pairs of edges
// meeting a zone are put to the shared pair test (separation_pairs.h). Or
// both lie in one strip, at least K D from both its events (two points less
// than 2 K D apart in x cannot lie in two strips so far from the event
// between them). There, in one run, the edges between theirs span less than
// d in x, and such pairs are put to the pair test too. In two runs, the runs
// are ordered by y across the strip, and each pair next to each other in
// that order is walked over the part of the strip at least K D from its
// events: for p on the lower run and q on the upper one, q.y - p.y is at
// least their vertical gap at p.x less d times the slope of the steepest
// edge of the upper run within d of p.x, so that gap must exceed d plus D
// times a bound on those slopes; between the vertices of either run the gap
// is straight and the bound that of one edge, so the vertices and the two
// ends of that part are all the walk asks at. Runs further apart in the
// order are apart as well: the segment from p to q crosses every run
// between, which spans the whole strip, at a point no further from p than q
// is, and the first such run lies next to p's in the order.
//
// Neighbours are exempt only in the pair test, at the events where their
// runs meet; elsewhere a walk compares everything, so two runs whose first
// edges leave a shared vertex at a very sharp angle fail the walk, and the
// caller searches its own way. So does every doubt: rounding, a coordinate
// that is not finite or too large, runs so many that moving them about
// would cost more than the search, and work beyond the budget.

#include "geolib/separation_pairs.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <vector>

namespace plyvet::geolib::separation_detail {

// The proof is tried only while runs × runs stays within this many times
// the edges (plus a base for small rings).
inline constexpr std::size_t kSeparationRunsPerEdge = 16;
inline constexpr std::size_t kSeparationRunsBase = 1024;
// How far from its events a strip is walked, in windows D: far enough
// that two runs leaving one vertex at an angle of some degrees have
// parted by more than d there, which a walk asks of them.
inline constexpr double kStripMargin = 8.0;
// Smaller rings cost the sweep little whatever their shape.
inline constexpr std::size_t kRunSeparationMinimum = 1024;

template <class Point>
class RunSeparation {
public:
    // `budget` bounds the pair tests, the edges gathered in zones and the
    // vertices looked at in walks, all together.
    RunSeparation(std::span<const Point> ring, double distance, std::size_t budget)
        : ring_(ring), n_(ring.size()), d_(distance), budget_(budget), rings_({0, static_cast<std::uint32_t>(ring.size())}) {}

    bool proves() {
        if (n_ < 4 || n_ > 0xFFFFFFFFu || !std::isfinite(d_) || d_ < 0.0 || !cut()) {
            return false;
        }
        // Box gaps are differences of coordinates: widening the distance by
        // a few units in the last place of the largest one keeps the answers
        // certain. The window D is wider still, so that windows and zones
        // formed in floating point hold the exact ones, and the walks ask
        // for E more than d to cover the rounding of the y they interpolate.
        reach_ = d_ * (1 + 0x1p-48) + 0x1p-48 * largest_;
        window_ = d_ * (1 + 0x1p-40) + 0x1p-40 * largest_;
        need_ = d_ * (1 + 0x1p-40) + 0x1p-40 * largest_;
        if (!std::isfinite(reach_) || !std::isfinite(window_) || !std::isfinite((kStripMargin + 1) * window_ + largest_)) {
            return false;
        }
        return boundSlopes() && withinRuns() && sweep();
    }

private:
    struct Run {
        std::uint32_t first;   // its first edge in ring order
        std::uint32_t length;  // edges
        bool rising;           // x grows along the ring (a vertical edge: true)
        double left, right;    // its x range
        std::size_t offset;    // its vertices in x order: steps_[offset .. offset + length]
    };
    struct Step {
        double x, y;
    };
    struct ZoneEdge {
        double ylo, yhi, xlo, xhi;
        std::uint32_t edge;
    };

    std::size_t wrap(std::size_t k) const { return k >= n_ ? k - n_ : k; }
    // Step t = 0 .. length of run r, in x order: its vertex, and the edge
    // from step t to step t + 1.
    std::size_t vertexAt(const Run& r, std::uint32_t t) const {
        return wrap(r.first + (r.rising ? t : r.length - t));
    }
    std::uint32_t edgeAt(const Run& r, std::uint32_t t) const {
        return static_cast<std::uint32_t>(wrap(r.first + (r.rising ? t : r.length - 1 - t)));
    }
    const Step& at(const Run& r, std::uint32_t t) const { return steps_[r.offset + t]; }

    // The last step t < length whose x is at most x (0 when x lies left of
    // the run): the edge that holds x, the later one at a vertex.
    std::uint32_t stepAt(const Run& r, double x) const {
        std::uint32_t lo = 0, hi = r.length - 1;
        while (lo < hi) {
            const std::uint32_t mid = lo + (hi - lo + 1) / 2;
            if (at(r, mid).x <= x) {
                lo = mid;
            } else {
                hi = mid - 1;
            }
        }
        return lo;
    }

    // y of run r at x inside the x range of its edge at step t, from the
    // edge's grade (boundSlopes); exact at the edge's first end. A vertical
    // edge never holds a point strictly inside a strip.
    double yAt(const Run& r, std::uint32_t t, double x) const {
        const Step& p = at(r, t);
        return p.y + (x - p.x) * slopes_[r.offset + t].grade;
    }

    // Edge k's ends.
    const Point& from(std::uint32_t k) const { return ring_[k]; }
    const Point& to(std::uint32_t k) const { return ring_[k + 1 == n_ ? 0 : k + 1]; }

    // Whether the boxes of edges e and f lie more than the reach apart in x
    // or in y, compared as the sweep compares them.
    bool boxesApart(std::uint32_t e, std::uint32_t f) const {
        const Point &a = from(e), &b = to(e), &c = from(f), &g = to(f);
        return std::max(a.x, b.x) + reach_ < std::min(c.x, g.x) || std::max(c.x, g.x) + reach_ < std::min(a.x, b.x) ||
               std::max(a.y, b.y) + reach_ < std::min(c.y, g.y) || std::max(c.y, g.y) + reach_ < std::min(a.y, b.y);
    }

    // The shared pair test (pairApart) of edges e and f.
    bool edgesKeepApart(std::uint32_t e, std::uint32_t f) const {
        return pairApart(rings_, std::min(e, f), std::max(e, f), reach_,
                         [&](std::uint32_t k) { return Ends<Point>{&from(k), &to(k)}; });
    }

    bool spend(std::size_t work) {
        work_ += work;
        return work_ <= budget_;
    }

    // Cuts the ring into runs, starting where one starts so that none wraps
    // past the start; false on a coordinate that is not finite or too large,
    // and on too many runs.
    bool cut() {
        const auto direction = [&](std::size_t k) {
            const double a = ring_[k].x, b = ring_[k + 1 == n_ ? 0 : k + 1].x;
            return a < b ? 1 : a > b ? -1 : 0;
        };
        std::size_t start = n_;
        for (std::size_t k = 0; k < n_; ++k) {
            const int here = direction(k);
            if (here == 0 || here != direction(k == 0 ? n_ - 1 : k - 1)) {
                start = k;
                break;
            }
        }
        if (start == n_) {
            return false;  // no vertical edge and no turn: not a closed ring of finite points
        }
        const auto most = static_cast<std::size_t>(
            std::sqrt(static_cast<double>(kSeparationRunsPerEdge * n_ + kSeparationRunsBase)));
        int previous = 0;
        for (std::size_t i = 0, k = start; i < n_; ++i, k = k + 1 < n_ ? k + 1 : 0) {
            const Point& p = ring_[k];
            if (!(std::fabs(p.x) <= 0x1p500 && std::fabs(p.y) <= 0x1p500)) {
                return false;
            }
            largest_ = std::max({largest_, std::fabs(p.x), std::fabs(p.y)});
            const int d = direction(k);
            if (d != 0 && d == previous) {
                ++runs_.back().length;
                continue;
            }
            if (runs_.size() >= most) {
                return false;
            }
            runs_.push_back({static_cast<std::uint32_t>(k), 1, d >= 0, 0.0, 0.0, 0});
            previous = d;
        }
        // Each run's vertices copied out in x order, so that the walks read
        // them one after the other.
        std::size_t total = 0;
        for (const Run& r : runs_) total += r.length + 1;
        steps_.resize(total);
        std::size_t offset = 0;
        for (Run& r : runs_) {
            r.offset = offset;
            std::size_t k = vertexAt(r, 0);
            for (std::uint32_t t = 0; t <= r.length; ++t) {
                steps_[offset + t] = {ring_[k].x, ring_[k].y};
                k = r.rising ? (k + 1 == n_ ? 0 : k + 1) : (k == 0 ? n_ - 1 : k - 1);
            }
            offset += r.length + 1;
            r.left = at(r, 0).x;
            r.right = at(r, r.length).x;
        }
        return true;
    }

    // Within each run: edges that share no vertex and lie within D of each
    // other in x, the edges between them spanning less than that.
    bool withinRuns() {
        for (const Run& r : runs_) {
            for (std::uint32_t i = 0; i + 2 < r.length; ++i) {
                const double end = at(r, i + 1).x;
                for (std::uint32_t j = i + 2; j < r.length && !(at(r, j).x - end > window_); ++j) {
                    const std::uint32_t e = edgeAt(r, i), f = edgeAt(r, j);
                    if (!spend(1)) {
                        return false;
                    }
                    if (!boxesApart(e, f) && !edgesKeepApart(e, f)) {
                        return false;
                    }
                }
            }
        }
        return true;
    }

    // The events in x order, taken zone by zone (events whose zones overlap
    // form one), with the strip after each zone walked.
    bool sweep() {
        std::vector<double> xs;
        xs.reserve(2 * runs_.size());
        std::vector<std::uint32_t> byLeft(runs_.size()), byRight;
        for (std::uint32_t r = 0; r < runs_.size(); ++r) {
            xs.push_back(runs_[r].left);
            xs.push_back(runs_[r].right);
            byLeft[r] = r;
            if (runs_[r].left < runs_[r].right) byRight.push_back(r);
        }
        std::sort(xs.begin(), xs.end());
        xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
        const auto leftOf = [&](std::uint32_t a, std::uint32_t b) { return runs_[a].left < runs_[b].left; };
        const auto rightOf = [&](std::uint32_t a, std::uint32_t b) { return runs_[a].right < runs_[b].right; };
        std::sort(byLeft.begin(), byLeft.end(), leftOf);
        std::sort(byRight.begin(), byRight.end(), rightOf);
        // Strips are walked from kStripMargin windows off their events; the
        // zones reach one window further.
        const double margin = kStripMargin * window_, zone = margin + window_;
        std::vector<std::uint32_t> active, place(runs_.size(), 0), zoneRuns;
        std::size_t nextLeft = 0, nextRight = 0;
        for (std::size_t a = 0; a < xs.size();) {
            std::size_t b = a;
            while (b + 1 < xs.size() && !(xs[b + 1] - zone > xs[b] + zone)) ++b;
            // The runs meeting the zone: those present before it, and those
            // beginning at one of its events (no run ends or begins between
            // the zones).
            zoneRuns = active;
            for (std::size_t k = nextLeft; k < byLeft.size() && runs_[byLeft[k]].left <= xs[b]; ++k) {
                zoneRuns.push_back(byLeft[k]);
            }
            if (!zoneApart(zoneRuns, xs[a] - zone, xs[b] + zone)) {
                return false;
            }
            // The events of the zone: runs of some width come and go.
            for (; nextLeft < byLeft.size() && runs_[byLeft[nextLeft]].left <= xs[b]; ++nextLeft) {
                const std::uint32_t r = byLeft[nextLeft];
                if (runs_[r].left < runs_[r].right) {
                    place[r] = static_cast<std::uint32_t>(active.size());
                    active.push_back(r);
                }
            }
            for (; nextRight < byRight.size() && runs_[byRight[nextRight]].right <= xs[b]; ++nextRight) {
                const std::uint32_t r = byRight[nextRight];
                const std::uint32_t i = place[r];
                active[i] = active.back();
                place[active[i]] = i;
                active.pop_back();
            }
            if (b + 1 < xs.size() && !stripApart(active, xs[b] + margin, xs[b + 1] - margin)) {
                return false;
            }
            a = b + 1;
        }
        return true;
    }

    // All pairs of edges of the given runs that meet [lo, hi] in x: a sweep
    // in y over them, the pairs whose boxes come within reach put to the
    // pair test. The edges still within reach in y are kept in a table that
    // drops those left behind as it is scanned.
    bool zoneApart(const std::vector<std::uint32_t>& runs, double lo, double hi) {
        zone_.clear();
        for (const std::uint32_t ri : runs) {
            const Run& r = runs_[ri];
            std::uint32_t t = stepAt(r, lo);
            t = t > 0 ? t - 1 : 0;  // and the edge ending where one starts
            for (; t < r.length && !(at(r, t).x > hi); ++t) {
                const Step& p = at(r, t);
                const Step& q = at(r, t + 1);
                zone_.push_back({std::min(p.y, q.y), std::max(p.y, q.y), std::min(p.x, q.x), std::max(p.x, q.x),
                                 edgeAt(r, t)});
            }
        }
        if (!spend(zone_.size())) {
            return false;
        }
        std::sort(zone_.begin(), zone_.end(), [](const ZoneEdge& e, const ZoneEdge& f) { return e.ylo < f.ylo; });
        reaching_.clear();
        for (const ZoneEdge& f : zone_) {
            std::size_t kept = 0;
            for (std::size_t m = 0; m < reaching_.size(); ++m) {
                const ZoneEdge e = reaching_[m];
                if (e.yhi + reach_ < f.ylo) {
                    continue;  // every later edge begins higher still
                }
                reaching_[kept++] = e;
                if (e.xhi + reach_ < f.xlo || f.xhi + reach_ < e.xlo) {
                    continue;
                }
                if (!edgesKeepApart(e.edge, f.edge)) {
                    return false;
                }
            }
            if (!spend(reaching_.size())) {
                return false;
            }
            reaching_.resize(kept);
            reaching_.push_back(f);
        }
        return true;
    }

    // The runs present throughout [lo, hi], ordered by y in its middle, and
    // each two next to each other walked over it.
    bool stripApart(const std::vector<std::uint32_t>& active, double lo, double hi) {
        if (!(lo < hi) || active.size() < 2) {
            return true;
        }
        const double middle = lo + (hi - lo) / 2;
        order_.clear();
        for (const std::uint32_t r : active) {
            const Run& run = runs_[r];
            order_.push_back({yAt(run, stepAt(run, middle), middle), r});
        }
        if (!spend(order_.size())) {
            return false;
        }
        std::sort(order_.begin(), order_.end());
        for (std::size_t k = 0; k + 1 < order_.size(); ++k) {
            const Run& below = runs_[order_[k].second];
            const Run& above = runs_[order_[k + 1].second];
            if (!apartAbove(below, above, lo, hi)) {
                return false;
            }
        }
        return true;
    }

    // For each edge of each run (step t to t + 1) its slope, and bounds on
    // the slopes of the edges of the run within D of it in x to its left
    // and to its right, its own included: those a window of half width D
    // about a point of the edge can meet on either side. Rounded up by far
    // more than the quotients' own rounding; infinite for a vertical edge.
    bool boundSlopes() {
        // Every entry is written below before it is read: left as allocated.
        slopes_.reset(new Slopes[steps_.size()]);
        for (const Run& r : runs_) {
            const Step* const v = steps_.data() + r.offset;
            Slopes* const bounds = slopes_.get() + r.offset;
            bounds[r.length] = {};  // the run's last vertex begins no edge of it
            for (std::uint32_t t = 0; t < r.length; ++t) {
                const double dx = v[t + 1].x - v[t].x;
                const double grade = dx > 0.0 ? (v[t + 1].y - v[t].y) / dx : 0.0;
                bounds[t].grade = grade;
                bounds[t].slope = dx > 0.0 ? std::fabs(grade) * (1 + 0x1p-40) : kSteep;
            }
            const auto slope = [&](std::uint32_t t) { return bounds[t].slope; };
            // The edges next to edge t are always within reach; those beyond
            // them only where the one next to it spans no more than D.
            std::size_t looked = 0;
            for (std::uint32_t t = 0; t < r.length; ++t) {
                double left = slope(t), right = slope(t);
                if (t > 0) {
                    left = std::max(left, slope(t - 1));
                    for (std::uint32_t k = t - 1; k > 0 && !(v[t].x - v[k].x > window_); --k, ++looked) {
                        left = std::max(left, slope(k - 1));
                    }
                }
                if (t + 1 < r.length) {
                    right = std::max(right, slope(t + 1));
                    for (std::uint32_t k = t + 2; k < r.length && !(v[k].x - v[t + 1].x > window_); ++k, ++looked) {
                        right = std::max(right, slope(k));
                    }
                }
                bounds[t].left = left;
                bounds[t].right = right;
            }
            if (!spend(looked)) {
                return false;
            }
        }
        return true;
    }

    // Run `above` more than d above run `below` at every two points within d
    // of each other in x, both over [lo, hi], both runs spanning it. For a
    // point p of below and q of above, q.y - p.y is at least the vertical
    // gap at p.x less d times the steepest edge of above within d of p.x;
    // so the gap must exceed d plus D times the slope bound, at every vertex
    // of either run and at both ends (between those the gap is straight and
    // the bound one edge's). Interpolated values may miss the exact ones by
    // a few units in the last place of the largest coordinate, which the
    // margin of need_ over d covers.
    bool apartAbove(const Run& below, const Run& above, double lo, double hi) {
        const Step* const u = steps_.data() + below.offset;
        const Step* const w = steps_.data() + above.offset;
        const std::uint32_t iu0 = stepAt(below, lo), iw0 = stepAt(above, lo), iwn = stepAt(above, hi);
        // The slopes a window can meet from a point of edge f inside
        // [lo, hi]: none left of the edge that holds lo, none right of the
        // one that holds hi.
        const auto steepest = [&](std::uint32_t f) {
            const std::size_t k = above.offset + f;
            const Slopes& b = slopes_[k];
            return std::max(f == iw0 ? b.slope : b.left, f == iwn ? b.slope : b.right);
        };
        const auto clear = [&](double gap, double slope) { return gap > need_ + window_ * slope; };
        std::uint32_t iu = iu0, iw = iw0;
        double slope = steepest(iw);
        if (!clear(yAt(above, iw, lo) - yAt(below, iu, lo), slope)) {
            return false;
        }
        // Without branches on which run has the next vertex: at a vertex of
        // one run both are evaluated on the edges after it.
        bool ok = true;
        for (;;) {
            const double xu = u[iu + 1].x, xw = w[iw + 1].x;
            const double x = std::min(xu, xw);
            if (!(x < hi)) {
                break;
            }
            const double before = slope;
            iu += static_cast<std::uint32_t>(xu == x);
            iw += static_cast<std::uint32_t>(xw == x);
            slope = steepest(iw);
            ok &= clear(yAt(above, iw, x) - yAt(below, iu, x), std::max(before, slope));
        }
        return ok && clear(yAt(above, iw, hi) - yAt(below, iu, hi), slope) && spend(iu - iu0 + iw - iw0 + 1);
    }

    std::span<const Point> ring_;
    std::size_t n_;
    double d_;
    std::size_t budget_, work_ = 0;
    RingStarts rings_;
    double largest_ = 0.0, reach_ = 0.0, window_ = 0.0, need_ = 0.0;
    std::vector<Run> runs_;
    std::vector<Step> steps_;
    // Per step of steps_ (boundSlopes): the edge's grade and slope bound, and
    // the bounds of the edges a window about it can meet to its left and right.
    struct Slopes {
        double grade, slope, left, right;
    };
    std::unique_ptr<Slopes[]> slopes_;
    static constexpr double kSteep = std::numeric_limits<double>::infinity();
    std::vector<ZoneEdge> zone_, reaching_;
    std::vector<std::pair<double, std::uint32_t>> order_;
};

// How often a vertical line meets the ring on average over its x range,
// judged on about kCrowdingSamples of its vertices taken in ring order: 2 for
// a round outline, twice the windings for a spiral. Where it is high the
// strips hold many runs to order, and the grid of the separation search
// costs less. Only the choice of the way depends on it, never an answer;
// 0 for a ring without x extent or with a coordinate that is not finite.
inline constexpr std::size_t kCrowdingSamples = 1024;

template <class Point>
double sampledCrowding(std::span<const Point> ring) {
    const std::size_t n = ring.size();
    const std::size_t step = std::max<std::size_t>(1, n / kCrowdingSamples);
    double low = ring[0].x, high = ring[0].x, travelled = 0.0, previous = ring[0].x;
    for (std::size_t k = step;; k += step) {
        const double x = ring[k < n ? k : 0].x;
        travelled += std::fabs(x - previous);
        previous = x;
        low = std::min(low, x);
        high = std::max(high, x);
        if (k >= n) break;
    }
    const double crowding = travelled / (high - low);
    return std::isfinite(crowding) ? crowding : 0.0;
}

// True only when every two edges of the closed ring that share no vertex are
// more than `distance` apart in x or in y at every pair of their points, as
// for edgesApart; false on every doubt and past `budget` steps of work.
template <class Point>
bool apartByRuns(std::span<const Point> ring, double distance, std::size_t budget) {
    RunSeparation<Point> proof(ring, distance, budget);
    return proof.proves();
}

}  // namespace plyvet::geolib::separation_detail
