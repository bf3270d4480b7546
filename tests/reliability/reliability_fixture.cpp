#include "reliability_fixture.h"

#include "pipeline/gis/runtime_error.h"
#include "pipeline/gis/shapefile.h"

#include <regex>

namespace plyvet::test {

namespace fs = std::filesystem;

void ReliabilityTest::SetUp() {
    fs::create_directories(home);
    fs::create_directories(src);
    fs::create_directories(out);
}

void ReliabilityTest::TearDown() {
    for (const auto& [shp, digest] : sources_) EXPECT_EQ(tripleDigest(shp), digest) << "source changed: " << shp;
}

fs::path ReliabilityTest::remember(const fs::path& shp) {
    sources_[shp] = tripleDigest(shp);
    return shp;
}

std::unique_ptr<ChildProcess> ReliabilityTest::startPlyvet(const std::vector<std::string>& args) {
    std::vector<std::string> argv{binPath("plyvet").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess::Options options;
    options.env = {{"PLYVET_HOME", home.string()}};
    options.stdoutFile = dir / "stdout.txt";
    options.stderrFile = dir / "stderr.txt";
    return std::make_unique<ChildProcess>(argv, options);
}

ReliabilityTest::PlyvetRun ReliabilityTest::plyvet(const std::vector<std::string>& args) {
    PlyvetRun run;
    run.exit = startPlyvet(args)->wait(std::chrono::minutes(2));
    run.stdoutText = readFile(dir / "stdout.txt");
    run.stderrText = readFile(dir / "stderr.txt");
    return run;
}

::testing::AssertionResult wholeLines(const fs::path& log) {
    const std::string bytes = readFile(log);
    if (bytes.empty()) return ::testing::AssertionSuccess();
    if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0) {
        return ::testing::AssertionFailure() << log << " ends inside a line";
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool crlf = bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
        if (crlf) {
            ++i;
        } else if (bytes[i] == '\n' || bytes[i] == '\0') {
            return ::testing::AssertionFailure() << log << " has a stray line feed or NUL at byte " << i;
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult absentOrComplete(const fs::path& shp, std::optional<int>& records) {
    records.reset();
    const fs::path base = fs::path(shp).replace_extension();
    std::vector<std::string> present;
    for (const char* ext : {".shp", ".shx", ".dbf", ".cpg", ".prj"}) {
        if (fs::exists(base.string() + ext)) present.emplace_back(ext);
    }
    if (present.empty()) return ::testing::AssertionSuccess();
    if (!fs::exists(shp)) return ::testing::AssertionFailure() << "companions of " << shp << " without it";
    try {
        const gis::ShapefileReader reader(shp);
        for (int i = 0; i < reader.recordCount(); ++i) (void)reader.polygon(i);
        for (int i = 0; i < reader.dbfRecordCount(); ++i) {
            for (int f = 0; f < static_cast<int>(reader.fields().size()); ++f) (void)reader.rawValue(i, f);
        }
        if (reader.recordCount() != reader.dbfRecordCount()) {
            return ::testing::AssertionFailure() << shp << ": " << reader.recordCount() << " shapes, "
                                                 << reader.dbfRecordCount() << " rows";
        }
        records = reader.recordCount();
    } catch (const RuntimeError& e) {
        return ::testing::AssertionFailure() << shp << " is not readable: " << e.description();
    }
    if (haveOgr()) {
        try {
            const std::string summary = ogrinfoSummary(shp);
            std::smatch m;
            if (!std::regex_search(summary, m, std::regex("Feature Count: (\\d+)")) || std::stoi(m[1]) != *records) {
                return ::testing::AssertionFailure() << "GDAL reads " << shp << " differently:\n" << summary;
            }
        } catch (const std::exception& e) {
            return ::testing::AssertionFailure() << "GDAL cannot read " << shp << ": " << e.what();
        }
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::string> temporaryFiles(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".tmp.") != std::string::npos) names.push_back(name);
    }
    return names;
}

std::vector<std::string> checkLogLines(const fs::path& shp) {
    const std::string s = shp.string();
    std::vector<std::string> lines = readLines(s.substr(0, s.size() - 4) + "_k.log");
    for (auto& line : lines) line = cp1252ToUtf8(line);
    return lines;
}

bool anyLineHas(const std::vector<std::string>& lines, std::string_view needle) {
    for (const auto& line : lines) {
        if (line.find(needle) != std::string::npos) return true;
    }
    return false;
}

}  // namespace plyvet::test
