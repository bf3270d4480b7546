#pragma once
// The object label that names a polygon in every log line:
// "Polygon mit der <name> <value>".

#include "pipeline/gis/shapefile.h"

#include <span>
#include <string>
#include <string_view>

namespace plyvet {

struct ObjectLabel {
    int field = -1;           // index of the label field, -1 for the record number
    std::string name = "FID";
};

// With `useId`, the first field named "ID" or "OBNR" (ignoring case; on
// each field "ID" is tested first) labels the objects; otherwise, or when no
// field matches, "FID" with the 0-based record number.
ObjectLabel chooseObjectLabel(std::span<const gis::FieldDef> fields, bool useId);

// The label value of record `record`: the label field's trimmed text
// (decoded from the file's code page), or the record number.
std::string objectLabelValue(const ObjectLabel& label, const gis::ShapefileReader& reader, int record);

// "Polygon mit der <name> <value>" followed by `suffix` (which begins with a blank when not empty).
std::string objectLine(std::string_view name, std::string_view value, std::string_view suffix);

}  // namespace plyvet
