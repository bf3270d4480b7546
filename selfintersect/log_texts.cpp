#include "selfintersect/log_texts.h"

#include "pipeline/gis/number_text.h"

namespace plyvet::selfintersect {

std::string partAreaUnknownDescription(std::size_t part) {
    return "Fläche des Polygon-Parts " + std::to_string(part) + " kann nicht festgestellt werden";
}

std::string outdatedLibraryDescription(std::string_view versionText) {
    return "Veraltete Version von Plyvet.dll (Version " + std::string(versionText) + ")";
}

std::string invalidPropertyValueDescription() { return "Unzulässiger Eigenschaftswert"; }

std::string crossingSearchFailedDescription(std::size_t part, std::int32_t code) {
    return "Kreuzungssuche in Polygon-Part " + std::to_string(part) +
           " fehlgeschlagen (Ergebnis " + std::to_string(code) + ")";
}

std::string LogTexts::number(double value) const { return gis::formatNumber(value, separator_); }

std::string LogTexts::partLead(std::size_t part) {
    return " ( Polygon-Part " + std::to_string(part) + ": ";
}

std::string LogTexts::objectPrefix(std::string_view labelName, std::string_view labelValue) const {
    std::string prefix = "Polygon mit der ";
    prefix += labelName;
    prefix += ' ';
    prefix += labelValue;
    return prefix;
}

std::string LogTexts::headerRule() const { return " ( ---------- )"; }

std::string LogTexts::headerPointCount(std::size_t part, std::size_t points) const {
    return partLead(part) + std::to_string(points) + " Stützpunkt(e) )";
}

std::string LogTexts::fewerThanThreePoints(std::size_t part) const {
    return partLead(part) + "weniger als 3 Stützpunkte )";
}

std::string LogTexts::pointNotExported(std::size_t part, double x, double y) const {
    return partLead(part) + "Punkt wird nicht exportiert X: " + number(x) + ", Y: " + number(y) +
           " )";
}

std::string LogTexts::consecutiveDuplicate(std::size_t part) const {
    return partLead(part) + "direkt aufeinanderfolgende identische Stützpunkte )";
}

std::string LogTexts::duplicateNotExported(std::size_t part, double x, double y) const {
    return partLead(part) + "Duplikat wurde nicht exportiert X: " + number(x) + ", Y: " +
           number(y) + " )";
}

std::string LogTexts::repeatedVertex(std::size_t part) const {
    return partLead(part) + "nicht direkt aufeinanderfolgende identische Stützpunkte )";
}

std::string LogTexts::repeatedVertexCoordinates(std::size_t part, double x, double y) const {
    return partLead(part) + "Punktkoordinaten X: " + number(x) + ", Y: " + number(y) + " )";
}

std::string LogTexts::subAreaCannotBeBuilt(std::size_t part) const {
    return partLead(part) + "Teilfläche kann nicht gebildet werden. )";
}

std::string LogTexts::subAreaCouldNotBeBuilt(std::size_t part) const {
    return partLead(part) + "Teilfläche konnte nicht gebildet werden. )";
}

std::string LogTexts::candidateSubArea(std::size_t part, double area) const {
    return partLead(part) + "Ausgangs-Teilfläche: " + number(area) + " )";
}

std::string LogTexts::keptSubArea(std::size_t part, double area) const {
    return partLead(part) + "Übernommene Teil-Fläche: " + number(area) + " )";
}

std::string LogTexts::droppedSubArea(std::size_t part, double area) const {
    return partLead(part) + "Nicht übernommene Teil-Fläche: " + number(area) + " )";
}

std::string LogTexts::returnedArea(double area) const {
    return " ( Zurückgegebene Fläche: " + number(area) + " )";
}

// No blank before the closing parenthesis: the log format has it so.
std::string LogTexts::collinearOverlap(std::size_t part) const {
    return partLead(part) + "linienhafte Selbstüberlagerung innerhalb eines Parts)";
}

std::string LogTexts::overlapMidpoint(std::size_t part, double x, double y) const {
    return partLead(part) + "Geraden-Mittelpunkt X " + number(x) + ", Y " + number(y) + " )";
}

}  // namespace plyvet::selfintersect
