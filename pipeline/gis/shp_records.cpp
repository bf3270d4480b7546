#include "pipeline/gis/shp_records.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plyvet::gis::shp {

namespace {

namespace fs = std::filesystem;

thread_local std::optional<std::uint64_t> tlsWriteBudget;

std::uint32_t getBe32(const unsigned char* b) {
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | std::uint32_t{b[3]};
}
std::uint32_t getLe32(const unsigned char* b) {
    return std::uint32_t{b[3]} << 24 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[1]} << 8 | std::uint32_t{b[0]};
}
double getLeDouble(const unsigned char* b) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = bits << 8 | b[i];
    }
    return std::bit_cast<double>(bits);
}
void putBe32(unsigned char* b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[i] = static_cast<unsigned char>(v >> (8 * (3 - i)));
    }
}
void putLe32(unsigned char* b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}
void putLeDouble(unsigned char* b, double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i) {
        b[i] = static_cast<unsigned char>(bits >> (8 * i));
    }
}

// pread until `n` bytes are in or the file ends; the bytes read.
std::size_t readFully(int fd, std::uint64_t offset, unsigned char* out, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, out + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool writeFully(int fd, const unsigned char* data, std::size_t n) {
    while (n > 0) {
        const ssize_t put = ::write(fd, data, n);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            if (put == 0) {
                errno = EIO;
            }
            return false;
        }
        data += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

std::string num(std::int64_t v) { return std::to_string(v); }

// Shape type families, as the record decoding treats them.
bool isPointType(int t) { return t == 1 || t == 11 || t == 21; }
bool isMultiPointType(int t) { return t == 8 || t == 18 || t == 28; }
bool isPartsType(int t) { return t == 3 || t == 5 || t == 13 || t == 15 || t == 23 || t == 25 || t == 31; }
bool hasZ(int t) { return t == 11 || t == 13 || t == 15 || t == 18 || t == 31; }

constexpr std::uint32_t kMaxPoints = 50'000'000;
constexpr std::uint32_t kMaxParts = 10'000'000;
constexpr int kMaxRecords = 256'000'000;
// From this count on, an index header is not believed beyond the entries its file holds.
constexpr int kTrustedRecordCount = 1024 * 1024;
constexpr int kEntriesPerBlock = 512;
constexpr std::size_t kWriteBuffer = 64 * 1024;
// Offsets are stored in 16-bit words in 32 bits; the readers take them as unsigned byte offsets.
constexpr std::uint64_t kMaxFileSize = UINT_MAX;

std::string corrupted(int index) { return "Corrupted .shp file : shape " + num(index); }

}  // namespace

std::optional<std::uint64_t>& writeBudget() { return tlsWriteBudget; }

std::size_t takeWriteBudget(std::size_t want) {
    if (!tlsWriteBudget) {
        return want;
    }
    const std::size_t allowed = static_cast<std::size_t>(std::min<std::uint64_t>(want, *tlsWriteBudget));
    *tlsWriteBudget -= allowed;
    return allowed;
}


// ---------------------------------------------------------------------------
// Fd

Fd::~Fd() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.release();
    }
    return *this;
}

bool Fd::close() {
    if (fd_ < 0) {
        return true;
    }
    return ::close(release()) == 0;
}

// ---------------------------------------------------------------------------
// ShapeView

int ShapeView::partStart(int k) const {
    return static_cast<int>(getLe32(partStarts_ + 4 * static_cast<std::size_t>(k)));
}
double ShapeView::x(int i) const { return getLeDouble(xy_ + 16 * static_cast<std::size_t>(i)); }
double ShapeView::y(int i) const { return getLeDouble(xy_ + 16 * static_cast<std::size_t>(i) + 8); }

// ---------------------------------------------------------------------------
// RecordReader

std::optional<RecordReader> RecordReader::open(const fs::path& shpFile, const fs::path& shxFile, std::string& why) {
    RecordReader r;
    r.shp_ = Fd(::open(shpFile.c_str(), O_RDONLY | O_CLOEXEC));
    if (!r.shp_) {
        why = "Unable to open " + shpFile.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    r.shx_ = Fd(::open(shxFile.c_str(), O_RDONLY | O_CLOEXEC));
    if (!r.shx_) {
        why = "Unable to open " + shxFile.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    unsigned char shpHead[kHeaderSize] = {};
    unsigned char shxHead[kHeaderSize] = {};
    if (readFully(r.shp_.get(), 0, shpHead, kHeaderSize) != kHeaderSize ||
        readFully(r.shx_.get(), 0, shxHead, kHeaderSize) != kHeaderSize) {
        why = ".shp or .shx file is unreadable, or corrupt.";
        return std::nullopt;
    }

    // The index length in words, its top bit ignored; a header shorter than
    // 50 words gives a negative count.
    const auto words = static_cast<int>(getBe32(shxHead + 24) & 0x7FFFFFFFu);
    int records = (words - 50) / 4;
    if (records < 0 || records > kMaxRecords) {
        why = "Record count in .shp header is " + num(records) +
              ", which seems unreasonable.  Assuming header is corrupt.";
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(r.shx_.get(), &st) != 0) {
        why = std::string("Cannot determine the size of the .shx file: ") + std::strerror(errno);
        return std::nullopt;
    }
    const auto shxSize = static_cast<std::uint64_t>(st.st_size);
    if (records >= kTrustedRecordCount && shxSize > kHeaderSize &&
        shxSize / 2 < static_cast<std::uint64_t>(records) * 4 + 50) {
        records = static_cast<int>((shxSize - kHeaderSize) / kIndexEntrySize);
    }
    if (shxSize < kHeaderSize + kIndexEntrySize * static_cast<std::uint64_t>(records)) {
        why = "Failed to read all values for " + num(records) + " records in .shx file: Success.";
        return std::nullopt;
    }
    // Every entry must be addressable before any record is read, as a
    // lying entry anywhere means the index cannot be trusted at all.
    std::vector<unsigned char> block(kEntriesPerBlock * kIndexEntrySize);
    for (int first = 0; first < records; first += kEntriesPerBlock) {
        const int count = std::min(kEntriesPerBlock, records - first);
        const std::size_t bytes = static_cast<std::size_t>(count) * kIndexEntrySize;
        if (readFully(r.shx_.get(), kHeaderSize + kIndexEntrySize * static_cast<std::uint64_t>(first), block.data(),
                      bytes) != bytes) {
            why = "Failed to read all values for " + num(records) + " records in .shx file: Success.";
            return std::nullopt;
        }
        for (int k = 0; k < count; ++k) {
            const unsigned char* e = block.data() + kIndexEntrySize * static_cast<std::size_t>(k);
            if (getBe32(e) > static_cast<std::uint32_t>(INT_MAX)) {
                why = "Invalid offset for entity " + num(first + k);
                return std::nullopt;
            }
            if (getBe32(e + 4) > static_cast<std::uint32_t>(INT_MAX / 2 - 4)) {
                why = "Invalid length for entity " + num(first + k);
                return std::nullopt;
            }
        }
    }
    // Type and box come from the index header: the two headers are written
    // alike, and where a damaged pair disagrees the index has always counted.
    // Of the type only its low byte is taken (every type code fits one).
    r.records_ = records;
    r.shapeType_ = shxHead[32];
    r.box_ = {getLeDouble(shxHead + 36), getLeDouble(shxHead + 44), getLeDouble(shxHead + 52),
              getLeDouble(shxHead + 60)};
    return std::optional<RecordReader>(std::move(r));
}

bool RecordReader::entry(int index, IndexEntry& out, std::string& why) const {
    if (index < entriesFirst_ || index >= entriesFirst_ + entriesCount_) {
        const int count = std::min(kEntriesPerBlock, records_ - index);
        entries_.resize(static_cast<std::size_t>(kEntriesPerBlock) * kIndexEntrySize);
        const std::size_t bytes = static_cast<std::size_t>(count) * kIndexEntrySize;
        entriesCount_ = 0;
        if (count <= 0 || readFully(shx_.get(), kHeaderSize + kIndexEntrySize * static_cast<std::uint64_t>(index),
                                    entries_.data(), bytes) != bytes) {
            why = "index entry " + num(index) + " cannot be read, the .shx file has become shorter";
            return false;
        }
        entriesFirst_ = index;
        entriesCount_ = count;
    }
    const unsigned char* e = entries_.data() + kIndexEntrySize * static_cast<std::size_t>(index - entriesFirst_);
    out.offset = std::uint64_t{getBe32(e)} * 2;
    out.length = std::uint64_t{getBe32(e + 4)} * 2;
    return true;
}

bool RecordReader::read(std::uint64_t offset, std::size_t size) const {
    if (buffer_.size() < size) {
        buffer_.resize(size);
    }
    bufferUsed_ = readFully(shp_.get(), offset, buffer_.data(), size);
    return bufferUsed_ == size;
}

bool RecordReader::decode(int index, ShapeView& out, std::string& why) const {
    const unsigned char* rec = buffer_.data();
    const auto size = static_cast<std::int64_t>(bufferUsed_);
    const std::string tooShort = corrupted(index) + " : nEntitySize = " + num(size);
    if (size < 12) {
        why = tooShort;
        return false;
    }
    out = ShapeView{};
    out.type = static_cast<int>(getLe32(rec + 8));
    const int t = out.type;
    if (isPartsType(t)) {
        if (size < 52) {
            why = tooShort;
            return false;
        }
        const std::uint32_t parts = getLe32(rec + 44);
        const std::uint32_t points = getLe32(rec + 48);
        if (points > kMaxPoints || parts > kMaxParts) {
            why = corrupted(index) + ", nPoints=" + num(points) + ", nParts=" + num(parts) + ".";
            return false;
        }
        std::int64_t required = 52 + 4 * std::int64_t{parts} + 16 * std::int64_t{points};
        if (hasZ(t)) {
            required += 16 + 8 * std::int64_t{points};
        }
        if (t == 31) {
            required += 4 * std::int64_t{parts};  // part types
        }
        if (required > size) {
            why = corrupted(index) + ", nPoints=" + num(points) + ", nParts=" + num(parts) +
                  ", nEntitySize=" + num(size) + ".";
            return false;
        }
        out.parts = static_cast<int>(parts);
        out.points = static_cast<int>(points);
        out.partStarts_ = rec + 52;
        for (int k = 0; k < out.parts; ++k) {
            const int start = out.partStart(k);
            if (start < 0 || (start > 0 && start >= out.points)) {
                why = corrupted(index) + " : panPartStart[" + num(k) + "] = " + num(start) +
                      ", nVertices = " + num(out.points);
                return false;
            }
            if (k > 0 && start <= out.partStart(k - 1)) {
                why = corrupted(index) + " : panPartStart[" + num(k) + "] = " + num(start) + ", panPartStart[" +
                      num(k - 1) + "] = " + num(out.partStart(k - 1));
                return false;
            }
        }
        out.xy_ = rec + 52 + 4 * static_cast<std::size_t>(parts) * (t == 31 ? 2 : 1);
        return true;
    }
    if (isMultiPointType(t)) {
        if (size < 48) {
            why = tooShort;
            return false;
        }
        const std::uint32_t points = getLe32(rec + 44);
        if (points > kMaxPoints) {
            why = corrupted(index) + " : nPoints = " + num(points);
            return false;
        }
        std::int64_t required = 48 + 16 * std::int64_t{points};
        if (hasZ(t)) {
            required += 16 + 8 * std::int64_t{points};
        }
        if (required > size) {
            why = corrupted(index) + " : nPoints = " + num(points) + ", nEntitySize = " + num(size);
            return false;
        }
        out.points = static_cast<int>(points);
        out.xy_ = rec + 48;
        return true;
    }
    if (isPointType(t)) {
        if (size < (hasZ(t) ? 36 : 28)) {
            why = tooShort;
            return false;
        }
        out.points = 1;
        out.xy_ = rec + 12;
        return true;
    }
    // The null shape, and types this layer has no use for: only the type counts.
    return true;
}

// ---------------------------------------------------------------------------
// RecordWriter

bool RecordWriter::Out::put(const unsigned char* data, std::size_t n) {
    if (failed) {
        return false;
    }
    const std::size_t allowed = takeWriteBudget(n);
    std::size_t done = 0;
    while (done < allowed) {
        if (buffer.size() == buffer.capacity() && !flush()) {
            return false;
        }
        const std::size_t chunk = std::min(allowed - done, buffer.capacity() - buffer.size());
        buffer.insert(buffer.end(), data + done, data + done + chunk);
        done += chunk;
    }
    size += allowed;
    if (allowed < n) {
        failed = true;
        why = std::string("Failed to write ") + path.string() + ": " + std::strerror(ENOSPC);
        return false;
    }
    return true;
}

bool RecordWriter::Out::flush() {
    if (!buffer.empty() && !writeFully(fd.get(), buffer.data(), buffer.size())) {
        failed = true;
        why = std::string("Failed to write ") + path.string() + ": " + std::strerror(errno);
        buffer.clear();
        return false;
    }
    buffer.clear();
    return !failed;
}

std::optional<RecordWriter> RecordWriter::create(const fs::path& shpFile, const fs::path& shxFile, std::string& why) {
    RecordWriter w;
    for (Out* out : {&w.shp_, &w.shx_}) {
        out->path = out == &w.shp_ ? shpFile : shxFile;
        out->fd = Fd(::open(out->path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (!out->fd) {
            why = "Failed to create file " + out->path.string() + ": " + std::strerror(errno);
            return std::nullopt;
        }
        out->buffer.reserve(kWriteBuffer);
    }
    const auto head = w.header(kHeaderSize);
    for (Out* out : {&w.shp_, &w.shx_}) {
        if (!out->put(head.data(), head.size())) {
            why = out->why;
            return std::nullopt;
        }
    }
    return std::optional<RecordWriter>(std::move(w));
}

std::array<unsigned char, kHeaderSize> RecordWriter::header(std::uint64_t fileSize) const {
    std::array<unsigned char, kHeaderSize> h{};
    putBe32(h.data(), 9994);
    putBe32(h.data() + 24, static_cast<std::uint32_t>(fileSize / 2));
    putLe32(h.data() + 28, 1000);
    putLe32(h.data() + 32, 5);  // polygon
    for (std::size_t i = 0; i < 4; ++i) {
        putLeDouble(h.data() + 36 + 8 * i, box_[i]);
    }
    // z and m ranges stay 0: the records have neither.
    return h;
}

std::uint64_t RecordWriter::polygonRecordSize(const Polygon& polygon) {
    if (polygon.parts.empty()) {
        return kRecordHeaderSize + 4;
    }
    std::uint64_t points = 0;
    for (const Ring& ring : polygon.parts) {
        points += ring.size() + 1;
    }
    return kRecordHeaderSize + 44 + 4 * std::uint64_t{polygon.parts.size()} + 16 * points;
}

// The file's bounding box takes in every point written. A box still all
// zero counts as not yet set (null shapes leave it so) and starts at the
// first point of the next polygon. The comparisons are kept in this form on
// purpose: a NaN coordinate then replaces the bound, and the next number
// replaces the NaN, as the readers of these files have always seen it.
void RecordWriter::extendBounds(const Polygon& polygon) {
    if (box_[0] == 0.0 && box_[2] == 0.0 && box_[1] == 0.0 && box_[3] == 0.0) {
        const Point& first = polygon.parts.front().front();
        box_ = {first.x, first.y, first.x, first.y};
    }
    const auto take = [this](const Point& p) {
        box_[0] = box_[0] < p.x ? box_[0] : p.x;
        box_[1] = box_[1] < p.y ? box_[1] : p.y;
        box_[2] = box_[2] > p.x ? box_[2] : p.x;
        box_[3] = box_[3] > p.y ? box_[3] : p.y;
    };
    for (const Ring& ring : polygon.parts) {
        for (const Point& p : ring) {
            take(p);
        }
        take(ring.front());
    }
}

bool RecordWriter::append(const Polygon& polygon, std::string& why) {
    const std::uint64_t recordSize = polygonRecordSize(polygon);
    const std::uint64_t offset = shp_.size;
    if (recordSize > kMaxFileSize - offset) {
        why = "Failed to write shape object. The maximum file size of " + num(static_cast<std::int64_t>(kMaxFileSize)) +
              " has been reached. The current record of size " + num(static_cast<std::int64_t>(recordSize)) +
              " cannot be added.";
        return false;
    }
    const auto contentWords = static_cast<std::uint32_t>((recordSize - kRecordHeaderSize) / 2);

    unsigned char head[kRecordHeaderSize + 44];
    putBe32(head, static_cast<std::uint32_t>(records_ + 1));
    putBe32(head + 4, contentWords);
    bool ok = true;
    if (polygon.parts.empty()) {
        putLe32(head + 8, 0);  // the null shape: nothing but its type
        ok = shp_.put(head, 12);
    } else {
        // The record's own box, over the same points and with the same
        // comparisons as the file's box.
        const Point& first = polygon.parts.front().front();
        double box[4] = {first.x, first.y, first.x, first.y};
        std::uint32_t points = 0;
        const auto take = [&box](const Point& p) {
            box[0] = box[0] < p.x ? box[0] : p.x;
            box[1] = box[1] < p.y ? box[1] : p.y;
            box[2] = box[2] > p.x ? box[2] : p.x;
            box[3] = box[3] > p.y ? box[3] : p.y;
        };
        for (const Ring& ring : polygon.parts) {
            for (const Point& p : ring) {
                take(p);
            }
            take(ring.front());
            points += static_cast<std::uint32_t>(ring.size() + 1);
        }
        putLe32(head + 8, 5);
        for (int i = 0; i < 4; ++i) {
            putLeDouble(head + 12 + 8 * i, box[i]);
        }
        putLe32(head + 44, static_cast<std::uint32_t>(polygon.parts.size()));
        putLe32(head + 48, points);
        // The whole record in one piece: a write cut short by the budget
        // leaves the same bytes as piece by piece, the put is per record.
        record_.resize(static_cast<std::size_t>(recordSize));
        unsigned char* at = record_.data();
        std::memcpy(at, head, sizeof head);
        at += sizeof head;
        std::uint32_t start = 0;
        for (const Ring& ring : polygon.parts) {
            putLe32(at, start);
            at += 4;
            start += static_cast<std::uint32_t>(ring.size() + 1);
        }
        for (const Ring& ring : polygon.parts) {
            for (std::size_t i = 0; i <= ring.size(); ++i) {
                const Point& p = i < ring.size() ? ring[i] : ring.front();
                putLeDouble(at, p.x);
                putLeDouble(at + 8, p.y);
                at += 16;
            }
        }
        ok = shp_.put(record_.data(), static_cast<std::size_t>(at - record_.data()));
        extendBounds(polygon);
    }
    unsigned char entry[kIndexEntrySize];
    putBe32(entry, static_cast<std::uint32_t>(offset / 2));
    putBe32(entry + 4, contentWords);
    ok = ok && shx_.put(entry, sizeof entry);
    if (!ok) {
        why = shp_.failed ? shp_.why : shx_.why;
        return false;
    }
    ++records_;
    return true;
}

bool RecordWriter::close(std::string& why) {
    if (closed_) {
        return true;
    }
    closed_ = true;
    bool ok = true;
    for (Out* out : {&shp_, &shx_}) {
        const auto head = header(out->size);
        const bool flushed = out->flush();
        // The header goes in place of the provisional one, through the same
        // budget as every other byte written.
        const std::size_t allowed = flushed ? takeWriteBudget(head.size()) : 0;
        std::size_t done = 0;
        while (flushed && done < allowed) {
            const ssize_t put = ::pwrite(out->fd.get(), head.data() + done, allowed - done, static_cast<off_t>(done));
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                out->failed = true;
                out->why = std::string("Failed to write ") + out->path.string() + ": " + std::strerror(errno);
                break;
            }
            done += static_cast<std::size_t>(put);
        }
        if (flushed && !out->failed && allowed < head.size()) {
            out->failed = true;
            out->why = std::string("Failed to write ") + out->path.string() + ": " + std::strerror(ENOSPC);
        }
        if (!out->fd.close() && !out->failed) {
            out->failed = true;
            out->why = std::string("Failed to close ") + out->path.string() + ": " + std::strerror(errno);
        }
        if (out->failed) {
            why += (why.empty() ? "" : "; ") + out->why;
            ok = false;
        }
    }
    return ok;
}

}  // namespace plyvet::gis::shp
