// Whole `plyvet correct` runs over the hostile corpus of the sample
// generator: every damaged file in one run, between two sound ones, so that
// each file's outcome is seen and the run is seen to go on with the next.
// The reader's own tests look at each damage in isolation; here the run
// around it is under test: the messages, the check-log lines, the exit
// code, what lands in the output folder, and that memory stays small.

#include "reliability_fixture.h"
#include "tools/samplegen/hostile.h"

#include <gtest/gtest.h>

namespace plyvet {
namespace {

namespace fs = std::filesystem;
namespace sg = samplegen;

// What becomes of one hostile file.
struct Outcome {
    std::string name;
    bool opens;               // the file gets as far as the record loop
    int failingRecord;        // the record that cannot be taken, -1 for none
    std::string logNeedle;    // in a check-log line; empty: nothing beyond the usual
};

const std::vector<Outcome>& outcomes() {
    static const std::vector<Outcome> table = {
        {"satz_zu_lang", true, 1, "Datensatz 1: Länge im Datensatzkopf (328 Byte) widerspricht der Indexdatei (248 Byte)."},
        {"satz_zu_kurz", true, 1, "Datensatz 1 kann nicht gelesen werden (Corrupted .shp file : shape 1 : nEntitySize = 28)."},
        {"part_ausserhalb", true, 1, "Datensatz 1 kann nicht gelesen werden (Corrupted .shp file : shape 1 : panPartStart[1] = 1000, nVertices = 12)."},
        {"part_fallend", true, 1, "Datensatz 1 kann nicht gelesen werden (Corrupted .shp file : shape 1 : panPartStart[2] = 4, panPartStart[1] = 8)."},
        {"zehn_mio_parts", true, 1, "nParts=10000000"},
        {"typ_linie", true, 1, "Datensatz 1 ist kein Polygon (Shape-Typ 3)."},
        {"typ_punkt", true, 2, "Datensatz 2 ist kein Polygon (Shape-Typ 1)."},
        {"typ_kopf_z", false, -1, "Shapefile typ_kopf_z.shp ist kein Polygon-Shapefile. Vorgang wird abgebrochen."},
        {"shx_kopf_riesig", false, -1, "ExportToShape: Lesen aus Shapefile shx_kopf_riesig.shp fehlgeschlagen."},
        {"shp_kopf_riesig", true, -1, ""},
        {"nan_punkt", true, 2, "Polygon mit der FID 2 ( Fläche des Polygon-Parts 0 kann nicht festgestellt werden. )"},
        {"riesen_punkt", true, 2, "Polygon mit der FID 2 ( Fläche des Polygon-Parts 0 kann nicht festgestellt werden. )"},
        {"dbf_satz_lang", false, -1, "dBase-File dbf_satz_lang.dbf ist beschädigt: der Dateikopf nennt 3 Datensätze, die Datei enthält aber nur 2."},
        {"dbf_satz_kurz", false, -1, "ExportToShape: Lesen aus Shapefile dbf_satz_kurz.shp fehlgeschlagen."},
        {"dbf_ohne_ende", true, -1, ""},
        {"dbf_kopf_weiter", false, -1, "ExportToShape: Lesen aus Shapefile dbf_kopf_weiter.shp fehlgeschlagen."},
        {"dbf_ohne_felder", false, -1, "ExportToShape: Selektierte Datei dbf_ohne_felder_x konnte nicht in Shapefile geschrieben werden."},
        {"dbf_anzahl_riesig", false, -1, "der Dateikopf nennt 2147483647 Datensätze, die Datei enthält aber nur 3."},
    };
    return table;
}

// A run of the whole corpus stays well below this, sanitizers included: no
// header that claims huge counts may make the program allocate for them.
constexpr long kMemoryBoundKiB = 400 * 1024;

class HostileCorpus : public test::ReliabilityTest, public ::testing::WithParamInterface<bool> {
protected:
    // All cases, in table order, between the sound files "gut_a" and "gut_z".
    std::vector<std::string> writeCorpus() {
        std::vector<std::string> args;
        sg::write(sg::hostileBaseLayer(), src / "gut_a");
        args.push_back(remember(src / "gut_a.shp").string());
        for (const auto& o : outcomes()) args.push_back(remember(sg::writeHostile(o.name, src)).string());
        sg::write(sg::hostileBaseLayer(), src / "gut_z");
        args.push_back(remember(src / "gut_z.shp").string());
        return args;
    }
};

TEST(HostileCorpusTable, CoversEveryCaseOfTheGenerator) {
    std::vector<std::string> generated, tabled;
    for (const auto& c : sg::hostileCases()) generated.push_back(c.name);
    for (const auto& o : outcomes()) tabled.push_back(o.name);
    EXPECT_EQ(tabled, generated);
}

// Parameter: true for "--on-unsolvable stop", false for skipping the record.
TEST_P(HostileCorpus, EveryFileGetsItsOutcomeAndTheRunGoesOn) {
    const bool stop = GetParam();
    const std::vector<std::string> files = writeCorpus();
    std::vector<std::string> args{"correct", "--keep-long-names", "--on-unsolvable", stop ? "stop" : "skip",
                                  "--output", out.string()};
    args.insert(args.end(), files.begin(), files.end());
    const auto run = plyvet(args);
    ASSERT_FALSE(run.exit.timedOut);
    EXPECT_EQ(run.exit.signal, 0) << run.stderrText;
    EXPECT_EQ(run.exit.code, 1) << "some files fail: " << run.stderrText;
    EXPECT_LT(run.exit.maxRssKiB, kMemoryBoundKiB);
    EXPECT_TRUE(test::temporaryFiles(out).empty());
    EXPECT_TRUE(test::wholeLines(home / "plyvet.log"));

    // The list is walked from its end: the last sound file first, the first one last.
    for (const char* good : {"gut_a", "gut_z"}) {
        const fs::path shp = src / (std::string(good) + ".shp");
        EXPECT_NE(run.stdoutText.find(shp.string() + ": korrigiert nach " + (out / good).string() +
                                      "_x.shp (3 von 3 Datensätzen übernommen)"),
                  std::string::npos)
            << run.stdoutText;
    }
    EXPECT_LT(run.stdoutText.find("gut_z.shp: korrigiert"), run.stdoutText.find("gut_a.shp: korrigiert"));

    for (const auto& o : outcomes()) {
        SCOPED_TRACE(o.name);
        const fs::path shp = src / (o.name + ".shp");
        const fs::path output = out / (o.name + "_x.shp");
        EXPECT_TRUE(test::wholeLines(src / (o.name + "_k.log")));
        const auto lines = test::checkLogLines(shp);
        if (!o.logNeedle.empty()) {
            EXPECT_TRUE(test::anyLineHas(lines, o.logNeedle)) << ::testing::PrintToString(lines);
        }

        std::optional<int> records;
        EXPECT_TRUE(test::absentOrComplete(output, records));
        const bool corrected = o.opens && (o.failingRecord < 0 || !stop);
        if (!o.opens) {
            EXPECT_FALSE(records.has_value()) << "no output for a file that is not read";
        } else if (corrected) {
            const int written = o.failingRecord < 0 ? 3 : 2;
            EXPECT_EQ(records, written);
            EXPECT_NE(run.stdoutText.find(shp.string() + ": korrigiert nach " + output.string() + " (" +
                                          std::to_string(written) + " von 3 Datensätzen übernommen)"),
                      std::string::npos);
            EXPECT_TRUE(test::anyLineHas(lines, "Shapefile wurde erfolgreich nach " + output.string() + " exportiert."));
            if (o.failingRecord >= 0) {
                const std::string skipped = "Polygon mit der FID " + std::to_string(o.failingRecord);
                EXPECT_TRUE(test::anyLineHas(lines, skipped + " wurde deshalb nicht exportiert.") ||
                            test::anyLineHas(lines, skipped + " ( Betroffener Part wurde nicht exportiert )"));
            }
        } else {
            // Stopped at the failing record: what was written before stays, closed, and the log says so.
            EXPECT_EQ(records, o.failingRecord);
            EXPECT_TRUE(test::anyLineHas(lines, "Die Ausgabe " + output.string() +
                                                    " ist unvollständig, die Bearbeitung wurde abgebrochen."));
        }
        if (!corrected) {
            EXPECT_NE(run.stdoutText.find(shp.string() + ": nicht korrigiert"), std::string::npos);
        }
    }
}

std::string choiceName(const ::testing::TestParamInfo<bool>& row) { return row.param ? "Stop" : "Skip"; }

INSTANTIATE_TEST_SUITE_P(ByUnsolvableChoice, HostileCorpus, ::testing::Values(false, true), choiceName);

// Names that trip up code that builds paths from strings: a blank, umlauts
// (UTF-8 on disk, Windows-1252 in the logs) and a path of well over a
// thousand characters.
TEST_F(HostileCorpus, OddNamesAreCorrectedAndNamedRightInTheLogs) {
    fs::path deep = src;
    for (int i = 0; i < 5; ++i) deep /= std::string(220, static_cast<char>('a' + i));
    fs::create_directories(deep);
    const std::vector<fs::path> shps = {src / "a b.shp", src / "Grünfläche.shp", deep / "tief.shp"};
    ASSERT_GT(shps[2].string().size(), 1100u);
    std::vector<std::string> args{"correct", "--keep-long-names", "--output", out.string()};
    for (const auto& shp : shps) {
        sg::write(sg::hostileBaseLayer(), fs::path(shp).replace_extension());
        args.push_back(remember(shp).string());
    }
    const auto run = plyvet(args);
    EXPECT_EQ(run.exit.code, 0) << run.stderrText;
    for (const auto& shp : shps) {
        SCOPED_TRACE(shp.filename().string());
        const fs::path output = out / (shp.stem().string() + "_x.shp");
        std::optional<int> records;
        EXPECT_TRUE(test::absentOrComplete(output, records));
        EXPECT_EQ(records, 3);
        EXPECT_TRUE(test::wholeLines(fs::path(shp).replace_extension().string() + "_k.log"));
        const auto lines = test::checkLogLines(shp);
        EXPECT_TRUE(test::anyLineHas(lines, "Shapefile " + shp.string() + " :"));
        EXPECT_TRUE(test::anyLineHas(lines, "Shapefile wurde erfolgreich nach " + output.string() + " exportiert."));
    }
    const std::string programLog = test::cp1252ToUtf8(test::readFile(home / "plyvet.log"));
    EXPECT_NE(programLog.find("Original-Shapefile: " + shps[1].string()), std::string::npos);
    EXPECT_NE(programLog.find("Exportiertes Shapefile: " + (out / "Grünfläche_x").string()), std::string::npos);
}

// A .dbf without fields cannot be copied: a dBase file needs one, and the
// output gets none the source lacks. The file is refused before an output
// name is taken, so an older output of that name survives even with
// --overwrite, and the check log says why, not only that writing failed.
TEST_F(HostileCorpus, TableWithoutFieldsIsRefusedBeforeAnythingIsDeleted) {
    const fs::path shp = remember(sg::writeHostile("dbf_ohne_felder", src));
    sg::write(sg::hostileBaseLayer(), out / "dbf_ohne_felder_x");
    const fs::path older = out / "dbf_ohne_felder_x.shp";
    const test::FileSetDigest olderDigest = test::tripleDigest(older);
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "--overwrite" : "asked for a name");
        std::vector<std::string> args{"correct", "--keep-long-names", "--output", out.string()};
        if (overwrite) args.push_back("--overwrite");
        args.push_back(shp.string());
        const auto run = plyvet(args);
        EXPECT_EQ(run.exit.signal, 0) << run.stderrText;
        EXPECT_EQ(run.exit.code, 1) << run.stderrText;
        EXPECT_NE(run.stdoutText.find(shp.string() + ": nicht korrigiert"), std::string::npos) << run.stdoutText;
        const std::string why =
            "Shapefile dbf_ohne_felder.shp: Die Attributdatei dbf_ohne_felder.dbf enthält kein Feld. Eine "
            "dBase-Datei braucht mindestens eines, deshalb wird keine Ausgabe erzeugt.";
        EXPECT_NE(run.stderrText.find("konnte nicht in Shapefile geschrieben werden. ( " + why + " )"),
                  std::string::npos)
            << run.stderrText;
        const auto lines = test::checkLogLines(shp);
        EXPECT_TRUE(test::anyLineHas(lines, why)) << ::testing::PrintToString(lines);
        EXPECT_TRUE(test::anyLineHas(lines, "ExportToShape: Selektierte Datei dbf_ohne_felder_x konnte nicht in "
                                            "Shapefile geschrieben werden."));
        EXPECT_TRUE(test::wholeLines(src / "dbf_ohne_felder_k.log"));
        EXPECT_EQ(test::tripleDigest(older), olderDigest);
        EXPECT_TRUE(test::temporaryFiles(out).empty());
    }
}

}  // namespace
}  // namespace plyvet
