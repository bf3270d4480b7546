#pragma once
// The program's side of the helper library: each export is looked up by
// name at its first call, from the program folder first, then from the
// normal library search path. A missing library or export makes that call
// raise a RuntimeError (53 for the library, 453 for the export) whose
// source is "Plyvet"; the cleaners trap it at creation.
//
// A failed load is not remembered: the next call tries again. Calls come from
// one thread; the bindings themselves are safe to make from several.

#include "geolib/plyvet_exports.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace plyvet::geolib {

// The folder searched first for the library (the program folder). Resets
// bindings already made, so tests can point it at another folder. An empty
// path restores the default: the folder of the running executable.
void setLibraryFolder(const std::filesystem::path& folder);

// File name of the library looked up ("libPlyvet.so", "Plyvet.dll" unless
// overridden below).
std::string libraryFileName();

// Overrides the file name looked up, in the folder and in the normal search;
// an empty name restores the platform's name. Resets bindings already made.
// For tests that need a name the normal search cannot find.
void setLibraryFileName(std::string_view fileName);

std::int32_t gvrs();
std::string gvss();
double roud(double value, std::int16_t decimals);
// roud of both coordinates of each point, in place, in order: the export is
// looked up once for all of them.
void roudEach(PlyvetXY* points, std::size_t count, std::int16_t decimals);
bool inrg(double v, double p, double q);
bool iibr(double v, double p1, double q1, double p2, double q2);
std::int32_t gisc(const PlyvetXY* ring, std::int32_t n, std::int32_t& a, std::int32_t& b,
                  PlyvetXY& point);

}  // namespace plyvet::geolib
