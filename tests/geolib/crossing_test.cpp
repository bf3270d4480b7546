// The crossing search, through the binding on the built library. Each case is
// one ring, one resume position and one expected outcome. Rings are held in
// vectors of exactly n points, so the sanitizer build catches any read past
// the caller's array.

#include "library_fixture.h"

#include <ostream>
#include <vector>

namespace plyvet::geolib::test {
namespace {

// What the caller's point holds before the call: a result 0 must leave it.
constexpr PlyvetXY kUntouched{-777.0, -777.0};

struct CrossingCase {
    const char* name;
    std::vector<PlyvetXY> ring;
    std::int32_t startA, startB;  // resume position, (0, 0) for a full scan
    std::int32_t code;
    std::int32_t a, b;
    PlyvetXY point;
};

std::ostream& operator<<(std::ostream& out, const CrossingCase& c) { return out << c.name; }

const std::vector<PlyvetXY> kBowTie = {{0, 0}, {10, 10}, {10, 0}, {0, 10}};
// Edge 1 runs up x = 10 to (10,10), edge 2 back down to (10,4); vertex 3 lies on edge 1.
const std::vector<PlyvetXY> kVerticalSpike = {{0, 0}, {10, 0}, {10, 10}, {10, 4}, {0, 10}};
// Vertex 4 (5,0) lies inside edge 0; edge 3 ends there, edge 4 starts there.
const std::vector<PlyvetXY> kVertexOnEdge = {{0, 0}, {10, 0}, {10, 10}, {4, 6}, {5, 0}, {1, 6}};

const std::vector<CrossingCase> kCases = {
    {"Square", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, 0, 0, 0, 0, 0, kUntouched},
    {"BowTie", kBowTie, 0, 0, 2, 0, 2, {5, 5}},
    // Edges 0 and 1 fold back on each other, yet the repeated vertex comes first.
    {"RepeatedVertexBeforeAnyCrossing",
     {{0, 0}, {10, 10}, {5, 5}, {10, 0}, {12, -2}, {8, -3}, {5, 5}, {0, -5}}, 0, 0, 2, 1, 5, {5, 5}},
    {"FirstVertexRecurs", {{0, 0}, {10, 0}, {10, 10}, {0, 0}, {-10, 10}, {-10, 0}}, 0, 0, 2, 5, 2,
     {0, 0}},
    {"SpikeOnASlopedLine", {{0, 0}, {10, 0}, {10, 10}, {16, 16}, {13, 13}, {0, 10}}, 0, 0, 3, 2, 3,
     {14.5, 14.5}},
    {"SpikeRunningBackPastItsStart", {{2, 2}, {6, 6}, {0, 0}, {4, -3}}, 0, 0, 3, 0, 1, {4, 4}},
    {"ContinuingCollinearEdges", {{0, 0}, {5, 0}, {10, 0}, {10, 10}, {0, 10}}, 0, 0, 0, 0, 0,
     kUntouched},
    {"ContinuingVerticalEdges", {{0, 0}, {10, 0}, {10, 5}, {10, 10}, {0, 10}}, 0, 0, 0, 0, 0,
     kUntouched},
    {"ClosingEdgeContinuesTheFirst", {{0, 4}, {0, 10}, {5, 5}, {0, 0}}, 0, 0, 0, 0, 0, kUntouched},
    // Vertical overlaps report the middle of the common stretch.
    {"VerticalSpikeUpwards", kVerticalSpike, 0, 0, 3, 1, 2, {10, 7}},
    {"VerticalSpikeDownwards", {{0, 10}, {0, 0}, {0, 6}, {8, 5}}, 0, 0, 3, 0, 1, {0, 3}},
    {"ClosingEdgeRunsBackOverTheFirst", {{0, 0}, {0, 3}, {0, 5}, {5, 8}, {0, 10}}, 0, 0, 3, 0, 4,
     {0, 1.5}},
    {"VerticalEdgeCrossesALaterSlopedEdge", {{4, -2}, {4, 8}, {0, 8}, {8, 2}, {8, -2}}, 0, 0, 2, 0,
     2, {4, 5}},
    {"SlopedEdgeCrossesALaterVerticalEdge", {{0, 8}, {8, 2}, {8, -2}, {4, -2}, {4, 8}}, 0, 0, 2, 0,
     3, {4, 5}},
    {"EdgeEndsOnAnotherEdge", kVertexOnEdge, 0, 0, 2, 0, 3, {5, 0}},
    {"TwoPointRingFoldsOnItself", {{0, 0}, {10, 0}}, 0, 0, 3, 0, 1, {5, 0}},
    {"SinglePoint", {{3, 4}}, 0, 0, 0, 0, 0, kUntouched},
    // Resumed scans: the first row starts at the given b, later rows at a + 1.
    {"ResumeAtEdgeStartingOnAnotherEdge", kVertexOnEdge, 0, 4, 2, 0, 4, {5, 0}},
    {"ResumeAfterOverlapFindsTheTouching", kVerticalSpike, 1, 3, 2, 1, 3, {10, 4}},
    {"ResumeRestartsLaterRowsAtTheSuccessor", kVerticalSpike, 0, 4, 3, 1, 2, {10, 7}},
    {"ResumeAfterTheLastEdge", kBowTie, 0, 4, 0, 0, 0, kUntouched},
    {"ResumeWithNothingLeft", kBowTie, 3, 4, 0, 0, 0, kUntouched},
    {"ResumeAtTheClosingPair", {{0, 0}, {0, 10}, {0, 4}}, 0, 2, 3, 0, 2, {0, 2}},
};

class CrossingSearch : public HelperLibrary, public ::testing::WithParamInterface<CrossingCase> {};

TEST_P(CrossingSearch, FindsTheFirstMeeting) {
    const CrossingCase& c = GetParam();
    std::int32_t a = c.startA;
    std::int32_t b = c.startB;
    PlyvetXY point = kUntouched;
    const auto n = static_cast<std::int32_t>(c.ring.size());
    EXPECT_EQ(gisc(c.ring.data(), n, a, b, point), c.code);
    EXPECT_EQ(a, c.a);
    EXPECT_EQ(b, c.b);
    EXPECT_EQ(point.x, c.point.x);
    EXPECT_EQ(point.y, c.point.y);
}

INSTANTIATE_TEST_SUITE_P(Rings, CrossingSearch, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

// Only the first n points belong to the ring.
TEST_F(HelperLibrary, CrossingSearchReadsOnlyTheFirstNPoints) {
    std::int32_t a = 0, b = 0;
    PlyvetXY point = kUntouched;
    EXPECT_EQ(gisc(kBowTie.data(), 3, a, b, point), 0);  // the triangle (0,0), (10,10), (10,0)
}

// Arguments the search cannot work with give -1 and leave every output alone.
TEST_F(HelperLibrary, CrossingSearchRejectsInvalidArguments) {
    const DlHandle library = openBuiltLibrary();
    ASSERT_TRUE(library);
    const auto search = reinterpret_cast<decltype(&::GISC)>(dlsym(library.get(), "GISC"));
    ASSERT_NE(search, nullptr);

    struct Invalid {
        const char* what;
        bool nullRing, nullA, nullB, nullPoint;
        std::int32_t n, a, b;
    };
    const std::vector<Invalid> cases = {
        {"null ring", true, false, false, false, 4, 0, 0},
        {"null a", false, true, false, false, 4, 0, 0},
        {"null b", false, false, true, false, 4, 0, 0},
        {"null point", false, false, false, true, 4, 0, 0},
        {"negative count", false, false, false, false, -1, 0, 0},
        {"negative a", false, false, false, false, 4, -1, 2},
        {"negative b", false, false, false, false, 4, 0, -1},
        {"b equal to a", false, false, false, false, 4, 2, 2},
        {"b before a", false, false, false, false, 4, 3, 1},
        {"a without b", false, false, false, false, 4, 1, 0},
        {"b past the end", false, false, false, false, 4, 0, 5},
        {"a past the end", false, false, false, false, 4, 7, 8},
    };
    for (const auto& c : cases) {
        std::int32_t a = c.a, b = c.b;
        PlyvetXY point = kUntouched;
        EXPECT_EQ(search(c.nullRing ? nullptr : kBowTie.data(), c.n, c.nullA ? nullptr : &a,
                         c.nullB ? nullptr : &b, c.nullPoint ? nullptr : &point),
                  -1)
            << c.what;
        EXPECT_EQ(a, c.a) << c.what;
        EXPECT_EQ(b, c.b) << c.what;
        EXPECT_EQ(point.x, kUntouched.x) << c.what;
    }

    // No points at all is no finding, not a failure.
    std::int32_t a = 0, b = 0;
    PlyvetXY point = kUntouched;
    EXPECT_EQ(search(kBowTie.data(), 0, &a, &b, &point), 0);
}

}  // namespace
}  // namespace plyvet::geolib::test
