#include "reference_io.h"

#include "pipeline/gis/runtime_error.h"
#include "pipeline/gis/shapefile.h"

#include <shapefil.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace plyvet::gis::test {

namespace {

namespace fs = std::filesystem;

std::string tlsMessages;

void collect(const char* message) {
    if (!tlsMessages.empty()) {
        tlsMessages += "; ";
    }
    for (const char* p = message; *p != '\0'; ++p) {
        tlsMessages += (*p == '\n' || *p == '\r') ? ' ' : *p;
    }
}

SAHooks hooks() {
    SAHooks h{};
    SASetupDefaultHooks(&h);
    h.Error = collect;
    return h;
}

struct ShpCloser {
    void operator()(SHPInfo* h) const noexcept { SHPClose(h); }
};
struct ObjectDeleter {
    void operator()(SHPObject* o) const noexcept { SHPDestroyObject(o); }
};
using ShpPtr = std::unique_ptr<SHPInfo, ShpCloser>;
using ObjectPtr = std::unique_ptr<SHPObject, ObjectDeleter>;

std::string hex(double v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(v)));
    return text;
}

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

void write(const fs::path& base, const std::vector<Polygon>& polygons, bool close) {
    SAHooks h = hooks();
    tlsMessages.clear();
    ShpPtr shp(SHPCreateLL((base.string() + ".shp").c_str(), SHPT_POLYGON, &h));
    if (!shp) {
        throw std::runtime_error("SHPCreate: " + tlsMessages);
    }
    for (const Polygon& polygon : polygons) {
        std::vector<int> starts;
        std::vector<double> xs;
        std::vector<double> ys;
        for (const Ring& ring : polygon.parts) {
            starts.push_back(static_cast<int>(xs.size()));
            for (const Point& p : ring) {
                xs.push_back(p.x);
                ys.push_back(p.y);
            }
            if (close) {
                xs.push_back(ring.front().x);
                ys.push_back(ring.front().y);
            }
        }
        ObjectPtr object(polygon.parts.empty()
                             ? SHPCreateObject(SHPT_NULL, -1, 0, nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr)
                             : SHPCreateObject(SHPT_POLYGON, -1, static_cast<int>(starts.size()), starts.data(),
                                               nullptr, static_cast<int>(xs.size()), xs.data(), ys.data(), nullptr,
                                               nullptr));
        if (!object || SHPWriteObject(shp.get(), -1, object.get()) < 0) {
            throw std::runtime_error("SHPWriteObject: " + tlsMessages);
        }
    }
}

std::uint32_t bigEndian32(const unsigned char* b) {
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | std::uint32_t{b[3]};
}

std::string num(std::int64_t v) { return std::to_string(v); }

// One record as the access layer read it through the library.
std::string libraryRecord(SHPInfo* shp, const fs::path& shown, std::uintmax_t shpSize, const fs::path& shpFile,
                          int index) {
    const std::string rec = "Datensatz " + num(index);
    const std::string prefix = "error: Shapefile " + shown.string() + ": ";
    const std::uint64_t offset = shp->panRecOffset[index];
    const std::uint64_t length = shp->panRecSize[index];
    if (offset < 100) {
        return prefix + rec + " liegt laut Indexdatei bei Byte " + num(static_cast<std::int64_t>(offset)) +
               ", also im Dateikopf (Indexdatei beschädigt).";
    }
    if (offset + 8 + length > shpSize) {
        return prefix + rec + " liegt laut Indexdatei bei Byte " + num(static_cast<std::int64_t>(offset)) + " mit " +
               num(static_cast<std::int64_t>(length)) + " Byte Inhalt, die Geometriedatei ist aber nur " +
               num(static_cast<std::int64_t>(shpSize)) + " Byte lang (abgeschnitten oder beschädigt).";
    }
    std::ifstream in(shpFile, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    unsigned char header[8] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    const std::uint64_t headerLength = std::uint64_t{bigEndian32(header + 4)} * 2;
    if (headerLength != length) {
        return prefix + rec + ": Länge im Datensatzkopf (" + num(static_cast<std::int64_t>(headerLength)) +
               " Byte) widerspricht der Indexdatei (" + num(static_cast<std::int64_t>(length)) + " Byte).";
    }
    tlsMessages.clear();
    const ObjectPtr object(SHPReadObject(shp, index));
    if (!object) {
        return prefix + rec + " kann nicht gelesen werden" + (tlsMessages.empty() ? "" : " (" + tlsMessages + ")") +
               ".";
    }
    const SHPObject& o = *object;
    if (o.nSHPType == SHPT_NULL) {
        return "null";
    }
    if (o.nSHPType != SHPT_POLYGON) {
        return prefix + rec + " ist kein Polygon (Shape-Typ " + num(o.nSHPType) + ").";
    }
    if (o.nParts == 0) {
        if (o.nVertices != 0) {
            return prefix + rec + " hat " + num(o.nVertices) + " Punkte, aber keinen Part.";
        }
        return describeBits(Polygon{});
    }
    for (int k = 0; k < o.nParts; ++k) {
        const int start = o.panPartStart[k];
        const int lower = k == 0 ? 0 : o.panPartStart[k - 1] + 1;
        if ((k == 0 && start != 0) || start < lower || start >= o.nVertices) {
            return prefix + rec + ": Part " + num(k) + " beginnt bei Punkt " + num(start) + ", zulässig ist bei " +
                   num(o.nVertices) + " Punkten " +
                   (k == 0 ? std::string("nur 0") : num(lower) + " bis " + num(o.nVertices - 1)) + ".";
        }
    }
    Polygon result;
    for (int k = 0; k < o.nParts; ++k) {
        const int begin = o.panPartStart[k];
        int end = k + 1 < o.nParts ? o.panPartStart[k + 1] : o.nVertices;
        if (end - begin >= 2 && sameBits(o.padfX[end - 1], o.padfX[begin]) &&
            sameBits(o.padfY[end - 1], o.padfY[begin])) {
            --end;
        }
        Ring ring;
        for (int i = begin; i < end; ++i) {
            ring.push_back(Point{o.padfX[i], o.padfY[i]});
        }
        result.parts.push_back(std::move(ring));
    }
    return describeBits(result);
}

std::string info(int count, int type, const std::array<double, 4>& box) {
    return "info: " + num(count) + " " + num(type) + " " + hex(box[0]) + " " + hex(box[1]) + " " + hex(box[2]) + " " +
           hex(box[3]);
}

}  // namespace

void libraryWrite(const fs::path& base, const std::vector<Polygon>& polygons) { write(base, polygons, true); }

void libraryWriteRaw(const fs::path& base, const std::vector<Polygon>& polygons) { write(base, polygons, false); }

std::string describeBits(const std::optional<Polygon>& polygon) {
    if (!polygon) {
        return "null";
    }
    std::string out = "polygon:";
    for (const Ring& ring : polygon->parts) {
        out += " [";
        for (const Point& p : ring) {
            out += " " + hex(p.x) + "," + hex(p.y);
        }
        out += " ]";
    }
    return out;
}

std::vector<std::string> libraryOutcomes(const fs::path& shp) {
    const fs::path base = fs::path(shp).replace_extension();
    SAHooks h = hooks();
    tlsMessages.clear();
    errno = 0;
    const ShpPtr handle(SHPOpenLL(shp.string().c_str(), "rb", &h));
    if (!handle) {
        // A short index ends its message with the text of whatever errno
        // an earlier, unrelated call left; with errno cleared first it is
        // the text the reader gives.
        return {"open: Shapefile " + shp.string() +
                ": Geometrie- oder Indexdatei kann nicht geöffnet werden oder ihr Dateikopf ist beschädigt" +
                (tlsMessages.empty() ? "" : " (" + tlsMessages + ")") + "."};
    }
    int count = 0;
    int type = 0;
    double minBound[4] = {};
    double maxBound[4] = {};
    SHPGetInfo(handle.get(), &count, &type, minBound, maxBound);
    std::vector<std::string> out{info(count, shapeTypeCode(type), {minBound[0], minBound[1], maxBound[0], maxBound[1]})};
    const std::uintmax_t size = fs::file_size(shp);
    for (int i = 0; i < count; ++i) {
        out.push_back(libraryRecord(handle.get(), shp, size, shp, i));
    }
    return out;
}

std::vector<std::string> readerOutcomes(const fs::path& shp) {
    std::optional<ShapefileReader> reader;
    try {
        reader.emplace(shp);
    } catch (const RuntimeError& e) {
        return {"open: " + e.description()};
    }
    std::vector<std::string> out{info(reader->recordCount(), reader->shapeType(), reader->bounds())};
    for (int i = 0; i < reader->recordCount(); ++i) {
        try {
            out.push_back(describeBits(reader->polygon(i)));
        } catch (const RuntimeError& e) {
            out.push_back("error: " + e.description());
        }
    }
    return out;
}

}  // namespace plyvet::gis::test
