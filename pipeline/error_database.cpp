#include "pipeline/error_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <span>
#include <stdexcept>
#include <vector>

namespace plyvet {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kShapefileTable = "tbl_ShapefileInfo";
constexpr std::string_view kErrorTable = "tbl_ErrorInfo";

constexpr std::array<std::string_view, 10> kShapefileFields = {
    "AUTOID",           "Quellpfad",        "Zielpfad",
    "AnzahlShapesSoll", "AnzahlShapesIst",  "AnzahlDBaseDatensaetze",
    "Pruefgenauigkeit", "ToleranzSplitterflaechen", "ZusaetzlicheLoeschen",
    "IDVerwenden"};
constexpr std::array<std::string_view, 4> kErrorFields = {"AUTOID", "PolygonID", "Kuerzel", "Bemerkungen"};

// Tables, index and relation in the order they are built. The text fields
// may be empty; '' is their default, so a row never holds NULL where the
// program wrote nothing.
constexpr const char* kSchema =
    "CREATE TABLE tbl_ShapefileInfo ("
    " AUTOID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Quellpfad TEXT DEFAULT '',"
    " Zielpfad TEXT DEFAULT '',"
    " AnzahlShapesSoll TEXT DEFAULT '',"
    " AnzahlShapesIst TEXT DEFAULT '',"
    " AnzahlDBaseDatensaetze TEXT DEFAULT '',"
    " Pruefgenauigkeit TEXT DEFAULT '',"
    " ToleranzSplitterflaechen TEXT DEFAULT '',"
    " ZusaetzlicheLoeschen TEXT DEFAULT '',"
    " IDVerwenden TEXT DEFAULT '');"
    "CREATE UNIQUE INDEX AUTOIDIndex ON tbl_ShapefileInfo(AUTOID);"
    "CREATE TABLE tbl_ErrorInfo ("
    " AUTOID INTEGER,"
    " PolygonID TEXT DEFAULT '',"
    " Kuerzel TEXT DEFAULT '',"
    " Bemerkungen TEXT DEFAULT '',"
    " CONSTRAINT ID_Relation FOREIGN KEY(AUTOID) REFERENCES tbl_ShapefileInfo(AUTOID)"
    " ON UPDATE CASCADE ON DELETE CASCADE);";

// The first 16 bytes of every SQLite database file.
constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};

// A failure inside this module; caught at each public operation and shown.
struct DbError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct StmtFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
    throw DbError(what + " (" + (db != nullptr ? sqlite3_errmsg(db) : "out of memory") + ")");
}

Stmt prepare(sqlite3* db, std::string_view sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        fail(db, "Eine Datenbankanweisung kann nicht vorbereitet werden");
    }
    return Stmt(raw);
}

void exec(sqlite3* db, const char* sql, const std::string& what) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(db, what);
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::string columnText(sqlite3_stmt* s, int column) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return p != nullptr ? std::string(p) : std::string();
}

// A write transaction. BEGIN IMMEDIATE takes the write lock at once (waiting
// up to the busy timeout), so two instances never both read "no tables" and
// then both create them. Rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) {
        exec(db_, "BEGIN IMMEDIATE", "Die Datenbank kann nicht zum Schreiben gesperrt werden");
    }
    ~Transaction() {
        if (db_ != nullptr) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        exec(db_, "COMMIT", "Die Änderung kann nicht gespeichert werden");
        db_ = nullptr;
    }

private:
    sqlite3* db_;
};

enum class Schema { Ours, None, Foreign };

struct SchemaState {
    Schema kind = Schema::None;
    std::string reason;  // for Foreign: what does not fit
};

// Names and key flag of a table's columns in order; empty when it does not exist.
struct Column {
    std::string name;
    std::string type;
    bool primaryKey = false;
};

std::vector<Column> tableColumns(sqlite3* db, std::string_view table) {
    Stmt s = prepare(db, "PRAGMA table_info(" + std::string(table) + ")");
    std::vector<Column> columns;
    int rc = 0;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        columns.push_back({columnText(s.get(), 1), columnText(s.get(), 2), sqlite3_column_int(s.get(), 5) == 1});
    }
    if (rc != SQLITE_DONE) fail(db, "Die Felder der Tabelle " + std::string(table) + " können nicht gelesen werden");
    return columns;
}

template <std::size_t N>
bool sameFields(const std::vector<Column>& columns, const std::array<std::string_view, N>& expected) {
    return columns.size() == N && std::equal(columns.begin(), columns.end(), expected.begin(),
                                             [](const Column& c, std::string_view e) { return equalsIgnoreCase(c.name, e); });
}

std::string fieldList(std::span<const std::string_view> fields) {
    std::string out;
    for (const auto f : fields) {
        if (!out.empty()) out += ", ";
        out += f;
    }
    return out;
}

SchemaState readSchema(sqlite3* db) {
    Stmt s = prepare(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
    if (sqlite3_step(s.get()) != SQLITE_ROW) fail(db, "Der Inhalt der Datenbank kann nicht gelesen werden");
    if (sqlite3_column_int(s.get(), 0) == 0) return {Schema::None, {}};

    const auto info = tableColumns(db, kShapefileTable);
    if (!sameFields(info, kShapefileFields)) {
        return {Schema::Foreign, info.empty() ? "die Tabelle tbl_ShapefileInfo fehlt"
                                              : "die Tabelle tbl_ShapefileInfo hat nicht die Felder " +
                                                    fieldList(kShapefileFields)};
    }
    // The AUTOID read back after an insert is the row id; it must be the key.
    if (!info.front().primaryKey || !equalsIgnoreCase(info.front().type, "INTEGER")) {
        return {Schema::Foreign, "AUTOID ist nicht der Schlüssel der Tabelle tbl_ShapefileInfo"};
    }
    const auto errors = tableColumns(db, kErrorTable);
    if (!sameFields(errors, kErrorFields)) {
        return {Schema::Foreign, errors.empty() ? "die Tabelle tbl_ErrorInfo fehlt"
                                                : "die Tabelle tbl_ErrorInfo hat nicht die Felder " +
                                                      fieldList(kErrorFields)};
    }
    return {Schema::Ours, {}};
}

// True when the file starts like an SQLite database. An empty file counts as
// a new database (SQLite leaves one behind when creation fails before the first page).
bool looksLikeSqlite(const fs::path& file, std::uintmax_t size) {
    if (size == 0) return true;
    std::ifstream in(file, std::ios::binary);
    std::array<char, 16> head{};
    in.read(head.data(), head.size());
    return in.gcount() == static_cast<std::streamsize>(head.size()) &&
           std::string_view(head.data(), head.size()) == kSqliteMagic;
}

Message errorMessage(std::string_view description) {
    return {"Es ist der Fehler:\r\n\"" + std::string(description) + "\" aufgetreten.", "Fehler"};
}

void showError(Ui& ui, std::string_view description) { ui.message(errorMessage(description)); }

bool endsWithIgnoreCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && equalsIgnoreCase(s.substr(s.size() - suffix.size()), suffix);
}

void bindText(sqlite3* db, sqlite3_stmt* s, int index, std::string_view value) {
    if (sqlite3_bind_text(s, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT) != SQLITE_OK) {
        fail(db, "Ein Wert kann nicht übergeben werden");
    }
}

}  // namespace

fs::path errorDatabasePath(const fs::path& folder, std::string_view name) {
    std::string file(name);
    if (!endsWithIgnoreCase(file, ".mdb")) file += ".mdb";
    // "dir" and "dir/" both give "dir/<file>".
    return folder / file;
}

void ErrorDatabase::Closer::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

ErrorDatabase::~ErrorDatabase() = default;
ErrorDatabase::ErrorDatabase(ErrorDatabase&&) noexcept = default;
ErrorDatabase& ErrorDatabase::operator=(ErrorDatabase&&) noexcept = default;

void ErrorDatabase::close() {
    db_.reset();
    lastShapeFileId_ = 0;
}

bool ErrorDatabase::openErrorDatabase(const fs::path& programFolder, Ui& ui, const LogFile* programLog,
                                      std::string_view name) {
    close();
    path_ = errorDatabasePath(programFolder, name);
    const auto refuse = [&](const Message& message) {
        ui.message(message);
        if (programLog != nullptr) programLog->append(message.text);
        return false;
    };
    try {
        std::error_code ec;
        const fs::file_status status = fs::status(path_, ec);
        int flags = SQLITE_OPEN_READWRITE;
        if (fs::exists(status)) {
            if (!fs::is_regular_file(status)) return refuse({"Der Datenbankname ist schon vorhanden!"});
            const std::uintmax_t size = fs::file_size(path_, ec);
            if (ec) throw DbError("Die Datei " + path_.string() + " kann nicht gelesen werden (" + ec.message() + ")");
            if (!looksLikeSqlite(path_, size)) {
                throw DbError("Die Datei " + path_.string() +
                              " ist keine Fehlerdatenbank von Polyvet (keine SQLite-Datenbank); sie bleibt unverändert");
            }
        } else {
            flags |= SQLITE_OPEN_CREATE;
        }

        // SQLite takes file names in UTF-8 on every platform.
        const std::u8string utf8Path = path_.u8string();
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(reinterpret_cast<const char*>(utf8Path.c_str()), &raw, flags, nullptr);
        std::unique_ptr<sqlite3, Closer> db(raw);
        if (rc != SQLITE_OK) fail(db.get(), "Die Datenbank " + path_.string() + " kann nicht geöffnet werden");
        sqlite3_extended_result_codes(db.get(), 1);
        sqlite3_busy_timeout(db.get(), static_cast<int>(busyTimeout_.count()));

        // Without this the cascading relation is only decoration. A library
        // built without foreign-key support ignores the pragma silently, so
        // read it back.
        exec(db.get(), "PRAGMA foreign_keys = ON", "Die Beziehungen können nicht eingeschaltet werden");
        {
            Stmt s = prepare(db.get(), "PRAGMA foreign_keys");
            if (sqlite3_step(s.get()) != SQLITE_ROW || sqlite3_column_int(s.get(), 0) != 1) {
                throw DbError("Die Datenbank-Bibliothek unterstützt keine Beziehungen zwischen Tabellen");
            }
        }

        SchemaState state = readSchema(db.get());
        if (state.kind == Schema::None) {
            Transaction tx(db.get());
            // Another instance may have created the tables while we waited for the lock.
            state = readSchema(db.get());
            if (state.kind == Schema::None) {
                exec(db.get(), kSchema, "Die Tabellen der Datenbank " + path_.string() + " können nicht angelegt werden");
                state.kind = Schema::Ours;
            }
            tx.commit();
        }
        if (state.kind == Schema::Foreign) {
            throw DbError("Die Datei " + path_.string() + " ist keine Fehlerdatenbank von Polyvet (" + state.reason +
                          "); sie bleibt unverändert");
        }
        db_ = std::move(db);
        return true;
    } catch (const DbError& e) {
        return refuse(errorMessage(e.what()));
    }
}

bool ErrorDatabase::insertShapeFileInfo(const ShapeFileInfo& row, Ui& ui) {
    if (!db_) return false;
    sqlite3* db = db_.get();
    try {
        Transaction tx(db);
        Stmt s = prepare(db,
                         "INSERT INTO tbl_ShapefileInfo (Quellpfad, Zielpfad, AnzahlShapesSoll, AnzahlShapesIst,"
                         " AnzahlDBaseDatensaetze, Pruefgenauigkeit, ToleranzSplitterflaechen, ZusaetzlicheLoeschen,"
                         " IDVerwenden) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        const std::array<const std::string*, 9> values = {
            &row.quellpfad,        &row.zielpfad,         &row.anzahlShapesSoll,
            &row.anzahlShapesIst,  &row.anzahlDBaseDatensaetze, &row.pruefgenauigkeit,
            &row.toleranzSplitterflaechen, &row.zusaetzlicheLoeschen, &row.idVerwenden};
        for (std::size_t i = 0; i < values.size(); ++i) bindText(db, s.get(), static_cast<int>(i + 1), *values[i]);
        if (sqlite3_step(s.get()) != SQLITE_DONE) fail(db, "Der Datensatz in tbl_ShapefileInfo kann nicht angelegt werden");
        const std::int64_t id = sqlite3_last_insert_rowid(db);
        s.reset();
        tx.commit();
        lastShapeFileId_ = id;
        return true;
    } catch (const DbError& e) {
        lastShapeFileId_ = 0;
        showError(ui, e.what());
        return false;
    }
}

bool ErrorDatabase::insertErrorInfo(std::int64_t autoId, std::string_view polygonId, std::string_view kuerzel,
                                    std::string_view bemerkungen, Ui& ui) {
    if (!db_) return false;
    sqlite3* db = db_.get();
    try {
        Transaction tx(db);
        Stmt s = prepare(db, "INSERT INTO tbl_ErrorInfo (AUTOID, PolygonID, Kuerzel, Bemerkungen) VALUES (?, ?, ?, ?)");
        if (sqlite3_bind_int64(s.get(), 1, autoId) != SQLITE_OK) fail(db, "Ein Wert kann nicht übergeben werden");
        bindText(db, s.get(), 2, polygonId);
        bindText(db, s.get(), 3, kuerzel);
        bindText(db, s.get(), 4, bemerkungen);
        if (sqlite3_step(s.get()) != SQLITE_DONE) fail(db, "Der Datensatz in tbl_ErrorInfo kann nicht angelegt werden");
        s.reset();
        tx.commit();
        return true;
    } catch (const DbError& e) {
        showError(ui, e.what());
        return false;
    }
}

}  // namespace plyvet
