#pragma once
// Record access to the geometry file (.shp) and its index (.shx), one record
// at a time.
//
// Neither side keeps anything per record: the reader looks up the index
// entry of a record when the record is asked for, the writer appends each
// record and its index entry to the two files as it comes and writes the
// file lengths and the bounding box into both headers at close. Memory is
// the largest single record plus fixed buffers, whatever the record count.
//
// Layout: both files start with a 100-byte header (file code 9994 and the
// file length in 16-bit words, big-endian, at 0 and 24; version 1000 and
// shape type, little-endian, at 28 and 32; the bounding box as eight
// little-endian doubles from 36: x min, y min, x max, y max, z and m ranges).
// In the .shp every record is an 8-byte header (record number from 1 and
// content length in words, big-endian) and its content; the .shx holds one
// 8-byte entry per record (offset and content length in words, big-endian).
//
// The checks of a file and of each record, and the words of their failure
// texts, are those the readers of this layer have always reported, so the
// check logs of damaged files read as before.

#include "pipeline/gis/geometry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plyvet::gis::shp {

inline constexpr std::size_t kHeaderSize = 100;
inline constexpr std::size_t kRecordHeaderSize = 8;
inline constexpr std::size_t kIndexEntrySize = 8;

// The thread's write budget of the fault tests (testing::limitWrites), in
// bytes; std::nullopt when writes are not limited. Shared by every writer of
// this layer, the attribute file's included.
std::optional<std::uint64_t>& writeBudget();
// Of `want` bytes, how many may still be written; they are taken from the budget.
std::size_t takeWriteBudget(std::size_t want);

// An open file descriptor, closed with its owner.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now; false (errno set) when the close reported an error.
    bool close();

private:
    int fd_ = -1;
};

// Where a record lies in the .shp, in bytes: its 8-byte header starts at
// `offset`, its content of `length` bytes follows.
struct IndexEntry {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// One record's shape as stored, read in place from the record's bytes. Only
// the counts and the type are decoded up front; coordinates are decoded
// when asked for.
class ShapeView {
public:
    int type = 0;      // shape type of the record content
    int parts = 0;     // 0 for types without parts
    int points = 0;
    int partStart(int k) const;
    double x(int i) const;
    double y(int i) const;

private:
    friend class RecordReader;
    const unsigned char* partStarts_ = nullptr;
    const unsigned char* xy_ = nullptr;
};

class RecordReader {
public:
    // Opens the two files of one shapefile, whose 100-byte headers have been
    // found to start with the file code. std::nullopt with `why` when the
    // files cannot be opened, the index header's record count is out of
    // range, the index is shorter than its count or an entry's offset or
    // length cannot be a record's. The whole index is read once here, a
    // block at a time, and nothing of it kept.
    static std::optional<RecordReader> open(const std::filesystem::path& shpFile,
                                            const std::filesystem::path& shxFile, std::string& why);

    int recordCount() const { return records_; }
    // Shape type and box as the index header gives them.
    int shapeType() const { return shapeType_; }
    std::array<double, 4> bounds() const { return box_; }  // x min, y min, x max, y max

    // The index entry of record `index` (0 <= index < recordCount()); false
    // with `why` when the index can no longer be read there.
    bool entry(int index, IndexEntry& out, std::string& why) const;

    // Reads `size` bytes at `offset` of the .shp into the reader's record
    // buffer; false when the file ends before.
    bool read(std::uint64_t offset, std::size_t size) const;
    std::span<const unsigned char> buffer() const { return {buffer_.data(), bufferUsed_}; }

    // Decodes the record last read (header and content, `entitySize` bytes)
    // as record `index`. false with `why` when its counts do not fit the
    // record: too short for its type, more than 10^7 parts or 5 * 10^7
    // points, more bytes needed than it has, or part starts outside the
    // points or not increasing.
    bool decode(int index, ShapeView& out, std::string& why) const;

private:
    RecordReader() = default;
    Fd shp_;
    Fd shx_;
    int records_ = 0;
    int shapeType_ = 0;
    std::array<double, 4> box_{};
    mutable std::vector<unsigned char> buffer_;
    mutable std::size_t bufferUsed_ = 0;
    // A block of index entries read ahead, as records are mostly asked for in order.
    mutable std::vector<unsigned char> entries_;
    mutable int entriesFirst_ = 0;
    mutable int entriesCount_ = 0;
};

class RecordWriter {
public:
    // Creates (or empties) both files and writes their provisional headers.
    // std::nullopt with `why` when a file cannot be created or written.
    static std::optional<RecordWriter> create(const std::filesystem::path& shpFile,
                                              const std::filesystem::path& shxFile, std::string& why);
    RecordWriter(RecordWriter&&) noexcept = default;
    RecordWriter& operator=(RecordWriter&&) noexcept = default;
    ~RecordWriter() = default;  // a writer that was not closed leaves its files as they are

    // Bytes a polygon record takes in the .shp with its header, each ring
    // stored with one closing point more than it has.
    static std::uint64_t polygonRecordSize(const Polygon& polygon);

    // Appends a polygon record (each ring closed by a repeat of its first
    // point; the caller sees to it that no ring is empty) or, for a polygon
    // without parts, the null shape. false with `why` when the write failed
    // or the .shp would grow past the 4 GiB its offsets can address (then
    // nothing is written).
    bool append(const Polygon& polygon, std::string& why);

    // Writes what is buffered, puts file lengths and the bounding box into
    // both headers and closes the files. false with `why` on any failure.
    bool close(std::string& why);

    int recordCount() const { return records_; }

private:
    RecordWriter() = default;
    struct Out {
        std::filesystem::path path;
        Fd fd;
        std::vector<unsigned char> buffer;  // fixed capacity, flushed when full
        std::uint64_t size = 0;             // logical file size, buffered bytes included
        bool failed = false;
        std::string why;
        bool put(const unsigned char* data, std::size_t n);
        bool flush();
    };
    void extendBounds(const Polygon& polygon);
    std::array<unsigned char, kHeaderSize> header(std::uint64_t fileSize) const;

    Out shp_;
    Out shx_;
    int records_ = 0;
    std::array<double, 4> box_{};  // x min, y min, x max, y max of everything written
    bool closed_ = false;
    std::vector<unsigned char> record_;  // the record being written, reused
};

}  // namespace plyvet::gis::shp
