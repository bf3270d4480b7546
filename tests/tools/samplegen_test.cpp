#include "tools/samplegen/samplegen.h"

#include "pipeline/gis/geometry.h"
#include "pipeline/gis/shapefile.h"
#include "tests/support/testsupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace plyvet::samplegen {
namespace {
namespace fs = std::filesystem;
using test::TempDir;

// The .dbf read straight from its bytes, so the checks below do not depend
// on the project's own reader.
struct DbfField {
    std::string name;
    char type = 0;
    int length = 0;
    int decimals = 0;
};
struct Dbf {
    std::array<unsigned char, 3> date{};
    std::uint32_t recordCount = 0;
    std::vector<DbfField> fields;
    std::vector<std::vector<std::string>> records;  // raw field bytes
};

Dbf parseDbf(const fs::path& path) {
    const std::string b = test::readFile(path);
    auto u8 = [&](std::size_t at) { return static_cast<unsigned char>(b.at(at)); };
    auto u16 = [&](std::size_t at) { return static_cast<std::size_t>(u8(at) | u8(at + 1) << 8); };
    Dbf dbf;
    dbf.date = {u8(1), u8(2), u8(3)};
    dbf.recordCount = static_cast<std::uint32_t>(u16(4) | u16(6) << 16);
    const std::size_t headerLength = u16(8);
    const std::size_t recordLength = u16(10);
    for (std::size_t at = 32; u8(at) != 0x0D; at += 32) {
        DbfField f;
        f.name = b.substr(at, 11).c_str();
        f.type = b.at(at + 11);
        f.length = u8(at + 16);
        f.decimals = u8(at + 17);
        dbf.fields.push_back(f);
    }
    for (std::uint32_t r = 0; r < dbf.recordCount; ++r) {
        std::size_t at = headerLength + r * recordLength + 1;  // past the deletion flag
        auto& record = dbf.records.emplace_back();
        for (const auto& f : dbf.fields) {
            record.push_back(b.substr(at, static_cast<std::size_t>(f.length)));
            at += static_cast<std::size_t>(f.length);
        }
    }
    return dbf;
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// --- independent fault predicates on stored rings -------------------------------
using gis::Point;
using gis::Ring;

double cross(Point a, Point b, Point c) { return (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x); }
double dot(Point a, Point b, Point c) { return (b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y); }

template <typename Pred>
bool anyTriple(const Ring& r, Pred pred) {
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (pred(r[i], r[(i + 1) % r.size()], r[(i + 2) % r.size()])) return true;
    }
    return false;
}

bool repeatedVertex(const Ring& r) {
    return anyTriple(r, [](Point a, Point b, Point) { return a == b; });
}
bool uTurn(const Ring& r) {
    return anyTriple(r, [](Point a, Point b, Point c) { return a != b && cross(a, b, c) == 0 && dot(a, b, c) < 0; });
}
bool pointOnLine(const Ring& r) {
    return anyTriple(r, [](Point a, Point b, Point c) { return a != b && cross(a, b, c) == 0 && dot(a, b, c) > 0; });
}
bool properCrossing(const Ring& r) {
    const std::size_t n = r.size();
    auto side = [](Point a, Point b, Point p) { return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x); };
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 2; j < n; ++j) {
            if (i == 0 && j == n - 1) continue;  // neighbours through the closing edge
            const Point a = r[i], b = r[(i + 1) % n], c = r[j], d = r[(j + 1) % n];
            if (side(a, b, c) * side(a, b, d) < 0 && side(c, d, a) * side(c, d, b) < 0) return true;
        }
    }
    return false;
}
bool inside(Point p, const Ring& r) {
    bool in = false;
    for (std::size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) {
        if ((r[i].y > p.y) != (r[j].y > p.y) &&
            p.x < (r[j].x - r[i].x) * (p.y - r[i].y) / (r[j].y - r[i].y) + r[i].x) {
            in = !in;
        }
    }
    return in;
}

struct Findings {
    bool repeated = false, spike = false, onLine = false, crossing = false, wrongOrientation = false;
    int outerRings = 0, holes = 0;
};

Findings examine(const gis::Polygon& polygon) {
    Findings f;
    for (const auto& ring : polygon.parts) {
        f.repeated = f.repeated || repeatedVertex(ring);
        f.spike = f.spike || uTurn(ring);
        f.onLine = f.onLine || pointOnLine(ring);
        f.crossing = f.crossing || properCrossing(ring);
        const bool hole = std::any_of(polygon.parts.begin(), polygon.parts.end(), [&](const Ring& other) {
            return &other != &ring && inside(ring[0], other);
        });
        ++(hole ? f.holes : f.outerRings);
        const double a = gis::ringArea(ring);
        f.wrongOrientation = f.wrongOrientation || (hole ? a > 0 : a < 0);
    }
    return f;
}

// --- tests ----------------------------------------------------------------------

TEST(SampleGenerator, SameBytesFromLibraryAndFromEveryRunOfTheCommand) {
    TempDir dir;
    write(sampleLayer(), dir / "lib");
    const auto reference = test::tripleDigest(dir / "lib.shp");
    EXPECT_EQ(reference.size(), 4u) << ".shp, .shx, .dbf and .cpg expected";
    for (const char* run : {"run1", "run2"}) {
        const auto r = test::runCommand({test::binPath("plyvet-samplegen").string(), "sample",
                                         (dir / run).string()});
        ASSERT_EQ(r.exitCode, 0) << r.stderrText;
        EXPECT_EQ(test::tripleDigest(dir / (std::string(run) + ".shp")), reference) << run;
    }
    TempDir other;
    write(gridLayer(3), other / "g");
    const auto grid = test::runCommand({test::binPath("plyvet-samplegen").string(), "grid",
                                        (dir / "g.shp").string(), "3"});
    ASSERT_EQ(grid.exitCode, 0) << grid.stderrText;
    EXPECT_EQ(test::tripleDigest(dir / "g.shp"), test::tripleDigest(other / "g.shp"));
}

TEST(SampleGenerator, DbfCarriesNoDateOfTheRun) {
    TempDir dir;
    write(sampleLayer(), dir / "s");
    const auto dbf = parseDbf(dir / "s.dbf");
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    const std::array<unsigned char, 3> stamp = {static_cast<unsigned char>(today.tm_year),
                                                static_cast<unsigned char>(today.tm_mon + 1),
                                                static_cast<unsigned char>(today.tm_mday)};
    EXPECT_NE(dbf.date, stamp) << "the last-update date would make the bytes differ from day to day";
}

TEST(SampleGenerator, EveryFieldTypeAndTheCodePage) {
    TempDir dir;
    write(sampleLayer(), dir / "s");
    EXPECT_EQ(trimmed(test::readFile(dir / "s.cpg")), "1252");
    const auto dbf = parseDbf(dir / "s.dbf");
    const struct {
        const char* name;
        char type;
        int length;
        int decimals;
    } expected[] = {{"ID", 'N', 9, 0},   {"GROSSNR", 'N', 20, 0},    {"FLAECHE", 'N', 12, 2},
                    {"DATUM", 'D', 8, 0}, {"NAME", 'C', 40, 0},       {"BEMERKUNG", 'C', 254, 0},
                    {"GEPRUEFT", 'L', 1, 0}};
    ASSERT_EQ(dbf.fields.size(), std::size(expected));
    for (std::size_t i = 0; i < dbf.fields.size(); ++i) {
        EXPECT_EQ(dbf.fields[i].name, expected[i].name);
        EXPECT_EQ(dbf.fields[i].type, expected[i].type) << expected[i].name;
        EXPECT_EQ(dbf.fields[i].length, expected[i].length) << expected[i].name;
        EXPECT_EQ(dbf.fields[i].decimals, expected[i].decimals) << expected[i].name;
    }
    ASSERT_GE(dbf.recordCount, 12u);
    ASSERT_LE(dbf.recordCount, 30u);
}

TEST(SampleGenerator, AttributeValuesAsStored) {
    TempDir dir;
    write(sampleLayer(), dir / "s");
    const auto dbf = parseDbf(dir / "s.dbf");
    std::string allNames;
    int blankDates = 0, fullRemarks = 0;
    std::set<std::string> flags, ids;
    for (const auto& r : dbf.records) {
        ids.insert(trimmed(r[0]));
        const std::string grossnr = trimmed(r[1]);
        EXPECT_TRUE(!grossnr.empty() && grossnr.size() <= 4 && r[1].back() != ' ') << r[1];
        EXPECT_NE(r[2].find('.'), std::string::npos) << "FLAECHE without decimals: " << r[2];
        if (trimmed(r[3]).empty()) {
            ++blankDates;
        } else {
            const int month = std::stoi(r[3].substr(4, 2)), day = std::stoi(r[3].substr(6, 2));
            EXPECT_TRUE(r[3].find_first_not_of("0123456789") == std::string::npos && month >= 1 &&
                        month <= 12 && day >= 1 && day <= 31)
                << r[3];
        }
        allNames += r[4] + r[5];
        fullRemarks += r[5].back() != ' ' ? 1 : 0;
        flags.insert(r[6]);
    }
    EXPECT_EQ(ids.size(), dbf.records.size()) << "IDs must be unique";
    EXPECT_EQ(blankDates, 1);
    EXPECT_EQ(fullRemarks, 1) << "one remark fills all 254 bytes";
    EXPECT_EQ(flags, (std::set<std::string>{"F", "T"}));
    for (const char* word : {"Flurst\xFC" "ck", "Gr\xF6\xDF" "e", "Stra\xDF" "e"}) {
        EXPECT_NE(allNames.find(word), std::string::npos) << test::cp1252ToUtf8(word);
    }
    EXPECT_EQ(allNames.find('\xC3'), std::string::npos) << "UTF-8 bytes in a Windows-1252 file";
}

TEST(SampleGenerator, HolesPartsAndExactlyTheIntendedFaults) {
    TempDir dir;
    const Layer layer = sampleLayer();
    write(layer, dir / "s");
    const gis::ShapefileReader reader(dir / "s.shp");
    ASSERT_EQ(reader.recordCount(), static_cast<int>(layer.records.size()));

    // ID -> what the parcel is meant to show; every other parcel is clean.
    const std::map<int, Findings> intended = {
        {3, {.outerRings = 1, .holes = 1}},
        {4, {.outerRings = 2}},
        {6, {.repeated = true, .outerRings = 1}},
        {8, {.spike = true, .outerRings = 1}},
        {9, {.outerRings = 1, .holes = 2}},
        {10, {.crossing = true, .outerRings = 1}},
        {12, {.wrongOrientation = true, .outerRings = 1}},
        {13, {.outerRings = 2, .holes = 1}},
        {14, {.onLine = true, .outerRings = 1}},
    };
    for (int i = 0; i < reader.recordCount(); ++i) {
        const auto polygon = reader.polygon(i);
        ASSERT_TRUE(polygon.has_value());
        EXPECT_EQ(*polygon, *layer.records[static_cast<std::size_t>(i)].shape) << "record " << i;
        const int id = std::stoi(reader.rawValue(i, 0));
        const auto it = intended.find(id);
        const Findings want = it != intended.end() ? it->second : Findings{.outerRings = 1};
        const Findings got = examine(*polygon);
        EXPECT_EQ(got.repeated, want.repeated) << "ID " << id;
        EXPECT_EQ(got.spike, want.spike) << "ID " << id;
        EXPECT_EQ(got.onLine, want.onLine) << "ID " << id;
        EXPECT_EQ(got.crossing, want.crossing) << "ID " << id;
        EXPECT_EQ(got.wrongOrientation, want.wrongOrientation) << "ID " << id;
        EXPECT_EQ(got.outerRings, want.outerRings) << "ID " << id;
        EXPECT_EQ(got.holes, want.holes) << "ID " << id;
    }
}

TEST(SampleGenerator, GdalReadsTheSample) {
    if (!test::haveOgr()) GTEST_SKIP() << "gdal-bin is not installed";
    TempDir dir;
    write(sampleLayer(), dir / "s");
    const std::string info = test::ogrinfoSummary(dir / "s.shp");
    auto fieldLine = [&](const std::string& name) {
        const auto at = info.find("\n" + name + ": ");
        return at == std::string::npos ? std::string() : info.substr(at + 1, info.find('\n', at + 1) - at - 1);
    };
    using ::testing::AnyOf;
    using ::testing::Eq;
    EXPECT_NE(info.find("Geometry: Polygon"), std::string::npos) << info;
    EXPECT_NE(info.find("Feature Count: 20"), std::string::npos) << info;
    EXPECT_EQ(fieldLine("ID"), "ID: Integer (9.0)");
    // A 20-digit number does not fit GDAL's 64-bit integers.
    EXPECT_EQ(fieldLine("GROSSNR"), "GROSSNR: Real (20.0)");
    EXPECT_EQ(fieldLine("FLAECHE"), "FLAECHE: Real (12.2)");
    EXPECT_EQ(fieldLine("DATUM"), "DATUM: Date (10.0)");
    EXPECT_EQ(fieldLine("NAME"), "NAME: String (40.0)");
    EXPECT_EQ(fieldLine("BEMERKUNG"), "BEMERKUNG: String (254.0)");
    // Older GDAL reads a dBase logical field as text, newer ones as Boolean.
    EXPECT_THAT(fieldLine("GEPRUEFT"),
                AnyOf(Eq("GEPRUEFT: String (1.0)"), Eq("GEPRUEFT: Integer(Boolean) (1.0)")));

    const std::string features = test::ogrinfoSummary(dir / "s.shp", true);
    // GDAL recodes by the .cpg: the umlauts arrive as UTF-8.
    EXPECT_NE(features.find("NAME (String) = Flurst\u00fcck 101\n"), std::string::npos);
    EXPECT_NE(features.find("NAME (String) = Hof an der Stra\u00dfe\n"), std::string::npos);
    // The blank date is no date at all, the other 19 are read as dates.
    std::size_t dates = 0;
    for (auto at = features.find("DATUM (Date) = "); at != std::string::npos;
         at = features.find("DATUM (Date) = ", at + 1)) {
        dates += features.compare(at + 15, 6, "(null)") != 0 ? 1 : 0;
    }
    EXPECT_EQ(dates, 19u);
}

TEST(SampleGenerator, CommandLineErrors) {
    TempDir dir;
    const std::string bin = test::binPath("plyvet-samplegen").string();
    const std::string base = (dir / "x").string();
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{}, 2},
        {{"sample"}, 2},
        {{"bogus", base}, 2},
        {{"grid", base}, 2},
        {{"grid", base, "0"}, 2},
        {{"grid", base, "1001"}, 2},
        {{"grid", base, "3x"}, 2},
        {{"sample", (dir / "no-such-folder" / "x").string()}, 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{bin};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto r = test::runCommand(argv);
        EXPECT_EQ(r.exitCode, c.exitCode) << testing::PrintToString(c.args);
        EXPECT_FALSE(r.stderrText.empty()) << testing::PrintToString(c.args);
    }
    EXPECT_TRUE(fs::is_empty(dir.path())) << "a failed call left files behind";

    const auto help = test::runCommand({bin, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.stdoutText.find("usage:"), std::string::npos);

    ASSERT_EQ(test::runCommand({bin, "sample", base + ".shp"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(dir / "x.shp"));
    EXPECT_FALSE(fs::exists(dir / "x.shp.shp"));
}

TEST(SampleGenerator, WriteRejectsRecordsOfTheWrongWidth) {
    TempDir dir;
    Layer layer;
    layer.fields = {integerField("ID"), textField("NAME", 10)};
    layer.records.push_back({rectanglePolygon(0, 0, 1, 1), {"1"}});
    EXPECT_THROW(write(layer, dir / "w"), std::invalid_argument);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
}  // namespace plyvet::samplegen
