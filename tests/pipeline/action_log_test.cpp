#include "pipeline/action_log.h"

#include <gtest/gtest.h>

namespace plyvet {
namespace {

TEST(ActionLog, ClassifiesEventTextsByKeyPhrase) {
    struct Case {
        const char* text;
        std::optional<Finding> counted;
        bool written;
    };
    const Case cases[] = {
        {"Laufrichtungskorrektur bei Part 1: jetzt negativ", Finding::WrongOrientation, true},
        {"laufrichtungskorrektur bei Part 0: jetzt positiv", Finding::WrongOrientation, true},  // case ignored
        {"Polygon-Parts 0,1: identische Punkte (Anzahl: 0) - kein Fehler", std::nullopt, false},
        {"Polygon-Parts 0,1: identische Punkte (Anzahl: 4) - kein Fehler", Finding::IdenticalPointsOfTwoParts, true},
        {"Polygon-Parts 0,1: identische Punkte (Anzahl: 10) - kein Fehler", Finding::IdenticalPointsOfTwoParts,
         true},
        {"Polygon-Parts 2,3: überlagern sich.", Finding::SelfOverlappingParts, false},
        {"Polygon-Parts ohne Doppelpunkt", std::nullopt, true},
        {"Polygon-Parts 1,2: etwas anderes", std::nullopt, true},
        {"Polygon-Part 1: wurde eliminiert, da mehrfach vorhanden", Finding::IdenticalParts, true},
        {"Polygon-Part 0: direkt aufeinanderfolgende identische Stützpunkte", Finding::ConsecutiveIdenticalPoints,
         true},
        {"Polygon-Part 0: teilweise Überlappung durch 180°-Richtungswechsel auf einer Geraden",
         Finding::PartialOverlapByUturn, true},
        {"Polygon-Part 0: 3 Punkte liegen auf einer Geraden", Finding::PointsOnLine, true},
        {"Polygon-Part 0: tangiert sich selbst auf einer Linie", Finding::SelfTangencyOnLine, true},
        {"Polygon-Part 0: tangiert sich selbst in einem identischen Punkt und wird aufgetrennt",
         Finding::SelfTangencyInPoint, true},
        {"Polygon-Part 3: schneidet sich selbst", Finding::SelfIntersection, true},
        {"POLYGON-PART 3: SCHNEIDET SICH SELBST", Finding::SelfIntersection, true},
        {"Polygon-Part 3: Schnittpunkt X: 5, Y: 5", std::nullopt, true},
        {"Polygon-Part 3 wurde eliminiert (Fläche: 0,001m²)", std::nullopt, true},  // no colon: written only
        {"Polygon-Part 0: 12 Stützpunkt(e)", std::nullopt, true},
        {"----------", std::nullopt, true},
        {"Überprüfung und Löschen identischer Parts ist fehlgeschlagen.", std::nullopt, true},
        {"", std::nullopt, true},
        {"Polygon-Parts 0,1:", std::nullopt, true},  // colon at the very end
    };
    for (const auto& c : cases) {
        const Classification got = classifyActionText(c.text);
        EXPECT_EQ(got.counted, c.counted) << c.text;
        EXPECT_EQ(got.written, c.written) << c.text;
    }
}

TEST(ActionLog, SummaryWithoutFindings) {
    const ActionCounters counters;
    const std::vector<std::string> expected = {
        "Keine Polygone mit identischen Parts.",
        "Keine Polygone mit sich selbst überlagernden Parts.",
        "Keine Polygone mit identischen Punkten zweier Parts.",
        "Keine Polygone mit direkt aufeinander folgenden identischen Punkten.",
        "Keine Polygone mit teilweiser Überlappung durch 180°-Richtungswechsel auf einer Geraden.",
        "Keine Polygone mit Zwischenpunkten auf einer Geraden.",
        "Keine Polygone, die sich selbst auf einer Linie tangieren.",
        "Keine Polygone, die sich selbst in einem identischen Punkt tangieren.",
        "Keine Polygone mit fehlerhafter Laufrichtung.",
        "Keine Polygone mit Selbstüberschneidungen.",
    };
    EXPECT_EQ(counters.summaryLines(true), expected);
    auto nine = expected;
    nine.erase(nine.begin() + 5);
    EXPECT_EQ(counters.summaryLines(false), nine);
}

TEST(ActionLog, SummaryCountsEachHeading) {
    ActionCounters counters;
    for (int i = 0; i < 3; ++i) counters.add(Finding::WrongOrientation);
    counters.add(Finding::IdenticalParts);
    counters.add(Finding::PointsOnLine);
    counters.add(Finding::SelfIntersection);
    counters.add(Finding::SelfIntersection);
    const auto lines = counters.summaryLines(true);
    EXPECT_EQ(lines[0], "1 identische(r) Part(s).");
    EXPECT_EQ(lines[5], "1 Zwischenpunkt(e) auf einer Geraden.");
    EXPECT_EQ(lines[8], "3 Polygon(e) mit fehlerhafter Laufrichtung.");
    EXPECT_EQ(lines[9], "2 Polygon(e) mit Selbstüberschneidungen.");
    counters.reset();
    EXPECT_EQ(counters.summaryLines(true)[9], "Keine Polygone mit Selbstüberschneidungen.");
}

TEST(ActionLog, SettingsBlockRepeatsTheTextsAsTyped) {
    RunOptions o;
    o.granularity = "4";
    o.identicalPointThreshold = "0,0005";
    o.splitterTolerance = "0,02";
    o.deletePointsOnLine = true;
    o.deleteSplitterArea = false;
    o.useId = true;
    o.onlyErrorObjects = false;
    RunSettings s;
    s.overwriteExistingShapeFiles = true;
    const std::vector<std::string> expected = {
        "Sie haben folgende Einstellungen vorgenommen:",
        "Prüfgenauigkeit: 4 Dezimalstellen",
        "Grenzwert für identische Punkte: 0,0005",
        "zusätzlich überflüssige Punkte auf einer Geraden löschen: ja",
        "Toleranz für Splitterflächen aus Selbstüberschneidung: 0,02",
        "zusätzlich Splitterflächen löschen: nein",
        "Shapefiles erzeugen, auch wenn Shapefilename mehr als die empfohlenen 8 Zeichen enthalten: nein",
        "Bereits bestehende korrigierte Shapefiles (Endung _x.shp...) überschreiben: ja",
        "Korrigierte Shapefiles in Quellverzeichnis erzeugen: nein",
        "ID -falls vorhanden- in Log-Datei: ja",
        "Nur fehlerhafte Objekte in Log-Datei eintragen:  nein",
    };
    EXPECT_EQ(settingsBlock(o, s), expected);
    o.onlyErrorObjects = true;
    EXPECT_EQ(settingsBlock(o, s).back(), "Nur fehlerhafte Objekte in Log-Datei eintragen: ja");
}

}  // namespace
}  // namespace plyvet
