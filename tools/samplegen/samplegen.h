#pragma once
// Deterministic generator of polygon shapefiles for tests, demos and benchmarks.
//
// A Layer is a plain description of a shapefile: field descriptions, the code
// page and one Record per feature. write() hands it to the project's own
// shapefile writer, so the bytes on disk depend only on the Layer: no clock,
// no random state, no host-dependent formatting (numbers are formatted with a
// decimal point whatever the locale).
//
// Rings follow the shapefile convention: outer rings clockwise, holes
// counter-clockwise (gis::ringArea() positive for clockwise). The shape helpers
// build correct rings unless their name says otherwise; the faulty ones are
// there so that tests and the demo sample have known faults to find.

#include "pipeline/gis/geometry.h"
#include "pipeline/gis/shapefile.h"

#include <array>
#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::samplegen {

struct Record {
    // std::nullopt (or a polygon without parts) is stored as a null shape.
    std::optional<gis::Polygon> shape;
    // One raw dBase text per field, in the layer's code page; std::nullopt
    // writes the writer's null value of the field type.
    std::vector<std::optional<std::string>> values;
};

struct Layer {
    std::vector<gis::FieldDef> fields;
    std::string codePage{gis::kCodePageAnsi};
    std::vector<Record> records;
};

// Writes "<base>.shp/.shx/.dbf" (and ".cpg" when the code page is a name).
// A trailing ".shp" on `base` is taken off first. Existing files are replaced.
// Raises RuntimeError (from the writer) when a file cannot be written, and
// std::invalid_argument when a record's value count differs from the field count.
void write(const Layer& layer, const std::filesystem::path& base);

// --- field descriptions (precision equals the length for numeric fields) ----
gis::FieldDef integerField(std::string name, int length = 9);
gis::FieldDef doubleField(std::string name, int length, int decimals);
gis::FieldDef dateField(std::string name);
gis::FieldDef textField(std::string name, int length);
gis::FieldDef booleanField(std::string name);

// --- shape helpers ----------------------------------------------------------
// Axis-parallel rectangle with corners (x0, y0) and (x1, y1) in any order,
// starting at the lower left corner; clockwise for an outer ring,
// counter-clockwise for a hole.
gis::Ring rectangle(double x0, double y0, double x1, double y1, bool clockwise = true);

// One-part polygon of a clockwise rectangle.
gis::Polygon rectanglePolygon(double x0, double y0, double x1, double y1);

// Square of side `size` at (x, y) with a square hole inset by `inset` on every side.
gis::Polygon squareWithHole(double x, double y, double size, double inset);

// Multi-part polygon: one clockwise rectangle per entry {x0, y0, x1, y1}.
gis::Polygon multiRectangle(std::span<const std::array<double, 4>> boxes);

// Faulty shapes, each with exactly one fault:
// the clockwise rectangle whose second corner (upper left) is stored twice in a row;
gis::Polygon repeatedVertex(double x0, double y0, double x1, double y1);
// the clockwise rectangle with a spike on its right side: from (x1, ym) the
// outline runs out to (x1 + length, ym + length / 2) and straight back to
// (x1 + length / 3, ym + length / 6) before it returns to the side, ym the
// middle of the side;
gis::Polygon spike(double x0, double y0, double x1, double y1, double length);
// the rectangle's four corners in bow-tie order, lower left, upper left,
// lower right, upper right: the ring crosses itself at the centre;
gis::Polygon bowTie(double x0, double y0, double x1, double y1);
// the rectangle stored counter-clockwise as its only (outer) ring.
gis::Polygon wrongOrientation(double x0, double y0, double x1, double y1);

// --- ready-made layers --------------------------------------------------------
// The demo sample: a parcel layer in Gauss-Krueger style coordinates with every
// field type, Windows-1252 texts, holes, multi-part polygons and a few faults.
Layer sampleLayer();

// Lower left corner of the demo sample's coordinates.
inline constexpr gis::Point kSampleOrigin{3500000.0, 5800000.0};

// N x N clockwise unit squares, the square at column i and row j has its lower
// left corner at (i, j) and ID j * n + i + 1 (one Integer field "ID").
Layer gridLayer(int n);

// The command line of plyvet-samplegen, without the program name. Returns the
// exit code: 0 success, 1 a file could not be written, 2 usage error.
int runCommandLine(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace plyvet::samplegen
