#pragma once
// The output field description of a corrected copy, and the conversion of
// each attribute value from its source field to its output field.

#include "layerops/field_names.h"
#include "pipeline/gis/shapefile.h"
#include "pipeline/run_options.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet {

// Longest field name the output may carry, in bytes of its code page: the
// name as the .dbf header stores it, not its count of characters.
inline constexpr std::size_t kMaxFieldNameLength = 10;

struct FieldPlan {
    std::vector<gis::FieldDef> outputFields;  // same order as the source fields
    std::vector<bool> widened;                // integer field turned into a 19-digit floating field
    std::string codePage;                     // declaration of the output's code page
    std::vector<std::string> logLines;        // check-log lines about the adjustments
    // Why no output can be made from these fields (also the last log line);
    // empty when one can. A table without fields is the one case: a dBase
    // file needs at least one, and the output gets no field the source lacks.
    std::string refusal;
};

// Names of the source fields longer than the limit, in field order. Source
// names are the bytes their .dbf stores.
std::vector<std::string> longFieldNames(std::span<const gis::FieldDef> fields);

// The code page the output declares for a source declared `sourceCodePage`.
std::string outputCodePage(std::string_view sourceCodePage, CodePageChoice choice);

// Field names of an export: source names decoded from the source's code
// page, new names encoded for the output's (see text::encodeCodePage()).
layerops::NameCoding fieldNameCoding(std::string_view sourceCodePage, CodePageChoice choice);

// Builds the output fields from the source fields: integers of 20 or more
// digits become floating fields of 19, text over 254 characters is cut to
// 254, Boolean fields get length 1; the code page follows `choice`.
// `newNames` (same size as `source`, empty entries keep the name) carries
// accepted renames of over-long names in the output's code page. Source
// names are copied as their bytes; the log lines show names in UTF-8.
FieldPlan planOutputFields(std::span<const gis::FieldDef> source, std::string_view sourceCodePage,
                           CodePageChoice choice, std::string_view baseName,
                           std::span<const std::string> newNames = {});

// Outcome of converting one value.
struct ConvertedValue {
    std::optional<std::string> value;  // raw text for the output field; empty = null
    std::string note;                  // object-line text to log even on success ("( Feld ... )")
    bool failed = false;               // the value cannot be stored in the output field
};

// Converts one raw source value (untrimmed field bytes) for its output field.
// Numbers keep their digits as written (no round trip through a double);
// a value that does not fit the output field fails instead of being cut.
ConvertedValue convertValue(std::string_view raw, const gis::FieldDef& output, bool widened);

// True for a calendar date written YYYYMMDD.
bool isValidDate(std::string_view yyyymmdd);

}  // namespace plyvet
