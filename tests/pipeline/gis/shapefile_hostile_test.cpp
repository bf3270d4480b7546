// Damaged and hostile files: every one must end in the access layer's error,
// naming the file, and never in a crash, an overrun (the suite runs under
// AddressSanitizer) or a line on stderr.

#include "pipeline/gis/shapefile.h"

#include "gis_test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace plyvet::gis {
namespace {

namespace fs = std::filesystem;
using test::getBe32;
using test::getLe32;
using test::putBe32;
using test::putLe32;
using test::readFile;
using test::writeFile;

// Offsets in the .shp: 100-byte file header, then per record an 8-byte
// header (number, content length in 16-bit words, both big-endian) and the
// content (type, box, part count at +36, point count at +40, part starts at +44).
constexpr std::size_t kFileHeader = 100;
constexpr std::size_t kRecordHeader = 8;
constexpr std::size_t kPartCount = 36;
constexpr std::size_t kPointCount = 40;
constexpr std::size_t kPartStarts = 44;

struct Files {
    std::string shp;
    std::string shx;
    std::string dbf;
};

// Offset in the .shp of record `i`'s content, from the .shx.
std::size_t contentOf(const Files& f, int i) {
    return static_cast<std::size_t>(getBe32(f.shx, kFileHeader + 8 * static_cast<std::size_t>(i))) * 2 +
           kRecordHeader;
}

struct HostileCase {
    std::string name;
    std::function<void(Files&, const fs::path& base)> damage;
    std::string fileNeedle;   // the file the description must name
    std::string causeNeedle;  // a word of the cause
};

class ShapeReaderHostile : public test::TempDirTest, public ::testing::WithParamInterface<HostileCase> {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        base_ = dir_ / "hostile";
        // Three records: a shell with a hole, a three-part polygon, a triangle.
        const std::vector<FieldDef> fields{{"ID", FieldType::Integer, 5, 5, 0}, {"NAME", FieldType::String, 12, 0, 0}};
        ShapefileWriter w(base_, fields, "1252");
        w.append(Polygon{{{{0, 0}, {0, 10}, {10, 10}, {10, 0}}, {{2, 2}, {4, 2}, {4, 4}, {2, 4}}}},
                 std::vector<std::optional<std::string>>{std::string("1"), std::string("eins")});
        w.append(Polygon{{{{20, 0}, {20, 1}, {21, 1}}, {{30, 0}, {30, 1}, {31, 1}}, {{40, 0}, {40, 1}, {41, 1}}}},
                 std::vector<std::optional<std::string>>{std::string("2"), std::string("zwei")});
        w.append(Polygon{{{{50, 0}, {50, 1}, {51, 1}}}},
                 std::vector<std::optional<std::string>>{std::string("3"), std::string("drei")});
        w.close();
    }

    fs::path file(const char* ext) const { return fs::path(base_.string() + ext); }

    // Opens the damaged set and reads every record and value, as a full pass
    // of the correction run would.
    void readEverything() const {
        ShapefileReader r(file(".shp"));
        for (int i = 0; i < r.recordCount(); ++i) {
            (void)r.polygon(i);
        }
        for (int i = 0; i < r.dbfRecordCount(); ++i) {
            for (int f = 0; f < static_cast<int>(r.fields().size()); ++f) {
                (void)r.rawValue(i, f);
            }
        }
    }

    fs::path base_;
};

TEST_P(ShapeReaderHostile, RaisesNamingTheFile) {
    const HostileCase& c = GetParam();
    Files f{readFile(file(".shp")), readFile(file(".shx")), readFile(file(".dbf"))};
    ASSERT_EQ(contentOf(f, 0), kFileHeader + kRecordHeader);
    c.damage(f, base_);
    for (const auto& [ext, bytes] : {std::pair{".shp", &f.shp}, std::pair{".shx", &f.shx}, std::pair{".dbf", &f.dbf}}) {
        if (fs::exists(file(ext))) {
            writeFile(file(ext), *bytes);
        }
    }
    ::testing::internal::CaptureStderr();
    const ::testing::AssertionResult raised = test::raisesGisFailure([&] { readEverything(); },
                                                                     {c.fileNeedle, c.causeNeedle});
    const std::string stderrText = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(raised);
    EXPECT_EQ(stderrText, "") << "library messages must reach the error, not stderr";
}

std::string garbage(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& ch : s) {
        ch = static_cast<char>(rng() & 0xFF);
    }
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    ShapeReader, ShapeReaderHostile,
    ::testing::Values(
        HostileCase{"MissingIndexFile", [](Files&, const fs::path& b) { fs::remove(b.string() + ".shx"); },
                    "hostile.shx", "Indexdatei"},
        HostileCase{"MissingAttributeFile", [](Files&, const fs::path& b) { fs::remove(b.string() + ".dbf"); },
                    "hostile.dbf", "Attributdatei"},
        HostileCase{"MissingGeometryFile", [](Files&, const fs::path& b) { fs::remove(b.string() + ".shp"); },
                    "hostile.shp", "nicht vorhanden"},
        HostileCase{"TruncatedLastRecord", [](Files& f, const fs::path&) { f.shp.resize(f.shp.size() - 20); },
                    "hostile.shp", "abgeschnitten"},
        HostileCase{"TruncatedFileHeader", [](Files& f, const fs::path&) { f.shp.resize(60); }, "hostile.shp",
                    "Dateikopf"},
        HostileCase{"GarbageGeometryFile", [](Files& f, const fs::path&) { f.shp = garbage(f.shp.size(), 1); },
                    "hostile.shp", "beschädigt"},
        HostileCase{"GarbageIndexFile", [](Files& f, const fs::path&) { f.shx = garbage(f.shx.size(), 2); },
                    "hostile.shp", "Index"},
        HostileCase{"GarbageAttributeFile", [](Files& f, const fs::path&) { f.dbf = garbage(f.dbf.size(), 3); },
                    "hostile.dbf", "Attributdatei"},
        HostileCase{"RecordHeaderLengthLies",
                    [](Files& f, const fs::path&) {
                        const std::size_t at = contentOf(f, 1) - 4;
                        putBe32(f.shp, at, getBe32(f.shp, at) + 40);
                    },
                    "hostile.shp", "Datensatz 1"},
        HostileCase{"RecordWithoutContent",
                    [](Files& f, const fs::path&) {
                        putBe32(f.shx, kFileHeader + 8 * 2 + 4, 0);
                        putBe32(f.shp, contentOf(f, 2) - 4, 0);
                    },
                    "hostile.shp", "Datensatz 2"},
        HostileCase{"IndexOffsetPastTheEnd",
                    [](Files& f, const fs::path&) { putBe32(f.shx, kFileHeader + 8 * 1, 0x3FFFFFFF); },
                    "hostile.shp", "Datensatz 1"},
        HostileCase{"IndexOffsetIntoFileHeader",
                    [](Files& f, const fs::path&) { putBe32(f.shx, kFileHeader + 8 * 1, 10); }, "hostile.shp",
                    "im Dateikopf"},
        HostileCase{"PartOffsetOutOfRange",
                    [](Files& f, const fs::path&) { putLe32(f.shp, contentOf(f, 1) + kPartStarts + 4, 1000); },
                    "hostile.shp", "Datensatz 1"},
        HostileCase{"PartOffsetsDecreasing",
                    [](Files& f, const fs::path&) {
                        putLe32(f.shp, contentOf(f, 1) + kPartStarts + 4, 6);
                        putLe32(f.shp, contentOf(f, 1) + kPartStarts + 8, 2);
                    },
                    "hostile.shp", "Datensatz 1"},
        HostileCase{"FirstPartNotAtZero",
                    [](Files& f, const fs::path&) { putLe32(f.shp, contentOf(f, 0) + kPartStarts, 1); },
                    "hostile.shp", "Datensatz 0"},
        HostileCase{"TenMillionPartsInASmallFile",
                    [](Files& f, const fs::path&) { putLe32(f.shp, contentOf(f, 1) + kPartCount, 10'000'000); },
                    "hostile.shp", "Datensatz 1"},
        HostileCase{"BillionPoints",
                    [](Files& f, const fs::path&) { putLe32(f.shp, contentOf(f, 0) + kPointCount, 1'000'000'000); },
                    "hostile.shp", "Datensatz 0"},
        HostileCase{"MorePointsThanTheRecordHolds",
                    [](Files& f, const fs::path&) {
                        const std::size_t at = contentOf(f, 2) + kPointCount;
                        putLe32(f.shp, at, getLe32(f.shp, at) + 1);
                    },
                    "hostile.shp", "Datensatz 2"},
        HostileCase{"TruncatedAttributeFile", [](Files& f, const fs::path&) { f.dbf.resize(f.dbf.size() - 10); },
                    "hostile.dbf", "Datensatz 2"},
        HostileCase{"FieldWiderThanTheRecord",
                    [](Files& f, const fs::path&) {
                        // Field descriptors start at 32; the width byte is at +16.
                        f.dbf.at(32 + 32 + 16) = static_cast<char>(200);
                    },
                    "hostile.dbf", "beschädigt"},
        HostileCase{"AttributeHeaderLengthTooSmall",
                    [](Files& f, const fs::path&) {
                        f.dbf.at(8) = 10;  // header length, little-endian 16 bit
                        f.dbf.at(9) = 0;
                    },
                    "hostile.dbf", "Attributdatei"}),
    test::CaseName());

using ShapeReaderIndex = test::TempDirTest;

TEST_F(ShapeReaderIndex, RecordAndFieldIndexOutOfRange) {
    const fs::path base = dir_ / "range";
    {
        ShapefileWriter w(base, std::vector<FieldDef>{{"A", FieldType::String, 2, 0, 0}}, "");
        w.append(Polygon{{{{0, 0}, {0, 1}, {1, 1}}}}, std::vector<std::optional<std::string>>{std::string("x")});
        w.close();
    }
    ShapefileReader r(base.string() + ".shp");
    for (int bad : {-1, 1, 1 << 30}) {
        EXPECT_TRUE(test::raisesGisFailure([&] { (void)r.polygon(bad); }, {"range.shp", "nicht vorhanden"}));
        EXPECT_TRUE(test::raisesGisFailure([&] { (void)r.rawValue(bad, 0); }, {"range.dbf", "nicht vorhanden"}));
        EXPECT_TRUE(test::raisesGisFailure([&] { (void)r.rawValue(0, bad); }, {"range.dbf", "Feld"}));
    }
    EXPECT_EQ(r.rawValue(0, 0), "x ");
}

}  // namespace
}  // namespace plyvet::gis
