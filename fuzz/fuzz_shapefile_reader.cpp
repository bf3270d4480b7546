// Fuzz target: the shapefile reader on arbitrary .shp, .shx and .dbf bytes,
// followed by what the correction run does with what it read: the field
// plan, the conversion of every value, the object label, and the writer,
// whose output is read back.
//
// Input: three files in one (fuzz_input.h, decodeThreeFiles): .shp, .shx, .dbf.
//
// Promises checked beyond the sanitizers: a damaged file ends in the
// layer's RuntimeError and nothing else; an output the writer closed
// without complaint reads back with every record it took.

#include "fuzz/fuzz_input.h"
#include "fuzz/scratch.h"
#include "pipeline/field_plan.h"
#include "pipeline/gis/runtime_error.h"
#include "pipeline/gis/shapefile.h"
#include "pipeline/object_label.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace plyvet;

// Reads everything and copies it as the record loop would, then reads the
// copy back.
void copyThrough(const gis::ShapefileReader& reader, const fs::path& outBase) {
    const FieldPlan plan = planOutputFields(reader.fields(), reader.codePage(), CodePageChoice::FromHeader, "f");
    const ObjectLabel label = chooseObjectLabel(reader.fields(), true);
    std::optional<gis::ShapefileWriter> writer;
    try {
        writer.emplace(outBase, plan.outputFields, plan.codePage);
    } catch (const RuntimeError&) {
        // No field, or a field the writer cannot take: the run stops such a file.
    }
    int taken = 0;
    const int records = reader.recordCount();
    for (int record = 0; record < records; ++record) {
        try {
            (void)objectLabelValue(label, reader, record);
        } catch (const RuntimeError&) {
        }
        std::optional<gis::Polygon> polygon;
        try {
            polygon = reader.polygon(record);
        } catch (const RuntimeError&) {
            continue;
        }
        (void)gis::area(polygon ? *polygon : gis::Polygon{});
        std::vector<std::optional<std::string>> values(plan.outputFields.size());
        bool ok = true;
        for (std::size_t f = 0; f < plan.outputFields.size(); ++f) {
            try {
                const std::string raw = reader.rawValue(record, static_cast<int>(f));
                ConvertedValue v = convertValue(raw, plan.outputFields[f], plan.widened[f]);
                if (v.failed) ok = false;
                values[f] = std::move(v.value);
            } catch (const RuntimeError&) {
                ok = false;
            }
        }
        if (!writer || !ok || !polygon) continue;
        try {
            writer->append(*polygon, values);
            ++taken;
        } catch (const RuntimeError&) {
            // A polygon the writer refuses (a part without points): nothing was written.
        }
    }
    if (!writer) return;
    writer->close();  // a failure here raises: this folder never fills up
    const gis::ShapefileReader back(fs::path(outBase.string() + ".shp"));
    if (back.recordCount() != taken || back.dbfRecordCount() != taken) {
        fuzz::brokenPromise("the written output does not hold every record it took");
    }
    for (int record = 0; record < taken; ++record) (void)back.polygon(record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in({data, size});
    const fuzz::ThreeFiles files = fuzz::decodeThreeFiles(in);
    const fs::path& dir = fuzz::scratchFolder();
    const fs::path base = dir / "f";
    fuzz::writeBytes(dir / "f.shp", files.first);
    fuzz::writeBytes(dir / "f.shx", files.second);
    fuzz::writeBytes(dir / "f.dbf", files.third);
    try {
        const gis::ShapefileReader reader(dir / "f.shp");
        (void)reader.shapeType();
        (void)reader.bounds();
        (void)reader.dbfRecordCount();
        (void)reader.fieldIndex("FEATUREID");
        copyThrough(reader, dir / "out");
    } catch (const RuntimeError& e) {
        if (e.description().empty()) fuzz::brokenPromise("a reader error without a description");
    }
    return 0;
}
