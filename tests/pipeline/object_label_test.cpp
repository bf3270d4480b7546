#include "pipeline/object_label.h"

#include <gtest/gtest.h>

namespace plyvet {
namespace {

using gis::FieldDef;
using gis::FieldType;

std::vector<FieldDef> fields(std::initializer_list<const char*> names) {
    std::vector<FieldDef> out;
    for (const char* n : names) out.push_back({n, FieldType::Integer, 10, 10, 0});
    return out;
}

TEST(ObjectLabel, FirstMatchingFieldWins) {
    struct Case {
        std::vector<FieldDef> fields;
        bool useId;
        int field;
        const char* name;
    };
    const Case cases[] = {
        {fields({"NAME", "ID", "OBNR"}), true, 1, "ID"},
        {fields({"OBNR", "ID"}), true, 0, "OBNR"},   // field order decides, not "ID before OBNR"
        {fields({"id"}), true, 0, "id"},             // the field's own spelling
        {fields({"obnr"}), true, 0, "OBNR"},
        {fields({"IDENT", "NR"}), true, -1, "FID"},  // no match: record number
        {fields({"ID"}), false, -1, "FID"},          // switched off
        {{}, true, -1, "FID"},
    };
    for (const auto& c : cases) {
        const ObjectLabel label = chooseObjectLabel(c.fields, c.useId);
        EXPECT_EQ(label.field, c.field) << c.name;
        EXPECT_EQ(label.name, c.name);
    }
}

TEST(ObjectLabel, LineShape) {
    EXPECT_EQ(objectLine("FID", "0", " ( Shape weist Nullwert auf )"),
              "Polygon mit der FID 0 ( Shape weist Nullwert auf )");
    EXPECT_EQ(objectLine("ID", "17", " wurde deshalb nicht exportiert."),
              "Polygon mit der ID 17 wurde deshalb nicht exportiert.");
}

}  // namespace
}  // namespace plyvet
