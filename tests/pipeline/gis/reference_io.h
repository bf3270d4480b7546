#pragma once
// The shapefile library's own .shp/.shx reader and writer, as the reference
// our streaming record module is held to: what the library writes for a
// list of polygons, and what the access layer reported for every record of
// a file when it read through the library's handles (the same checks, in
// the same order, with the same texts).

#include "pipeline/gis/geometry.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plyvet::gis::test {

// Writes "<base>.shp/.shx" with SHPCreate/SHPWriteObject: each ring closed
// by a repeat of its first point, a polygon without parts as the null shape.
void libraryWrite(const std::filesystem::path& base, const std::vector<Polygon>& polygons);

// Writes the rings exactly as given, without closing them.
void libraryWriteRaw(const std::filesystem::path& base, const std::vector<Polygon>& polygons);

// One line per outcome: "open: <description>" when the file does not open,
// else "info: <count> <type> <box>" followed by one line per record:
// "null", "polygon: <parts and points as bit patterns>" or
// "error: <description>".
std::vector<std::string> libraryOutcomes(const std::filesystem::path& shp);

// The same lines, through ShapefileReader.
std::vector<std::string> readerOutcomes(const std::filesystem::path& shp);

// The polygon's parts and points as exact bit patterns, for comparison.
std::string describeBits(const std::optional<Polygon>& polygon);

}  // namespace plyvet::gis::test
