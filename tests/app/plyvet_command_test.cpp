// End-to-end tests of the built `plyvet` program.

#include "support/testsupport.h"
#include "tools/samplegen/samplegen.h"

#include <gtest/gtest.h>

#include <regex>

namespace plyvet {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;

class PlyvetCommand : public ::testing::Test {
protected:
    test::TempDir dir{"plyvet-cli"};
    fs::path home = dir / "programm";
    fs::path src = dir / "quelle";
    fs::path out = dir / "ziel";
    std::map<fs::path, test::FileSetDigest> sources;

    void SetUp() override {
        fs::create_directories(home);
        fs::create_directories(src);
        fs::create_directories(out);
    }
    void TearDown() override {
        for (const auto& [shp, digest] : sources) EXPECT_EQ(test::tripleDigest(shp), digest) << shp;
    }
    fs::path remember(const fs::path& shp) {
        sources[shp] = test::tripleDigest(shp);
        return shp;
    }
    fs::path sample(std::string_view name = "flur") {
        samplegen::write(samplegen::sampleLayer(), src / std::string(name));
        return remember(src / (std::string(name) + ".shp"));
    }
    CommandResult plyvet(std::vector<std::string> args) {
        args.insert(args.begin(), test::binPath("plyvet").string());
        return test::runCommand(args, {{"PLYVET_HOME", home.string()}});
    }
};

TEST_F(PlyvetCommand, CorrectsTheSampleAndSaysWhereEverythingWent) {
    const fs::path shp = sample();
    const auto r = plyvet({"correct", "--output", out.string(), shp.string()});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_TRUE(fs::exists(out / "flur_x.shp"));
    EXPECT_TRUE(fs::exists(out / "flur_x.dbf"));
    EXPECT_TRUE(fs::exists(out / "flur_x.cpg"));
    EXPECT_NE(r.stdoutText.find((out / "flur_x.shp").string()), std::string::npos) << r.stdoutText;
    EXPECT_NE(r.stdoutText.find((src / "flur_k.log").string()), std::string::npos);
    EXPECT_NE(r.stdoutText.find((home / "plyvet.log").string()), std::string::npos);
    EXPECT_TRUE(fs::exists(home / "plyvet.log"));
}

TEST_F(PlyvetCommand, CopiesAFileWrittenByAnotherToolIntact) {
    if (!test::haveOgr()) GTEST_SKIP() << "gdal-bin not installed";
    const fs::path shp = src / "fremd.shp";
    test::ogrFromWkt(shp, {{"ID", "Integer"}, {"NAME", "String(30)"}, {"WERT", "Real(12.4)"}, {"DATUM", "Date"}},
                     {{"POLYGON ((0 0, 0 10, 10 10, 10 0, 0 0), (2 2, 8 2, 8 8, 2 8, 2 2))",
                       {"1", "Gärten am Fluß", "12.5", "2020-02-29"}},
                      {"MULTIPOLYGON (((20 0, 20 5, 25 5, 25 0, 20 0)), ((30 0, 30 5, 35 5, 35 0, 30 0)))",
                       {"2", "Wiese", "-0.0001", ""}},
                      {"POLYGON ((100.123456789 200.987654321, 100.5 201.5, 101.25 200.75, 100.123456789 "
                       "200.987654321))",
                       {"3", "", "", "1999-12-31"}}},
                     {.encoding = "CP1252"});
    remember(shp);
    const auto r = plyvet({"correct", "--output", out.string(), shp.string()});
    ASSERT_EQ(r.exitCode, 0) << r.stderrText;

    // GDAL reads both and must see the same features: strip the lines that name the file.
    auto features = [](const fs::path& p) {
        const std::string s = test::ogrinfoSummary(p, true);
        const auto start = s.find("OGRFeature");
        return start == std::string::npos ? std::string() : s.substr(start);
    };
    const std::string original = features(shp);
    ASSERT_FALSE(original.empty());
    std::string copy = features(out / "fremd_x.shp");
    copy = std::regex_replace(copy, std::regex("fremd_x"), "fremd");
    EXPECT_EQ(copy, original);
}

TEST_F(PlyvetCommand, UsageErrorsExitWithTwo) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{}, "plyvet correct"},
        {{"correct"}, "Keine Shapefiles angegeben."},
        {{"correct", "x.shp"}, "--output VERZ oder --in-source-folder"},
        {{"unsinn"}, "Unbekannter Befehl: unsinn"},
        {{"correct", "--output", "x", "--delete-points", "x.shp"}, "Unbekannte Option: --delete-points"},
        {{"correct", "--output", "x", "--granularity", "-1", "x.shp"}, "--granularity erwartet"},
    };
    for (const auto& c : cases) {
        const auto r = plyvet(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.stderrText.find(c.says), std::string::npos) << r.stderrText;
    }
}

TEST_F(PlyvetCommand, HelpAndVersion) {
    const auto help = plyvet({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--output", "--in-source-folder", "--overwrite", "--keep-long-names", "--use-id",
                               "--on-unsolvable", "--code-page", "--granularity", "--threshold",
                               "--sliver-tolerance", "--no-sliver-removal", "--delete-points-on-line",
                               "--only-errors", "--rename"}) {
        EXPECT_NE(help.stdoutText.find(option), std::string::npos) << option;
    }
    const auto version = plyvet({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.stdoutText.find("4.0.1.1"), std::string::npos) << version.stdoutText;
}

TEST_F(PlyvetCommand, BadInputsFailClearlyAndTheRunGoesOn) {
    const fs::path good = sample("gut");
    samplegen::write(samplegen::sampleLayer(), src / "ohnedbf");
    fs::remove(src / "ohnedbf.dbf");
    remember(src / "ohnedbf.shp");
    test::writeFile(src / "text.txt", "kein shapefile");
    const auto r = plyvet({"correct", "--output", out.string(), (src / "fehlt.shp").string(),
                           (src / "text.txt").string(), (src / "ohnedbf.shp").string(), good.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.stderrText.find("fehlt.shp"), std::string::npos) << r.stderrText;
    EXPECT_NE(r.stderrText.find("text.txt ist keine .shp-Datei"), std::string::npos) << r.stderrText;
    EXPECT_NE(r.stderrText.find("ohnedbf.shp fehlgeschlagen"), std::string::npos) << r.stderrText;
    EXPECT_NE(r.stderrText.find("ohnedbf.dbf"), std::string::npos) << "names the missing file: " << r.stderrText;
    EXPECT_TRUE(fs::exists(out / "gut_x.shp"));
    EXPECT_FALSE(fs::exists(out / "ohnedbf_x.shp"));
}

TEST_F(PlyvetCommand, MissingOutputFolderFails) {
    const fs::path shp = sample();
    const auto r = plyvet({"correct", "--output", (dir / "nirgends").string(), shp.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.stderrText.find("Ausgabe-Verzeichnis " + (dir / "nirgends").string() + " nicht vorhanden."),
              std::string::npos)
        << r.stderrText;
}

TEST_F(PlyvetCommand, ExistingOutputIsKeptUnlessOverwriteIsGiven) {
    const fs::path shp = sample();
    ASSERT_EQ(plyvet({"correct", "--output", out.string(), shp.string()}).exitCode, 0);
    test::writeFile(out / "flur_x.prj", "alt");
    const auto before = test::tripleDigest(out / "flur_x.shp");

    const auto refused = plyvet({"correct", "--output", out.string(), shp.string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.stderrText.find("flur_x bereits vorhanden"), std::string::npos) << refused.stderrText;
    EXPECT_EQ(test::tripleDigest(out / "flur_x.shp"), before);

    const auto replaced = plyvet({"correct", "--overwrite", "--output", out.string(), shp.string()});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.stderrText;
    EXPECT_FALSE(fs::exists(out / "flur_x.prj"));  // every file of the old output went
}

TEST_F(PlyvetCommand, LongNameNeedsKeepLongNames) {
    const fs::path shp = sample("langername");
    const auto refused = plyvet({"correct", "--output", out.string(), shp.string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.stderrText.find("Ausgangs-Shapefilename langername zu lang (10 Zeichen)."), std::string::npos);
    EXPECT_FALSE(fs::exists(out / "langername_x.shp"));
    const auto kept = plyvet({"correct", "--keep-long-names", "--output", out.string(), shp.string()});
    EXPECT_EQ(kept.exitCode, 0) << kept.stderrText;
    EXPECT_TRUE(fs::exists(out / "langername_x.shp"));
}

}  // namespace
}  // namespace plyvet

namespace plyvet {
namespace {

// A layer whose first field name has eleven characters: the generator writes
// "ABCDEFGHIJ", then the name's terminating byte in the .dbf header becomes 'K'.
std::filesystem::path longFieldName(const std::filesystem::path& base) {
    samplegen::Layer layer;
    layer.fields = {samplegen::integerField("ABCDEFGHIJ", 5), samplegen::integerField("ID", 5)};
    layer.records = {{samplegen::rectanglePolygon(0, 0, 1, 1), {"1", "2"}}};
    samplegen::write(layer, base);
    const auto dbf = std::filesystem::path(base.string() + ".dbf");
    std::string bytes = test::readFile(dbf);
    bytes.at(32 + 10) = 'K';
    test::writeFile(dbf, bytes);
    return std::filesystem::path(base.string() + ".shp");
}

TEST_F(PlyvetCommand, LongFieldNameNeedsARename) {
    const auto shp = remember(longFieldName(src / "lang"));
    const auto refused = plyvet({"correct", "--output", out.string(), shp.string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.stderrText.find("--rename ABCDEFGHIJK=NEU"), std::string::npos) << refused.stderrText;
    EXPECT_NE(refused.stderrText.find("Feldname ABCDEFGHIJK wurde nicht geändert."), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out / "lang_x.shp"));

    const auto renamed = plyvet({"correct", "--output", out.string(), "--rename", "abcdefghijk=KURZ", shp.string()});
    ASSERT_EQ(renamed.exitCode, 0) << renamed.stderrText;
    const auto lines = test::readLines(src / "lang_k.log");
    EXPECT_NE(std::find(lines.begin(), lines.end(), test::utf8ToCp1252("Neuer Feldname: KURZ")), lines.end());
    const auto info = test::ogrinfoSummary(out / "lang_x.shp");
    EXPECT_NE(info.find("KURZ: Integer"), std::string::npos) << info;

    const auto taken = plyvet({"correct", "--overwrite", "--output", out.string(), "--rename", "ABCDEFGHIJK=ID",
                               shp.string()});
    EXPECT_EQ(taken.exitCode, 1);
    EXPECT_NE(taken.stderrText.find("Der Feldname ID ist bereits vorhanden."), std::string::npos) << taken.stderrText;
}

// An error database that cannot be opened does not stop the run; its
// message reaches the program log as well as the screen.
TEST_F(PlyvetCommand, DatabaseThatCannotBeOpenedIsNamedInTheProgramLog) {
    struct Case {
        const char* what;
        bool folder;        // a folder stands where the file belongs, else a file that is no database
        std::string shown;  // the message, as the program log holds it (UTF-8)
    };
    const fs::path mdb = home / "Plyvet.mdb";
    const Case cases[] = {
        {"FolderInTheWay", true, "Der Datenbankname ist schon vorhanden!"},
        {"NotADatabase", false,
         "Es ist der Fehler:\r\n\"Die Datei " + mdb.string() +
             " ist keine Fehlerdatenbank von Polyvet (keine SQLite-Datenbank); sie bleibt unverändert\" aufgetreten."},
    };
    const fs::path shp = sample();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(mdb);
        if (c.folder) {
            fs::create_directory(mdb);
        } else {
            test::writeFile(mdb, "kein SQLite, nur Text");
        }
        const auto r = plyvet({"correct", "--overwrite", "--output", out.string(), shp.string()});
        EXPECT_EQ(r.exitCode, 0) << r.stderrText;
        // The terminal gets plain line feeds.
        std::string onScreen = c.shown;
        if (const auto crlf = onScreen.find("\r\n"); crlf != std::string::npos) onScreen.erase(crlf, 1);
        EXPECT_NE(r.stderrText.find(onScreen), std::string::npos) << r.stderrText;
        const std::string log = test::readFile(home / "plyvet.log");
        EXPECT_NE(log.find(test::utf8ToCp1252(c.shown + "\r\n")), std::string::npos) << test::cp1252ToUtf8(log);
        // The run's own lines follow as always.
        EXPECT_NE(log.find(test::utf8ToCp1252("Original-Shapefile: " + shp.string())), std::string::npos);
    }
}

// Field names with umlauts, end to end: the generator writes the source in
// its code page (a first field of up to 10 bytes, one more byte patched into
// its terminator where `extra` is set) beside a Boolean field "FLÄCHE", whose
// note in the check log names it.
struct UmlautNameCase {
    const char* what;
    std::string codePage;      // of the source
    std::string name;          // first field, UTF-8
    char extra;                // byte appended in the header, '\0' for none
    std::string rename;        // --rename value, empty for none
    int exitCode;
    std::string outputName;    // the first field as ogrinfo reads the output; empty: no output
    std::string said;          // part of what the program prints
};

void PrintTo(const UmlautNameCase& c, std::ostream* os) { *os << c.what; }

class UmlautFieldNames : public PlyvetCommand, public ::testing::WithParamInterface<UmlautNameCase> {};

TEST_P(UmlautFieldNames, FitTheirCodePageOrAreAskedFor) {
    const UmlautNameCase& c = GetParam();
    auto stored = [&](const std::string& utf8) {
        return c.codePage == "UTF-8" ? utf8 : test::utf8ToCp1252(utf8);
    };
    samplegen::Layer layer;
    layer.codePage = c.codePage;
    layer.fields = {samplegen::integerField(stored(c.name), 5), samplegen::booleanField(stored("FLÄCHE"))};
    layer.records = {{samplegen::rectanglePolygon(0, 0, 1, 1), {"1", "T"}}};
    samplegen::write(layer, src / "gruen");
    if (c.extra != '\0') {
        const fs::path dbf = src / "gruen.dbf";
        std::string bytes = test::readFile(dbf);
        ASSERT_NE(bytes.at(32 + 9), '\0');  // the name fills its 10 bytes
        bytes.at(32 + 10) = c.extra;
        test::writeFile(dbf, bytes);
    }
    const fs::path shp = remember(src / "gruen.shp");

    std::vector<std::string> args = {"correct", "--output", out.string()};
    if (!c.rename.empty()) args.insert(args.end(), {"--rename", c.rename});
    args.push_back(shp.string());
    const auto r = plyvet(args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.stderrText;
    EXPECT_NE((r.stdoutText + r.stderrText).find(c.said), std::string::npos) << r.stdoutText << r.stderrText;
    // The writer never gets a name it has to refuse.
    EXPECT_EQ(r.stderrText.find("konnte nicht in Shapefile geschrieben werden"), std::string::npos) << r.stderrText;
    if (c.outputName.empty()) {
        EXPECT_FALSE(fs::exists(out / "gruen_x.shp"));
        return;
    }
    if (test::haveOgr()) {
        const auto info = test::ogrinfoSummary(out / "gruen_x.shp");
        EXPECT_NE(info.find("\n" + c.outputName + ": Integer"), std::string::npos) << info;
        EXPECT_NE(info.find("\nFLÄCHE: "), std::string::npos) << info;
    }
    const auto lines = test::readLines(src / "gruen_k.log");
    const std::string note = test::utf8ToCp1252("Shapefile: gruen.shp, Feldname: FLÄCHE");
    EXPECT_NE(std::find(lines.begin(), lines.end(), note), lines.end());
}

INSTANTIATE_TEST_SUITE_P(
    Names, UmlautFieldNames,
    ::testing::Values(
        // 10 characters, 10 bytes in Windows-1252: no question.
        UmlautNameCase{"TenCharactersInWindows1252", "1252", "GRÜNFLÄCHE", '\0', "", 0, "GRÜNFLÄCHE", "korrigiert nach"},
        // 9 characters but 11 bytes in UTF-8: too long for the header.
        UmlautNameCase{"ElevenBytesInUtf8AreAskedFor", "UTF-8", "GRÜNFLÄC", 'H', "", 1, "",
                       "--rename GRÜNFLÄCH=NEU"},
        UmlautNameCase{"ElevenBytesInUtf8Renamed", "UTF-8", "GRÜNFLÄC", 'H', "GRÜNFLÄCH=GRÜN", 0, "GRÜN",
                       "korrigiert nach"},
        UmlautNameCase{"ElevenBytesInWindows1252Renamed", "1252", "GRÜNFLÄCHE", 'N', "GRÜNFLÄCHEN=GRÜN", 0, "GRÜN",
                       "korrigiert nach"},
        // A new name of 10 characters fits Windows-1252 (10 bytes), not UTF-8 (12).
        UmlautNameCase{"TenCharacterRenameIntoWindows1252", "1252", "ABCDEFGHIJ", 'K', "ABCDEFGHIJK=GRÜNLÄNDER",
                       0, "GRÜNLÄNDER", "korrigiert nach"},
        UmlautNameCase{"TenCharacterRenameIntoUtf8IsTooLong", "UTF-8", "ABCDEFGHIJ", 'K', "ABCDEFGHIJK=GRÜNLÄNDER",
                       1, "", "Feldname GRÜNLÄNDER zu lang. Bitte ändern!"},
        UmlautNameCase{"ShortRenameIntoWindows1252", "1252", "ABCDEFGHIJ", 'K', "ABCDEFGHIJK=WIESE_Ä", 0, "WIESE_Ä",
                       "korrigiert nach"},
        UmlautNameCase{"RenameOutsideWindows1252", "1252", "ABCDEFGHIJ", 'K', "ABCDEFGHIJK=ŁĄKA", 1, "",
                       "Feldname ŁĄKA enthält Zeichen, die die Attributdatei nicht speichern kann."}),
    [](const auto& p) { return std::string(p.param.what); });

TEST_F(PlyvetCommand, SampleFaultsAreRepairedAndCounted) {
    const auto shp = sample();
    const auto r = plyvet({"correct", "--output", out.string(), "--only-errors", shp.string()});
    ASSERT_EQ(r.exitCode, 0) << r.stderrText;
    std::vector<std::string> lines;
    for (const auto& l : test::readLines(src / "flur_k.log")) lines.push_back(test::cp1252ToUtf8(l));
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("1 direkt aufeinander folgende(r) identische(r) Punkt(e)."));
    EXPECT_TRUE(has("1 Polygon(e) mit teilweiser Überlappung durch 180°-Richtungswechsel auf einer Geraden."));
    // The counter-clockwise parcel and one half of the cut bow tie.
    EXPECT_TRUE(has("2 Polygon(e) mit fehlerhafter Laufrichtung."));
    EXPECT_TRUE(has("1 Polygon(e) mit Selbstüberschneidungen."));
    EXPECT_TRUE(has("Polygon mit der FID 9 ( Polygon-Part 0: schneidet sich selbst )"));
    // Every parcel reaches the output, the bow tie as two rings.
    EXPECT_NE(r.stdoutText.find("20 von 20"), std::string::npos) << r.stdoutText;
}

}  // namespace
}  // namespace plyvet
