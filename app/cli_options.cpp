#include "app/cli_options.h"

#include "pipeline/text.h"

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

namespace plyvet::app {

std::string usageText() {
    return "Aufruf:\n"
           "  plyvet correct [Optionen] DATEI.shp...   Polygon-Shapefiles prüfen und korrigiert kopieren\n"
           "  plyvet identical [Optionen] DATEI.shp... identische Polygone löschen (Ausgabe <Name>i)\n"
           "  plyvet overlaps [Optionen] DATEI.shp...  sich überlappende Polygone ermitteln\n"
           "  plyvet merge DATEI.shp... --output AUSGABE.shp\n"
           "                                           Shapefiles gleicher Struktur zusammenführen\n"
           "  plyvet --help                            diese Hilfe\n"
           "  plyvet --version                         Programm- und Bibliotheksversion\n"
           "\n"
           "Optionen von correct:\n"
           "  --output VERZ          Ausgabeverzeichnis der korrigierten Shapefiles (<Name>_x)\n"
           "  --in-source-folder     korrigierte Shapefiles im Quellverzeichnis erzeugen\n"
           "  --overwrite            bestehende korrigierte Shapefiles ohne Rückfrage überschreiben\n"
           "  --keep-long-names      Shapefilenamen mit mehr als 8 Zeichen beibehalten\n"
           "  --use-id               Feld ID bzw. OBNR (falls vorhanden) statt FID in der Log-Datei\n"
           "  --on-unsolvable skip|stop\n"
           "                         bei nicht auflösbarem Problem: Shape nicht exportieren (skip,\n"
           "                         Standard) oder die Bearbeitung des Shapefiles abbrechen (stop)\n"
           "  --granularity N        Prüfgenauigkeit in Dezimalstellen (Standard 3)\n"
           "  --threshold X          Punkte gelten als identisch bei einer Distanz kleiner X\n"
           "                         (Standard 0.001)\n"
           "  --sliver-tolerance X   Toleranz für Splitterflächen (Standard 0.01; 0 schaltet das\n"
           "                         Löschen von Splitterflächen aus)\n"
           "  --no-sliver-removal    Splitterflächen nicht löschen\n"
           "  --delete-points-on-line\n"
           "                         Zwischenpunkte auf einer Geraden löschen\n"
           "  --only-errors          nur Objekte mit Fehlern in die Log-Datei schreiben\n"
           "  --rename ALT=NEU       neuer Name für ein Feld mit mehr als 10 Zeichen (mehrfach)\n"
           "  --code-page header|ansi|oem\n"
           "                         Codepage der Attributtabelle: aus dem Header (Standard),\n"
           "                         ANSI (1252) oder OEM (850)\n"
           "  --report DATEI.html    Bericht mit Abbildungen der geänderten und nicht\n"
           "                         exportierten Polygone erzeugen\n"
           "  --report-limit N       höchstens N Abbildungen je Shapefile im Bericht (Standard 500)\n"
           "\n"
           "Optionen von identical: --output VERZ oder --in-source-folder, --overwrite,\n"
           "  --keep-long-names, --use-id, --code-page, --rename wie bei correct;\n"
           "  --tolerance X          Überlappungstoleranz in m² (Standard 0.1): gemeldet werden\n"
           "                         identische Polygone mit größerer Fläche\n"
           "Optionen von overlaps: --keep-long-names, --use-id, --granularity N (Rundung der\n"
           "  Überlappungsflächen), --tolerance X (Standard 0.1)\n"
           "Optionen von merge: --output AUSGABE.shp (Pflicht), --overwrite (bestehende Ausgabe\n"
           "  ersetzen). Jedes Shapefile braucht eine Projektionsdatei (.prj).\n"
           "Prüfprotokolle: <Name>_i.log (identical), <Name>_ü.log (overlaps), <Ausgabe>_m.log (merge).\n"
           "\n"
           "Die Quelldateien werden nie verändert. Das Prüfprotokoll <Name>_k.log entsteht neben\n"
           "dem Quell-Shapefile, plyvet.log im Programmverzeichnis (PLYVET_HOME).\n"
           "Rückgabewert: 0 alle Dateien korrigiert, 1 eine Datei fehlgeschlagen oder abgebrochen,\n"
           "2 Aufruffehler.\n";
}

namespace {

bool takeValue(const std::vector<std::string>& args, std::size_t& i, std::string& value, CommandLine& cl) {
    const std::string& arg = args[i];
    if (const auto eq = arg.find('='); eq != std::string::npos) {
        value = arg.substr(eq + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        cl.error = "Option " + arg + " erwartet einen Wert.";
        return false;
    }
    value = args[++i];
    return true;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    // The command line writes numbers with a decimal point.
    cl.options.decimalSeparator = '.';
    cl.options.identicalPointThreshold = "0.001";
    cl.options.splitterTolerance = "0.01";
    // The options given count as the confirmed settings dialog.
    cl.settings.settingsConfirmed = true;

    if (args.empty()) return cl;
    std::size_t i = 0;
    const std::string& first = args[0];
    if (first == "--help" || first == "-h") {
        cl.command = Command::Help;
        return cl;
    }
    if (first == "--version") {
        cl.command = Command::Version;
        return cl;
    }
    if (first == "correct") {
        cl.command = Command::Correct;
    } else if (first == "identical") {
        cl.command = Command::Identical;
    } else if (first == "overlaps") {
        cl.command = Command::Overlaps;
    } else if (first == "merge") {
        cl.command = Command::Merge;
    } else {
        cl.error = "Unbekannter Befehl: " + first;
        return cl;
    }
    std::set<std::string> given;
    bool haveOutput = false;
    bool endOfOptions = false;
    for (i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string name = arg.substr(0, arg.find('='));
        if (endOfOptions || arg.empty() || arg[0] != '-') {
            cl.files.push_back(arg);
            continue;
        }
        std::string value;
        if (arg != "--") given.insert(name);
        if (arg == "--") {
            endOfOptions = true;
        } else if (arg == "--help" || arg == "-h") {
            cl.command = Command::Help;
            return cl;
        } else if (name == "--output") {
            if (!takeValue(args, i, value, cl)) return cl;
            if (value.empty()) {
                cl.error = "--output erwartet ein Verzeichnis.";
                return cl;
            }
            // An absolute path, so every message and log line says where the output went.
            std::error_code ec;
            const auto absolute = std::filesystem::absolute(value, ec);
            (cl.command == Command::Merge ? cl.mergeOutput : cl.options.outputFolder) =
                ec ? value : absolute.lexically_normal().string();
            haveOutput = true;
        } else if (arg == "--in-source-folder") {
            cl.settings.putResultInSourceFolder = true;
        } else if (arg == "--overwrite") {
            cl.settings.overwriteExistingShapeFiles = true;
        } else if (arg == "--keep-long-names") {
            cl.settings.ignoreLongFileNames = true;
        } else if (arg == "--use-id") {
            cl.options.useId = true;
        } else if (name == "--on-unsolvable") {
            if (!takeValue(args, i, value, cl)) return cl;
            if (value == "skip") {
                cl.options.onUnsolvable = OnUnsolvable::SkipShape;
            } else if (value == "stop") {
                cl.options.onUnsolvable = OnUnsolvable::StopFile;
            } else {
                cl.error = "--on-unsolvable erwartet skip oder stop, nicht " + value + ".";
                return cl;
            }
        } else if (name == "--granularity") {
            if (!takeValue(args, i, value, cl)) return cl;
            const auto n = text::parseInteger(value);
            if (!n || *n < 0 || *n > 18) {
                cl.error = "--granularity erwartet eine ganze Zahl von 0 bis 18, nicht " + value + ".";
                return cl;
            }
            cl.options.granularity = std::to_string(*n);
        } else if (name == "--threshold") {
            if (!takeValue(args, i, value, cl)) return cl;
            const auto x = text::parseNumber(value, '.');
            if (!x || *x < 0 || !std::isfinite(*x)) {
                cl.error = "--threshold erwartet eine Zahl ab 0 mit Dezimalpunkt, nicht " + value + ".";
                return cl;
            }
            cl.options.identicalPointThreshold = value;
        } else if (name == "--sliver-tolerance") {
            if (!takeValue(args, i, value, cl)) return cl;
            const auto x = text::parseNumber(value, '.');
            if (!x || *x < 0 || !std::isfinite(*x)) {
                cl.error = "--sliver-tolerance erwartet eine Zahl ab 0 mit Dezimalpunkt, nicht " + value + ".";
                return cl;
            }
            cl.options.splitterTolerance = value;
            if (*x == 0) cl.options.deleteSplitterArea = false;
        } else if (name == "--tolerance") {
            if (!takeValue(args, i, value, cl)) return cl;
            const auto x = text::parseNumber(value, '.');
            if (!x || *x < 0 || !std::isfinite(*x)) {
                cl.error = "--tolerance erwartet eine Zahl ab 0 mit Dezimalpunkt, nicht " + value + ".";
                return cl;
            }
            cl.tolerance = value;
        } else if (arg == "--no-sliver-removal") {
            cl.options.deleteSplitterArea = false;
        } else if (arg == "--delete-points-on-line") {
            cl.options.deletePointsOnLine = true;
        } else if (arg == "--only-errors") {
            cl.options.onlyErrorObjects = true;
        } else if (name == "--rename") {
            if (!takeValue(args, i, value, cl)) return cl;
            const auto eq = value.find('=');
            if (eq == std::string::npos || eq == 0) {
                cl.error = "--rename erwartet ALT=NEU, nicht " + value + ".";
                return cl;
            }
            cl.renames.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        } else if (name == "--code-page") {
            if (!takeValue(args, i, value, cl)) return cl;
            if (text::equalsIgnoreCase(value, "header")) {
                cl.options.codePage = CodePageChoice::FromHeader;
            } else if (text::equalsIgnoreCase(value, "ansi")) {
                cl.options.codePage = CodePageChoice::Ansi;
            } else if (text::equalsIgnoreCase(value, "oem")) {
                cl.options.codePage = CodePageChoice::Oem;
            } else {
                cl.error = "--code-page erwartet header, ansi oder oem, nicht " + value + ".";
                return cl;
            }
        } else if (name == "--report") {
            if (!takeValue(args, i, value, cl)) return cl;
            // The extension keeps the report from ever replacing a shapefile or a log.
            const std::string ext = std::filesystem::path(value).extension().string();
            if (!text::equalsIgnoreCase(ext, ".html") && !text::equalsIgnoreCase(ext, ".htm")) {
                cl.error = "--report erwartet einen Dateinamen mit der Endung .html, nicht " + value + ".";
                return cl;
            }
            std::error_code ec;
            const auto absolute = std::filesystem::absolute(value, ec);
            cl.reportFile = ec ? value : absolute.lexically_normal().string();
        } else if (name == "--report-limit") {
            if (!takeValue(args, i, value, cl)) return cl;
            const auto n = text::parseInteger(value);
            if (!n || *n < 0 || *n > 1'000'000'000) {
                cl.error = "--report-limit erwartet eine ganze Zahl ab 0, nicht " + value + ".";
                return cl;
            }
            cl.reportLimit = static_cast<int>(*n);
        } else {
            cl.error = "Unbekannte Option: " + arg;
            return cl;
        }
    }
    // The layer commands take the options they have a use for.
    static const std::map<Command, std::set<std::string>> kLayerOptions = {
        {Command::Identical,
         {"--output", "--in-source-folder", "--overwrite", "--keep-long-names", "--use-id", "--code-page", "--rename",
          "--tolerance"}},
        {Command::Overlaps, {"--keep-long-names", "--use-id", "--tolerance", "--granularity"}},
        {Command::Merge, {"--output", "--overwrite"}},
    };
    if (cl.command != Command::Correct) {
        const auto& allowed = kLayerOptions.at(cl.command);
        for (const auto& option : given) {
            if (!allowed.contains(option)) {
                cl.error = "Option " + option + " gilt nicht für den Befehl " + first + ".";
                return cl;
            }
        }
    } else if (given.contains("--tolerance")) {
        cl.error = "Option --tolerance gilt nicht für den Befehl correct.";
        return cl;
    }
    if (cl.command == Command::Overlaps) {
        if (cl.files.empty()) cl.error = "Keine Shapefiles angegeben.";
        return cl;
    }
    if (cl.command == Command::Merge) {
        const std::string& out = cl.mergeOutput;
        if (cl.files.size() < 2) {
            cl.error = "Es wurde nur ein Shapefile ausgewählt. Für den Mergevorgang sind mindestens 2 Shapefiles nötig.";
        } else if (!haveOutput) {
            cl.error = "Bitte --output DATEI.shp für das gemergte Shapefile angeben.";
        } else if (out.size() < 5 || !text::equalsIgnoreCase(std::string_view(out).substr(out.size() - 4), ".shp")) {
            cl.error = "--output erwartet bei merge eine Datei mit der Endung .shp, nicht " + out + ".";
        }
        return cl;
    }
    if (cl.files.empty()) {
        cl.error = "Keine Shapefiles angegeben.";
    } else if (cl.reportLimit >= 0 && cl.reportFile.empty()) {
        cl.error = "--report-limit gilt nur zusammen mit --report.";
    } else if (haveOutput && cl.settings.putResultInSourceFolder) {
        cl.error = "--output und --in-source-folder schließen sich aus.";
    } else if (!haveOutput && !cl.settings.putResultInSourceFolder) {
        cl.error = "Bitte --output VERZ oder --in-source-folder angeben.";
    }
    return cl;
}

}  // namespace plyvet::app
