// Fuzz target: the polygon cleaner with the self-intersection loop, as the
// record loop runs it for one polygon (PolygonRepair), on arbitrary
// coordinates and part structures: NaN, infinities, 1e308, duplicates,
// parts of 0, 1 or 2 points, many parts.
//
// Input: one parameter byte, one granularity byte, then a polygon
// (fuzz_input.h, decodePolygon). Parameter byte bits: 0 delete points on a
// line, 1 stop the file on unsolvable problems, 2 sliver removal off,
// 3 identity threshold 0, 4 "only faulty objects" in the log.
//
// Promises checked beyond the sanitizers and libFuzzer's time limit (the
// loop must end): no line written holds a bare line feed; a polygon
// handed back for writing has no part without points
// (the writer refuses those) unless it came in with one.

#include "fuzz/fuzz_input.h"
#include "fuzz/scratch.h"
#include "pipeline/gis/runtime_error.h"
#include "pipeline/polygon_repair.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace plyvet;

struct CheckedSink : LineSink {
    void writeLine(std::string_view line) override { check(line); }
    static void check(std::string_view line) {
        if (line.find('\n') != std::string_view::npos && line.find("\r\n") == std::string_view::npos) {
            fuzz::brokenPromise("a log line with a bare line feed");
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in({data, size});
    const std::uint8_t flags = in.byte();
    CleanerParameters parameters;
    parameters.granularity = static_cast<std::int16_t>(in.byte() % 20);
    parameters.deletePointsOnLine = (flags & 1) != 0;
    parameters.splitterTolerance = (flags & 4) != 0 ? 0.0 : 0.01;
    if ((flags & 8) != 0) parameters.threshold = 0.0;
    const OnUnsolvable onUnsolvable = (flags & 2) != 0 ? OnUnsolvable::StopFile : OnUnsolvable::SkipShape;
    const bool onlyErrors = (flags & 16) != 0;
    gis::Polygon polygon = fuzz::decodePolygon(in);
    // The reader never delivers a part without points (the loop must still
    // survive one); the cleaners must not make one.
    bool emptyPartGiven = false;
    for (const auto& ring : polygon.parts) emptyPartGiven = emptyPartGiven || ring.empty();

    CheckedSink sink;
    PolygonRepair repair(parameters, onUnsolvable, sink,
                         {[&](std::string_view suffix) { CheckedSink::check(suffix); },
                          [&](std::string_view line) { CheckedSink::check(line); },
                          [&](const std::string& text) { CheckedSink::check(text); },
                          [onlyErrors] { return onlyErrors; }});
    Verdict verdict = Verdict::Skip;
    try {
        verdict = repair.repair(polygon, "7", "FID");
    } catch (const RuntimeError& e) {
        // Only the cleaners' creation errors may leave the loop: the library is there.
        fuzz::brokenPromise(("an error left the cleaning loop: " + e.description()).c_str());
    }
    if (verdict == Verdict::Write && !emptyPartGiven) {
        for (const auto& ring : polygon.parts) {
            if (ring.empty()) fuzz::brokenPromise("a part without points handed back for writing");
        }
    }
    return 0;
}
