// `plyvet correct` killed with SIGKILL in the middle of a large file, at
// several depths: nothing can be cleaned up after such a death, so what is
// on disk at any moment must already be safe. The source is unchanged, no
// "<name>_x.shp" stands there (the output is written under a temporary
// name until it is complete), every log line is whole, the database holds
// no half row, and the next run completes.

#include "reliability_fixture.h"
#include "tools/samplegen/samplegen.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <thread>

namespace plyvet {
namespace {

namespace fs = std::filesystem;
namespace sg = samplegen;

constexpr int kGrid = 100;  // 10000 squares: seconds of work for the sanitized build

struct KillPoint {
    std::string name;
    std::uintmax_t checkLogBytes;  // kill once the check log has grown this far
    friend void PrintTo(const KillPoint& k, std::ostream* os) { *os << k.name; }
};

class KilledRun : public test::ReliabilityTest, public ::testing::WithParamInterface<KillPoint> {};

std::uintmax_t sizeOr0(const fs::path& p) {
    std::error_code ec;
    const auto n = fs::file_size(p, ec);
    return ec ? 0 : n;
}

// Integrity verdict and rows without a source path ("half rows").
std::pair<std::string, int> databaseState(const fs::path& file) {
    sqlite3* db = nullptr;
    std::pair<std::string, int> state{"", -1};
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
            state.first = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        }
        sqlite3_finalize(s);
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM tbl_ShapefileInfo WHERE Quellpfad IS NULL OR Quellpfad = ''",
                               -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW) {
            state.second = sqlite3_column_int(s, 0);
        }
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return state;
}

TEST_P(KilledRun, LeavesNothingUnsafeBehind) {
    sg::write(sg::gridLayer(kGrid), src / "raster");
    const fs::path shp = remember(src / "raster.shp");
    const fs::path checkLog = src / "raster_k.log";
    const fs::path output = out / "raster_x.shp";

    auto child = startPlyvet({"correct", "--output", out.string(), shp.string()});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (child->running() && sizeOr0(checkLog) < GetParam().checkLogBytes &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(child->running()) << "the run ended before it could be killed";
    child->signal(SIGKILL);
    const auto exit = child->wait();
    EXPECT_EQ(exit.signal, SIGKILL);

    std::optional<int> records;
    EXPECT_TRUE(test::absentOrComplete(output, records));
    EXPECT_FALSE(records.has_value()) << "a killed run has not finished its output";
    EXPECT_TRUE(test::wholeLines(checkLog));
    EXPECT_TRUE(test::wholeLines(home / "plyvet.log"));
    const auto [integrity, halfRows] = databaseState(home / "Plyvet.mdb");
    EXPECT_EQ(integrity, "ok");
    EXPECT_EQ(halfRows, 0);

    // The next run starts afresh over the dead one's temporary files and completes.
    const auto again = plyvet({"correct", "--output", out.string(), shp.string()});
    EXPECT_EQ(again.exit.code, 0) << again.stderrText;
    EXPECT_TRUE(test::absentOrComplete(output, records));
    EXPECT_EQ(records, kGrid * kGrid);
    EXPECT_TRUE(test::temporaryFiles(out).empty()) << ::testing::PrintToString(test::temporaryFiles(out));
}

INSTANTIATE_TEST_SUITE_P(SigKill, KilledRun,
                         ::testing::Values(KillPoint{"AtTheStart", 1}, KillPoint{"AfterTheHeader", 1500},
                                           KillPoint{"InTheRecords", 200'000}),
                         test::CaseName());

}  // namespace
}  // namespace plyvet
