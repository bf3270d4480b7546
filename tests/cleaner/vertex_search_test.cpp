// The filtered first-match searches against their plain loops, on rings
// whose vertices crowd around the threshold at several granularities.

#include "cleaner/vertex_search.h"
#include "cleaner_fixture.h"

#include "geolib/binding.h"

#include <cmath>
#include <random>

namespace plyvet::cleaner_test {
namespace {

using namespace cleaner_search;
using VertexSearch = PolygonCleanerTest;

TEST_F(VertexSearch, FilteredSearchesFindWhatThePlainLoopsFind) {
    std::mt19937 random(7);
    for (const std::int16_t granularity : {std::int16_t{0}, std::int16_t{3}}) {
        const double unit = std::pow(10.0, -granularity);
        cleaner().setGranularity(granularity);
        std::uniform_int_distribution<int> step(0, 12);
        const auto identical = [&](Point p, Point q) {
            return geolib::roud(std::hypot(p.x - q.x, p.y - q.y), granularity) < cleaner().identicalPointThresholdSize();
        };
        for (int k = 0; k < 150; ++k) {
            Ring one, other;
            for (int v = 0; v < 12; ++v) one.push_back({step(random) * 0.4 * unit, step(random) * 0.4 * unit + k});
            for (int v = 0; v < 9; ++v) other.push_back({step(random) * 0.4 * unit, step(random) * 0.4 * unit + k});
            const double margin = 2 * (0.001 + unit) + 1e-6;
            const PairTest same = [&](Index a, Index b) { return identical(one[a], one[b]); };
            const PairTest across = [&](Index a, Index b) { return identical(one[a], other[b]); };
            const PairTest touches = [&](Index s, Index t) {
                const Point &ps = one[s], &pt = one[t], &pe = one[s + 1];
                return t != s && t != s + 1 &&
                       cleaner().ThreePointsOnLineNisMiddle(ps.x, ps.y, pt.x, pt.y, pe.x, pe.y);
            };
            EXPECT_EQ(firstPair(one, margin / 2, same), firstPairPlain(one, same)) << k;
            EXPECT_EQ(countPairs(one, other, margin / 2, across), countPairsPlain(one, other, across)) << k;
            EXPECT_EQ(firstOnEdge(one, margin, touches), firstOnEdgePlain(one, touches)) << k;
        }
    }
}

}  // namespace
}  // namespace plyvet::cleaner_test
