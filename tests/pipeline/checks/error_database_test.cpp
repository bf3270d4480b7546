#include "pipeline/error_database.h"

#include "pipeline/scripted_ui.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace plyvet {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ScriptedUi;

using Rows = std::vector<std::vector<std::string>>;

// A connection of its own, as another program (or a second instance) would have.
class Raw {
public:
    explicit Raw(const fs::path& file) {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(db);
            throw std::runtime_error("cannot open " + file.string());
        }
        db_.reset(db);
    }
    void exec(const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            const std::string msg = err != nullptr ? err : "?";
            sqlite3_free(err);
            throw std::runtime_error(sql + ": " + msg);
        }
    }
    // Every row of a query, each column as text ("NULL" for null).
    Rows query(const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_.get()));
        }
        Rows rows;
        while (sqlite3_step(s) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(s); ++c) {
                const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
                row.push_back(t != nullptr ? t : "NULL");
            }
            rows.push_back(row);
        }
        sqlite3_finalize(s);
        return rows;
    }
    std::vector<std::string> column(const std::string& sql, int c = 0) {
        std::vector<std::string> out;
        for (const auto& row : query(sql)) out.push_back(row.at(c));
        return out;
    }

private:
    struct Closer {
        void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    };
    std::unique_ptr<sqlite3, Closer> db_;
};

class ErrorDb : public ::testing::Test {
protected:
    test::TempDir dir{"plyvet-db"};
    ScriptedUi ui;
    fs::path file() const { return dir / "Plyvet.mdb"; }

    std::vector<std::string> titles() const {
        std::vector<std::string> out;
        for (const auto& a : ui.asked) out.push_back(a.message.title);
        return out;
    }

    // The database may not be opened, must say so in the "Fehler" box, and
    // must leave the file exactly as it was.
    void expectRefusedUntouched(const std::string& descriptionPart) {
        const std::string before = test::readFile(file());
        ErrorDatabase db;
        EXPECT_FALSE(db.openErrorDatabase(dir.path(), ui));
        EXPECT_FALSE(db.isOpen());
        ASSERT_EQ(ui.messageTexts().size(), 1u);
        const std::string text = ui.messageTexts()[0];
        EXPECT_EQ(titles(), std::vector<std::string>{"Fehler"});
        EXPECT_EQ(text.rfind("Es ist der Fehler:\r\n\"", 0), 0u) << text;
        EXPECT_NE(text.find(descriptionPart), std::string::npos) << text;
        EXPECT_TRUE(text.ends_with("\" aufgetreten.")) << text;
        EXPECT_EQ(test::readFile(file()), before);
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(dir.path())) files.push_back(e.path());
        EXPECT_EQ(files, std::vector<fs::path>{file()});
    }
};

TEST(ErrorDatabasePath, NameAndSeparator) {
    EXPECT_EQ(errorDatabasePath("/p/home"), fs::path("/p/home/Plyvet.mdb"));
    EXPECT_EQ(errorDatabasePath("/p/home/"), fs::path("/p/home/Plyvet.mdb"));
    EXPECT_EQ(errorDatabasePath("/p", "Fehler"), fs::path("/p/Fehler.mdb"));
    EXPECT_EQ(errorDatabasePath("/p", "Alt.MDB"), fs::path("/p/Alt.MDB"));
    EXPECT_EQ(errorDatabasePath("/p", "Alt.mdbx"), fs::path("/p/Alt.mdbx.mdb"));
}

TEST_F(ErrorDb, CreatesTablesIndexAndRelation) {
    ErrorDatabase db;
    // Without trailing separator: the file still lands inside the folder.
    ASSERT_TRUE(db.openErrorDatabase(dir.path(), ui));
    EXPECT_TRUE(ui.asked.empty());
    EXPECT_EQ(db.path(), file());
    ASSERT_TRUE(fs::is_regular_file(file()));

    Raw raw(file());
    EXPECT_EQ(raw.column("PRAGMA table_info(tbl_ShapefileInfo)", 1),
              (std::vector<std::string>{"AUTOID", "Quellpfad", "Zielpfad", "AnzahlShapesSoll", "AnzahlShapesIst",
                                        "AnzahlDBaseDatensaetze", "Pruefgenauigkeit", "ToleranzSplitterflaechen",
                                        "ZusaetzlicheLoeschen", "IDVerwenden"}));
    EXPECT_EQ(raw.column("PRAGMA table_info(tbl_ErrorInfo)", 1),
              (std::vector<std::string>{"AUTOID", "PolygonID", "Kuerzel", "Bemerkungen"}));
    EXPECT_NE(raw.column("SELECT sql FROM sqlite_master WHERE name = 'tbl_ShapefileInfo'").at(0).find(
                  "AUTOID INTEGER PRIMARY KEY AUTOINCREMENT"),
              std::string::npos);
    EXPECT_EQ(raw.query("PRAGMA index_list(tbl_ShapefileInfo)"),
              (Rows{{"0", "AUTOIDIndex", "1", "c", "0"}}));
    const Rows fk = raw.query("PRAGMA foreign_key_list(tbl_ErrorInfo)");
    ASSERT_EQ(fk.size(), 1u);
    EXPECT_EQ(fk[0][2], "tbl_ShapefileInfo");
    EXPECT_EQ(fk[0][3], "AUTOID");
    EXPECT_EQ(fk[0][5], "CASCADE");  // on update
    EXPECT_EQ(fk[0][6], "CASCADE");  // on delete

    // Text fields default to zero-length text.
    raw.exec("INSERT INTO tbl_ShapefileInfo DEFAULT VALUES");
    EXPECT_EQ(raw.query("SELECT Quellpfad, IDVerwenden FROM tbl_ShapefileInfo"), (Rows{{"", ""}}));
}

TEST_F(ErrorDb, ReopeningKeepsRowsAndContinuesNumbering) {
    {
        ErrorDatabase db;
        ASSERT_TRUE(db.openErrorDatabase(dir.path(), ui));
        ASSERT_TRUE(db.insertShapeFileInfo({.quellpfad = "/daten/a.shp"}, ui));
        EXPECT_EQ(db.lastShapeFileId(), 1);
    }
    ErrorDatabase db;
    ASSERT_TRUE(db.openErrorDatabase(dir.path(), ui));
    EXPECT_EQ(db.lastShapeFileId(), 0);
    ASSERT_TRUE(db.insertShapeFileInfo({.quellpfad = "/daten/b.shp", .zielpfad = "/aus/b_x"}, ui));
    EXPECT_EQ(db.lastShapeFileId(), 2);
    EXPECT_TRUE(ui.asked.empty());
    Raw raw(file());
    EXPECT_EQ(raw.query("SELECT AUTOID, Quellpfad, Zielpfad, AnzahlShapesSoll FROM tbl_ShapefileInfo ORDER BY AUTOID"),
              (Rows{{"1", "/daten/a.shp", "", ""}, {"2", "/daten/b.shp", "/aus/b_x", ""}}));
}

TEST_F(ErrorDb, TwoRefusedNamesGiveTwoRowsEach) {
    ErrorDatabase db;
    ASSERT_TRUE(db.openErrorDatabase(dir.path(), ui));
    for (const std::string name : {"langername1", "Überlangname"}) {
        ASSERT_TRUE(db.insertShapeFileInfo({.quellpfad = name}, ui));
        ASSERT_TRUE(db.insertErrorInfo(db.lastShapeFileId(), "", "ShapeFileNameToLong",
                                       "12 Zeichen.Es wird eine Länge von höchstens 8 Zeichen empfohlen", ui));
    }
    EXPECT_TRUE(ui.asked.empty());
    Raw raw(file());
    EXPECT_EQ(raw.query("SELECT s.AUTOID, s.Quellpfad, e.PolygonID, e.Kuerzel, e.Bemerkungen FROM tbl_ErrorInfo e "
                        "JOIN tbl_ShapefileInfo s ON s.AUTOID = e.AUTOID ORDER BY e.rowid"),
              (Rows{{"1", "langername1", "", "ShapeFileNameToLong",
                     "12 Zeichen.Es wird eine Länge von höchstens 8 Zeichen empfohlen"},
                    {"2", "Überlangname", "", "ShapeFileNameToLong",
                     "12 Zeichen.Es wird eine Länge von höchstens 8 Zeichen empfohlen"}}));
}

TEST_F(ErrorDb, DeletingAShapefileRowDeletesItsErrors) {
    ErrorDatabase db;
    ASSERT_TRUE(db.openErrorDatabase(dir.path(), ui));
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(db.insertShapeFileInfo({.quellpfad = "f" + std::to_string(i)}, ui));
        ASSERT_TRUE(db.insertErrorInfo(db.lastShapeFileId(), "7", "K", "B", ui));
        ASSERT_TRUE(db.insertErrorInfo(db.lastShapeFileId(), "8", "K", "B", ui));
    }
    Raw raw(file());
    raw.exec("PRAGMA foreign_keys = ON");
    raw.exec("DELETE FROM tbl_ShapefileInfo WHERE AUTOID = 1");
    EXPECT_EQ(raw.column("SELECT AUTOID FROM tbl_ErrorInfo"), (std::vector<std::string>{"2", "2"}));
    raw.exec("UPDATE tbl_ShapefileInfo SET AUTOID = 40 WHERE AUTOID = 2");
    EXPECT_EQ(raw.column("SELECT AUTOID FROM tbl_ErrorInfo"), (std::vector<std::string>{"40", "40"}));
}

// The relation is enforced on the program's own connection: an error row for
// a shapefile row that does not exist is refused, not stored as an orphan.
TEST_F(ErrorDb, ErrorRowWithoutShapefileRowIsRefused) {
    ErrorDatabase db;
    ASSERT_TRUE(db.openErrorDatabase(dir.path(), ui));
    EXPECT_FALSE(db.insertErrorInfo(99, "", "K", "B", ui));
    ASSERT_EQ(ui.messageTexts().size(), 1u);
    EXPECT_EQ(titles(), std::vector<std::string>{"Fehler"});
    EXPECT_NE(ui.messageTexts()[0].find("FOREIGN KEY"), std::string::npos) << ui.messageTexts()[0];
    EXPECT_TRUE(Raw(file()).query("SELECT * FROM tbl_ErrorInfo").empty());
}

TEST_F(ErrorDb, ClosedDatabaseRefusesQuietly) {
    ErrorDatabase db;
    EXPECT_FALSE(db.insertShapeFileInfo({.quellpfad = "x"}, ui));
    EXPECT_FALSE(db.insertErrorInfo(1, "", "K", "B", ui));
    ASSERT_TRUE(db.openErrorDatabase(dir.path(), ui));
    db.close();
    EXPECT_FALSE(db.insertShapeFileInfo({.quellpfad = "x"}, ui));
    EXPECT_TRUE(ui.asked.empty());
}

TEST_F(ErrorDb, SecondConnectionWaitsForTheLock) {
    ErrorDatabase db;
    ASSERT_TRUE(db.openErrorDatabase(dir.path(), ui));
    Raw other(file());
    other.exec("BEGIN EXCLUSIVE");
    std::thread release([&other] {
        std::this_thread::sleep_for(400ms);
        other.exec("COMMIT");
    });
    const auto start = std::chrono::steady_clock::now();
    const bool inserted = db.insertShapeFileInfo({.quellpfad = "wartet"}, ui);
    const auto waited = std::chrono::steady_clock::now() - start;
    release.join();
    EXPECT_TRUE(inserted);
    EXPECT_GE(waited, 300ms);
    EXPECT_TRUE(ui.asked.empty());
    EXPECT_EQ(db.lastShapeFileId(), 1);
}

TEST_F(ErrorDb, LockHeldBeyondTheTimeoutFailsAndForgetsTheLastId) {
    ErrorDatabase db(200ms);
    ASSERT_TRUE(db.openErrorDatabase(dir.path(), ui));
    ASSERT_TRUE(db.insertShapeFileInfo({.quellpfad = "erste"}, ui));
    ASSERT_EQ(db.lastShapeFileId(), 1);
    Raw other(file());
    other.exec("BEGIN EXCLUSIVE");
    EXPECT_FALSE(db.insertShapeFileInfo({.quellpfad = "zweite"}, ui));
    other.exec("COMMIT");
    // An error row now must not land on the first file's row.
    EXPECT_EQ(db.lastShapeFileId(), 0);
    ASSERT_EQ(ui.messageTexts().size(), 1u);
    EXPECT_EQ(titles(), std::vector<std::string>{"Fehler"});
    EXPECT_NE(ui.messageTexts()[0].find("locked"), std::string::npos) << ui.messageTexts()[0];
    EXPECT_EQ(Raw(file()).column("SELECT Quellpfad FROM tbl_ShapefileInfo"), std::vector<std::string>{"erste"});
}

TEST_F(ErrorDb, GarbageFileIsLeftAlone) {
    // A page of another database format: a header text, then zeros.
    std::string other(4096, '\0');
    other.replace(4, 16, "Fremdes Format 1");
    test::writeFile(file(), other);
    expectRefusedUntouched("keine Fehlerdatenbank");
}

TEST_F(ErrorDb, OtherSqliteDatabaseIsLeftAlone) {
    Raw(file()).exec("CREATE TABLE kunden (name TEXT); INSERT INTO kunden VALUES ('Meier')");
    expectRefusedUntouched("tbl_ShapefileInfo fehlt");
}

TEST_F(ErrorDb, TablesWithOtherFieldsAreLeftAlone) {
    Raw(file()).exec(
        "CREATE TABLE tbl_ShapefileInfo (AUTOID INTEGER PRIMARY KEY AUTOINCREMENT, Quellpfad TEXT, Zielpfad TEXT, "
        "AnzahlShapesSoll TEXT, AnzahlShapesIst TEXT, AnzahlDBaseDatensaetze TEXT, Pruefgenauigkeit TEXT, "
        "ToleranzSplitterflaechen TEXT, ZusaetzlicheLoeschen TEXT, IDVerwenden TEXT);"
        "CREATE TABLE tbl_ErrorInfo (AUTOID INTEGER, Kuerzel TEXT, PolygonID TEXT, Bemerkungen TEXT)");
    expectRefusedUntouched("tbl_ErrorInfo hat nicht die Felder");
}

TEST_F(ErrorDb, EmptyFileBecomesTheDatabase) {
    test::writeFile(file(), "");
    ErrorDatabase db;
    ASSERT_TRUE(db.openErrorDatabase(dir.path(), ui));
    EXPECT_TRUE(db.insertShapeFileInfo({.quellpfad = "a"}, ui));
    EXPECT_TRUE(ui.asked.empty());
}

TEST_F(ErrorDb, NameTakenByAFolder) {
    fs::create_directory(file());
    ErrorDatabase db;
    EXPECT_FALSE(db.openErrorDatabase(dir.path(), ui));
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Der Datenbankname ist schon vorhanden!"});
    EXPECT_TRUE(fs::is_empty(file()));
}

// A database that cannot be opened at start is named in the program log with
// the very text of the box, since the box is gone once the run starts.
TEST_F(ErrorDb, OpenFailureGoesToTheProgramLogAsShown) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> arrange;  // given the database file
        std::string folder;  // below dir; empty: dir itself
    };
    const Case cases[] = {
        {"FolderInTheWay", [](const fs::path& f) { fs::create_directory(f); }, ""},
        {"NotADatabase", [](const fs::path& f) { test::writeFile(f, "kein SQLite, nur Text"); }, ""},
        {"ForeignTables", [](const fs::path& f) { Raw(f).exec("CREATE TABLE fremd (x)"); }, ""},
        {"MissingProgramFolder", [](const fs::path&) {}, "fehlt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(file());
        ui.asked.clear();
        c.arrange(file());
        const fs::path logFolder = dir / "protokoll";
        fs::create_directories(logFolder);
        const LogFile log(logFolder / "plyvet.log");
        ASSERT_TRUE(log.create());
        ErrorDatabase db;
        EXPECT_FALSE(db.openErrorDatabase(c.folder.empty() ? dir.path() : dir / c.folder, ui, &log));
        ASSERT_EQ(ui.messageTexts().size(), 1u);
        EXPECT_EQ(test::readFile(log.path()), test::utf8ToCp1252(ui.messageTexts()[0] + "\r\n"));
    }

    // An opened database leaves the log alone.
    fs::remove_all(file());
    ui.asked.clear();
    const LogFile log(dir / "protokoll" / "plyvet.log");
    ASSERT_TRUE(log.create());
    ErrorDatabase db;
    EXPECT_TRUE(db.openErrorDatabase(dir.path(), ui, &log));
    EXPECT_TRUE(ui.asked.empty());
    EXPECT_EQ(test::readFile(log.path()), "");
}

TEST_F(ErrorDb, MissingFolderIsReported) {
    ErrorDatabase db;
    EXPECT_FALSE(db.openErrorDatabase(dir / "fehlt", ui));
    EXPECT_EQ(titles(), std::vector<std::string>{"Fehler"});
    EXPECT_FALSE(fs::exists(dir / "fehlt"));
}

// Two instances starting at once on a missing file: one creates the tables,
// the other waits for its lock and then finds them.
TEST_F(ErrorDb, TwoInstancesCreateOneSchema) {
    ScriptedUi ui2;
    ErrorDatabase a;
    ErrorDatabase b;
    bool okA = false;
    bool okB = false;
    std::thread t([&] { okA = a.openErrorDatabase(dir.path(), ui); });
    okB = b.openErrorDatabase(dir.path(), ui2);
    t.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
    EXPECT_TRUE(ui.asked.empty());
    EXPECT_TRUE(ui2.asked.empty());
    EXPECT_TRUE(a.insertShapeFileInfo({.quellpfad = "a"}, ui));
    EXPECT_TRUE(b.insertShapeFileInfo({.quellpfad = "b"}, ui2));
    EXPECT_EQ(a.lastShapeFileId() + b.lastShapeFileId(), 3);
}

}  // namespace
}  // namespace plyvet
