#include "tests/support/testsupport.h"

#include "pipeline/gis/geometry.h"
#include "pipeline/gis/shapefile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace plyvet::test {
namespace {
namespace fs = std::filesystem;

TEST(FileDigest, KnownValuesOfFnv1a64) {
    TempDir dir;
    const struct {
        std::string bytes;
        std::uint64_t digest;
    } cases[] = {
        {"", 0xcbf29ce484222325ull},
        {"a", 0xaf63dc4c8601ec8cull},
        {"foobar", 0x85944171f73967e8ull},
    };
    for (const auto& c : cases) {
        writeFile(dir / "f", c.bytes);
        EXPECT_EQ(fileDigest(dir / "f"), c.digest) << '"' << c.bytes << '"';
    }
}

TEST(FileDigest, ChangesWithEveryKindOfEdit) {
    TempDir dir;
    std::string bytes(200000, 'x');  // spans several read buffers
    writeFile(dir / "f", bytes);
    const auto original = fileDigest(dir / "f");
    for (std::size_t at : {std::size_t{0}, std::size_t{65536}, bytes.size() - 1}) {
        std::string changed = bytes;
        changed[at] = 'y';
        writeFile(dir / "f", changed);
        EXPECT_NE(fileDigest(dir / "f"), original) << "byte " << at;
    }
    writeFile(dir / "f", bytes + '\0');
    EXPECT_NE(fileDigest(dir / "f"), original) << "appended byte";
    writeFile(dir / "f", bytes);
    EXPECT_EQ(fileDigest(dir / "f"), original);
    EXPECT_THROW(fileDigest(dir / "missing"), std::runtime_error);
}

TEST(TripleDigest, CoversExactlyTheFilesOfTheSet) {
    TempDir dir;
    for (const char* ext : {".shp", ".shx", ".dbf"}) writeFile(dir / (std::string("a") + ext), ext);
    writeFile(dir / "b.dbf", "other shapefile");
    const auto before = tripleDigest(dir / "a.shp");
    EXPECT_EQ(before.size(), 3u);
    EXPECT_EQ(before.count(".cpg"), 0u);

    writeFile(dir / "a.dbf", ".dbg");
    EXPECT_NE(tripleDigest(dir / "a.shp"), before) << "changed .dbf";
    writeFile(dir / "a.dbf", ".dbf");
    EXPECT_EQ(tripleDigest(dir / "a.shp"), before);
    writeFile(dir / "a.prj", "");
    EXPECT_NE(tripleDigest(dir / "a.shp"), before) << "added .prj";
}

TEST(TempDir, UniqueAndRemovedWithEverythingInIt) {
    fs::path first;
    fs::path second;
    {
        TempDir a;
        TempDir b("plyvet-other");
        first = a.path();
        second = b.path();
        EXPECT_NE(first, second);
        EXPECT_TRUE(fs::is_directory(first));
        EXPECT_TRUE(fs::is_empty(first));
        EXPECT_EQ(first.parent_path(), fs::temp_directory_path());
        fs::create_directories(a / "sub" / "deep");
        writeFile(a / "sub" / "deep" / "f", "x");
        // A folder the test made read-only must not survive either.
        fs::permissions(a / "sub", fs::perms::owner_read | fs::perms::owner_exec);
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
}

TEST(TempDir, MoveHandsOverTheFolder) {
    fs::path path;
    {
        TempDir outer;
        path = outer.path();
        {
            TempDir inner(std::move(outer));
            EXPECT_EQ(inner.path(), path);
            EXPECT_TRUE(outer.path().empty());
            outer = std::move(inner);
        }
        EXPECT_TRUE(fs::is_directory(path)) << "moved-from object removed the folder";
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(RunCommand, ExitCodesAndSeparateStreams) {
    const struct {
        std::vector<std::string> argv;
        int exitCode;
        std::string out;
        std::string err;
    } cases[] = {
        {{"sh", "-c", "exit 0"}, 0, "", ""},
        {{"sh", "-c", "printf out; printf err >&2; exit 3"}, 3, "out", "err"},
        {{"sh", "-c", "kill -9 $$"}, 128 + 9, "", ""},
        // Arguments reach the program verbatim: nothing is re-parsed by a shell.
        {{"printf", "%s|%s", "a b", "c;d $(id) 'q'"}, 0, "a b|c;d $(id) 'q'", ""},
        {{"sh", "-c", "read line; printf %s \"$line\""}, 0, "", ""},  // stdin is empty
    };
    for (const auto& c : cases) {
        const auto r = runCommand(c.argv);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.argv.back();
        EXPECT_EQ(r.stdoutText, c.out) << c.argv.back();
        EXPECT_EQ(r.stderrText, c.err) << c.argv.back();
        EXPECT_FALSE(r.timedOut);
    }
}

TEST(RunCommand, MissingProgramIs127) {
    const auto r = runCommand({"plyvet-no-such-program-here"});
    EXPECT_EQ(r.exitCode, 127);
    EXPECT_NE(r.stderrText.find("plyvet-no-such-program-here"), std::string::npos);
}

TEST(RunCommand, EnvironmentAdditionsAndWorkingDirectory) {
    TempDir dir;
    RunOptions options;
    options.env = {{"PLYVET_PROBE", "a b;$(x)"}, {"HOME", "/nowhere"}};
    options.workingDirectory = dir.path();
    const auto r = runCommand({"sh", "-c", "printf '%s|%s|' \"$PLYVET_PROBE\" \"$HOME\"; pwd"}, options);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.stdoutText, "a b;$(x)|/nowhere|" + fs::canonical(dir.path()).string() + "\n");
}

TEST(RunCommand, LargeOutputOnBothStreamsAndStdin) {
    // More than a pipe buffer on both streams at once: a reader that drains
    // one stream after the other deadlocks here.
    const auto big = runCommand(
        {"sh", "-c", "head -c 300000 /dev/zero | tr '\\0' o; head -c 300000 /dev/zero | tr '\\0' e >&2"});
    EXPECT_EQ(big.exitCode, 0);
    EXPECT_EQ(big.stdoutText, std::string(300000, 'o'));
    EXPECT_EQ(big.stderrText, std::string(300000, 'e'));

    RunOptions options;
    options.stdinText = std::string(200000, 'i') + "\r\nend";
    const auto echoed = runCommand({"cat"}, options);
    EXPECT_EQ(echoed.exitCode, 0);
    EXPECT_EQ(echoed.stdoutText, options.stdinText);
}

TEST(RunCommand, TimeoutKillsTheChild) {
    RunOptions options;
    options.timeout = std::chrono::milliseconds(200);
    const auto start = std::chrono::steady_clock::now();
    const auto r = runCommand({"sh", "-c", "sleep 30"}, options);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.exitCode, 128 + 9);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(SplitLines, CrLfIsTheTerminatorAndBytesAreKept) {
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\nb\n", {"a\nb\n"}},  // bare LF: not a line end here
        {"x\ry\r\n", {"x\ry"}},
        {"Gr\xF6\xDF" "e\r\n", {"Gr\xF6\xDF" "e"}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitLines(c.text), c.lines) << c.text;
    EXPECT_EQ(splitLines("a\nb", "\n"), (std::vector<std::string>{"a", "b"}));
}

TEST(Cp1252, ConversionBothWays) {
    const struct {
        std::string utf8;
        std::string cp1252;
    } cases[] = {
        {"Größe", "Gr\xF6\xDF" "e"},
        {"Flurstück Straße", "Flurst\xFC" "ck Stra\xDF" "e"},
        {"€ „x“ – Œ", "\x80 \x84x\x93 \x96 \x8C"},
        {"ÄÖÜäöü", "\xC4\xD6\xDC\xE4\xF6\xFC"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.cp1252) << c.utf8;
        EXPECT_EQ(cp1252ToUtf8(c.cp1252), c.utf8) << c.utf8;
    }
    // No Windows-1252 form, or not UTF-8 at all: one "?" each, nothing dropped.
    EXPECT_EQ(utf8ToCp1252("a日b"), "a?b");
    EXPECT_EQ(utf8ToCp1252("a\xC3"), "a?");
    EXPECT_EQ(utf8ToCp1252("\xE0\x80\x80z"), "???z");  // overlong
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

class Ogr : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveOgr()) GTEST_SKIP() << "gdal-bin is not installed";
    }
    TempDir dir_;
};

TEST_F(Ogr, TypedColumnsAndEncoding) {
    const fs::path shp = dir_ / "typed.shp";
    ogrFromWkt(shp,
               {{"ID", "Integer(9)"}, {"NAME", "String(20)"}, {"FLAECHE", "Real(10.2)"},
                {"DATUM", "Date"}},
               {{"POLYGON ((0 0,10 0,10 10,0 10,0 0),(2 2,2 4,4 4,4 2,2 2))", {"1", "Größe", "96", "2020-03-01"}},
                {"MULTIPOLYGON (((20 0,30 0,30 5,20 0)),((40 0,50 0,50 5,40 0)))", {"2", "a, \"b\"", "", ""}},
                {"", {"3", "", "", ""}}},
               {.encoding = "CP1252"});
    const std::string info = ogrinfoSummary(shp);
    EXPECT_NE(info.find("Feature Count: 3"), std::string::npos) << info;
    EXPECT_NE(info.find("Geometry: Polygon"), std::string::npos) << info;
    for (const char* line : {"ID: Integer (9.0)", "NAME: String (20.0)", "FLAECHE: Real (10.2)",
                             "DATUM: Date (10.0)"}) {
        EXPECT_NE(info.find(line), std::string::npos) << line << "\n" << info;
    }
    const std::string features = ogrinfoSummary(shp, true);
    EXPECT_NE(features.find("a, \"b\""), std::string::npos) << "CSV quoting lost";
    EXPECT_NE(readFile(dir_ / "typed.dbf").find("Gr\xF6\xDF" "e"), std::string::npos);
}

TEST_F(Ogr, RingOrderRewoundUnlessKept) {
    // A counter-clockwise outer ring, as WKT usually has it.
    const std::string wkt = "POLYGON ((0 0,10 0,10 10,0 10,0 0))";
    for (bool keep : {false, true}) {
        const fs::path shp = dir_ / (keep ? "kept.shp" : "rewound.shp");
        OgrOptions options;
        options.keepRingOrder = keep;
        ogrFromWkt(shp, {{"ID", "Integer"}}, {{wkt, {"1"}}}, options);
        const gis::ShapefileReader reader(shp);
        ASSERT_EQ(reader.recordCount(), 1);
        const auto polygon = reader.polygon(0);
        ASSERT_TRUE(polygon.has_value());
        ASSERT_EQ(polygon->parts.size(), 1u);
        EXPECT_EQ(gis::ringArea(polygon->parts[0]), keep ? -100.0 : 100.0) << "keep " << keep;
    }
}

TEST_F(Ogr, FailuresThrow) {
    writeFile(dir_ / "junk.shp", "not a shapefile");
    EXPECT_THROW(ogrinfoSummary(dir_ / "junk.shp"), std::runtime_error);
    EXPECT_THROW(ogrinfoSummary(dir_ / "missing.shp"), std::runtime_error);
    EXPECT_THROW(ogrFromWkt(dir_ / "bad.shp", {{"ID", "Integer"}}, {{"POLYGON ((0 0, 1", {"1"}}}),
                 std::runtime_error);
    EXPECT_THROW(ogrFromWkt(dir_ / "bad.shp", {{"ID", "Integer"}}, {{"", {}}}), std::invalid_argument);
}

}  // namespace
}  // namespace plyvet::test
