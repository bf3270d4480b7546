#include "layerops/merge_layers.h"

#include "layer_fixture.h"

namespace plyvet::layerops {
namespace {

namespace fs = std::filesystem;
using test::LayerTest;
namespace sg = samplegen;

class MergeLayersTest : public LayerTest {
protected:
    fs::path target = out / "gesamt.shp";

    MergeResult merge(const std::vector<fs::path>& inputs) {
        std::vector<std::string> list;
        for (const auto& p : inputs) list.push_back(p.string());
        MergeLayers command(ui, options, programLog());
        command.run(list);
        return command.result();
    }
    std::vector<std::string> mergeLog() const { return logLines(target, "_m.log"); }
    static sg::Layer parcels(int first, int count, std::vector<gis::FieldDef> fields = {}) {
        std::vector<std::optional<gis::Polygon>> polygons;
        for (int i = 0; i < count; ++i) polygons.push_back(sg::rectanglePolygon(first + i, 0, first + i + 1, 1));
        sg::Layer layer = fields.empty() ? layerOf(polygons) : layerOf(polygons, std::move(fields));
        for (int i = 0; i < count; ++i) layer.records[i].values[0] = std::to_string(first + i);
        return layer;
    }
};

TEST_F(MergeLayersTest, CopiesEveryRecordInListOrder) {
    const fs::path a = source(parcels(10, 3), "a_x", true);
    const fs::path b = source(parcels(20, 2), "b_x", true);
    ui.saveFiles = {target.string()};
    const MergeResult result = merge({a, b});
    ASSERT_TRUE(result.merged);
    EXPECT_EQ(result.records, 5);

    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_EQ(ui.asked[0].kind, "save");
    EXPECT_EQ(ui.asked[0].message.text, "Gemergte Shapefiles speichern unter ...");
    EXPECT_EQ(column(target), (std::vector<std::string>{"10", "11", "12", "20", "21"}));
    EXPECT_EQ(column(target, 1), (std::vector<std::string>{"Nr 1", "Nr 2", "Nr 3", "Nr 1", "Nr 2"}));
    const gis::ShapefileReader reader(target);
    EXPECT_EQ(*reader.polygon(3), sg::rectanglePolygon(20, 0, 21, 1));
    EXPECT_EQ(reader.fields(), gis::ShapefileReader(a).fields());
    EXPECT_TRUE(fs::exists(out / "gesamt.prj"));
    EXPECT_FALSE(fs::exists(out / "gesamt.tmp.shp"));

    const std::string sa = src.string() + "/a_x";
    const std::string sb = src.string() + "/b_x";
    EXPECT_EQ(mergeLog(), (std::vector<std::string>{"Original-Shapefiles:", a.string(), b.string(), "Shapefile " + sa,
                                                    "", "Shapefile " + sb, "", "Shapefiles wurden erfolgreich gemerget.",
                                                    "Shapefiles wurden erfolgreich gemerget unter " + target.string() +
                                                        "."}));
    const auto program = logLines(dir / "plyvet.shp", ".log");
    EXPECT_TRUE(contains(program, "Ausgabe-Shapefile: " + target.string()));
    EXPECT_TRUE(contains(program, "Merge-Protokoll: " + (out / "gesamt_m.log").string()));
    EXPECT_EQ(ui.statuses.back(), "Shapefiles wurden erfolgreich gemerget.");
    if (test::haveOgr()) {
        const std::string info = test::ogrinfoSummary(target);
        EXPECT_NE(info.find("Feature Count: 5"), std::string::npos) << info;
    }
}

TEST_F(MergeLayersTest, DifferentStructuresAreRefusedWithBothNames) {
    const std::vector<gis::FieldDef> base = {sg::integerField("ID", 9), sg::textField("NAME", 20)};
    struct Case {
        const char* what;
        std::vector<gis::FieldDef> fields;
        std::string codePage;
        std::string text;  // after "<b>,<a>: "
    };
    const Case cases[] = {
        {"text length", {sg::integerField("ID", 9), sg::textField("NAME", 25)}, "1252",
         "Feldlänge der Felder NAME und NAME unterschiedlich."},
        {"field count", {sg::integerField("ID", 9), sg::textField("NAME", 20), sg::textField("ORT", 5)}, "1252",
         "Unterschiedliche Anzahl von Feldern zwischen den Shapefiles b_x (3) und a_x (2)"},
        {"field type", {sg::textField("ID", 9), sg::textField("NAME", 20)}, "1252",
         "Feldtypen der Felder ID und ID unterschiedlich."},
        {"decimals", {sg::doubleField("ID", 9, 2), sg::textField("NAME", 20)}, "1252",
         "Feldtypen der Felder ID und ID unterschiedlich."},
        {"code page", base, "UTF-8", "Unterschiedliche Codepages zwischen den Shapefiles b_x und a_x"},
        {"field name", {sg::integerField("NR", 9), sg::textField("NAME", 20)}, "1252",
         "Feldname NR nicht vorhanden im Shapefile a_x."},
    };
    const fs::path a = source(parcels(1, 2, base), "a_x", true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sg::Layer other = parcels(5, 2, c.fields);
        other.codePage = c.codePage;
        for (auto& r : other.records) r.values[0] = "5";
        const fs::path b = source(other, "b_x", true);
        ui.asked.clear();
        ui.saveFiles = {target.string()};
        EXPECT_FALSE(merge({a, b}).merged);
        const std::string expected = src.string() + "/b_x," + src.string() + "/a_x: " + c.text;
        EXPECT_EQ(ui.messageTexts(), (std::vector<std::string>{expected}));
        EXPECT_EQ(mergeLog().back(), expected);
    }
}

TEST_F(MergeLayersTest, ScaleAndPrecisionAreCompared) {
    const fs::path a = source(parcels(1, 1, {sg::doubleField("WERT", 12, 3)}), "a_x", true);
    const fs::path b = source(parcels(2, 1, {sg::doubleField("WERT", 12, 2)}), "b_x", true);
    ui.saveFiles = {target.string()};
    EXPECT_FALSE(merge({a, b}).merged);
    EXPECT_EQ(ui.messageTexts().back(), src.string() + "/b_x," + src.string() +
                                            "/a_x: Dezimalstellen der Felder WERT und WERT unterschiedlich.");
}

TEST_F(MergeLayersTest, InputWithoutProjectionStopsBeforeAnythingIsWritten) {
    const fs::path a = source(parcels(1, 2), "a_x", true);
    const fs::path b = source(parcels(5, 2), "b_x", false);
    ui.saveFiles = {target.string()};
    EXPECT_FALSE(merge({a, b}).merged);
    ASSERT_EQ(ui.asked.size(), 1u);  // no save dialog
    EXPECT_EQ(ui.asked[0].message.text, "Layer b_x: Fehlender räumlicher Bezug. Dies kann zu unerwarteten Ergebnissen "
                                        "führen.\r\nBitte erzeugen Sie vor dem Mergevorgang eine Projektionsdatei "
                                        "(b_x.prj).");
    EXPECT_EQ(ui.asked[0].message.title, "Warnung");
    EXPECT_EQ(ui.asked[0].message.icon, Icon::Critical);
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(MergeLayersTest, ListRulesBeforeTheSaveDialog) {
    const fs::path a = source(parcels(1, 2), "a_x", true);
    const fs::path raw = source(parcels(5, 2), "b", true);

    EXPECT_FALSE(merge({a}).merged);
    EXPECT_EQ(ui.statuses.back(),
              "Es wurde nur ein Shapefile ausgewählt. Für den Mergevorgang sind mindestens 2 Shapefiles nötig.");
    EXPECT_FALSE(merge({}).merged);
    EXPECT_EQ(ui.statuses.back(), "Liste enthält keine Pfade.");
    EXPECT_TRUE(ui.asked.empty());

    ui.answers = {Answer::No};
    EXPECT_FALSE(merge({a, raw}).merged);
    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_EQ(ui.asked[0].message.text, "Shapefile b.shp endet nicht mit 'x' und wurde vermutlich noch nicht "
                                        "korrigiert. Wollen Sie trotzdem den Mergevorgang fortsetzen?");
    EXPECT_EQ(ui.asked[0].message.title, "Merge Layers");
    EXPECT_EQ(ui.asked[0].message.defaultButton, Answer::No);

    // Cancelling the save dialog: no merge log, nothing written.
    ui.asked.clear();
    ui.answers = {Answer::Yes};
    EXPECT_FALSE(merge({a, raw}).merged);
    EXPECT_EQ(ui.asked.back().kind, "save");
    EXPECT_TRUE(fs::is_empty(out));

    // A name typed without its extension becomes a shapefile.
    ui.answers = {Answer::Yes};
    ui.saveFiles = {(out / "ohne").string()};
    EXPECT_TRUE(merge({a, raw}).merged);
    EXPECT_TRUE(fs::exists(out / "ohne.shp"));
    EXPECT_TRUE(fs::exists(out / "ohne_m.log"));
}

TEST_F(MergeLayersTest, OutputThatIsAnInputIsRefused) {
    const fs::path a = source(parcels(1, 2), "a_x", true);
    const fs::path b = source(parcels(5, 2), "b_x", true);
    ui.saveFiles = {b.string()};
    EXPECT_FALSE(merge({a, b}).merged);
    EXPECT_EQ(ui.messageTexts().back(),
              "Ausgabe-Shapefile " + b.string() + " ist eines der zu mergenden Shapefiles. Bitte einen anderen Namen "
                                                  "wählen.");
    // TearDown checks that b is unchanged.
}

TEST_F(MergeLayersTest, ExistingOutputIsReplaced) {
    const fs::path a = source(parcels(1, 2), "a_x", true);
    const fs::path b = source(parcels(5, 1), "b_x", true);
    sg::write(parcels(100, 7), out / "gesamt");
    test::writeFile(out / "gesamt.sbn", "alt");
    ui.saveFiles = {target.string()};
    ASSERT_TRUE(merge({a, b}).merged);
    EXPECT_EQ(column(target), (std::vector<std::string>{"1", "2", "5"}));
    EXPECT_FALSE(fs::exists(out / "gesamt.sbn"));
}

TEST_F(MergeLayersTest, FieldNameOfTenCharactersIsAccepted) {
    const fs::path a = source(parcels(1, 1, {sg::textField("ZEHNZEICHN", 5)}), "a_x", true);
    const fs::path b = source(parcels(2, 1, {sg::textField("ZEHNZEICHN", 5)}), "b_x", true);
    ui.saveFiles = {target.string()};
    EXPECT_TRUE(merge({a, b}).merged);
    EXPECT_EQ(gis::ShapefileReader(target).fields().front().name, "ZEHNZEICHN");
}

TEST_F(MergeLayersTest, FieldNameOfElevenCharactersIsRefused) {
    // dBase keeps 11 bytes for a name; a writer that fills all of them
    // leaves no terminating zero, and the name reads with 11 characters.
    auto elevenCharacterName = [&](const std::string& name) {
        const fs::path shp = source(parcels(1, 1, {sg::textField("ELFZEICHEN", 5)}), name, true);
        const fs::path dbf = src / (name + ".dbf");
        std::string bytes = test::readFile(dbf);
        bytes[32 + 10] = 'X';
        test::writeFile(dbf, bytes);
        sources[shp] = test::tripleDigest(shp);
        return shp;
    };
    const fs::path a = elevenCharacterName("a_x");
    const fs::path b = elevenCharacterName("b_x");
    if (gis::ShapefileReader(a).fields().front().name.size() != 11) GTEST_SKIP() << "reader stops at 10 bytes";
    ui.saveFiles = {target.string()};
    EXPECT_FALSE(merge({a, b}).merged);
    EXPECT_EQ(ui.messageTexts().back(), src.string() + "/b_x," + src.string() +
                                            "/a_x,Feldname ELFZEICHENX länger als 10 Zeichen. Bitte zuerst "
                                            "'Shapefile(s) korrigieren' ausführen.");
}

TEST_F(MergeLayersTest, DifferentShapeTypesAreRefused) {
    // A file whose headers declare points (type 1); the type check comes
    // before any record is read.
    auto declaredAs = [&](const std::string& name, char type) {
        const fs::path shp = source(parcels(1, 1), name, true);
        for (const char* ending : {".shp", ".shx"}) {
            const fs::path file = src / (name + ending);
            std::string bytes = test::readFile(file);
            bytes[32] = type;
            test::writeFile(file, bytes);
        }
        sources[shp] = test::tripleDigest(shp);
        return shp;
    };
    const fs::path polygons = source(parcels(1, 1), "a_x", true);
    const fs::path points = declaredAs("p_x", 1);
    const fs::path morePoints = declaredAs("q_x", 1);
    ui.saveFiles = {target.string(), target.string()};
    EXPECT_FALSE(merge({polygons, points}).merged);
    EXPECT_EQ(ui.messageTexts().back(),
              "Unterschiedliche Shape-Typen (Punkte, Linien oder Polygone). Layer können nicht gemerget werden.");
    // Inputs that agree but are no polygons: the writer of this program writes polygons only.
    EXPECT_FALSE(merge({points, morePoints}).merged);
    EXPECT_EQ(ui.messageTexts().back(), "Shapefile p_x.shp ist kein Polygon-Shapefile. Vorgang wird abgebrochen.");
}

TEST_F(MergeLayersTest, NullShapeIsCopiedAndNoted) {
    sg::Layer withNull = parcels(1, 2);
    withNull.records[1].shape = std::nullopt;
    const fs::path a = source(withNull, "a_x", true);
    const fs::path b = source(parcels(5, 1), "b_x", true);
    ui.saveFiles = {target.string()};
    ASSERT_TRUE(merge({a, b}).merged);
    EXPECT_EQ(column(target), (std::vector<std::string>{"1", "2", "5"}));
    EXPECT_FALSE(gis::ShapefileReader(target).polygon(1).has_value());
    const auto lines = mergeLog();  // the two lines of the note are one log entry
    const auto note = std::find(lines.begin(), lines.end(),
                                "Shapefile " + a.string() +
                                    ": Das Shapefeld im aktuellen Datensatz enthält wahrscheinlich einen Nullwert.");
    ASSERT_NE(note, lines.end());
    EXPECT_EQ(*(note + 1), "Ursache: Shapefiles wurden vor Mergevorgang nicht korrigiert.");
}

}  // namespace
}  // namespace plyvet::layerops
