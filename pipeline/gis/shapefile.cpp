#include "pipeline/gis/shapefile.h"

#include "pipeline/gis/runtime_error.h"
#include "pipeline/gis/shp_records.h"

#include <shapefil.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <system_error>

namespace plyvet::gis {

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Library hooks.
//
// shapelib reports failures through SAHooks::Error, a plain C callback without
// user data, so its messages are collected per thread and read back by the
// call that caused them. The I/O hooks wrap the defaults only to notice short
// writes and failed flushes or closes: shapelib ignores most of those results
// itself, and a full disk must not look like a written file.

struct HookLog {
    std::string messages;
    bool ioFailed = false;
};

thread_local HookLog tlsHookLog;

const SAHooks& defaultHooks() {
    static const SAHooks hooks = [] {
        SAHooks h{};
        SASetupDefaultHooks(&h);
        return h;
    }();
    return hooks;
}

void hookError(const char* message) {
    if (!tlsHookLog.messages.empty()) {
        tlsHookLog.messages += "; ";
    }
    // The library breaks some of its messages over two lines; the text ends
    // up inside one log line, which a line break would cut in two.
    for (const char* p = message != nullptr ? message : "?"; *p != '\0'; ++p) {
        tlsHookLog.messages += (*p == '\n' || *p == '\r') ? ' ' : *p;
    }
}

// atof without the locale: a German LC_NUMERIC must not turn "1.5" into 1.
double hookAtof(const char* text) {
    if (text == nullptr) {
        return 0.0;
    }
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    if (*p == '+') {
        ++p;
    }
    double value = 0.0;
    std::from_chars(p, p + std::strlen(p), value);  // leaves 0 when nothing parses, as atof
    return value;
}

SAOffset hookWrite(void* data, SAOffset size, SAOffset count, SAFile file) {
    std::optional<std::uint64_t>& budget = shp::writeBudget();
    if (budget && size > 0) {
        const SAOffset fits = std::min<SAOffset>(count, static_cast<SAOffset>(*budget / size));
        const SAOffset written = fits > 0 ? defaultHooks().FWrite(data, size, fits, file) : 0;
        *budget -= static_cast<std::uint64_t>(written * size);
        if (written != count) {
            tlsHookLog.ioFailed = true;
            errno = ENOSPC;
        }
        return written;
    }
    const SAOffset written = defaultHooks().FWrite(data, size, count, file);
    if (written != count) {
        tlsHookLog.ioFailed = true;
    }
    return written;
}

int hookFlush(SAFile file) {
    const int rc = defaultHooks().FFlush(file);
    if (rc != 0) {
        tlsHookLog.ioFailed = true;
    }
    return rc;
}

int hookClose(SAFile file) {
    const int rc = defaultHooks().FClose(file);
    if (rc != 0) {
        tlsHookLog.ioFailed = true;
    }
    return rc;
}

SAHooks ourHooks() {
    SAHooks h = defaultHooks();
    h.Error = hookError;
    h.Atof = hookAtof;
    h.FWrite = hookWrite;
    h.FFlush = hookFlush;
    h.FClose = hookClose;
    return h;
}

// Scope of one library call: starts with an empty log, reads what it gathered.
class LibCall {
public:
    LibCall() { tlsHookLog = HookLog{}; }
    LibCall(const LibCall&) = delete;
    LibCall& operator=(const LibCall&) = delete;
    const std::string& messages() const { return tlsHookLog.messages; }
    bool ioFailed() const { return tlsHookLog.ioFailed; }
    // " (message)" when the library said something, else "".
    std::string detail() const {
        return tlsHookLog.messages.empty() ? std::string() : " (" + tlsHookLog.messages + ")";
    }
};

struct DbfCloser {
    void operator()(DBFInfo* h) const noexcept { DBFClose(h); }
};
using DbfPtr = std::unique_ptr<DBFInfo, DbfCloser>;

// ---------------------------------------------------------------------------
// Errors. Every description starts with the file it concerns.

[[noreturn]] void fail(const fs::path& file, const std::string& cause) {
    throw RuntimeError(err::kGisFailure, "Shapefile", "Shapefile " + file.string() + ": " + cause);
}

std::string num(std::int64_t v) { return std::to_string(v); }

// ---------------------------------------------------------------------------
// Paths. A companion is "<base>.ext" or else "<base>.EXT"; the checks here
// name a missing one before anything is opened.

fs::path basePathOf(const fs::path& shpPath) {
    return shpPath.has_extension() ? fs::path(shpPath).replace_extension() : shpPath;
}

fs::path withExtension(const fs::path& base, std::string_view ext) {
    return fs::path(base.native() + std::string(ext));
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// The companion file shapelib will open, or std::nullopt when neither spelling exists.
std::optional<fs::path> findCompanion(const fs::path& base, std::string_view ext) {
    std::error_code ec;
    for (const fs::path& candidate : {withExtension(base, ext), withExtension(base, upper(ext))}) {
        if (fs::is_regular_file(candidate, ec)) {
            return candidate;
        }
    }
    return std::nullopt;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && upper(a) == upper(b);
}

bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// dBase native type -> field description. Types without a counterpart in the
// model (memo 'M', binary 'B', picture 'P', timestamp '@', ...) are listed as
// String so that their raw bytes stay readable and copyable.
FieldDef describeField(char native, std::string name, int width, int decimals) {
    FieldDef def;
    def.name = std::move(name);
    def.length = width;
    switch (native) {
    case 'N':
        def.type = decimals == 0 ? FieldType::Integer : FieldType::Double;
        break;
    case 'F':
        def.type = FieldType::Double;
        break;
    case 'D':
        def.type = FieldType::Date;
        break;
    case 'L':
        def.type = FieldType::Boolean;
        break;
    default:
        def.type = FieldType::String;
        break;
    }
    if (def.type == FieldType::Integer || def.type == FieldType::Double) {
        def.precision = width;
        def.scale = decimals;
    }
    return def;
}

bool isNumeric(FieldType t) { return t == FieldType::Integer || t == FieldType::Double; }

std::uint32_t bigEndian32(const unsigned char* b) {
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | std::uint32_t{b[3]};
}

// Reads `n` bytes at `offset`; false when the file ends before.
bool readAt(std::ifstream& in, std::uint64_t offset, unsigned char* out, std::size_t n) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
    return static_cast<std::size_t>(in.gcount()) == n;
}

// The 100-byte header of .shp and .shx starts with the file code 9994;
// without it, counts and types would be read from garbage.
void checkMainHeader(const fs::path& shown, const fs::path& file, const char* role) {
    std::ifstream in(file, std::ios::binary);
    unsigned char head[100] = {};
    if (!in || !readAt(in, 0, head, sizeof head)) {
        fail(shown, std::string("Der Dateikopf der ") + role + " " + file.filename().string() +
                        " ist unvollständig (kürzer als 100 Byte).");
    }
    if (bigEndian32(head) != 9994) {
        fail(shown, std::string("Der Dateikopf der ") + role + " " + file.filename().string() +
                        " ist beschädigt (keine Shapefile-Kennung).");
    }
}

}  // namespace

int shapeTypeCode(int shapefileType) {
    return shapefileType == 5 ? kShapeTypePolygon : shapefileType + 1000;
}

// ===========================================================================
// Reader

struct ShapefileReader::Impl {
    fs::path path;
    fs::path shpFile;  // the .shp that was opened, for the size check
    fs::path dbfFile;
    std::optional<shp::RecordReader> shp;
    DbfPtr dbf;
    int shapefileType = 0;
    int records = 0;
    std::uintmax_t shpSize = 0;
    std::array<double, 4> box{};
    std::vector<FieldDef> fields;
    std::vector<int> fieldOffset;
    std::vector<int> fieldWidth;
    std::string codePage;

    [[noreturn]] void failShp(const std::string& cause) const { fail(path, cause); }
};

ShapefileReader::ShapefileReader(const fs::path& shpPath) : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.path = shpPath;
    const fs::path base = basePathOf(shpPath);

    const auto shpFile = findCompanion(base, ".shp");
    if (!shpFile) {
        m.failShp("Die Geometriedatei " + withExtension(base, ".shp").string() + " ist nicht vorhanden.");
    }
    const auto shxFile = findCompanion(base, ".shx");
    if (!shxFile) {
        m.failShp("Die Indexdatei " + withExtension(base, ".shx").string() + " ist nicht vorhanden.");
    }
    const auto dbfFile = findCompanion(base, ".dbf");
    if (!dbfFile) {
        m.failShp("Die Attributdatei " + withExtension(base, ".dbf").string() + " ist nicht vorhanden.");
    }
    m.shpFile = *shpFile;
    m.dbfFile = *dbfFile;

    std::error_code ec;
    m.shpSize = fs::file_size(m.shpFile, ec);
    if (ec) {
        m.failShp("Die Größe der Geometriedatei kann nicht bestimmt werden (" + ec.message() + ").");
    }
    checkMainHeader(shpPath, m.shpFile, "Geometriedatei");
    checkMainHeader(shpPath, *shxFile, "Indexdatei");

    {
        std::string why;
        m.shp = shp::RecordReader::open(m.shpFile, *shxFile, why);
        if (!m.shp) {
            m.failShp("Geometrie- oder Indexdatei kann nicht geöffnet werden oder ihr Dateikopf ist beschädigt (" +
                      why + ").");
        }
    }
    m.records = m.shp->recordCount();
    m.shapefileType = m.shp->shapeType();
    m.box = m.shp->bounds();

    SAHooks hooks = ourHooks();

    {
        LibCall call;
        const std::string dbfName = m.dbfFile.string();
        m.dbf.reset(DBFOpenLL(dbfName.c_str(), "rb", &hooks));
        if (!m.dbf) {
            fail(m.dbfFile, "Die Attributdatei kann nicht geöffnet werden oder ihr Dateikopf ist beschädigt" +
                                call.detail() + ".");
        }
    }
    DBFInfo& d = *m.dbf;
    const int fieldCount = DBFGetFieldCount(m.dbf.get());
    if (fieldCount < 0 || d.nRecordLength < 1 || DBFGetRecordCount(m.dbf.get()) < 0) {
        fail(m.dbfFile, "Der Dateikopf der Attributdatei ist beschädigt.");
    }
    for (int i = 0; i < fieldCount; ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        int decimals = 0;
        DBFGetFieldInfo(m.dbf.get(), i, name, &width, &decimals);
        const int offset = d.panFieldOffset[i];
        // The record buffer is nRecordLength bytes; a field description that
        // points outside it would make every read of that field overrun.
        if (width < 0 || offset < 1 || static_cast<std::int64_t>(offset) + width > d.nRecordLength) {
            fail(m.dbfFile, "Der Dateikopf der Attributdatei ist beschädigt: Feld " + num(i) + " (" + name +
                                ") liegt außerhalb der Datensatzlänge " + num(d.nRecordLength) + ".");
        }
        m.fields.push_back(describeField(DBFGetNativeFieldType(m.dbf.get(), i), name, width, decimals));
        m.fieldOffset.push_back(offset);
        m.fieldWidth.push_back(width);
    }
    if (const char* cp = DBFGetCodePage(m.dbf.get()); cp != nullptr) {
        m.codePage = cp;
    }
}

ShapefileReader::~ShapefileReader() = default;
ShapefileReader::ShapefileReader(ShapefileReader&&) noexcept = default;
ShapefileReader& ShapefileReader::operator=(ShapefileReader&&) noexcept = default;

const fs::path& ShapefileReader::path() const { return impl_->path; }
int ShapefileReader::shapeType() const { return shapeTypeCode(impl_->shapefileType); }
int ShapefileReader::recordCount() const { return impl_->records; }
int ShapefileReader::dbfRecordCount() const { return DBFGetRecordCount(impl_->dbf.get()); }
const std::vector<FieldDef>& ShapefileReader::fields() const { return impl_->fields; }
const std::string& ShapefileReader::codePage() const { return impl_->codePage; }
std::array<double, 4> ShapefileReader::bounds() const { return impl_->box; }

std::optional<int> ShapefileReader::fieldIndex(std::string_view name) const {
    const auto& f = impl_->fields;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (equalsIgnoringCase(f[i].name, name)) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

std::optional<Polygon> ShapefileReader::polygon(int index) const {
    const Impl& m = *impl_;
    const std::string rec = "Datensatz " + num(index);
    if (index < 0 || index >= m.records) {
        m.failShp(rec + " ist nicht vorhanden (Datensätze 0 bis " + num(std::int64_t{m.records} - 1) + ").");
    }
    shp::IndexEntry entry;
    if (std::string why; !m.shp->entry(index, entry, why)) {
        m.failShp(rec + " kann nicht gelesen werden (" + why + ").");
    }
    // The index entry must describe a record inside the real file: a
    // truncated .shp or a lying .shx is reported here, before any read.
    const std::uint64_t offset = entry.offset;
    const std::uint64_t length = entry.length;
    if (offset < 100) {
        m.failShp(rec + " liegt laut Indexdatei bei Byte " + num(static_cast<std::int64_t>(offset)) +
                  ", also im Dateikopf (Indexdatei beschädigt).");
    }
    if (offset + 8 + length > m.shpSize) {
        m.failShp(rec + " liegt laut Indexdatei bei Byte " + num(static_cast<std::int64_t>(offset)) +
                  " mit " + num(static_cast<std::int64_t>(length)) + " Byte Inhalt, die Geometriedatei ist aber nur " +
                  num(static_cast<std::int64_t>(m.shpSize)) + " Byte lang (abgeschnitten oder beschädigt).");
    }

    if (!m.shp->read(offset, static_cast<std::size_t>(8 + length))) {
        m.failShp(rec + ": Datensatzkopf kann nicht gelesen werden.");
    }
    const unsigned char* header = m.shp->buffer().data();
    const std::uint64_t headerLength = std::uint64_t{bigEndian32(header + 4)} * 2;
    if (headerLength != length) {
        m.failShp(rec + ": Länge im Datensatzkopf (" + num(static_cast<std::int64_t>(headerLength)) +
                  " Byte) widerspricht der Indexdatei (" + num(static_cast<std::int64_t>(length)) + " Byte).");
    }

    shp::ShapeView o;
    if (std::string why; !m.shp->decode(index, o, why)) {
        m.failShp(rec + " kann nicht gelesen werden (" + why + ").");
    }
    if (o.type == 0) {
        return std::nullopt;
    }
    if (o.type != 5) {
        m.failShp(rec + " ist kein Polygon (Shape-Typ " + num(o.type) + ").");
    }
    if (o.parts == 0) {
        if (o.points != 0) {
            m.failShp(rec + " hat " + num(o.points) + " Punkte, aber keinen Part.");
        }
        return Polygon{};
    }
    // Part offsets: the first is 0, each later one lies beyond its predecessor
    // and inside the point array, so every part has at least one point and no
    // point belongs to two parts or to none.
    for (int k = 0; k < o.parts; ++k) {
        const int start = o.partStart(k);
        const int lower = k == 0 ? 0 : o.partStart(k - 1) + 1;
        if ((k == 0 && start != 0) || start < lower || start >= o.points) {
            m.failShp(rec + ": Part " + num(k) + " beginnt bei Punkt " + num(start) +
                      ", zulässig ist bei " + num(o.points) + " Punkten " +
                      (k == 0 ? std::string("nur 0") : num(lower) + " bis " + num(o.points - 1)) + ".");
        }
    }

    Polygon result;
    result.parts.reserve(static_cast<std::size_t>(o.parts));
    for (int k = 0; k < o.parts; ++k) {
        const int begin = o.partStart(k);
        int end = k + 1 < o.parts ? o.partStart(k + 1) : o.points;
        // The stored closing point goes only when it is the first point bit
        // for bit; anything else is data and stays.
        if (end - begin >= 2 && sameBits(o.x(end - 1), o.x(begin)) && sameBits(o.y(end - 1), o.y(begin))) {
            --end;
        }
        Ring ring;
        ring.reserve(static_cast<std::size_t>(end - begin));
        for (int i = begin; i < end; ++i) {
            ring.push_back(Point{o.x(i), o.y(i)});
        }
        result.parts.push_back(std::move(ring));
    }
    return result;
}

std::string ShapefileReader::rawValue(int record, int field) const {
    const Impl& m = *impl_;
    const int count = DBFGetRecordCount(m.dbf.get());
    if (record < 0 || record >= count) {
        fail(m.dbfFile, "Datensatz " + num(record) + " ist nicht vorhanden (Datensätze 0 bis " +
                            num(std::int64_t{count} - 1) + ").");
    }
    if (field < 0 || static_cast<std::size_t>(field) >= m.fields.size()) {
        fail(m.dbfFile, "Feld " + num(field) + " ist nicht vorhanden (" + num(static_cast<std::int64_t>(m.fields.size())) +
                            " Felder).");
    }
    const char* tuple = nullptr;
    {
        LibCall call;
        tuple = DBFReadTuple(m.dbf.get(), record);
        if (tuple == nullptr) {
            fail(m.dbfFile, "Datensatz " + num(record) + " kann nicht gelesen werden" + call.detail() + ".");
        }
    }
    const auto i = static_cast<std::size_t>(field);
    return std::string(tuple + m.fieldOffset[i], static_cast<std::size_t>(m.fieldWidth[i]));
}

// ===========================================================================
// Writer

namespace {

// dBase native type and decimals for a field description. A Double without
// decimals is written as 'F': an 'N' without decimals reads back as Integer.
char nativeType(FieldType type, int scale, int& decimals) {
    decimals = 0;
    switch (type) {
    case FieldType::Integer:
        return 'N';
    case FieldType::Double:
        decimals = scale;
        return scale > 0 ? 'N' : 'F';
    case FieldType::Date:
        return 'D';
    case FieldType::Boolean:
        return 'L';
    case FieldType::String:
        return 'C';
    }
    return '\0';
}

// "LDID/<n>" with n in 0..255, as the language driver byte can hold it.
bool isLdid(std::string_view cp, bool& valid) {
    constexpr std::string_view prefix = "LDID/";
    if (cp.substr(0, prefix.size()) != prefix) {
        return false;
    }
    const std::string_view digits = cp.substr(prefix.size());
    int value = -1;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    valid = !digits.empty() && ec == std::errc() && end == digits.data() + digits.size() && value >= 0 &&
            value <= 255;
    return true;
}

}  // namespace

struct ShapefileWriter::Impl {
    fs::path base;
    fs::path shpFile;
    fs::path dbfFile;
    std::optional<shp::RecordWriter> shp;
    DbfPtr dbf;
    std::vector<FieldDef> fields;
    std::vector<int> fieldOffset;
    std::vector<int> fieldWidth;
    int recordLength = 0;
    int records = 0;
    bool closed = false;
    bool failed = false;  // a write went wrong part-way
};

ShapefileWriter::ShapefileWriter(const fs::path& basePath, std::span<const FieldDef> fields,
                                 std::string_view codePage)
    : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.base = basePath;
    m.shpFile = withExtension(basePath, ".shp");
    m.dbfFile = withExtension(basePath, ".dbf");
    m.fields.assign(fields.begin(), fields.end());

    // shapelib keeps no record buffer for a table without fields and crashes
    // on the first record; the format wants at least one field anyway.
    if (m.fields.empty()) {
        fail(m.dbfFile, "Eine Attributdatei braucht mindestens ein Feld.");
    }
    for (std::size_t i = 0; i < m.fields.size(); ++i) {
        const FieldDef& f = m.fields[i];
        const std::string which = "Feld " + num(static_cast<std::int64_t>(i)) + " (" + f.name + ")";
        // shapelib would cut a longer name to 10 bytes without a word, which
        // can silently merge two fields into one name. The limit is on the
        // bytes handed in, already in the file's code page: in UTF-8 an
        // umlaut takes two of them.
        if (f.name.empty() || f.name.size() > XBASE_FLDNAME_LEN_WRITE || f.name.find('\0') != std::string::npos) {
            fail(m.dbfFile, which + ": Feldnamen müssen in der Codepage der Datei 1 bis " +
                                num(XBASE_FLDNAME_LEN_WRITE) + " Bytes lang sein, dieser hat " +
                                num(static_cast<std::int64_t>(f.name.size())) + ".");
        }
        int decimals = 0;
        if (nativeType(f.type, f.scale, decimals) == '\0') {
            fail(m.dbfFile, which + ": unbekannter Feldtyp " + num(static_cast<int>(f.type)) + ".");
        }
        if (f.length < 1 || f.length > XBASE_FLD_MAX_WIDTH) {
            fail(m.dbfFile, which + ": Feldlänge " + num(f.length) + " liegt nicht zwischen 1 und " +
                                num(XBASE_FLD_MAX_WIDTH) + ".");
        }
        if (f.type == FieldType::Double && (f.scale < 0 || f.scale > XBASE_FLD_MAX_WIDTH)) {
            fail(m.dbfFile, which + ": ungültige Anzahl Nachkommastellen " + num(f.scale) + ".");
        }
    }
    bool ldidValid = false;
    const bool ldid = isLdid(codePage, ldidValid);
    if (ldid && !ldidValid) {
        fail(m.dbfFile, "Ungültige Codepage-Angabe \"" + std::string(codePage) + "\" (erwartet LDID/0 bis LDID/255).");
    }

    // A .cpg left over from an earlier file of this name would give the new
    // .dbf a code page it does not have.
    for (const char* ext : {".cpg", ".CPG"}) {
        const fs::path cpg = withExtension(basePath, ext);
        std::error_code ec;
        if (fs::exists(cpg, ec) && !fs::remove(cpg, ec)) {
            fail(cpg, "Die alte Codepage-Datei kann nicht gelöscht werden (" + ec.message() + ").");
        }
    }

    {
        std::string why;
        m.shp = shp::RecordWriter::create(m.shpFile, withExtension(basePath, ".shx"), why);
        if (!m.shp) {
            fail(m.shpFile, "Geometrie- und Indexdatei können nicht angelegt werden (" + why + ").");
        }
    }
    SAHooks hooks = ourHooks();
    {
        LibCall call;
        const std::string name = m.dbfFile.string();
        const std::string cp(codePage);
        m.dbf.reset(DBFCreateLL(name.c_str(), cp.empty() ? nullptr : cp.c_str(), &hooks));
        if (!m.dbf || call.ioFailed()) {
            fail(m.dbfFile, "Die Attributdatei kann nicht angelegt werden" + call.detail() + ".");
        }
    }
    for (std::size_t i = 0; i < m.fields.size(); ++i) {
        const FieldDef& f = m.fields[i];
        const std::string which = "Feld " + num(static_cast<std::int64_t>(i)) + " (" + f.name + ")";
        int decimals = 0;
        const char type = nativeType(f.type, f.scale, decimals);
        LibCall call;
        const int added = DBFAddNativeFieldType(m.dbf.get(), f.name.c_str(), type, f.length, decimals);
        if (added != static_cast<int>(i)) {
            fail(m.dbfFile, which + " kann nicht angelegt werden" + call.detail() + ".");
        }
        // shapelib clamps widths and decimals without a word; only a
        // definition that reads back unchanged counts as added.
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        int backDecimals = 0;
        DBFGetFieldInfo(m.dbf.get(), added, name, &width, &backDecimals);
        if (DBFGetNativeFieldType(m.dbf.get(), added) != type || width != f.length || backDecimals != decimals ||
            f.name != name) {
            fail(m.dbfFile, which + " kann nicht mit Länge " + num(f.length) + " und " + num(decimals) +
                                " Nachkommastellen angelegt werden.");
        }
    }
    m.recordLength = m.dbf->nRecordLength;
    for (std::size_t i = 0; i < m.fields.size(); ++i) {
        m.fieldOffset.push_back(m.dbf->panFieldOffset[i]);
        m.fieldWidth.push_back(m.dbf->panFieldSize[i]);
    }
}

ShapefileWriter::~ShapefileWriter() {
    if (impl_) {
        try {
            close();
        } catch (...) {
            // The destructor has no way to report; close() is the checked path.
        }
    }
}

ShapefileWriter::ShapefileWriter(ShapefileWriter&&) noexcept = default;

ShapefileWriter& ShapefileWriter::operator=(ShapefileWriter&& other) noexcept {
    if (this != &other) {
        if (impl_) {
            try {
                close();
            } catch (...) {
                // as in the destructor
            }
        }
        impl_ = std::move(other.impl_);
    }
    return *this;
}

const std::vector<FieldDef>& ShapefileWriter::fields() const { return impl_->fields; }
int ShapefileWriter::recordCount() const { return impl_->records; }

int ShapefileWriter::append(const Polygon& polygon, std::span<const std::optional<std::string>> values) {
    Impl& m = *impl_;
    const std::string rec = "Datensatz " + num(m.records);
    if (m.closed) {
        fail(m.shpFile, rec + " kann nicht geschrieben werden: die Dateien sind bereits geschlossen.");
    }
    if (values.size() != m.fields.size()) {
        fail(m.dbfFile, rec + ": " + num(static_cast<std::int64_t>(values.size())) + " Werte für " +
                            num(static_cast<std::int64_t>(m.fields.size())) + " Felder.");
    }

    // Everything that can be refused is checked before the first byte is
    // written, so a refused record leaves .shp and .dbf in step.
    std::string tuple(static_cast<std::size_t>(m.recordLength), ' ');  // byte 0 ' ': not deleted
    for (std::size_t i = 0; i < m.fields.size(); ++i) {
        const FieldDef& f = m.fields[i];
        const auto width = static_cast<std::size_t>(m.fieldWidth[i]);
        const auto offset = static_cast<std::size_t>(m.fieldOffset[i]);
        if (!values[i]) {
            // dBase null: blanks, and '?' (not initialised) for a logical field.
            if (f.type == FieldType::Boolean) {
                tuple[offset] = '?';
            }
            continue;
        }
        const std::string& v = *values[i];
        if (v.size() > width) {
            fail(m.dbfFile, rec + ": Wert für Feld " + f.name + " ist " + num(static_cast<std::int64_t>(v.size())) +
                                " Byte lang, das Feld nur " + num(static_cast<std::int64_t>(width)) + ".");
        }
        const std::size_t at = isNumeric(f.type) ? offset + width - v.size() : offset;
        tuple.replace(at, v.size(), v);
    }

    // Record content: 44 bytes head, 4 per part, 16 per point; its length in
    // 16-bit words must fit the signed 32-bit header field.
    std::size_t total = 0;
    for (const Ring& ring : polygon.parts) {
        total += ring.size() + 1;
    }
    if (total > static_cast<std::size_t>(INT_MAX / 16) - polygon.parts.size()) {
        fail(m.shpFile, rec + ": zu viele Punkte für einen Datensatz (" + num(static_cast<std::int64_t>(total)) + ").");
    }
    for (std::size_t k = 0; k < polygon.parts.size(); ++k) {
        if (polygon.parts[k].empty()) {
            fail(m.shpFile, rec + ": Part " + num(static_cast<std::int64_t>(k)) + " hat keine Punkte.");
        }
    }
    // An empty polygon has no area and no ring: it is written as the
    // format's null shape. Each ring gets its closing point.
    if (std::string why; !m.shp->append(polygon, why)) {
        m.failed = true;
        fail(m.shpFile, rec + ": Geometrie kann nicht geschrieben werden (" + why + ").");
    }
    {
        LibCall call;
        const int ok = DBFWriteTuple(m.dbf.get(), m.records, tuple.data());
        if (!ok || call.ioFailed()) {
            m.failed = true;
            fail(m.dbfFile, rec + ": Attributwerte können nicht geschrieben werden" + call.detail() + ".");
        }
    }
    return m.records++;
}

void ShapefileWriter::close() {
    Impl& m = *impl_;
    if (m.closed) {
        return;
    }
    m.closed = true;
    std::string problems;
    {
        LibCall call;
        m.dbf.reset();
        if (call.ioFailed() || !call.messages().empty()) {
            problems = m.dbfFile.string() + call.detail();
        }
    }
    if (std::string why; m.shp && !m.shp->close(why)) {
        problems += (problems.empty() ? "" : ", ") + m.shpFile.string() + " (" + why + ")";
    }
    m.shp.reset();
    if (!problems.empty()) {
        m.failed = true;
        fail(m.shpFile, "Fehler beim Schreiben und Schließen: " + problems + ".");
    }
}

bool ShapefileWriter::failed() const { return impl_->failed; }

namespace testing {
void limitWrites(std::optional<std::uint64_t> bytes) { shp::writeBudget() = bytes; }
}  // namespace testing

}  // namespace plyvet::gis
