// The layer commands on the command line: parsing, and the built program
// run end to end.

#include "app/cli_options.h"
#include "support/testsupport.h"
#include "tools/samplegen/samplegen.h"

#include <gtest/gtest.h>

namespace plyvet {
namespace {

namespace fs = std::filesystem;
namespace sg = samplegen;
using app::Command;
using app::parseCommandLine;

TEST(LayerCommandLine, ParsesEachCommandWithItsOptions) {
    const auto identical =
        parseCommandLine({"identical", "--output", "/tmp/z", "--tolerance", "0.5", "--use-id", "a_x.shp"});
    EXPECT_EQ(identical.error, "");
    EXPECT_EQ(identical.command, Command::Identical);
    EXPECT_EQ(identical.tolerance, "0.5");
    EXPECT_EQ(identical.options.outputFolder, "/tmp/z");
    EXPECT_TRUE(identical.options.useId);

    const auto overlaps = parseCommandLine({"overlaps", "--granularity", "2", "a_x.shp", "b_x.shp"});
    EXPECT_EQ(overlaps.error, "");
    EXPECT_EQ(overlaps.command, Command::Overlaps);
    EXPECT_EQ(overlaps.options.granularity, "2");
    EXPECT_EQ(overlaps.tolerance, "0.1");
    EXPECT_EQ(overlaps.files.size(), 2u);

    const auto merge = parseCommandLine({"merge", "a_x.shp", "b_x.shp", "--output", "/tmp/m.shp", "--overwrite"});
    EXPECT_EQ(merge.error, "");
    EXPECT_EQ(merge.command, Command::Merge);
    EXPECT_EQ(merge.mergeOutput, "/tmp/m.shp");
    EXPECT_TRUE(merge.options.outputFolder.empty());
    EXPECT_TRUE(merge.settings.overwriteExistingShapeFiles);
}

TEST(LayerCommandLine, RefusesWhatTheCommandCannotUse) {
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"overlaps", "--output", "/tmp", "a.shp"}, "Option --output gilt nicht für den Befehl overlaps."},
        {{"merge", "--use-id", "a.shp", "b.shp", "--output", "m.shp"}, "Option --use-id gilt nicht für den Befehl merge."},
        {{"identical", "--granularity", "2", "--output", "/tmp", "a.shp"},
         "Option --granularity gilt nicht für den Befehl identical."},
        {{"correct", "--tolerance", "1", "--output", "/tmp", "a.shp"},
         "Option --tolerance gilt nicht für den Befehl correct."},
        {{"identical", "a.shp"}, "Bitte --output VERZ oder --in-source-folder angeben."},
        {{"identical", "--tolerance", "-1", "--output", "/tmp", "a.shp"},
         "--tolerance erwartet eine Zahl ab 0 mit Dezimalpunkt, nicht -1."},
        {{"identical", "--tolerance", "0,5", "--output", "/tmp", "a.shp"},
         "--tolerance erwartet eine Zahl ab 0 mit Dezimalpunkt, nicht 0,5."},
        {{"overlaps"}, "Keine Shapefiles angegeben."},
        {{"merge", "a.shp", "--output", "/tmp/m.shp"},
         "Es wurde nur ein Shapefile ausgewählt. Für den Mergevorgang sind mindestens 2 Shapefiles nötig."},
        {{"merge", "a.shp", "b.shp"}, "Bitte --output DATEI.shp für das gemergte Shapefile angeben."},
        {{"merge", "a.shp", "b.shp", "--output", "/tmp/m.dbf"},
         "--output erwartet bei merge eine Datei mit der Endung .shp, nicht /tmp/m.dbf."},
    };
    for (const auto& c : cases) EXPECT_EQ(parseCommandLine(c.args).error, c.error) << c.args.front();
}

class LayerCommand : public ::testing::Test {
protected:
    test::TempDir dir{"plyvet-layercli"};
    fs::path home = dir / "programm";
    fs::path src = dir / "quelle";
    fs::path out = dir / "ziel";

    void SetUp() override {
        fs::create_directories(home);
        fs::create_directories(src);
        fs::create_directories(out);
    }
    test::CommandResult plyvet(std::vector<std::string> args) {
        args.insert(args.begin(), test::binPath("plyvet").string());
        return test::runCommand(args, {{"PLYVET_HOME", home.string()}});
    }
    // A 3 x 3 grid with its square 0 repeated at the end and one square
    // overlapping squares 4 and 5 by half of each.
    fs::path layer(const std::string& name) {
        sg::Layer grid = sg::gridLayer(3);
        grid.records.push_back({sg::rectanglePolygon(0, 0, 1, 1), {"100"}});
        grid.records.push_back({sg::rectanglePolygon(1.5, 1, 2.5, 2), {"101"}});
        sg::write(grid, src / name);
        test::writeFile(src / (name + ".prj"), "LOCAL_CS[\"Test\"]");
        return src / (name + ".shp");
    }
    static std::vector<std::string> lines(const fs::path& file) {
        std::vector<std::string> out;
        for (const auto& l : test::readLines(file)) out.push_back(test::cp1252ToUtf8(l));
        return out;
    }
};

TEST_F(LayerCommand, IdenticalWritesTheCopyWithoutDuplicates) {
    const fs::path shp = layer("netz_x");
    const auto digest = test::tripleDigest(shp);
    const auto r = plyvet({"identical", "--output", out.string(), "--use-id", shp.string()});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_NE(r.stdoutText.find("1 identische(s) Polygon(e), Ausgabe " + (out / "netz_xi.shp").string()),
              std::string::npos)
        << r.stdoutText;
    const auto log = lines(src / "netz_x_i.log");
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "Polygon mit der ID 100 ist identisch mit ID 1 ( Fläche: 1 m², Mittelpunkt X = 0.5 , Y = 0.5 )"),
              log.end());
    if (test::haveOgr()) {
        const std::string info = test::ogrinfoSummary(out / "netz_xi.shp");
        EXPECT_NE(info.find("Feature Count: 10"), std::string::npos) << info;
    }
    EXPECT_EQ(test::tripleDigest(shp), digest);
}

TEST_F(LayerCommand, OverlapsReportsAndExitsZero) {
    const fs::path shp = layer("netz_x");
    const auto r = plyvet({"overlaps", shp.string()});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_NE(r.stdoutText.find(shp.string() + ": 3 Überlappung(en)"), std::string::npos) << r.stdoutText;
    const auto log = lines(src / "netz_x_ü.log");
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "FID 10 überlappt FID 4 mit 0.5 m² ( 50 % , Überlappungs-Mittelpunkt X = 1.75 , Y = 1.5 )"),
              log.end());
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(LayerCommand, UncorrectedFileStopsTheCommandWithoutAnAnswer) {
    const fs::path shp = layer("netz");
    const auto r = plyvet({"overlaps", shp.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.stderrText.find("endet nicht mit 'x'"), std::string::npos) << r.stderrText;
    EXPECT_FALSE(fs::exists(src / "netz_ü.log"));
}

TEST_F(LayerCommand, MergeWritesOnceAndReplacesOnlyWhenAsked) {
    const fs::path a = layer("a_x");
    const fs::path b = layer("b_x");
    const fs::path target = out / "alle.shp";
    auto r = plyvet({"merge", a.string(), b.string(), "--output", target.string()});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_NE(r.stdoutText.find(target.string() + ": 22 Datensätze aus 2 Shapefiles gemerget"), std::string::npos)
        << r.stdoutText;
    EXPECT_TRUE(fs::exists(out / "alle_m.log"));
    if (test::haveOgr()) {
        const std::string info = test::ogrinfoSummary(target);
        EXPECT_NE(info.find("Feature Count: 22"), std::string::npos) << info;
    }
    const auto digest = test::tripleDigest(target);

    r = plyvet({"merge", a.string(), b.string(), "--output", target.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.stderrText.find("bereits vorhanden"), std::string::npos) << r.stderrText;
    EXPECT_EQ(test::tripleDigest(target), digest);

    r = plyvet({"merge", b.string(), a.string(), "--output", target.string(), "--overwrite"});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
}

TEST_F(LayerCommand, MergeWithoutProjectionWritesNothing) {
    const fs::path a = layer("a_x");
    const fs::path b = layer("b_x");
    fs::remove(src / "b_x.prj");
    const auto r = plyvet({"merge", a.string(), b.string(), "--output", (out / "alle.shp").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.stderrText.find("Layer b_x: Fehlender räumlicher Bezug."), std::string::npos) << r.stderrText;
    EXPECT_TRUE(fs::is_empty(out));
}

}  // namespace
}  // namespace plyvet
