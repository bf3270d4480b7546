#pragma once
// The program's side of the helper library: each export is looked up by
// name at its first call, from the program folder first, then from the
// normal library search path. A missing library or export makes that call
// raise a RuntimeError (53 for the library, 453 for the export) whose
// source is "Plyvet"; the cleaners trap it at creation.

#include "geolib/plyvet_exports.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace plyvet::geolib {

// The folder searched first for the library (the program folder). Resets
// bindings already made, so tests can point it at another folder.
void setLibraryFolder(const std::filesystem::path& folder);

// File name of the library on this platform ("libPlyvet.so", "Plyvet.dll").
std::string libraryFileName();

std::int32_t gvrs();
std::string gvss();
double roud(double value, std::int16_t decimals);
bool inrg(double v, double p, double q);
bool iibr(double v, double p1, double q1, double p2, double q2);
std::int32_t gisc(const PlyvetXY* ring, std::int32_t n, std::int32_t& a, std::int32_t& b,
                  PlyvetXY& point);

}  // namespace plyvet::geolib
