#pragma once
// A third way to the crossing search's answer, for rings whose edge boxes
// overlap by the thousand although the edges keep apart (thin spikes all
// around one centre): a sweep over X that keeps the edges in vertical order
// and proves almost every pair apart, so that only a few edges are left to
// the shared pair test. Internal to the library and its tests.

#include "geolib/plyvet_core.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>

namespace plyvet::geolib::core {

// The gap G of the sweep's argument (crossing_sweep.cpp): two edges that lie
// more than G apart vertically, as computed, at every X they share are never
// accepted by the pair test. Nothing when a coordinate is not finite or too
// large to square.
std::optional<double> sweepGap(std::span<const PlyvetXY> ring);

// sweepGap edge by edge, for a caller that passes over the ring anyway.
// G comes from the largest rounding bound T of any edge, bounded above: the
// slope term through a bound kept between once and twice its largest value,
// so that an edge needs a division only where it doubles that bound (a
// larger G only makes more edges look close). Subnormal values and steep
// edges over them get an absolute term.
class GapMeter {
public:
    // Edge p to q; false when a coordinate of p is not finite or too large.
    bool add(const PlyvetXY& p, const PlyvetXY& q) {
        if (!(std::fabs(p.x) <= kCoordinateLimit && std::fabs(p.y) <= kCoordinateLimit)) return false;
        largestX_ = std::max(largestX_, std::fabs(p.x));
        if (p.x == q.x) return true;
        const double dy = std::fabs(q.y - p.y), dx = std::fabs(q.x - p.x);
        const double ax = std::fabs(p.x) + std::fabs(q.x) + 0x1p-960;
        level_ = std::max(level_, dy + std::fabs(p.y) + std::fabs(q.y));
        // The products compare the slopes while they stay in the normal
        // range; below it, where they lose their precision, the quotient
        // is formed anyway.
        const double product = dy * ax;
        if (product > steep_ * dx || product < 0x1p-900) steep_ = std::max(steep_, 2 * ((dy / dx) * ax));
        return true;
    }

    std::optional<double> gap() const {
        // A slope below the subnormal range rounds to 0 in the line record:
        // an absolute error of up to 2^-1075, times |x| (added here once:
        // subnormal products per edge would cost more than the whole pass).
        const double level = level_ + 0x1p-1070 * (2 * largestX_ + 0x1p-960);
        const double gap = 0x1p-43 * (level + steep_) + 0x1p-1000;
        if (!std::isfinite(gap)) return std::nullopt;
        return gap;
    }

private:
    // Beyond this the products of two coordinates could overflow.
    static constexpr double kCoordinateLimit = 0x1p500;
    double level_ = 0.0;  // largest dy + |y1| + |y2|
    double steep_ = 0.0;  // at least the largest slope (|x1| + |x2| + 2^-960)
    double largestX_ = 0.0;
};

// The plain scan's answer (code, a, b, point), or nothing when the sweep
// gives up: a coordinate that is not finite or too large to square, or more
// edges too close to others for the sweep to vouch for (see crossing_sweep.cpp).
// a, b and point are written only when an answer is returned. Expects
// n >= 4 and a resume position that validResume accepts. Throws
// std::bad_alloc when its tables cannot be allocated.
std::optional<std::int32_t> findFirstMeetingSwept(std::span<const PlyvetXY> ring,
                                                  std::int32_t& a, std::int32_t& b,
                                                  PlyvetXY& point);

}  // namespace plyvet::geolib::core
