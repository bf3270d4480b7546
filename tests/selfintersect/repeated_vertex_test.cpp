// The second pass at a vertex that a ring passes more than once: the ring is
// cut there into loops, and the loops that are not slivers replace it.

#include "cleaner_fixture.h"

#include "selfintersect/repeated_vertex.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace plyvet::selfintersect::test {
namespace {

class RepeatedVertex : public CleanerTest {};

const gis::Point V{5, 5};
// Two clockwise lobes of area 25 touching at V: A B above, C D below.
const gis::Point A{0, 10}, B{10, 10}, C{10, 0}, D{0, 0};
// A clockwise lobe of area 14 to the right of V.
const gis::Point E{12, 7}, F{12, 3};

std::vector<std::string> repeatedAt(int part, const char* coordinates) {
    return {partLine(part, "nicht direkt aufeinanderfolgende identische Stützpunkte"),
            partLine(part, std::string("Punktkoordinaten X: ") + coordinates)};
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct SplitCase {
    const char* name;
    gis::Ring ring;
    std::vector<gis::Ring> parts;  // expected, in order
    std::vector<std::string> lines;
};

TEST_F(RepeatedVertex, RingIsCutIntoItsLoops) {
    const SplitCase cases[] = {
        {"FigureEightStartingAtV", {V, A, B, V, C, D}, {{V, C, D}, {V, A, B}},
         concat(repeatedAt(0, "5, Y: 5"),
                {candidate(0, 25), kept(0, 25), candidate(0, 25), kept(0, 25), returned(50)})},
        // The ring is walked from V: nothing before the first visit is lost.
        {"FigureEightStartingElsewhere", {A, B, V, C, D, V}, {{V, A, B}, {V, C, D}},
         concat(repeatedAt(0, "5, Y: 5"),
                {candidate(0, 25), kept(0, 25), candidate(0, 25), kept(0, 25), returned(50)})},
        // Three loops: each return to V closes one.
        {"ThreeLoops", {V, A, B, V, C, D, V, E, F}, {{V, C, D}, {V, A, B}, {V, E, F}},
         concat(repeatedAt(0, "5, Y: 5"),
                {candidate(0, 25), kept(0, 25), candidate(0, 25), kept(0, 25), candidate(0, 14),
                 kept(0, 14), returned(64)})},
        // A loop that encloses nothing (out to C and back) vanishes silently.
        {"SpikeLoop", {V, C, V, A, B}, {{V, A, B}},
         concat(repeatedAt(0, "5, Y: 5"), {candidate(0, 25), kept(0, 25), returned(25)})},
        // The last vertex repeats the first: the loop is the ring itself, and
        // V alone is left over as a sub-area of no area.
        {"ClosingPointRepeated", {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0.0004}},
         {{{0, 0}, {0, 10}, {10, 10}, {10, 0}}},
         concat(repeatedAt(0, "0, Y: 0"),
                {candidate(0, 0), dropped(0, 0), candidate(0, 100), kept(0, 100), returned(100)})},
        // A counter-clockwise figure eight keeps its orientation in both loops.
        {"CounterClockwise", {V, D, C, V, B, A}, {{V, B, A}, {V, D, C}},
         concat(repeatedAt(0, "5, Y: 5"),
                {candidate(0, -25), kept(0, -25), candidate(0, -25), kept(0, -25), returned(-50)})},
    };
    for (const SplitCase& c : cases) {
        const Outcome out = run(polygon({c.ring}));
        EXPECT_EQ(out.polygon.parts, c.parts) << c.name;
        EXPECT_EQ(out.lines, c.lines) << c.name;
    }
}

// Only the first repeated vertex of a part is cut per call; parts without one
// stay as they are, even when they cross themselves.
TEST_F(RepeatedVertex, OneVertexPerPartAndCall) {
    const gis::Ring bowTie = {{20, 0}, {30, 10}, {30, 0}, {20, 10}};
    // Two repeated vertices, V and W: the ring's upper loop passes W twice
    // around the clockwise loop W G H.
    const gis::Point W{5, 20}, G{0, 25}, H{10, 25};
    const gis::Ring twice = {V, C, D, V, {10, 10}, W, G, H, W, {0, 10}};

    Outcome out = run(polygon({bowTie, twice}));
    EXPECT_EQ(out.polygon.parts,
              (std::vector<gis::Ring>{bowTie, {V, {10, 10}, W, G, H, W, {0, 10}}, {V, C, D}}));
    EXPECT_EQ(out.lines, concat(repeatedAt(1, "5, Y: 5"), {candidate(1, -50), kept(1, -50), candidate(1, 25),
                                                           kept(1, 25), returned(-25)}));

    // The next call cuts the second vertex.
    out = runAgain();
    EXPECT_EQ(out.polygon.parts,
              (std::vector<gis::Ring>{bowTie, {W, {0, 10}, V, {10, 10}}, {W, G, H}, {V, C, D}}));
    ASSERT_EQ(out.lines.size(), 7u);
    EXPECT_EQ(out.lines[1], partLine(1, "Punktkoordinaten X: 5, Y: 20"));
    EXPECT_GT(gis::ringArea(out.polygon.parts[2]), 0.0);
}

// Sliver tolerance on loops of area 1 and 25: 0 keeps every loop with area,
// a loop of exactly the tolerance is dropped, and a polygon whose loops are
// all slivers has no part left.
TEST_F(RepeatedVertex, SliverLoopsAreDroppedWithTheirLines) {
    const gis::Ring ring = {V, A, B, V, {6, 4}, {4, 4}};
    const gis::Ring small = {V, {6, 4}, {4, 4}};
    const gis::Ring large = {V, A, B};
    struct Case {
        double tolerance;
        std::vector<gis::Ring> parts;
        std::vector<std::string> sieve;
    };
    const Case cases[] = {
        {0, {small, large}, {candidate(0, 1), kept(0, 1), candidate(0, 25), kept(0, 25), returned(26)}},
        {1, {large}, {candidate(0, 1), dropped(0, 1), candidate(0, 25), kept(0, 25), returned(25)}},
        {25, {}, {candidate(0, 1), dropped(0, 1), candidate(0, 25), dropped(0, 25), returned(0)}},
    };
    for (const Case& c : cases) {
        cleaner().SplitterAreaTolerance = c.tolerance;
        const Outcome out = run(polygon({ring}));
        EXPECT_EQ(out.polygon.parts, c.parts) << c.tolerance;
        EXPECT_EQ(out.lines, concat(repeatedAt(0, "5, Y: 5"), c.sieve)) << c.tolerance;
    }
}


// The indexed search for the vertex a ring comes back to finds what the
// plain loop over all later vertices finds: rings of every size with returns
// planted just inside and just outside the threshold, right after the
// successor (which does not count), across the closing pair, several at
// once, at several thresholds and decimals, near the origin and at large
// coordinates.
TEST_F(RepeatedVertex, IndexedSearchFindsWhatThePlainLoopFinds) {
    std::mt19937 random(31);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int found = 0, none = 0;
    for (int k = 0; k < 3000; ++k) {
        const Tolerances tolerances{static_cast<std::int16_t>(k % 7), k % 5 == 0 ? 0.0 : 0.001 * (1 + k % 4 * 20),
                                    0.01};
        const Measure measure(tolerances);
        const double threshold = tolerances.identicalPointThreshold;
        const std::size_t n = 3 + static_cast<std::size_t>(k % 11 == 0 ? 2000 : k % 60);
        const gis::Point origin = k % 2 == 0 ? gis::Point{0, 0} : gis::Point{3500000.0, 5800000.0};
        gis::Ring ring;
        for (std::size_t v = 0; v < n; ++v) {
            // A wobbly circle whose vertices are further apart than any threshold.
            const double angle = 2 * std::numbers::pi * (static_cast<double>(v) + 0.4 * unit(random)) /
                                 static_cast<double>(n);
            const double radius = 10.0 * static_cast<double>(n) * (1 + 0.05 * unit(random));
            ring.push_back({origin.x + radius * std::cos(angle), origin.y + radius * std::sin(angle)});
        }
        const int plants = k % 4;
        for (int p = 0; p < plants; ++p) {
            const std::size_t a = static_cast<std::size_t>(unit(random) * static_cast<double>(n - 1));
            // Right after the successor, across the closing pair, or anywhere later.
            const std::size_t b = p == 0 ? std::min(a + 1, n - 1) : p == 1 ? n - 1 : a + (n - a) / 2;
            const double share = std::vector<double>{0.0, 0.5, 0.999, 1.0, 1.001, 2.0}[random() % 6];
            const double off = share * threshold;
            ring[b] = {ring[a].x + off * 0.6, ring[a].y - off * 0.8};
        }
        const auto plain = firstComingBackPlain(ring, measure);
        EXPECT_EQ(firstComingBack(ring, measure), plain) << "ring " << k;
        (plain ? found : none) += 1;
    }
    EXPECT_GT(found, 300);
    EXPECT_GT(none, 300);
}

}  // namespace
}  // namespace plyvet::selfintersect::test
