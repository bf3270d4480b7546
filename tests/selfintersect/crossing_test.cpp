// Rings without repeated vertices: cut at the first edge crossing the
// helper library's search finds, or relieved of one vertex at a collinear
// overlap. One spot per part and call.

#include "cleaner_fixture.h"

#include "pipeline/gis/runtime_error.h"

namespace plyvet::selfintersect::test {
namespace {

class Crossing : public CleanerTest {};

const std::string kOverlapLine =
    kPrefix + " ( Polygon-Part 0: linienhafte Selbstüberlagerung innerhalb eines Parts)";

struct CutCase {
    const char* name;
    gis::Ring ring;
    double tolerance;
    std::vector<gis::Ring> parts;
    std::vector<std::string> lines;
};

TEST_F(Crossing, RingIsCutAtItsFirstCrossing) {
    const CutCase cases[] = {
        // Edges 0 and 2 cross at (5,5): a counter-clockwise and a clockwise half.
        {"BowTie", {{0, 0}, {10, 10}, {10, 0}, {0, 10}}, 0.01,
         {{{0, 0}, {5, 5}, {0, 10}}, {{5, 5}, {10, 10}, {10, 0}}},
         {candidate(0, -25), kept(0, -25), candidate(0, 25), kept(0, 25), returned(0)}},
        // Vertex 3 touches edge 0 at (5,0): it is not repeated beside the cut point.
        {"VertexOnALaterEdge", {{0, 0}, {10, 0}, {10, 10}, {5, 0}, {0, 10}}, 0.01,
         {{{0, 0}, {5, 0}, {0, 10}}, {{5, 0}, {10, 0}, {10, 10}}},
         {candidate(0, -25), kept(0, -25), candidate(0, -25), kept(0, -25), returned(-50)}},
        // Vertex 0 lies on edge 2: the first sub-area starts at the cut point.
        {"FirstVertexOnAnEdge", {{5, 0}, {10, 10}, {10, 0}, {0, 0}, {0, 10}}, 0.01,
         {{{5, 0}, {0, 0}, {0, 10}}, {{5, 0}, {10, 10}, {10, 0}}},
         {candidate(0, 25), kept(0, 25), candidate(0, 25), kept(0, 25), returned(50)}},
        // A spike out along y = 0 beyond the corner (10,0), whose way back
        // touches that corner: the spike is a loop of area 0 and goes without
        // a line.
        {"ZeroAreaLoopGoesSilently", {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {14, 0}, {12, 0}}, 0.01,
         {{{0, 0}, {0, 10}, {10, 10}, {10, 0}}},
         {candidate(0, 100), kept(0, 100), returned(100)}},
        // The small loop has area exactly 1.
        {"SliverDropped", {{-100, -100}, {1, 1}, {1, -1}, {-100, 100}}, 1,
         {{{-100, -100}, {0, 0}, {-100, 100}}},
         {candidate(0, -10000), kept(0, -10000), candidate(0, 1), dropped(0, 1), returned(-10000)}},
        {"SliverKeptBelowItsArea", {{-100, -100}, {1, 1}, {1, -1}, {-100, 100}}, 0.99,
         {{{-100, -100}, {0, 0}, {-100, 100}}, {{0, 0}, {1, 1}, {1, -1}}},
         {candidate(0, -10000), kept(0, -10000), candidate(0, 1), kept(0, 1), returned(-9999)}},
        {"EverySubAreaASliver", {{-100, -100}, {1, 1}, {1, -1}, {-100, 100}}, 10000,
         {},
         {candidate(0, -10000), dropped(0, -10000), candidate(0, 1), dropped(0, 1), returned(0)}},
    };
    for (const CutCase& c : cases) {
        cleaner().SplitterAreaTolerance = c.tolerance;
        const Outcome out = run(polygon({c.ring}));
        EXPECT_EQ(out.polygon.parts, c.parts) << c.name;
        EXPECT_EQ(out.lines, c.lines) << c.name;
    }
}

// Edges 0 and 2 cross at (70/17, 70/17); the cut point is rounded to the
// granularity, in both sub-areas.
TEST_F(Crossing, CutPointIsRounded) {
    const Outcome out = run(polygon({{{0, 0}, {10, 10}, {10, 0}, {0, 7}}}));
    const gis::Ring first = {{0, 0}, {4.118, 4.118}, {0, 7}};
    const gis::Ring loop = {{4.118, 4.118}, {10, 10}, {10, 0}};
    EXPECT_EQ(out.polygon.parts, (std::vector<gis::Ring>{first, loop}));
    const double a0 = gis::ringArea(first), a1 = gis::ringArea(loop);
    EXPECT_EQ(out.lines, (std::vector<std::string>{candidate(0, a0), kept(0, a0), candidate(0, a1),
                                                   kept(0, a1), returned(a0 + a1)}));
}

// Vertex 3 lies 0.004 below edge 0, which edge 2 crosses at (5.002, 0):
// within a threshold of 0.01 the vertex is the cut point and is not kept
// beside it.
TEST_F(Crossing, VertexWithinTheThresholdOfTheCutPointIsLeftOut) {
    cleaner().setIdenticalPointThresholdSize(0.01);
    const Outcome out = run(polygon({{{0, 0}, {10, 0}, {10, 10}, {5, -0.004}, {0, 10}}}));
    EXPECT_EQ(out.polygon.parts, (std::vector<gis::Ring>{{{0, 0}, {5.002, 0}, {0, 10}},
                                                         {{5.002, 0}, {10, 0}, {10, 10}}}));
    EXPECT_LT(gis::ringArea(out.polygon.parts[0]), 0.0);
    EXPECT_LT(gis::ringArea(out.polygon.parts[1]), 0.0);
}

// A ring that crosses itself twice: one cut per call, until nothing is left
// to cut; each step logged.
TEST_F(Crossing, SeveralCrossingsOneCutPerCall) {
    const gis::Ring ring = {{0, 0}, {10, 10}, {20, 0}, {20, 10}, {10, 0}, {0, 10}};
    const gis::Ring left = {{0, 0}, {5, 5}, {0, 10}};
    const gis::Ring middle = {{5, 5}, {10, 10}, {15, 5}, {10, 0}};
    const gis::Ring right = {{15, 5}, {20, 0}, {20, 10}};
    const gis::Ring rest = {{5, 5}, {10, 10}, {20, 0}, {20, 10}, {10, 0}};
    const std::vector<Outcome> expected = {
        {{candidate(0, -25), kept(0, -25), candidate(0, 25), kept(0, 25), returned(0)},
         polygon({left, rest})},
        {{candidate(1, 50), kept(1, 50), candidate(1, -25), kept(1, -25), returned(0)},
         polygon({left, middle, right})},
        {{returned(0)}, polygon({left, middle, right})},
    };

    cleaner().setPolygon(polygon({ring}));
    std::vector<Outcome> steps;
    for (int call = 0; call < 10; ++call) {
        const gis::Polygon before = cleaner().polygon();
        steps.push_back(runAgain());
        if (steps.back().polygon == before) break;
    }
    ASSERT_EQ(steps.size(), expected.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].lines, expected[i].lines) << "call " << i;
        EXPECT_EQ(steps[i].polygon, expected[i].polygon) << "call " << i;
    }
    EXPECT_LT(gis::ringArea(left), 0.0);
    EXPECT_GT(gis::ringArea(middle), 0.0);
    EXPECT_LT(gis::ringArea(right), 0.0);
}

// Each part is repaired on its own: a hole that crosses itself where it
// crosses its shell's boundary is cut, the shell stays; every part of the
// polygon gets its search in the same call.
TEST_F(Crossing, HoleCrossingItsShell) {
    const gis::Ring shell = {{0, 0}, {0, 10}, {10, 10}, {10, 0}};
    const gis::Ring hole = {{8, 4}, {12, 6}, {12, 4}, {8, 6}};  // crosses itself at (10,5) on the shell
    const Outcome out = run(polygon({shell, hole}));
    EXPECT_EQ(out.polygon.parts,
              (std::vector<gis::Ring>{shell, {{8, 4}, {10, 5}, {8, 6}}, {{10, 5}, {12, 6}, {12, 4}}}));
    EXPECT_GT(gis::ringArea(out.polygon.parts[0]), 0.0);
    EXPECT_LT(gis::ringArea(out.polygon.parts[1]), 0.0);
    EXPECT_GT(gis::ringArea(out.polygon.parts[2]), 0.0);
    EXPECT_EQ(out.lines, (std::vector<std::string>{candidate(1, -2), kept(1, -2), candidate(1, 2),
                                                   kept(1, 2), returned(100)}));
}

// The search reports a vertex that recurs exactly once rounded, although it
// is not within the threshold (0 here). Its first occurrence is vertex 0, so
// the search names the edge back to vertex 0 first; the cut is the same as
// with the edges in ring order, and the vertex is not doubled beside the cut.
TEST_F(Crossing, FirstVertexRecursForTheSearchOnly) {
    cleaner().setIdenticalPointThresholdSize(0);
    const Outcome out = run(polygon({{{0, 0}, {10, 0}, {10, 10}, {0, 0}, {-10, 10}, {-10, 0}}}));
    EXPECT_EQ(out.polygon.parts, (std::vector<gis::Ring>{{{10, 0}, {10, 10}, {0, 0}},
                                                         {{0, 0}, {-10, 10}, {-10, 0}}}));
    EXPECT_EQ(out.lines, (std::vector<std::string>{candidate(0, -50), kept(0, -50), candidate(0, -50),
                                                   kept(0, -50), returned(-100)}));
}

// ---------------------------------------------------------------------------
// Collinear overlaps.

// A spike down x = 10 to (10,-5) and back up to (10,-2): the tip, the end of
// the common stretch along the first edge, is removed.
TEST_F(Crossing, SpikeLosesItsTip) {
    const Outcome out = run(polygon({{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {10, -5}, {10, -2}}}));
    EXPECT_EQ(out.polygon, polygon({{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {10, -2}}}));
    EXPECT_EQ(out.lines, (std::vector<std::string>{partLine(0, "6 Stützpunkt(e)"), kOverlapLine,
                                                   partLine(0, "Geraden-Mittelpunkt X 10, Y -5"),
                                                   returned(110)}));
    // Nothing left to do on the next call.
    const Outcome next = runAgain();
    EXPECT_EQ(next.polygon, out.polygon);
    EXPECT_EQ(next.lines, std::vector<std::string>{returned(110)});
}

// On the rounded ring edges 3 and 4 fold back on each other; unrounded they
// only touch in vertex 4: nothing is changed.
TEST_F(Crossing, OverlapThatIsOnlyAPointLeavesTheRing) {
    const gis::Ring ring = {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {10.0004, -5}, {9.9996, -2}};
    const Outcome out = run(polygon({ring}));
    EXPECT_EQ(out.polygon, polygon({ring}));
    EXPECT_EQ(out.lines, std::vector<std::string>{returned(gis::ringArea(ring))});
}

// Edges 0 and 4 lie on y = 0 once rounded but are parallel and apart
// unrounded: the search goes on after them and finds edge 5 crossing edge 0
// at (5,0).
TEST_F(Crossing, OverlapWithNothingInCommonResumesTheSearch) {
    const gis::Ring ring = {{0, 0},  {10, 0},         {10, 10}, {12, 10},
                            {12, 0.0003}, {5, 0.0003}, {5, -5},   {0, -5}};
    const Outcome out = run(polygon({ring}));
    const gis::Ring first = {{0, 0}, {5, 0}, {5, -5}, {0, -5}};
    const gis::Ring loop = {{5, 0}, {10, 0}, {10, 10}, {12, 10}, {12, 0.0003}};
    EXPECT_EQ(out.polygon.parts, (std::vector<gis::Ring>{first, loop}));
    const double loopArea = gis::ringArea(loop);
    EXPECT_EQ(out.lines, (std::vector<std::string>{candidate(0, 25), kept(0, 25), candidate(0, loopArea),
                                                   kept(0, loopArea), returned(25 + loopArea)}));
}

}  // namespace
}  // namespace plyvet::selfintersect::test
