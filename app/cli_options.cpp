#include "app/cli_options.h"

#include "pipeline/text.h"

#include <filesystem>

namespace plyvet::app {

std::string usageText() {
    return "Aufruf:\n"
           "  plyvet correct [Optionen] DATEI.shp...   Polygon-Shapefiles prüfen und korrigiert kopieren\n"
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
           "  --code-page header|ansi|oem\n"
           "                         Codepage der Attributtabelle: aus dem Header (Standard),\n"
           "                         ANSI (1252) oder OEM (850)\n"
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
    if (first != "correct") {
        cl.error = "Unbekannter Befehl: " + first;
        return cl;
    }
    cl.command = Command::Correct;
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
            cl.options.outputFolder = value;
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
        } else {
            cl.error = "Unbekannte Option: " + arg;
            return cl;
        }
    }
    if (cl.files.empty()) {
        cl.error = "Keine Shapefiles angegeben.";
    } else if (haveOutput && cl.settings.putResultInSourceFolder) {
        cl.error = "--output und --in-source-folder schließen sich aus.";
    } else if (!haveOutput && !cl.settings.putResultInSourceFolder) {
        cl.error = "Bitte --output VERZ oder --in-source-folder angeben.";
    }
    return cl;
}

}  // namespace plyvet::app
