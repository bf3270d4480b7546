#include "pipeline/action_log.h"

#include "pipeline/text.h"

namespace plyvet {

namespace {

// The piece of `text` of keyword's length starting at byte `start`, compared ignoring case.
bool pieceIs(std::string_view text, std::size_t start, std::string_view keyword) {
    return start <= text.size() && text::startsWithIgnoreCase(text.substr(start), keyword);
}

struct Keyword {
    std::string_view phrase;
    Finding finding;
};

// Tested in this order after "Polygon-Part" and its first colon; the first match counts.
constexpr Keyword kPartKeywords[] = {
    {"teilweise Überlappung", Finding::PartialOverlapByUturn},
    {"direkt aufeinanderfolgende identische Stützpunkte", Finding::ConsecutiveIdenticalPoints},
    {"tangiert sich selbst in einem identischen Punkt", Finding::SelfTangencyInPoint},
    {"tangiert sich selbst auf einer Linie", Finding::SelfTangencyOnLine},
    {"wurde eliminiert, da", Finding::IdenticalParts},
    {"schneidet sich selbst", Finding::SelfIntersection},
    {"3 Punkte liegen", Finding::PointsOnLine},
};

struct SummaryText {
    std::string_view some;  // followed after "<n> "
    std::string_view none;
};

constexpr SummaryText kSummary[kFindingCount] = {
    {"identische(r) Part(s).", "Keine Polygone mit identischen Parts."},
    {"sich selbst überlagernde(r) Part(s).", "Keine Polygone mit sich selbst überlagernden Parts."},
    {"identische(r) Punkt(e) zweier Parts (kein Fehler).", "Keine Polygone mit identischen Punkten zweier Parts."},
    {"direkt aufeinander folgende(r) identische(r) Punkt(e).",
     "Keine Polygone mit direkt aufeinander folgenden identischen Punkten."},
    {"Polygon(e) mit teilweiser Überlappung durch 180°-Richtungswechsel auf einer Geraden.",
     "Keine Polygone mit teilweiser Überlappung durch 180°-Richtungswechsel auf einer Geraden."},
    {"Zwischenpunkt(e) auf einer Geraden.", "Keine Polygone mit Zwischenpunkten auf einer Geraden."},
    {"Polygon(e), die sich selbst auf einer Linie tangieren.",
     "Keine Polygone, die sich selbst auf einer Linie tangieren."},
    {"Polygon(e), die sich selbst in einem identischen Punkt tangieren.",
     "Keine Polygone, die sich selbst in einem identischen Punkt tangieren."},
    {"Polygon(e) mit fehlerhafter Laufrichtung.", "Keine Polygone mit fehlerhafter Laufrichtung."},
    {"Polygon(e) mit Selbstüberschneidungen.", "Keine Polygone mit Selbstüberschneidungen."},
};

const char* yesNo(bool b) { return b ? "ja" : "nein"; }

}  // namespace

Classification classifyActionText(std::string_view text) {
    if (text::startsWithIgnoreCase(text, "Laufrichtungskorrektur")) return {Finding::WrongOrientation, true};
    if (text::startsWithIgnoreCase(text, "Polygon-Parts")) {
        const auto colon = text.find(':');
        if (colon == std::string_view::npos) return {};
        if (pieceIs(text, colon + 2, "identische Punkte")) {
            // "(Anzahl: 0)": two parts without common points are no finding at all.
            if (colon + 29 < text.size() && text[colon + 29] == '0') return {std::nullopt, false};
            return {Finding::IdenticalPointsOfTwoParts, true};
        }
        if (pieceIs(text, colon + 2, "überlagern sich")) return {Finding::SelfOverlappingParts, false};
        return {};
    }
    if (text::startsWithIgnoreCase(text, "Polygon-Part")) {
        const auto colon = text.find(':');
        if (colon == std::string_view::npos) return {};
        for (const auto& k : kPartKeywords) {
            if (pieceIs(text, colon + 2, k.phrase)) return {k.finding, true};
        }
    }
    return {};
}

std::vector<std::string> ActionCounters::summaryLines(bool deletePointsOnLine) const {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < kFindingCount; ++i) {
        if (static_cast<Finding>(i) == Finding::PointsOnLine && !deletePointsOnLine) continue;
        lines.push_back(counts_[i] > 0 ? std::to_string(counts_[i]) + " " + std::string(kSummary[i].some)
                                       : std::string(kSummary[i].none));
    }
    return lines;
}

std::vector<std::string> settingsBlock(const RunOptions& o, const RunSettings& s) {
    return {
        "Sie haben folgende Einstellungen vorgenommen:",
        "Prüfgenauigkeit: " + o.granularity + " Dezimalstellen",
        "Grenzwert für identische Punkte: " + o.identicalPointThreshold,
        std::string("zusätzlich überflüssige Punkte auf einer Geraden löschen: ") + yesNo(o.deletePointsOnLine),
        "Toleranz für Splitterflächen aus Selbstüberschneidung: " + o.splitterTolerance,
        std::string("zusätzlich Splitterflächen löschen: ") + yesNo(o.deleteSplitterArea),
        std::string("Shapefiles erzeugen, auch wenn Shapefilename mehr als die empfohlenen 8 Zeichen enthalten: ") +
            yesNo(s.ignoreLongFileNames),
        std::string("Bereits bestehende korrigierte Shapefiles (Endung _x.shp...) überschreiben: ") +
            yesNo(s.overwriteExistingShapeFiles),
        std::string("Korrigierte Shapefiles in Quellverzeichnis erzeugen: ") + yesNo(s.putResultInSourceFolder),
        std::string("ID -falls vorhanden- in Log-Datei: ") + yesNo(o.useId),
        // The "nein" of this line has two blanks before it, as the log always had.
        o.onlyErrorObjects ? std::string("Nur fehlerhafte Objekte in Log-Datei eintragen: ja")
                           : std::string("Nur fehlerhafte Objekte in Log-Datei eintragen:  nein"),
    };
}

}  // namespace plyvet
