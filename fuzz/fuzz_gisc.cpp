// Fuzz target: the crossing search GISC through the library's C export, on
// arbitrary rings (NaN, infinities, 1e308, repeated vertices), counts and
// resume positions, with the plain quadratic scan as the oracle.
//
// Input: a mode byte, two resume bytes (or two raw 32-bit values), then the
// ring's points (fuzz_input.h, coordinate() for x and y) until the input
// ends. Mode bits: 0 resume instead of a full scan, 1 raw resume values
// (mostly invalid), 2 a negative count.
//
// Promises checked beyond the sanitizers: the result code is -1, 0, 2 or
// 3; "no finding" sets a and b to 0 and leaves the point alone; -1 leaves
// all three alone; a finding names two edges of the ring; the export gives
// the plain scan's answer bit for bit; and so do the sweep over X, the
// spaced-ring answer and the proof by runs in X on their own wherever they
// answer (the export takes the sweep only for rings far larger than a fuzz
// input, whose boxes overlap by the thousand).

#include "fuzz/fuzz_input.h"
#include "fuzz/scratch.h"
#include "geolib/crossing.h"
#include "geolib/crossing_pair.h"
#include "geolib/crossing_sweep.h"
#include "geolib/plyvet_exports.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

namespace {

using namespace plyvet;

bool sameBits(const PlyvetXY& p, const PlyvetXY& q) { return std::memcmp(&p, &q, sizeof p) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in({data, size});
    const std::uint8_t mode = in.byte();
    std::int32_t a0 = 0;
    std::int32_t b0 = 0;
    std::uint8_t ra = 0;
    std::uint8_t rb = 0;
    if ((mode & 2) != 0) {
        a0 = in.i32();
        b0 = in.i32();
    } else {
        ra = in.byte();
        rb = in.byte();
    }
    std::vector<PlyvetXY> ring;
    ring.reserve(1);  // an empty ring is still a valid pointer: null is refused by contract
    while (!in.empty()) {
        const double x = in.coordinate();
        const double y = in.coordinate();
        ring.push_back({x, y});
    }
    const auto n = static_cast<std::int32_t>(ring.size());
    if ((mode & 3) == 1 && n > 0) {
        // A resume position by the rule: 0 <= a < b <= n.
        a0 = ra % n;
        b0 = a0 + 1 + rb % (n - a0);
    }
    const std::int32_t count = (mode & 4) != 0 ? -1 - n : n;

    const PlyvetXY sentinel{-12345.5, 678.25};
    std::int32_t a = a0;
    std::int32_t b = b0;
    PlyvetXY point = sentinel;
    const std::int32_t code = GISC(ring.data(), count, &a, &b, &point);

    switch (code) {
    case -1:
        if (a != a0 || b != b0 || !sameBits(point, sentinel)) fuzz::brokenPromise("-1 changed its outputs");
        break;
    case 0:
        if (a != 0 || b != 0 || !sameBits(point, sentinel)) fuzz::brokenPromise("0 without a = b = 0 or with a point");
        break;
    case 2:
    case 3:
        if (a < 0 || b < 0 || a >= n || b >= n || a == b) fuzz::brokenPromise("a finding outside the ring's edges");
        break;
    default: fuzz::brokenPromise("a result code other than -1, 0, 2 and 3");
    }
    if (count < 0) {
        if (code != -1) fuzz::brokenPromise("a negative count was not refused");
        return 0;
    }

    std::int32_t pa = a0;
    std::int32_t pb = b0;
    PlyvetXY plainPoint = sentinel;
    std::int32_t plainCode = 0;
    try {
        plainCode = geolib::core::findFirstMeetingPlain(ring, pa, pb, plainPoint);
    } catch (...) {
        return 0;  // the oracle ran out of memory: nothing to compare
    }
    if (plainCode != code || pa != a || pb != b || !sameBits(plainPoint, point)) {
        std::fprintf(stderr, "GISC: %d (%d, %d) point (%.17g, %.17g); plain scan: %d (%d, %d) point (%.17g, %.17g)\n",
                     code, a, b, point.x, point.y, plainCode, pa, pb, plainPoint.x, plainPoint.y);
        fuzz::brokenPromise("GISC differs from the plain scan");
    }

    if (n < 4 || !geolib::core::validResume(a0, b0, n)) return 0;
    // The answers that may decline, each on its own: wherever they answer,
    // bit for bit the plain scan's.
    using Partial = std::optional<std::int32_t> (*)(std::span<const PlyvetXY>, std::int32_t&, std::int32_t&,
                                                    PlyvetXY&);
    const auto compareAlone = [&](const char* name, Partial search, const char* promise) {
        std::int32_t sa = a0;
        std::int32_t sb = b0;
        PlyvetXY found = sentinel;
        const auto answer = search(ring, sa, sb, found);
        if (answer && (*answer != plainCode || sa != pa || sb != pb || !sameBits(found, plainPoint))) {
            std::fprintf(stderr, "%s: %d (%d, %d) point (%.17g, %.17g); plain scan: %d (%d, %d) point (%.17g, %.17g)\n",
                         name, *answer, sa, sb, found.x, found.y, plainCode, pa, pb, plainPoint.x, plainPoint.y);
            fuzz::brokenPromise(promise);
        }
    };
    compareAlone("sweep", geolib::core::findFirstMeetingSwept, "the sweep differs from the plain scan");
    compareAlone(
        "spaced",
        [](std::span<const PlyvetXY> r, std::int32_t& sa, std::int32_t& sb, PlyvetXY& found) {
            return geolib::core::findFirstMeetingSpaced(r, sa, sb, found);
        },
        "the spaced-ring answer differs from the plain scan");
    compareAlone("runs", geolib::core::findFirstMeetingByRuns, "the proof by runs gives another answer than the plain scan");
    return 0;
}
