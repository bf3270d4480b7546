// The whole correction run against the I/O floor, on generated layers of
// clean parcels (50 to 500 vertices each) of 10^4 to 10^6 records:
//
//   run/parcels-clean/<n>/ours  CorrectionRun::correctShapeFile on the layer,
//       as the headless command drives it (check log with every part's
//       header lines, program log, output "<name>_x"), no error database;
//   run/parcels-clean/<n>/copy  the same layer read record by record and
//       written to a new shapefile through the gis layer, values copied as
//       raw text: the plain read-and-write copy that every run has to do.
//
// Each measurement runs in a process of its own (this program started
// again with a hidden first argument), so its peak resident memory is its
// own: the row's time is that process's CPU time (user + system), its
// peak_bytes the high-water mark of its resident set (getrusage ru_maxrss),
// and the counter wall_s its wall time. The layers are written once into
// $PLYVET_BENCH_DATA (default: the system's temporary folder) and kept for
// later runs.

#include "pipeline/correction_run.h"
#include "pipeline/gis/shapefile.h"
#include "pipeline/log_file.h"
#include "pipeline/memory_reuse.h"
#include "tools/samplegen/parcels.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plyvet::bench {
namespace {

namespace fs = std::filesystem;

constexpr const char* kChildFlag = "--plyvet-run-child";

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

fs::path dataFolder() {
    const char* chosen = std::getenv("PLYVET_BENCH_DATA");
    fs::path folder = chosen != nullptr && *chosen != '\0' ? fs::path(chosen) : fs::temp_directory_path() / "plyvet-bench-data";
    fs::create_directories(folder);
    return folder;
}

// The layer of n clean parcels, written on first use. Names stay within
// eight characters, so the run asks no long-name question.
fs::path layerFor(std::int64_t n) {
    const fs::path base = dataFolder() / ("pc" + std::to_string(n));
    const fs::path shp = base.string() + ".shp";
    std::error_code ec;
    if (fs::exists(shp, ec)) {
        try {
            if (gis::ShapefileReader(shp).recordCount() == n) return shp;
        } catch (const std::exception&) {
        }
    }
    std::fprintf(stderr, "writing %lld parcels to %s\n", static_cast<long long>(n), shp.c_str());
    samplegen::writeParcelLayer(base, n, samplegen::ParcelOptions{});
    return shp;
}

// --- the measured work, in the child -------------------------------------------

int childRun(const fs::path& shp, const fs::path& out) {
    QuietUi ui;
    RunSettings settings;
    settings.settingsConfirmed = true;
    settings.overwriteExistingShapeFiles = true;
    RunOptions options;
    options.outputFolder = out.string();
    options.decimalSeparator = '.';
    options.identicalPointThreshold = "0.001";
    options.splitterTolerance = "0.01";
    LogFile programLog(out / "plyvet.log");
    programLog.create();
    CorrectionRun run(ui, settings, options, programLog);
    if (!run.correctShapeFile(shp.string())) {
        std::fprintf(stderr, "run failed: %s\n", ui.lastMessage.c_str());
        return 1;
    }
    const FileResult& r = run.results().back();
    return r.recordsWritten == r.recordsRead ? 0 : 1;
}

int childCopy(const fs::path& shp, const fs::path& out) {
    const gis::ShapefileReader reader(shp);
    gis::ShapefileWriter writer(out / (shp.stem().string() + "_c"), reader.fields(), reader.codePage());
    std::vector<std::optional<std::string>> values(reader.fields().size());
    for (int record = 0; record < reader.recordCount(); ++record) {
        const auto polygon = reader.polygon(record);
        for (std::size_t f = 0; f < values.size(); ++f) values[f] = reader.rawValue(record, static_cast<int>(f));
        writer.append(polygon ? *polygon : gis::Polygon{}, values);
    }
    writer.close();
    return 0;
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; }

// Runs the work, then prints "cpu_s wall_s maxrss_bytes" on stdout.
int child(int argc, char** argv) {
    if (argc != 5) return 2;
    const std::string what = argv[2];
    const auto start = std::chrono::steady_clock::now();
    int rc = 2;
    try {
        rc = what == "run" ? childRun(argv[3], argv[4]) : childCopy(argv[3], argv[4]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s failed: %s\n", what.c_str(), e.what());
        return 1;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.6f %.6f %lld\n", seconds(usage.ru_utime) + seconds(usage.ru_stime), wall,
                static_cast<long long>(usage.ru_maxrss) * 1024);
    return rc;
}

// --- the parent -------------------------------------------------------------------

struct Measured {
    double cpu = 0;
    double wall = 0;
    double maxrss = 0;
    bool ok = false;
};

Measured measure(const std::string& what, const fs::path& shp, const fs::path& out) {
    int pipefd[2];
    if (pipe(pipefd) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipefd[1], STDOUT_FILENO);
        close(pipefd[0]);
        close(pipefd[1]);
        const std::string s = shp.string(), o = out.string();
        const char* args[] = {"plyvet_bench_run", kChildFlag, what.c_str(), s.c_str(), o.c_str(), nullptr};
        execv("/proc/self/exe", const_cast<char* const*>(args));
        _exit(127);
    }
    close(pipefd[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(pipefd[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    close(pipefd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    Measured m;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
           std::sscanf(text.c_str(), "%lf %lf %lf", &m.cpu, &m.wall, &m.maxrss) == 3;
    return m;
}

void bench(benchmark::State& state, const std::string& what, std::int64_t n) {
    const fs::path shp = layerFor(n);
    const fs::path out = dataFolder() / ("out-" + what);
    fs::create_directories(out);
    Measured last;
    for (auto _ : state) {
        last = measure(what, shp, out);
        if (!last.ok) {
            state.SkipWithError((what + " failed").c_str());
            break;
        }
        state.SetIterationTime(last.cpu);
    }
    state.counters["peak_bytes"] = last.maxrss;
    state.counters["wall_s"] = last.wall;
    state.counters["records_per_s"] = last.cpu > 0 ? static_cast<double>(n) / last.cpu : 0.0;
}

std::int64_t maxSize() {
    const char* text = std::getenv("PLYVET_BENCH_MAX_SIZE");
    return text != nullptr ? std::atoll(text) : 1'000'000;
}

void registerAll() {
    for (const std::int64_t n : {10'000, 100'000, 1'000'000}) {
        if (n > maxSize()) continue;
        for (const std::string what : {"ours", "copy"}) {
            const std::string name = "run/parcels-clean/" + std::to_string(n) + "/" + what;
            benchmark::RegisterBenchmark(name.c_str(),
                                         [=](benchmark::State& s) { bench(s, what == "ours" ? "run" : "copy", n); })
                ->UseManualTime()
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
        }
    }
}

}  // namespace
}  // namespace plyvet::bench

int main(int argc, char** argv) {
    // The allocator as the program sets it up: these loops are the program's.
    plyvet::keepFreedMemoryForReuse();
    if (argc >= 2 && std::strcmp(argv[1], plyvet::bench::kChildFlag) == 0) {
        return plyvet::bench::child(argc, argv);
    }
    plyvet::bench::registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
