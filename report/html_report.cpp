#include "report/html_report.h"

#include "report/html_text.h"
#include "report/picture.h"

#include <array>
#include <ctime>
#include <exception>
#include <system_error>
#include <unistd.h>

namespace plyvet::report {

namespace fs = std::filesystem;

namespace {

constexpr const char* kStyle = R"css(
body { font: 14px/1.4 "DejaVu Sans", Arial, sans-serif; color: #1c1c1c; margin: 1.5em 2em; background: #fff; }
h1 { font-size: 1.6em; margin: 0 0 0.2em; }
h2 { font-size: 1.25em; margin: 1.6em 0 0.4em; padding-top: 0.6em; border-top: 2px solid #1f4e8c; }
h3 { font-size: 1.05em; margin: 1.2em 0 0.4em; }
h4 { font-size: 1em; margin: 0 0 0.4em; }
code { font: 0.92em "DejaVu Sans Mono", monospace; overflow-wrap: anywhere; }
p.erstellt { color: #555; margin-top: 0; }
table { border-collapse: collapse; margin: 0.4em 0 0.8em; }
th, td { border: 1px solid #c8ccd2; padding: 0.2em 0.6em; text-align: left; vertical-align: top; }
thead th { background: #eef2f7; }
td.zahl { text-align: right; font-variant-numeric: tabular-nums; }
tr.null td { color: #777; }
.ok { color: #1b6e1b; font-weight: bold; }
.fehler { color: #b00000; font-weight: bold; }
ul.einstellungen { margin: 0.2em 0 0.8em; padding-left: 1.2em; color: #333; }
div.legende { display: flex; flex-wrap: wrap; gap: 0.4em 1.6em; align-items: center; margin: 0.6em 0 1em; }
div.legende span { display: inline-flex; align-items: center; gap: 0.4em; }
section.objekt { display: grid; grid-template-columns: auto auto minmax(18em, 1fr); gap: 0.4em 1em;
  border: 1px solid #d5d9de; border-radius: 4px; padding: 0.6em; margin: 0 0 0.8em; break-inside: avoid; }
section.objekt > h4 { grid-column: 1 / -1; }
figure { margin: 0; }
figcaption { font-size: 0.85em; color: #444; max-width: 220px; }
span.marke { font-size: 0.8em; font-weight: normal; border-radius: 3px; padding: 0.05em 0.4em; margin-left: 0.5em; }
.geaendert span.marke { background: #e2ecf8; color: #1f4e8c; }
.nicht-exportiert span.marke { background: #fbe3e3; color: #b00000; }
ol.log { margin: 0; padding-left: 1.6em; font: 0.85em/1.35 "DejaVu Sans Mono", monospace; overflow-wrap: anywhere; }
p.ausgelassen { background: #fff6d6; border: 1px solid #e5cf7a; padding: 0.4em 0.6em; }
svg .grund { fill: #fbfbf8; stroke: #c8ccd2; }
svg .flaeche { fill: #cfe0f3; }
svg .ring { fill: none; stroke-width: 1.4; stroke-linejoin: round; }
svg .ring.aussen { stroke: #1f4e8c; }
svg .ring.loch { stroke: #c25e00; stroke-dasharray: 4 2; }
svg .pfeil.aussen { fill: #1f4e8c; }
svg .pfeil.loch { fill: #c25e00; }
svg .pfeil.falsch { fill: #e00000; }
svg .punkt.aussen { fill: #1f4e8c; }
svg .punkt.loch { fill: #c25e00; }
svg .entfernt { fill: none; stroke: #d00000; stroke-width: 1.6; }
svg .schnitt { fill: none; stroke: #0a8a2a; stroke-width: 1.6; }
svg .leer { font: 13px "DejaVu Sans", Arial, sans-serif; fill: #777; }
)css";

// The symbols of the pictures, each in a small SVG of its own.
constexpr const char* kLegend =
    "<div class=\"legende\">"
    "<span><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"34\" height=\"16\" viewBox=\"0 0 34 16\">"
    "<path class=\"ring aussen\" d=\"M2,8L32,8\"/><path class=\"pfeil aussen\" d=\"M22,8L12,4L12,12Z\"/>"
    "</svg>Außenring oder Insel, Pfeil in Laufrichtung (richtig: im Uhrzeigersinn)</span>"
    "<span><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"34\" height=\"16\" viewBox=\"0 0 34 16\">"
    "<path class=\"ring loch\" d=\"M2,8L32,8\"/><path class=\"pfeil loch\" d=\"M22,8L12,4L12,12Z\"/>"
    "</svg>Loch (richtig: gegen den Uhrzeigersinn)</span>"
    "<span><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"34\" height=\"16\" viewBox=\"0 0 34 16\">"
    "<path class=\"ring aussen\" d=\"M2,8L32,8\"/><path class=\"pfeil falsch\" d=\"M22,8L12,4L12,12Z\"/>"
    "</svg>falsche Laufrichtung</span>"
    "<span><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 16 16\">"
    "<path class=\"entfernt\" d=\"M4,4L12,12M4,12L12,4\"/></svg>entfernter Punkt (Vorher)</span>"
    "<span><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 16 16\">"
    "<path class=\"schnitt\" d=\"M4.8,8a3.2,3.2 0 1,0 6.4,0a3.2,3.2 0 1,0 -6.4,0\"/></svg>"
    "neuer Punkt, z. B. Schnittpunkt (Nachher)</span>"
    "</div>\n";

std::string nowText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return {};
    std::array<char, 64> buffer{};
    const std::size_t n = std::strftime(buffer.data(), buffer.size(), "%d.%m.%Y um %H:%M Uhr", &local);
    return std::string(buffer.data(), n);
}

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string polygonFacts(const gis::Polygon& polygon) {
    return plural(polygon.parts.size(), "Part", "Parts") + ", " +
           plural(gis::pointCount(polygon), "Punkt", "Punkte") + ", Fläche " + number(gis::area(polygon)) + " m²";
}

std::string figure(const Picture& picture, const std::string& caption) {
    std::string out = "<figure>" + picture.svg + "<figcaption>" + escape(caption);
    if (picture.thinned) out += " (vereinfacht gezeichnet)";
    if (picture.marksLeftOut > 0) {
        out += " (" + std::to_string(picture.marksLeftOut) + " weitere Markierungen nicht gezeichnet)";
    }
    out += "</figcaption></figure>";
    return out;
}

std::string temporarySibling(const fs::path& file, const char* what) {
    return file.string() + "." + what + "-" + std::to_string(::getpid()) + ".tmp";
}

}  // namespace

const std::vector<std::string>& findingHeadings() {
    static const std::vector<std::string> headings{
        "identische Parts",
        "sich selbst überlagernde Parts",
        "identische Punkte zweier Parts (kein Fehler)",
        "direkt aufeinander folgende identische Punkte",
        "teilweise Überlappung durch 180°-Richtungswechsel auf einer Geraden",
        "Zwischenpunkte auf einer Geraden",
        "Selbst-Tangierung auf einer Linie",
        "Selbst-Tangierung in einem identischen Punkt",
        "fehlerhafte Laufrichtung",
        "Selbstüberschneidungen",
    };
    return headings;
}

HtmlReport::HtmlReport(fs::path file, ReportSettings settings) : file_(std::move(file)), settings_(std::move(settings)) {
    if (settings_.pictureLimit < 0) settings_.pictureLimit = 0;
}

HtmlReport::~HtmlReport() {
    if (!finished_) removeWorkingFiles();
}

void HtmlReport::removeWorkingFiles() noexcept {
    if (body_.is_open()) body_.close();
    std::error_code ec;
    if (!bodyPath_.empty()) fs::remove(bodyPath_, ec);
    if (!finalTemp_.empty()) fs::remove(finalTemp_, ec);
}

bool HtmlReport::open(std::string& error) {
    std::error_code ec;
    if (fs::is_directory(file_, ec)) {
        error = "Bericht " + file_.string() + " ist ein Verzeichnis.";
        return false;
    }
    bodyPath_ = temporarySibling(file_, "inhalt");
    finalTemp_ = temporarySibling(file_, "bericht");
    body_.open(bodyPath_, std::ios::binary | std::ios::trunc);
    if (!body_) {
        error = "Bericht " + file_.string() + " kann nicht angelegt werden.";
        bodyPath_.clear();
        return false;
    }
    opened_ = true;
    return true;
}

void HtmlReport::fail(const std::string& what) {
    if (error_.empty()) error_ = what;
    current_.reset();
}

void HtmlReport::fileStarted(const std::string& source) {
    if (!opened_ || !error_.empty()) return;
    try {
        current_.emplace(CurrentFile{});
        current_->source = source;
    } catch (const std::exception& e) {
        fail(std::string("Bericht: ") + e.what());
    }
}

void HtmlReport::record(const RecordReport& report) {
    if (!current_) return;
    const bool dropped = !report.after.has_value();
    // Polygons written as they were read need no picture, even when the log names them.
    if (!dropped && report.before == report.after) return;
    try {
        ++current_->reported;
        (dropped ? current_->dropped : current_->changed) += 1;
        if (current_->sections.size() < static_cast<std::size_t>(settings_.pictureLimit)) {
            current_->sections.push_back(polygonSection(report, files_.size() + 1));
        }
    } catch (const std::exception& e) {
        fail(std::string("Bericht: ") + e.what());
    }
}

std::string HtmlReport::polygonSection(const RecordReport& report, std::size_t fileIndex) const {
    const gis::Polygon* before = report.before ? &*report.before : nullptr;
    const gis::Polygon* after = report.after ? &*report.after : nullptr;
    const std::array<const gis::Polygon*, 2> both{before, after};
    const Frame frame = Frame::around(both);
    // A polygon that was not exported lost all its vertices at once; marking
    // each of them would only hide the shape.
    const VertexChanges changes = after != nullptr ? compareVertices(before, after) : VertexChanges{};

    const bool dropped = after == nullptr;
    std::string out = "<section class=\"objekt ";
    out += dropped ? "nicht-exportiert" : "geaendert";
    out += "\" id=\"d" + std::to_string(fileIndex) + "-o" + std::to_string(report.record) + "\">";
    out += "<h4>Polygon mit der " + escape(report.labelName) + " " + escape(report.labelValue);
    if (report.labelName != "FID") out += " (Datensatz " + std::to_string(report.record) + ")";
    out += "<span class=\"marke\">";
    out += dropped ? "nicht exportiert" : "geändert";
    out += "</span></h4>";

    std::string beforeCaption = "Vorher: ";
    beforeCaption += before != nullptr ? polygonFacts(*before) : "Geometrie nicht lesbar";
    if (!changes.removed.empty()) {
        beforeCaption += "; " + plural(changes.removed.size(), "entfernter Punkt", "entfernte Punkte");
    }
    out += figure(drawPolygon(before, frame, changes.removed, MarkKind::Removed, "Vorher", "keine Geometrie"),
                  beforeCaption);

    std::string afterCaption = "Nachher: ";
    afterCaption += after != nullptr ? polygonFacts(*after) : "nicht exportiert";
    if (!changes.added.empty()) afterCaption += "; " + plural(changes.added.size(), "neuer Punkt", "neue Punkte");
    out += figure(drawPolygon(after, frame, changes.added, MarkKind::Added, "Nachher", "nicht exportiert"),
                  afterCaption);

    out += "<ol class=\"log\">";
    const std::size_t shown = std::min(report.lines.size(), kLinesPerPolygon);
    for (std::size_t i = 0; i < shown; ++i) out += "<li>" + escape(report.lines[i]) + "</li>";
    if (report.lines.size() > shown) {
        out += "<li class=\"mehr\">… " + std::to_string(report.lines.size() - shown) +
               " weitere Zeilen im Prüfprotokoll</li>";
    }
    if (report.lines.empty()) out += "<li class=\"mehr\">keine Zeilen im Prüfprotokoll</li>";
    out += "</ol></section>\n";
    return out;
}

std::string HtmlReport::fileSection(const FileResult& result, const ActionCounters& counters,
                                    const FileSummary& summary) const {
    std::string out = "<section class=\"datei\" id=\"" + summary.anchor + "\">\n";
    out += "<h2>Shapefile <code>" + escape(result.source) + "</code></h2>\n";
    if (result.corrected) {
        out += "<p><span class=\"ok\">korrigiert</span> nach <code>" + escape(result.output.string()) + "</code></p>\n";
    } else {
        out += "<p><span class=\"fehler\">nicht oder nicht vollständig korrigiert</span>";
        if (!result.output.empty()) out += " – Ausgabe <code>" + escape(result.output.string()) + "</code>";
        out += "</p>\n";
    }
    if (!result.checkLog.empty()) {
        out += "<p>Prüfprotokoll: <code>" + escape(result.checkLog.string()) + "</code></p>\n";
    }

    out += "<table class=\"datensaetze\"><tbody>";
    out += "<tr><th>Datensätze gelesen</th><td class=\"zahl\" data-wert=\"gelesen\">" + std::to_string(result.recordsRead) + "</td></tr>";
    out += "<tr><th>geschrieben</th><td class=\"zahl\" data-wert=\"geschrieben\">" + std::to_string(result.recordsWritten) + "</td></tr>";
    out += "<tr><th>nicht exportiert</th><td class=\"zahl\" data-wert=\"nicht-exportiert\">" +
           std::to_string(result.recordsRead - result.recordsWritten) + "</td></tr>";
    out += "</tbody></table>\n";

    out += "<table class=\"befunde\"><thead><tr><th>Befund</th><th>Anzahl</th></tr></thead><tbody>";
    const auto& headings = findingHeadings();
    for (std::size_t i = 0; i < kFindingCount; ++i) {
        const auto finding = static_cast<Finding>(i);
        const std::uint32_t n = counters.count(finding);
        const bool unchecked = finding == Finding::PointsOnLine && !settings_.pointsOnLineChecked;
        out += n == 0 ? "<tr class=\"null\">" : "<tr>";
        out += "<td>" + escape(headings[i]) + "</td><td class=\"zahl\" data-befund=\"" + std::to_string(i) + "\">";
        out += unchecked ? "nicht geprüft" : std::to_string(n);
        out += "</td></tr>";
    }
    out += "</tbody></table>\n";
    if (!result.corrected) {
        out += "<p>Die Bearbeitung wurde nicht abgeschlossen; die Zahlen gelten bis zum Abbruch, "
               "das Prüfprotokoll enthält keine Zusammenfassung.</p>\n";
    }

    out += "<h3>Geänderte und nicht exportierte Polygone: " + std::to_string(summary.reported) + "</h3>\n";
    if (summary.reported == 0) out += "<p>Keine.</p>\n";
    return out;
}

void HtmlReport::fileFinished(const FileResult& result, const ActionCounters& counters) {
    if (!current_) return;
    try {
        FileSummary summary;
        summary.source = result.source;
        summary.anchor = "datei-" + std::to_string(files_.size() + 1);
        summary.corrected = result.corrected;
        summary.read = result.recordsRead;
        summary.written = result.recordsWritten;
        summary.reported = current_->reported;
        summary.pictured = current_->sections.size();

        body_ << fileSection(result, counters, summary);
        for (const auto& section : current_->sections) body_ << section;
        if (summary.reported > summary.pictured) {
            const std::size_t left = summary.reported - summary.pictured;
            body_ << "<p class=\"ausgelassen\" data-ausgelassen=\"" << left << "\">"
                  << (left == 1 ? "Ein weiteres geändertes oder nicht exportiertes Polygon ist"
                                : "Weitere " + std::to_string(left) +
                                      " geänderte oder nicht exportierte Polygone sind")
                  << " nicht abgebildet (höchstens " << settings_.pictureLimit
                  << " Abbildungen je Shapefile). Ihre Einträge stehen im Prüfprotokoll.</p>\n";
        }
        body_ << "</section>\n";
        if (!body_) throw std::runtime_error("Schreiben in " + bodyPath_.string() + " fehlgeschlagen");
        files_.push_back(std::move(summary));
        current_.reset();
    } catch (const std::exception& e) {
        fail(std::string("Bericht: ") + e.what());
    }
}

bool HtmlReport::finish(std::string& error) {
    if (!opened_) {
        error = "Bericht " + file_.string() + " wurde nicht angelegt.";
        return false;
    }
    if (finished_) return true;
    body_.close();
    if (error_.empty() && body_.fail()) error_ = "Bericht: Schreiben in " + bodyPath_.string() + " fehlgeschlagen";
    if (!error_.empty()) {
        error = error_;
        removeWorkingFiles();
        return false;
    }
    {
        std::ofstream out(finalTemp_, std::ios::binary | std::ios::trunc);
        out << "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\"/>\n"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n"
               "<title>Korrekturbericht Polyvet</title>\n<style>"
            << kStyle << "</style>\n</head>\n<body>\n<h1>Korrekturbericht</h1>\n";
        if (const std::string when = nowText(); !when.empty()) {
            out << "<p class=\"erstellt\">Polyvet, erstellt am " << escape(when) << "</p>\n";
        }
        out << "<h2>Übersicht</h2>\n";
        if (files_.empty()) {
            out << "<p>Es wurde kein Shapefile bearbeitet.</p>\n";
        } else {
            out << "<table class=\"uebersicht\"><thead><tr><th>Shapefile</th><th>Ergebnis</th>"
                   "<th>gelesen</th><th>geschrieben</th><th>nicht exportiert</th>"
                   "<th>geändert oder nicht exportiert</th><th>abgebildet</th></tr></thead><tbody>";
            for (const auto& f : files_) {
                out << "<tr><td><a href=\"#" << f.anchor << "\"><code>" << escape(f.source) << "</code></a></td>"
                    << (f.corrected ? "<td class=\"ok\">korrigiert</td>" : "<td class=\"fehler\">nicht korrigiert</td>")
                    << "<td class=\"zahl\">" << f.read << "</td><td class=\"zahl\">" << f.written
                    << "</td><td class=\"zahl\">" << (f.read - f.written) << "</td><td class=\"zahl\">" << f.reported
                    << "</td><td class=\"zahl\">" << f.pictured << "</td></tr>";
            }
            out << "</tbody></table>\n";
        }
        if (!settings_.settingsLines.empty()) {
            out << "<h3>Einstellungen</h3>\n<ul class=\"einstellungen\">";
            for (const auto& line : settings_.settingsLines) out << "<li>" << escape(line) << "</li>";
            out << "</ul>\n";
        }
        out << "<h3>Zeichenerklärung</h3>\n" << kLegend;
        {
            std::ifstream in(bodyPath_, std::ios::binary);
            if (!in) {
                error = "Bericht: " + bodyPath_.string() + " kann nicht gelesen werden.";
                removeWorkingFiles();
                return false;
            }
            if (in.peek() != std::ifstream::traits_type::eof()) out << in.rdbuf();
        }
        out << "</body>\n</html>\n";
        out.close();
        if (!out) {
            error = "Bericht " + finalTemp_.string() + " konnte nicht geschrieben werden.";
            removeWorkingFiles();
            return false;
        }
    }
    std::error_code ec;
    fs::rename(finalTemp_, file_, ec);
    if (ec) {
        error = "Bericht " + file_.string() + " konnte nicht geschrieben werden: " + ec.message();
        removeWorkingFiles();
        return false;
    }
    finished_ = true;
    fs::remove(bodyPath_, ec);
    return true;
}

}  // namespace plyvet::report
