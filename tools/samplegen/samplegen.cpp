#include "tools/samplegen/samplegen.h"

#include "pipeline/gis/runtime_error.h"
#include "tools/samplegen/hostile.h"
#include "tools/samplegen/parcels.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace plyvet::samplegen {
namespace {

// Source texts are UTF-8; the sample stores Windows-1252 bytes. Only the
// Latin-1 letters the sample uses are needed, so anything beyond U+00FF is a
// programming error here, not a character to replace.
std::string cp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[++i]);
            out.push_back(static_cast<char>(((c & 0x03u) << 6) | (next & 0x3Fu)));
        } else {
            throw std::logic_error("sample text outside Latin-1");
        }
    }
    return out;
}

// Fixed-point text with a decimal point, independent of the C locale.
std::string fixed(double value, int decimals) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

gis::Polygon translated(gis::Polygon polygon, double dx, double dy) {
    for (auto& ring : polygon.parts) {
        for (auto& p : ring) {
            p.x += dx;
            p.y += dy;
        }
    }
    return polygon;
}

gis::Polygon ringsPolygon(std::vector<gis::Ring> rings) { return gis::Polygon{std::move(rings)}; }

std::filesystem::path withoutShpExtension(const std::filesystem::path& base) {
    std::string ext = base.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".shp") {
        auto stripped = base;
        stripped.replace_extension();
        return stripped;
    }
    return base;
}

// One parcel of the demo sample, in local metres within its 40 m cell.
struct Parcel {
    gis::Polygon shape;
    std::string_view name;     // UTF-8, stored as Windows-1252
    std::string_view date;     // YYYYMMDD, empty for "not recorded"
    std::string_view remark;   // UTF-8, stored as Windows-1252
};

std::vector<Parcel> sampleParcels() {
    const std::array<std::array<double, 4>, 2> twoBlocks{{{3, 3, 15, 20}, {20, 22, 36, 36}}};
    return {
        {rectanglePolygon(4, 5, 24, 35), "Flurstück 101", "19980412", ""},
        {rectanglePolygon(3.5, 10.25, 29, 28.5), "Flurstück 102/1", "20010930", ""},
        {squareWithHole(5, 5, 30, 10), "Hof an der Straße", "20050117", "Innenhof ausgespart"},
        {multiRectangle(twoBlocks), "Flurstück 104", "20070603", "zwei getrennte Teilflächen"},
        {ringsPolygon({{{4, 4}, {4, 34}, {14, 34}, {14, 14}, {34, 14}, {34, 4}}}),
         "Winkelgrundstück", "", "Datum nicht erfasst"},
        {repeatedVertex(6, 6, 30, 32), "Flurstück 106", "20100228", "Stützpunkt doppelt erfasst"},
        {ringsPolygon({{{5, 5}, {3, 22}, {18, 36}, {35, 25}, {30, 4}}}), "Große Wiese",
         "20111111", ""},
        {spike(5, 5, 25, 35, 6), "Flurstück 108", "20120305", "Spitze am Ostrand"},
        {ringsPolygon({rectangle(2, 2, 38, 38), rectangle(6, 6, 16, 16, false),
                       rectangle(22, 20, 34, 32, false)}),
         "Gärtnerei Müller", "20130720", ""},
        {bowTie(6, 6, 32, 30), "Flurstück 110", "20140814", "Eckpunkte vertauscht"},
        {ringsPolygon({{{4, 6}, {10, 32}, {28, 32}, {36, 6}}}), "Straßenland", "20150101", ""},
        {wrongOrientation(5, 8, 33, 30), "Flurstück 112", "20160229",
         "gegen den Uhrzeigersinn digitalisiert"},
        {ringsPolygon({rectangle(2, 2, 22, 22), rectangle(7, 7, 17, 17, false),
                       rectangle(26, 20, 38, 38)}),
         "Mühlenweg 3", "20170506", "Teilfläche mit Loch"},
        {ringsPolygon({{{5, 5}, {5, 25}, {20, 25}, {35, 25}, {35, 5}}}), "Flurstück 114",
         "20180918", "Zwischenpunkt auf der Nordseite"},
        {rectanglePolygon(2, 2, 38, 20), "Größe laut Grundbuch", "20190102", ""},
        {rectanglePolygon(10, 3, 30, 37), "Flurstück 116", "20200415", ""},
        {ringsPolygon({{{3, 4}, {6, 33}, {37, 36}, {34, 2}}}), "Am Weiher", "20210808", ""},
        {ringsPolygon({{{12, 4}, {4, 12}, {4, 28}, {12, 36}, {28, 36}, {36, 28}, {36, 12},
                        {28, 4}}}),
         "Flurstück 118", "20220321", ""},
        {rectanglePolygon(6.125, 6.375, 33.875, 31.625), "Straße zum Bahnhof", "20230630", ""},
        {ringsPolygon({{{4, 4}, {20, 36}, {36, 4}}}), "Flurstück 120", "20241224", ""},
    };
}

// A remark exactly as long as the text field, so a reader that cuts or pads
// the last byte of a 254-byte field is caught.
std::string fullWidthRemark(std::size_t width) {
    const std::string phrase = cp1252("Größe und Lage der Fläche nach Vermessung bestätigt; ");
    std::string text;
    while (text.size() < width) text += phrase;
    text.resize(width);
    text.back() = '.';
    return text;
}

constexpr std::string_view kUsage =
    "usage: plyvet-samplegen sample OUT_BASE\n"
    "       plyvet-samplegen grid OUT_BASE N\n"
    "       plyvet-samplegen hostile OUT_FOLDER\n"
    "       plyvet-samplegen parcels OUT_BASE N [FAULT_RATE [SEED]]\n"
    "Writes OUT_BASE.shp/.shx/.dbf/.cpg.\n"
    "  sample  the demo parcel layer (all field types, holes, multi-part polygons, faults)\n"
    "  grid    N x N clockwise unit squares, 1 <= N <= 1000\n"
    "  hostile every damaged triple of the hostile corpus, one per case, into OUT_FOLDER\n"
    "  parcels N parcel-like polygons of 50 to 500 vertices, a share FAULT_RATE (0 to 1,\n"
    "          default 0) of them with one injected fault, written one record at a time\n";

int parcelsCommand(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    long long count = 0;
    const auto countText = args[2];
    const auto [countEnd, countError] = std::from_chars(countText.data(), countText.data() + countText.size(), count);
    ParcelOptions options;
    bool valid = countError == std::errc{} && countEnd == countText.data() + countText.size() && count >= 1 &&
                 count <= 100'000'000;
    if (valid && args.size() >= 4) {
        const auto rateText = args[3];
        const auto [end, ec] = std::from_chars(rateText.data(), rateText.data() + rateText.size(), options.faultRate);
        valid = ec == std::errc{} && end == rateText.data() + rateText.size() && options.faultRate >= 0.0 &&
                options.faultRate <= 1.0;
    }
    if (valid && args.size() == 5) {
        const auto seedText = args[4];
        const auto [end, ec] = std::from_chars(seedText.data(), seedText.data() + seedText.size(), options.seed);
        valid = ec == std::errc{} && end == seedText.data() + seedText.size();
    }
    if (!valid) {
        err << "plyvet-samplegen: parcels needs a count from 1 to 100000000, a fault rate from 0 to 1 and a "
               "whole-number seed\n"
            << kUsage;
        return 2;
    }
    const std::filesystem::path base = withoutShpExtension(std::filesystem::path(args[1]));
    try {
        const ParcelCounts counts = writeParcelLayer(base, count, options);
        out << base.string() << ".shp: " << counts.records << " records, " << counts.vertices << " vertices, "
            << counts.faulty() << " with a fault\n";
    } catch (const RuntimeError& e) {
        err << "plyvet-samplegen: " << e.description() << '\n';
        return 1;
    }
    return 0;
}

}  // namespace

void write(const Layer& layer, const std::filesystem::path& base) {
    for (std::size_t i = 0; i < layer.records.size(); ++i) {
        if (layer.records[i].values.size() != layer.fields.size()) {
            throw std::invalid_argument("record " + std::to_string(i) + " has " +
                                        std::to_string(layer.records[i].values.size()) +
                                        " values for " + std::to_string(layer.fields.size()) +
                                        " fields");
        }
    }
    gis::ShapefileWriter writer(withoutShpExtension(base), layer.fields, layer.codePage);
    const gis::Polygon empty;
    for (const auto& record : layer.records) {
        writer.append(record.shape ? *record.shape : empty, record.values);
    }
    writer.close();
}

gis::FieldDef integerField(std::string name, int length) {
    return {std::move(name), gis::FieldType::Integer, length, length, 0};
}

gis::FieldDef doubleField(std::string name, int length, int decimals) {
    return {std::move(name), gis::FieldType::Double, length, length, decimals};
}

gis::FieldDef dateField(std::string name) { return {std::move(name), gis::FieldType::Date, 8, 0, 0}; }

gis::FieldDef textField(std::string name, int length) {
    return {std::move(name), gis::FieldType::String, length, 0, 0};
}

gis::FieldDef booleanField(std::string name) {
    return {std::move(name), gis::FieldType::Boolean, 1, 0, 0};
}

gis::Ring rectangle(double x0, double y0, double x1, double y1, bool clockwise) {
    const double left = std::min(x0, x1);
    const double right = std::max(x0, x1);
    const double bottom = std::min(y0, y1);
    const double top = std::max(y0, y1);
    if (clockwise) return {{left, bottom}, {left, top}, {right, top}, {right, bottom}};
    return {{left, bottom}, {right, bottom}, {right, top}, {left, top}};
}

gis::Polygon rectanglePolygon(double x0, double y0, double x1, double y1) {
    return ringsPolygon({rectangle(x0, y0, x1, y1)});
}

gis::Polygon squareWithHole(double x, double y, double size, double inset) {
    return ringsPolygon({rectangle(x, y, x + size, y + size),
                         rectangle(x + inset, y + inset, x + size - inset, y + size - inset, false)});
}

gis::Polygon multiRectangle(std::span<const std::array<double, 4>> boxes) {
    gis::Polygon polygon;
    for (const auto& b : boxes) polygon.parts.push_back(rectangle(b[0], b[1], b[2], b[3]));
    return polygon;
}

gis::Polygon repeatedVertex(double x0, double y0, double x1, double y1) {
    gis::Ring ring = rectangle(x0, y0, x1, y1);
    ring.insert(ring.begin() + 1, ring[1]);
    return ringsPolygon({std::move(ring)});
}

gis::Polygon spike(double x0, double y0, double x1, double y1, double length) {
    // Clockwise: lower left, upper left, upper right, then down the right side.
    gis::Ring ring = rectangle(x0, y0, x1, y1);
    const double right = ring[2].x;
    const double ym = (ring[1].y + ring[0].y) / 2.0;
    const gis::Point base{right, ym};
    const gis::Point tip{right + length, ym + length / 2.0};
    const gis::Point back{right + length / 3.0, ym + length / 6.0};
    ring.insert(ring.begin() + 3, {base, tip, back});
    return ringsPolygon({std::move(ring)});
}

gis::Polygon bowTie(double x0, double y0, double x1, double y1) {
    const gis::Ring r = rectangle(x0, y0, x1, y1);
    return ringsPolygon({{r[0], r[1], r[3], r[2]}});
}

gis::Polygon wrongOrientation(double x0, double y0, double x1, double y1) {
    return ringsPolygon({rectangle(x0, y0, x1, y1, false)});
}

Layer sampleLayer() {
    Layer layer;
    layer.codePage = std::string(gis::kCodePageAnsi);
    layer.fields = {
        integerField("ID", 9),         integerField("GROSSNR", 20),
        doubleField("FLAECHE", 12, 2), dateField("DATUM"),
        textField("NAME", 40),         textField("BEMERKUNG", 254),
        booleanField("GEPRUEFT"),
    };
    // GROSSNR is N(20,0): wider than any 32-bit number, so readers that size
    // integers by width see a floating field, yet it holds small whole numbers.

    const auto parcels = sampleParcels();
    constexpr int kColumns = 5;
    constexpr double kCell = 40.0;
    for (std::size_t i = 0; i < parcels.size(); ++i) {
        const auto& parcel = parcels[i];
        const int id = static_cast<int>(i) + 1;
        const double dx = kSampleOrigin.x + kCell * ((id - 1) % kColumns);
        const double dy = kSampleOrigin.y + kCell * ((id - 1) / kColumns);
        Record record;
        record.shape = translated(parcel.shape, dx, dy);
        std::string remark = cp1252(parcel.remark);
        if (id == 9) remark = fullWidthRemark(254);
        record.values = {
            std::to_string(id),
            std::to_string(100 + 7 * id % 23),
            fixed(std::abs(gis::area(*record.shape)), 2),
            std::string(parcel.date),
            cp1252(parcel.name),
            std::move(remark),
            std::string(id % 2 == 0 ? "T" : "F"),
        };
        layer.records.push_back(std::move(record));
    }
    return layer;
}

Layer gridLayer(int n) {
    if (n < 1) throw std::invalid_argument("grid size must be at least 1");
    Layer layer;
    layer.fields = {integerField("ID", 9)};
    layer.records.reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const double x = i;
            const double y = j;
            layer.records.push_back(
                {rectanglePolygon(x, y, x + 1.0, y + 1.0), {std::to_string(j * n + i + 1)}});
        }
    }
    return layer;
}

int runCommandLine(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << kUsage;
        return 0;
    }
    if (args.size() == 2 && args[0] == "hostile") {
        try {
            for (const auto& c : hostileCases()) {
                out << writeHostile(c.name, std::filesystem::path(args[1])).string() << ": " << c.description << '\n';
            }
        } catch (const RuntimeError& e) {
            err << "plyvet-samplegen: " << e.description() << '\n';
            return 1;
        } catch (const std::exception& e) {
            err << "plyvet-samplegen: " << e.what() << '\n';
            return 1;
        }
        return 0;
    }
    if (args.size() >= 3 && args.size() <= 5 && args[0] == "parcels") {
        return parcelsCommand(args, out, err);
    }
    Layer layer;
    if (args.size() == 2 && args[0] == "sample") {
        layer = sampleLayer();
    } else if (args.size() == 3 && args[0] == "grid") {
        int n = 0;
        const auto text = args[2];
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc{} || end != text.data() + text.size() || n < 1 || n > 1000) {
            err << "plyvet-samplegen: grid size must be a whole number from 1 to 1000, not \""
                << text << "\"\n"
                << kUsage;
            return 2;
        }
        layer = gridLayer(n);
    } else {
        err << kUsage;
        return 2;
    }
    const std::filesystem::path base = withoutShpExtension(std::filesystem::path(args[1]));
    try {
        write(layer, base);
    } catch (const RuntimeError& e) {
        err << "plyvet-samplegen: " << e.description() << '\n';
        return 1;
    } catch (const std::exception& e) {
        err << "plyvet-samplegen: " << e.what() << '\n';
        return 1;
    }
    out << base.string() << ".shp: " << layer.records.size() << " records\n";
    return 0;
}

}  // namespace plyvet::samplegen
