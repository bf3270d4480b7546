#include "pipeline/gis/geos_ops.h"

#include "pipeline/gis/runtime_error.h"

#include <geos_c.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

namespace plyvet::gis {

namespace {

// ---------------------------------------------------------------------------
// Context. GEOS contexts must not be shared between threads, so each thread
// gets its own; objects that outlive a call (the spatial index) hold a
// reference so the context stays alive as long as they do. The handlers keep
// GEOS's messages for the error description instead of printing them.

struct ContextFinish {
    void operator()(GEOSContextHandle_t h) const noexcept { GEOS_finish_r(h); }
};

struct Context {
    std::unique_ptr<GEOSContextHandle_HS, ContextFinish> handle;
    std::string lastError;
    std::string lastNotice;

    Context() : handle(GEOS_init_r()) {
        if (!handle) {
            throw RuntimeError(err::kGisFailure, "Geometrie", "Geometrie: die Geometriebibliothek kann nicht gestartet werden.");
        }
        GEOSContext_setErrorMessageHandler_r(handle.get(), &Context::onError, this);
        GEOSContext_setNoticeMessageHandler_r(handle.get(), &Context::onNotice, this);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    GEOSContextHandle_t get() const { return handle.get(); }

    static void onError(const char* message, void* self) {
        static_cast<Context*>(self)->lastError = message != nullptr ? message : "";
    }
    static void onNotice(const char* message, void* self) {
        static_cast<Context*>(self)->lastNotice = message != nullptr ? message : "";
    }

    // Raises for a failed call, with GEOS's own reason when it gave one.
    [[noreturn]] void fail(const std::string& what) {
        std::string reason;
        reason.swap(lastError);
        throw RuntimeError(err::kGisFailure, "Geometrie",
                           "Geometrie: " + what + " fehlgeschlagen" + (reason.empty() ? "" : " (" + reason + ")") + ".");
    }
};

const std::shared_ptr<Context>& threadContext() {
    thread_local const std::shared_ptr<Context> ctx = std::make_shared<Context>();
    return ctx;
}

struct GeomDeleter {
    GEOSContextHandle_t ctx = nullptr;
    void operator()(GEOSGeometry* g) const noexcept { GEOSGeom_destroy_r(ctx, g); }
};
struct SeqDeleter {
    GEOSContextHandle_t ctx = nullptr;
    void operator()(GEOSCoordSequence* s) const noexcept { GEOSCoordSeq_destroy_r(ctx, s); }
};
struct PreparedDeleter {
    GEOSContextHandle_t ctx = nullptr;
    void operator()(const GEOSPreparedGeometry* p) const noexcept { GEOSPreparedGeom_destroy_r(ctx, p); }
};
struct TreeDeleter {
    GEOSContextHandle_t ctx = nullptr;
    void operator()(GEOSSTRtree* t) const noexcept { GEOSSTRtree_destroy_r(ctx, t); }
};
using GeomPtr = std::unique_ptr<GEOSGeometry, GeomDeleter>;
using SeqPtr = std::unique_ptr<GEOSCoordSequence, SeqDeleter>;
using PreparedPtr = std::unique_ptr<const GEOSPreparedGeometry, PreparedDeleter>;
using TreePtr = std::unique_ptr<GEOSSTRtree, TreeDeleter>;

GeomPtr own(Context& c, GEOSGeometry* g, const char* what) {
    if (g == nullptr) {
        c.fail(what);
    }
    return GeomPtr(g, GeomDeleter{c.get()});
}

// GEOS predicates answer 0, 1, or 2 for an exception.
bool predicate(Context& c, char answer, const char* what) {
    if (answer == 2) {
        c.fail(what);
    }
    return answer == 1;
}

// ---------------------------------------------------------------------------
// Polygon -> GEOS.

// Inside or on the boundary of an implicitly closed ring (crossing number,
// with an exact on-segment test first).
bool ringCovers(const Ring& ring, Point p) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const Point& a = ring[j];
        const Point& b = ring[i];
        const double cross = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
        if (cross == 0.0 && std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
            p.y <= std::max(a.y, b.y)) {
            return true;
        }
        if ((a.y > p.y) != (b.y > p.y)) {
            const double xCross = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (p.x < xCross) {
                inside = !inside;
            }
        }
    }
    return inside;
}

GeomPtr makeRing(Context& c, const Ring& ring) {
    std::vector<double> xy;
    xy.reserve(2 * ring.size() + 2);
    for (const Point& p : ring) {
        xy.push_back(p.x);
        xy.push_back(p.y);
    }
    xy.push_back(ring.front().x);
    xy.push_back(ring.front().y);
    SeqPtr seq(GEOSCoordSeq_copyFromBuffer_r(c.get(), xy.data(), static_cast<unsigned>(ring.size() + 1), 0, 0),
               SeqDeleter{c.get()});
    if (!seq) {
        c.fail("Anlegen einer Punktfolge");
    }
    // The ring takes the sequence over.
    return own(c, GEOSGeom_createLinearRing_r(c.get(), seq.release()), "Anlegen eines Rings");
}

GeomPtr makePolygon(Context& c, const Ring& shell, const std::vector<const Ring*>& holes) {
    GeomPtr shellRing = makeRing(c, shell);
    std::vector<GeomPtr> holeRings;
    holeRings.reserve(holes.size());
    for (const Ring* h : holes) {
        holeRings.push_back(makeRing(c, *h));
    }
    std::vector<GEOSGeometry*> raw;
    raw.reserve(holeRings.size());
    for (GeomPtr& h : holeRings) {
        raw.push_back(h.release());  // the polygon takes its rings over
    }
    return own(c,
               GEOSGeom_createPolygon_r(c.get(), shellRing.release(), raw.data(), static_cast<unsigned>(raw.size())),
               "Anlegen eines Polygons");
}

// Rings that enclose no area (fewer than 3 points, zero or undefined area)
// are left out: they contribute nothing to an area and GEOS refuses them.
GeomPtr toGeos(Context& c, const Polygon& polygon) {
    struct Shell {
        const Ring* ring;
        double area;
        std::vector<const Ring*> holes;
    };
    std::vector<Shell> shells;
    std::vector<const Ring*> holes;
    for (const Ring& ring : polygon.parts) {
        const double a = ring.size() >= 3 ? ringArea(ring) : 0.0;
        if (a > 0.0) {
            shells.push_back(Shell{&ring, a, {}});
        } else if (a < 0.0) {
            holes.push_back(&ring);
        }
    }
    for (const Ring* hole : holes) {
        Shell* best = nullptr;
        for (Shell& s : shells) {
            if ((best == nullptr || s.area < best->area) && ringCovers(*s.ring, hole->front())) {
                best = &s;
            }
        }
        if (best != nullptr) {
            best->holes.push_back(hole);
        } else {
            // No shell around it: the hole stands for an area of its own.
            shells.push_back(Shell{hole, -ringArea(*hole), {}});
        }
    }
    if (shells.empty()) {
        return own(c, GEOSGeom_createEmptyPolygon_r(c.get()), "Anlegen eines leeren Polygons");
    }
    if (shells.size() == 1) {
        return makePolygon(c, *shells.front().ring, shells.front().holes);
    }
    std::vector<GeomPtr> parts;
    parts.reserve(shells.size());
    for (const Shell& s : shells) {
        parts.push_back(makePolygon(c, *s.ring, s.holes));
    }
    std::vector<GEOSGeometry*> raw;
    raw.reserve(parts.size());
    for (GeomPtr& p : parts) {
        raw.push_back(p.release());
    }
    return own(c,
               GEOSGeom_createCollection_r(c.get(), GEOS_MULTIPOLYGON, raw.data(), static_cast<unsigned>(raw.size())),
               "Anlegen eines Multipolygons");
}

bool isEmpty(Context& c, const GEOSGeometry* g) { return predicate(c, GEOSisEmpty_r(c.get(), g), "Leertest"); }

// ---------------------------------------------------------------------------
// GEOS -> Polygon.

Ring ringFrom(Context& c, const GEOSGeometry* ring, bool clockwise) {
    const GEOSCoordSequence* seq = GEOSGeom_getCoordSeq_r(c.get(), ring);
    unsigned size = 0;
    if (seq == nullptr || GEOSCoordSeq_getSize_r(c.get(), seq, &size) == 0) {
        c.fail("Lesen eines Rings");
    }
    std::vector<double> xy(2 * static_cast<std::size_t>(size));
    if (size > 0 && GEOSCoordSeq_copyToBuffer_r(c.get(), seq, xy.data(), 0, 0) == 0) {
        c.fail("Lesen eines Rings");
    }
    Ring out;
    out.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(Point{xy[2 * i], xy[2 * i + 1]});
    }
    if (out.size() >= 2 && out.front() == out.back()) {
        out.pop_back();
    }
    if ((ringArea(out) > 0.0) != clockwise) {
        std::reverse(out.begin(), out.end());
    }
    return out;
}

void collectPolygons(Context& c, const GEOSGeometry* g, Polygon& out) {
    const int type = GEOSGeomTypeId_r(c.get(), g);
    if (type == -1) {
        c.fail("Lesen des Geometrietyps");
    }
    if (type == GEOS_POLYGON) {
        if (isEmpty(c, g)) {
            return;
        }
        const GEOSGeometry* shell = GEOSGetExteriorRing_r(c.get(), g);
        const int holes = GEOSGetNumInteriorRings_r(c.get(), g);
        if (shell == nullptr || holes < 0) {
            c.fail("Lesen eines Polygons");
        }
        out.parts.push_back(ringFrom(c, shell, true));
        for (int i = 0; i < holes; ++i) {
            const GEOSGeometry* hole = GEOSGetInteriorRingN_r(c.get(), g, i);
            if (hole == nullptr) {
                c.fail("Lesen eines Lochs");
            }
            out.parts.push_back(ringFrom(c, hole, false));
        }
    } else if (type == GEOS_MULTIPOLYGON || type == GEOS_GEOMETRYCOLLECTION) {
        const int n = GEOSGetNumGeometries_r(c.get(), g);
        if (n < 0) {
            c.fail("Lesen einer Sammelgeometrie");
        }
        for (int i = 0; i < n; ++i) {
            collectPolygons(c, GEOSGetGeometryN_r(c.get(), g, i), out);
        }
    }
    // Points and lines of an overlay result carry no area and are dropped.
}

std::optional<Polygon> fromGeos(Context& c, const GEOSGeometry* g) {
    Polygon out;
    collectPolygons(c, g, out);
    if (out.parts.empty()) {
        return std::nullopt;
    }
    return out;
}

GeomPtr makePoint(Context& c, Point p) {
    return own(c, GEOSGeom_createPointFromXY_r(c.get(), p.x, p.y), "Anlegen eines Punkts");
}

void requireKnown(Relation relation) {
    if (relation != Relation::Identical && relation != Relation::Overlapping) {
        throw RuntimeError(err::kInvalidPropertyValue, "Geometrie",
                           "Geometrie: unbekannter Beziehungscode " + std::to_string(static_cast<int>(relation)) + ".");
    }
}

bool related(Context& c, const GEOSGeometry* candidate, const GEOSGeometry* shape, Relation relation) {
    requireKnown(relation);
    switch (relation) {
    case Relation::Identical:
        return predicate(c, GEOSEquals_r(c.get(), candidate, shape), "Test auf Flächengleichheit");
    case Relation::Overlapping:
        return predicate(c, GEOSIntersects_r(c.get(), candidate, shape), "Test auf Überlappung");
    }
    return false;
}

}  // namespace

std::optional<Polygon> intersection(const Polygon& a, const Polygon& b) {
    Context& c = *threadContext();
    const GeomPtr ga = toGeos(c, a);
    const GeomPtr gb = toGeos(c, b);
    if (isEmpty(c, ga.get()) || isEmpty(c, gb.get())) {
        return std::nullopt;
    }
    const GeomPtr r = own(c, GEOSIntersection_r(c.get(), ga.get(), gb.get()), "Verschneidung");
    return fromGeos(c, r.get());
}

std::optional<Polygon> difference(const Polygon& a, const Polygon& b) {
    Context& c = *threadContext();
    const GeomPtr ga = toGeos(c, a);
    if (isEmpty(c, ga.get())) {
        return std::nullopt;
    }
    const GeomPtr gb = toGeos(c, b);
    const GeomPtr r = own(c, GEOSDifference_r(c.get(), ga.get(), gb.get()), "Differenzbildung");
    return fromGeos(c, r.get());
}

bool containsPoint(const Polygon& polygon, Point p) {
    Context& c = *threadContext();
    const GeomPtr g = toGeos(c, polygon);
    if (isEmpty(c, g.get())) {
        return false;
    }
    const GeomPtr pt = makePoint(c, p);
    return predicate(c, GEOSIntersects_r(c.get(), g.get(), pt.get()), "Punkt-in-Polygon-Test");
}

std::vector<bool> containsPoints(const Polygon& polygon, std::span<const Point> points) {
    Context& c = *threadContext();
    std::vector<bool> inside(points.size(), false);
    const GeomPtr g = toGeos(c, polygon);
    if (points.empty() || isEmpty(c, g.get())) {
        return inside;
    }
    // One polygon without holes: GEOS locates a point in it by the crossing
    // count of its one ring, prepared or not (a point on the ring counts as
    // in), so the prepared form, which indexes the ring once, gives the same
    // answer. With holes or several polygons the two count differently where
    // rings overlap (invalid input), so each point gets the plain test.
    const bool oneRing = GEOSGeomTypeId_r(c.get(), g.get()) == GEOS_POLYGON &&
                         GEOSGetNumInteriorRings_r(c.get(), g.get()) == 0;
    PreparedPtr prepared(nullptr, PreparedDeleter{c.get()});
    if (oneRing) {
        prepared.reset(GEOSPrepare_r(c.get(), g.get()));
        if (!prepared) {
            c.fail("Vorbereiten des Punkt-in-Polygon-Tests");
        }
    }
    for (std::size_t k = 0; k < points.size(); ++k) {
        const GeomPtr pt = makePoint(c, points[k]);
        const char answer = prepared ? GEOSPreparedIntersects_r(c.get(), prepared.get(), pt.get())
                                     : GEOSIntersects_r(c.get(), g.get(), pt.get());
        inside[k] = predicate(c, answer, "Punkt-in-Polygon-Test");
    }
    return inside;
}

Point centroid(const Polygon& polygon) {
    Context& c = *threadContext();
    const GeomPtr g = toGeos(c, polygon);
    if (isEmpty(c, g.get())) {
        throw RuntimeError(err::kGisFailure, "Geometrie",
                           "Geometrie: Schwerpunkt eines Polygons ohne Fläche ist nicht bestimmbar.");
    }
    const GeomPtr pt = own(c, GEOSGetCentroid_r(c.get(), g.get()), "Schwerpunktberechnung");
    Point result;
    if (isEmpty(c, pt.get()) || GEOSGeomGetX_r(c.get(), pt.get(), &result.x) == 0 ||
        GEOSGeomGetY_r(c.get(), pt.get(), &result.y) == 0) {
        c.fail("Schwerpunktberechnung");
    }
    return result;
}

double distance(const Polygon& polygon, Point p) {
    Context& c = *threadContext();
    const GeomPtr g = toGeos(c, polygon);
    if (isEmpty(c, g.get())) {
        return std::numeric_limits<double>::infinity();  // nothing to be near to
    }
    const GeomPtr pt = makePoint(c, p);
    double d = 0.0;
    if (GEOSDistance_r(c.get(), g.get(), pt.get(), &d) == 0) {
        c.fail("Abstandsberechnung");
    }
    return d;
}

bool relates(const Polygon& candidate, const Polygon& shape, Relation relation) {
    requireKnown(relation);
    Context& c = *threadContext();
    const GeomPtr a = toGeos(c, candidate);
    const GeomPtr b = toGeos(c, shape);
    if (isEmpty(c, a.get()) || isEmpty(c, b.get())) {
        return false;
    }
    return related(c, a.get(), b.get(), relation);
}

// ===========================================================================
// Spatial index

struct SpatialIndex::Impl {
    std::shared_ptr<Context> ctx;         // destroyed last: everything below uses it
    std::vector<std::size_t> ids;         // tree items point here; never resized after insertion
    std::vector<GeomPtr> geometries;      // by polygon index; empty polygons stay out of the tree
    TreePtr tree;
};

SpatialIndex::SpatialIndex(std::span<const Polygon> polygons) : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.ctx = threadContext();
    Context& c = *m.ctx;
    m.ids.resize(polygons.size());
    m.geometries.reserve(polygons.size());
    for (std::size_t i = 0; i < polygons.size(); ++i) {
        m.ids[i] = i;
        m.geometries.push_back(toGeos(c, polygons[i]));
    }
    m.tree = TreePtr(GEOSSTRtree_create_r(c.get(), 10), TreeDeleter{c.get()});
    if (!m.tree) {
        c.fail("Anlegen des räumlichen Index");
    }
    for (std::size_t i = 0; i < polygons.size(); ++i) {
        if (!isEmpty(c, m.geometries[i].get())) {
            GEOSSTRtree_insert_r(c.get(), m.tree.get(), m.geometries[i].get(), &m.ids[i]);
        }
    }
}

SpatialIndex::~SpatialIndex() = default;
SpatialIndex::SpatialIndex(SpatialIndex&&) noexcept = default;
SpatialIndex& SpatialIndex::operator=(SpatialIndex&&) noexcept = default;

std::vector<int> SpatialIndex::search(const Polygon& shape, Relation relation) const {
    Impl& m = *impl_;
    Context& c = *m.ctx;
    requireKnown(relation);
    const GeomPtr g = toGeos(c, shape);
    if (isEmpty(c, g.get())) {
        return {};
    }

    // Bounding-box candidates from the tree; only they get the exact test.
    std::vector<std::size_t> candidates;
    c.lastError.clear();
    GEOSSTRtree_query_r(
        c.get(), m.tree.get(), g.get(),
        [](void* item, void* userdata) {
            static_cast<std::vector<std::size_t>*>(userdata)->push_back(*static_cast<const std::size_t*>(item));
        },
        &candidates);
    if (!c.lastError.empty()) {
        c.fail("Abfrage des räumlichen Index");
    }

    std::vector<int> found;
    if (relation == Relation::Overlapping) {
        // One shape against many candidates: the prepared form indexes its edges once.
        const PreparedPtr prepared(GEOSPrepare_r(c.get(), g.get()), PreparedDeleter{c.get()});
        if (!prepared) {
            c.fail("Vorbereiten der Suchgeometrie");
        }
        for (std::size_t i : candidates) {
            if (predicate(c, GEOSPreparedIntersects_r(c.get(), prepared.get(), m.geometries[i].get()),
                          "Test auf Überlappung")) {
                found.push_back(static_cast<int>(i));
            }
        }
    } else {
        for (std::size_t i : candidates) {
            if (related(c, m.geometries[i].get(), g.get(), relation)) {
                found.push_back(static_cast<int>(i));
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace plyvet::gis
