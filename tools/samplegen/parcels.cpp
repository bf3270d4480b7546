#include "tools/samplegen/parcels.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace plyvet::samplegen {
namespace {

// splitmix64: a counter-based generator, so any record can be rebuilt alone.
class Random {
public:
    Random(std::uint64_t seed, std::uint64_t stream) : state_(seed * 0x9E3779B97F4A7C15ull ^ (stream + 0x632BE59BD9B4E019ull)) {
        next();
    }
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    double between(double lo, double hi) { return lo + (hi - lo) * unit(); }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

private:
    std::uint64_t state_;
};

double millimetres(double v) { return std::round(v * 1000.0) / 1000.0; }

gis::Point onGrid(gis::Point p) { return {millimetres(p.x), millimetres(p.y)}; }

// A ring of `n` vertices around `centre` at the given radii, clockwise
// (angles falling) or counter-clockwise, starting at `start` radians.
gis::Ring starRing(gis::Point centre, const std::vector<double>& radii, double start, bool clockwise) {
    const auto n = static_cast<double>(radii.size());
    gis::Ring ring;
    ring.reserve(radii.size());
    for (std::size_t k = 0; k < radii.size(); ++k) {
        const double step = 2.0 * std::numbers::pi * static_cast<double>(k) / n;
        const double angle = clockwise ? start - step : start + step;
        ring.push_back(onGrid({centre.x + radii[k] * std::cos(angle), centre.y + radii[k] * std::sin(angle)}));
    }
    return ring;
}

std::vector<double> radiiFor(Outline outline, int n, double r, Random& random) {
    std::vector<double> radii(static_cast<std::size_t>(n));
    switch (outline) {
    case Outline::Smooth: {
        // A superellipse |x|^4 + |y|^4 = 1, turned: flat sides, round corners.
        const double turn = random.between(0.0, std::numbers::pi / 2.0);
        for (int k = 0; k < n; ++k) {
            const double phi = 2.0 * std::numbers::pi * k / n - turn;
            const double c = std::pow(std::fabs(std::cos(phi)), 4.0);
            const double s = std::pow(std::fabs(std::sin(phi)), 4.0);
            radii[static_cast<std::size_t>(k)] = r / std::pow(c + s, 0.25);
        }
        break;
    }
    case Outline::Zigzag:
        for (int k = 0; k < n; ++k) {
            radii[static_cast<std::size_t>(k)] = r * (k % 2 == 0 ? 1.15 : 0.85);
        }
        break;
    case Outline::Runs: {
        // Runs of 1 to 6 steps in one direction, then a turn.
        double radius = r;
        double direction = 1.0;
        int left = 0;
        for (int k = 0; k < n; ++k) {
            if (left == 0) {
                direction = -direction;
                left = 1 + random.below(6);
            }
            --left;
            radius = std::clamp(radius + direction * r * random.between(0.002, 0.02), 0.7 * r, 1.15 * r);
            radii[static_cast<std::size_t>(k)] = radius;
        }
        break;
    }
    }
    return radii;
}

int vertexCount(const ParcelOptions& o, Random& random) {
    const double lo = std::log(static_cast<double>(std::max(o.minVertices, 8)));
    const double hi = std::log(static_cast<double>(std::max({o.maxVertices, o.minVertices, 8})));
    return static_cast<int>(std::lround(std::exp(random.between(lo, hi))));
}

gis::Ring outer(Outline outline, gis::Point centre, double r, const ParcelOptions& o, Random& random) {
    const int n = vertexCount(o, random);
    return starRing(centre, radiiFor(outline, n, r, random), random.between(0.0, 2.0 * std::numbers::pi), true);
}

void injectFault(Parcel& p, gis::Point cellCorner, Random& random) {
    gis::Ring& ring = p.shape.parts.front();
    const std::size_t n = ring.size();
    const std::size_t k = static_cast<std::size_t>(random.below(static_cast<int>(n)));
    const gis::Point at = ring[k];
    switch (p.fault) {
    case ParcelFault::None:
        break;
    case ParcelFault::RepeatedVertex:
        ring.insert(ring.begin() + static_cast<std::ptrdiff_t>(k) + 1, at);
        break;
    case ParcelFault::Spike: {
        // Out from the vertex, away from the centre, and straight back a third
        // of the way; the step is a multiple of 3 mm so that the way back ends
        // exactly on the line.
        gis::Point centre{0, 0};
        for (const gis::Point& q : ring) {
            centre.x += q.x / static_cast<double>(n);
            centre.y += q.y / static_cast<double>(n);
        }
        const double dx = at.x - centre.x;
        const double dy = at.y - centre.y;
        const double length = std::hypot(dx, dy);
        const double third = 1.0 / length;  // one metre out, in total
        const double sx = millimetres(dx * third / 3.0);
        const double sy = millimetres(dy * third / 3.0);
        const gis::Point tip = onGrid({at.x + 3.0 * sx, at.y + 3.0 * sy});
        const gis::Point back = onGrid({at.x + sx, at.y + sy});
        ring.insert(ring.begin() + static_cast<std::ptrdiff_t>(k) + 1, {tip, back});
        break;
    }
    case ParcelFault::SelfCrossing: {
        // The vertex is replaced by two, each moved a quarter of the way to
        // the other's neighbour: the edges into and out of them cross.
        const gis::Point before = ring[(k + n - 1) % n];
        const gis::Point after = ring[(k + 1) % n];
        const double qx = (after.x - before.x) / 4.0;
        const double qy = (after.y - before.y) / 4.0;
        ring[k] = onGrid({at.x + qx, at.y + qy});
        ring.insert(ring.begin() + static_cast<std::ptrdiff_t>(k) + 1, onGrid({at.x - qx, at.y - qy}));
        break;
    }
    case ParcelFault::WrongOrientation:
        std::reverse(ring.begin(), ring.end());
        break;
    case ParcelFault::DuplicatePart:
        p.shape.parts.push_back(gis::Ring(ring));
        break;
    case ParcelFault::Sliver: {
        // 50 cm² in the cell's lower left corner, clockwise.
        const gis::Point c{cellCorner.x + 1.0, cellCorner.y + 1.0};
        p.shape.parts.push_back(gis::Ring{onGrid(c), onGrid({c.x, c.y + 0.1}), onGrid({c.x + 0.1, c.y})});
        break;
    }
    }
}

std::string fixed2(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string_view faultName(ParcelFault fault) {
    switch (fault) {
    case ParcelFault::None: return "none";
    case ParcelFault::RepeatedVertex: return "repeated";
    case ParcelFault::Spike: return "spike";
    case ParcelFault::SelfCrossing: return "crossing";
    case ParcelFault::WrongOrientation: return "orientation";
    case ParcelFault::DuplicatePart: return "duplicate";
    case ParcelFault::Sliver: return "sliver";
    }
    return "?";
}

std::string_view outlineName(Outline outline) {
    switch (outline) {
    case Outline::Smooth: return "smooth";
    case Outline::Zigzag: return "zigzag";
    case Outline::Runs: return "runs";
    }
    return "?";
}

Parcel parcel(std::int64_t index, const ParcelOptions& o) {
    Random random(o.seed, static_cast<std::uint64_t>(index));
    Parcel p;
    const int columns = std::max(o.columns, 1);
    const auto column = static_cast<double>(index % columns);
    const auto row = static_cast<double>(index / columns);
    const gis::Point corner{o.origin.x + column * o.cellSize, o.origin.y + row * o.cellSize};
    const gis::Point centre{corner.x + o.cellSize / 2.0, corner.y + o.cellSize / 2.0};
    // The largest radius of any outline is 1.19 r (the superellipse's
    // corners): r = 0.33 cell keeps every parcel inside its cell.
    const double r = 0.33 * o.cellSize;

    p.outline = static_cast<Outline>(random.below(3));
    if (random.unit() < o.twoPartRate) {
        const double half = r / 2.2;
        p.shape.parts.push_back(outer(p.outline, {centre.x - o.cellSize / 4.0, centre.y}, half, o, random));
        p.shape.parts.push_back(outer(p.outline, {centre.x + o.cellSize / 4.0, centre.y}, half, o, random));
    } else {
        p.shape.parts.push_back(outer(p.outline, centre, r, o, random));
        if (random.unit() < o.holeRate) {
            // Well inside the smallest radius any outline reaches (0.7 r).
            std::vector<double> radii(static_cast<std::size_t>(12 + random.below(29)));
            for (double& radius : radii) radius = r * random.between(0.25, 0.35);
            p.shape.parts.push_back(starRing(centre, radii, random.between(0.0, 6.0), false));
        }
    }

    // Exactly floor(count * rate) faulty parcels among the first `count`,
    // spread evenly, their kinds taken in turn.
    const double rate = std::clamp(o.faultRate, 0.0, 1.0);
    const auto before = static_cast<std::int64_t>(std::floor(static_cast<double>(index) * rate));
    const auto upTo = static_cast<std::int64_t>(std::floor(static_cast<double>(index + 1) * rate));
    if (upTo > before) {
        p.fault = kParcelFaults[static_cast<std::size_t>(before % static_cast<std::int64_t>(kParcelFaults.size()))];
        injectFault(p, corner, random);
    }
    return p;
}

std::vector<gis::FieldDef> parcelFields() {
    return {
        {"ID", gis::FieldType::Integer, 9, 9, 0},
        {"NAME", gis::FieldType::String, 24, 0, 0},
        {"FLAECHE", gis::FieldType::Double, 12, 12, 2},
        {"KIND", gis::FieldType::String, 12, 0, 0},
    };
}

std::vector<std::optional<std::string>> parcelValues(std::int64_t index, const Parcel& p) {
    const std::string number = std::to_string(index + 1);
    std::string kind(outlineName(p.outline));
    if (p.fault != ParcelFault::None) {
        kind = std::string(faultName(p.fault));
    }
    // "Flurstück" in Windows-1252.
    return {number, std::string("Flurst\xFC" "ck ") + number, fixed2(std::fabs(gis::area(p.shape))), kind};
}

ParcelCounts writeParcelLayer(const std::filesystem::path& base, std::int64_t count, const ParcelOptions& options) {
    const auto fields = parcelFields();
    gis::ShapefileWriter writer(base, fields, gis::kCodePageAnsi);
    ParcelCounts counts;
    for (std::int64_t i = 0; i < count; ++i) {
        const Parcel p = parcel(i, options);
        const auto values = parcelValues(i, p);
        writer.append(p.shape, values);
        ++counts.records;
        counts.vertices += static_cast<std::int64_t>(gis::pointCount(p.shape));
        ++counts.byFault[static_cast<std::size_t>(p.fault)];
    }
    writer.close();
    return counts;
}

}  // namespace plyvet::samplegen
