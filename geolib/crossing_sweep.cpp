// The crossing search as a sweep over X: the answer of the plain scan for
// rings whose edge boxes overlap by the thousand while the edges themselves
// keep apart.
//
// Which pairs can meet. Every branch of the pair test that accepts two edges
// has a value X in both closed X ranges at which the edges, as point sets,
// lie vertically within T(a) + T(b) of each other, T being a rounding bound
// of each edge alone:
//   - both vertical: one X, Y ranges that share a value (distance 0);
//   - one vertical: its X lies in the other's X range, and the other's line
//     record, evaluated there, falls inside the vertical edge's Y range;
//   - different slopes: the computed crossing X lies in both X ranges (tested
//     before anything else), and there the two line records differ by no more
//     than the rounding of that quotient, |c(b) - c(a)| times a few units in
//     the last place;
//   - one line record: both edges lie within their records' errors of it
//     wherever their X ranges share a value.
// A line record deviates from its edge by less than 2^-49 (|dy| + |y| +
// |slope| |x|) (slope and intercept rounded once each, in extended or in
// double precision), and the intercept is bounded by |y| + |slope| |x|; so
// T = 2^-45 (|dy| + |y1| + |y2| + |slope| (|x1| + |x2|)) covers every term at
// least four times. The 4-decimal fallback of the crossing branch does not
// widen this: it is reached only after the X test. Notably no pad of 1e-4 is
// needed, so rings in degrees do not look crowded here.
//
// The sweep. With G = 4 max T, two edges are "close" when somewhere in their
// common X range they are no more than G apart vertically (as computed; a
// computed Y is off by less than 2^-50 (|y| + |dy|), far below T). Non-vertical
// edges enter a balanced tree (a treap with an in-order list) at their left
// end and leave at their right end, all entries at one X before all exits, so
// that edges that only touch at that X meet in the tree. The tree is ordered
// by Y at the sweep position. Every pair of edges that are not ring
// neighbours and lie next to each other in the tree, neighbours of either
// skipped (an edge has two, so at most two are skipped), is checked over its
// whole common X range when it forms; a linear gap above G at both ends of
// that range keeps it apart throughout. A pair that is close, or whose order
// at an insertion is in doubt, is set aside: both edges become suspects and
// leave the tree. This is the classic argument for detecting crossings by a
// sweep, with "close" for "crossing": the first X at which two edges still in
// the tree come close finds them next to each other (everything between
// would be close to one of them as well, or be a neighbour), so no pair of
// non-neighbours that never became suspects is close. Ring neighbours share
// a vertex and never change order: at a shared vertex where both leave to the
// right they are ordered by the turn between them (doubt makes suspects),
// where one ends and the other continues the tie is broken once. Vertical
// edges stay out of the tree: at their X, after the entries, the tree is
// searched for every edge within G of their Y range; vertical edges on one X
// are compared among themselves; zero-length edges and their neighbours are
// suspects from the start.
//
// The answer. No pair of non-neighbours is close unless one edge is a
// suspect; a repeated vertex makes the two edges ending at its occurrences
// close (or a zero-length edge). So with no suspects only neighbours can
// meet, and they are tested where the second edge folds back over the
// first. With suspects, the repeated-vertex check runs (hash table), and each
// suspect is tested against every edge whose X range reaches its own (an
// interval tree over the edges sorted by left end) that is not provably apart.
// The smallest pair in scan order that meets is the plain scan's answer. Too
// many suspects (rings that fold over themselves, lines of vertices lying on
// edges) make the sweep give up: the caller runs the box search instead.
//
// Cost: sorting, n tree entries and exits of expected log n each; the
// suspects cost the edges that share their X range.

#include "geolib/crossing_sweep.h"
#include "geolib/crossing_pair.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace plyvet::geolib::core {

namespace {

constexpr std::int32_t kNone = -1;
// More suspects than this, or more pairs to look at for them than kWorkPerEdge
// per edge, and the box search is the better choice.
constexpr std::size_t kMaxSuspects = 256;
constexpr std::size_t kWorkPerEdge = 16;

class Sweep {
public:
    Sweep(std::span<const PlyvetXY> ring, std::int32_t startA, std::int32_t startB)
        : ring_(ring), n_(static_cast<std::int32_t>(ring.size())), startA_(startA),
          firstB_(startA != 0 || startB != 0 ? startB : 1) {}

    // False when the sweep gives up; otherwise the answer is in repeated() and best().
    bool run() {
        if (!measure()) return false;
        classify();
        if (gaveUp_) return false;
        sweep();
        if (gaveUp_) return false;
        return finish();
    }

    const std::optional<PairFinding>& best() const { return best_; }
    const std::optional<RepeatedVertex>& repeated() const { return repeated_; }

private:
    enum State : std::uint8_t { kWaiting, kActive, kDone, kSuspect };

    const PlyvetXY& vertex(std::int32_t k) const { return ring_[k < n_ ? k : k - n_]; }
    std::int32_t wrap(std::int32_t k) const { return k < 0 ? k + n_ : (k >= n_ ? k - n_ : k); }

    bool adjacent(std::int32_t i, std::int32_t j) const {
        const std::int32_t d = i > j ? i - j : j - i;
        return d == 1 || d == n_ - 1;
    }

    double xLow(std::int32_t e) const { return std::min(ring_[e].x, vertex(e + 1).x); }
    double xHigh(std::int32_t e) const { return std::max(ring_[e].x, vertex(e + 1).x); }

    // Y of non-vertical edge e at x inside its X range; exact at its ends.
    double yAt(std::int32_t e, double x) const {
        const PlyvetXY& p = ring_[e];
        const PlyvetXY& q = vertex(e + 1);
        if (x == p.x) return p.y;
        if (x == q.x) return q.y;
        return p.y + (x - p.x) * (q.y - p.y) / (q.x - p.x);
    }

    bool measure() {
        const auto gap = sweepGap(ring_);
        if (!gap) return false;
        gap_ = *gap;
        return true;
    }

    void classify() {
        state_.assign(static_cast<std::size_t>(n_), kWaiting);
        left_.assign(static_cast<std::size_t>(n_), kNone);
        right_.assign(static_cast<std::size_t>(n_), kNone);
        up_.assign(static_cast<std::size_t>(n_), kNone);
        prev_.assign(static_cast<std::size_t>(n_), kNone);
        next_.assign(static_cast<std::size_t>(n_), kNone);
        entries_.reserve(static_cast<std::size_t>(n_));
        exits_.reserve(static_cast<std::size_t>(n_));
        std::vector<std::int32_t> zeroLength;
        for (std::int32_t k = 0; k < n_; ++k) {
            const PlyvetXY& p = ring_[k];
            const PlyvetXY& q = vertex(k + 1);
            if (p.x == q.x && p.y == q.y) {
                zeroLength.push_back(k);
            } else if (p.x == q.x) {
                verticals_.push_back({p.x, std::min(p.y, q.y), std::max(p.y, q.y), k});
            } else {
                entries_.push_back({std::min(p.x, q.x), k});
                exits_.push_back({std::max(p.x, q.x), k});
            }
        }
        // Its neighbours both pass through the point of a zero-length edge.
        for (const std::int32_t k : zeroLength)
            for (const std::int32_t e : {wrap(k - 1), k, wrap(k + 1)}) flag(e);
        std::sort(entries_.begin(), entries_.end());
        std::sort(exits_.begin(), exits_.end());
        std::sort(verticals_.begin(), verticals_.end(), [](const Vertical& p, const Vertical& q) {
            return p.x < q.x || (p.x == q.x && p.ylo < q.ylo);
        });
    }

    void sweep() {
        std::size_t i = 0, v = 0, j = 0;
        constexpr double kEnd = std::numeric_limits<double>::infinity();
        while (j < exits_.size() || v < verticals_.size()) {
            const double x = std::min({i < entries_.size() ? entries_[i].first : kEnd,
                                       v < verticals_.size() ? verticals_[v].x : kEnd,
                                       j < exits_.size() ? exits_[j].first : kEnd});
            x_ = x;
            for (; i < entries_.size() && entries_[i].first == x; ++i) {
                insert(entries_[i].second);
                drain();
                if (gaveUp_) return;
            }
            std::size_t vEnd = v;
            while (vEnd < verticals_.size() && verticals_[vEnd].x == x) ++vEnd;
            if (vEnd > v) {
                verticalsAmongThemselves(v, vEnd);
                for (std::size_t k = v; k < vEnd; ++k) verticalAgainstTree(verticals_[k]);
                drain();
                if (gaveUp_) return;
                v = vEnd;
            }
            for (; j < exits_.size() && exits_[j].first == x; ++j) {
                const std::int32_t e = exits_[j].second;
                if (state_[e] == kActive) {
                    unlink(e);
                    state_[e] = kDone;
                }
                drain();
                if (gaveUp_) return;
            }
        }
    }

    // --- the tree -------------------------------------------------------

    static std::uint32_t priority(std::int32_t e) {
        auto h = static_cast<std::uint32_t>(e) * 0x9E3779B9u;
        h ^= h >> 16;
        h *= 0x85EBCA6Bu;
        return h ^ (h >> 13);
    }

    void rotateUp(std::int32_t x) {
        const std::int32_t p = up_[x], g = up_[p];
        if (left_[p] == x) {
            left_[p] = right_[x];
            if (right_[x] != kNone) up_[right_[x]] = p;
            right_[x] = p;
        } else {
            right_[p] = left_[x];
            if (left_[x] != kNone) up_[left_[x]] = p;
            left_[x] = p;
        }
        up_[p] = x;
        up_[x] = g;
        if (g == kNone)
            root_ = x;
        else if (left_[g] == p)
            left_[g] = x;
        else
            right_[g] = x;
    }

    // Where edge e (entering at its left end, x_) goes in the tree, by
    // order(); a doubt sets e and the edge it was compared with aside.
    void insert(std::int32_t e) {
        if (state_[e] != kWaiting) return;
        std::int32_t parent = kNone, node = root_;
        bool asLeft = false;
        while (node != kNone) {
            const int side = order(e, node);
            if (side == 0) {
                flag(e);
                flag(node);
                return;
            }
            parent = node;
            asLeft = side < 0;
            node = asLeft ? left_[node] : right_[node];
        }
        state_[e] = kActive;
        left_[e] = right_[e] = kNone;
        up_[e] = parent;
        if (parent == kNone) {
            root_ = e;
            prev_[e] = next_[e] = kNone;
        } else if (asLeft) {
            left_[parent] = e;
            prev_[e] = prev_[parent];
            next_[e] = parent;
            if (prev_[parent] != kNone) next_[prev_[parent]] = e;
            prev_[parent] = e;
        } else {
            right_[parent] = e;
            next_[e] = next_[parent];
            prev_[e] = parent;
            if (next_[parent] != kNone) prev_[next_[parent]] = e;
            next_[parent] = e;
        }
        while (up_[e] != kNone && priority(e) > priority(up_[e])) rotateUp(e);
        recheck_.push_back(e);
        pushBelow(e);
    }

    // The pairs that change when the tree changes next to e are those whose
    // lower edge lies at most three places below.
    void pushBelow(std::int32_t e) {
        std::int32_t w = prev_[e];
        for (int k = 0; k < 3 && w != kNone; ++k, w = prev_[w]) recheck_.push_back(w);
    }

    void unlink(std::int32_t x) {
        pushBelow(x);
        while (left_[x] != kNone && right_[x] != kNone)
            rotateUp(priority(left_[x]) > priority(right_[x]) ? left_[x] : right_[x]);
        const std::int32_t c = left_[x] != kNone ? left_[x] : right_[x];
        const std::int32_t p = up_[x];
        if (c != kNone) up_[c] = p;
        if (p == kNone)
            root_ = c;
        else if (left_[p] == x)
            left_[p] = c;
        else
            right_[p] = c;
        if (prev_[x] != kNone) next_[prev_[x]] = next_[x];
        if (next_[x] != kNone) prev_[next_[x]] = prev_[x];
    }

    // +1 when edge e, entering at x_, goes above tree edge w; -1 below; 0 in doubt.
    int order(std::int32_t e, std::int32_t w) const {
        const double d = yAt(e, x_) - yAt(w, x_);
        const int byGap = d > gap_ ? 1 : (d < -gap_ ? -1 : 0);
        if (!adjacent(e, w)) return byGap;
        const std::int32_t shared = wrap(w == wrap(e + 1) ? e + 1 : e);
        const PlyvetXY& p = ring_[shared];
        if (p.x != x_) return byGap;  // they meet further right
        const PlyvetXY& other = ring_[shared == e ? wrap(e + 1) : e];
        const PlyvetXY& otherW = ring_[shared == w ? wrap(w + 1) : w];
        if (otherW.x < x_) return 1;  // w ends where e begins: one order for the one X they share
        // Both leave p to the right: by the turn from e to w.
        const double dxe = other.x - p.x, dye = other.y - p.y;
        const double dxw = otherW.x - p.x, dyw = otherW.y - p.y;
        const double cross = dxe * dyw - dye * dxw;
        const double error = 0x1p-49 * (std::fabs(dxe * dyw) + std::fabs(dye * dxw));
        if (cross > error) return -1;
        if (cross < -error) return 1;
        return 0;
    }

    // Checks u against the first edge above it that is not its ring
    // neighbour, over their common X range from here on.
    void recheck(std::int32_t u) {
        if (state_[u] != kActive) return;
        std::int32_t v = next_[u];
        while (v != kNone && adjacent(u, v)) v = next_[v];
        if (v == kNone) return;
        const double end = std::min(xHigh(u), xHigh(v));
        if (yAt(v, x_) - yAt(u, x_) > gap_ && yAt(v, end) - yAt(u, end) > gap_) return;
        flag(u);
        flag(v);
    }

    void drain() {
        while (!recheck_.empty() && !gaveUp_) {
            const std::int32_t u = recheck_.back();
            recheck_.pop_back();
            recheck(u);
        }
    }

    void flag(std::int32_t e) {
        if (state_[e] == kSuspect) return;
        if (state_[e] == kActive) unlink(e);
        state_[e] = kSuspect;
        suspects_.push_back(e);
        if (suspects_.size() > kMaxSuspects) gaveUp_ = true;
    }

    // --- vertical edges -------------------------------------------------

    struct Vertical {
        double x, ylo, yhi;
        std::int32_t edge;
    };

    // Every tree edge within G of the vertical edge's Y range at its X.
    void verticalAgainstTree(const Vertical& v) {
        const double lo = v.ylo - gap_, hi = v.yhi + gap_;
        std::int32_t node = root_, w = kNone;
        while (node != kNone) {
            if (yAt(node, x_) < lo) {
                node = right_[node];
            } else {
                w = node;
                node = left_[node];
            }
        }
        while (w != kNone) {
            const double y = yAt(w, x_);
            const std::int32_t after = next_[w];
            if (y > hi) break;
            if (y >= lo && !adjacent(v.edge, w)) {
                flag(v.edge);
                flag(w);
            }
            w = after;
        }
    }

    // Vertical edges on one X, by lower end: each against those still reaching it.
    void verticalsAmongThemselves(std::size_t from, std::size_t to) {
        reaching_.clear();
        for (std::size_t k = from; k < to; ++k) {
            const Vertical& v = verticals_[k];
            std::erase_if(reaching_, [&](std::size_t r) {
                return verticals_[r].yhi + gap_ < v.ylo;
            });
            for (const std::size_t r : reaching_)
                if (!adjacent(verticals_[r].edge, v.edge)) {
                    flag(verticals_[r].edge);
                    flag(v.edge);
                }
            reaching_.push_back(k);
        }
    }

    // --- the answer -----------------------------------------------------

    void test(std::int32_t i, std::int32_t j) {
        if (i > j) std::swap(i, j);
        if (i < startA_ || (i == startA_ && j < firstB_)) return;
        if (best_ && (i > best_->a || (i == best_->a && j >= best_->b))) return;
        const LineRecord li = makeLine(ring_[i], ring_[i + 1]);
        const LineRecord lj = makeLine(ring_[j], vertex(j + 1));
        if (const auto found = testEdgePair(ring_, i, j, li, lj)) best_ = PairFinding{i, j, *found};
    }

    // The Y values of edge e at x (its Y range when vertical).
    std::pair<double, double> section(std::int32_t e, double x) const {
        const PlyvetXY& p = ring_[e];
        const PlyvetXY& q = vertex(e + 1);
        if (p.x == q.x) return {std::min(p.y, q.y), std::max(p.y, q.y)};
        const double y = yAt(e, x);
        return {y, y};
    }

    // More than G apart vertically, on one side, over the whole common X range.
    bool apart(std::int32_t u, std::int32_t v) const {
        const double from = std::max(xLow(u), xLow(v)), to = std::min(xHigh(u), xHigh(v));
        const auto [u0, u1] = section(u, from);
        const auto [v0, v1] = section(v, from);
        const auto [u2, u3] = section(u, to);
        const auto [v2, v3] = section(v, to);
        return (v0 - u1 > gap_ && v2 - u3 > gap_) || (u0 - v1 > gap_ && u2 - v3 > gap_);
    }

    bool finish() {
        for (std::int32_t k = 0; k + 1 < n_; ++k)
            if (neighboursMayMeet(ring_, k)) test(k, k + 1);
        if (neighboursMayMeet(ring_, n_ - 1)) test(0, n_ - 1);
        if (suspects_.empty()) return true;
        repeated_ = firstRepeatedVertexHashed(ring_);
        if (repeated_) return true;

        // Edges by left end, and an implicit tree of the largest right end
        // below each node: the edges whose X range reaches a given one.
        std::vector<std::pair<double, std::int32_t>> byLow(static_cast<std::size_t>(n_));
        for (std::int32_t k = 0; k < n_; ++k) byLow[static_cast<std::size_t>(k)] = {xLow(k), k};
        std::sort(byLow.begin(), byLow.end());
        std::size_t size = 1;
        while (size < byLow.size()) size *= 2;
        std::vector<double> highest(2 * size, -std::numeric_limits<double>::infinity());
        for (std::size_t k = 0; k < byLow.size(); ++k) highest[size + k] = xHigh(byLow[k].second);
        for (std::size_t k = size - 1; k >= 1; --k)
            highest[k] = std::max(highest[2 * k], highest[2 * k + 1]);

        const std::size_t budget = kWorkPerEdge * static_cast<std::size_t>(n_) + 65536;
        std::size_t work = 0;
        struct Node {
            std::size_t index, first, width;  // covers sorted edges [first, first + width)
        };
        std::vector<Node> stack;
        for (const std::int32_t s : suspects_) {
            const double lo = xLow(s), hi = xHigh(s);
            // Edges with left end <= hi: a prefix; among them right end >= lo.
            const auto prefix = static_cast<std::size_t>(
                std::upper_bound(byLow.begin(), byLow.end(),
                                 std::pair{hi, std::numeric_limits<std::int32_t>::max()}) -
                byLow.begin());
            stack.assign(1, Node{1, 0, size});
            while (!stack.empty()) {
                const Node node = stack.back();
                stack.pop_back();
                if (node.first >= prefix || highest[node.index] < lo) continue;
                if (++work > budget) return false;
                if (node.width == 1) {
                    const std::int32_t e = byLow[node.first].second;
                    if (e == s || adjacent(s, e) || (state_[e] == kSuspect && e < s)) continue;
                    if (!apart(s, e)) test(s, e);
                    continue;
                }
                const std::size_t half = node.width / 2;
                stack.push_back({2 * node.index + 1, node.first + half, half});
                stack.push_back({2 * node.index, node.first, half});
            }
        }
        return true;
    }

    std::span<const PlyvetXY> ring_;
    std::int32_t n_;
    std::int32_t startA_;
    std::int32_t firstB_;
    double gap_ = 0.0;
    double x_ = 0.0;  // the sweep position
    bool gaveUp_ = false;

    std::vector<State> state_;
    std::vector<std::int32_t> left_, right_, up_, prev_, next_;  // tree and in-order list
    std::int32_t root_ = kNone;
    std::vector<std::pair<double, std::int32_t>> entries_, exits_;
    std::vector<Vertical> verticals_;
    std::vector<std::size_t> reaching_;
    std::vector<std::int32_t> recheck_;
    std::vector<std::int32_t> suspects_;

    std::optional<RepeatedVertex> repeated_;
    std::optional<PairFinding> best_;
};

}  // namespace

std::optional<double> sweepGap(std::span<const PlyvetXY> ring) {
    const auto n = ring.size();
    GapMeter meter;
    for (std::size_t k = 0; k < n; ++k)
        if (!meter.add(ring[k], ring[k + 1 < n ? k + 1 : 0])) return std::nullopt;
    return meter.gap();
}

std::optional<std::int32_t> findFirstMeetingSwept(std::span<const PlyvetXY> ring,
                                                  std::int32_t& a, std::int32_t& b,
                                                  PlyvetXY& point) {
    const auto n = static_cast<std::int32_t>(ring.size());
    Sweep sweep(ring, a, b);
    if (!sweep.run()) return std::nullopt;
    if (const auto& repeated = sweep.repeated())
        return reportRepeatedVertex(*repeated, n, a, b, point, ring);
    return reportPairFinding(sweep.best(), a, b, point);
}

}  // namespace plyvet::geolib::core
