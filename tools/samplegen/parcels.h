#pragma once
// Parcel-like layers of any size for the benchmarks and the tests that need
// many realistic polygons: one polygon per cell of a square grid in
// Gauss-Krueger style coordinates, 50 to 500 vertices each, with faults
// injected into a known share of them.
//
// Every parcel is a pure function of its record number and the options, so
// a layer of 10^6 records is written one record at a time (nothing of it is
// held in memory) and a test can rebuild any single record to compare.
//
// Outlines are star-shaped around the cell centre (every ray from the centre
// meets them once), so a parcel without a fault is a simple clockwise ring
// by construction; its holes are star-shaped counter-clockwise rings well
// inside it. Three kinds of outline are mixed, so that shapes with long
// monotone runs are not the only ones measured:
//   smooth  a rounded rectangle, long runs of gently turning edges;
//   zigzag  a dense comb of teeth, the outline turning at every vertex;
//   runs    a radius that takes a random walk: many short monotone runs.
// Coordinates are rounded to millimetres, as surveyed parcels are stored.

#include "pipeline/gis/geometry.h"
#include "pipeline/gis/shapefile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::samplegen {

enum class Outline { Smooth, Zigzag, Runs };

// The fault injected into a parcel; each faulty parcel has exactly one.
enum class ParcelFault {
    None,
    RepeatedVertex,    // one vertex stored twice in a row
    Spike,             // the outline runs out from a vertex and straight back
    SelfCrossing,      // a notch whose two edges cross: a small bow tie on one edge
    WrongOrientation,  // the outer ring stored counter-clockwise
    DuplicatePart,     // the outer ring stored a second time as another part
    Sliver,            // an extra part of a few square centimetres in a corner of the cell
};

inline constexpr std::array<ParcelFault, 6> kParcelFaults = {
    ParcelFault::RepeatedVertex,   ParcelFault::Spike,         ParcelFault::SelfCrossing,
    ParcelFault::WrongOrientation, ParcelFault::DuplicatePart, ParcelFault::Sliver};

std::string_view faultName(ParcelFault fault);
std::string_view outlineName(Outline outline);

struct ParcelOptions {
    std::uint64_t seed = 1;
    int minVertices = 50;   // of the outer ring (before a fault adds some)
    int maxVertices = 500;  // vertex counts are spread log-uniformly in between
    double faultRate = 0.0;  // share of parcels that get one fault, 0 to 1
    double holeRate = 0.1;   // share of parcels with one hole
    double twoPartRate = 0.05;  // share of parcels made of two separate rings
    double cellSize = 100.0;    // metres; parcels sit on a grid of such cells
    int columns = 1000;         // cells per grid row
    gis::Point origin{3500000.0, 5800000.0};
};

struct Parcel {
    gis::Polygon shape;
    Outline outline = Outline::Smooth;
    ParcelFault fault = ParcelFault::None;
};

// The parcel of record `index` (0-based).
Parcel parcel(std::int64_t index, const ParcelOptions& options);

// The attribute fields of a parcel layer: ID (integer), NAME (text 24, with
// a Windows-1252 umlaut), FLAECHE (area, 2 decimals), KIND (text 12, the
// outline and fault names).
std::vector<gis::FieldDef> parcelFields();
std::vector<std::optional<std::string>> parcelValues(std::int64_t index, const Parcel& parcel);

// How many parcels of a written layer got each fault (indexed like
// ParcelFault) and how many vertices the layer holds.
struct ParcelCounts {
    std::int64_t records = 0;
    std::int64_t vertices = 0;
    std::array<std::int64_t, kParcelFaults.size() + 1> byFault{};
    std::int64_t faulty() const { return records - byFault[0]; }
};

// Writes `count` parcels to "<base>.shp/.shx/.dbf/.cpg", one record at a
// time. Raises RuntimeError when a file cannot be written.
ParcelCounts writeParcelLayer(const std::filesystem::path& base, std::int64_t count, const ParcelOptions& options);

}  // namespace plyvet::samplegen
