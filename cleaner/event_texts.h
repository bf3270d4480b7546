#pragma once
// Every text the polygon cleaner reports or raises, side by side.
//
// The log handler classifies the event texts by key phrases ("Polygon-Part",
// "Polygon-Parts", the words after the first colon, "Laufrichtungskorrektur"),
// so the wording, blanks and punctuation are an interface. Part and vertex
// indices count from 0 and are plain integers; x, y and a arrive already in
// their message form (rounded where the caller says so, locale separator).

#include "pipeline/gis/runtime_error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plyvet::cleaner_texts {

using Index = std::size_t;

inline std::string n(Index value) { return std::to_string(value); }

inline std::string part(Index i) { return "Polygon-Part " + n(i); }

inline std::string xy(const std::string& x, const std::string& y) { return "X: " + x + ", Y: " + y; }

// --- header lines before the reports about one part ---------------------------
inline std::string headerSeparator() { return "----------"; }
inline std::string headerVertexCount(Index i, Index count) {
    return part(i) + ": " + n(count) + " Stützpunkt(e)";
}

// --- identical parts -----------------------------------------------------------
inline std::string sharedPoints(Index i, Index j, Index count) {
    return "Polygon-Parts " + n(i) + "," + n(j) + ": identische Punkte (Anzahl: " + n(count) + ") - kein Fehler";
}
inline std::string duplicatePartRemoved(Index j) { return part(j) + ": wurde eliminiert, da mehrfach vorhanden"; }

// --- vertex passes ---------------------------------------------------------------
inline std::string fewerThanThree(Index i) { return part(i) + ": weniger als 3 Stützpunkte"; }
inline std::string pointNotExported(Index i, Index k, const std::string& x, const std::string& y) {
    return part(i) + ": Punkt " + n(k) + " wird nicht exportiert " + xy(x, y);
}
inline std::string consecutiveIdentical(Index i) {
    return part(i) + ": direkt aufeinanderfolgende identische Stützpunkte";
}
inline std::string duplicateNotExported(Index i, Index k, const std::string& x, const std::string& y) {
    return part(i) + ": Duplikat (Punktnummer " + n(k) + ") wurde nicht exportiert " + xy(x, y);
}
inline std::string partDroppedAfterChange(Index i) {
    return part(i) + ": eliminiert, da nach Änderung weniger als 3 Punkte vorhanden";
}
inline std::string uturnOverlap(Index i) {
    return part(i) + ": teilweise Überlappung durch 180°-Richtungswechsel auf einer Geraden";
}
inline std::string middlePointNotExported(Index i, Index k, const std::string& x, const std::string& y) {
    return part(i) + ": Mittlerer Punkt (Punktnummer " + n(k) + ") wurde nicht exportiert " + xy(x, y);
}
inline std::string threePointsOnLine(Index i) { return part(i) + ": 3 Punkte liegen auf einer Geraden"; }

// --- self-tangency -----------------------------------------------------------------
inline std::string tangencyInPoint(Index i) {
    return part(i) + ": tangiert sich selbst in einem identischen Punkt und wird aufgetrennt";
}
inline std::string tangencyFirstPoint(Index i, Index k, const std::string& x, const std::string& y) {
    return part(i) + ": Erster Punkt (" + n(k) + ") " + xy(x, y);
}
inline std::string tangencySecondPoint(Index i, Index k, const std::string& x, const std::string& y) {
    return part(i) + ": Identischer Punkt (" + n(k) + ") " + xy(x, y);
}
inline std::string tangencyOnLine(Index i) { return part(i) + ": tangiert sich selbst auf einer Linie"; }
inline std::string tangencySplitPoint(Index i, Index k, const std::string& x, const std::string& y) {
    return part(i) + ": Mittlerer Punkt (Punktnummer " + n(k) + ") wurde aufgetrennt " + xy(x, y);
}

// --- validation --------------------------------------------------------------------
inline std::string selfCrossing(Index i) { return part(i) + ": schneidet sich selbst"; }
inline std::string crossingPoint(Index i, const std::string& x, const std::string& y) {
    return part(i) + ": Schnittpunkt " + xy(x, y);
}
inline std::string partsOverlap(Index i, Index j) {
    return "Polygon-Parts " + n(i) + "," + n(j) + ": überlagern sich.";
}
inline std::string sliverRemoved(Index i, const std::string& a) {
    return part(i) + " wurde eliminiert (Fläche: " + a + "m²)";
}
inline std::string orientationCorrected(Index i, bool positive) {
    return "Laufrichtungskorrektur bei Part " + n(i) + ": jetzt " + (positive ? "positiv" : "negativ");
}

// --- a pass that does not settle in six runs ---------------------------------------------
inline constexpr std::string_view kIdenticalPartsFailed =
    "Überprüfung und Löschen identischer Parts ist fehlgeschlagen.";
inline constexpr std::string_view kIdenticalPointsFailed =
    "Überprüfung und Löschen identischer direkt aufeinanderfolgender Punkte ist fehlgeschlagen.";
inline constexpr std::string_view kOverNextPointsFailed =
    "Überprüfung und Löschen identischer, nicht direkt aufeinander folgender Punkte ist fehlgeschlagen.";
inline constexpr std::string_view kTangencyInAnglesFailed =
    "Ermittlung und Korrektur von Selbst-Tangierungen in einem identischen Punkt ist fehlgeschlagen.";
inline constexpr std::string_view kTangencyInLineFailed =
    "Ermittlung und Korrektur von Selbst-Tangierungen auf einer Linie ist fehlgeschlagen.";
inline constexpr std::string_view kPointsOnLineFailed =
    "Löschen nicht notwendiger Punkte auf einer Geraden ist fehlgeschlagen.";

// --- raised errors: number and description together ----------------------------------------
inline constexpr std::string_view kSource = "PolygonCleaner";

inline constexpr std::int32_t kAreaNotComputable = kObjectErrorBase + 1;
inline constexpr std::int32_t kSelfCrossing = kObjectErrorBase + 2;
inline constexpr std::int32_t kPartsOverlap = kObjectErrorBase + 3;
inline constexpr std::int32_t kTooFewPoints = kObjectErrorBase + 4;
inline constexpr std::int32_t kOutdatedLibrary = kObjectErrorBase + 5;

inline RuntimeError areaNotComputable(Index i) {
    return RuntimeError(kAreaNotComputable, std::string(kSource),
                        "Fläche des Polygon-Parts " + n(i) + " kann nicht festgestellt werden.");
}
inline RuntimeError selfCrossingError(Index i) {
    return RuntimeError(kSelfCrossing, std::string(kSource), part(i) + " schneidet sich selbst");
}
inline RuntimeError partsOverlapError(Index i, Index j) {
    return RuntimeError(kPartsOverlap, std::string(kSource),
                        "Die Polygon-Parts " + n(i) + " und " + n(j) + " überlagern sich.");
}
inline RuntimeError tooFewPoints(Index i, Index count) {
    return RuntimeError(kTooFewPoints, std::string(kSource), part(i) + " besteht aus " + n(count) + " Punkten.");
}
inline RuntimeError outdatedLibrary(const std::string& versionText) {
    return RuntimeError(kOutdatedLibrary, std::string(kSource),
                        "Veraltete Version von Plyvet.dll (Version " + versionText + ")");
}
inline RuntimeError invalidPropertyValue() {
    return RuntimeError(err::kInvalidPropertyValue, std::string(kSource), "Ungültiger Eigenschaftswert");
}
// A failure of the helper library at creation, raised again under the cleaner's name.
inline RuntimeError creationFailed(const RuntimeError& trapped) {
    return RuntimeError(trapped.number(), trapped.source() + "." + std::string(kSource), trapped.description());
}

}  // namespace plyvet::cleaner_texts
