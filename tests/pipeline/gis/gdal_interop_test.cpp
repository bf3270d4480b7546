// GDAL's tools as the independent writer and reader: files that ogr2ogr
// writes from WKT must read correctly, and what we write must read in ogrinfo
// with the same points and values, or it counts as broken.

#include "pipeline/gis/shapefile.h"

#include "gis_test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plyvet::gis {
namespace {

namespace fs = std::filesystem;
using plyvet::test::CommandResult;
using plyvet::test::runCommand;
using test::sameBits;
using test::writeFile;

class GdalTest : public test::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        // scripts/test installs gdal-bin with the other test packages; a
        // missing tool is a broken set-up, not a reason to pass quietly.
        ASSERT_TRUE(plyvet::test::haveOgr())
            << "GDAL's ogr2ogr and ogrinfo are needed (Debian package gdal-bin)";
    }
};

struct OgrWriteCase {
    std::string name;
    std::string encodingOption;  // -lco ENCODING=..., empty for GDAL's default
    std::string expectedCodePage;
};

class ShapeReaderFromOgr : public GdalTest, public ::testing::WithParamInterface<OgrWriteCase> {};

TEST_P(ShapeReaderFromOgr, PointsFieldsAndRawValuesAsWritten) {
    const OgrWriteCase& c = GetParam();
    // Clockwise shells and counter-clockwise holes, as a shapefile stores
    // them, so GDAL has no reason to reorder anything. The CSV is UTF-8; GDAL
    // recodes the text to the .dbf's single-byte code page.
    writeFile(dir_ / "in.csv",
               "WKT,ID,AREA,NAME,DAY\n"
               "\"POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))\",7,12.5,Müller Straße,2024-01-31\n"
               "\"MULTIPOLYGON (((20 0,20 5,25 5,20 0)),((30 0,30 1.5,31.25 1.5,30 0)))\",-31234,-0.125,"
               "Ärger Öl Übel,1999-12-31\n"
               "\"POLYGON ((-1234567.875 5000000.5,-1234567.875 5000001.25,-1234566.5 5000000.5,"
               "-1234567.875 5000000.5))\",0,,,\n");
    writeFile(dir_ / "in.csvt", "WKT,Integer(6),Real(12.3),String(20),Date\n");
    const fs::path shp = dir_ / "ogr.shp";
    std::vector<std::string> argv{"ogr2ogr", "-f", "ESRI Shapefile", "-oo", "KEEP_GEOM_COLUMNS=NO"};
    if (!c.encodingOption.empty()) {
        argv.insert(argv.end(), {"-lco", "ENCODING=" + c.encodingOption});
    }
    argv.insert(argv.end(), {shp.string(), (dir_ / "in.csv").string()});
    const CommandResult tool = runCommand(argv);
    ASSERT_EQ(tool.exitCode, 0) << tool.stdoutText << tool.stderrText;

    ShapefileReader r(shp);
    EXPECT_EQ(r.shapeType(), kShapeTypePolygon);
    EXPECT_EQ(r.codePage(), c.expectedCodePage);
    ASSERT_EQ(r.recordCount(), 3);
    ASSERT_EQ(r.dbfRecordCount(), 3);
    const std::vector<FieldDef> fields{
        {"ID", FieldType::Integer, 6, 6, 0},
        {"AREA", FieldType::Double, 12, 12, 3},
        {"NAME", FieldType::String, 20, 0, 0},
        {"DAY", FieldType::Date, 8, 0, 0},
    };
    EXPECT_EQ(r.fields(), fields);

    const std::vector<Polygon> polygons{
        Polygon{{{{0, 0}, {0, 10}, {10, 10}, {10, 0}}, {{2, 2}, {4, 2}, {4, 4}, {2, 4}}}},
        Polygon{{{{20, 0}, {20, 5}, {25, 5}}, {{30, 0}, {30, 1.5}, {31.25, 1.5}}}},
        Polygon{{{{-1234567.875, 5000000.5}, {-1234567.875, 5000001.25}, {-1234566.5, 5000000.5}}}},
    };
    for (int i = 0; i < 3; ++i) {
        const std::optional<Polygon> p = r.polygon(i);
        ASSERT_TRUE(p.has_value()) << i;
        EXPECT_TRUE(sameBits(polygons[static_cast<std::size_t>(i)], *p)) << i;
    }

    const std::vector<std::vector<std::string>> raw{
        {"     7", "      12.500", "M\xFCller Stra\xDF" "e       ", "20240131"},
        {"-31234", "      -0.125", "\xC4rger \xD6l \xDC" "bel       ", "19991231"},
    };
    for (int i = 0; i < 2; ++i) {
        for (int f = 0; f < 4; ++f) {
            EXPECT_EQ(r.rawValue(i, f), raw[static_cast<std::size_t>(i)][static_cast<std::size_t>(f)])
                << "record " << i << " field " << f;
        }
    }
    // GDAL's nulls: blanks for text and dates; the number writer's own form for numbers.
    EXPECT_EQ(r.rawValue(2, 0), "     0");
    EXPECT_EQ(r.rawValue(2, 2), std::string(20, ' '));
    EXPECT_EQ(r.rawValue(2, 1).size(), 12u);
    EXPECT_EQ(r.rawValue(2, 3).size(), 8u);
}

INSTANTIATE_TEST_SUITE_P(ShapeReader, ShapeReaderFromOgr,
                         ::testing::Values(OgrWriteCase{"CodePageFile", "CP1252", "CP1252"},
                                           OgrWriteCase{"LanguageDriverByte", "", "LDID/87"}),
                         test::CaseName());

struct OgrReadCase {
    std::string name;
    std::string codePage;
};

class OgrinfoReadsOurs : public GdalTest, public ::testing::WithParamInterface<OgrReadCase> {};

TEST_P(OgrinfoReadsOurs, SameGeometryAndValues) {
    const fs::path base = dir_ / "ours";
    const std::vector<FieldDef> fields{
        {"ID", FieldType::Integer, 10, 10, 0}, {"AREA", FieldType::Double, 15, 15, 4},
        {"RATIO", FieldType::Double, 12, 12, 0}, {"DAY", FieldType::Date, 8, 0, 0},
        {"NAME", FieldType::String, 30, 0, 0},  {"OK", FieldType::Boolean, 1, 0, 0},
    };
    using V = std::optional<std::string>;
    {
        ShapefileWriter w(base, fields, GetParam().codePage);
        w.append(Polygon{{{{0, 0}, {0, 10}, {10, 10}, {10, 0}},
                          {{2, 2}, {4, 2}, {4, 4}, {2, 4}},
                          {{20, 0}, {20, 5}, {25, 5}}}},
                 std::vector<V>{"42", "1234.5678", "25", "20240131", "M\xFCller Stra\xDF" "e", "T"});
        w.append(Polygon{}, std::vector<V>(fields.size()));
        w.append(Polygon{{{{0.5, -1.25}, {0.5, 3.75}, {100.125, -1.25}}}},
                 std::vector<V>{"-7", "-0.0001", "3", "19991231", "\xC4rger", "F"});
        w.close();
    }
    const CommandResult info = runCommand({"ogrinfo", "-ro", "-al", base.string() + ".shp"});
    ASSERT_EQ(info.exitCode, 0) << info.stdoutText << info.stderrText;
    EXPECT_EQ(info.stderrText, "");
    const std::string& out = info.stdoutText;
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_EQ(out.find("Warning"), std::string::npos) << out;
    for (const char* expected : {
             "Geometry: Polygon",
             "Feature Count: 3",
             "Extent: (0.000000, -1.250000) - (100.125000, 10.000000)",
             // GDAL's reading: ten digits need 64 bits, and a numeric field
             // without decimals ('F' included) holds integers.
             "ID: Integer64 (10.0)",
             "AREA: Real (15.4)",
             "RATIO: Integer64 (12.0)",
             "DAY: Date (10.0)",
             "NAME: String (30.0)",
             "OK: String (1.0)",  // GDAL lists a logical field as text
             // Our own orientation, written as given: one shell with its hole, a second shell.
             "MULTIPOLYGON (((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2)),((20 0,20 5,25 5,20 0)))",
             "POLYGON ((0.5 -1.25,0.5 3.75,100.125 -1.25,0.5 -1.25))",
             "ID (Integer64) = 42",
             "AREA (Real) = 1234.5678",
             "RATIO (Integer64) = 25",
             "OK (String) = T",
             "DAY (Date) = 2024/01/31",
             "NAME (String) = Müller Straße",
             "NAME (String) = Ärger",
             "ID (Integer64) = -7",
             "AREA (Real) = -0.0001",
             "RATIO (Integer64) = 3",
             "OK (String) = F",
             "DAY (Date) = 1999/12/31",
             "ID (Integer64) = (null)",
             "AREA (Real) = (null)",
             "NAME (String) = (null)",
         }) {
        EXPECT_NE(out.find(expected), std::string::npos) << "missing \"" << expected << "\" in\n" << out;
    }
}

INSTANTIATE_TEST_SUITE_P(ShapefileWriter, OgrinfoReadsOurs,
                         ::testing::Values(OgrReadCase{"CodePageFile", "1252"},
                                           OgrReadCase{"LanguageDriverByte", "LDID/87"}),
                         test::CaseName());

}  // namespace
}  // namespace plyvet::gis
