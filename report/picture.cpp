#include "report/picture.h"

#include "report/html_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <unordered_set>
#include <utility>

namespace plyvet::report {

namespace {

bool finite(gis::Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// A point as a hashable key; +0 and -0 are the same coordinate.
struct PointKey {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    friend bool operator==(const PointKey&, const PointKey&) = default;
};

PointKey keyOf(gis::Point p) { return {std::bit_cast<std::uint64_t>(p.x + 0.0), std::bit_cast<std::uint64_t>(p.y + 0.0)}; }

struct PointKeyHash {
    std::size_t operator()(const PointKey& k) const noexcept {
        return std::hash<std::uint64_t>{}(k.x * 0x9E3779B97F4A7C15ull ^ k.y);
    }
};

using PointSet = std::unordered_set<PointKey, PointKeyHash>;

PointSet vertexSet(const gis::Polygon* polygon) {
    PointSet set;
    if (polygon == nullptr) return set;
    for (const auto& ring : polygon->parts) {
        for (const auto& p : ring) {
            if (finite(p)) set.insert(keyOf(p));
        }
    }
    return set;
}

// Vertices of `from` missing in `other`, each once.
std::vector<gis::Point> missing(const gis::Polygon* from, const PointSet& other) {
    std::vector<gis::Point> result;
    if (from == nullptr) return result;
    PointSet seen;
    for (const auto& ring : from->parts) {
        for (const auto& p : ring) {
            if (!finite(p)) continue;
            const PointKey k = keyOf(p);
            if (!other.contains(k) && seen.insert(k).second) result.push_back(p);
        }
    }
    return result;
}

struct Box {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool contains(gis::Point p) const { return p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY; }
};

std::optional<Box> finiteBox(const gis::Ring& ring) {
    std::optional<Box> box;
    for (const auto& p : ring) {
        if (!finite(p)) continue;
        if (!box) {
            box = Box{p.x, p.y, p.x, p.y};
        } else {
            box->minX = std::min(box->minX, p.x);
            box->minY = std::min(box->minY, p.y);
            box->maxX = std::max(box->maxX, p.x);
            box->maxY = std::max(box->maxY, p.y);
        }
    }
    return box;
}

// A point inside the ring's outline near its first proper edge: the
// midpoint of that edge. Vertices are poor probes, since holes often
// share them with their outer ring.
std::optional<gis::Point> probePoint(const gis::Ring& ring) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const gis::Point a = ring[i];
        const gis::Point b = ring[(i + 1) % ring.size()];
        if (finite(a) && finite(b) && a != b) {
            const gis::Point m{a.x / 2 + b.x / 2, a.y / 2 + b.y / 2};
            if (finite(m)) return m;
        }
    }
    return std::nullopt;
}

// Crossing-number test; edges with a non-finite end are ignored.
bool inside(gis::Point p, const gis::Ring& ring) {
    bool in = false;
    const std::size_t n = ring.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const gis::Point a = ring[i];
        const gis::Point b = ring[j];
        if (!finite(a) || !finite(b)) continue;
        if ((a.y > p.y) != (b.y > p.y)) {
            const long double t = (static_cast<long double>(p.y) - a.y) / (static_cast<long double>(b.y) - a.y);
            const long double x = a.x + t * (static_cast<long double>(b.x) - a.x);
            if (p.x < x) in = !in;
        }
    }
    return in;
}

// Work allowed for the containment tests of one polygon, in box tests and edge visits.
constexpr std::size_t kNestingBudget = 4'000'000;

void appendNumber(std::string& out, double v) {
    std::array<char, 32> buffer{};
    // Pixel positions are finite by construction; one decimal is plenty.
    const int n = std::snprintf(buffer.data(), buffer.size(), "%.1f", std::isfinite(v) ? v : 0.0);
    out.append(buffer.data(), static_cast<std::size_t>(std::max(n, 0)));
}

void appendPoint(std::string& out, const PixelPoint& p) {
    appendNumber(out, p.x);
    out += ',';
    appendNumber(out, p.y);
}

struct ScreenRing {
    std::vector<PixelPoint> points;
    RingInfo info;
};

// The ring in pixels, with points closer than half a pixel to the last
// kept one dropped (they cannot be seen) and the closing repeat removed.
std::vector<PixelPoint> toScreen(const gis::Ring& ring, const Frame& frame) {
    std::vector<PixelPoint> out;
    for (const auto& p : ring) {
        const auto s = frame.map(p);
        if (!s) continue;
        if (!out.empty() && std::abs(out.back().x - s->x) < 0.5 && std::abs(out.back().y - s->y) < 0.5) continue;
        out.push_back(*s);
    }
    while (out.size() > 1 && std::abs(out.back().x - out.front().x) < 0.5 &&
           std::abs(out.back().y - out.front().y) < 0.5) {
        out.pop_back();
    }
    return out;
}

// Keeps every `stride`-th point, but never fewer than three of a ring that had them.
std::vector<PixelPoint> thin(const std::vector<PixelPoint>& points, std::size_t stride) {
    if (stride <= 1 || points.size() <= 3) return points;
    std::vector<PixelPoint> out;
    for (std::size_t i = 0; i < points.size(); i += stride) out.push_back(points[i]);
    if (out.size() < 3) {
        out = {points[0], points[points.size() / 3], points[2 * points.size() / 3]};
    }
    return out;
}

void appendRingPath(std::string& out, const std::vector<PixelPoint>& points) {
    out += 'M';
    appendPoint(out, points[0]);
    for (std::size_t i = 1; i < points.size(); ++i) {
        out += 'L';
        appendPoint(out, points[i]);
    }
    out += 'Z';
}

void appendArrow(std::string& out, PixelPoint at, double dx, double dy) {
    const PixelPoint tip{at.x + dx * 5.5, at.y + dy * 5.5};
    const PixelPoint left{at.x - dx * 4.5 - dy * 4.0, at.y - dy * 4.5 + dx * 4.0};
    const PixelPoint right{at.x - dx * 4.5 + dy * 4.0, at.y - dy * 4.5 - dx * 4.0};
    out += 'M';
    appendPoint(out, tip);
    out += 'L';
    appendPoint(out, left);
    out += 'L';
    appendPoint(out, right);
    out += 'Z';
}

// Up to three arrow heads in the ring's running direction, one in each third
// of its outline: at the middle of the third's longest edge when that edge is
// long enough to carry one, else at the middle of the third.
void appendArrows(std::string& out, const std::vector<PixelPoint>& points) {
    const std::size_t n = points.size();
    std::vector<double> length(n);
    double perimeter = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const PixelPoint a = points[i];
        const PixelPoint b = points[(i + 1) % n];
        length[i] = std::hypot(b.x - a.x, b.y - a.y);
        perimeter += length[i];
    }
    if (perimeter < 40.0) return;
    std::size_t edge = 0;
    double done = 0;  // outline before `edge`
    for (int third = 0; third < 3; ++third) {
        const double from = perimeter * third / 3.0;
        const double to = perimeter * (third + 1) / 3.0;
        const double middle = (from + to) / 2;
        std::size_t longest = n;
        std::size_t atMiddle = n;
        double atMiddleOffset = 0;
        // Edges whose midpoint lies in this third.
        for (; edge < n && done + length[edge] / 2 < to; done += length[edge], ++edge) {
            if (length[edge] < 1e-9) continue;
            if (longest == n || length[edge] > length[longest]) longest = edge;
            if (done <= middle && middle < done + length[edge]) {
                atMiddle = edge;
                atMiddleOffset = middle - done;
            }
        }
        std::size_t i = n;
        double offset = 0;
        if (longest != n && length[longest] >= 18.0) {
            i = longest;
            offset = length[longest] / 2;
        } else if (atMiddle != n) {
            i = atMiddle;
            offset = atMiddleOffset;
        }
        if (i == n) continue;
        const PixelPoint a = points[i];
        const PixelPoint b = points[(i + 1) % n];
        const double dx = (b.x - a.x) / length[i];
        const double dy = (b.y - a.y) / length[i];
        appendArrow(out, {a.x + dx * offset, a.y + dy * offset}, dx, dy);
    }
}

std::string ringClass(const RingInfo& info) {
    std::string c = info.role == RingRole::Hole ? "loch" : "aussen";
    if (info.wrongOrientation) c += " falsch";
    return c;
}

}  // namespace

VertexChanges compareVertices(const gis::Polygon* before, const gis::Polygon* after) {
    VertexChanges changes;
    changes.removed = missing(before, vertexSet(after));
    changes.added = missing(after, vertexSet(before));
    return changes;
}

std::vector<RingInfo> ringRoles(const gis::Polygon& polygon) {
    const std::size_t n = polygon.parts.size();
    std::vector<RingInfo> roles(n);
    std::vector<std::optional<Box>> boxes(n);
    std::vector<std::optional<gis::Point>> probes(n);
    for (std::size_t r = 0; r < n; ++r) {
        boxes[r] = finiteBox(polygon.parts[r]);
        probes[r] = probePoint(polygon.parts[r]);
    }
    std::size_t work = 0;
    bool withinBudget = true;
    for (std::size_t r = 0; r < n && withinBudget; ++r) {
        if (!probes[r]) continue;
        int depth = 0;
        for (std::size_t s = 0; s < n; ++s) {
            if (s == r) continue;
            const bool candidate = boxes[s] && boxes[s]->contains(*probes[r]);
            work += 1 + (candidate ? polygon.parts[s].size() : 0);
            if (work > kNestingBudget) break;
            if (candidate && inside(*probes[r], polygon.parts[s])) ++depth;
        }
        if (work > kNestingBudget) withinBudget = false;
        roles[r].role = depth % 2 == 0 ? RingRole::Outer : RingRole::Hole;
    }
    for (std::size_t r = 0; r < n; ++r) {
        const double a = gis::ringArea(polygon.parts[r]);
        if (!withinBudget) {
            roles[r] = RingInfo{a < 0 ? RingRole::Hole : RingRole::Outer, false};
        } else if (std::isfinite(a) && a != 0.0) {
            roles[r].wrongOrientation = (roles[r].role == RingRole::Outer) != (a > 0);
        }
    }
    return roles;
}

Frame Frame::around(std::span<const gis::Polygon* const> polygons) {
    Frame f;
    for (const gis::Polygon* polygon : polygons) {
        if (polygon == nullptr) continue;
        for (const auto& ring : polygon->parts) {
            for (const auto& p : ring) {
                if (!finite(p)) continue;
                if (f.empty_) {
                    f.minX_ = f.maxX_ = p.x;
                    f.minY_ = f.maxY_ = p.y;
                    f.empty_ = false;
                } else {
                    f.minX_ = std::min<long double>(f.minX_, p.x);
                    f.maxX_ = std::max<long double>(f.maxX_, p.x);
                    f.minY_ = std::min<long double>(f.minY_, p.y);
                    f.maxY_ = std::max<long double>(f.maxY_, p.y);
                }
            }
        }
    }
    if (f.empty_) return f;
    // long double has the range for the difference of any two finite doubles.
    const long double spanX = f.maxX_ - f.minX_;
    const long double spanY = f.maxY_ - f.minY_;
    const long double span = std::max(spanX, spanY);
    const long double inner = kPictureSize - 2 * kPictureMargin;
    f.scale_ = span > 0 ? inner / span : 0;
    f.offsetX_ = kPictureMargin + (inner - spanX * f.scale_) / 2;
    f.offsetY_ = kPictureMargin + (inner - spanY * f.scale_) / 2;
    return f;
}

std::optional<PixelPoint> Frame::map(gis::Point p) const {
    if (empty_ || !finite(p)) return std::nullopt;
    const long double x = offsetX_ + (p.x - minX_) * scale_;
    const long double y = kPictureSize - (offsetY_ + (p.y - minY_) * scale_);
    const PixelPoint result{static_cast<double>(x), static_cast<double>(y)};
    if (!std::isfinite(result.x) || !std::isfinite(result.y)) return std::nullopt;
    return result;
}

Picture drawPolygon(const gis::Polygon* polygon, const Frame& frame, std::span<const gis::Point> marks,
                    MarkKind kind, std::string_view title, std::string_view emptyText) {
    Picture picture;
    std::string& svg = picture.svg;
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"bild\" width=\"220\" height=\"220\" "
           "viewBox=\"0 0 220 220\" role=\"img\" aria-label=\"";
    svg += escape(title);
    svg += "\"><title>";
    svg += escape(title);
    svg += "</title><rect class=\"grund\" x=\"0.5\" y=\"0.5\" width=\"219\" height=\"219\"/>";

    std::vector<ScreenRing> rings;
    if (polygon != nullptr && !frame.empty()) {
        const std::vector<RingInfo> roles = ringRoles(*polygon);
        std::size_t total = 0;
        for (std::size_t r = 0; r < polygon->parts.size(); ++r) {
            ScreenRing ring{toScreen(polygon->parts[r], frame), roles[r]};
            total += ring.points.size();
            if (!ring.points.empty()) rings.push_back(std::move(ring));
        }
        if (total > kPicturePointBudget) {
            const std::size_t stride = (total + kPicturePointBudget - 1) / kPicturePointBudget;
            for (auto& ring : rings) ring.points = thin(ring.points, stride);
            picture.thinned = true;
        }
    }

    if (polygon == nullptr || rings.empty()) {
        svg += "<text class=\"leer\" x=\"110\" y=\"114\" text-anchor=\"middle\">";
        svg += escape(polygon == nullptr ? emptyText : std::string_view("keine darstellbaren Punkte"));
        svg += "</text>";
    } else {
        // The area by the nonzero rule, so it follows the stored directions:
        // a hole stays open only when it runs against its outer ring, and two
        // overlapping parts fill their overlap once.
        svg += "<path class=\"flaeche\" fill-rule=\"nonzero\" d=\"";
        for (const auto& ring : rings) {
            if (ring.points.size() >= 3) appendRingPath(svg, ring.points);
        }
        svg += "\"/>";
        for (const auto& ring : rings) {
            const std::string cls = ringClass(ring.info);
            if (ring.points.size() < 2) {
                // A ring that shrinks to one pixel is still shown.
                svg += "<circle class=\"punkt " + cls + "\" cx=\"";
                appendNumber(svg, ring.points[0].x);
                svg += "\" cy=\"";
                appendNumber(svg, ring.points[0].y);
                svg += "\" r=\"1.8\"/>";
                continue;
            }
            svg += "<path class=\"ring " + cls + "\" d=\"";
            appendRingPath(svg, ring.points);
            svg += "\"/>";
            std::string arrows;
            appendArrows(arrows, ring.points);
            if (!arrows.empty()) svg += "<path class=\"pfeil " + cls + "\" d=\"" + arrows + "\"/>";
        }
    }

    if (!frame.empty() && !marks.empty()) {
        // One mark per visible pixel, at most the budget.
        std::set<std::pair<long, long>> used;
        std::string d;
        for (const auto& p : marks) {
            const auto s = frame.map(p);
            if (!s) continue;
            if (!used.insert({std::lround(s->x), std::lround(s->y)}).second) continue;
            if (picture.marksShown == kPictureMarkBudget) {
                ++picture.marksLeftOut;
                continue;
            }
            ++picture.marksShown;
            if (kind == MarkKind::Removed) {
                d += 'M';
                appendPoint(d, {s->x - 3, s->y - 3});
                d += 'L';
                appendPoint(d, {s->x + 3, s->y + 3});
                d += 'M';
                appendPoint(d, {s->x - 3, s->y + 3});
                d += 'L';
                appendPoint(d, {s->x + 3, s->y - 3});
            } else {
                // A circle as two arcs, so all marks fit in one path.
                d += 'M';
                appendPoint(d, {s->x - 3.2, s->y});
                d += "a3.2,3.2 0 1,0 6.4,0a3.2,3.2 0 1,0 -6.4,0";
            }
        }
        if (!d.empty()) {
            svg += kind == MarkKind::Removed ? "<path class=\"entfernt\" d=\"" : "<path class=\"schnitt\" d=\"";
            svg += d;
            svg += "\"/>";
        }
    }
    svg += "</svg>";
    return picture;
}

}  // namespace plyvet::report
