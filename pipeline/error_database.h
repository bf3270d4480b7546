#pragma once
// The error database "Plyvet.mdb" in the program folder: one row per
// processed shapefile (or refused file name) in "tbl_ShapefileInfo", and the
// errors recorded for it in "tbl_ErrorInfo".
//
// The file is an SQLite database. Schema (created once, in one transaction):
//   tbl_ShapefileInfo(AUTOID INTEGER PRIMARY KEY AUTOINCREMENT, Quellpfad,
//       Zielpfad, AnzahlShapesSoll, AnzahlShapesIst, AnzahlDBaseDatensaetze,
//       Pruefgenauigkeit, ToleranzSplitterflaechen, ZusaetzlicheLoeschen,
//       IDVerwenden)                          -- text fields, default ''
//   unique index AUTOIDIndex on tbl_ShapefileInfo(AUTOID)
//   tbl_ErrorInfo(AUTOID, PolygonID, Kuerzel, Bemerkungen)
//       constraint ID_Relation: FOREIGN KEY(AUTOID) REFERENCES
//       tbl_ShapefileInfo(AUTOID) ON UPDATE CASCADE ON DELETE CASCADE
//
// Foreign keys are switched on for every connection, so deleting a shapefile
// row deletes its error rows. Each insert is its own transaction. A busy
// timeout lets a second program instance wait for the other's write instead
// of failing at once.
//
// An existing file is only ever written to when it is an SQLite database with
// both tables and their fields in order, or an SQLite database without any
// table (or an empty file), in which case the schema is created in it. Any
// other file of that name (a database of another format or program, garbage)
// is refused with a message and left exactly as it was.

#include "pipeline/log_file.h"
#include "pipeline/ui.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;

namespace plyvet {

inline constexpr std::string_view kErrorDatabaseName = "Plyvet.mdb";

// "<folder>/<name>", with ".mdb" appended when `name` does not end in it
// (compared ignoring case). A folder with or without trailing separator gives
// the same path.
std::filesystem::path errorDatabasePath(const std::filesystem::path& folder,
                                        std::string_view name = kErrorDatabaseName);

// One row of "tbl_ShapefileInfo", field for field. The initializers let a
// caller name only the fields it fills: {.quellpfad = path}.
struct ShapeFileInfo {
    std::string quellpfad{};
    std::string zielpfad{};
    std::string anzahlShapesSoll{};
    std::string anzahlShapesIst{};
    std::string anzahlDBaseDatensaetze{};
    std::string pruefgenauigkeit{};
    std::string toleranzSplitterflaechen{};
    std::string zusaetzlicheLoeschen{};
    std::string idVerwenden{};
};

class ErrorDatabase {
public:
    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};

    ErrorDatabase() = default;
    explicit ErrorDatabase(std::chrono::milliseconds busyTimeout) : busyTimeout_(busyTimeout) {}
    ~ErrorDatabase();
    ErrorDatabase(ErrorDatabase&&) noexcept;
    ErrorDatabase& operator=(ErrorDatabase&&) noexcept;
    ErrorDatabase(const ErrorDatabase&) = delete;
    ErrorDatabase& operator=(const ErrorDatabase&) = delete;

    // Opens "<programFolder>/<name>", creating it with its schema when it does
    // not exist. An open database is closed first. On failure shows the
    // message through `ui`, appends the same text to `programLog` when one is
    // given (the box is gone after the start, the log keeps why no rows were
    // recorded) and returns false; the object is then closed:
    //   - the name is taken by something that is not a file (a folder):
    //     "Der Datenbankname ist schon vorhanden!";
    //   - anything else: a box titled "Fehler",
    //     "Es ist der Fehler:" CRLF "\"<description>\" aufgetreten.".
    bool openErrorDatabase(const std::filesystem::path& programFolder, Ui& ui, const LogFile* programLog = nullptr,
                           std::string_view name = kErrorDatabaseName);

    bool isOpen() const { return db_ != nullptr; }
    const std::filesystem::path& path() const { return path_; }
    void close();

    // Adds a row and remembers its AUTOID in lastShapeFileId(). On failure
    // shows the "Fehler" box, resets lastShapeFileId() to 0 (so that an error
    // row cannot be attached to an earlier file) and returns false. On a
    // closed database returns false without a message: the failure was shown
    // when opening.
    bool insertShapeFileInfo(const ShapeFileInfo& row, Ui& ui);

    // Adds an error row for the shapefile row `autoId`. A row that does not
    // exist is refused by the relation (the "Fehler" box, false). On a closed
    // database returns false without a message.
    bool insertErrorInfo(std::int64_t autoId, std::string_view polygonId, std::string_view kuerzel,
                         std::string_view bemerkungen, Ui& ui);

    // AUTOID of the last shapefile row this object inserted; 0 before the first.
    std::int64_t lastShapeFileId() const { return lastShapeFileId_; }

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };

    std::unique_ptr<sqlite3, Closer> db_;
    std::filesystem::path path_;
    std::chrono::milliseconds busyTimeout_ = kDefaultBusyTimeout;
    std::int64_t lastShapeFileId_ = 0;
};

}  // namespace plyvet
