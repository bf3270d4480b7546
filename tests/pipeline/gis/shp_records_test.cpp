// The streaming .shp/.shx records against the shapefile library's own
// reader and writer: the same bytes written for the same polygons, the same
// polygons read from files of the library and of GDAL's ogr2ogr, and the
// same outcome, message for message, for every record of damaged files.

#include "pipeline/gis/shapefile.h"

#include "gis_test_util.h"
#include "reference_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace plyvet::gis {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// --- generated polygons ------------------------------------------------------

struct Style {
    double scale = 1000.0;        // coordinates spread over about +-scale around `origin`
    double origin = 0.0;
    double specialRate = 0.0;     // share of coordinates that are NaN, +-inf or -0.0
    double nullRate = 0.1;        // share of polygons without parts
    int maxParts = 4;
    int maxPoints = 30;
};

double coordinate(std::mt19937_64& rng, const Style& s) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    if (std::uniform_real_distribution<double>(0, 1)(rng) < s.specialRate) {
        const double specials[] = {kNaN, kInf, -kInf, -0.0, 0.0};
        return specials[rng() % 5];
    }
    return s.origin + s.scale * unit(rng);
}

std::vector<Polygon> randomPolygons(std::uint64_t seed, int count, const Style& s) {
    std::mt19937_64 rng(seed);
    std::vector<Polygon> out;
    for (int i = 0; i < count; ++i) {
        Polygon p;
        if (std::uniform_real_distribution<double>(0, 1)(rng) >= s.nullRate) {
            const int parts = 1 + static_cast<int>(rng() % static_cast<unsigned>(s.maxParts));
            for (int k = 0; k < parts; ++k) {
                Ring ring;
                const int points = 1 + static_cast<int>(rng() % static_cast<unsigned>(s.maxPoints));
                for (int j = 0; j < points; ++j) {
                    ring.push_back({coordinate(rng, s), coordinate(rng, s)});
                }
                p.parts.push_back(std::move(ring));
            }
        }
        out.push_back(std::move(p));
    }
    return out;
}

Polygon square(double x, double y, double size) {
    return Polygon{{{{x, y}, {x, y + size}, {x + size, y + size}, {x + size, y}}}};
}

// --- writer ------------------------------------------------------------------

struct WriteCase {
    std::string name;
    std::function<std::vector<Polygon>()> polygons;
};

class ShapeWriterBytes : public test::TempDirTest, public ::testing::WithParamInterface<WriteCase> {};

std::string firstDifference(const std::string& expected, const std::string& actual) {
    std::size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) {
        ++i;
    }
    std::ostringstream out;
    out << "sizes " << actual.size() << " and " << expected.size() << ", first difference at byte " << i;
    return out.str();
}

TEST_P(ShapeWriterBytes, SameBytesAsTheLibraryWriter) {
    const std::vector<Polygon> polygons = GetParam().polygons();
    {
        ShapefileWriter ours(dir_ / "ours", std::vector<FieldDef>{{"ID", FieldType::Integer, 6, 6, 0}}, "1252");
        for (std::size_t i = 0; i < polygons.size(); ++i) {
            ours.append(polygons[i], std::vector<std::optional<std::string>>{std::to_string(i)});
        }
        ours.close();
        EXPECT_FALSE(ours.failed());
    }
    test::libraryWrite(dir_ / "lib", polygons);
    for (const char* ext : {".shp", ".shx"}) {
        SCOPED_TRACE(ext);
        const std::string expected = readFile(dir_ / (std::string("lib") + ext));
        const std::string actual = readFile(dir_ / (std::string("ours") + ext));
        EXPECT_TRUE(actual == expected) << firstDifference(expected, actual);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ShapeWriter, ShapeWriterBytes,
    ::testing::Values(
        WriteCase{"NoRecords", [] { return std::vector<Polygon>{}; }},
        WriteCase{"OnlyNullShapes", [] { return std::vector<Polygon>(3); }},
        WriteCase{"NullShapesBeforeAndBetween",
                  [] { return std::vector<Polygon>{{}, square(5, 6, 1), {}, square(-3, 2, 0.5), {}}; }},
        // A file box still all zero counts as unset: a polygon that has
        // nothing but the origin leaves it so, and the next one sets it anew.
        WriteCase{"DegeneratePolygonsAtTheOrigin",
                  [] {
                      const Polygon origin{{{{0, 0}, {0, 0}, {-0.0, 0}}}};
                      return std::vector<Polygon>{origin, origin, square(5, 6, 1), origin};
                  }},
        WriteCase{"OriginOnOneAxisOnly",
                  [] { return std::vector<Polygon>{Polygon{{{{0, 1}, {0, 2}, {0, 3}}}}, square(5, 6, 1)}; }},
        WriteCase{"HolesAndSeparateParts",
                  [] {
                      return std::vector<Polygon>{
                          Polygon{{{{0, 0}, {0, 10}, {10, 10}, {10, 0}}, {{2, 2}, {4, 2}, {4, 4}, {2, 4}}}},
                          Polygon{{{{20, 0}, {20, 1}, {21, 1}}, {{30, 0}, {30, 1}, {31, 1}}, {{40, 0}, {40, 1}, {41, 1}}}},
                          Polygon{{{{50, 0}}}},  // a ring of one point
                      };
                  }},
        WriteCase{"HugeAndNegativeCoordinates",
                  [] { return randomPolygons(7, 200, Style{.scale = 1e300, .origin = -1e300}); }},
        WriteCase{"NationalGridCoordinates",
                  [] { return randomPolygons(8, 300, Style{.scale = 50000.0, .origin = 5800000.0}); }},
        WriteCase{"TinyCoordinates", [] { return randomPolygons(9, 200, Style{.scale = 1e-300}); }},
        // NaN and the signed zeros decide comparisons in both boxes; the
        // library's order of comparison is what the headers must show.
        WriteCase{"NaNInfinityAndSignedZeros",
                  [] { return randomPolygons(10, 400, Style{.scale = 10.0, .specialRate = 0.2, .maxPoints = 6}); }},
        WriteCase{"NaNFirst",
                  [] {
                      return std::vector<Polygon>{Polygon{{{{kNaN, kNaN}, {1, 2}, {3, 4}}}}, square(5, 6, 1),
                                                  Polygon{{{{7, 8}, {kNaN, 1}, {-2, kNaN}}}}};
                  }},
        WriteCase{"ManyPartsAndPoints",
                  [] { return randomPolygons(11, 40, Style{.nullRate = 0.0, .maxParts = 60, .maxPoints = 400}); }},
        WriteCase{"ThousandsOfRecords", [] { return randomPolygons(12, 5000, Style{.maxParts = 3, .maxPoints = 12}); }}),
    test::CaseName());

::testing::AssertionResult sameLines(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
    for (std::size_t i = 0; i < expected.size() || i < actual.size(); ++i) {
        const std::string e = i < expected.size() ? expected[i] : "(none)";
        const std::string a = i < actual.size() ? actual[i] : "(none)";
        if (e != a) {
            return ::testing::AssertionFailure() << "line " << i << "\n  reader:  " << a << "\n  library: " << e;
        }
    }
    return ::testing::AssertionSuccess();
}

// --- reader ------------------------------------------------------------------

class ShapeReaderAgainstLibrary : public test::TempDirTest {
protected:
    // The .dbf the reader needs beside a .shp written by the library.
    void addTable(const fs::path& base, std::size_t records) {
        ShapefileWriter w(dir_ / "table", std::vector<FieldDef>{{"ID", FieldType::Integer, 6, 6, 0}}, "");
        for (std::size_t i = 0; i < records; ++i) {
            w.append(Polygon{}, std::vector<std::optional<std::string>>{std::to_string(i)});
        }
        w.close();
        fs::copy_file(dir_ / "table.dbf", base.string() + ".dbf", fs::copy_options::overwrite_existing);
    }

    void expectSameOutcomes(const fs::path& shp) {
        const std::vector<std::string> expected = test::libraryOutcomes(shp);
        const std::vector<std::string> actual = test::readerOutcomes(shp);
        EXPECT_TRUE(sameLines(expected, actual));
    }
};

struct ReadCase {
    std::string name;
    std::vector<Polygon> polygons;
    bool closeRings;
};

class ShapeReaderLibraryFiles : public ShapeReaderAgainstLibrary, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ShapeReaderLibraryFiles, EveryPolygonAsTheLibraryReadsIt) {
    const ReadCase& c = GetParam();
    const fs::path base = dir_ / "lib";
    if (c.closeRings) {
        test::libraryWrite(base, c.polygons);
    } else {
        test::libraryWriteRaw(base, c.polygons);
    }
    addTable(base, c.polygons.size());
    const fs::path shp = base.string() + ".shp";
    expectSameOutcomes(shp);
    // Not only agreement: the polygons are the ones written.
    ShapefileReader r(shp);
    ASSERT_EQ(r.recordCount(), static_cast<int>(c.polygons.size()));
    for (int i = 0; c.closeRings && i < r.recordCount(); ++i) {
        const auto read = r.polygon(i);
        const Polygon& written = c.polygons[static_cast<std::size_t>(i)];
        if (written.parts.empty()) {
            EXPECT_FALSE(read.has_value()) << "record " << i;
        } else {
            ASSERT_TRUE(read.has_value()) << "record " << i;
            // A one-point ring reads back as its point and its closing repeat.
            bool singlePoint = false;
            for (const Ring& ring : written.parts) singlePoint = singlePoint || ring.size() == 1;
            if (!singlePoint) {
                EXPECT_TRUE(test::sameBits(written, *read)) << "record " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    ShapeReader, ShapeReaderLibraryFiles,
    ::testing::Values(
        ReadCase{"ClosedRings", randomPolygons(21, 500, Style{}), true},
        // Rings left open in the file keep all their points; a last point
        // that equals the first only as a number (-0.0 against 0.0) stays too.
        ReadCase{"OpenRings", randomPolygons(22, 500, Style{}), false},
        ReadCase{"SignedZeroClosingPoints",
                 {Polygon{{{{0.0, 0.0}, {0, 1}, {1, 1}, {-0.0, 0.0}}}}, Polygon{{{{-0.0, 5}, {1, 5}, {-0.0, 5}}}}},
                 false},
        ReadCase{"SpecialValues", randomPolygons(23, 300, Style{.specialRate = 0.15, .maxPoints = 8}), true},
        ReadCase{"LargeRecords", randomPolygons(24, 20, Style{.nullRate = 0.0, .maxParts = 20, .maxPoints = 1000}),
                 true}),
    test::CaseName());

TEST_F(ShapeReaderAgainstLibrary, FilesWrittenByOgr2ogrFromWkt) {
    ASSERT_TRUE(plyvet::test::haveOgr()) << "GDAL's ogr2ogr is needed (Debian package gdal-bin)";
    // Random multipolygons with holes as WKT; GDAL may reorder and reorient
    // rings as it writes, which is why the library's reading is the reference.
    std::mt19937_64 rng(31);
    std::ostringstream csv;
    csv.precision(17);
    csv << "WKT,ID\n";
    for (int i = 0; i < 300; ++i) {
        const double cx = std::uniform_real_distribution<double>(-1e6, 1e6)(rng);
        const double cy = std::uniform_real_distribution<double>(-1e6, 1e6)(rng);
        const int parts = 1 + static_cast<int>(rng() % 3);
        csv << "\"MULTIPOLYGON (";
        for (int k = 0; k < parts; ++k) {
            const double ox = cx + 100.0 * k;
            const int points = 3 + static_cast<int>(rng() % 20);
            csv << (k ? "," : "") << "((";
            for (int j = 0; j <= points; ++j) {
                const double a = 2 * M_PI * (j % points) / points;
                const double r = 30 + std::uniform_real_distribution<double>(0, 10)(rng) * (j % points != 0);
                csv << (j ? "," : "") << ox + r * std::cos(a) << " " << cy + r * std::sin(a);
            }
            csv << ")";
            if (rng() % 2 == 0) {  // a hole
                csv << ",(" << ox - 5 << " " << cy - 5 << "," << ox + 5 << " " << cy - 5 << "," << ox + 5 << " "
                    << cy + 5 << "," << ox - 5 << " " << cy + 5 << "," << ox - 5 << " " << cy - 5 << ")";
            }
            csv << ")";
        }
        csv << ")\"," << i << "\n";
    }
    writeFile(dir_ / "in.csv", csv.str());
    const fs::path shp = dir_ / "ogr.shp";
    const auto tool = plyvet::test::runCommand({"ogr2ogr", "-f", "ESRI Shapefile", "-oo", "KEEP_GEOM_COLUMNS=NO",
                                                "-nlt", "MULTIPOLYGON", shp.string(), (dir_ / "in.csv").string()});
    ASSERT_EQ(tool.exitCode, 0) << tool.stdoutText << tool.stderrText;
    ASSERT_EQ(ShapefileReader(shp).recordCount(), 300);
    expectSameOutcomes(shp);
}

// --- damaged files -------------------------------------------------------------


// One damage of a valid file: a field of a header, an index entry or a
// record set to a value that tests a bound, or a file cut short.
void damage(std::mt19937_64& rng, std::string& shp, std::string& shx) {
    const auto pick = [&rng](std::initializer_list<std::int64_t> values) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(*(values.begin() + rng() % values.size())));
    };
    const auto near = [&](std::int64_t v) {
        return pick({v, v + 1, v - 1, v + 4, v - 4, v + 40, 0, 1, 2, 10, -1, 0x7FFFFFFF, 0x80000000,
                     0x3FFFFFFB, 0x3FFFFFFC, static_cast<std::int64_t>(rng() % 1000)});
    };
    // Entries still in the file after earlier damages; without one, only
    // the header, the cuts and single bytes are left to damage.
    const auto entries = static_cast<unsigned>((shx.size() - 100) / 8);
    const auto entry = [&](unsigned i) { return std::size_t{100} + 8 * std::size_t{i}; };
    const unsigned i = entries > 0 ? static_cast<unsigned>(rng() % entries) : 0;
    const std::size_t content =
        entries > 0 ? std::size_t{static_cast<std::uint32_t>(test::getBe32(shx, entry(i)))} * 2 + 8 : shp.size();
    const unsigned kind = static_cast<unsigned>(rng() % 12);
    if (entries == 0 && kind >= 1 && kind <= 3) return;
    switch (kind) {
    case 0:  // the index's file length, which gives the record count
        test::putBe32(shx, 24,
                      pick({0, 10, 48, 49, 50, 51, 53, 54, std::int64_t{test::getBe32(shx, 24)} + 4, std::int64_t{test::getBe32(shx, 24)} - 4,
                            0x7FFFFFFF, std::int64_t{0x80000000} + test::getBe32(shx, 24), 50 + 4 * (1 << 20),
                            50 + 4 * (1 << 20) - 4, 50 + 4 * 256'000'000, 50 + 4 * 256'000'001}));
        break;
    case 1:  // an entry's offset
        test::putBe32(shx, entry(i), near(test::getBe32(shx, entry(i))));
        break;
    case 2:  // an entry's length, alone or with the record header
    case 3: {
        const std::int32_t v = near(test::getBe32(shx, entry(i) + 4));
        test::putBe32(shx, entry(i) + 4, v);
        if (rng() % 2 == 0 && content <= shp.size()) test::putBe32(shp, content - 4, v);
        break;
    }
    case 4:  // the record's shape type
        if (content + 4 <= shp.size())
            test::putLe32(shp, content, pick({0, 1, 2, 3, 5, 8, 11, 13, 15, 18, 21, 23, 25, 28, 31, 99, -1}));
        break;
    case 5:  // part count
    case 6:  // point count
        if (content + 44 <= shp.size()) {
            const std::size_t at = content + (rng() % 2 == 0 ? 36 : 40);
            test::putLe32(shp, at, pick({0, 1, 2, std::int64_t{test::getLe32(shp, at)} + 1, std::int64_t{test::getLe32(shp, at)} - 1, 10'000'000,
                                         10'000'001, 50'000'000, 50'000'001, -1, 0x7FFFFFFF}));
        }
        break;
    case 7:
    case 8: {  // a part start
        if (content + 48 > shp.size()) break;
        const int parts = std::min(test::getLe32(shp, content + 36), 8);
        const std::size_t at = content + 44 + 4 * (parts > 0 ? rng() % static_cast<unsigned>(parts) : 0);
        if (at + 4 <= shp.size()) {
            const std::int64_t points = test::getLe32(shp, content + 40);
            test::putLe32(shp, at, pick({0, 1, -1, points, points - 1, points + 1, std::int64_t{test::getLe32(shp, at)} - 1,
                                         static_cast<std::int64_t>(rng() % 40)}));
        }
        break;
    }
    case 9:  // cut the .shp
        shp.resize(100 + rng() % (shp.size() - 99));
        break;
    case 10:  // cut the .shx
        shx.resize(100 + rng() % (shx.size() - 99));
        break;
    default: {  // any byte past the file codes
        std::string& file = rng() % 2 == 0 ? shp : shx;
        const std::size_t at = 4 + rng() % (file.size() - 4);
        file[at] = static_cast<char>(rng() & 0xFF);
        break;
    }
    }
}

TEST_F(ShapeReaderAgainstLibrary, DamagedFilesGiveTheLibraryReadersOutcomes) {
    const fs::path base = dir_ / "valid";
    const std::vector<Polygon> polygons = randomPolygons(41, 6, Style{.nullRate = 0.2, .maxParts = 3, .maxPoints = 6});
    test::libraryWrite(base, polygons);
    addTable(base, polygons.size());
    const std::string shp = readFile(base.string() + ".shp");
    const std::string shx = readFile(base.string() + ".shx");
    const fs::path damaged = dir_ / "damaged";
    fs::copy_file(base.string() + ".dbf", damaged.string() + ".dbf");

    std::mt19937_64 rng(42);
    int opened = 0;
    int failedRecords = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string s = shp;
        std::string x = shx;
        const int damages = 1 + static_cast<int>(rng() % 3);
        for (int d = 0; d < damages; ++d) {
            damage(rng, s, x);
        }
        writeFile(damaged.string() + ".shp", s);
        writeFile(damaged.string() + ".shx", x);
        const fs::path file = damaged.string() + ".shp";
        const std::vector<std::string> expected = test::libraryOutcomes(file);
        const std::vector<std::string> actual = test::readerOutcomes(file);
        ASSERT_TRUE(sameLines(expected, actual)) << "round " << round;
        if (expected.front().starts_with("info")) {
            ++opened;
            for (const std::string& line : expected) failedRecords += line.starts_with("error") ? 1 : 0;
        }
    }
    // The damages must reach both the open and the records, or the
    // comparison says little.
    EXPECT_GT(opened, 500);
    EXPECT_LT(opened, 2900);
    EXPECT_GT(failedRecords, 1000);
}

// --- write faults ----------------------------------------------------------------

using ShapeWriterFaults = test::TempDirTest;

// A budget that runs out anywhere, from the first header byte to the last
// byte of the closing headers, ends in a raised error or in failed(), never
// in a writer that claims a complete file; an ample budget writes the same
// bytes as no budget at all.
TEST_F(ShapeWriterFaults, EveryCutIsReported) {
    const std::vector<Polygon> polygons = randomPolygons(51, 12, Style{.maxParts = 2, .maxPoints = 8});
    const std::vector<FieldDef> fields{{"ID", FieldType::Integer, 6, 6, 0}};
    const auto writeAll = [&](const fs::path& base) {
        ShapefileWriter w(base, fields, "");
        for (std::size_t i = 0; i < polygons.size(); ++i) {
            w.append(polygons[i], std::vector<std::optional<std::string>>{std::to_string(i)});
        }
        w.close();
        return !w.failed();
    };
    ASSERT_TRUE(writeAll(dir_ / "free"));
    std::uint64_t total = 0;
    for (const char* ext : {".shp", ".shx", ".dbf"}) total += fs::file_size(dir_ / (std::string("free") + ext));

    std::optional<std::uint64_t> firstComplete;
    for (std::uint64_t limit = 0; limit < total + 600; limit += 7) {
        SCOPED_TRACE("limit " + std::to_string(limit) + " of " + std::to_string(total));
        const fs::path base = dir_ / ("cut" + std::to_string(limit));
        gis::testing::limitWrites(limit);
        bool complete = false;
        try {
            complete = writeAll(base);
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), err::kGisFailure);
        }
        gis::testing::limitWrites(std::nullopt);
        if (!complete) {
            EXPECT_FALSE(firstComplete.has_value()) << "a larger budget failed after a smaller one sufficed";
            continue;
        }
        if (!firstComplete) firstComplete = limit;
        for (const char* ext : {".shp", ".shx", ".dbf"}) {
            EXPECT_EQ(readFile(base.string() + ext), readFile(dir_ / (std::string("free") + ext))) << ext;
        }
    }
    // Fewer bytes than the files hold can never be enough.
    ASSERT_TRUE(firstComplete.has_value());
    EXPECT_GE(*firstComplete, total);
}

}  // namespace
}  // namespace plyvet::gis
