#pragma once
// Helpers shared by the test suites: temporary folders, file digests, running
// the built programs, and GDAL's command-line tools as an independent writer
// and reader of shapefiles.
//
// Failures of the helpers themselves (a file that cannot be read, ogr2ogr
// refusing its input) throw std::runtime_error with a readable message, so a
// test that uses them fails at the line that went wrong.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plyvet::test {

// A fresh, empty folder under the system temp folder, removed with everything
// in it when the object goes. Setting PLYVET_KEEP_TEMP keeps it for a look
// after a failing run.
class TempDir {
public:
    explicit TempDir(std::string_view prefix = "plyvet-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    TempDir(TempDir&& other) noexcept;
    TempDir& operator=(TempDir&& other) noexcept;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// --- files --------------------------------------------------------------------
// All bytes of a file, unchanged (no newline translation, no recoding).
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view bytes);

// Splits `text` at every `terminator`; the terminators are not part of the
// lines. A last line without terminator is kept, an empty one is not. With the
// default CRLF a file that uses bare LF comes back as one line, so a test that
// compares lines also notices the wrong line ends.
std::vector<std::string> splitLines(std::string_view text, std::string_view terminator = "\r\n");
std::vector<std::string> readLines(const std::filesystem::path& path,
                                   std::string_view terminator = "\r\n");

// FNV-1a 64 of the file's bytes; throws when the file cannot be read.
std::uint64_t fileDigest(const std::filesystem::path& path);

// Digests of the files that belong to a shapefile and exist, keyed by their
// ending (".shp", ".shx", ".dbf", ".cpg", ".prj"). Two calls compare equal
// when no file of the set was changed, added or removed.
using FileSetDigest = std::map<std::string, std::uint64_t>;
FileSetDigest tripleDigest(const std::filesystem::path& shpPath);

// Windows-1252 <-> UTF-8, so expected German texts can be written in UTF-8
// source and compared with the bytes of a log or a dBase field. A character
// with no Windows-1252 form becomes "?"; an invalid UTF-8 byte too.
std::string utf8ToCp1252(std::string_view utf8);
std::string cp1252ToUtf8(std::string_view cp1252);

// --- programs -----------------------------------------------------------------
struct CommandResult {
    int exitCode = -1;      // exit status; 128 + signal number when killed; 127 when it could not start
    bool timedOut = false;  // killed after RunOptions::timeout
    std::string stdoutText;
    std::string stderrText;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

struct RunOptions {
    Environment env;                        // set (or replace) these variables
    std::filesystem::path workingDirectory; // empty: the test's own
    std::string stdinText;                  // fed to standard input, which is closed after it
    std::chrono::milliseconds timeout{std::chrono::minutes(2)};
};

// Runs argv[0] (searched in PATH when it has no slash) with the given
// arguments, directly, without a shell: arguments are never re-parsed.
CommandResult runCommand(const std::vector<std::string>& argv, const RunOptions& options);
CommandResult runCommand(const std::vector<std::string>& argv, const Environment& env = {});

// Path of a program of this build: $PLYVET_BIN/<name>, else the build's bin folder.
std::filesystem::path binPath(std::string_view name);

// --- GDAL as the independent writer and reader --------------------------------
// True when ogr2ogr and ogrinfo can be found in PATH.
bool haveOgr();

struct OgrField {
    std::string name;
    // A type of GDAL's CSV .csvt files: "Integer", "Integer(9)", "Integer64",
    // "Real", "Real(12.3)", "String(40)", "Date". The shapefile driver writes
    // "Integer(Boolean)" as N(1), not as a dBase logical field.
    std::string csvType;
};

struct OgrRow {
    std::string wkt;                  // POLYGON or MULTIPOLYGON; empty for a null shape
    std::vector<std::string> values;  // UTF-8; empty means null for numbers and dates
};

struct OgrOptions {
    // Text encoding of the .dbf ("CP1252", "UTF-8", ...); empty: GDAL's default.
    std::string encoding;
    // Keep the rings exactly as in the WKT. By default GDAL turns outer rings
    // clockwise and holes counter-clockwise, as a shapefile wants.
    bool keepRingOrder = false;
};

// Writes `outShp` (replacing it) with ogr2ogr from a CSV of WKT and typed
// columns. Throws with ogr2ogr's messages when it fails.
void ogrFromWkt(const std::filesystem::path& outShp, const std::vector<OgrField>& fields,
                const std::vector<OgrRow>& rows, const OgrOptions& options = {});

// Output of `ogrinfo -ro -al -so` (or with every feature when `features`);
// throws when ogrinfo fails or reports an error.
std::string ogrinfoSummary(const std::filesystem::path& shp, bool features = false);

}  // namespace plyvet::test
