// `plyvet correct --report` end to end: the built program on generated
// shapefiles, its report read back and held against the check log and the
// shapefiles themselves; and the same report in a real browser when one is
// installed.
#include "xml_lite.h"

#include "app/cli_options.h"
#include "pipeline/action_log.h"
#include "pipeline/gis/shapefile.h"
#include "support/testsupport.h"
#include "tools/samplegen/samplegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <unistd.h>

namespace plyvet {
namespace {

namespace fs = std::filesystem;
using test::xml::Element;

std::vector<const Element*> byClass(const Element& root, const std::string& cls) {
    return test::xml::findAll(root, [&](const Element& e) { return e.hasClass(cls); });
}

class ReportCommand : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "quelle");
        fs::create_directories(dir_ / "ergebnis");
        fs::create_directories(dir_ / "programm");
    }

    test::CommandResult correct(std::vector<std::string> extra, const fs::path& shp) {
        std::vector<std::string> args{test::binPath("plyvet").string(), "correct", "--output",
                                      (dir_ / "ergebnis").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(shp.string());
        return test::runCommand(args, {{"PLYVET_HOME", (dir_ / "programm").string()}});
    }

    Element report() {
        text_ = test::readFile(report_);
        return test::xml::parse(text_);
    }

    std::vector<std::string> checkLog(const std::string& base) {
        std::vector<std::string> lines;
        for (const auto& l : test::readLines(dir_ / "quelle" / (base + "_k.log"))) lines.push_back(test::cp1252ToUtf8(l));
        return lines;
    }

    test::TempDir dir_{"plyvet-report-run"};
    fs::path report_ = dir_ / "bericht.html";
    std::string text_;
};

// Layer of `n` polygons whose upper left corner is stored twice: every one is changed.
samplegen::Layer repeatedVertices(int n) {
    samplegen::Layer layer;
    layer.fields = {samplegen::integerField("ID")};
    for (int i = 0; i < n; ++i) {
        layer.records.push_back({samplegen::repeatedVertex(i * 20, 0, i * 20 + 10, 10), {std::to_string(i + 1)}});
    }
    return layer;
}

TEST_F(ReportCommand, SectionsAndCountsAgreeWithLogAndShapefiles) {
    const fs::path shp = dir_ / "quelle" / "flur.shp";
    // The demo sample and two polygons that cannot be exported: overlapping parts, a null shape.
    samplegen::Layer layer = samplegen::sampleLayer();
    const std::array<std::array<double, 4>, 2> overlapping{{{0, 0, 10, 10}, {5, 5, 15, 15}}};
    const auto x = samplegen::kSampleOrigin.x;
    const auto y = samplegen::kSampleOrigin.y;
    layer.records.insert(layer.records.begin() + 3,
                         {samplegen::multiRectangle(overlapping), layer.records[0].values});
    layer.records.push_back({std::nullopt, layer.records[0].values});
    for (auto& p : layer.records[3].shape->parts) {
        for (auto& v : p) v = {v.x + x, v.y + y};
    }
    samplegen::write(layer, shp);
    const auto digest = test::tripleDigest(shp);
    const auto r = correct({"--report", report_.string()}, shp);
    ASSERT_EQ(r.exitCode, 0) << r.stdoutText << r.stderrText;
    EXPECT_NE(r.stdoutText.find("Bericht: " + report_.string()), std::string::npos) << r.stdoutText;
    EXPECT_EQ(test::tripleDigest(shp), digest);

    const Element doc = report();
    const auto files = byClass(doc, "datei");
    ASSERT_EQ(files.size(), 1u);
    const std::vector<std::string> log = checkLog("flur");

    // Which records changed, by the shapefiles: a record the log does not
    // name as dropped maps, in order, to the next output record.
    gis::ShapefileReader in(shp);
    gis::ShapefileReader out(dir_ / "ergebnis" / "flur_x.shp");
    std::set<int> droppedByLog;
    for (int i = 0; i < in.recordCount(); ++i) {
        const std::string prefix = "Polygon mit der FID " + std::to_string(i) + " ";
        for (const auto& line : log) {
            // The endings of the lines that drop a whole polygon (a part of
            // fewer than 3 points is dropped alone, the polygon is written).
            const bool drops = line.ends_with(" wurde deshalb nicht exportiert.") ||
                               line.ends_with("( wurde wegen linienhafter Überlagerung von 2 Parts nicht exportiert )") ||
                               line.ends_with("( Betroffener Part wurde nicht exportiert )") ||
                               line.ends_with(", Polygon wurde nicht exportiert )");
            if (line.starts_with(prefix) && drops) {
                droppedByLog.insert(i);
            }
        }
    }
    ASSERT_EQ(droppedByLog, (std::set<int>{3, in.recordCount() - 1})) << "the layer has two polygons to drop";
    ASSERT_EQ(out.recordCount(), in.recordCount() - 2);
    std::set<int> expected = droppedByLog;
    int o = 0;
    for (int i = 0; i < in.recordCount(); ++i) {
        if (droppedByLog.contains(i)) continue;
        if (in.polygon(i) != out.polygon(o++)) expected.insert(i);
    }
    ASSERT_EQ(o, out.recordCount());
    ASSERT_GT(expected.size(), droppedByLog.size()) << "the layer has faults to repair";

    std::set<int> reported;
    for (const Element* s : byClass(*files[0], "objekt")) {
        const std::string id = s->attribute("id");
        ASSERT_TRUE(id.starts_with("d1-o")) << id;
        reported.insert(std::stoi(id.substr(4)));
        EXPECT_EQ(s->hasClass("nicht-exportiert"), droppedByLog.contains(std::stoi(id.substr(4)))) << id;
        // Every line beside the pictures is a line of the check log about that polygon.
        for (const Element* li : test::xml::findAll(*s, [](const Element& e) { return e.name == "li"; })) {
            EXPECT_NE(std::find(log.begin(), log.end(), li->text), log.end()) << li->text;
            EXPECT_TRUE(li->text.starts_with("Polygon mit der FID " + id.substr(4) + " ")) << li->text;
        }
    }
    EXPECT_EQ(reported, expected);

    // The counters rebuild the check log's summary exactly.
    ActionCounters counters;
    for (std::size_t i = 0; i < kFindingCount; ++i) {
        const auto cells = test::xml::findAll(*files[0], [&](const Element& e) {
            return e.attribute("data-befund") == std::to_string(i);
        });
        ASSERT_EQ(cells.size(), 1u);
        const int n = cells[0]->text == "nicht geprüft" ? 0 : std::stoi(cells[0]->text);
        for (int k = 0; k < n; ++k) counters.add(static_cast<Finding>(i));
    }
    const auto summary = counters.summaryLines(false);
    const auto last = std::find_if(log.rbegin(), log.rend(),
                                   [](const std::string& l) { return l.starts_with("Shapefile wurde erfolgreich nach"); });
    ASSERT_NE(last, log.rend());
    const auto end = last.base() - 1;
    ASSERT_GE(end - log.begin(), static_cast<std::ptrdiff_t>(summary.size()));
    EXPECT_EQ(std::vector<std::string>(end - static_cast<std::ptrdiff_t>(summary.size()), end), summary);

    const auto value = [&](const char* name) {
        const auto cells = test::xml::findAll(*files[0], [&](const Element& e) { return e.attribute("data-wert") == name; });
        return cells.size() == 1 ? std::stoi(cells[0]->text) : -1;
    };
    EXPECT_EQ(value("gelesen"), in.recordCount());
    EXPECT_EQ(value("geschrieben"), out.recordCount());
    EXPECT_EQ(value("nicht-exportiert"), static_cast<int>(droppedByLog.size()));
}

TEST_F(ReportCommand, LimitLeavesPolygonsOutAndSaysHowMany) {
    const fs::path shp = dir_ / "quelle" / "viele.shp";
    samplegen::write(repeatedVertices(40), shp);
    const auto r = correct({"--report", report_.string(), "--report-limit", "3"}, shp);
    ASSERT_EQ(r.exitCode, 0) << r.stdoutText << r.stderrText;
    const Element doc = report();
    EXPECT_EQ(byClass(doc, "objekt").size(), 3u);
    const auto notes = byClass(doc, "ausgelassen");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0]->attribute("data-ausgelassen"), "37");
    EXPECT_NE(notes[0]->text.find("Weitere 37 geänderte oder nicht exportierte Polygone sind nicht abgebildet"),
              std::string::npos)
        << notes[0]->text;
}

TEST_F(ReportCommand, UnwritableReportStopsBeforeTheRun) {
    const fs::path shp = dir_ / "quelle" / "flur.shp";
    samplegen::write(samplegen::gridLayer(2), shp);
    const auto r = correct({"--report", (dir_ / "fehlt" / "bericht.html").string()}, shp);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.stderrText.find("kann nicht angelegt werden"), std::string::npos) << r.stderrText;
    EXPECT_FALSE(fs::exists(dir_ / "ergebnis" / "flur_x.shp"));
}

TEST(ReportOptions, CommandLine) {
    const struct {
        std::vector<std::string> args;
        std::string error;  // empty: accepted
        std::string file;   // the report's file name, when accepted
        int limit;
    } cases[] = {
        {{"--report", "b.html"}, "", "b.html", -1},
        {{"--report=B.HTM", "--report-limit", "0"}, "", "B.HTM", 0},
        {{"--report", "b.html", "--report-limit=12"}, "", "b.html", 12},
        {{"--report", "flur.shp"}, "--report erwartet einen Dateinamen mit der Endung .html, nicht flur.shp.", "", 0},
        {{"--report", "flur_k.log"}, "--report erwartet einen Dateinamen mit der Endung .html, nicht flur_k.log.", "", 0},
        {{"--report"}, "Option --report erwartet einen Wert.", "", 0},
        {{"--report", "b.html", "--report-limit", "-1"}, "--report-limit erwartet eine ganze Zahl ab 0, nicht -1.", "", 0},
        {{"--report", "b.html", "--report-limit", "x"}, "--report-limit erwartet eine ganze Zahl ab 0, nicht x.", "", 0},
        {{"--report-limit", "5"}, "--report-limit gilt nur zusammen mit --report.", "", 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"correct", "--output", "/tmp"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (c.args.size() != 1) args.push_back("a.shp");  // "--report" alone takes no file as its value
        const auto cl = app::parseCommandLine(args);
        EXPECT_EQ(cl.error, c.error) << c.args[0];
        if (!c.error.empty()) continue;
        EXPECT_TRUE(fs::path(cl.reportFile).is_absolute());
        EXPECT_EQ(fs::path(cl.reportFile).filename(), c.file);
        EXPECT_EQ(cl.reportLimit, c.limit);
        EXPECT_EQ(cl.files, std::vector<std::string>{"a.shp"});
    }
}

// xmllint (libxml2) as an independent judge of well-formedness.
TEST_F(ReportCommand, XmllintAcceptsTheReport) {
    if (test::runCommand({"xmllint", "--version"}).exitCode != 0) GTEST_SKIP() << "xmllint is not installed";
    const fs::path shp = dir_ / "quelle" / "flur.shp";
    samplegen::write(samplegen::sampleLayer(), shp);
    ASSERT_EQ(correct({"--report", report_.string()}, shp).exitCode, 0);
    const auto lint = test::runCommand({"xmllint", "--noout", report_.string()});
    EXPECT_EQ(lint.exitCode, 0) << lint.stderrText;
    const auto count = test::runCommand(
        {"xmllint", "--xpath", "count(//section[contains(@class,'objekt')])", report_.string()});
    ASSERT_EQ(count.exitCode, 0) << count.stderrText;
    EXPECT_EQ(std::to_string(byClass(report(), "objekt").size()), count.stdoutText.substr(0, count.stdoutText.find('\n')));
}

// The report in Debian's headless Chromium: it parses the file as a browser
// does (every section arrives in the DOM) and paints it.
TEST_F(ReportCommand, ChromiumShowsTheReport) {
    const fs::path chromium = "/usr/bin/chromium";
    if (!fs::exists(chromium)) GTEST_SKIP() << "chromium is not installed (scripts/report-screenshot installs it)";
    const fs::path shp = dir_ / "quelle" / "flur.shp";
    samplegen::write(samplegen::sampleLayer(), shp);
    ASSERT_EQ(correct({"--report", report_.string()}, shp).exitCode, 0);
    const std::size_t sections = byClass(report(), "objekt").size();

    const auto browser = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{chromium.string(), "--headless", "--disable-gpu", "--disable-quic",
                                      "--no-first-run", "--disable-background-networking",
                                      "--disable-component-update", "--disable-sync",
                                      "--user-data-dir=" + (dir_ / ("profil-" + std::to_string(extra.size()))).string()};
        if (::geteuid() == 0) args.push_back("--no-sandbox");
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("file://" + report_.string());
        test::RunOptions options;
        options.timeout = std::chrono::seconds(120);
        return test::runCommand(args, options);
    };
    const auto dom = browser({"--dump-dom"});
    ASSERT_EQ(dom.exitCode, 0) << dom.stderrText;
    std::size_t inDom = 0;
    for (auto i = dom.stdoutText.find("<section class=\"objekt"); i != std::string::npos;
         i = dom.stdoutText.find("<section class=\"objekt", i + 1)) {
        ++inDom;
    }
    EXPECT_EQ(inDom, sections);
    EXPECT_NE(dom.stdoutText.find("<svg"), std::string::npos);

    const fs::path png = dir_ / "bericht.png";
    const auto shot = browser({"--hide-scrollbars", "--window-size=1280,2000", "--screenshot=" + png.string()});
    ASSERT_EQ(shot.exitCode, 0) << shot.stderrText;
    const std::string bytes = test::readFile(png);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    // A page of tables and pictures compresses far worse than a blank one.
    EXPECT_GT(bytes.size(), 40'000u);
}

}  // namespace
}  // namespace plyvet
