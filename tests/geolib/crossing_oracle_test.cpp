// The indexed crossing search against the plain scan, its oracle: on every
// generated ring both must give the same code, edges and point, bit for bit,
// for the full scan, for the resumed scans after each finding, and for
// resume positions drawn at random. The families aim at the places where a
// candidate filter could drop a pair the plain test accepts: touchings and
// crossings at vertices, collinear and vertical overlaps, spikes, repeated
// vertices, near misses at the rounding's half unit, huge and non-finite
// coordinates.

#include "bench/ring_shapes.h"
#include "library_fixture.h"
#include "geolib/crossing.h"
#include "geolib/crossing_pair.h"
#include "geolib/crossing_sweep.h"
#include "geolib/plyvet_fenv.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace plyvet::geolib::test {
namespace {

using Ring = std::vector<PlyvetXY>;
using Random = std::mt19937_64;

constexpr PlyvetXY kUntouched{-777.0, -777.0};

struct Outcome {
    std::int32_t code, a, b;
    PlyvetXY point;
};

using Search = std::int32_t (*)(std::span<const PlyvetXY>, std::int32_t&, std::int32_t&,
                                PlyvetXY&);

Outcome run(Search search, const Ring& ring, std::int32_t a, std::int32_t b) {
    const ExtendedNearestScope scope;
    Outcome out{0, a, b, kUntouched};
    // An exactly sized copy: the sanitizer build catches a read past the ring.
    const Ring copy(ring);
    out.code = search(copy, out.a, out.b, out.point);
    return out;
}

// The sweep on its own; kDeclined where it gives up or cannot be asked (fewer
// than 4 points). A resume position outside the rule fails, as in the searches.
constexpr std::int32_t kDeclined = 99;

std::int32_t swept(std::span<const PlyvetXY> ring, std::int32_t& a, std::int32_t& b,
                   PlyvetXY& point) {
    if (ring.size() < 4) return kDeclined;
    if (!core::validResume(a, b, static_cast<std::int32_t>(ring.size()))) return core::kFailure;
    return core::findFirstMeetingSwept(ring, a, b, point).value_or(kDeclined);
}

// The spaced-ring answer on its own, declined where the ring is not spaced.
std::int32_t spaced(std::span<const PlyvetXY> ring, std::int32_t& a, std::int32_t& b,
                    PlyvetXY& point) {
    if (ring.size() < 4) return kDeclined;
    if (!core::validResume(a, b, static_cast<std::int32_t>(ring.size()))) return core::kFailure;
    return core::findFirstMeetingSpaced(ring, a, b, point).value_or(kDeclined);
}

// The proof by runs on its own, declined where it cannot vouch for the ring.
std::int32_t byRuns(std::span<const PlyvetXY> ring, std::int32_t& a, std::int32_t& b,
                    PlyvetXY& point) {
    if (ring.size() < 4) return kDeclined;
    if (!core::validResume(a, b, static_cast<std::int32_t>(ring.size()))) return core::kFailure;
    return core::findFirstMeetingByRuns(ring, a, b, point).value_or(kDeclined);
}

bool sameBits(double x, double y) {
    return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
}

bool same(const Outcome& p, const Outcome& q) {
    return p.code == q.code && p.a == q.a && p.b == q.b && sameBits(p.point.x, q.point.x) &&
           sameBits(p.point.y, q.point.y);
}

std::string describe(const Outcome& o) {
    char text[160];
    std::snprintf(text, sizeof text, "code %d a %d b %d point (%.17g, %.17g)", o.code, o.a, o.b,
                  o.point.x, o.point.y);
    return text;
}

std::string describe(const Ring& ring) {
    std::ostringstream out;
    out.precision(17);
    for (const PlyvetXY& p : ring) out << "{" << p.x << ", " << p.y << "}, ";
    return out.str();
}

// Counts rings and calls; reports the first few differences in full.
class Oracle {
public:
    explicit Oracle(Search tested = core::findFirstMeetingIndexed) : tested_(tested) {}

    // One ring: the full scan, the resumes after each finding, random resumes.
    void check(const std::string& family, const Ring& ring, Random& random, int maxResumes = 5) {
        ++rings_;
        const auto n = static_cast<std::int32_t>(ring.size());
        Outcome found = compare(family, ring, 0, 0);
        for (int i = 0; i < maxResumes && found.code > 0; ++i) {
            // A repeated vertex comes first on every call: resuming finds it again.
            const Outcome next = compare(family, ring, found.a, found.b + 1);
            if (next.code > 0 && next.a == found.a && next.b == found.b) break;
            found = next;
        }
        if (n >= 2) {
            std::uniform_int_distribution<std::int32_t> pickA(0, n - 1);
            const std::int32_t a = pickA(random);
            std::uniform_int_distribution<std::int32_t> pickB(a + 1, n);
            compare(family, ring, a, pickB(random));
        }
    }

    Outcome compare(const std::string& family, const Ring& ring, std::int32_t a, std::int32_t b) {
        ++calls_;
        const Outcome plain = run(core::findFirstMeetingPlain, ring, a, b);
        const Outcome indexed = run(tested_, ring, a, b);
        if (indexed.code == kDeclined) {
            ++declined_;
        } else if (!same(plain, indexed)) {
            ++differences_;
            if (differences_ <= 5)
                ADD_FAILURE() << family << ", n = " << ring.size() << ", resume (" << a << ", "
                              << b << ")\n  plain:   " << describe(plain)
                              << "\n  tested:  " << describe(indexed) << "\n  ring: "
                              << describe(ring);
        }
        findings_ += plain.code > 0;
        return plain;
    }

    int rings() const { return rings_; }
    int calls() const { return calls_; }
    int findings() const { return findings_; }
    int differences() const { return differences_; }
    int declined() const { return declined_; }

private:
    Search tested_;
    int rings_ = 0, calls_ = 0, findings_ = 0, differences_ = 0, declined_ = 0;
};

double uniform(Random& random, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
}

std::int32_t pick(Random& random, std::int32_t lo, std::int32_t hi) {
    return std::uniform_int_distribution<std::int32_t>(lo, hi)(random);
}

void roundTo(Ring& ring, int decimals) { bench::roundRing(ring, decimals); }

// Points on a small lattice, stepping by -1, 0 or 1 in each axis: repeated
// vertices, vertical and horizontal edges, collinear overlaps and touchings
// at vertices in every combination.
Ring latticeWalk(Random& random, std::int32_t n, double unit, int width) {
    Ring ring;
    int x = 0, y = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        x = std::clamp(x + pick(random, -1, 1), -width, width);
        y = std::clamp(y + pick(random, -1, 1), -width, width);
        ring.push_back({x * unit, y * unit});
    }
    return ring;
}

// Steps of a few units in the last place of a large base in one axis and of
// `yStep` in the other: edges so steep or so flat that their line records are
// off by more than their own extent, on lines that nearly coincide.
Ring lastPlaceWalk(Random& random, std::int32_t n, double base, double yStep, bool swapAxes) {
    Ring ring;
    double x = base, y = base;
    for (std::int32_t i = 0; i < n; ++i) {
        for (int s = pick(random, -3, 3); s != 0; s += s > 0 ? -1 : 1)
            x = std::nextafter(x, s > 0 ? 1e300 : -1e300);
        y += yStep * pick(random, -3, 3);
        ring.push_back(swapAxes ? PlyvetXY{y, x} : PlyvetXY{x, y});
    }
    return ring;
}

// Few points drawn from a small grid that is a few units in the last place
// wide in X and a few fourth-decimal steps tall in Y (or the other way): the
// first pair is often one whose boxes are apart by less than the rounding's
// half unit, or two nearly vertical edges on line records that coincide.
Ring lastPlacePool(Random& random, std::int32_t n, double base, double yStep, bool swapAxes) {
    Ring ring;
    for (std::int32_t i = 0; i < n; ++i) {
        double x = base;
        for (int s = pick(random, 0, 4); s > 0; --s) x = std::nextafter(x, 1e300);
        const double y = base + yStep * pick(random, 0, 12);
        ring.push_back(swapAxes ? PlyvetXY{y, x} : PlyvetXY{x, y});
    }
    return ring;
}

// Random points in a box, in random order: crossings everywhere.
Ring scattered(Random& random, std::int32_t n, double size, int decimals) {
    Ring ring;
    for (std::int32_t i = 0; i < n; ++i)
        ring.push_back({uniform(random, -size, size), uniform(random, -size, size)});
    roundTo(ring, decimals);
    return ring;
}

// A simple star-shaped ring around the origin with random radii.
Ring starShaped(Random& random, std::int32_t n, double radius, int decimals) {
    Ring ring;
    for (std::int32_t i = 0; i < n; ++i) {
        const double angle = 2 * 3.141592653589793 * (i + uniform(random, 0.0, 0.8)) / n;
        const double r = radius * uniform(random, 0.5, 1.0);
        ring.push_back({r * std::cos(angle), r * std::sin(angle)});
    }
    roundTo(ring, decimals);
    return ring;
}

// Axis-parallel steps of whole units: rectilinear rings that fold back on
// themselves, with long vertical and horizontal overlaps.
Ring rectilinear(Random& random, std::int32_t n, double unit) {
    Ring ring;
    double x = 0, y = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const int length = pick(random, 1, 4) * (pick(random, 0, 1) ? 1 : -1);
        if (i % 2 == 0)
            x += length * unit;
        else
            y += length * unit;
        ring.push_back({x, y});
    }
    return ring;
}

// Features put into a ring, each at a random place.
enum class Feature { VertexOnEdge, RepeatedVertex, Spike, BackAlongEdge, NearMiss, Count };

void inject(Random& random, Ring& ring, Feature feature, int decimals) {
    const auto n = static_cast<std::int32_t>(ring.size());
    const std::int32_t k = pick(random, 0, n - 1);
    const std::int32_t j = pick(random, 0, n - 1);
    const PlyvetXY p = ring[j];
    const PlyvetXY q = ring[(j + 1) % n];
    switch (feature) {
    case Feature::VertexOnEdge: {
        // A point of edge j, on the decimal grid when the edge allows it.
        const double t = pick(random, 0, 4) / 4.0;
        ring[k] = {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
        break;
    }
    case Feature::RepeatedVertex: ring[k] = p; break;
    case Feature::Spike: {
        // Out and straight back: vertex k + 1 runs back over edge k.
        const PlyvetXY from = ring[k];
        const PlyvetXY to = ring[(k + 1) % n];
        const double t = uniform(random, 0.2, 0.8);
        const PlyvetXY back{from.x + t * (to.x - from.x), from.y + t * (to.y - from.y)};
        ring.insert(ring.begin() + k + 1, back);
        ring.insert(ring.begin() + k + 1, to);
        break;
    }
    case Feature::BackAlongEdge: {
        // Two vertices laid over edge j: the ring retraces part of it.
        ring.insert(ring.begin() + k, {p.x + 0.75 * (q.x - p.x), p.y + 0.75 * (q.y - p.y)});
        ring.insert(ring.begin() + k, {p.x + 0.25 * (q.x - p.x), p.y + 0.25 * (q.y - p.y)});
        break;
    }
    case Feature::NearMiss: {
        // Vertex k just off the middle of edge j, by a few half units of the
        // fourth decimal, in X or in Y.
        static constexpr double kOffsets[] = {0.0, 0.00004, 0.00005, 0.00006, 0.0001,
                                              0.00011, 0.00015, 0.0002, 0.001};
        const double d = kOffsets[pick(random, 0, 8)] * (pick(random, 0, 1) ? 1 : -1);
        PlyvetXY m{(p.x + q.x) / 2, (p.y + q.y) / 2};
        (pick(random, 0, 1) ? m.x : m.y) += d;
        ring[k] = m;
        break;
    }
    case Feature::Count: break;
    }
    if (decimals >= 0) roundTo(ring, decimals);
}

// The generated families every search is compared on.
void checkGeneratedRings(Oracle& oracle, Random& random) {
    const auto size = [&](std::int32_t lo, std::int32_t hi) { return pick(random, lo, hi); };

    // The benchmark shapes, small, plain and with a late crossing.
    for (int i = 0; i < 1500; ++i) {
        const bench::Shape shape = bench::kAllShapes[i % std::size(bench::kAllShapes)];
        const int decimals = pick(random, 0, 4);
        Ring ring = bench::makeRing(shape, size(8, 100), random(), uniform(random, 0.0005, 2.0),
                                    decimals);
        if (i % 2 == 1) {
            bench::addLateCrossing(ring);
            roundTo(ring, decimals);
        }
        oracle.check(std::string(bench::shapeName(shape)), ring, random);
    }
    // Lattice walks at units from whole numbers down to below the rounding's step.
    static constexpr double kUnits[] = {1.0, 0.001, 0.0001, 0.00005, 0.00003, 1e-9};
    for (int i = 0; i < 2600; ++i)
        oracle.check("lattice",
                     latticeWalk(random, size(4, 60), kUnits[i % 6], pick(random, 2, 12)), random);
    for (int i = 0; i < 1200; ++i)
        oracle.check("scattered", scattered(random, size(4, 70), 10.0, pick(random, 0, 4)), random);
    for (int i = 0; i < 900; ++i)
        oracle.check("rectilinear", rectilinear(random, size(4, 90), i % 2 ? 1.0 : 0.0001), random);

    static constexpr double kBases[] = {1.0, 1000.0, 1e6, 123456.789};
    static constexpr double kSteps[] = {0.00002, 0.00005, 1e-10, 0.0001};
    for (int i = 0; i < 800; ++i)
        oracle.check("last place",
                     lastPlaceWalk(random, size(4, 60), kBases[i % 4], kSteps[(i / 4) % 4],
                                   i % 3 == 0),
                     random);

    static constexpr double kPoolSteps[] = {0.00001, 0.00002, 0.00003, 1e-9};
    for (int i = 0; i < 2500; ++i)
        oracle.check("last-place pool",
                     lastPlacePool(random, size(4, 7), kBases[i % 4], kPoolSteps[(i / 4) % 4],
                                   i % 3 == 0),
                     random);

    // Simple rings with one to three features put in, on the decimal grid or off it.
    for (int i = 0; i < 3000; ++i) {
        const int decimals = std::array{-1, 2, 3, 4, 4, 5}[static_cast<std::size_t>(i % 6)];
        Ring ring = starShaped(random, size(5, 90), uniform(random, 0.01, 100.0),
                               decimals < 0 ? 6 : decimals);
        const int features = pick(random, 1, 3);
        for (int f = 0; f < features; ++f)
            inject(random, ring,
                   static_cast<Feature>(pick(random, 0, static_cast<int>(Feature::Count) - 1)),
                   decimals);
        oracle.check("features", ring, random);
    }
}

TEST(CrossingOracle, IndexedSearchMatchesThePlainScan) {
    Random random(20261206);
    Oracle oracle;
    checkGeneratedRings(oracle, random);
    std::printf("%d rings, %d calls, %d findings, %d differences\n", oracle.rings(),
                oracle.calls(), oracle.findings(), oracle.differences());
    EXPECT_GE(oracle.rings(), 10000);
    // Most calls must find something, or the comparison proves little.
    EXPECT_GT(oracle.findings(), oracle.calls() / 3);
    EXPECT_EQ(oracle.differences(), 0);
}

// The sweep on the same families, on its own: it may give up only where
// many edges lie close together, and must agree bit for bit wherever it answers.
TEST(CrossingOracle, SweepMatchesThePlainScan) {
    Random random(20261206);
    Oracle oracle(swept);
    checkGeneratedRings(oracle, random);
    std::printf("%d rings, %d calls, %d findings, %d declined, %d differences\n", oracle.rings(),
                oracle.calls(), oracle.findings(), oracle.declined(), oracle.differences());
    EXPECT_LT(oracle.declined(), oracle.calls() / 20);
    EXPECT_EQ(oracle.differences(), 0);
}

// Thin spikes all around one centre, the rings whose edge boxes overlap by
// the thousand: radius alternating between 1 and 1 - depth, on the decimal
// grid, around an origin that may lie far away.
Ring spikeRing(Random& random, std::int32_t spikes, double radius, double depth, int decimals,
               PlyvetXY centre) {
    Ring ring;
    for (std::int32_t i = 0; i < 2 * spikes; ++i) {
        const double angle = 3.141592653589793 * (i + uniform(random, -0.2, 0.2)) / spikes;
        const double r = radius * (i % 2 == 0 ? 1.0 : 1.0 - depth);
        ring.push_back({centre.x + r * std::cos(angle), centre.y + r * std::sin(angle)});
    }
    roundTo(ring, decimals);
    return ring;
}

// What a spike ring gets put into it, next to a random spike.
enum class SpikeFault {
    None,
    LateCrossing,   // an edge near the end crosses the edge two before it
    TipOnNeighbour,  // a tip moved onto a point of the next spike's edge
    TipNearNeighbour,  // a tip moved to within or just beyond the rounding's half unit
    Retrace,        // two vertices laid back over an edge: a collinear overlap
    SharedTip,      // a tip moved onto the next tip: a repeated vertex
    Count
};

void putInto(Random& random, Ring& ring, SpikeFault fault, int decimals) {
    const auto n = static_cast<std::int32_t>(ring.size());
    const std::int32_t k = 2 * pick(random, 0, n / 2 - 2);  // a tip; k + 2 is the next one
    const auto at = [&](std::int32_t i) { return ring[static_cast<std::size_t>(i % n)]; };
    const auto along = [&](std::int32_t edge, double t) {
        const PlyvetXY p = at(edge), q = at(edge + 1);
        return PlyvetXY{p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
    };
    switch (fault) {
    case SpikeFault::None: break;
    case SpikeFault::LateCrossing: bench::addLateCrossing(ring); break;
    case SpikeFault::TipOnNeighbour:
        ring[static_cast<std::size_t>(k)] = along(k + 1, pick(random, 1, 3) / 4.0);
        break;
    case SpikeFault::TipNearNeighbour: {
        static constexpr double kOffsets[] = {0.0, 0.00004, 0.00005, 0.00006, 0.0001, 0.00011};
        PlyvetXY m = along(k + 1, 0.5);
        (pick(random, 0, 1) ? m.x : m.y) +=
            kOffsets[pick(random, 0, 5)] * (pick(random, 0, 1) ? 1 : -1);
        ring[static_cast<std::size_t>(k)] = m;
        break;
    }
    case SpikeFault::Retrace: {
        const std::int32_t j = pick(random, 0, n - 2);
        const PlyvetXY p = along(j, 0.25), q = along(j, 0.75);
        ring.insert(ring.begin() + j + 1, {q, p});
        break;
    }
    case SpikeFault::SharedTip: ring[static_cast<std::size_t>(k)] = at(k + 2); break;
    case SpikeFault::Count: break;
    }
    if (decimals >= 0) roundTo(ring, decimals);
}

// Spike rings with every fault, in metres and in degrees, compared for the box
// search and the sweep, with resumes after every finding and at random places.
TEST(CrossingOracle, SpikeRingsAgreeWithThePlainScan) {
    Random random(424242);
    Oracle indexed, sweep(swept);
    int spikeRings = 0;
    for (int i = 0; i < 1000; ++i) {
        const bool degrees = i % 3 == 2;
        const int decimals = degrees ? pick(random, 5, 7) : pick(random, 1, 4);
        const double radius = degrees ? uniform(random, 0.001, 0.05) : uniform(random, 5.0, 500.0);
        const PlyvetXY centre = degrees ? PlyvetXY{uniform(random, 5, 15), uniform(random, 45, 55)}
                                        : PlyvetXY{std::array{0.0, 3.5e5, -1e6}[i % 3 == 0 ? 0 : 1],
                                                   uniform(random, -1e3, 5e6)};
        Ring ring = spikeRing(random, pick(random, 24, 100), radius, uniform(random, 0.2, 0.95),
                              decimals, centre);
        const auto fault = static_cast<SpikeFault>(i % static_cast<int>(SpikeFault::Count));
        putInto(random, ring, fault, decimals);
        if (i % 4 == 3) putInto(random, ring, SpikeFault::TipNearNeighbour, decimals);
        const std::string family = "spikes, fault " + std::to_string(static_cast<int>(fault));
        indexed.check(family, ring, random, 4);
        sweep.check(family, ring, random, 4);
        ++spikeRings;
    }
    std::printf("%d spike rings; sweep: %d calls, %d findings, %d declined\n", spikeRings,
                sweep.calls(), sweep.findings(), sweep.declined());
    EXPECT_GT(sweep.findings(), sweep.calls() / 3);
    EXPECT_LT(sweep.declined(), sweep.calls() / 20);
    EXPECT_EQ(indexed.differences() + sweep.differences(), 0);
}

// Rings large enough that the box search stops at its cap and hands over to
// the sweep: the search the export takes, and the sweep on its own (which
// must answer), give the plain scan's answers, full and resumed.
TEST(CrossingOracle, LargeSpikeRingsTakeTheSweep) {
    Random random(99);
    Oracle chosen(core::findFirstMeeting), sweep(swept);
    for (int i = 0; i < 4; ++i) {
        Ring ring = bench::makeRing(bench::Shape::Spikes, 1800, random(), 1.0, 3);
        const auto fault = static_cast<SpikeFault>(i % static_cast<int>(SpikeFault::Count));
        putInto(random, ring, fault, 3);
        chosen.check("large spikes", ring, random, 2);
        sweep.check("large spikes", ring, random, 2);
    }
    EXPECT_GT(chosen.findings(), 2);
    EXPECT_EQ(sweep.declined(), 0);
    EXPECT_EQ(chosen.differences() + sweep.differences(), 0);
}

// Four points a few units in the last place apart in X and a few
// fourth-decimal steps apart in Y: the pair of edges 0 and 2 is nearly
// vertical on both sides, and the plain test accepts it with Y ranges up to
// a whole fourth-decimal unit apart (rounding fallback) or more (two edges
// on one line record). Counted separately: only full scans, no resumes.
TEST(CrossingOracle, NearlyVerticalPairsApartInY) {
    Random random(3);
    Oracle oracle;
    static constexpr double kBases[] = {1.0, 1000.0, 1e6, 0.5, 123.456};
    static constexpr double kSteps[] = {0.00001, 0.00002, 0.000025, 0.00003, 0.00004};
    int apart = 0;
    for (int i = 0; i < 40000; ++i) {
        Ring ring;
        for (int k = 0; k < 4; ++k) {
            double x = kBases[i % 5];
            for (int s = pick(random, 0, 6); s > 0; --s) x = std::nextafter(x, 1e300);
            const double y = kBases[i % 5] + kSteps[(i / 5) % 5] * pick(random, 0, 12);
            ring.push_back(i % 2 ? PlyvetXY{x, y} : PlyvetXY{y, x});
        }
        const Outcome found = oracle.compare("nearly vertical", ring, 0, 0);
        const auto yRange = [&](int k) {
            const int axis = i % 2;  // Y is the second coordinate, or the first when swapped
            const auto c = [&](int v) { return axis ? ring[v].y : ring[v].x; };
            return std::pair{std::min(c(k), c(k + 1)), std::max(c(k), c(k + 1))};
        };
        const auto [alo, ahi] = yRange(0);
        const auto [blo, bhi] = yRange(2);
        apart += found.code > 0 && found.a == 0 && found.b == 2 && (ahi < blo || bhi < alo);
    }
    std::printf("%d pairs found with Y ranges apart\n", apart);
    EXPECT_GT(apart, 20);

    // The widest gaps a longer search found: a whole fourth-decimal unit for
    // the rounding fallback; for two edges on one line record the gap grows
    // with slope times X (here up to 3e-3).
    const std::vector<Ring> widest = {
        {{123.456, 123.45625}, {123.45600000000005, 123.4563}, {123.45600000000003, 123.456},
         {123.45600000000002, 123.45615000000001}},
        {{1000.0000000000003, 1000.00032}, {1000.0000000000005, 1000.00048},
         {1000.0000000000003, 1000.0001600000001}, {1000.0000000000002, 1000}},
        {{1000000.0000000006, 1000000.012}, {1000000.0000000005, 1000000.009},
         {1000000.0000000003, 1000000.004}, {1000000.0000000005, 1000000.007}},
        {{1000.0000000000002, 1000.011}, {1000.0000000000003, 1000.0069999999999},
         {1000.0000000000002, 1000.004}, {1000.0000000000003, 1000}},
    };
    for (const Ring& ring : widest) {
        const Outcome found = oracle.compare("widest gap", ring, 0, 0);
        EXPECT_GE(found.code, 2);
        EXPECT_EQ(found.b, 2);
    }
    EXPECT_EQ(oracle.differences(), 0);
}

// Magnitudes the pads must scale with, and values the index cannot order.
TEST(CrossingOracle, HugeTinyAndNonFiniteCoordinates) {
    Random random(7);
    Oracle oracle;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    static constexpr double kOffsets[] = {1e6, 1e12, 1e15, 4e15, 1e18, 1e300, -1e15};
    for (int i = 0; i < 700; ++i) {
        Ring ring = latticeWalk(random, pick(random, 4, 60), i % 3 == 0 ? 1.0 : 1e3,
                                pick(random, 2, 8));
        const double offset = kOffsets[i % std::size(kOffsets)];
        for (PlyvetXY& p : ring) (i % 2 ? p.x : p.y) += offset;
        oracle.check("offset", ring, random, 4);
    }
    for (int i = 0; i < 300; ++i) {
        Ring ring = starShaped(random, pick(random, 4, 50), i % 2 ? 1e-300 : 1e-10, -1);
        for (PlyvetXY& p : ring) p = {p.x * 1e-300, p.y};
        oracle.check("tiny", ring, random, 4);
    }
    // X steps so small (down to subnormal ones) against Y steps so large that
    // slopes leave the double range: line records that say nothing of where
    // their edges lie, which the pair test still takes at their word.
    static constexpr double kSqueezes[] = {1e-250, 1e-300, 1e-308, 1e-310, 1e-315};
    for (int i = 0; i < 300; ++i) {
        Ring ring = starShaped(random, pick(random, 4, 80), 300.0, pick(random, 0, 1) ? -1 : 0);
        const double squeeze = kSqueezes[static_cast<std::size_t>(i) % std::size(kSqueezes)];
        for (PlyvetXY& p : ring) p.x *= squeeze;
        if (i % 3 == 0) ring[0].y = ring[2].y + 1.0;
        oracle.check("steep beyond range", ring, random, 4);
    }
    const PlyvetXY specials[] = {{nan, 0},   {0, nan},   {inf, 0},
                                 {0, -inf},  {inf, inf}, {1e308, -1e308}};
    for (int i = 0; i < 300; ++i) {
        Ring ring = starShaped(random, pick(random, 4, 40), 10.0, 3);
        const int count = pick(random, 1, 2);
        for (int c = 0; c < count; ++c)
            ring[static_cast<std::size_t>(
                pick(random, 0, static_cast<std::int32_t>(ring.size()) - 1))] =
                specials[pick(random, 0, 5)];
        oracle.check("non-finite", ring, random, 4);
    }
    // Rings that fold over themselves so often that nearly every pair is a
    // candidate: the repeated-vertex check then runs early (a few thousand
    // candidates) and the search skips what cannot beat its best finding.
    for (int i = 0; i < 60; ++i)
        oracle.check("dense folds",
                     latticeWalk(random, pick(random, 130, 200), i % 2 ? 1.0 : 1e-4, 1), random, 3);
    for (int i = 0; i < 20; ++i) {
        // Back and forth on one line, no vertex repeated after the first lap.
        Ring ring;
        const std::int32_t n = pick(random, 130, 200);
        for (std::int32_t k = 0; k < n; ++k)
            ring.push_back({(k % 2 ? 100.0 : 0.0) + k * 0.001 * (i % 3), i % 2 ? 0.0 : k * 1e-3});
        oracle.check("back and forth", ring, random, 3);
    }
    for (std::int32_t n : {4, 5, 17, 64, 150}) {
        oracle.check("all equal", Ring(static_cast<std::size_t>(n), PlyvetXY{3.5, -2.25}), random);
        oracle.check("all zero, both signs",
                     [&] {
                         Ring ring;
                         for (std::int32_t k = 0; k < n; ++k)
                             ring.push_back({k % 2 ? -0.0 : 0.0, 0.0});
                         return ring;
                     }(),
                     random);
    }
    EXPECT_EQ(oracle.differences(), 0);
}

// Resume positions outside the rule fail alike, and the edge positions of it agree.
TEST(CrossingOracle, ResumePositionsAtTheEdgesOfTheRule) {
    Random random(11);
    Oracle oracle;
    const Ring ring = bench::makeRing(bench::Shape::Spikes, 60, 1, 1.0, 3);
    Ring crossing = ring;
    bench::addLateCrossing(crossing);
    const auto n = static_cast<std::int32_t>(ring.size());
    for (const Ring* r : std::array<const Ring*, 2>{&ring, &crossing}) {
        for (const auto& [a, b] : std::vector<std::pair<std::int32_t, std::int32_t>>{
                 {0, 0}, {0, 1}, {0, n}, {n - 2, n - 1}, {n - 2, n}, {n - 1, n}, {1, 0}, {-1, 3},
                 {2, 2}, {3, 1}, {0, n + 1}, {n, n + 1}})
            oracle.compare("resume", *r, a, b);
    }
    EXPECT_EQ(oracle.differences(), 0);
}

// The shapes the benchmark times have no finding unless a crossing is added,
// and the added crossing is found late in the scan.
TEST(CrossingOracle, BenchmarkShapesAreSimpleUntilACrossingIsAdded) {
    for (const bench::Shape shape : bench::kAllShapes) {
        Ring ring = bench::makeRing(shape, 1500, 5);
        Outcome simple = run(core::findFirstMeetingIndexed, ring, 0, 0);
        EXPECT_EQ(simple.code, 0) << bench::shapeName(shape) << ": " << describe(simple);
        bench::addLateCrossing(ring);
        bench::roundRing(ring, 3);
        const Outcome crossed = run(core::findFirstMeetingIndexed, ring, 0, 0);
        EXPECT_EQ(crossed.code, 2) << bench::shapeName(shape);
        EXPECT_GT(crossed.a, 1000) << bench::shapeName(shape) << ": " << describe(crossed);
        const Outcome plain = run(core::findFirstMeetingPlain, ring, 0, 0);
        EXPECT_TRUE(same(plain, crossed)) << describe(plain) << " / " << describe(crossed);

        // Crossings all along: the first comes at the start, and resuming
        // after each finding meets the next about `every` edges on.
        Ring crossings = bench::makeRing(shape, 1500, 5);
        bench::addCrossings(crossings, 100);
        bench::roundRing(crossings, 3);
        Outcome found = run(core::findFirstMeetingIndexed, crossings, 0, 0);
        EXPECT_EQ(found.code, 2) << bench::shapeName(shape) << ": " << describe(found);
        EXPECT_LT(found.a, 8) << bench::shapeName(shape) << ": " << describe(found);
        int count = 0;
        while (found.code == 2 && count < 100) {
            ++count;
            found = run(core::findFirstMeetingIndexed, crossings, found.a, found.b + 1);
        }
        EXPECT_GE(count, 14) << bench::shapeName(shape);
    }
}

// The benchmark shapes at a few thousand vertices, with a late crossing or
// with one of the spike rings' faults put in: the search the export takes
// gives the plain scan's answers, full and resumed, on shapes of many short
// monotone runs as on smooth ones.
TEST(CrossingOracle, LargeBenchmarkShapesAgreeWithThePlainScan) {
    Random random(7);
    Oracle chosen(core::findFirstMeeting);
    for (const bench::Shape shape : bench::kAllShapes) {
        for (const std::int32_t n : {1200, 3000}) {
            Ring ring = bench::makeRing(shape, n, random());
            const auto fault =
                static_cast<SpikeFault>(pick(random, 1, static_cast<int>(SpikeFault::Count) - 1));
            if (n > 2000) bench::addLateCrossing(ring);
            else putInto(random, ring, fault, 3);
            bench::roundRing(ring, 3);
            chosen.check("large " + std::string(bench::shapeName(shape)), ring, random, 2);
        }
    }
    EXPECT_GT(chosen.findings(), chosen.calls() / 3);
    EXPECT_EQ(chosen.differences(), 0);
}

// Rings past the size up to which every ring is first asked whether it is
// spaced: those of short monotone runs are asked by the proof from their
// centre, the others are not. Clean, with a late crossing, with a spike tip
// near its neighbour, with a repeated vertex: the export's search gives the
// plain scan's answers, full and resumed, whichever way it took.
TEST(CrossingOracle, LargeRingsOfShortRunsAgreeWithThePlainScan) {
    Random random(4097);
    Oracle chosen(core::findFirstMeeting);
    for (const bench::Shape shape :
         {bench::Shape::RandomWalk, bench::Shape::Spikes, bench::Shape::Zigzag, bench::Shape::Spiral,
          bench::Shape::Smooth}) {
        for (const SpikeFault fault : {SpikeFault::None, SpikeFault::LateCrossing, SpikeFault::TipNearNeighbour,
                                       SpikeFault::SharedTip}) {
            Ring ring = bench::makeRing(shape, 4200, random());
            putInto(random, ring, fault, 3);
            chosen.check("large " + std::string(bench::shapeName(shape)) + ", fault " +
                             std::to_string(static_cast<int>(fault)),
                         ring, random, 1);
        }
    }
    EXPECT_GT(chosen.findings(), 8);
    EXPECT_EQ(chosen.differences(), 0);
}

// Spirals of many turns past that size: their long runs lie over each other
// dozens deep, and the search asks the proof by runs before the box search.
// Clean (the proof holds, nothing is found), with a late crossing, with a
// vertex moved near or onto another edge, with a repeated vertex: the
// export's search gives the plain scan's answers, full and resumed.
TEST(CrossingOracle, DeepSpiralsAgreeWithThePlainScan) {
    Random random(4500);
    Oracle chosen(core::findFirstMeeting);
    for (const double turns : {20.0, 36.0}) {
        for (const SpikeFault fault : {SpikeFault::None, SpikeFault::LateCrossing, SpikeFault::TipOnNeighbour,
                                       SpikeFault::TipNearNeighbour, SpikeFault::SharedTip}) {
            Ring ring = bench::makeSpiral(4500, turns);
            if (fault == SpikeFault::None) {
                EXPECT_EQ(run(byRuns, ring, 0, 0).code, 0) << turns;  // answered: no finding
                EXPECT_EQ(run(core::findFirstMeetingPlain, ring, 0, 0).code, 0) << turns;
            }
            putInto(random, ring, fault, 3);
            chosen.check("spiral of " + std::to_string(static_cast<int>(turns)) + " turns, fault " +
                             std::to_string(static_cast<int>(fault)),
                         ring, random, 1);
        }
    }
    EXPECT_GT(chosen.findings(), 6);
    EXPECT_EQ(chosen.differences(), 0);
}

// The generated families, then `count` spike rings of up to `mostSpikes`
// spikes with each fault in turn, every other one far from the origin when
// `farOrigin`.
void checkGeneratedAndSpikeRings(Oracle& oracle, Random& random, int count, std::int32_t mostSpikes,
                                 bool farOrigin) {
    checkGeneratedRings(oracle, random);
    for (int i = 0; i < count; ++i) {
        const int decimals = pick(random, 2, 5);
        const bool far = farOrigin && i % 2 == 0;
        Ring ring = spikeRing(random, pick(random, 12, mostSpikes), uniform(random, 5.0, 500.0),
                              uniform(random, 0.05, 0.9), decimals,
                              PlyvetXY{far ? 3.5e6 : 0.0, far ? 5.8e6 : 0.0});
        putInto(random, ring, static_cast<SpikeFault>(i % static_cast<int>(SpikeFault::Count)),
                decimals);
        oracle.check("spikes", ring, random, 3);
    }
}

// The spaced-ring answer on its own, on every generated family and on spike
// rings: it declines wherever two edges that share no vertex come near, and
// must agree with the plain scan bit for bit wherever it answers.
TEST(CrossingOracle, SpacedRingAnswerMatchesThePlainScan) {
    Random random(20261207);
    Oracle oracle(spaced);
    checkGeneratedAndSpikeRings(oracle, random, 600, 200, true);
    std::printf("%d rings, %d calls, %d findings, %d declined\n", oracle.rings(), oracle.calls(),
                oracle.findings(), oracle.declined());
    EXPECT_GT(oracle.calls() - oracle.declined(), 2000);  // it answered often
    EXPECT_EQ(oracle.differences(), 0);
}

// A ring monotone in X: an upper line from left to right over random X
// positions, then a lower line back, some of its X positions shared with the
// upper line's. The ends are shared vertices or vertical edges; a wave runs
// through both lines; at one place the gap between them may shrink to
// `squeeze` (in units of the coordinates' size), to nothing, or below it.
Ring monotoneRing(Random& random, std::int32_t n, double scale, double squeeze) {
    const std::int32_t upper = std::max(2, n / 2), lower = std::max(2, n - upper);
    std::vector<double> xu, xl;
    for (std::int32_t i = 0; i < upper; ++i) xu.push_back(uniform(random, 0.0, 1.0));
    for (std::int32_t i = 0; i < lower; ++i)
        xl.push_back(pick(random, 0, 2) == 0 ? xu[static_cast<std::size_t>(pick(random, 0, upper - 1))]
                                             : uniform(random, 0.0, 1.0));
    std::sort(xu.begin(), xu.end());
    std::sort(xl.begin(), xl.end());
    xu.erase(std::unique(xu.begin(), xu.end()), xu.end());
    xl.erase(std::unique(xl.begin(), xl.end()), xl.end());
    const double waves = uniform(random, 0.5, 20.0), height = uniform(random, 0.0, 0.5);
    const double gap = uniform(random, 0.001, 0.1);
    const auto middle = [&](double x) { return height * std::sin(waves * x); };
    const bool sharedEnds = pick(random, 0, 1) == 1;
    if (sharedEnds) {
        xl.front() = xu.front();
        xl.back() = xu.back();
    }
    Ring ring;
    for (const double x : xu) ring.push_back({x, middle(x) + gap * uniform(random, 0.5, 1.0)});
    for (std::size_t i = xl.size(); i-- > 0;) {
        const double x = xl[i];
        const bool end = i == 0 || i + 1 == xl.size();
        if (sharedEnds && end) continue;  // the upper line's end vertices
        ring.push_back({x, middle(x) - gap * uniform(random, 0.5, 1.0)});
    }
    if (squeeze >= 0 && xu.size() > 2) {
        // An inner upper vertex brought down to just above the lower line.
        const std::size_t k = static_cast<std::size_t>(pick(random, 1, static_cast<std::int32_t>(xu.size()) - 2));
        const double x = ring[k].x;
        double below = middle(x) - gap;
        for (std::size_t i = xu.size(); i + 1 < ring.size(); ++i) {
            const PlyvetXY& p = ring[i];
            const PlyvetXY& q = ring[i + 1];
            if (q.x <= x && x <= p.x && p.x != q.x) below = p.y + (x - p.x) * (q.y - p.y) / (q.x - p.x);
        }
        ring[k].y = below + squeeze;
    }
    for (PlyvetXY& p : ring) p = {p.x * scale, p.y * scale};
    return ring;
}

// The proof by runs on its own: on every generated family, on spike rings, on
// combs with their teeth moved onto and next to each other and the base, on
// spirals with crossings and on rings monotone in X squeezed to nearly
// nothing somewhere. Wherever it answers, the answer is the plain scan's.
TEST(CrossingOracle, ProofByRunsMatchesThePlainScan) {
    Random random(20261208);
    Oracle oracle(byRuns);
    checkGeneratedAndSpikeRings(oracle, random, 300, 100, false);
    const int generic = oracle.calls();
    const int genericDeclined = oracle.declined();
    for (int i = 0; i < 1500; ++i) {
        const bench::Shape shape = i % 3 == 0 ? bench::Shape::Spiral : bench::Shape::Zigzag;
        const int decimals = std::array{-1, 0, 1, 3}[static_cast<std::size_t>(i % 4)];
        Ring ring = bench::makeRing(shape, pick(random, 8, 600), random(), uniform(random, 0.3, 3.0), decimals);
        const auto n = static_cast<std::int32_t>(ring.size());
        const std::int32_t k = pick(random, 0, n - 1), j = pick(random, 0, n - 1);
        const PlyvetXY p = ring[static_cast<std::size_t>(j)], q = ring[static_cast<std::size_t>((j + 1) % n)];
        switch (i % 8) {
        case 0: break;
        case 1: bench::addLateCrossing(ring); break;
        case 2: ring[static_cast<std::size_t>(k)] = p; break;  // a repeated vertex
        case 3: ring[static_cast<std::size_t>(k)] = {(p.x + q.x) / 2, (p.y + q.y) / 2}; break;
        case 4: ring[static_cast<std::size_t>(k)].x = p.x; break;  // a vertical edge or two on one X
        case 5: ring[static_cast<std::size_t>(k)].y += std::ldexp(ring[static_cast<std::size_t>(k)].y, -pick(random, 20, 50));
            break;
        case 6: bench::addCrossings(ring, pick(random, 5, 50)); break;
        case 7: {  // a tooth's tip moved to just beside the next tooth's edge
            const double d = std::ldexp(1.0, -pick(random, 10, 52)) * (pick(random, 0, 1) ? 1 : -1);
            ring[static_cast<std::size_t>(k)] = {(p.x + q.x) / 2 + d, (p.y + q.y) / 2};
            break;
        }
        }
        if (decimals >= 0) roundTo(ring, decimals);
        oracle.check(std::string(bench::shapeName(shape)) + " case " + std::to_string(i % 8), ring, random, 3);
    }
    static constexpr double kSqueezes[] = {-1.0, 0.0, 1e-18, 1e-15, 1e-13, 1e-12, 1e-11, 1e-9, 1e-6, -1e-12};
    static constexpr double kScales[] = {1.0, 1e-6, 3.5e6, 1e200};
    for (int i = 0; i < 2000; ++i) {
        const double squeeze = kSqueezes[static_cast<std::size_t>(i) % std::size(kSqueezes)];
        Ring ring = monotoneRing(random, pick(random, 4, 300), kScales[static_cast<std::size_t>(i / 10) % 4],
                                 squeeze < -0.5 ? -1.0 : squeeze);
        if (i % 7 == 3) roundTo(ring, 3);
        oracle.check("monotone", ring, random, 3);
    }
    std::printf("%d rings, %d calls, %d findings, %d declined (%d of %d on the general families)\n",
                oracle.rings(), oracle.calls(), oracle.findings(), oracle.declined(), genericDeclined, generic);
    EXPECT_GT(oracle.calls() - oracle.declined(), 3000);  // it answered often
    EXPECT_GT(oracle.declined(), oracle.calls() / 10);  // and declined where edges come near
    EXPECT_EQ(oracle.differences(), 0);
}

// The sweeps' gap G must cover four times the largest rounding bound of any
// edge, slope term and subnormal term included, without being far larger:
// checked in extended precision on rings of every size of coordinate, with
// steep, flat and vertical edges.
TEST(CrossingOracle, SweepGapCoversTheLargestRoundingBound) {
    Random random(43);
    static constexpr double kScales[] = {1e-310, 1e-300, 1e-12, 1.0, 3.5e6, 1e100, 1e150};
    static constexpr double kSlopes[] = {0.0, 1e-300, 1e-12, 1.0, 1e6, 1e12, 1e200};
    int measured = 0;
    for (int i = 0; i < 20000; ++i) {
        const double scale = kScales[static_cast<std::size_t>(i) % std::size(kScales)];
        const double slope = kSlopes[static_cast<std::size_t>(i / 7) % std::size(kSlopes)];
        Ring ring;
        double x = uniform(random, -1, 1) * scale, y = uniform(random, -1, 1) * scale;
        for (int k = pick(random, 4, 12); k > 0; --k) {
            ring.push_back({x, y});
            const double dx = pick(random, 0, 5) == 0 ? 0.0 : uniform(random, -1, 1) * scale;
            x += dx;
            y += pick(random, 0, 1) ? dx * slope * uniform(random, -1, 1) : uniform(random, -1, 1) * scale;
        }
        long double largest = 0, largestCoordinate = 0, largestX = 0;
        for (const PlyvetXY& p : ring) {
            largestCoordinate = std::max({largestCoordinate, std::fabs(static_cast<long double>(p.x)),
                                          std::fabs(static_cast<long double>(p.y))});
            largestX = std::max(largestX, std::fabs(static_cast<long double>(p.x)));
        }
        for (std::size_t k = 0; k < ring.size(); ++k) {
            const PlyvetXY& p = ring[k];
            const PlyvetXY& q = ring[(k + 1) % ring.size()];
            if (p.x == q.x) continue;
            const long double dy = std::fabs(static_cast<long double>(q.y) - p.y);
            const long double steep = dy / std::fabs(static_cast<long double>(q.x) - p.x);
            const long double t = dy + std::fabs(static_cast<long double>(p.y)) + std::fabs(static_cast<long double>(q.y)) +
                                  (steep + 0x1p-1070L) * (std::fabs(static_cast<long double>(p.x)) + std::fabs(static_cast<long double>(q.x)) + 0x1p-960L);
            largest = std::max(largest, t);
        }
        const auto gap = core::sweepGap(ring);
        const long double needed = 0x1p-43L * largest;
        if (!gap) {
            // Only where the coordinates are too large for the sweeps.
            EXPECT_GT(largestCoordinate, 0x1p500L) << describe(ring);
            continue;
        }
        ++measured;
        EXPECT_GE(static_cast<long double>(*gap), needed * (1 - 0x1p-50L)) << describe(ring);
        // Not far above: the subnormal term is taken at the largest X.
        EXPECT_LE(static_cast<long double>(*gap), 3 * needed + 0x1p-1110L * (largestX + 1) + 0x1p-999L)
            << describe(ring);
    }
    EXPECT_GT(measured, 15000);
}

// A comb of teeth (the benchmark's zigzag, half a unit apart) with the tip
// after a tooth's falling edge moved to a given distance across that edge's
// middle: outside the tooth a near miss, inside it a crossing. At distances
// around the largest gap any pair test bridges (four pads of about 2e-4) the
// indexed search, which tries the spaced answer first on such rings, and the
// spaced answer alone agree with the plain scan.
TEST(CrossingOracle, NearMissesAroundThePadDistance) {
    Random random(77);
    Oracle indexed, alone(spaced);
    // Within the 4-decimal rounding's reach (up to about 0.5e-4), around the
    // pads, around four pads, and well apart.
    static constexpr double kGaps[] = {0.0,    0.00001, 0.00002, 0.00004, 0.00005, 0.00006, 0.0001, 0.0002,
                                       0.0004, 0.00079, 0.0008,  0.00081, 0.0009,  0.001,   0.002,  0.01};
    for (int i = 0; i < 640; ++i) {
        const double gap = kGaps[static_cast<std::size_t>(i) % std::size(kGaps)];
        const PlyvetXY centre = i % 3 == 0 ? PlyvetXY{0, 0} : PlyvetXY{3.5e6, 5.8e6};
        Ring ring = bench::makeRing(bench::Shape::Zigzag, pick(random, 60, 400), random(), 0.5, -1);
        for (PlyvetXY& p : ring) p = {p.x + centre.x, p.y + centre.y};
        const auto n = static_cast<std::int32_t>(ring.size());
        const std::int32_t e = 2 * pick(random, 0, (n - 8) / 2) + 1, v = e + 2;
        const PlyvetXY p = ring[static_cast<std::size_t>(e)], q = ring[static_cast<std::size_t>(e + 1)];
        const double dx = q.x - p.x, dy = q.y - p.y, length = std::hypot(dx, dy);
        const double side = i % 5 == 4 ? -1.0 : 1.0;  // -1: into the tooth
        ring[static_cast<std::size_t>(v)] = {(p.x + q.x) / 2 - side * gap * dy / length,
                                             (p.y + q.y) / 2 + side * gap * dx / length};
        if (i % 4 >= 2) roundTo(ring, 6);
        indexed.check("near miss " + std::to_string(gap), ring, random, 2);
        alone.check("near miss " + std::to_string(gap), ring, random, 2);
    }
    std::printf("%d calls, %d findings, %d declined by the spaced answer\n", alone.calls(), alone.findings(),
                alone.declined());
    EXPECT_GT(alone.calls() - alone.declined(), alone.calls() / 6);
    EXPECT_GT(alone.declined(), alone.calls() / 4);
    EXPECT_GT(alone.findings(), 50);
    EXPECT_EQ(indexed.differences() + alone.differences(), 0);
}

// Sloped neighbours that turn back in X: wherever the slope proof lets the
// scans skip the pair, the pair test finds nothing, at every size of
// coordinate and on the way to an exact fold-back. Exact fold-backs are
// never skipped; plain turns nearly always are.
TEST(CrossingOracle, NeighboursSkippedOnlyWhereThePairTestFindsNothing) {
    using core::direction, core::makeLine, core::neighboursMayMeet, core::testEdgePair;
    const ExtendedNearestScope scope;
    Random random(31);
    const double scales[] = {1e-300, 1e-12, 1.0, 3.5e6, 1e100, 1e150, 1e300};
    const double tilts[] = {0.0, 1e-19, 1e-17, 1e-16, 3e-16, 1e-15, 1e-14, 1e-12, 1e-9, 1e-6, 1e-3, 0.3};
    int skipped = 0, turns = 0, turnsSkipped = 0, folds = 0, foldsFound = 0;
    for (int i = 0; i < 60000; ++i) {
        const double scale = scales[static_cast<std::size_t>(i) % std::size(scales)];
        const double tilt = tilts[static_cast<std::size_t>(i / 6) % std::size(tilts)];
        const PlyvetXY q{uniform(random, -1, 1) * scale, uniform(random, -1, 1) * scale};
        const double dx = uniform(random, 0.01, 1) * scale * (i % 2 ? 1 : -1);
        const double dy = uniform(random, -3, 3) * std::fabs(dx) * (i % 7 == 0 ? 1e-200 : 1.0);
        const PlyvetXY p{q.x - dx, q.y - dy};
        // Back along the line at some length, then turned by the tilt.
        const double back = uniform(random, 0.1, 2);
        PlyvetXY r{q.x - back * dx, q.y - back * dy + tilt * std::fabs(back * dx) * (i % 3 ? 1 : -1)};
        if (i % 11 == 0) r = {q.x - back * dx, uniform(random, -1, 1) * scale};  // any turn
        const Ring ring{p, q, r, {p.x, p.y - scale}};
        if (direction(p.x, q.x) != -direction(q.x, r.x) || direction(p.x, q.x) == 0) continue;
        const bool skip = !neighboursMayMeet(ring, 0);
        const auto found = testEdgePair(ring, 0, 1, makeLine(p, q), makeLine(q, r));
        if (skip) {
            ++skipped;
            EXPECT_FALSE(found.has_value()) << i << " scale " << scale << " tilt " << tilt;
        }
        // Plain turns at ordinary sizes and slopes.
        if ((i % 11 == 0 || tilt >= 1e-9) && scale >= 1e-12 && scale <= 1e100 && i % 7 != 0) {
            ++turns;
            turnsSkipped += skip;
        }
        if (tilt == 0.0 && i % 11 != 0 && makeLine(p, q).slope == makeLine(q, r).slope) {
            ++folds;
            EXPECT_FALSE(skip) << i;
            foldsFound += found.has_value();
        }
    }
    std::printf("%d skipped; turns %d of %d; exact folds %d, %d found\n", skipped, turnsSkipped, turns, folds,
                foldsFound);
    EXPECT_GT(turnsSkipped, turns * 9 / 10);
    EXPECT_GT(folds, 500);
    EXPECT_GT(foldsFound, folds / 2);
}

// The export takes the indexed search for large rings: through GISC of the
// built library, the same answers as the plain scan.
TEST(CrossingOracle, ExportAgreesWithThePlainScanOnLargeRings) {
    const DlHandle library = openBuiltLibrary();
    ASSERT_TRUE(library);
    const auto gisc = reinterpret_cast<decltype(&::GISC)>(dlsym(library.get(), "GISC"));
    ASSERT_NE(gisc, nullptr);
    for (const bench::Shape shape : bench::kAllShapes) {
        Ring ring = bench::makeRing(shape, 700, 9);
        bench::addLateCrossing(ring);
        bench::roundRing(ring, 3);
        Outcome viaExport{0, 0, 0, kUntouched};
        viaExport.code = gisc(ring.data(), static_cast<std::int32_t>(ring.size()), &viaExport.a,
                              &viaExport.b, &viaExport.point);
        const Outcome plain = run(core::findFirstMeetingPlain, ring, 0, 0);
        EXPECT_TRUE(same(plain, viaExport)) << bench::shapeName(shape) << ": " << describe(plain)
                                            << " / " << describe(viaExport);
        EXPECT_EQ(plain.code, 2) << bench::shapeName(shape);
    }
}

}  // namespace
}  // namespace plyvet::geolib::test
