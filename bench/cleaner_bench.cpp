// The cleaning loop of one record (polygon cleaner plus self-intersection
// repair, as the correction run drives it) against GEOSMakeValid_r on the
// same polygons.
//
//   cleaner/parcels-faulty/<n>/ours|geos  n generated parcels (50 to 500
//       vertices, one in ten with an injected fault), all of them per run;
//       the counter polygons_per_s is the throughput.
//   cleaner/parcels-clean/<n>/...         the same without faults.
//   cleaner/<shape>/<n>/...               one ring of n vertices of each shape
//       of ring_shapes.h: the cost per vertex of long irregular rings (dense
//       zigzags, spirals, random walks) next to a smooth one.
//   cleaner/<shape>+crossings/<n>/...     the same ring with a crossing every
//       100 vertices: the repair cuts one crossing a round and cleans the
//       whole polygon again after each.
//
// Our side gets a fresh copy of each polygon per run (the loop repairs in
// place); GEOS gets its geometries built once, outside the timed loop. The
// events and the self-intersection cleaner's lines are counted, not written:
// the log is the run benchmark's business.

#include "bench/alloc_counter.h"
#include "bench/ring_shapes.h"
#include "pipeline/gis/geometry.h"
#include "pipeline/memory_reuse.h"
#include "pipeline/polygon_repair.h"
#include "tools/samplegen/parcels.h"

#include <benchmark/benchmark.h>
#include <geos_c.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace plyvet::bench {
namespace {

struct GeosContext {
    GEOSContextHandle_t handle = GEOS_init_r();
    ~GeosContext() { GEOS_finish_r(handle); }
};

GEOSContextHandle_t geos() {
    static GeosContext context;
    return context.handle;
}

struct GeometryDeleter {
    void operator()(GEOSGeometry* g) const { GEOSGeom_destroy_r(geos(), g); }
};
using Geometry = std::unique_ptr<GEOSGeometry, GeometryDeleter>;

GEOSGeometry* linearRing(const gis::Ring& ring) {
    const auto count = static_cast<unsigned>(ring.size() + 1);
    GEOSCoordSequence* coords = GEOSCoordSeq_create_r(geos(), count, 2);
    for (unsigned i = 0; i < count; ++i) {
        const gis::Point& p = ring[i % ring.size()];
        GEOSCoordSeq_setXY_r(geos(), coords, i, p.x, p.y);
    }
    GEOSGeometry* g = GEOSGeom_createLinearRing_r(geos(), coords);
    if (g == nullptr) throw std::runtime_error("GEOS refused a ring");
    return g;
}

// Part 0 and every clockwise part are shells; counter-clockwise parts are
// holes of part 0. Invalid input stays invalid: that is what MakeValid is for.
Geometry geosOf(const gis::Polygon& polygon) {
    GEOSGeometry* shell0 = linearRing(polygon.parts.front());
    std::vector<GEOSGeometry*> holes;
    std::vector<GEOSGeometry*> polygons;
    for (std::size_t i = 1; i < polygon.parts.size(); ++i) {
        if (gis::ringArea(polygon.parts[i]) < 0.0) {
            holes.push_back(linearRing(polygon.parts[i]));
        } else {
            polygons.push_back(GEOSGeom_createPolygon_r(geos(), linearRing(polygon.parts[i]), nullptr, 0));
        }
    }
    GEOSGeometry* first = GEOSGeom_createPolygon_r(geos(), shell0, holes.data(), static_cast<unsigned>(holes.size()));
    if (polygons.empty()) return Geometry(first);
    polygons.insert(polygons.begin(), first);
    return Geometry(GEOSGeom_createCollection_r(geos(), GEOS_MULTIPOLYGON, polygons.data(),
                                                static_cast<unsigned>(polygons.size())));
}

struct CountingSink : LineSink {
    std::size_t lines = 0;
    void writeLine(std::string_view) override { ++lines; }
};

struct Input {
    std::vector<gis::Polygon> polygons;
    std::vector<Geometry> geometries;
    std::size_t vertices = 0;
};

const Input& parcels(int n, bool faulty) {
    static std::map<std::pair<int, bool>, Input> cache;
    auto [it, inserted] = cache.try_emplace({n, faulty});
    if (inserted) {
        samplegen::ParcelOptions options;
        options.faultRate = faulty ? 0.1 : 0.0;
        for (int i = 0; i < n; ++i) {
            it->second.polygons.push_back(samplegen::parcel(i, options).shape);
            it->second.vertices += gis::pointCount(it->second.polygons.back());
            it->second.geometries.push_back(geosOf(it->second.polygons.back()));
        }
    }
    return it->second;
}

// Crossings every this many vertices in the "+crossings" rings.
constexpr std::size_t kCrossingEvery = 100;

const Input& ring(Shape shape, int n, bool crossings) {
    static std::map<std::tuple<Shape, int, bool>, Input> cache;
    auto [it, inserted] = cache.try_emplace({shape, n, crossings});
    if (inserted) {
        std::vector<PlyvetXY> points = makeRing(shape, n, 42);
        if (crossings) {
            addCrossings(points, kCrossingEvery);
            roundRing(points, 3);
        }
        gis::Ring r;
        for (const PlyvetXY& p : points) r.push_back({p.x, p.y});
        it->second.vertices = r.size();
        it->second.polygons.push_back(gis::Polygon{{std::move(r)}});
        it->second.geometries.push_back(geosOf(it->second.polygons.back()));
    }
    return it->second;
}

void ours(benchmark::State& state, const Input& in) {
    CountingSink sink;
    std::size_t events = 0;
    std::size_t written = 0;
    PolygonRepair::Hooks hooks{[&](std::string_view) { ++sink.lines; }, [&](std::string_view) { ++sink.lines; },
                               [&](const std::string&) { ++events; }, [] { return false; }};
    CleanerParameters parameters;
    parameters.splitterTolerance = 0.01;
    PolygonRepair repair(parameters, OnUnsolvable::SkipShape, sink, hooks);
    std::size_t peak = 0;
    for (auto _ : state) {
        resetHeapPeak();
        written = 0;
        for (const gis::Polygon& original : in.polygons) {
            gis::Polygon polygon = original;
            if (repair.repair(polygon, "1", "FID") == Verdict::Write) ++written;
            benchmark::DoNotOptimize(polygon);
        }
        peak = std::max(peak, heapPeakSinceReset());
    }
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.counters["written"] = static_cast<double>(written);
    state.counters["vertices"] = static_cast<double>(in.vertices);
    state.counters["polygons_per_s"] =
        benchmark::Counter(static_cast<double>(in.polygons.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void geosMakeValid(benchmark::State& state, const Input& in) {
    std::size_t peak = 0;
    for (auto _ : state) {
        resetHeapPeak();
        for (const Geometry& g : in.geometries) {
            Geometry valid(GEOSMakeValid_r(geos(), g.get()));
            if (!valid) state.SkipWithError("GEOSMakeValid_r failed");
            benchmark::DoNotOptimize(valid.get());
        }
        peak = std::max(peak, heapPeakSinceReset());
    }
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.counters["vertices"] = static_cast<double>(in.vertices);
    state.counters["polygons_per_s"] =
        benchmark::Counter(static_cast<double>(in.geometries.size()), benchmark::Counter::kIsIterationInvariantRate);
}

std::int64_t maxSize() {
    const char* text = std::getenv("PLYVET_BENCH_MAX_SIZE");
    return text != nullptr ? std::atoll(text) : 1'000'000;
}

// Ours and GEOS on one ring of `shape`, with or without its crossings.
void registerRing(Shape shape, int n, bool crossings) {
    const std::string prefix = "cleaner/" + std::string(shapeName(shape)) + (crossings ? "+crossings/" : "/") +
                               std::to_string(n) + "/";
    benchmark::RegisterBenchmark((prefix + "ours").c_str(),
                                 [=](benchmark::State& s) { ours(s, ring(shape, n, crossings)); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((prefix + "geos").c_str(),
                                 [=](benchmark::State& s) { geosMakeValid(s, ring(shape, n, crossings)); })
        ->Unit(benchmark::kMillisecond);
}

void registerAll() {
    for (const bool faulty : {true, false}) {
        const std::string name = faulty ? "parcels-faulty" : "parcels-clean";
        for (const int n : {1000, 10000}) {
            if (n > maxSize()) continue;
            const std::string prefix = "cleaner/" + name + "/" + std::to_string(n) + "/";
            benchmark::RegisterBenchmark((prefix + "ours").c_str(),
                                         [=](benchmark::State& s) { ours(s, parcels(n, faulty)); })
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark((prefix + "geos").c_str(),
                                         [=](benchmark::State& s) { geosMakeValid(s, parcels(n, faulty)); })
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (const Shape shape : kAllShapes) {
        for (const int n : {1000, 10000, 100000}) {
            if (n <= maxSize()) registerRing(shape, n, false);
        }
    }
    // A round per crossing over the whole ring: 10^4 vertices make 100
    // rounds (about a second); thin spikes, whose rounds cost ten times
    // more, stay at 10^3.
    for (const Shape shape : kAllShapes) {
        for (const int n : {1000, 10000}) {
            if (n <= maxSize() && (shape != Shape::Spikes || n <= 1000)) registerRing(shape, n, true);
        }
    }
}

}  // namespace
}  // namespace plyvet::bench

int main(int argc, char** argv) {
    // The allocator as the program sets it up: these loops are the program's.
    plyvet::keepFreedMemoryForReuse();
    plyvet::bench::registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
