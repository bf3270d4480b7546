#pragma once
// Hostile shapefiles: each one is a small valid triple written by write()
// and then damaged by byte surgery in exactly one way, the way files from the
// field are broken: record headers whose lengths lie, part offsets out of
// range, counts far beyond what the file holds, shape types that change in
// the middle of the file, dBase headers that contradict themselves.
//
// The valid triple behind every case (hostileBaseLayer()) has three records
// with the fields ID N(5) and NAME C(12):
//   record 0  a 10 x 10 square with a square hole (two parts, 10 points stored)
//   record 1  three triangles (three parts, 12 points stored)
//   record 2  one triangle (one part, 4 points stored)
// so the .shp is 536 bytes, the .shx 124 and the .dbf 150.

#include "tools/samplegen/samplegen.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::samplegen {

struct HostileCase {
    std::string name;         // file base name of the case, also its name in tests
    std::string description;  // what was damaged
};

// Every case, in a fixed order.
const std::vector<HostileCase>& hostileCases();

// The valid layer every case starts from.
Layer hostileBaseLayer();

// Writes the case `name` as "<folder>/<name>.shp/.shx/.dbf" (replacing
// files of that name) and returns the path of the .shp. Throws
// std::invalid_argument for a name that is not a case, and RuntimeError
// when a file cannot be written.
std::filesystem::path writeHostile(std::string_view name, const std::filesystem::path& folder);

}  // namespace plyvet::samplegen
