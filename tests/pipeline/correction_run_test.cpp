#include "pipeline/correction_run.h"

#include "pipeline/gis/shapefile.h"
#include "pipeline/text.h"
#include "scripted_ui.h"
#include "support/testsupport.h"
#include "tools/samplegen/samplegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace plyvet {
namespace {

namespace fs = std::filesystem;
namespace sg = samplegen;
using test::ScriptedUi;

bool bitEqual(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A layer with every field type, holes, several parts and Windows-1252 text.
sg::Layer mixedLayer() {
    sg::Layer layer;
    layer.codePage = "1252";
    layer.fields = {sg::integerField("ID", 9),  sg::doubleField("FLAECHE", 15, 3), sg::dateField("DATUM"),
                    sg::textField("NAME", 40), sg::booleanField("AKTIV")};
    const std::array<std::array<double, 4>, 2> boxes = {{{0, 0, 10, 10}, {20.125, 0.5, 30.75, 10.000001}}};
    layer.records = {
        {sg::rectanglePolygon(0.1, 0.2, 100.3, 50.4), {"1", "5015.123", "20240131", "Flurst\xFC" "ck", "T"}},
        {sg::squareWithHole(200, 200, 100, 10), {"17", "-0.5", std::nullopt, "Gr\xF6\xDF" "e", "F"}},
        {sg::multiRectangle(boxes), {std::nullopt, std::nullopt, "19991231", "  einger\xFC" "ckt", "?"}},
    };
    return layer;
}

class CorrectionRunTest : public ::testing::Test {
protected:
    test::TempDir dir{"plyvet-run"};
    fs::path src = dir / "quelle";
    fs::path out = dir / "ziel";
    ScriptedUi ui;
    RunSettings settings;
    RunOptions options;
    std::map<fs::path, test::FileSetDigest> sources;

    void SetUp() override {
        fs::create_directories(src);
        fs::create_directories(out);
        settings.settingsConfirmed = true;
        options.outputFolder = out.string();
    }
    // Every source written through `source()` must be bit for bit the same after the test.
    void TearDown() override {
        for (const auto& [shp, digest] : sources) EXPECT_EQ(test::tripleDigest(shp), digest) << shp;
    }

    fs::path source(const sg::Layer& layer, std::string_view name = "flur") {
        const fs::path base = src / std::string(name);
        sg::write(layer, base);
        const fs::path shp = fs::path(base.string() + ".shp");
        sources[shp] = test::tripleDigest(shp);
        return shp;
    }
    LogFile programLog() {
        LogFile log(dir / "plyvet.log");
        EXPECT_TRUE(log.create());
        return log;
    }
    bool correct(const fs::path& shp) {
        CorrectionRun run(ui, settings, options, programLog());
        return run.correctShapeFile(shp.string());
    }
    std::vector<std::string> checkLog(const fs::path& shp) {
        const std::string s = shp.string();
        return test::readLines(s.substr(0, s.size() - 4) + "_k.log");
    }
    static std::vector<std::string> utf8(const std::vector<std::string>& lines) {
        std::vector<std::string> out;
        for (const auto& l : lines) out.push_back(test::cp1252ToUtf8(l));
        return out;
    }
};

TEST_F(CorrectionRunTest, CopiesEveryVertexAndAttributeExactly) {
    const sg::Layer layer = mixedLayer();
    test::writeFile(src / "flur.prj", "PROJCS[\"Test\"]");
    const fs::path shp = source(layer);
    options.onlyErrorObjects = true;  // a layer without faults then has no object lines
    ASSERT_TRUE(correct(shp));

    gis::ShapefileReader in(shp);
    gis::ShapefileReader copy(out / "flur_x.shp");
    EXPECT_EQ(copy.shapeType(), gis::kShapeTypePolygon);
    EXPECT_EQ(copy.codePage(), "1252");
    EXPECT_EQ(copy.fields(), in.fields());
    ASSERT_EQ(copy.recordCount(), in.recordCount());
    for (int r = 0; r < in.recordCount(); ++r) {
        const auto a = in.polygon(r);
        const auto b = copy.polygon(r);
        ASSERT_TRUE(a && b);
        ASSERT_EQ(a->parts.size(), b->parts.size());
        for (std::size_t p = 0; p < a->parts.size(); ++p) {
            ASSERT_EQ(a->parts[p].size(), b->parts[p].size());
            for (std::size_t k = 0; k < a->parts[p].size(); ++k) {
                EXPECT_TRUE(bitEqual(a->parts[p][k].x, b->parts[p][k].x));
                EXPECT_TRUE(bitEqual(a->parts[p][k].y, b->parts[p][k].y));
            }
        }
        for (int f = 0; f < static_cast<int>(in.fields().size()); ++f) {
            EXPECT_EQ(copy.rawValue(r, f), in.rawValue(r, f)) << "record " << r << " field " << f;
        }
    }
    EXPECT_EQ(test::readFile(out / "flur_x.prj"), "PROJCS[\"Test\"]");

    // The whole check log of a file without findings.
    const std::string folder = src.string() + "/";
    std::vector<std::string> expected = {"Shapefile " + folder + "flur.shp :", "Anzahl Shapes (Soll): 3",
                                         "Anzahl Shapes (Ist): 3", "Anzahl Datensätze in dbf-File: 3"};
    for (const auto& line : settingsBlock(options, settings)) expected.push_back(line);
    expected.push_back("Shapefile: flur.shp, Feldname: AKTIV");
    expected.push_back(", Feldtyp: Boolean , wird unter MapObjects 2.0 grundsätzlich als 'false' exportiert.");
    expected.push_back("Dieser Fehler wird mit der neuen MapObjects-Version (bzw. Vistrel-Version) behoben.");
    expected.push_back("Shapefile " + folder + "flur.shp:");
    for (const auto& line : ActionCounters().summaryLines(false)) expected.push_back(line);
    expected.push_back("Shapefile wurde erfolgreich nach " + out.string() + "/flur_x.shp exportiert.");
    EXPECT_EQ(utf8(checkLog(shp)), expected);
    EXPECT_EQ(ui.progressMaximum, 3);
    EXPECT_EQ(ui.pumps, 3);
}

TEST_F(CorrectionRunTest, ProgramLogNamesSourceOutputAndCheckLog) {
    const fs::path shp = source(mixedLayer());
    CorrectionRun run(ui, settings, options, programLog());
    std::vector<std::string> list = {shp.string()};
    run.run(list);
    EXPECT_TRUE(list.empty());
    const auto lines = utf8(test::readLines(dir / "plyvet.log"));
    const std::vector<std::string> expected = {
        std::string(58, '*'),
        "Original-Shapefile: " + shp.string(),
        "Exportiertes Shapefile: " + out.string() + "/flur_x",
        "Ergebnis der Überprüfung: " + (src / "flur_k.log").string(),
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(ui.statuses.back(), "Korrektur Shapefile(s) erfolgreich beendet.");
}

TEST_F(CorrectionRunTest, ListRunsFromLastToFirstAndKeepsMissingEntries) {
    const fs::path a = source(mixedLayer(), "a");
    const fs::path b = source(mixedLayer(), "b");
    CorrectionRun run(ui, settings, options, programLog());
    std::vector<std::string> list = {a.string(), (src / "fehlt.shp").string(), "", b.string()};
    run.run(list);
    EXPECT_EQ(list, (std::vector<std::string>{(src / "fehlt.shp").string(), ""}));
    ASSERT_EQ(run.results().size(), 2u);
    EXPECT_EQ(run.results()[0].source, b.string());
    EXPECT_EQ(run.results()[1].source, a.string());
    EXPECT_TRUE(run.results()[0].corrected && run.results()[1].corrected);
}

TEST_F(CorrectionRunTest, EmptyListOnlySetsTheStatus) {
    CorrectionRun run(ui, settings, options, programLog());
    std::vector<std::string> list;
    run.run(list);
    EXPECT_EQ(ui.statuses.back(), "Liste enthält keine Pfade.");
    EXPECT_TRUE(run.results().empty());
}

TEST_F(CorrectionRunTest, LongBaseNameAskedAndRefusalStopsTheRun) {
    const fs::path eight = source(mixedLayer(), "abcdefgh");
    const fs::path nine = source(mixedLayer(), "abcdefghi");
    CorrectionRun run(ui, settings, options, programLog());
    std::vector<std::string> list = {eight.string(), nine.string()};
    ui.answers = {Answer::No};
    run.run(list);
    // The nine-character name came first (last entry) and was refused: the run stopped there.
    EXPECT_EQ(list, (std::vector<std::string>{eight.string(), nine.string()}));
    EXPECT_FALSE(settings.continueRun);
    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_EQ(ui.asked[0].message.title, "Dateinamen-Überprüfung");
    EXPECT_EQ(ui.asked[0].message.buttons, Buttons::YesNo);
    EXPECT_EQ(ui.asked[0].message.text,
              "Ausgangs-Shapefilename abcdefghi zu lang (9 Zeichen).\r\nEmpfohlen werden höchstens 8 Zeichen!\r\n"
              "Dateinamen trotzdem beibehalten und Programm fortführen?");
    EXPECT_EQ(utf8(checkLog(nine)),
              (std::vector<std::string>{"Shapefile-Name abcdefghi zu lang (9 Zeichen).",
                                        "Es wird eine Länge von höchstens 8 Zeichen empfohlen. Bitte vor erneutem "
                                        "Aufruf des Programms ändern."}));
    EXPECT_FALSE(fs::exists(out / "abcdefghi_x.shp"));
}

// A refusal stops the run it happens in, not every later one: the next run
// goes on past a file that fails for another reason (no .dbf).
TEST_F(CorrectionRunTest, RefusalInOneRunDoesNotStopTheNext) {
    const fs::path nine = source(mixedLayer(), "abcdefghi");
    const fs::path good = source(mixedLayer(), "gut");
    sg::write(mixedLayer(), src / "ohnedbf");
    fs::remove(src / "ohnedbf.dbf");
    CorrectionRun run(ui, settings, options, programLog());
    std::vector<std::string> first = {nine.string()};
    ui.answers = {Answer::No};
    run.run(first);
    ASSERT_FALSE(settings.continueRun);
    std::vector<std::string> second = {good.string(), (src / "ohnedbf.shp").string()};
    run.run(second);
    EXPECT_TRUE(fs::exists(out / "gut_x.shp"));
    EXPECT_EQ(second, std::vector<std::string>{});
    ASSERT_EQ(run.results().size(), 3u);
    EXPECT_FALSE(run.results()[1].corrected);
    EXPECT_TRUE(run.results()[2].corrected);
}

TEST_F(CorrectionRunTest, LongBaseNameAcceptedOrIgnored) {
    const fs::path nine = source(mixedLayer(), "abcdefghi");
    ui.answers = {Answer::Yes};
    EXPECT_TRUE(correct(nine));
    settings.ignoreLongFileNames = true;
    settings.overwriteExistingShapeFiles = true;
    const std::size_t asked = ui.asked.size();
    EXPECT_TRUE(correct(nine));
    EXPECT_EQ(ui.asked.size(), asked);  // no second question
}

TEST_F(CorrectionRunTest, SettingsDialogBeforeTheFirstFileOnly) {
    const fs::path shp = source(mixedLayer());
    settings.settingsConfirmed = false;
    ui.settingsAnswers = {false};
    EXPECT_FALSE(correct(shp));
    EXPECT_TRUE(settings.settingsConfirmed);
    EXPECT_FALSE(settings.continueRun);
    EXPECT_FALSE(fs::exists(out / "flur_x.shp"));
    EXPECT_TRUE(correct(shp));  // not asked again
    EXPECT_EQ(std::count_if(ui.asked.begin(), ui.asked.end(), [](const auto& a) { return a.kind == "settings"; }),
              1);
}

TEST_F(CorrectionRunTest, OutputFolderRules) {
    const fs::path shp = source(mixedLayer());
    struct Case {
        std::string text;
        bool inSource;
        std::deque<std::string> chosen;
        bool ok;
        std::string message;
    };
    const std::vector<Case> cases = {
        {(dir / "nirgends").string(), false, {}, false,
         "Ausgabe-Verzeichnis " + (dir / "nirgends").string() + " nicht vorhanden."},
        {"", false, {}, false, "Ziel-Verzeichnis für korrigierte Shapefiles wurde nicht ausgewählt."},
        {"", false, {out.string()}, true, ""},
        {(dir / "nirgends").string(), true, {}, true, ""},  // the source folder wins
    };
    for (const auto& c : cases) {
        ui = ScriptedUi();
        ui.folders = c.chosen;
        options.outputFolder = c.text;
        settings.putResultInSourceFolder = c.inSource;
        settings.overwriteExistingShapeFiles = true;
        EXPECT_EQ(correct(shp), c.ok) << c.text;
        if (!c.message.empty()) {
            ASSERT_FALSE(ui.messageTexts().empty());
            EXPECT_EQ(ui.messageTexts().back(), c.message);
        }
    }
    EXPECT_TRUE(fs::exists(src / "flur_x.shp"));
    EXPECT_TRUE(fs::exists(out / "flur_x.shp"));
}

TEST_F(CorrectionRunTest, OutputFolderThatIsAFileIsAConnectionError) {
    const fs::path shp = source(mixedLayer());
    test::writeFile(dir / "datei", "x");
    options.outputFolder = (dir / "datei").string();
    EXPECT_FALSE(correct(shp));
    ASSERT_FALSE(ui.messageTexts().empty());
    // A path that is not a folder fails before the connection.
    EXPECT_EQ(ui.messageTexts().back(), "Ausgabe-Verzeichnis " + (dir / "datei").string() + " nicht vorhanden.");
}

TEST_F(CorrectionRunTest, UnreadableSourcesStopTheFileWithTheirCause) {
    struct Case {
        const char* what;
        std::vector<const char*> remove;  // endings deleted from the source
        const char* garbage;              // written over the .shp when set
    };
    const Case cases[] = {
        {"missing dbf", {".dbf"}, nullptr},
        {"missing shx", {".shx"}, nullptr},
        {"garbage shp", {}, "this is no shapefile at all, just text of some length ......................"},
        {"truncated shp", {}, "\x00\x00\x27\x0a"},
    };
    for (const auto& c : cases) {
        test::TempDir own;
        const fs::path base = own / "kaputt";
        sg::write(mixedLayer(), base);
        for (const char* ext : c.remove) fs::remove(base.string() + ext);
        if (c.garbage) test::writeFile(base.string() + ".shp", c.garbage);
        ui = ScriptedUi();
        EXPECT_FALSE(correct(base.string() + ".shp")) << c.what;
        ASSERT_FALSE(ui.messageTexts().empty()) << c.what;
        const std::string msg = ui.messageTexts().back();
        EXPECT_EQ(msg.rfind("ExportToShape: Lesen aus Shapefile kaputt.shp fehlgeschlagen. ( ", 0), 0u)
            << c.what << ": " << msg;
        EXPECT_NE(msg.find((own / "kaputt").string()), std::string::npos) << c.what << ": names the file: " << msg;
        EXPECT_FALSE(fs::exists(out / "kaputt_x.shp")) << c.what;
    }
}

TEST_F(CorrectionRunTest, NullShapeSkippedOrStopsByChoice) {
    sg::Layer layer = mixedLayer();
    layer.records[1].shape = std::nullopt;
    const fs::path shp = source(layer);

    options.onUnsolvable = OnUnsolvable::SkipShape;
    ASSERT_TRUE(correct(shp));
    EXPECT_EQ(gis::ShapefileReader(out / "flur_x.shp").recordCount(), 2);
    auto lines = utf8(checkLog(shp));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Polygon mit der FID 1 ( Shape weist Nullwert auf )"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Polygon mit der FID 1 wurde deshalb nicht exportiert."),
              lines.end());

    options.onUnsolvable = OnUnsolvable::StopFile;
    settings.overwriteExistingShapeFiles = true;
    EXPECT_FALSE(correct(shp));
    lines = utf8(checkLog(shp));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Programm wurde deshalb abgebrochen."), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "Polygon mit der FID 1 wurde deshalb nicht exportiert."),
              lines.end());
    // The stopped file keeps what it wrote before the stop, as a readable
    // triple, and the log says it is not complete.
    EXPECT_EQ(lines.back(), "Die Ausgabe " + (out / "flur_x.shp").string() +
                                " ist unvollständig, die Bearbeitung wurde abgebrochen.");
    EXPECT_EQ(gis::ShapefileReader(out / "flur_x.shp").recordCount(), 1);
    for (const auto& entry : fs::directory_iterator(out)) {
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

TEST_F(CorrectionRunTest, IdFieldLabelsTheObjectLines) {
    sg::Layer layer = mixedLayer();
    layer.records[0].values[2] = "20230229";  // not a date
    const fs::path shp = source(layer);
    options.useId = true;
    ASSERT_TRUE(correct(shp));
    const auto lines = utf8(checkLog(shp));
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Polygon mit der ID 1 ( Feld DATUM weist ein ungültiges Datum auf (20230229) und wird "
                        "zurückgesetzt )"),
              lines.end());
    gis::ShapefileReader copy(out / "flur_x.shp");
    EXPECT_EQ(copy.rawValue(0, 2), "        ");
}

TEST_F(CorrectionRunTest, ValueThatCannotBeConvertedSkipsTheRecord) {
    sg::Layer layer;
    layer.fields = {sg::integerField("ID", 5), sg::integerField("NR", 5)};
    layer.records = {{sg::rectanglePolygon(0, 0, 1, 1), {"1", "12x"}},
                     {sg::rectanglePolygon(2, 0, 3, 1), {"2", "7"}}};
    const fs::path shp = source(layer);
    options.onlyErrorObjects = true;
    ASSERT_TRUE(correct(shp));
    gis::ShapefileReader copy(out / "flur_x.shp");
    ASSERT_EQ(copy.recordCount(), 1);
    EXPECT_EQ(std::string(text::trim(copy.rawValue(0, 0))), "2");
    const auto lines = utf8(checkLog(shp));
    std::vector<std::string> objectLines;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(objectLines),
                 [](const std::string& l) { return l.rfind("Polygon mit der ", 0) == 0; });
    EXPECT_EQ(objectLines, (std::vector<std::string>{"Polygon mit der FID 0 ( Wert 12x kann nicht konvertiert werden )",
                                                     "Polygon mit der FID 0 wurde deshalb nicht exportiert."}));
}

TEST_F(CorrectionRunTest, NonPolygonFileIsRefused) {
    if (!test::haveOgr()) GTEST_SKIP() << "gdal-bin not installed";
    test::TempDir own;
    const fs::path shp = own / "punkte.shp";
    test::writeFile(own / "punkte.csv", "WKT,ID\n\"POINT (1 2)\",1\n");
    const auto r = test::runCommand({"ogr2ogr", "-f", "ESRI Shapefile", shp.string(), (own / "punkte.csv").string(),
                                     "-oo", "GEOM_POSSIBLE_NAMES=WKT", "-oo", "KEEP_GEOM_COLUMNS=NO"});
    ASSERT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_FALSE(correct(shp));
    const auto lines = utf8(checkLog(shp));
    EXPECT_EQ(lines.back(), "Shapefile punkte.shp ist kein Polygon-Shapefile. Vorgang wird abgebrochen.");
    EXPECT_FALSE(fs::exists(out / "punkte_x.shp"));
}

TEST_F(CorrectionRunTest, ExistingOutputWithoutOverwriteAndNoAnswerStopsTheRun) {
    const fs::path shp = source(mixedLayer());
    ASSERT_TRUE(correct(shp));
    const auto before = test::tripleDigest(out / "flur_x.shp");
    EXPECT_FALSE(correct(shp));
    EXPECT_FALSE(settings.continueRun);
    EXPECT_EQ(test::tripleDigest(out / "flur_x.shp"), before);
}

}  // namespace
}  // namespace plyvet

namespace plyvet {
namespace {

// The cleaners inside the run: findings become object lines and counters.
class CleaningRunTest : public CorrectionRunTest {
protected:
    std::vector<std::string> runOn(std::vector<sg::Record> records) {
        sg::Layer layer;
        layer.fields = {sg::integerField("ID", 5)};
        layer.records = std::move(records);
        const fs::path shp = source(layer, "fehler");
        options.onlyErrorObjects = true;
        settings.overwriteExistingShapeFiles = true;
        ok = correct(shp);
        return utf8(checkLog(shp));
    }
    static bool has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    gis::ShapefileReader output() { return gis::ShapefileReader(out / "fehler_x.shp"); }
    bool ok = false;
};

TEST_F(CleaningRunTest, FindingsAreLoggedCountedAndSummarised) {
    const auto lines = runOn({{sg::repeatedVertex(0, 0, 10, 10), {"1"}},
                              {sg::wrongOrientation(20, 0, 30, 10), {"2"}},
                              {sg::rectanglePolygon(40, 0, 50, 10), {"3"}}});
    ASSERT_TRUE(ok);
    EXPECT_TRUE(has(lines, "Polygon mit der FID 0 ( Polygon-Part 0: direkt aufeinanderfolgende identische Stützpunkte )"));
    EXPECT_TRUE(has(lines, "Polygon mit der FID 1 ( Laufrichtungskorrektur bei Part 0: jetzt positiv )"));
    EXPECT_TRUE(has(lines, "1 direkt aufeinander folgende(r) identische(r) Punkt(e)."));
    EXPECT_TRUE(has(lines, "1 Polygon(e) mit fehlerhafter Laufrichtung."));
    EXPECT_TRUE(has(lines, "Keine Polygone mit Selbstüberschneidungen."));
    // The clean rectangle has no object line at all with the filter on.
    for (const auto& l : lines) EXPECT_EQ(l.rfind("Polygon mit der FID 2", 0), std::string::npos) << l;
    auto copy = output();
    ASSERT_EQ(copy.recordCount(), 3);
    EXPECT_EQ(copy.polygon(0)->parts.at(0).size(), 4u);  // the repeated vertex is gone
    EXPECT_GT(gis::ringArea(copy.polygon(1)->parts.at(0)), 0.0);  // turned clockwise
}

TEST_F(CleaningRunTest, BowTieIsCutIntoTwoClockwiseRings) {
    const auto lines = runOn({{sg::bowTie(0, 0, 10, 10), {"1"}}});
    ASSERT_TRUE(ok);
    EXPECT_TRUE(has(lines, "Polygon mit der FID 0 ( Polygon-Part 0: schneidet sich selbst )"));
    EXPECT_TRUE(has(lines, "1 Polygon(e) mit Selbstüberschneidungen."));
    auto copy = output();
    ASSERT_EQ(copy.recordCount(), 1);
    const auto shape = copy.polygon(0);
    ASSERT_TRUE(shape);
    ASSERT_EQ(shape->parts.size(), 2u);
    for (const auto& ring : shape->parts) EXPECT_GT(gis::ringArea(ring), 0.0);
    EXPECT_DOUBLE_EQ(gis::area(*shape), 50.0);
}

TEST_F(CleaningRunTest, OverlappingPartsSkipOrStopByChoice) {
    const std::array<std::array<double, 4>, 2> boxes = {{{0, 0, 10, 10}, {5, 5, 15, 15}}};
    auto lines = runOn({{sg::multiRectangle(boxes), {"1"}}, {sg::rectanglePolygon(40, 0, 50, 10), {"2"}}});
    ASSERT_TRUE(ok);
    EXPECT_TRUE(has(lines, "Polygon mit der FID 0 ( Die Polygon-Parts 0 und 1 überlagern sich. )"));
    EXPECT_TRUE(has(lines,
                    "Polygon mit der FID 0 ( wurde wegen linienhafter Überlagerung von 2 Parts nicht exportiert )"));
    EXPECT_EQ(output().recordCount(), 1);

    options.onUnsolvable = OnUnsolvable::StopFile;
    lines = runOn({{sg::multiRectangle(boxes), {"1"}}, {sg::rectanglePolygon(40, 0, 50, 10), {"2"}}});
    EXPECT_FALSE(ok);
    EXPECT_TRUE(
        has(lines, "Polygon mit der FID 0 ( Programm wurde wegen Überlagerung von 2 Parts abgebrochen )"));
}

TEST_F(CleaningRunTest, PartWithTooFewPointsIsRemovedAndThePolygonWritten) {
    gis::Polygon polygon = sg::rectanglePolygon(0, 0, 10, 10);
    polygon.parts.push_back({{20.1234, 20.5678}, {21, 21}});
    const auto lines = runOn({{polygon, {"1"}}});
    ASSERT_TRUE(ok);
    EXPECT_TRUE(has(lines, "Polygon mit der FID 0 ( Polygon-Part 1 weist weniger als 3 Punkte auf und wird deshalb "
                           "nicht exportiert )"));
    EXPECT_TRUE(has(lines, "Polygon mit der FID 0 ( Such-Koordinaten X: 20.123 Y: 20.568 )"));
    auto copy = output();
    ASSERT_EQ(copy.recordCount(), 1);
    EXPECT_EQ(copy.polygon(0)->parts.size(), 1u);
}

TEST_F(CleaningRunTest, InvalidParameterTextStopsBeforeAnyOutput) {
    options.granularity = "x";
    const auto shp = source(mixedLayer(), "param");
    EXPECT_FALSE(correct(shp));
    ASSERT_FALSE(ui.messageTexts().empty());
    EXPECT_EQ(ui.messageTexts().back(), "Die Prüfgenauigkeit x ist keine Anzahl von Dezimalstellen.");
    EXPECT_FALSE(fs::exists(out / "param_x.shp"));
}

}  // namespace
}  // namespace plyvet

namespace plyvet {
namespace {

struct RecordingObserver : RunObserver {
    std::vector<std::string> events;
    std::vector<RecordReport> records;
    void fileStarted(const std::string& source) override { events.push_back("start " + source); }
    void record(const RecordReport& r) override { records.push_back(r); }
    void fileFinished(const FileResult& r, const ActionCounters& c) override {
        events.push_back("end " + std::to_string(r.recordsWritten) + "/" + std::to_string(r.recordsRead) + " " +
                         std::to_string(c.count(Finding::SelfIntersection)));
    }
};

TEST_F(CleaningRunTest, ObserverSeesChangedAndDroppedPolygonsOnly) {
    RecordingObserver observer;
    sg::Layer layer;
    layer.fields = {sg::integerField("ID", 5)};
    layer.records = {{sg::rectanglePolygon(0, 0, 10, 10), {"1"}},
                     {sg::bowTie(20, 0, 30, 10), {"2"}},
                     {std::nullopt, {"3"}},
                     {sg::repeatedVertex(40, 0, 50, 10), {"4"}}};
    const fs::path shp = source(layer, "beob");
    options.onlyErrorObjects = true;
    CorrectionRun run(ui, settings, options, programLog());
    run.setObserver(&observer);
    ASSERT_TRUE(run.correctShapeFile(shp.string()));

    EXPECT_EQ(observer.events, (std::vector<std::string>{"start " + shp.string(), "end 3/4 1"}));
    ASSERT_EQ(observer.records.size(), 3u);
    const auto& bow = observer.records[0];
    EXPECT_EQ(bow.record, 1);
    EXPECT_EQ(bow.labelName, "FID");
    EXPECT_EQ(bow.labelValue, "1");
    ASSERT_TRUE(bow.before && bow.after);
    EXPECT_EQ(bow.before->parts.size(), 1u);
    EXPECT_EQ(bow.after->parts.size(), 2u);
    // Its lines are exactly the check log's lines about it, the cleaners' own included.
    const auto lines = utf8(checkLog(shp));
    std::vector<std::string> logged;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(logged),
                 [](const std::string& l) { return l.rfind("Polygon mit der FID 1 ", 0) == 0; });
    EXPECT_EQ(bow.lines, logged);  // both UTF-8
    EXPECT_NE(std::find(bow.lines.begin(), bow.lines.end(),
                        "Polygon mit der FID 1 ( Polygon-Part 0: Ausgangs-Teilfläche: 25 )"),
              bow.lines.end());

    const auto& dropped = observer.records[1];
    EXPECT_EQ(dropped.record, 2);
    EXPECT_FALSE(dropped.before);
    EXPECT_FALSE(dropped.after);
    EXPECT_EQ(dropped.lines.back(), "Polygon mit der FID 2 wurde deshalb nicht exportiert.");

    EXPECT_EQ(observer.records[2].record, 3);
    EXPECT_EQ(observer.records[2].after->parts.at(0).size(), 4u);
}

}  // namespace
}  // namespace plyvet
