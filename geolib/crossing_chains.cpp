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
// Slabs. Between two neighbouring X values at which a run begins or ends or a
// vertical edge stands, the same runs are present throughout, each one a
// function of X. In their order by Y, each two runs next to each other are
// walked together over the slab, at every vertex of either and at both ends:
// when the upper one is more than G (sweepGap) above the lower one at each of
// these X values, it is so throughout, for between them both are straight.
// The order then holds inside the slab, and any two runs further apart in it
// are more than G apart too. Where two runs begin or end at their shared
// vertex at one of the slab's ends, the gap at that vertex is not asked:
// their edges there are neighbours. They still keep their order beside it
// (two edges from one vertex meet only there unless they overlap, and then
// the next X value shows it), so the argument stands; only where a run has
// such a partner on either side are the two runs beside it walked together
// as well, since next to a single edge the two gaps not asked may overlap.
//
// Slab ends. A run that begins at such an X is placed among the runs present
// there by its Y, and must lie more than G from each of them except the run
// it shares its vertex with (the two are ordered by the turn between their
// first edges). A vertical edge must lie more than G from every run present
// there except those ending at one of its vertices, and from every other
// vertical edge on that X except its neighbours.
//
// Cost: one pass to cut the runs, a walk of about two evaluations per vertex,
// and work in the number of runs at each slab end; the proof is not tried
// when the runs are so many that this last part would dominate.

#include "geolib/crossing_chains.h"
#include "geolib/crossing_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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

    // Cuts the ring into runs; false on a zero-length edge or too many runs.
    bool cut() {
        const auto direction = [&](std::int32_t k) {
            const double from = ring_[k].x, to = ring_[wrap(k + 1)].x;
            return (to > from) - (to < from);
        };
        // Start where a run starts, so that none wraps past the start.
        std::int32_t start = 0;
        for (std::int32_t k = 0; k < n_; ++k)
            if (direction(k) != direction(k == 0 ? n_ - 1 : k - 1)) {
                start = k;
                break;
            }
        const auto most = static_cast<std::int64_t>(
            std::sqrt(static_cast<double>(kRunWorkPerVertex * n_ + kRunWorkBase)));
        int previous = 0;  // direction of the run open, 0 for none
        for (std::int32_t i = 0; i < n_; ++i) {
            const std::int32_t k = wrap(start + i);
            const PlyvetXY& p = ring_[k];
            const PlyvetXY& q = ring_[wrap(k + 1)];
            if (p.x == q.x) {
                if (p.y == q.y) return false;
                verticals_.push_back({p.x, std::min(p.y, q.y), std::max(p.y, q.y), k});
                previous = 0;
                continue;
            }
            const int d = p.x < q.x ? 1 : -1;
            if (d == previous) {
                ++runs_.back().length;
            } else {
                if (static_cast<std::int64_t>(runs_.size()) >= most) return false;
                runs_.push_back({k, 1, d > 0});
                previous = d;
            }
        }
        return true;
    }

    bool measure() {
        const auto gap = sweepGap(ring_);
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
        cursor_.assign(runs_.size(), 0);

        double previousX = 0.0;
        for (std::size_t i = 0; i < events.size();) {
            const double x = events[i].x;
            std::size_t end = i;
            while (end < events.size() && events[end].x == x) ++end;
            if (i > 0 && !walkSlab(previousX, x)) return false;
            ys_.resize(active_.size());
            for (std::size_t m = 0; m < active_.size(); ++m) ys_[m] = yOfRun(active_[m], x);
            const double nextX = end < events.size() ? events[end].x : x;
            std::size_t g = i;
            for (; g < end && events[g].kind == 0; ++g)
                if (!enter(events[g].id, x, nextX)) return false;
            const std::size_t verticalsFrom = g;
            while (g < end && events[g].kind == 1) ++g;
            if (g > verticalsFrom) {
                group_.clear();
                for (std::size_t e = verticalsFrom; e < g; ++e) group_.push_back(events[e].id);
                if (!verticalsAt()) return false;
            }
            for (; g < end; ++g) leave(events[g].id);
            previousX = x;
            i = end;
        }
        return active_.empty();
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

    // Y of run r at x on its edge from step t, x inside that edge's X range;
    // exact at the edge's ends.
    double yOn(const Run& r, std::int32_t t, double x) const {
        const PlyvetXY& p = ring_[vertexAt(r, t)];
        const PlyvetXY& q = ring_[vertexAt(r, t + 1)];
        if (x == p.x) return p.y;
        if (x == q.x) return q.y;
        return p.y + (x - p.x) * (q.y - p.y) / (q.x - p.x);
    }

    // Moves run r's cursor on to the edge that holds x (the later one at a vertex).
    std::int32_t advance(std::int32_t r, double x) {
        const Run& run = runs_[r];
        std::int32_t t = cursor_[r];
        while (t + 1 < run.length && xAt(run, t + 1) <= x) ++t;
        cursor_[r] = t;
        return t;
    }

    double yOfRun(std::int32_t r, double x) { return yOn(runs_[r], advance(r, x), x); }

    // Y of run r at x further on, leaving its cursor where it is.
    double yAhead(std::int32_t r, double x) const {
        const Run& run = runs_[r];
        std::int32_t lo = cursor_[r], hi = run.length - 1;  // the last step whose X is <= x
        while (lo < hi) {
            const std::int32_t mid = lo + (hi - lo + 1) / 2;
            if (xAt(run, mid) <= x)
                lo = mid;
            else
                hi = mid - 1;
        }
        return yOn(run, lo, x);
    }

    // Run r begins at x: it must keep G from every run present but the one
    // it shares its vertex with, and goes in by its Y.
    bool enter(std::int32_t r, double x, double nextX) {
        const Run& run = runs_[r];
        const std::int32_t vertex = leftVertex(run);
        const double y = ring_[vertex].y;
        const auto from = static_cast<std::size_t>(
            std::lower_bound(ys_.begin(), ys_.end(), y - gap_) - ys_.begin());
        const auto to = static_cast<std::size_t>(
            std::upper_bound(ys_.begin(), ys_.end(), y + gap_) - ys_.begin());
        std::size_t at = from;
        if (to > from) {
            // Only its partner may come that close, and only one run shares its vertex.
            if (to - from > 1 || leftVertex(runs_[active_[from]]) != vertex) return false;
            const int side = turn(r, active_[from], x + 0.5 * (nextX - x));
            if (side == 0) return false;
            at = side < 0 ? from : from + 1;
        }
        active_.insert(active_.begin() + static_cast<std::ptrdiff_t>(at), r);
        ys_.insert(ys_.begin() + static_cast<std::ptrdiff_t>(at), y);
        return true;
    }

    // -1 when run r, beginning at the vertex where run w begins too, goes
    // off below it, +1 above, 0 in doubt: by the turn between their first
    // edges, or else by their Y at `middle`, a point inside the next slab.
    int turn(std::int32_t r, std::int32_t w, double middle) const {
        const PlyvetXY& p = ring_[leftVertex(runs_[r])];
        const PlyvetXY& e = ring_[vertexAt(runs_[r], 1)];
        const PlyvetXY& f = ring_[vertexAt(runs_[w], 1)];
        const double dxe = e.x - p.x, dye = e.y - p.y, dxf = f.x - p.x, dyf = f.y - p.y;
        const double cross = dxe * dyf - dye * dxf;  // > 0: w's edge turns up from r's
        const double error = 0x1p-49 * (std::fabs(dxe * dyf) + std::fabs(dye * dxf));
        if (cross > error) return -1;
        if (cross < -error) return 1;
        const double mine = yAhead(r, middle), theirs = yAhead(w, middle);
        return mine < theirs ? -1 : (mine > theirs ? 1 : 0);
    }

    void leave(std::int32_t r) {
        const auto it = std::find(active_.begin(), active_.end(), r);
        ys_.erase(ys_.begin() + (it - active_.begin()));
        active_.erase(it);
    }

    bool adjacentEdges(std::int32_t i, std::int32_t j) const {
        return wrap(i + 1) == j || wrap(j + 1) == i;
    }

    // The vertical edges in group_, all on the X of the runs' ys_.
    bool verticalsAt() {
        if (group_.size() > kVerticalsOnOneX) return false;
        for (std::size_t i = 0; i < group_.size(); ++i) {
            const Vertical& v = verticals_[group_[i]];
            const auto from = std::lower_bound(ys_.begin(), ys_.end(), v.ylo - gap_) - ys_.begin();
            const auto to = std::upper_bound(ys_.begin(), ys_.end(), v.yhi + gap_) - ys_.begin();
            for (auto m = from; m < to; ++m) {
                // Runs ending at one of its vertices end with its neighbouring edges.
                const Run& run = runs_[active_[static_cast<std::size_t>(m)]];
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

    // The runs present between xa and xb, each two next to each other.
    bool walkSlab(double xa, double xb) {
        const std::size_t m = active_.size();
        if (m < 2) return true;
        for (std::size_t i = 0; i < m; ++i) advance(active_[i], xa);
        bool partnerBelow = false;
        for (std::size_t i = 0; i + 1 < m; ++i) {
            const std::int32_t u = active_[i], v = active_[i + 1];
            const Run& ru = runs_[u];
            const Run& rv = runs_[v];
            const Partners shared{leftVertex(ru) == leftVertex(rv), rightVertex(ru) == rightVertex(rv)};
            if (!walkPair(u, v, xa, xb, shared)) return false;
            // Run u shares a vertex with the runs on either side, and the
            // gaps not asked may lie over each other here (where u is a
            // single edge): the two runs beside it are walked together too.
            const bool partners =
                (shared.start && std::min(xAt(ru, 1), xAt(rv, 1)) > xa) ||
                (shared.end && std::max(xAt(ru, ru.length - 1), xAt(rv, rv.length - 1)) < xb);
            if (partners && partnerBelow && !walkPair(active_[i - 1], v, xa, xb, Partners{}))
                return false;
            partnerBelow = partners;
        }
        return true;
    }

    struct Partners {
        bool start = false, end = false;  // the two runs begin (end) at one vertex
    };

    // Run v more than G above run u at every vertex of either between xa and
    // xb and at both ends, except where both are on the two edges at a
    // vertex they share (neighbours).
    bool walkPair(std::int32_t u, std::int32_t v, double xa, double xb, Partners shared) const {
        const Run& ru = runs_[u];
        const Run& rv = runs_[v];
        std::int32_t tu = cursor_[u], tv = cursor_[v];
        // Up to here (from here on) both are still on their first (last) edges.
        const double firstEdges = shared.start ? std::min(xAt(ru, 1), xAt(rv, 1)) : xa;
        const double lastEdges =
            shared.end ? std::max(xAt(ru, ru.length - 1), xAt(rv, rv.length - 1)) : xb;
        double x = xa;
        for (;;) {
            const bool neighbours = x < firstEdges || x > lastEdges;
            if (!neighbours && !(yOn(rv, tv, x) - yOn(ru, tu, x) > gap_)) return false;
            if (x == xb) return true;
            const double nu = xAt(ru, tu + 1), nv = xAt(rv, tv + 1);
            x = std::min({nu, nv, xb});
            if (x < xb) {
                tu += nu == x;
                tv += nv == x;
            }
        }
    }

    std::span<const PlyvetXY> ring_;
    std::int32_t n_;
    double gap_ = 0.0;
    std::vector<Run> runs_;
    std::vector<Vertical> verticals_;
    std::vector<std::int32_t> cursor_;  // per run: its edge at the sweep position
    std::vector<std::int32_t> active_;  // runs present, by Y
    std::vector<double> ys_;            // their Y at the sweep position
    std::vector<std::int32_t> group_;   // vertical edges on one X
};

}  // namespace

bool onlyNeighboursMeetByRuns(std::span<const PlyvetXY> ring) {
    if (ring.size() < 4) return false;
    RunProof proof(ring);
    return proof.cut() && proof.measure() && proof.sweep();
}

}  // namespace plyvet::geolib::core
