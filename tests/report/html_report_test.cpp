// The report writer driven as the run drives it: files, polygons, outcomes.
#include "report/html_report.h"
#include "xml_lite.h"

#include "support/testsupport.h"
#include "tools/samplegen/samplegen.h"

#include <gtest/gtest.h>

namespace plyvet::report {
namespace {

namespace fs = std::filesystem;
using test::xml::Element;

RecordReport changed(int record, std::string label = "") {
    RecordReport r;
    r.record = record;
    r.labelName = "FID";
    r.labelValue = label.empty() ? std::to_string(record) : label;
    r.before = samplegen::repeatedVertex(0, 0, 10, 10);
    r.after = samplegen::rectanglePolygon(0, 0, 10, 10);
    r.lines = {"Polygon mit der FID " + r.labelValue + " ( Polygon-Part 0: direkt aufeinanderfolgende identische Stützpunkte )"};
    return r;
}

RecordReport dropped(int record) {
    RecordReport r = changed(record);
    r.after.reset();
    r.lines.push_back("Polygon mit der FID " + r.labelValue + " wurde deshalb nicht exportiert.");
    return r;
}

FileResult outcome(const std::string& source, int read, int written, bool corrected = true) {
    FileResult f;
    f.source = source;
    f.corrected = corrected;
    f.recordsRead = read;
    f.recordsWritten = written;
    f.checkLog = source.substr(0, source.size() - 4) + "_k.log";
    f.output = "/ausgabe/flur_x.shp";
    return f;
}

class HtmlReportTest : public ::testing::Test {
protected:
    // Runs `feed` against a fresh report and returns the parsed document.
    template <typename Feed>
    Element write(ReportSettings settings, Feed feed) {
        {
            HtmlReport report(file_, std::move(settings));
            std::string error;
            EXPECT_TRUE(report.open(error)) << error;
            feed(report);
            EXPECT_TRUE(report.finish(error)) << error;
        }
        text_ = test::readFile(file_);
        return test::xml::parse(text_);
    }

    static std::vector<const Element*> byClass(const Element& root, const std::string& cls) {
        return test::xml::findAll(root, [&](const Element& e) { return e.hasClass(cls); });
    }

    // Names in the folder besides the report itself: working files left behind.
    std::vector<std::string> strayFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_.path())) {
            if (e.path() != file_) names.push_back(e.path().filename().string());
        }
        return names;
    }

    test::TempDir dir_{"plyvet-report"};
    fs::path file_ = dir_ / "bericht.html";
    std::string text_;
};

TEST_F(HtmlReportTest, OneSectionPerChangedOrDroppedPolygon) {
    const Element doc = write({}, [](HtmlReport& r) {
        r.fileStarted("/daten/flur.shp");
        r.record(changed(0));
        RecordReport unchanged = changed(1);
        unchanged.after = unchanged.before;  // named in the log, written as read
        r.record(unchanged);
        r.record(dropped(2));
        ActionCounters counters;
        counters.add(Finding::ConsecutiveIdenticalPoints);
        counters.add(Finding::ConsecutiveIdenticalPoints);
        r.fileFinished(outcome("/daten/flur.shp", 3, 2), counters);
    });
    EXPECT_EQ(doc.name, "html");
    const auto sections = byClass(doc, "objekt");
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_TRUE(sections[0]->hasClass("geaendert"));
    EXPECT_TRUE(sections[1]->hasClass("nicht-exportiert"));
    EXPECT_EQ(sections[1]->attribute("id"), "d1-o2");
    // Two pictures each, and the log lines beside them.
    for (const Element* s : sections) {
        EXPECT_EQ(test::xml::findAll(*s, [](const Element& e) { return e.name == "svg"; }).size(), 2u);
    }
    const auto lines = test::xml::findAll(*sections[1], [](const Element& e) { return e.name == "li"; });
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1]->text, "Polygon mit der FID 2 wurde deshalb nicht exportiert.");

    // The counters and the record counts.
    const auto count = [&](const std::string& attr, const std::string& value) {
        const auto cells = test::xml::findAll(doc, [&](const Element& e) { return e.attribute(attr) == value; });
        return cells.size() == 1 ? cells[0]->text : std::string("?");
    };
    EXPECT_EQ(count("data-befund", "3"), "2");
    EXPECT_EQ(count("data-befund", "0"), "0");
    EXPECT_EQ(count("data-befund", "5"), "nicht geprüft");
    EXPECT_EQ(count("data-wert", "gelesen"), "3");
    EXPECT_EQ(count("data-wert", "geschrieben"), "2");
    EXPECT_EQ(count("data-wert", "nicht-exportiert"), "1");
    EXPECT_TRUE(byClass(doc, "ausgelassen").empty());
    EXPECT_TRUE(strayFiles().empty());
}

TEST_F(HtmlReportTest, RemovedVerticesMarkedOnlyOnWrittenPolygons) {
    RecordReport spike = changed(0);
    spike.before = samplegen::spike(0, 0, 10, 10, 6);
    RecordReport spikeDropped = spike;
    spikeDropped.record = 1;
    spikeDropped.after.reset();
    const Element doc = write({}, [&](HtmlReport& r) {
        r.fileStarted("/daten/flur.shp");
        r.record(spike);
        r.record(spikeDropped);
        r.fileFinished(outcome("/daten/flur.shp", 2, 1), ActionCounters{});
    });
    const auto sections = byClass(doc, "objekt");
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(byClass(*sections[0], "entfernt").size(), 1u);
    EXPECT_NE(sections[0]->allText().find("3 entfernte Punkte"), std::string::npos) << sections[0]->allText();
    EXPECT_TRUE(byClass(*sections[1], "entfernt").empty());
    EXPECT_EQ(sections[1]->allText().find("entfernte"), std::string::npos);
}

TEST_F(HtmlReportTest, CapPerFileSaysHowManyWereLeftOut) {
    const struct {
        int limit;
        int polygons;
        std::size_t pictured;
        std::string leftOut;  // the count in the note, empty for no note
    } cases[] = {
        {3, 10, 3, "7"},
        {3, 3, 3, ""},
        {3, 4, 3, "1"},
        {0, 2, 0, "2"},
    };
    for (const auto& c : cases) {
        ReportSettings settings;
        settings.pictureLimit = c.limit;
        const Element doc = write(settings, [&](HtmlReport& r) {
            // Two files: the cap counts for each on its own.
            for (const char* source : {"/daten/a.shp", "/daten/b.shp"}) {
                r.fileStarted(source);
                for (int i = 0; i < c.polygons; ++i) r.record(changed(i));
                r.fileFinished(outcome(source, c.polygons, c.polygons), ActionCounters{});
            }
        });
        const auto files = byClass(doc, "datei");
        ASSERT_EQ(files.size(), 2u);
        for (const Element* file : files) {
            EXPECT_EQ(byClass(*file, "objekt").size(), c.pictured) << "limit " << c.limit;
            const auto notes = byClass(*file, "ausgelassen");
            if (c.leftOut.empty()) {
                EXPECT_TRUE(notes.empty()) << "limit " << c.limit;
                continue;
            }
            ASSERT_EQ(notes.size(), 1u) << "limit " << c.limit;
            EXPECT_EQ(notes[0]->attribute("data-ausgelassen"), c.leftOut);
            EXPECT_NE(notes[0]->text.find("nicht abgebildet (höchstens " + std::to_string(c.limit) + " Abbildungen"),
                      std::string::npos)
                << notes[0]->text;
        }
    }
}

TEST_F(HtmlReportTest, TextsAreEscaped) {
    const Element doc = write({}, [](HtmlReport& r) {
        r.fileStarted("/daten/<b>&ü.shp");
        RecordReport rec = changed(0, "<script>alert(1)</script> & \xE4");
        rec.labelName = "OBNR";
        r.record(rec);
        r.fileFinished(outcome("/daten/<b>&ü.shp", 1, 1), ActionCounters{});
    });
    EXPECT_EQ(text_.find("<script"), std::string::npos);
    EXPECT_EQ(text_.find("<b>"), std::string::npos);
    const auto sections = byClass(doc, "objekt");
    ASSERT_EQ(sections.size(), 1u);
    const auto heading = test::xml::findAll(*sections[0], [](const Element& e) { return e.name == "h4"; });
    ASSERT_EQ(heading.size(), 1u);
    EXPECT_EQ(heading[0]->text, "Polygon mit der OBNR <script>alert(1)</script> & \xEF\xBF\xBD (Datensatz 0)");
    const auto h2 = test::xml::findAll(doc, [](const Element& e) { return e.name == "code"; });
    ASSERT_FALSE(h2.empty());
    EXPECT_EQ(h2[0]->text, "/daten/<b>&ü.shp");
}

TEST_F(HtmlReportTest, SelfContained) {
    write({}, [](HtmlReport& r) {
        r.fileStarted("/daten/flur.shp");
        r.record(changed(0));
        r.fileFinished(outcome("/daten/flur.shp", 1, 1), ActionCounters{});
    });
    EXPECT_NE(text_.find("<meta charset=\"utf-8\"/>"), std::string::npos);
    EXPECT_NE(text_.find("<html lang=\"de\">"), std::string::npos);
    for (const char* outside : {"<script", "<link", "<img", "<iframe", "src=", "url(", "@import", "http://", "https://"}) {
        // The SVG namespace name is an identifier, not something loaded.
        std::string rest = text_;
        for (std::size_t i; (i = rest.find("http://www.w3.org/2000/svg")) != std::string::npos;) rest.erase(i, 26);
        EXPECT_EQ(rest.find(outside), std::string::npos) << outside;
    }
}

TEST_F(HtmlReportTest, NoFileProcessed) {
    const Element doc = write({}, [](HtmlReport&) {});
    EXPECT_TRUE(byClass(doc, "datei").empty());
    EXPECT_NE(doc.allText().find("Es wurde kein Shapefile bearbeitet."), std::string::npos);
}

TEST_F(HtmlReportTest, StoppedFileSaysSo) {
    const Element doc = write({}, [](HtmlReport& r) {
        r.fileStarted("/daten/flur.shp");
        r.record(dropped(0));
        r.fileFinished(outcome("/daten/flur.shp", 1, 0, false), ActionCounters{});
    });
    const auto files = byClass(doc, "datei");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(byClass(*files[0], "fehler").size(), 1u);
    EXPECT_NE(files[0]->allText().find("die Zahlen gelten bis zum Abbruch"), std::string::npos);
}

TEST_F(HtmlReportTest, UnfinishedReportLeavesNothing) {
    {
        HtmlReport report(file_, {});
        std::string error;
        ASSERT_TRUE(report.open(error)) << error;
        report.fileStarted("/daten/flur.shp");
        report.record(changed(0));
        EXPECT_FALSE(strayFiles().empty());  // the working file exists while the run goes on
    }
    EXPECT_FALSE(fs::exists(file_));
    EXPECT_TRUE(strayFiles().empty());
}

TEST_F(HtmlReportTest, OpenFailsForAFolderOrAMissingFolder) {
    fs::create_directory(dir_ / "ordner.html");
    for (const fs::path& target : {dir_ / "ordner.html", dir_ / "fehlt" / "bericht.html"}) {
        HtmlReport report(target, {});
        std::string error;
        EXPECT_FALSE(report.open(error)) << target;
        EXPECT_NE(error.find(target.string()), std::string::npos) << error;
        EXPECT_FALSE(report.finish(error));
    }
}

}  // namespace
}  // namespace plyvet::report
