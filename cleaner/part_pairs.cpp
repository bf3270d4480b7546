#include "cleaner/part_pairs.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace plyvet::cleaner_search {

double Bounds::magnitude() const {
    return std::max({std::fabs(minX), std::fabs(minY), std::fabs(maxX), std::fabs(maxY)});
}

Bounds boundsOf(const gis::Ring& ring) {
    Bounds b;
    b.minX = b.minY = std::numeric_limits<double>::infinity();
    b.maxX = b.maxY = -std::numeric_limits<double>::infinity();
    b.usable = !ring.empty();
    for (const gis::Point& p : ring) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            b.usable = false;
            return b;
        }
        b.minX = std::min(b.minX, p.x);
        b.minY = std::min(b.minY, p.y);
        b.maxX = std::max(b.maxX, p.x);
        b.maxY = std::max(b.maxY, p.y);
    }
    return b;
}

bool apart(const Bounds& a, const Bounds& b, double margin) {
    if (!a.usable || !b.usable) {
        return false;
    }
    return a.maxX + margin < b.minX || b.maxX + margin < a.minX || a.maxY + margin < b.minY ||
           b.maxY + margin < a.minY;
}

std::vector<std::vector<std::size_t>> meetingPairsPlain(const std::vector<Bounds>& bounds, const PairMargin& margin) {
    std::vector<std::vector<std::size_t>> pairs(bounds.size());
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        for (std::size_t j = 0; j < bounds.size(); ++j) {
            if (j != i && !apart(bounds[i], bounds[j], margin(i, j))) {
                pairs[i].push_back(j);
            }
        }
    }
    return pairs;
}

std::vector<std::vector<std::size_t>> meetingPairs(const std::vector<Bounds>& bounds, const PairMargin& margin,
                                                   double maxMargin) {
    // A few parts cost less plainly than sorted.
    constexpr std::size_t kPlainBelow = 16;
    if (bounds.size() < kPlainBelow || !std::isfinite(maxMargin)) {
        return meetingPairsPlain(bounds, margin);
    }
    std::vector<std::vector<std::size_t>> pairs(bounds.size());
    std::vector<std::size_t> unusable;
    std::vector<std::size_t> order;
    order.reserve(bounds.size());
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        (bounds[i].usable ? order : unusable).push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return bounds[a].minX < bounds[b].minX; });
    // Boxes sorted by left edge: every box that can come within maxMargin of
    // box a in x starts before a's right edge plus the margin.
    const auto test = [&](std::size_t i, std::size_t j) {
        if (!apart(bounds[i], bounds[j], margin(i, j))) {
            pairs[i].push_back(j);
        }
        if (!apart(bounds[j], bounds[i], margin(j, i))) {
            pairs[j].push_back(i);
        }
    };
    for (std::size_t k = 0; k < order.size(); ++k) {
        const Bounds& a = bounds[order[k]];
        for (std::size_t m = k + 1; m < order.size() && bounds[order[m]].minX <= a.maxX + maxMargin; ++m) {
            test(order[k], order[m]);
        }
    }
    // Unusable bounds are never apart: they pair with every other part.
    for (const std::size_t u : unusable) {
        for (std::size_t j = 0; j < bounds.size(); ++j) {
            if (j == u) continue;
            pairs[u].push_back(j);
            if (bounds[j].usable) pairs[j].push_back(u);
        }
    }
    for (auto& list : pairs) {
        std::sort(list.begin(), list.end());
    }
    return pairs;
}

}  // namespace plyvet::cleaner_search
