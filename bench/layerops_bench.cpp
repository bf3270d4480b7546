// Cost of the identical-polygon and overlap commands against the number of
// polygons, on a generated tiling with a known number of duplicates and
// overlaps. Rows "identical/tiling/<n>/ours" and "overlaps/tiling/<n>/ours"
// time the whole command on one file (reading, index, search, intersections,
// log, output); "candidates/tiling/<n>/ours" the index search alone and
// ".../plain" the comparison of every pair, which the index replaces.
//
// The tiling: s x s unit squares that touch their neighbours; for every cell
// i with i % 10 == 3 a copy of its square is appended (one identical pair,
// one overlap of 1 m²), and for every cell with i % 10 == 7 that is not in
// the last column a unit square shifted by half a unit to the right (two
// overlaps of 0.5 m²). Each benchmark checks the counts the command found.

#include "alloc_counter.h"
#include "layerops/identical_polygons.h"
#include "layerops/overlap_check.h"
#include "pipeline/gis/geos_ops.h"
#include "pipeline/log_file.h"
#include "pipeline/memory_reuse.h"
#include "tools/samplegen/samplegen.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include <unistd.h>

namespace plyvet::bench {
namespace {

namespace fs = std::filesystem;
namespace sg = samplegen;

struct Tiling {
    sg::Layer layer;
    int duplicates = 0;
    int overlaps = 0;
};

Tiling tiling(int nominal) {
    Tiling t;
    const int s = std::max(2, static_cast<int>(std::lround(std::sqrt(nominal / 1.2))));
    t.layer.fields = {sg::integerField("ID", 9)};
    std::vector<sg::Record> extra;
    for (int j = 0; j < s; ++j) {
        for (int i = 0; i < s; ++i) {
            const int cell = j * s + i;
            const auto x = static_cast<double>(i);
            const auto y = static_cast<double>(j);
            t.layer.records.push_back({sg::rectanglePolygon(x, y, x + 1, y + 1), {std::to_string(cell + 1)}});
            if (cell % 10 == 3) {
                extra.push_back({sg::rectanglePolygon(x, y, x + 1, y + 1), {std::to_string(cell + 1)}});
                ++t.duplicates;
                ++t.overlaps;
            } else if (cell % 10 == 7 && i < s - 1) {
                extra.push_back({sg::rectanglePolygon(x + 0.5, y, x + 1.5, y + 1), {std::to_string(cell + 1)}});
                t.overlaps += 2;
            }
        }
    }
    for (auto& r : extra) t.layer.records.push_back(std::move(r));
    return t;
}

// Answers nothing and shows nothing; a message means the benchmark went wrong.
class QuietUi : public Ui {
public:
    std::string lastMessage;
    Answer message(const Message& m) override {
        lastMessage = m.text;
        return Answer::Yes;
    }
    std::string inputBox(std::string_view, std::string_view, std::string_view) override { return {}; }
    bool settingsDialog(RunSettings&) override { return true; }
    bool fieldNameDialog(std::vector<FieldNameRow>&, std::string_view, std::string&) override { return false; }
    std::string chooseOutputFolder() override { return {}; }
    std::string chooseSaveFile(std::string_view, std::string_view) override { return {}; }
    void setStatus(std::string_view) override {}
    void setStep(std::string_view) override {}
    void progressRange(int, int) override {}
    void progressValue(int) override {}
    void pumpEvents() override {}
};

const fs::path& workFolder() {
    static const fs::path folder = [] {
        fs::path f = fs::temp_directory_path() / ("plyvet-bench-layerops-" + std::to_string(::getpid()));
        fs::create_directories(f / "out");
        return f;
    }();
    return folder;
}

struct Input {
    fs::path shp;
    Tiling expected;
};

// The tiling of nominal size `n`, written once.
const Input& inputFor(int n) {
    static std::map<int, Input> inputs;
    auto it = inputs.find(n);
    if (it == inputs.end()) {
        Input in;
        in.expected = tiling(n);
        const fs::path base = workFolder() / ("t" + std::to_string(n) + "_x");
        sg::write(in.expected.layer, base);
        in.shp = base.string() + ".shp";
        it = inputs.emplace(n, std::move(in)).first;
    }
    return it->second;
}

void report(benchmark::State& state, int polygons, int found, int expected) {
    state.counters["polygons"] = polygons;
    state.counters["found"] = found;
    if (found != expected) {
        state.SkipWithError(("found " + std::to_string(found) + ", expected " + std::to_string(expected)).c_str());
    }
}

void identical(benchmark::State& state, int n) {
    const Input& in = inputFor(n);
    QuietUi ui;
    RunSettings settings;
    settings.settingsConfirmed = true;
    settings.overwriteExistingShapeFiles = true;
    RunOptions options;
    options.outputFolder = (workFolder() / "out").string();
    options.decimalSeparator = '.';
    const LogFile programLog(workFolder() / "plyvet.log");
    int found = 0;
    auto once = [&] {
        layerops::IdenticalPolygons command(ui, settings, options, programLog, "0.1");
        if (!command.DeleteIdenticalPols(in.shp.string())) state.SkipWithError(ui.lastMessage.c_str());
        found = command.results().back().found;
    };
    for (auto _ : state) once();
    resetHeapPeak();
    once();
    state.counters["peak_bytes"] = static_cast<double>(heapPeakSinceReset());
    report(state, static_cast<int>(in.expected.layer.records.size()), found, in.expected.duplicates);
}

void overlaps(benchmark::State& state, int n) {
    const Input& in = inputFor(n);
    QuietUi ui;
    RunSettings settings;
    RunOptions options;
    options.decimalSeparator = '.';
    const LogFile programLog(workFolder() / "plyvet.log");
    int found = 0;
    auto once = [&] {
        layerops::OverlapCheck command(ui, settings, options, programLog, "0.1");
        if (!command.ChkOverlappingPols(in.shp.string())) state.SkipWithError(ui.lastMessage.c_str());
        found = command.results().back().found;
    };
    for (auto _ : state) once();
    resetHeapPeak();
    once();
    state.counters["peak_bytes"] = static_cast<double>(heapPeakSinceReset());
    report(state, static_cast<int>(in.expected.layer.records.size()), found, in.expected.overlaps);
}

std::vector<gis::Polygon> polygonsOf(const Tiling& t) {
    std::vector<gis::Polygon> out;
    for (const auto& r : t.layer.records) out.push_back(*r.shape);
    return out;
}

// Identical candidates of every polygon among the later ones, through the index.
void candidatesIndexed(benchmark::State& state, int n) {
    const Tiling t = tiling(n);
    const std::vector<gis::Polygon> polygons = polygonsOf(t);
    int found = 0;
    for (auto _ : state) {
        found = 0;
        const gis::SpatialIndex index(polygons);
        for (std::size_t r = 0; r < polygons.size(); ++r) {
            for (const int k : index.search(polygons[r], gis::Relation::Identical)) found += k > static_cast<int>(r);
        }
    }
    report(state, static_cast<int>(polygons.size()), found, t.duplicates);
}

// The same by testing every later polygon.
void candidatesPlain(benchmark::State& state, int n) {
    const Tiling t = tiling(n);
    const std::vector<gis::Polygon> polygons = polygonsOf(t);
    int found = 0;
    for (auto _ : state) {
        found = 0;
        for (std::size_t r = 0; r < polygons.size(); ++r) {
            for (std::size_t k = r + 1; k < polygons.size(); ++k) {
                found += gis::relates(polygons[k], polygons[r], gis::Relation::Identical);
            }
        }
    }
    report(state, static_cast<int>(polygons.size()), found, t.duplicates);
}

}  // namespace
}  // namespace plyvet::bench

int main(int argc, char** argv) {
    // The allocator as the program sets it up: these loops are the program's.
    plyvet::keepFreedMemoryForReuse();
    using namespace plyvet::bench;
    // PLYVET_BENCH_MAX_SIZE limits the sizes for a quick run.
    int maxSize = 100000;
    if (const char* limit = std::getenv("PLYVET_BENCH_MAX_SIZE")) maxSize = std::atoi(limit);
    for (const int n : {1000, 3000, 10000, 30000, 100000}) {
        if (n > maxSize) continue;
        const std::string size = "/tiling/" + std::to_string(n) + "/";
        benchmark::RegisterBenchmark(("identical" + size + "ours").c_str(), [n](benchmark::State& s) {
            identical(s, n);
        })->Unit(benchmark::kMillisecond)->Iterations(1);
        benchmark::RegisterBenchmark(("overlaps" + size + "ours").c_str(), [n](benchmark::State& s) {
            overlaps(s, n);
        })->Unit(benchmark::kMillisecond)->Iterations(1);
        benchmark::RegisterBenchmark(("candidates" + size + "ours").c_str(), [n](benchmark::State& s) {
            candidatesIndexed(s, n);
        })->Unit(benchmark::kMillisecond)->Iterations(1);
        // Every pair: 10^4 polygons already take minutes.
        if (n <= 3000) {
            benchmark::RegisterBenchmark(("candidates" + size + "plain").c_str(), [n](benchmark::State& s) {
                candidatesPlain(s, n);
            })->Unit(benchmark::kMillisecond)->Iterations(1);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(workFolder(), ec);
    return 0;
}
