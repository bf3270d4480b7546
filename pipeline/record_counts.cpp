#include "pipeline/record_counts.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <limits>
#include <optional>
#include <span>

namespace plyvet {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kShxHeaderBytes = 100;
constexpr std::uintmax_t kShxEntryBytes = 8;
// The fixed part of a dBase header, before the field descriptors.
constexpr std::uintmax_t kDbfFixedHeaderBytes = 32;
constexpr std::int64_t kMaxCount = std::numeric_limits<std::int32_t>::max();

// What one of the two files yielded: a count (0 when it could not be read) and
// the check-log lines of its faults; no faults means the count is sound.
struct FileCount {
    std::int64_t count = 0;
    std::vector<std::string> faults;
};

std::string withEnding(const fs::path& base, std::string_view ending) {
    return base.native() + std::string(ending);
}

// The file "<base><ending>", or with the ending in capitals, as the reader
// finds its companions.
std::optional<fs::path> findFile(const fs::path& base, std::string_view lower, std::string_view upper) {
    std::error_code ec;
    for (const fs::path& candidate : {fs::path(withEnding(base, lower)), fs::path(withEnding(base, upper))}) {
        if (fs::is_regular_file(candidate, ec)) return candidate;
    }
    return std::nullopt;
}

// Reads up to `out.size()` bytes from the start of `file`; returns how many
// could be read (never more than the file holds).
std::size_t readHead(const fs::path& file, std::span<unsigned char> out, bool& opened) {
    std::ifstream in(file, std::ios::binary);
    opened = static_cast<bool>(in);
    if (!opened) return 0;
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<std::size_t>(in.gcount());
}

std::uint32_t littleEndian32(const unsigned char* b) {
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
}

std::uint16_t littleEndian16(const unsigned char* b) {
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

std::string num(std::uintmax_t n) { return std::to_string(n); }

FileCount indexCount(const fs::path& base, std::string_view baseName) {
    FileCount result;
    const auto file = findFile(base, ".shx", ".SHX");
    if (!file) {
        result.faults.push_back("Indexdatei " + std::string(baseName) + ".shx nicht vorhanden.");
        return result;
    }
    const std::string shown = file->filename().string();
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(*file, ec);
    if (ec) {
        result.faults.push_back("Indexdatei " + shown + " kann nicht gelesen werden ( " + ec.message() + " ).");
        return result;
    }
    if (size < kShxHeaderBytes) {
        result.faults.push_back("Indexdatei " + shown + " ist beschädigt: " + num(size) +
                                " Byte sind kürzer als ihr Dateikopf von 100 Byte.");
        return result;
    }
    const std::uintmax_t entries = (size - kShxHeaderBytes) / kShxEntryBytes;
    result.count = entries > static_cast<std::uintmax_t>(kMaxCount) ? kMaxCount : static_cast<std::int64_t>(entries);
    if ((size - kShxHeaderBytes) % kShxEntryBytes != 0) {
        result.faults.push_back("Indexdatei " + shown + " ist beschädigt: ihre Länge von " + num(size) +
                                " Byte ist nicht 100 Byte Dateikopf und 8 Byte je Datensatz.");
    } else if (entries > static_cast<std::uintmax_t>(kMaxCount)) {
        result.faults.push_back("Indexdatei " + shown + " ist beschädigt: sie nennt mehr als " + num(kMaxCount) +
                                " Datensätze.");
    }
    return result;
}

FileCount dbaseCount(const fs::path& base, std::string_view baseName) {
    FileCount result;
    const auto file = findFile(base, ".dbf", ".DBF");
    if (!file) {
        result.faults.push_back("dBase-File " + std::string(baseName) + ".dbf nicht vorhanden.");
        return result;
    }
    const std::string shown = file->filename().string();
    const std::string damaged = "dBase-File " + shown + " ist beschädigt: ";
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(*file, ec);
    if (ec) {
        result.faults.push_back("dBase-File " + shown + " kann nicht gelesen werden ( " + ec.message() + " ).");
        return result;
    }
    // Bytes 4-7 record count, 8-9 header length, 10-11 record length.
    std::array<unsigned char, 12> head{};
    bool opened = false;
    const std::size_t got = readHead(*file, head, opened);
    if (!opened) {
        result.faults.push_back("dBase-File " + shown + " kann nicht gelesen werden.");
        return result;
    }
    if (got >= 8) result.count = littleEndian32(&head[4]);
    if (size < kDbfFixedHeaderBytes || got < head.size()) {
        result.faults.push_back(damaged + num(size) + " Byte sind kürzer als sein Dateikopf von 32 Byte.");
        return result;
    }
    const std::uintmax_t headerLength = littleEndian16(&head[8]);
    const std::uintmax_t recordLength = littleEndian16(&head[10]);
    if (headerLength < kDbfFixedHeaderBytes) {
        result.faults.push_back(damaged + "die Kopflänge von " + num(headerLength) +
                                " Byte ist kleiner als 32 Byte.");
    } else if (headerLength > size) {
        result.faults.push_back(damaged + "die Kopflänge von " + num(headerLength) +
                                " Byte ist größer als die Datei (" + num(size) + " Byte).");
    } else if (recordLength == 0) {
        result.faults.push_back(damaged + "die Datensatzlänge ist 0 Byte.");
    } else {
        // A trailing end-of-file byte or a cut last row does not count as a row.
        const std::uintmax_t rows = (size - headerLength) / recordLength;
        const auto claimed = static_cast<std::uintmax_t>(result.count);
        if (claimed > rows) {
            result.faults.push_back(damaged + "der Dateikopf nennt " + num(claimed) +
                                    " Datensätze, die Datei enthält aber nur " + num(rows) + ".");
        } else if (result.count > kMaxCount) {
            result.faults.push_back(damaged + "der Dateikopf nennt mehr als " + num(kMaxCount) + " Datensätze.");
        }
    }
    return result;
}

int clampCount(std::int64_t n) { return n > kMaxCount ? static_cast<int>(kMaxCount) : static_cast<int>(n); }

}  // namespace

RecordCountOutcome decideRecordCounts(int actual, int target, int dbase, std::string_view baseName) {
    RecordCountOutcome out;
    out.actual = actual;
    out.target = target;
    out.dbase = dbase;
    const std::string shp = "Shapefile " + std::string(baseName) + ".shp: ";
    const auto stop = [&](std::string first, std::string second) {
        out.logLines.push_back(shp + first);
        out.logLines.push_back(shp + second);
        return out;
    };
    const std::string shapeAgreesWithDbase = "Anzahl Shape-Datensätze entspricht Anzahl dBase-Datensätze,";
    const std::string dbaseAgreesWithTarget = "Anzahl dBase-Datensätze entspricht Anzahl Soll-Datensätze,";

    if (actual == target && dbase == target) {
        if (actual == 0) {
            out.logLines.push_back("Shapefile " + std::string(baseName) + ".shp enthält keine Datensätze.");
            return out;
        }
        out.proceed = true;
        return out;
    }
    if (actual != target && dbase != target && actual != dbase) {
        return stop("Anzahl Shape-Datensätze entspricht weder Anzahl Soll-Datensätze,",
                    "noch Anzahl dBase-Datensätze.");
    }
    if (actual == target && dbase < actual) {
        return stop("Anzahl Shape-Datensätze entspricht Anzahl Soll-Datensätze,",
                    "ist aber höher als Anzahl dBase-Datensätze.");
    }
    if (actual == dbase && target > actual) return stop(shapeAgreesWithDbase, "ist aber geringer als Anzahl Soll-Datensätze.");
    if (actual == dbase && target < actual) return stop(shapeAgreesWithDbase, "ist aber höher als Anzahl Soll-Datensätze.");
    if (target == dbase && actual > dbase) {
        return stop(dbaseAgreesWithTarget, "ist aber geringer als Anzahl Shapefile-Datensätze.");
    }
    if (target == dbase && actual < dbase) {
        return stop(dbaseAgreesWithTarget, "ist aber höher als Anzahl Shapefile-Datensätze.");
    }
    // What is left is actual = target < dBase: the run walks only the records
    // the reader delivers, so the surplus rows are simply not copied.
    out.proceed = true;
    if (actual == target && dbase > actual) {
        out.truncated = true;
        out.logLines.push_back("dBase-File " + std::string(baseName) + ".dbf enthält mehr Datensätze als ");
        out.logLines.push_back("Shapefile " + std::string(baseName) +
                               ".shp. Die über die Anzahl der Shapefile-Datensätze");
        out.logLines.push_back(
            "hinausgehenden Datensätze des dBase-Files wurden im exportierten File abgeschnitten.");
    }
    return out;
}

RecordCountOutcome checkRecordCounts(const fs::path& pathWithoutExtension, int actualCount,
                                     std::string_view baseName) {
    const FileCount index = indexCount(pathWithoutExtension, baseName);
    const FileCount dbase = dbaseCount(pathWithoutExtension, baseName);
    const int actual = actualCount < 0 ? 0 : actualCount;

    std::vector<std::string> block = {
        "Anzahl Shapes (Soll): " + std::to_string(index.count),
        "Anzahl Shapes (Ist): " + std::to_string(actual),
        "Anzahl Datensätze in dbf-File: " + std::to_string(dbase.count),
    };
    std::vector<std::string> faults = index.faults;
    faults.insert(faults.end(), dbase.faults.begin(), dbase.faults.end());
    if (actualCount < 0) {
        faults.push_back("Shapefile " + std::string(baseName) + ".shp: die Anzahl der gelesenen Datensätze (" +
                         std::to_string(actualCount) + ") ist ungültig.");
    }

    RecordCountOutcome out;
    if (faults.empty()) {
        out = decideRecordCounts(actual, clampCount(index.count), clampCount(dbase.count), baseName);
    } else {
        out.actual = actual;
        out.target = clampCount(index.count);
        out.dbase = clampCount(dbase.count);
        out.logLines = std::move(faults);
        out.logLines.push_back("Shapefile " + std::string(baseName) + ".shp wird deshalb nicht bearbeitet.");
    }
    out.logLines.insert(out.logLines.begin(), block.begin(), block.end());
    return out;
}

}  // namespace plyvet
