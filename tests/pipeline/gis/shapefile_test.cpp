#include "pipeline/gis/shapefile.h"

#include "gis_test_util.h"

#include <shapefil.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace plyvet::gis {
namespace {

namespace fs = std::filesystem;
using test::raisesGisFailure;
using test::readFile;
using test::sameBits;
using Values = std::vector<std::optional<std::string>>;

// One field of every type; numeric precision equals the width, as read back.
const std::vector<FieldDef> kAllTypes{
    {"ID", FieldType::Integer, 10, 10, 0},
    {"AREA", FieldType::Double, 15, 15, 4},
    {"RATIO", FieldType::Double, 12, 12, 0},  // no decimals: must stay Double, not turn Integer
    {"DAY", FieldType::Date, 8, 0, 0},
    {"NAME", FieldType::String, 40, 0, 0},
    {"OK", FieldType::Boolean, 1, 0, 0},
    {"CODE", FieldType::String, 3, 0, 0},
};

std::string pad(const std::string& v, std::size_t width, bool right) {
    const std::string fill(width - v.size(), ' ');
    return right ? fill + v : v + fill;
}

struct Record {
    Polygon polygon;  // empty: written as null shape
    Values values;
};

// Windows-1252 bytes: "Müller Straße", "Ärger Öl Übel".
const std::string kMueller = "M\xFCller Stra\xDF" "e";
const std::string kUmlauts = "\xC4rger \xD6l \xDC" "bel";

std::vector<Record> sampleRecords() {
    return {
        // Two shells and a hole, stored orientation (clockwise shells, counter-clockwise hole).
        {Polygon{{{{0, 0}, {0, 10}, {10, 10}, {10, 0}},
                  {{2, 2}, {4, 2}, {4, 4}, {2, 4}},
                  {{20, 0}, {20, 5}, {25, 5}}}},
         {"42", "1234.5678", "3.5", "20240131", kMueller, "T", "abc"}},
        // Null shape and dBase nulls everywhere.
        {Polygon{}, {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
        // Coordinates without a short decimal form, values that fill their fields,
        // text with leading blanks (kept: values are raw bytes).
        {Polygon{{{{0.1 + 0.2, 1e-300},
                   {-1234567.891, 5e15 + 0.5},
                   {std::nextafter(7.0, 8.0), -0.0},
                   {6543210.123456789, -9.87654321e-7}}}},
         {"1234567890", "-12345.678901", "-1e5", "19991231", "  " + kUmlauts, "f", "xyz"}},
        // Wrong orientation on purpose (counter-clockwise shell, clockwise hole,
        // hole first): stored as given, nothing is fixed up.
        {Polygon{{{{2, 2}, {2, 4}, {4, 4}, {4, 2}},
                  {{0, 0}, {10, 0}, {10, 10}, {0, 10}}}},
         {"-7", "0.0001", "0", "", "", "?", ""}},
    };
}

struct CodePageCase {
    std::string name;
    std::string codePage;
    bool expectCpg;
    int expectLdid;  // header byte 29
};

class ShapefileRoundTrip : public test::TempDirTest, public ::testing::WithParamInterface<CodePageCase> {};

TEST_P(ShapefileRoundTrip, EveryVertexAndValueReadsBackUnchanged) {
    const CodePageCase& cp = GetParam();
    const fs::path base = dir_ / "round";
    const std::vector<Record> records = sampleRecords();
    {
        ShapefileWriter writer(base, kAllTypes, cp.codePage);
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(writer.append(records[i].polygon, records[i].values), static_cast<int>(i));
        }
        EXPECT_EQ(writer.recordCount(), static_cast<int>(records.size()));
        writer.close();
    }

    ShapefileReader reader(fs::path(base.string() + ".shp"));
    EXPECT_EQ(reader.shapeType(), kShapeTypePolygon);
    EXPECT_EQ(reader.recordCount(), static_cast<int>(records.size()));
    EXPECT_EQ(reader.dbfRecordCount(), static_cast<int>(records.size()));
    EXPECT_EQ(reader.fields(), kAllTypes);
    EXPECT_EQ(reader.codePage(), cp.codePage);
    EXPECT_EQ(fs::exists(base.string() + ".cpg"), cp.expectCpg);
    if (cp.expectCpg) {
        EXPECT_EQ(readFile(base.string() + ".cpg"), cp.codePage);
    }
    EXPECT_EQ(static_cast<unsigned char>(readFile(base.string() + ".dbf").at(29)), cp.expectLdid);

    for (std::size_t r = 0; r < records.size(); ++r) {
        SCOPED_TRACE("record " + std::to_string(r));
        const std::optional<Polygon> p = reader.polygon(static_cast<int>(r));
        if (records[r].polygon.parts.empty()) {
            EXPECT_FALSE(p.has_value());
        } else {
            ASSERT_TRUE(p.has_value());
            EXPECT_TRUE(sameBits(records[r].polygon, *p));
        }
        for (std::size_t f = 0; f < kAllTypes.size(); ++f) {
            const FieldDef& def = kAllTypes[f];
            const auto width = static_cast<std::size_t>(def.length);
            const std::optional<std::string>& v = records[r].values[f];
            const bool numeric = def.type == FieldType::Integer || def.type == FieldType::Double;
            std::string expected;
            if (v) {
                expected = pad(*v, width, numeric);
            } else {
                expected = def.type == FieldType::Boolean ? pad("?", width, false) : std::string(width, ' ');
            }
            EXPECT_EQ(reader.rawValue(static_cast<int>(r), static_cast<int>(f)), expected) << def.name;
        }
    }
    // Bounds of the non-null shapes.
    const auto b = reader.bounds();
    EXPECT_EQ(b[0], -1234567.891);
    EXPECT_EQ(b[1], -9.87654321e-7);
    EXPECT_EQ(b[2], 6543210.123456789);
    EXPECT_EQ(b[3], 5e15 + 0.5);
}

INSTANTIATE_TEST_SUITE_P(ShapefileWriter, ShapefileRoundTrip,
                         ::testing::Values(CodePageCase{"CpgAnsi", "1252", true, 0},
                                           CodePageCase{"CpgOem", "850", true, 0},
                                           CodePageCase{"LanguageDriverByte", "LDID/87", false, 87},
                                           CodePageCase{"NoCodePage", "", false, 0}),
                         test::CaseName());

using ShapefileWriterTest = test::TempDirTest;

TEST_F(ShapefileWriterTest, ReplacesExistingFilesAndDropsStaleCodePageFile) {
    const fs::path base = dir_ / "again";
    const Polygon square{{{{0, 0}, {0, 1}, {1, 1}, {1, 0}}}};
    {
        ShapefileWriter w(base, kAllTypes, "1252");
        for (int i = 0; i < 3; ++i) {
            w.append(square, Values(kAllTypes.size()));
        }
        w.close();
    }
    const std::vector<FieldDef> one{{"X", FieldType::String, 5, 0, 0}};
    {
        ShapefileWriter w(base, one, "LDID/3");
        w.append(square, Values{std::string("new")});
        w.close();
    }
    EXPECT_FALSE(fs::exists(base.string() + ".cpg"));
    ShapefileReader r(base.string() + ".shp");
    EXPECT_EQ(r.recordCount(), 1);
    EXPECT_EQ(r.dbfRecordCount(), 1);
    EXPECT_EQ(r.fields(), one);
    EXPECT_EQ(r.codePage(), "LDID/3");
    EXPECT_EQ(r.rawValue(0, 0), "new  ");
}

TEST_F(ShapefileWriterTest, BaseNameWithDotsKeepsItsFullName) {
    const fs::path base = dir_ / "lot.v2_x";
    {
        ShapefileWriter w(base, kAllTypes, "");
        w.close();
    }
    EXPECT_TRUE(fs::exists(dir_ / "lot.v2_x.shp"));
    EXPECT_TRUE(fs::exists(dir_ / "lot.v2_x.shx"));
    EXPECT_TRUE(fs::exists(dir_ / "lot.v2_x.dbf"));
    EXPECT_EQ(ShapefileReader(dir_ / "lot.v2_x.shp").recordCount(), 0);
}

struct RefusedDefinition {
    std::string name;
    std::vector<FieldDef> fields;
    std::string codePage;
    std::string needle;
};

class ShapefileWriterRefuses : public test::TempDirTest, public ::testing::WithParamInterface<RefusedDefinition> {};

TEST_P(ShapefileWriterRefuses, DefinitionThatWouldNotReadBack) {
    const RefusedDefinition& c = GetParam();
    EXPECT_TRUE(raisesGisFailure([&] { ShapefileWriter(dir_ / "bad", c.fields, c.codePage); }, {"bad.", c.needle}));
}

INSTANTIATE_TEST_SUITE_P(
    ShapefileWriter, ShapefileWriterRefuses,
    ::testing::Values(
        // shapelib would silently cut the name to 10 bytes or the width to 255.
        RefusedDefinition{"NameOfElevenCharacters", {{"ABCDEFGHIJK", FieldType::String, 5, 0, 0}}, "", "ABCDEFGHIJK"},
        RefusedDefinition{"EmptyName", {{"", FieldType::String, 5, 0, 0}}, "", "Feldnamen"},
        RefusedDefinition{"TextWiderThan255", {{"LONG", FieldType::String, 300, 0, 0}}, "", "300"},
        RefusedDefinition{"ZeroWidth", {{"Z", FieldType::Integer, 0, 0, 0}}, "", "Feldlänge 0"},
        RefusedDefinition{"UnknownType", {{"T", static_cast<FieldType>(4), 5, 0, 0}}, "", "Feldtyp 4"},
        // shapelib has no record buffer without fields and would crash on the first record.
        RefusedDefinition{"NoFields", {}, "", "mindestens ein Feld"},
        RefusedDefinition{"LanguageDriverOutOfRange", {{"A", FieldType::String, 1, 0, 0}}, "LDID/300", "LDID/300"},
        RefusedDefinition{"LanguageDriverNotANumber", {{"A", FieldType::String, 1, 0, 0}}, "LDID/x", "LDID/x"}),
    test::CaseName());

TEST_F(ShapefileWriterTest, RefusedRecordLeavesGeometryAndAttributesInStep) {
    const fs::path base = dir_ / "step";
    const Polygon square{{{{0, 0}, {0, 1}, {1, 1}, {1, 0}}}};
    const std::vector<FieldDef> fields{{"N", FieldType::Integer, 3, 3, 0}, {"S", FieldType::String, 4, 0, 0}};
    {
        ShapefileWriter w(base, fields, "1252");
        w.append(square, Values{std::string("1"), std::string("a")});
        EXPECT_TRUE(raisesGisFailure([&] { w.append(square, Values{std::string("1234"), std::string("a")}); },
                                     {"step.dbf", "Datensatz 1", "Feld N"}));
        EXPECT_TRUE(raisesGisFailure([&] { w.append(square, Values{std::string("1")}); }, {"step.dbf", "1 Werte"}));
        EXPECT_TRUE(raisesGisFailure(
            [&] { w.append(Polygon{{{{0, 0}, {0, 1}, {1, 1}}, {}}}, Values{std::string("1"), std::string("a")}); },
            {"step.shp", "Part 1"}));
        EXPECT_EQ(w.recordCount(), 1);
        EXPECT_EQ(w.append(square, Values{std::string("2"), std::string("b")}), 1);
        w.close();
        EXPECT_TRUE(raisesGisFailure([&] { w.append(square, Values{std::string("3"), std::string("c")}); },
                                     {"geschlossen"}));
    }
    ShapefileReader r(base.string() + ".shp");
    ASSERT_EQ(r.recordCount(), 2);
    ASSERT_EQ(r.dbfRecordCount(), 2);
    EXPECT_EQ(r.rawValue(1, 0), "  2");
    EXPECT_EQ(r.rawValue(1, 1), "b   ");
}

TEST_F(ShapefileWriterTest, FullDiskIsReportedNotSwallowed) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full on this system";
    }
    const fs::path base = dir_ / "full";
    fs::create_symlink("/dev/full", dir_ / "full.dbf");
    const Polygon square{{{{0, 0}, {0, 1}, {1, 1}, {1, 0}}}};
    const std::vector<FieldDef> fields{{"S", FieldType::String, 200, 0, 0}};
    EXPECT_TRUE(raisesGisFailure(
        [&] {
            ShapefileWriter w(base, fields, "");
            for (int i = 0; i < 100; ++i) {
                w.append(square, Values{std::string(200, 'x')});
            }
            w.close();
        },
        {"full.dbf"}));
}

using ShapefileReaderTest = test::TempDirTest;

// A polygon file written with shapelib directly, for layouts our writer never produces.
void writeRawPolygon(const fs::path& base, int shapeType, const std::vector<int>& starts, const std::vector<double>& xs,
                     const std::vector<double>& ys) {
    SHPHandle shp = SHPCreate((base.string() + ".shp").c_str(), shapeType);
    ASSERT_NE(shp, nullptr);
    SHPObject* obj = SHPCreateObject(shapeType, -1, static_cast<int>(starts.size()), starts.data(), nullptr,
                                     static_cast<int>(xs.size()), xs.data(), ys.data(), nullptr, nullptr);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(SHPWriteObject(shp, -1, obj), 0);
    SHPDestroyObject(obj);
    SHPClose(shp);
    DBFHandle dbf = DBFCreate((base.string() + ".dbf").c_str());
    ASSERT_NE(dbf, nullptr);
    EXPECT_EQ(DBFAddNativeFieldType(dbf, "MEMO", 'M', 10, 0), 0);
    EXPECT_EQ(DBFAddNativeFieldType(dbf, "BIG", 'N', 20, 0), 1);
    EXPECT_EQ(DBFAddNativeFieldType(dbf, "FL", 'F', 13, 3), 2);
    // Raw text, as another program would have stored it.
    std::string memo = "0000000017";
    std::string big = "12345678901234567890";
    std::string fl = "        1.500";
    EXPECT_TRUE(DBFWriteAttributeDirectly(dbf, 0, 0, memo.data()));
    EXPECT_TRUE(DBFWriteAttributeDirectly(dbf, 0, 1, big.data()));
    EXPECT_TRUE(DBFWriteAttributeDirectly(dbf, 0, 2, fl.data()));
    DBFClose(dbf);
}

TEST_F(ShapefileReaderTest, DropsOnlyABitIdenticalClosingPoint) {
    const fs::path base = dir_ / "rings";
    // Part 0 stored closed; part 1 stored open; part 2 ends in (-0.0, 0), which
    // equals its first point (0, 0) by value but not by bits; part 3 is a point
    // and its repetition.
    writeRawPolygon(base, SHPT_POLYGON, {0, 5, 8, 12},
                    {0, 0, 1, 1, 0, 5, 5, 6, 0.0, 0, 1, -0.0, 9, 9},
                    {0, 1, 1, 0, 0, 5, 6, 6, 0.0, 1, 1, 0.0, 9, 9});
    ShapefileReader r(base.string() + ".shp");
    const std::optional<Polygon> p = r.polygon(0);
    ASSERT_TRUE(p.has_value());
    const Polygon expected{{
        {{0, 0}, {0, 1}, {1, 1}, {1, 0}},
        {{5, 5}, {5, 6}, {6, 6}},
        {{0.0, 0.0}, {0, 1}, {1, 1}, {-0.0, 0.0}},
        {{9, 9}},
    }};
    EXPECT_TRUE(sameBits(expected, *p));
}

TEST_F(ShapefileReaderTest, NativeTypesWithoutModelCounterpartStayReadable) {
    const fs::path base = dir_ / "types";
    writeRawPolygon(base, SHPT_POLYGON, {0}, {0, 0, 1, 0}, {0, 1, 1, 0});
    ShapefileReader r(base.string() + ".shp");
    const std::vector<FieldDef> expected{
        {"MEMO", FieldType::String, 10, 0, 0},
        {"BIG", FieldType::Integer, 20, 20, 0},
        {"FL", FieldType::Double, 13, 13, 3},
    };
    EXPECT_EQ(r.fields(), expected);
    EXPECT_EQ(r.rawValue(0, 0), "0000000017");
    EXPECT_EQ(r.rawValue(0, 1), "12345678901234567890");
    EXPECT_EQ(r.rawValue(0, 2), "        1.500");
    EXPECT_EQ(r.fieldIndex("big"), 1);
    EXPECT_EQ(r.fieldIndex("Fl"), 2);
    EXPECT_EQ(r.fieldIndex("FL "), std::nullopt);
    EXPECT_EQ(r.fieldIndex("ID"), std::nullopt);
    EXPECT_EQ(r.codePage(), "LDID/87");  // shapelib's own default for new .dbf files
}

struct OtherTypeCase {
    std::string name;
    int shapefileType;
    int expectedCode;
};

class ShapefileReaderOtherType : public test::TempDirTest, public ::testing::WithParamInterface<OtherTypeCase> {};

TEST_P(ShapefileReaderOtherType, IsNeverMistakenForAPolygonFile) {
    const OtherTypeCase& c = GetParam();
    const fs::path base = dir_ / "other";
    writeRawPolygon(base, c.shapefileType, {0}, {0, 0, 1, 0}, {0, 1, 1, 0});
    ShapefileReader r(base.string() + ".shp");
    EXPECT_EQ(r.shapeType(), c.expectedCode);
    EXPECT_EQ(shapeTypeCode(c.shapefileType), c.expectedCode);
    EXPECT_TRUE(raisesGisFailure([&] { (void)r.polygon(0); }, {"other.shp", "kein Polygon"}));
}

INSTANTIATE_TEST_SUITE_P(ShapefileReader, ShapefileReaderOtherType,
                         ::testing::Values(OtherTypeCase{"PolygonZ", SHPT_POLYGONZ, 1015},
                                           OtherTypeCase{"PolygonM", SHPT_POLYGONM, 1025},
                                           OtherTypeCase{"Arc", SHPT_ARC, 1003}),
                         test::CaseName());

}  // namespace
}  // namespace plyvet::gis
