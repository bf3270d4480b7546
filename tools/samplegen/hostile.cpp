#include "tools/samplegen/hostile.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <stdexcept>

namespace plyvet::samplegen {
namespace {

namespace fs = std::filesystem;

// Layout of the .shp and .shx: a 100-byte file header (file length in 16-bit
// words, big-endian, at 24; shape type, little-endian, at 32); in the .shp
// every record has an 8-byte header (number and content length in words,
// big-endian) before its content (type at +0, part count at +36, point count
// at +40, part starts from +44, then the points); the .shx has one 8-byte
// entry per record (offset and content length in words, big-endian).
constexpr std::size_t kFileHeader = 100;
constexpr std::size_t kFileLength = 24;
constexpr std::size_t kFileShapeType = 32;
constexpr std::size_t kRecordHeader = 8;
constexpr std::size_t kPartCount = 36;
constexpr std::size_t kPartStarts = 44;
// The .dbf: record count (32-bit) at 4, header length (16-bit) at 8, record
// length (16-bit) at 10, little-endian; 32-byte field descriptors from 32,
// closed by the byte 0x0D.
constexpr std::size_t kDbfCount = 4;
constexpr std::size_t kDbfHeaderLength = 8;
constexpr std::size_t kDbfRecordLength = 10;
constexpr std::size_t kDbfDescriptors = 32;

struct Triple {
    std::string shp;
    std::string shx;
    std::string dbf;
};

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + p.string());
}

std::uint32_t getBe32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(b.at(at + i));
    return v;
}
void putBe32(std::string& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b.at(at + i) = static_cast<char>(v >> (8 * (3 - i)));
}
void putLe32(std::string& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b.at(at + i) = static_cast<char>(v >> (8 * i));
}
std::uint16_t getLe16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b.at(at)) |
                                      static_cast<unsigned char>(b.at(at + 1)) << 8);
}
void putLe16(std::string& b, std::size_t at, std::uint16_t v) {
    b.at(at) = static_cast<char>(v & 0xFF);
    b.at(at + 1) = static_cast<char>(v >> 8);
}
void putLeDouble(std::string& b, std::size_t at, double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (std::size_t i = 0; i < 8; ++i) b.at(at + i) = static_cast<char>(bits >> (8 * i));
}

// Offset in the .shp of the content of record `i`, found through the index.
std::size_t contentOf(const Triple& t, int i) {
    return std::size_t{getBe32(t.shx, kFileHeader + 8 * static_cast<std::size_t>(i))} * 2 + kRecordHeader;
}
// Offset in the .shp of point `k` of record `i` (its x; y follows).
std::size_t pointOf(const Triple& t, int i, std::size_t k) {
    const std::size_t c = contentOf(t, i);
    const std::size_t parts = static_cast<unsigned char>(t.shp.at(c + kPartCount));
    return c + kPartStarts + 4 * parts + 16 * k;
}

struct Surgery {
    HostileCase info;
    std::function<void(Triple&)> damage;
};

// A .dbf without a single field: the 32-byte header, the terminator, and
// three records that are nothing but their deletion flag.
std::string dbfWithoutFields(const std::string& valid) {
    std::string d = valid.substr(0, kDbfDescriptors);
    d.push_back('\x0D');
    putLe16(d, kDbfHeaderLength, static_cast<std::uint16_t>(kDbfDescriptors + 1));
    putLe16(d, kDbfRecordLength, 1);
    d += "   ";
    d.push_back('\x1A');
    return d;
}

const std::vector<Surgery>& surgeries() {
    static const std::vector<Surgery> all = {
        {{"satz_zu_lang", "the record header of record 1 claims 40 words more than the record holds"},
         [](Triple& t) {
             const std::size_t at = contentOf(t, 1) - 4;
             putBe32(t.shp, at, getBe32(t.shp, at) + 40);
         }},
        {{"satz_zu_kurz", "record 1 is 10 words long by its header and by the index, shorter than its content"},
         [](Triple& t) {
             putBe32(t.shp, contentOf(t, 1) - 4, 10);
             putBe32(t.shx, kFileHeader + 8 + 4, 10);
         }},
        {{"part_ausserhalb", "part 1 of record 1 starts at point 1000 of 12"},
         [](Triple& t) { putLe32(t.shp, contentOf(t, 1) + kPartStarts + 4, 1000); }},
        {{"part_fallend", "the part starts of record 1 decrease: 0, 8, 4"},
         [](Triple& t) {
             putLe32(t.shp, contentOf(t, 1) + kPartStarts + 4, 8);
             putLe32(t.shp, contentOf(t, 1) + kPartStarts + 8, 4);
         }},
        {{"zehn_mio_parts", "record 1 claims 10^7 parts in a file of less than 1 KB"},
         [](Triple& t) { putLe32(t.shp, contentOf(t, 1) + kPartCount, 10'000'000); }},
        {{"typ_linie", "record 1 is a polyline (type 3) in a polygon file"},
         [](Triple& t) { putLe32(t.shp, contentOf(t, 1), 3); }},
        {{"typ_punkt", "record 2 is a point (type 1) in a polygon file"},
         [](Triple& t) { putLe32(t.shp, contentOf(t, 2), 1); }},
        {{"typ_kopf_z", "the file headers of .shp and .shx say PolygonZ (15), the records are polygons (5)"},
         [](Triple& t) {
             putLe32(t.shp, kFileShapeType, 15);
             putLe32(t.shx, kFileShapeType, 15);
         }},
        {{"shx_kopf_riesig", "the .shx header claims a file length of 2^31 - 1 words"},
         [](Triple& t) { putBe32(t.shx, kFileLength, 0x7FFFFFFF); }},
        {{"shp_kopf_riesig", "the .shp header claims a file length of 2^31 - 1 words"},
         [](Triple& t) { putBe32(t.shp, kFileLength, 0x7FFFFFFF); }},
        {{"nan_punkt", "point 1 of record 2 is (NaN, NaN)"},
         [](Triple& t) {
             const std::size_t at = pointOf(t, 2, 1);
             putLeDouble(t.shp, at, std::numeric_limits<double>::quiet_NaN());
             putLeDouble(t.shp, at + 8, std::numeric_limits<double>::quiet_NaN());
         }},
        {{"riesen_punkt", "point 1 of record 2 is (1e308, -1e308)"},
         [](Triple& t) {
             const std::size_t at = pointOf(t, 2, 1);
             putLeDouble(t.shp, at, 1e308);
             putLeDouble(t.shp, at + 8, -1e308);
         }},
        {{"dbf_satz_lang", "the .dbf header's record length is 7 bytes more than its fields"},
         [](Triple& t) { putLe16(t.dbf, kDbfRecordLength, static_cast<std::uint16_t>(getLe16(t.dbf, kDbfRecordLength) + 7)); }},
        {{"dbf_satz_kurz", "the .dbf header's record length is 5 bytes less than its fields"},
         [](Triple& t) { putLe16(t.dbf, kDbfRecordLength, static_cast<std::uint16_t>(getLe16(t.dbf, kDbfRecordLength) - 5)); }},
        {{"dbf_ohne_ende", "the field descriptors of the .dbf have no terminator byte"},
         [](Triple& t) {
             const std::size_t end = getLe16(t.dbf, kDbfHeaderLength) - 1;
             t.dbf.at(end) = ' ';
         }},
        {{"dbf_kopf_weiter", "no terminator, and the header length reaches 32 bytes into the records"},
         [](Triple& t) {
             const std::uint16_t length = getLe16(t.dbf, kDbfHeaderLength);
             t.dbf.at(length - 1u) = ' ';
             putLe16(t.dbf, kDbfHeaderLength, static_cast<std::uint16_t>(length + 32));
         }},
        {{"dbf_ohne_felder", "the .dbf has no field at all"}, [](Triple& t) { t.dbf = dbfWithoutFields(t.dbf); }},
        {{"dbf_anzahl_riesig", "the .dbf header claims 2^31 - 1 records"},
         [](Triple& t) { putLe32(t.dbf, kDbfCount, 0x7FFFFFFF); }},
    };
    return all;
}

}  // namespace

Layer hostileBaseLayer() {
    Layer layer;
    layer.fields = {integerField("ID", 5), textField("NAME", 12)};
    const std::array<std::array<double, 4>, 3> triangles{{{20, 0, 21, 1}, {30, 0, 31, 1}, {40, 0, 41, 1}}};
    gis::Polygon three;
    for (const auto& b : triangles) three.parts.push_back({{b[0], b[1]}, {b[0], b[3]}, {b[2], b[3]}});
    layer.records = {
        {squareWithHole(0, 0, 10, 2), {"1", "eins"}},
        {three, {"2", "zwei"}},
        {gis::Polygon{{{{50, 0}, {50, 1}, {51, 1}}}}, {"3", "drei"}},
    };
    return layer;
}

const std::vector<HostileCase>& hostileCases() {
    static const std::vector<HostileCase> cases = [] {
        std::vector<HostileCase> out;
        for (const auto& s : surgeries()) out.push_back(s.info);
        return out;
    }();
    return cases;
}

fs::path writeHostile(std::string_view name, const fs::path& folder) {
    const Surgery* found = nullptr;
    for (const auto& s : surgeries()) {
        if (s.info.name == name) found = &s;
    }
    if (found == nullptr) throw std::invalid_argument("no hostile case named " + std::string(name));
    const fs::path base = folder / std::string(name);
    write(hostileBaseLayer(), base);
    const auto file = [&](const char* ext) { return fs::path(base.string() + ext); };
    Triple t{readAll(file(".shp")), readAll(file(".shx")), readAll(file(".dbf"))};
    found->damage(t);
    writeAll(file(".shp"), t.shp);
    writeAll(file(".shx"), t.shx);
    writeAll(file(".dbf"), t.dbf);
    return file(".shp");
}

}  // namespace plyvet::samplegen
