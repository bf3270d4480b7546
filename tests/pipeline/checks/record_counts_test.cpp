#include "pipeline/record_counts.h"

#include "pipeline/gis/shapefile.h"
#include "support/testsupport.h"
#include "tools/samplegen/samplegen.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace plyvet {
namespace {

namespace fs = std::filesystem;
namespace sg = samplegen;
using test::readFile;
using test::writeFile;

using Lines = std::vector<std::string>;

void putLe32(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void putLe16(std::string& bytes, std::size_t at, std::uint16_t v) {
    bytes[at] = static_cast<char>(v & 0xFF);
    bytes[at + 1] = static_cast<char>(v >> 8);
}
std::uint16_t le16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

Lines countBlock(int target, int actual, int dbase) {
    return {"Anzahl Shapes (Soll): " + std::to_string(target), "Anzahl Shapes (Ist): " + std::to_string(actual),
            "Anzahl Datensätze in dbf-File: " + std::to_string(dbase)};
}

Lines concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class RecordCounts : public ::testing::Test {
protected:
    test::TempDir dir{"plyvet-counts"};
    fs::path base = dir / "parzelle";

    fs::path file(std::string_view ending) const { return fs::path(base.native() + std::string(ending)); }

    // Writes a triple of `shapes` one-square polygons and returns the record
    // count the reader delivers for it.
    int writeTriple(int shapes) {
        sg::Layer layer;
        layer.fields = {sg::integerField("ID", 9)};
        for (int i = 0; i < shapes; ++i) {
            layer.records.push_back({sg::rectanglePolygon(i, 0, i + 1, 1), {std::to_string(i + 1)}});
        }
        sg::write(layer, base);
        return gis::ShapefileReader(file(".shp")).recordCount();
    }

    // Cuts or pads the index to `entries` 8-byte entries after its header. The
    // header's own length field keeps naming the count as written, which is
    // what the reader goes by, so a padded index is still readable.
    void setIndexEntries(int entries) {
        std::string bytes = readFile(file(".shx"));
        const std::string last = bytes.substr(bytes.size() - 8);
        bytes.resize(std::min<std::size_t>(bytes.size(), 100 + 8 * static_cast<std::size_t>(entries)));
        while (bytes.size() < 100 + 8 * static_cast<std::size_t>(entries)) bytes += last;
        writeFile(file(".shx"), bytes);
    }

    // Sets the header's record count; rows beyond those written are added as
    // blank rows, so the file holds every row its header names.
    void setDbaseCount(int count) {
        std::string bytes = readFile(file(".dbf"));
        const std::size_t headerLength = le16(bytes, 8);
        const std::size_t recordLength = le16(bytes, 10);
        if (!bytes.empty() && bytes.back() == '\x1a') bytes.pop_back();
        const std::size_t held = (bytes.size() - headerLength) / recordLength;
        for (std::size_t i = held; i < static_cast<std::size_t>(count); ++i) bytes += std::string(recordLength, ' ');
        bytes += '\x1a';
        putLe32(bytes, 4, static_cast<std::uint32_t>(count));
        writeFile(file(".dbf"), bytes);
    }
};

struct CountCase {
    const char* name;
    int shapes;  // written, and delivered by the reader
    int index;   // entries in the .shx
    int dbase;   // count in the .dbf header
    bool proceed;
    bool truncated;
    Lines decision;
};

const std::string B = "Shapefile parzelle.shp: ";

class RecordCountDecisions : public RecordCounts, public ::testing::WithParamInterface<CountCase> {};

TEST_P(RecordCountDecisions, FromFileTriple) {
    const CountCase& c = GetParam();
    const int actual = writeTriple(c.shapes);
    ASSERT_EQ(actual, c.shapes);
    setIndexEntries(c.index);
    setDbaseCount(c.dbase);

    const RecordCountOutcome out = checkRecordCounts(base, actual, "parzelle");
    EXPECT_EQ(out.proceed, c.proceed);
    EXPECT_EQ(out.truncated, c.truncated);
    EXPECT_EQ(out.actual, c.shapes);
    EXPECT_EQ(out.target, c.index);
    EXPECT_EQ(out.dbase, c.dbase);
    EXPECT_EQ(out.logLines, concat(countBlock(c.index, c.shapes, c.dbase), c.decision));
}

INSTANTIATE_TEST_SUITE_P(
    NineCases, RecordCountDecisions,
    ::testing::Values(
        CountCase{"AllZero", 0, 0, 0, false, false, {"Shapefile parzelle.shp enthält keine Datensätze."}},
        CountCase{"AllEqual", 3, 3, 3, true, false, {}},
        CountCase{"AllDifferent", 2, 3, 4, false, false,
                  {B + "Anzahl Shape-Datensätze entspricht weder Anzahl Soll-Datensätze,",
                   B + "noch Anzahl dBase-Datensätze."}},
        CountCase{"DbaseBelowShapesAndIndex", 3, 3, 2, false, false,
                  {B + "Anzahl Shape-Datensätze entspricht Anzahl Soll-Datensätze,",
                   B + "ist aber höher als Anzahl dBase-Datensätze."}},
        CountCase{"IndexAboveShapesAndDbase", 2, 3, 2, false, false,
                  {B + "Anzahl Shape-Datensätze entspricht Anzahl dBase-Datensätze,",
                   B + "ist aber geringer als Anzahl Soll-Datensätze."}},
        CountCase{"IndexBelowShapesAndDbase", 3, 2, 3, false, false,
                  {B + "Anzahl Shape-Datensätze entspricht Anzahl dBase-Datensätze,",
                   B + "ist aber höher als Anzahl Soll-Datensätze."}},
        CountCase{"ShapesAboveIndexAndDbase", 3, 2, 2, false, false,
                  {B + "Anzahl dBase-Datensätze entspricht Anzahl Soll-Datensätze,",
                   B + "ist aber geringer als Anzahl Shapefile-Datensätze."}},
        CountCase{"ShapesBelowIndexAndDbase", 2, 3, 3, false, false,
                  {B + "Anzahl dBase-Datensätze entspricht Anzahl Soll-Datensätze,",
                   B + "ist aber höher als Anzahl Shapefile-Datensätze."}},
        CountCase{"DbaseAboveShapesAndIndex", 2, 2, 4, true, true,
                  {"dBase-File parzelle.dbf enthält mehr Datensätze als ",
                   "Shapefile parzelle.shp. Die über die Anzahl der Shapefile-Datensätze",
                   "hinausgehenden Datensätze des dBase-Files wurden im exportierten File abgeschnitten."}},
        // An index of its bare 100-byte header names no records.
        CountCase{"IndexOfHeaderOnly", 2, 0, 2, false, false,
                  {B + "Anzahl Shape-Datensätze entspricht Anzahl dBase-Datensätze,",
                   B + "ist aber höher als Anzahl Soll-Datensätze."}}),
    [](const auto& p) { return std::string(p.param.name); });

// The reader counts what the index header says, the check what the index
// file holds: a padded index is noticed with the reader opened on the
// damaged triple itself.
TEST_F(RecordCounts, PaddedIndexSeenThroughTheReader) {
    writeTriple(2);
    setIndexEntries(3);
    const int actual = gis::ShapefileReader(file(".shp")).recordCount();
    ASSERT_EQ(actual, 2);
    const auto out = checkRecordCounts(base, actual, "parzelle");
    EXPECT_FALSE(out.proceed);
    EXPECT_EQ(out.target, 3);
}

TEST_F(RecordCounts, UpperCaseEndingsAreFound) {
    const int actual = writeTriple(2);
    fs::rename(file(".shx"), file(".SHX"));
    fs::rename(file(".dbf"), file(".DBF"));
    const auto out = checkRecordCounts(base, actual, "parzelle");
    EXPECT_TRUE(out.proceed);
    EXPECT_EQ(out.logLines, countBlock(2, 2, 2));
}

// --- damaged or missing files ------------------------------------------------

struct DamageCase {
    const char* name;
    void (*damage)(const fs::path& shx, const fs::path& dbf);
    int target;
    int dbase;
    // Fault lines; "<size>" stands for the size of the damaged .dbf.
    Lines faults;
};

std::string cut(const fs::path& p, std::size_t size) {
    std::string bytes = readFile(p);
    bytes.resize(size);
    writeFile(p, bytes);
    return bytes;
}

void editDbf(const fs::path& dbf, std::size_t at, std::uint16_t v) {
    std::string bytes = readFile(dbf);
    putLe16(bytes, at, v);
    writeFile(dbf, bytes);
}

const std::string kDamagedDbf = "dBase-File parzelle.dbf ist beschädigt: ";
const std::string kDamagedShx = "Indexdatei parzelle.shx ist beschädigt: ";

class RecordCountDamage : public RecordCounts, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(RecordCountDamage, StopsWithoutTouchingTheFiles) {
    const DamageCase& c = GetParam();
    const int actual = writeTriple(2);
    c.damage(file(".shx"), file(".dbf"));
    const auto before = test::tripleDigest(file(".shp"));
    const std::string dbfSize = fs::exists(file(".dbf")) ? std::to_string(fs::file_size(file(".dbf"))) : "";

    const auto out = checkRecordCounts(base, actual, "parzelle");

    Lines faults = c.faults;
    for (auto& line : faults) {
        if (const auto at = line.find("<size>"); at != std::string::npos) line.replace(at, 6, dbfSize);
    }
    faults.push_back("Shapefile parzelle.shp wird deshalb nicht bearbeitet.");
    EXPECT_FALSE(out.proceed);
    EXPECT_EQ(out.logLines, concat(countBlock(c.target, 2, c.dbase), faults));
    EXPECT_EQ(test::tripleDigest(file(".shp")), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RecordCountDamage,
    ::testing::Values(
        DamageCase{"IndexMissing", [](const fs::path& shx, const fs::path&) { fs::remove(shx); }, 0, 2,
                   {"Indexdatei parzelle.shx nicht vorhanden."}},
        DamageCase{"IndexShorterThanHeader", [](const fs::path& shx, const fs::path&) { cut(shx, 60); }, 0, 2,
                   {kDamagedShx + "60 Byte sind kürzer als ihr Dateikopf von 100 Byte."}},
        DamageCase{"IndexWithPartialEntry",
                   [](const fs::path& shx, const fs::path&) { writeFile(shx, readFile(shx) + "abc"); }, 2, 2,
                   {kDamagedShx + "ihre Länge von 119 Byte ist nicht 100 Byte Dateikopf und 8 Byte je Datensatz."}},
        DamageCase{"DbaseMissing", [](const fs::path&, const fs::path& dbf) { fs::remove(dbf); }, 2, 0,
                   {"dBase-File parzelle.dbf nicht vorhanden."}},
        DamageCase{"DbaseShorterThanCount", [](const fs::path&, const fs::path& dbf) { cut(dbf, 5); }, 2, 0,
                   {kDamagedDbf + "5 Byte sind kürzer als sein Dateikopf von 32 Byte."}},
        DamageCase{"DbaseShorterThanHeader", [](const fs::path&, const fs::path& dbf) { cut(dbf, 20); }, 2, 2,
                   {kDamagedDbf + "20 Byte sind kürzer als sein Dateikopf von 32 Byte."}},
        DamageCase{"DbaseCountBeyondRows",
                   [](const fs::path&, const fs::path& dbf) {
                       std::string bytes = readFile(dbf);
                       putLe32(bytes, 4, 1000);
                       writeFile(dbf, bytes);
                   },
                   2, 1000, {kDamagedDbf + "der Dateikopf nennt 1000 Datensätze, die Datei enthält aber nur 2."}},
        DamageCase{"DbaseLastRowCut",
                   [](const fs::path&, const fs::path& dbf) { cut(dbf, fs::file_size(dbf) - 3); }, 2, 2,
                   {kDamagedDbf + "der Dateikopf nennt 2 Datensätze, die Datei enthält aber nur 1."}},
        DamageCase{"DbaseHeaderLengthTooSmall", [](const fs::path&, const fs::path& dbf) { editDbf(dbf, 8, 10); },
                   2, 2, {kDamagedDbf + "die Kopflänge von 10 Byte ist kleiner als 32 Byte."}},
        DamageCase{"DbaseHeaderLengthBeyondFile",
                   [](const fs::path&, const fs::path& dbf) { editDbf(dbf, 8, 60000); }, 2, 2,
                   {kDamagedDbf + "die Kopflänge von 60000 Byte ist größer als die Datei (<size> Byte)."}},
        DamageCase{"DbaseRecordLengthZero", [](const fs::path&, const fs::path& dbf) { editDbf(dbf, 10, 0); }, 2,
                   2, {kDamagedDbf + "die Datensatzlänge ist 0 Byte."}},
        DamageCase{"BothMissing",
                   [](const fs::path& shx, const fs::path& dbf) {
                       fs::remove(shx);
                       fs::remove(dbf);
                   },
                   0, 0, {"Indexdatei parzelle.shx nicht vorhanden.", "dBase-File parzelle.dbf nicht vorhanden."}}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace plyvet
