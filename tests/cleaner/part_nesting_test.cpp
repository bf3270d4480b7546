// The nesting of two parts without the overlay, checked against the answer
// the validation gets from the overlay (one intersection, two differences,
// vertex containment) on planted cases and on many generated pairs: nested,
// disjoint, crossing, touching and near misses around the separation.

#include "cleaner/part_nesting.h"
#include "cleaner_fixture.h"

#include "pipeline/gis/geos_ops.h"
#include "tools/samplegen/parcels.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <string>

namespace plyvet::cleaner_test {
namespace {

using cleaner_search::Nesting;
using cleaner_search::insideRing;
using cleaner_search::nestingApart;

// What the validation concludes for the pair from the overlay; none for a
// pair whose outlines meet (common area without containment, touching,
// overlapping edges), which the shortcut must leave to it.
std::optional<Nesting> byOverlay(Ring a, Ring b) {
    if (gis::ringArea(a) < 0) std::reverse(a.begin(), a.end());
    if (gis::ringArea(b) < 0) std::reverse(b.begin(), b.end());
    const Polygon pa{{a}}, pb{{b}};
    if (gis::intersection(pa, pb)) {
        const bool bCovered = !gis::difference(pb, pa);
        const bool aCovered = !gis::difference(pa, pb);
        if (bCovered && !aCovered) return Nesting::SecondInFirst;
        if (aCovered && !bCovered) return Nesting::FirstInSecond;
        return std::nullopt;
    }
    for (const Point& p : b) {
        if (gis::containsPoint(pa, p)) return std::nullopt;
    }
    for (const Point& p : a) {
        if (gis::containsPoint(pb, p)) return std::nullopt;
    }
    return Nesting::Disjoint;
}

std::string name(const std::optional<Nesting>& n) {
    if (!n) return "none";
    switch (*n) {
    case Nesting::SecondInFirst: return "second in first";
    case Nesting::FirstInSecond: return "first in second";
    case Nesting::Disjoint: return "disjoint";
    }
    return "?";
}

Ring shifted(Ring r, double dx, double dy) {
    for (Point& p : r) p = {p.x + dx, p.y + dy};
    return r;
}

Ring star(Point c, double r, int n, double wobble, double start, std::mt19937_64& random) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Ring ring;
    for (int k = 0; k < n; ++k) {
        const double angle = start + 2.0 * std::numbers::pi * k / n;
        const double radius = r * (1.0 - wobble * unit(random));
        ring.push_back({c.x + radius * std::cos(angle), c.y + radius * std::sin(angle)});
    }
    return ring;
}

TEST(PartNesting, PlantedPairs) {
    constexpr double X = 3500000.0, Y = 5800000.0;
    const Ring outer = box(X, Y, X + 10, Y + 10);
    // An L: the square's upper right quarter cut away.
    const Ring ell{{X, Y}, {X, Y + 10}, {X + 5, Y + 10}, {X + 5, Y + 5}, {X + 10, Y + 5}, {X + 10, Y}};
    // Two lobes that touch at (X + 5, Y + 5).
    const Ring lobes{{X, Y}, {X, Y + 5}, {X + 5, Y + 5}, {X + 5, Y + 10}, {X + 10, Y + 10}, {X + 10, Y + 5},
                     {X + 5, Y + 5}, {X + 5, Y}};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        Ring first, second;
        std::optional<Nesting> expected;
    };
    const Case cases[] = {
        {"hole well inside", outer, box(X + 2, Y + 2, X + 8, Y + 8), Nesting::SecondInFirst},
        {"outer second", box(X + 2, Y + 2, X + 8, Y + 8), outer, Nesting::FirstInSecond},
        {"orientation does not matter", reversed(outer), box(X + 2, Y + 2, X + 8, Y + 8), Nesting::SecondInFirst},
        {"in the notch of an L", ell, box(X + 6, Y + 6, X + 9, Y + 9), Nesting::Disjoint},
        {"a millimetre from the outline", outer, box(X + 0.001, Y + 2, X + 8, Y + 8), Nesting::SecondInFirst},
        {"a tenth of a micrometre from it", outer, box(X + 1e-7, Y + 2, X + 8, Y + 8), std::nullopt},
        {"touching at a vertex", outer, Ring{{X, Y + 5}, {X + 5, Y + 8}, {X + 8, Y + 5}, {X + 5, Y + 2}}, std::nullopt},
        {"sharing part of an edge", outer, box(X, Y + 2, X + 5, Y + 8), std::nullopt},
        {"crossing", outer, box(X + 5, Y + 5, X + 15, Y + 15), std::nullopt},
        {"identical", outer, outer, std::nullopt},
        {"first ring touches itself", lobes, box(X + 1, Y + 1, X + 4, Y + 4), std::nullopt},
        {"triangle", outer, Ring{{X + 2, Y + 2}, {X + 5, Y + 8}, {X + 8, Y + 2}}, std::nullopt},
        {"repeated vertex", outer, Ring{{X + 2, Y + 2}, {X + 2, Y + 8}, {X + 2, Y + 8}, {X + 8, Y + 8}, {X + 8, Y + 2}},
         std::nullopt},
        {"not finite", outer, Ring{{X + 2, Y + 2}, {X + 2, nan}, {X + 8, Y + 8}, {X + 8, Y + 2}}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(name(nestingApart(c.first, c.second)), name(c.expected)) << c.name;
        if (c.expected) {
            EXPECT_EQ(name(byOverlay(c.first, c.second)), name(c.expected)) << c.name << " (overlay)";
        }
    }
}

// Every answer the shortcut gives is the overlay's; and it answers often
// enough, in each of its three ways, that the comparison means something.
TEST(PartNesting, AgreesWithTheOverlayOnGeneratedPairs) {
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    samplegen::ParcelOptions options;
    int answered[3] = {0, 0, 0};
    int total = 0;
    for (int i = 0; i < 1500; ++i) {
        const samplegen::Parcel parcel = samplegen::parcel(i, options);
        const Ring& outer = parcel.shape.parts.front();
        Point centre{0, 0};
        const auto count = static_cast<double>(outer.size());
        for (const Point& p : outer) centre = {centre.x + p.x / count, centre.y + p.y / count};
        // The outline's radius lies between 0.7 r and 1.19 r, r = 33 m.
        const double kind = unit(random);
        Ring second;
        if (kind < 0.3) {
            second = star(centre, 33 * unit(random) * 0.7, 8 + i % 40, 0.3, unit(random), random);  // a hole
        } else if (kind < 0.5) {
            second = star(centre, 33 * (1.2 + unit(random)), 8 + i % 40, 0.1, unit(random), random);  // around it
        } else if (kind < 0.7) {
            // Somewhere near the outline: crossing, touching at random, or beside it.
            const double angle = 2 * std::numbers::pi * unit(random);
            const double d = 33 * (0.5 + unit(random));
            second = star({centre.x + d * std::cos(angle), centre.y + d * std::sin(angle)}, 33 * 0.4 * unit(random) + 1,
                          8 + i % 20, 0.2, unit(random), random);
        } else if (kind < 0.85) {
            // A vertex of the outline moved in by a near miss around the
            // separation the shortcut needs (some hundred micrometres at most).
            const std::size_t k = i % outer.size();
            second = outer;
            const double towards = std::pow(10.0, -9 + 6 * unit(random));
            for (Point& p : second) p = {centre.x + (p.x - centre.x) * 0.5, centre.y + (p.y - centre.y) * 0.5};
            second[0] = {outer[k].x + (centre.x - outer[k].x) * towards, outer[k].y + (centre.y - outer[k].y) * towards};
            std::swap(second[0], second[k % second.size()]);
        } else {
            // A copy, shifted by a little.
            const double d = std::pow(10.0, -8 + 9 * unit(random));
            second = shifted(outer, d, unit(random) < 0.5 ? 0 : d);
        }
        const bool swap = i % 2 == 1;
        const Ring& a = swap ? second : outer;
        const Ring& b = swap ? outer : second;
        const auto quick = nestingApart(a, b);
        ++total;
        if (!quick) continue;
        ++answered[static_cast<int>(*quick)];
        ASSERT_EQ(name(quick), name(byOverlay(a, b))) << "pair " << i;
    }
    EXPECT_GT(answered[static_cast<int>(Nesting::SecondInFirst)], total / 10);
    EXPECT_GT(answered[static_cast<int>(Nesting::FirstInSecond)], total / 10);
    EXPECT_GT(answered[static_cast<int>(Nesting::Disjoint)], total / 40);
}

TEST(PartNesting, InsideRingAgreesWithTheOverlay) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int inside = 0, outside = 0;
    for (int i = 0; i < 300; ++i) {
        const Ring ring = star({3500000.0, 5800000.0}, 50, 5 + i % 60, 0.8, unit(random), random);
        const Polygon polygon{{ring}};
        for (int k = 0; k < 20; ++k) {
            const Point p{3500000.0 + 120 * (unit(random) - 0.5), 5800000.0 + 120 * (unit(random) - 0.5)};
            const auto quick = insideRing(ring, p);
            ASSERT_TRUE(quick.has_value());  // random points are never that close to an edge
            ASSERT_EQ(*quick, gis::containsPoint(polygon, p)) << i << " " << k;
            (*quick ? inside : outside)++;
        }
        // Near the middle of an edge it says only what the overlay says.
        const Point middle{(ring[0].x + ring[1].x) / 2, (ring[0].y + ring[1].y) / 2};
        const auto onEdge = insideRing(ring, middle);
        if (onEdge) {
            EXPECT_EQ(*onEdge, gis::containsPoint(polygon, middle));
        }
    }
    EXPECT_GT(inside, 1000);
    EXPECT_GT(outside, 1000);
    // On an edge that crosses its horizontal it will not say.
    EXPECT_FALSE(insideRing(box(0, 0, 10, 10), {0, 5}).has_value());
}

}  // namespace
}  // namespace plyvet::cleaner_test
