// The proof by runs: that no two edges of a ring that share no vertex come
// as close as the pair test could accept, for rings made of few long runs in X.
//
// Runs. A run is a maximal stretch of consecutive edges along which X
// strictly grows or strictly falls; vertical edges stand on their own, and a
// zero-length edge ends the proof. Two edges of one run that are not
// neighbours share no X at all, and the pair test accepts no pair without a
// shared X (crossing_sweep.cpp). Two runs that follow each other on the ring
// share the vertex where X turns back, unless a vertical edge lies between
// them; both then begin there or both end there.
//
// Pairs. The runs present at an X are kept in their order by Y. Two runs
// become neighbours in that order when one of them begins, or when a run
// between them ends, and stay neighbours until one of them ends or another
// begins between them. Each such pair is walked when it parts, over the X
// range it spent side by side: at every vertex of either and at both ends the
// upper run must lie more than G (sweepGap) above the lower one, and then it
// does so throughout, for between those X values both are straight. When
// every pair passes, the order is right at every X, and any two runs further
// apart in it are more than G apart as well. (Decisions taken on the order at
// an X, such as where a run goes in, rest on pairs that are only walked
// later; a wrong order fails one of those walks, and with it the proof.)
// Where two runs begin or end at the vertex they share, the gap is not asked
// while both are still on the two edges at that vertex: those are
// neighbours. They keep their order beside it all the same (two edges from
// one vertex meet only there unless they overlap, and then the next X value
// shows it), so the argument stands, except next to a run of a single edge
// that shares both its vertices: there the two gaps not asked may lie over
// each other, and the runs on either side of it are walked together too.
//
// Where runs begin. A run that begins at an X is placed among the runs
// present there by its Y, and must lie more than G from each of them except
// the run it shares its vertex with (the two are ordered by the turn between
// their first edges). A vertical edge must lie more than G from every run
// present at its X except those ending at one of its vertices, and from every
// other vertical edge on that X except its neighbours.
//
// Cost: one pass to cut the runs, a walk of about two evaluations per vertex,
// and a binary search among the runs present wherever one begins or ends; the
// proof is not tried when the runs are so many that moving them about in
// their order would dominate.

#include "geolib/crossing_chains.h"
#include "geolib/crossing_pair.h"
#include "geolib/crossing_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace plyvet::geolib::core {

namespace {

// The proof is tried only while runs × runs stays within this many times the
// vertices (plus a base for small rings).
constexpr std::int64_t kRunWorkPerVertex = 16;
constexpr std::int64_t kRunWorkBase = 1024;
// More vertical edges on one X than this, and the proof gives up.
constexpr std::size_t kVerticalsOnOneX = 16;

struct Run {
    std::int32_t first;   // its first edge in ring order
    std::int32_t length;  // edges
    bool rising;          // X grows along the ring
};

struct Vertical {
    double x, ylo, yhi;
    std::int32_t edge;
};

class RunProof {
public:
    explicit RunProof(std::span<const PlyvetXY> ring)
        : ring_(ring), n_(static_cast<std::int32_t>(ring.size())) {}

    // Cuts the ring into runs and measures G; false on a zero-length edge,
    // too many runs, or a coordinate that is not finite or too large.
    bool cut() {
        const auto directionX = [&](std::int32_t k) { return direction(ring_[k].x, ring_[wrap(k + 1)].x); };
        // Start where a run starts, so that none wraps past the start.
        std::int32_t start = 0;
        for (std::int32_t k = 0; k < n_; ++k)
            if (directionX(k) != directionX(k == 0 ? n_ - 1 : k - 1)) {
                start = k;
                break;
            }
        const auto most = static_cast<std::int64_t>(
            std::sqrt(static_cast<double>(kRunWorkPerVertex * n_ + kRunWorkBase)));
        int previous = 0;          // direction of the run open, 0 for none
        std::int32_t length = 0;   // its edges so far
        GapMeter meter;
        for (std::int32_t i = 0, k = start; i < n_; ++i, k = k + 1 < n_ ? k + 1 : 0) {
            const PlyvetXY& p = ring_[k];
            const PlyvetXY& q = ring_[k + 1 < n_ ? k + 1 : 0];
            if (!meter.add(p, q)) return false;
            if (p.x == q.x) {
                if (p.y == q.y) return false;
                verticals_.push_back({p.x, std::min(p.y, q.y), std::max(p.y, q.y), k});
                previous = 0;
                continue;
            }
            const int d = p.x < q.x ? 1 : -1;
            if (d == previous) {
                ++length;
                continue;
            }
            if (!runs_.empty()) runs_.back().length = length;
            if (static_cast<std::int64_t>(runs_.size()) >= most) return false;
            runs_.push_back({k, 1, d > 0});
            length = 1;
            previous = d;
        }
        if (!runs_.empty()) runs_.back().length = length;
        const auto gap = meter.gap();
        if (!gap) return false;
        gap_ = *gap;
        return true;
    }

    bool sweep() {
        struct Event {
            double x;
            int kind;  // 0 a run begins, 1 a vertical edge, 2 a run ends
            std::int32_t id;
            bool operator<(const Event& o) const { return x < o.x || (x == o.x && kind < o.kind); }
        };
        std::vector<Event> events;
        events.reserve(2 * runs_.size() + verticals_.size());
        for (std::int32_t r = 0; r < static_cast<std::int32_t>(runs_.size()); ++r) {
            events.push_back({leftX(runs_[r]), 0, r});
            events.push_back({rightX(runs_[r]), 2, r});
        }
        for (std::int32_t v = 0; v < static_cast<std::int32_t>(verticals_.size()); ++v)
            events.push_back({verticals_[v].x, 1, v});
        std::sort(events.begin(), events.end());
        pairFrom_.assign(runs_.size(), 0.0);

        for (std::size_t i = 0; i < events.size();) {
            const double x = events[i].x;
            std::size_t end = i;
            while (end < events.size() && events[end].x == x) ++end;
            std::size_t g = i;
            for (; g < end && events[g].kind == 0; ++g)
                if (!enter(events[g].id, x)) return false;
            const std::size_t verticalsFrom = g;
            while (g < end && events[g].kind == 1) ++g;
            if (g > verticalsFrom) {
                group_.clear();
                for (std::size_t e = verticalsFrom; e < g; ++e) group_.push_back(events[e].id);
                if (!verticalsAt(x)) return false;
            }
            for (; g < end; ++g)
                if (!leave(events[g].id, x)) return false;
            i = end;
        }
        return active_.empty() && besideSingleEdges();
    }

private:
    std::int32_t wrap(std::int32_t k) const { return k >= n_ ? k - n_ : k; }

    // The vertex at step t = 0 .. length of run r, counted in X order.
    std::int32_t vertexAt(const Run& r, std::int32_t t) const {
        return wrap(r.rising ? r.first + t : r.first + r.length - t);
    }
    double xAt(const Run& r, std::int32_t t) const { return ring_[vertexAt(r, t)].x; }
    std::int32_t leftVertex(const Run& r) const { return vertexAt(r, 0); }
    std::int32_t rightVertex(const Run& r) const { return vertexAt(r, r.length); }
    double leftX(const Run& r) const { return xAt(r, 0); }
    double rightX(const Run& r) const { return xAt(r, r.length); }

    // The step of run r's edge that holds x, x in its X range: the later
    // edge at a vertex.
    std::int32_t edgeAt(const Run& r, double x) const {
        std::int32_t lo = 0, hi = r.length - 1;  // the last step whose X is <= x
        while (lo < hi) {
            const std::int32_t mid = lo + (hi - lo + 1) / 2;
            if (xAt(r, mid) <= x)
                lo = mid;
            else
                hi = mid - 1;
        }
        return lo;
    }

    // Y of run r at x in its X range; exact at its vertices.
    double yAt(std::int32_t r, double x) const {
        const Run& run = runs_[r];
        return Walker(*this, run, edgeAt(run, x)).y(x);
    }

    // --- the runs present, in order, and the pairs next to each other ---

    // The first place in the order whose run lies at `y` or above at x.
    std::size_t firstAtOrAbove(double y, double x) const {
        std::size_t lo = 0, hi = active_.size();
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (yAt(active_[mid], x) < y)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }

    // The run at place i and the run above it became neighbours at x.
    void formPair(std::size_t i, double x) { pairFrom_[static_cast<std::size_t>(active_[i])] = x; }

    // The run at place i and the run above it part at x: walked from where they formed.
    bool partPair(std::size_t i, double x) const {
        const std::int32_t u = active_[i], v = active_[i + 1];
        return walkPair(u, v, pairFrom_[static_cast<std::size_t>(u)], x, 1.0);
    }

    // Run r begins at x: it must keep G from every run present but the one
    // it shares its vertex with, and goes in by its Y.
    bool enter(std::int32_t r, double x) {
        const Run& run = runs_[r];
        const std::int32_t vertex = leftVertex(run);
        const double y = ring_[vertex].y;
        std::size_t at = firstAtOrAbove(y - gap_, x);
        if (at < active_.size() && !(yAt(active_[at], x) > y + gap_)) {
            // Only its partner may come that close, and only one run shares its vertex.
            const std::int32_t partner = active_[at];
            if (leftVertex(runs_[partner]) != vertex) return false;
            if (at + 1 < active_.size() && !(yAt(active_[at + 1], x) > y + gap_)) return false;
            const int side = turn(r, partner);
            if (side == 0) return false;
            at = side < 0 ? at : at + 1;
        }
        if (at > 0 && at < active_.size() && !partPair(at - 1, x)) return false;
        active_.insert(active_.begin() + static_cast<std::ptrdiff_t>(at), r);
        if (at > 0) formPair(at - 1, x);
        if (at + 1 < active_.size()) formPair(at, x);
        return true;
    }

    // Run r ends at x: its pairs are walked, and the runs beside it become neighbours.
    bool leave(std::int32_t r, double x) {
        const auto at = static_cast<std::size_t>(std::find(active_.begin(), active_.end(), r) - active_.begin());
        if (at > 0 && !partPair(at - 1, x)) return false;
        if (at + 1 < active_.size() && !partPair(at, x)) return false;
        active_.erase(active_.begin() + static_cast<std::ptrdiff_t>(at));
        if (at > 0 && at < active_.size()) formPair(at - 1, x);
        return true;
    }

    // -1 when run r, beginning at the vertex where run w begins too, goes
    // off below it, +1 above, 0 in doubt: by the turn between their first
    // edges, or else by their Y at the nearer end of those edges.
    int turn(std::int32_t r, std::int32_t w) const {
        const PlyvetXY& p = ring_[leftVertex(runs_[r])];
        const PlyvetXY& e = ring_[vertexAt(runs_[r], 1)];
        const PlyvetXY& f = ring_[vertexAt(runs_[w], 1)];
        const double dxe = e.x - p.x, dye = e.y - p.y, dxf = f.x - p.x, dyf = f.y - p.y;
        const double cross = dxe * dyf - dye * dxf;  // > 0: w's edge turns up from r's
        const double error = 0x1p-49 * (std::fabs(dxe * dyf) + std::fabs(dye * dxf));
        if (cross > error) return -1;
        if (cross < -error) return 1;
        const double x = std::min(e.x, f.x);
        const double mine = yAt(r, x), theirs = yAt(w, x);
        return mine < theirs ? -1 : (mine > theirs ? 1 : 0);
    }

    bool adjacentEdges(std::int32_t i, std::int32_t j) const {
        return wrap(i + 1) == j || wrap(j + 1) == i;
    }

    // The vertical edges in group_, all on X = x.
    bool verticalsAt(double x) const {
        if (group_.size() > kVerticalsOnOneX) return false;
        for (std::size_t i = 0; i < group_.size(); ++i) {
            const Vertical& v = verticals_[group_[i]];
            for (std::size_t m = firstAtOrAbove(v.ylo - gap_, x); m < active_.size() && !(yAt(active_[m], x) > v.yhi + gap_); ++m) {
                // Runs ending at one of its vertices end with its neighbouring edges.
                const Run& run = runs_[active_[m]];
                const std::int32_t l = leftVertex(run), h = rightVertex(run);
                const std::int32_t p = v.edge, q = wrap(v.edge + 1);
                if (l != p && l != q && h != p && h != q) return false;
            }
            for (std::size_t j = i + 1; j < group_.size(); ++j) {
                const Vertical& w = verticals_[group_[j]];
                if (adjacentEdges(v.edge, w.edge)) continue;
                if (!(w.ylo - v.yhi > gap_ || v.ylo - w.yhi > gap_)) return false;
            }
        }
        return true;
    }

    // A run of one edge between two runs that share its vertices: beside
    // it, both gaps not asked (those at the shared vertices) may lie over
    // each other, so the two runs are walked together there as well, on
    // whichever side of each other they are.
    bool besideSingleEdges() const {
        const auto count = static_cast<std::int32_t>(runs_.size());
        for (std::int32_t r = 0; r < count; ++r) {
            const Run& run = runs_[r];
            if (run.length != 1 || count < 3) continue;
            const std::int32_t before = r == 0 ? count - 1 : r - 1, after = r + 1 == count ? 0 : r + 1;
            const Run& rb = runs_[before];
            const Run& ra = runs_[after];
            // Runs follow each other on the ring; a vertical edge between means no shared vertex.
            if (wrap(rb.first + rb.length) != run.first || wrap(run.first + 1) != ra.first) continue;
            const double from = std::max({leftX(run), leftX(rb), leftX(ra)});
            const double to = std::min({rightX(run), rightX(rb), rightX(ra)});
            if (!(from < to)) continue;
            const double d = yAt(after, from) - yAt(before, from);
            if (d == 0.0 || !walkPair(before, after, from, to, d > 0 ? 1.0 : -1.0)) return false;
        }
        return true;
    }

    // Run v more than G above run u (below, with side -1) at every vertex of
    // either between xa and xb and at both ends, except where both are on
    // the two edges at a vertex they share (neighbours).
    bool walkPair(std::int32_t u, std::int32_t v, double xa, double xb, double side) const {
        const Run& ru = runs_[u];
        const Run& rv = runs_[v];
        // Up to here (from here on) both are still on their first (last) edges.
        const double firstEdges =
            leftVertex(ru) == leftVertex(rv) ? std::min(xAt(ru, 1), xAt(rv, 1)) : xa;
        const double lastEdges = rightVertex(ru) == rightVertex(rv)
                                     ? std::max(xAt(ru, ru.length - 1), xAt(rv, rv.length - 1))
                                     : xb;
        Walker wu(*this, ru, edgeAt(ru, xa)), wv(*this, rv, edgeAt(rv, xa));
        const auto apart = [&](double x) {
            return x < firstEdges || x > lastEdges || side * (wv.y(x) - wu.y(x)) > gap_;
        };
        if (!apart(xa)) return false;
        // Inside, each vertex of one run lies inside an edge of the other (or
        // on a vertex of it), and past the edges at a shared vertex.
        for (;;) {
            const double nu = wu.next.x, nv = wv.next.x;
            if (!(std::min(nu, nv) < xb)) break;
            if (nu < nv) {
                wu.step();
                if (!(side * (wv.inside(nu) - wu.at.y) > gap_)) return false;
            } else if (nv < nu) {
                wv.step();
                if (!(side * (wv.at.y - wu.inside(nv)) > gap_)) return false;
            } else {
                wu.step();
                wv.step();
                if (!(side * (wv.at.y - wu.at.y) > gap_)) return false;
            }
        }
        return apart(xb);
    }

    // A run's edge during a walk, with its slope worked out when first needed.
    struct Walker {
        Walker(const RunProof& owner, const Run& walked, std::int32_t step)
            : proof(owner), run(walked), t(step), at(owner.ring_[owner.vertexAt(walked, step)]),
              next(owner.ring_[owner.vertexAt(walked, step + 1)]) {}
        void step() {
            ++t;
            at = next;
            next = proof.ring_[proof.vertexAt(run, t + 1)];
            slope = kUnknown;
        }
        // Y at x strictly inside the edge's X range.
        double inside(double x) {
            if (slope == kUnknown) slope = (next.y - at.y) / (next.x - at.x);
            return at.y + (x - at.x) * slope;
        }
        // Y at x inside the edge's X range; exact at its ends.
        double y(double x) {
            if (x == at.x) return at.y;
            if (x == next.x) return next.y;
            return inside(x);
        }
        static constexpr double kUnknown = std::numeric_limits<double>::infinity();
        const RunProof& proof;
        const Run& run;
        std::int32_t t;
        PlyvetXY at, next;
        double slope = kUnknown;
    };

    std::span<const PlyvetXY> ring_;
    std::int32_t n_;
    double gap_ = 0.0;
    std::vector<Run> runs_;
    std::vector<Vertical> verticals_;
    std::vector<std::int32_t> active_;  // runs present, by Y
    std::vector<double> pairFrom_;      // per run: the X where it and the run above became neighbours
    std::vector<std::int32_t> group_;   // vertical edges on one X
};

}  // namespace

bool onlyNeighboursMeetByRuns(std::span<const PlyvetXY> ring) {
    if (ring.size() < 4) return false;
    RunProof proof(ring);
    return proof.cut() && proof.sweep();
}

}  // namespace plyvet::geolib::core
