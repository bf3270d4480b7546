// Injected faults: writes that fail part-way (the writer's test seam, and a
// real full filesystem where the test may mount one), an output folder that
// turns read-only, an error database that another process has locked or
// that is no database at all. After each: the source is unchanged, the
// check log holds every line written before the fault and says what was
// not done, and the output is either absent or a complete, readable triple.

#include "reliability_fixture.h"

#include "geolib/binding.h"
#include "pipeline/correction_run.h"
#include "pipeline/error_database.h"
#include "pipeline/gis/shapefile.h"
#include "tests/pipeline/scripted_ui.h"
#include "tools/samplegen/samplegen.h"

#include <linux/capability.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace plyvet {
namespace {

namespace fs = std::filesystem;
namespace sg = samplegen;

// The scripted Ui with a hook into the record loop.
class FaultUi : public test::ScriptedUi {
public:
    std::function<void(int record)> onRecord;
    void pumpEvents() override {
        if (onRecord) onRecord(pumps);
        ScriptedUi::pumpEvents();
    }
};

// The run in-process, the way the program's command runs it.
class InProcessFault : public test::ReliabilityTest {
protected:
    FaultUi ui;
    RunSettings settings;
    RunOptions options;

    void SetUp() override {
        ReliabilityTest::SetUp();
        settings.settingsConfirmed = true;
        options.outputFolder = out.string();
    }
    void TearDown() override {
        gis::testing::limitWrites(std::nullopt);
        ReliabilityTest::TearDown();
    }
    fs::path sample(std::string_view name = "flur") {
        sg::write(sg::sampleLayer(), src / std::string(name));
        return remember(src / (std::string(name) + ".shp"));
    }
    bool correct(const fs::path& shp, ErrorDatabase* database = nullptr) {
        LogFile programLog(home / "plyvet.log");
        EXPECT_TRUE(programLog.create());
        CorrectionRun run(ui, settings, options, programLog, database);
        return run.correctShapeFile(shp.string());
    }
    std::uintmax_t outputSize(std::string_view name) {
        std::uintmax_t total = 0;
        for (const char* ext : {".shp", ".shx", ".dbf", ".cpg"}) total += fs::file_size(out / (std::string(name) + ext));
        return total;
    }
};

// Writes that stop at a byte limit, from the first header byte to the last
// byte of the closing headers. Every failure ends without an output and
// with a line that says so; the lines before it are the clean run's lines.
TEST_F(InProcessFault, WriteFailsPartWayAtEveryStage) {
    const fs::path shp = sample();
    ASSERT_TRUE(correct(shp));
    const auto cleanLog = test::checkLogLines(shp);
    const std::uintmax_t size = outputSize("flur_x");
    fs::remove_all(out);
    fs::create_directories(out);

    const std::vector<std::uint64_t> limits = {0, 60, 100, 150, 250, size / 4, size / 2, size - 200, size - 1};
    for (const std::uint64_t limit : limits) {
        SCOPED_TRACE("limit " + std::to_string(limit) + " of " + std::to_string(size));
        gis::testing::limitWrites(limit);
        const bool ok = correct(shp);
        gis::testing::limitWrites(std::nullopt);
        EXPECT_FALSE(ok);
        std::optional<int> records;
        EXPECT_TRUE(test::absentOrComplete(out / "flur_x.shp", records));
        EXPECT_FALSE(records.has_value()) << "a failed write leaves no output";
        EXPECT_TRUE(test::temporaryFiles(out).empty()) << ::testing::PrintToString(test::temporaryFiles(out));
        EXPECT_TRUE(test::wholeLines(src / "flur_k.log"));

        const auto lines = test::checkLogLines(shp);
        const bool atCreation = test::anyLineHas(
            lines, "ExportToShape: Selektierte Datei flur_x konnte nicht in Shapefile geschrieben werden.");
        const bool atFinish = test::anyLineHas(lines, "Shapefile " + (out / "flur_x.shp").string() +
                                                          " konnte nicht abgeschlossen werden.") &&
                              test::anyLineHas(lines, ".* wurden gelöscht.");
        EXPECT_TRUE(atCreation != atFinish) << ::testing::PrintToString(lines);
        EXPECT_FALSE(test::anyLineHas(lines, "Shapefile wurde erfolgreich"));
        // Nothing written before the fault is missing.
        std::size_t same = 0;
        while (same < lines.size() && same < cleanLog.size() && lines[same] == cleanLog[same]) ++same;
        const bool addNewFailed = same < lines.size() && lines[same].find("( AddNew fehlgeschlagen )") != std::string::npos;
        const bool closeFailed = same < lines.size() && lines[same].find("konnte nicht abgeschlossen") != std::string::npos;
        EXPECT_TRUE(atCreation || addNewFailed || closeFailed)
            << "the log departs from the clean run only at the fault: " << (same < lines.size() ? lines[same] : "");
    }
    // Without the limit the same run goes through again.
    EXPECT_TRUE(correct(shp));
    std::optional<int> records;
    EXPECT_TRUE(test::absentOrComplete(out / "flur_x.shp", records));
    EXPECT_EQ(records, 20);
}

// An error that ends the file inside the record loop (here the helper
// library cannot be loaded, so no cleaner can be made) stops the file like
// any stop: the output stays closed as far as it got, and the log says so.
TEST_F(InProcessFault, HelperLibraryMissingStopsTheFileAndSaysSo) {
    const fs::path shp = sample();
    geolib::setLibraryFileName("libPlyvetFehlt.so");
    const bool ok = correct(shp);
    geolib::setLibraryFileName("");
    EXPECT_FALSE(ok);
    EXPECT_TRUE(test::anyLineHas(ui.messageTexts(), "Error 53 (")) << ::testing::PrintToString(ui.messageTexts());
    const auto lines = test::checkLogLines(shp);
    EXPECT_TRUE(test::anyLineHas(lines, "Die Ausgabe " + (out / "flur_x.shp").string() +
                                            " ist unvollständig, die Bearbeitung wurde abgebrochen."))
        << ::testing::PrintToString(lines);
    std::optional<int> records;
    EXPECT_TRUE(test::absentOrComplete(out / "flur_x.shp", records));
    EXPECT_EQ(records, 0);
    EXPECT_TRUE(test::temporaryFiles(out).empty());
}

// Root writes through permission bits; the run must meet them as a user
// would, so the thread gives up its override while the test wants that.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride() {
        if (::geteuid() != 0) return;
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH | 1u << CAP_FOWNER);
        active_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutPermissionOverride() {
        if (active_) ::syscall(SYS_capset, &header_, saved_);
    }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;
    // True when permission bits now bind this thread.
    bool binding() const { return ::geteuid() != 0 || active_; }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

struct ReadOnlyCase {
    std::string name;
    int atRecord;            // record at which the folder turns read-only; -1 before the run
    std::string logNeedle;   // what the check log says was not done
    friend void PrintTo(const ReadOnlyCase& c, std::ostream* os) { *os << c.name; }
};

class OutputFolderTurnsReadOnly : public InProcessFault, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(OutputFolderTurnsReadOnly, NothingHalfWrittenStandsUnderTheOutputName) {
    const ReadOnlyCase& c = GetParam();
    const fs::path shp = sample();
    WithoutPermissionOverride bound;
    if (!bound.binding()) GTEST_SKIP() << "permission bits do not bind this process";
    const auto readOnly = [this] { ::chmod(out.c_str(), 0555); };
    if (c.atRecord < 0) readOnly();
    ui.onRecord = [&](int record) {
        if (record == c.atRecord) readOnly();
    };
    const bool ok = correct(shp);
    ::chmod(out.c_str(), 0755);
    EXPECT_FALSE(ok);
    for (const char* ext : {".shp", ".shx", ".dbf", ".cpg"}) EXPECT_FALSE(fs::exists(out / ("flur_x" + std::string(ext))));
    EXPECT_TRUE(test::wholeLines(src / "flur_k.log"));
    const auto lines = test::checkLogLines(shp);
    EXPECT_TRUE(test::anyLineHas(lines, c.logNeedle)) << ::testing::PrintToString(lines);
    EXPECT_FALSE(test::anyLineHas(lines, "Shapefile wurde erfolgreich"));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, OutputFolderTurnsReadOnly,
    ::testing::Values(
        // The folder connection is refused before anything is written.
        ReadOnlyCase{"BeforeTheRun", -1, "Connection Error: Access denied"},
        // The open files take the records; the move into place is refused,
        // and the files that cannot be removed are named.
        ReadOnlyCase{"AfterFiveRecords", 5, "flur_x.tmp.* konnten nicht gelöscht werden."}),
    test::CaseName());

// A real filesystem that fills up: a 64 KiB tmpfs as the output folder.
// Mounting needs root; elsewhere the test is skipped.
class SmallFilesystem {
public:
    explicit SmallFilesystem(const fs::path& where) : where_(where) {
        mounted_ = ::geteuid() == 0 && ::mount("plyvet-test", where.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallFilesystem() {
        if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
    }
    SmallFilesystem(const SmallFilesystem&) = delete;
    SmallFilesystem& operator=(const SmallFilesystem&) = delete;
    bool mounted() const { return mounted_; }

private:
    fs::path where_;
    bool mounted_ = false;
};

TEST_F(InProcessFault, OutputFilesystemRunsFull) {
    SmallFilesystem full(out);
    if (!full.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    sg::write(sg::gridLayer(40), src / "raster");  // 1600 squares, over 200 KB of geometry
    const fs::path shp = remember(src / "raster.shp");
    const auto r = plyvet({"correct", "--output", out.string(), shp.string()});
    EXPECT_EQ(r.exit.code, 1) << r.stderrText;
    std::optional<int> records;
    EXPECT_TRUE(test::absentOrComplete(out / "raster_x.shp", records));
    EXPECT_FALSE(records.has_value());
    EXPECT_TRUE(test::temporaryFiles(out).empty()) << "the full folder is cleared again";
    EXPECT_TRUE(test::wholeLines(src / "raster_k.log"));
    const auto lines = test::checkLogLines(shp);
    EXPECT_TRUE(test::anyLineHas(lines, "raster_x.tmp.* wurden gelöscht.")) << ::testing::PrintToString(lines);
    EXPECT_NE(r.stdoutText.find(shp.string() + ": nicht korrigiert"), std::string::npos);
}

// --- the error database -------------------------------------------------------

// Rows of tbl_ShapefileInfo and the integrity check's verdict.
struct DatabaseState {
    int rows = -1;
    int rowsWithoutSource = -1;
    std::string integrity;
};

DatabaseState readDatabase(const fs::path& file) {
    DatabaseState state;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        const auto one = [db](const char* sql) {
            sqlite3_stmt* s = nullptr;
            std::string value;
            if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
                const auto* text = sqlite3_column_text(s, 0);
                value = text != nullptr ? reinterpret_cast<const char*>(text) : "";
            }
            sqlite3_finalize(s);
            return value;
        };
        state.integrity = one("PRAGMA integrity_check");
        state.rows = std::stoi("0" + one("SELECT count(*) FROM tbl_ShapefileInfo"));
        state.rowsWithoutSource = std::stoi("0" + one("SELECT count(*) FROM tbl_ShapefileInfo WHERE Quellpfad = ''"));
    }
    sqlite3_close(db);
    return state;
}

// Another process that holds the database's exclusive lock until released.
class DatabaseLock {
public:
    explicit DatabaseLock(const fs::path& file, const fs::path& scratch)
        : child_({test::binPath("plyvet-test-dblock").string(), file.string()},
                 {{}, scratch / "dblock.out", scratch / "dblock.err", true}) {
        for (int i = 0; i < 2000 && test::readFile(scratch / "dblock.out").find("gesperrt") == std::string::npos; ++i) {
            if (!child_.running()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        locked_ = test::readFile(scratch / "dblock.out").find("gesperrt") != std::string::npos;
    }
    bool locked() const { return locked_; }
    void release() {
        child_.closeStdin();
        child_.wait(std::chrono::seconds(20));
    }

private:
    test::ChildProcess child_;
    bool locked_ = false;
};

TEST_F(InProcessFault, DatabaseLockedByAnotherProcess) {
    const fs::path shp = sample();
    const fs::path mdb = home / "Plyvet.mdb";
    // A first run creates the database with one row.
    ASSERT_EQ(plyvet({"correct", "--output", out.string(), shp.string()}).exit.code, 0);
    ASSERT_EQ(readDatabase(mdb).rows, 1);

    {
        // Locked before the program opens it: the run goes on without it.
        DatabaseLock lock(mdb, dir.path());
        ASSERT_TRUE(lock.locked());
        const auto r = plyvet({"correct", "--overwrite", "--output", out.string(), shp.string()});
        lock.release();
        EXPECT_EQ(r.exit.code, 0) << r.stderrText;
        EXPECT_NE(r.stderrText.find("Es ist der Fehler:"), std::string::npos) << r.stderrText;
        EXPECT_NE(r.stderrText.find("locked"), std::string::npos) << r.stderrText;
        std::optional<int> records;
        EXPECT_TRUE(test::absentOrComplete(out / "flur_x.shp", records));
        EXPECT_EQ(records, 20);
    }
    {
        // Locked while the program holds it open: the row is missing, and the program log says so.
        ErrorDatabase database(std::chrono::milliseconds(200));
        ASSERT_TRUE(database.openErrorDatabase(home, ui));
        DatabaseLock lock(mdb, dir.path());
        ASSERT_TRUE(lock.locked());
        settings.overwriteExistingShapeFiles = true;
        const bool ok = correct(shp, &database);
        lock.release();
        EXPECT_TRUE(ok);
        EXPECT_TRUE(test::anyLineHas(ui.messageTexts(), "Es ist der Fehler:"));
        const std::string programLog = test::cp1252ToUtf8(test::readFile(home / "plyvet.log"));
        EXPECT_NE(programLog.find("Eintrag in die Fehlerdatenbank " + mdb.string() + " fehlgeschlagen."),
                  std::string::npos)
            << programLog;
        EXPECT_TRUE(test::wholeLines(home / "plyvet.log"));
    }
    const DatabaseState state = readDatabase(mdb);
    EXPECT_EQ(state.integrity, "ok");
    EXPECT_EQ(state.rows, 1) << "no row, not half a row, from the locked runs";
    EXPECT_EQ(state.rowsWithoutSource, 0);
}

struct ForeignDatabase {
    std::string name;
    std::function<void(const fs::path&)> make;
    std::string messageNeedle;
    friend void PrintTo(const ForeignDatabase& c, std::ostream* os) { *os << c.name; }
};

class DatabaseIsNoDatabase : public InProcessFault, public ::testing::WithParamInterface<ForeignDatabase> {};

TEST_P(DatabaseIsNoDatabase, IsLeftAloneAndTheRunGoesOn) {
    const ForeignDatabase& c = GetParam();
    const fs::path shp = sample();
    const fs::path mdb = home / "Plyvet.mdb";
    c.make(mdb);
    const std::uint64_t before = test::fileDigest(mdb);
    const auto r = plyvet({"correct", "--output", out.string(), shp.string()});
    EXPECT_EQ(r.exit.code, 0) << r.stderrText;
    EXPECT_NE(r.stderrText.find(c.messageNeedle), std::string::npos) << r.stderrText;
    EXPECT_EQ(test::fileDigest(mdb), before);
    std::optional<int> records;
    EXPECT_TRUE(test::absentOrComplete(out / "flur_x.shp", records));
    EXPECT_EQ(records, 20);
}

void sqliteFile(const fs::path& file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DatabaseIsNoDatabase,
    ::testing::Values(
        ForeignDatabase{"Garbage",
                        [](const fs::path& f) { test::writeFile(f, std::string(3000, '\x5A') + "kein Datenbankinhalt"); },
                        "ist keine Fehlerdatenbank von Polyvet (keine SQLite-Datenbank)"},
        ForeignDatabase{"OtherProgramsDatabase",
                        [](const fs::path& f) { sqliteFile(f, "CREATE TABLE kunden (name TEXT); INSERT INTO kunden VALUES ('x');"); },
                        "ist keine Fehlerdatenbank von Polyvet (die Tabelle tbl_ShapefileInfo fehlt)"},
        ForeignDatabase{"SqliteHeaderThenGarbage",
                        [](const fs::path& f) {
                            test::writeFile(f, std::string("SQLite format 3\0", 16) + std::string(4080, '\x7F'));
                        },
                        "Es ist der Fehler:"}),
    test::CaseName());

}  // namespace
}  // namespace plyvet
