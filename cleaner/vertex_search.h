#pragma once
// First-match searches over the vertices of a ring, with a candidate filter.
//
// The passes ask "the first pair of coinciding vertices", "the first vertex
// lying on an edge" and "how many vertices of one part coincide with
// vertices of another". Asked plainly these cost a predicate call (several
// rounding calls into the helper library) for every pair of vertices. The
// searches here hang the vertices into a hashed grid once and hand the
// predicate only the vertices near the query (inside a box around a point,
// or within `margin` of an edge), in increasing index order, so they find
// exactly what the plain loop finds, provided that the predicate can only
// hold for vertices within `margin` of the query point in x and in y (or
// within `margin` of the edge). A query costs a few cell look-ups whatever
// the ring's shape; a ring with a coordinate that is not finite, or a margin
// that is not, falls back to the plain loop.
//
// The plain loops are kept beside them as the reference the tests compare with.

#include "pipeline/gis/geometry.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace plyvet::cleaner_search {

using Index = std::size_t;
using IndexPair = std::pair<Index, Index>;
using PairTest = std::function<bool(Index, Index)>;

// The largest absolute coordinate of the ring; infinity when one is not finite.
double magnitude(const gis::Ring& ring);

// Whether edgesApart(ring, d) holds for some d >= the search's margin, when
// the caller already knows it (it asks once for several searches); unknown
// makes the search ask itself.
using Apart = std::optional<bool>;

// The first (a, b), b != a, for which same(a, b) holds, a running first and
// b second, both ascending.
std::optional<IndexPair> firstPair(const gis::Ring& ring, double margin, const PairTest& same, Apart apart = {});
std::optional<IndexPair> firstPairPlain(const gis::Ring& ring, const PairTest& same);

// The first (s, t), s = 0 .. n - 2 and then t ascending, for which
// touches(s, t) holds; touches can only hold for a vertex t within `margin`
// of the edge from vertex s to vertex s + 1.
std::optional<IndexPair> firstOnEdge(const gis::Ring& ring, double margin, const PairTest& touches,
                                     Apart apart = {});
std::optional<IndexPair> firstOnEdgePlain(const gis::Ring& ring, const PairTest& touches);

// The number of pairs (a of one, b of other) for which same(a, b) holds;
// same can only hold for vertices within `margin` of each other in x and y.
// The grid over `one` is built once (cells for `margin`) and each other
// ring's vertices are looked up in it, so a large part met by many small ones
// costs its size once, not once per small part.
class PairCounter {
public:
    PairCounter(const gis::Ring& one, double margin);
    ~PairCounter();
    PairCounter(const PairCounter&) = delete;
    PairCounter& operator=(const PairCounter&) = delete;

    std::size_t count(const gis::Ring& other, double margin, const PairTest& same) const;

private:
    class Lookup;
    const gis::Ring& one_;
    std::unique_ptr<const Lookup> index_;  // none when `one` or the margin is not finite
};
std::size_t countPairsPlain(const gis::Ring& one, const gis::Ring& other, const PairTest& same);

}  // namespace plyvet::cleaner_search
