#include "pipeline/correction_run.h"

#include "pipeline/field_plan.h"
#include "pipeline/gis/runtime_error.h"
#include "pipeline/gis/shapefile.h"
#include "pipeline/output_target.h"
#include "pipeline/text.h"

#include <cmath>
#include <new>
#include <system_error>

namespace plyvet {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kRecommendedBaseNameLength = 8;
constexpr const char* kSeparatorLine = "**********************************************************";

std::string withTrailingSeparator(std::string folder) {
    if (folder.empty() || folder.back() != fs::path::preferred_separator) folder += fs::path::preferred_separator;
    return folder;
}

// Area as the run compares it: a value that cannot be computed counts as 0.
double areaOrZero(const gis::Polygon& polygon) {
    const double a = gis::area(polygon);
    return std::isfinite(a) ? a : 0.0;
}

}  // namespace

CorrectionRun::CorrectionRun(Ui& ui, RunSettings& settings, RunOptions& options, LogFile programLog)
    : ui_(ui), settings_(settings), options_(options), programLog_(std::move(programLog)) {}

void CorrectionRun::run(std::vector<std::string>& list) {
    ui_.setStatus("");
    if (list.empty()) {
        ui_.setStatus("Liste enthält keine Pfade.");
        return;
    }
    for (std::size_t i = list.size(); i-- > 0;) {
        programLog_.append(kSeparatorLine);
        const std::string entry = list[i];
        std::error_code ec;
        if (text::trim(entry).empty() || !fs::is_regular_file(fs::path(std::string(text::trim(entry))), ec)) {
            continue;
        }
        const bool ok = correctShapeFile(entry);
        if (!ok && !settings_.continueRun) break;
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    }
    ui_.setStatus("Korrektur Shapefile(s) erfolgreich beendet.");
}

bool CorrectionRun::correctShapeFile(std::string path) {
    results_.emplace_back();
    FileResult& result = results_.back();
    result.source = path;
    bool ok = false;
    try {
        ok = correct(path, result);
    } catch (const RuntimeError& e) {
        ui_.message({"Error " + std::to_string(e.number()) + " (" + e.description() +
                     ") in procedure CorrectShapeFile of Modul modCheckImportShapefile"});
    } catch (const std::bad_alloc&) {
        ui_.message({"Error 7 (Nicht genügend Speicher) in procedure CorrectShapeFile of Modul "
                     "modCheckImportShapefile"});
    } catch (const std::exception& e) {
        ui_.message({std::string("Error 51 (") + e.what() +
                     ") in procedure CorrectShapeFile of Modul modCheckImportShapefile"});
    }
    result.corrected = ok;
    ui_.setStep("");
    ui_.progressValue(0);
    return ok;
}

void CorrectionRun::showAndLog(const Message& message) {
    ui_.message(message);
    checkLog_.append(message.text);
}

bool CorrectionRun::prepareOutputFolder(fs::path& folder) {
    std::error_code ec;
    std::string chosen;
    if (settings_.putResultInSourceFolder) {
        chosen = sourceFolder_;
    } else if (text::trim(options_.outputFolder).empty()) {
        chosen = ui_.chooseOutputFolder();
        options_.outputFolder = chosen;
    } else {
        chosen = std::string(text::trim(options_.outputFolder));
        if (!fs::is_directory(chosen, ec)) {
            ui_.message({"Ausgabe-Verzeichnis " + chosen + " nicht vorhanden."});
            return false;
        }
    }
    if (chosen.empty()) {
        ui_.message({"Ziel-Verzeichnis für korrigierte Shapefiles wurde nicht ausgewählt."});
        return false;
    }
    if (!fs::is_directory(chosen, ec)) {
        showAndLog({"Verzeichnis " + chosen + " nicht vorhanden. Bitte überprüfen!"});
        return false;
    }
    if (const auto failure = connectFolder(chosen, true)) {
        showAndLog({connectionErrorText(*failure)});
        options_.outputFolder.clear();
        return false;
    }
    folder = chosen;
    return true;
}

bool CorrectionRun::correct(std::string& path, FileResult& result) {
    programLog_.append("Original-Shapefile: " + path);

    // The check log: the path without its last four characters (".shp"), then "_k.log".
    const std::string stem = path.size() >= 4 ? path.substr(0, path.size() - 4) : path;
    checkLog_ = LogFile(stem + "_k.log");
    if (!checkLog_.create()) {
        ui_.message({"Die Prüfprotokoll-Datei " + checkLog_.path().string() +
                         " kann nicht angelegt werden. Das Shapefile wird nicht bearbeitet.",
                     std::string(kDefaultTitle), Buttons::Ok, Icon::Critical});
        checkLog_ = LogFile();
        return false;
    }
    result.checkLog = checkLog_.path();

    path = std::string(text::trim(path));
    std::error_code ec;
    // A path relative to the working folder names its folder explicitly, so
    // every message and log line says where the file is.
    const fs::path sourcePath = fs::absolute(fs::path(path), ec).lexically_normal();
    sourceFolder_ = sourcePath.parent_path().string();
    const std::string fileName = sourcePath.filename().string();
    baseName_ = fileName.size() >= 4 ? fileName.substr(0, fileName.size() - 4) : fileName;

    if (!settings_.settingsConfirmed) {
        const bool confirmed = ui_.settingsDialog(settings_);
        settings_.settingsConfirmed = true;
        settings_.continueRun = confirmed;
        if (!confirmed) return false;
    }

    const std::size_t nameLength = text::charCount(baseName_);
    if (nameLength > kRecommendedBaseNameLength && !settings_.ignoreLongFileNames) {
        const std::string n = std::to_string(nameLength);
        const Answer answer = ui_.message({"Ausgangs-Shapefilename " + baseName_ + " zu lang (" + n +
                                               " Zeichen).\r\nEmpfohlen werden höchstens 8 Zeichen!\r\n"
                                               "Dateinamen trotzdem beibehalten und Programm fortführen?",
                                           "Dateinamen-Überprüfung", Buttons::YesNo, Icon::None, Answer::Yes});
        if (answer != Answer::Yes) {
            checkLog_.append("Shapefile-Name " + baseName_ + " zu lang (" + n +
                             " Zeichen).\r\nEs wird eine Länge von höchstens 8 Zeichen empfohlen. "
                             "Bitte vor erneutem Aufruf des Programms ändern.");
            settings_.continueRun = false;
            return false;
        }
    }

    fs::path outputFolder;
    if (!prepareOutputFolder(outputFolder)) return false;

    ui_.setStatus("Bitte warten. Überprüfung und Korrektur der ausgewählten Shapefiles.");

    if (!fs::is_directory(sourceFolder_, ec)) {
        showAndLog({"Shapefile " + sourceFolder_ + " nicht vorhanden!", "Dateinamen überprüfen.", Buttons::Ok,
                    Icon::Critical});
        return false;
    }
    if (const auto failure = connectFolder(sourceFolder_, false)) {
        showAndLog({connectionErrorText(*failure)});
        options_.outputFolder.clear();
        return false;
    }
    const std::string sourceShp =
        withTrailingSeparator(sourceFolder_) + baseName_ + ".shp";
    checkLog_.append("Shapefile " + sourceShp + " :");

    std::optional<gis::ShapefileReader> reader;
    try {
        reader.emplace(sourcePath);
    } catch (const RuntimeError& e) {
        showAndLog({"ExportToShape: Lesen aus Shapefile " + baseName_ + ".shp fehlgeschlagen. ( " +
                    e.description() + " )"});
        return false;
    }

    if (reader->shapeType() != gis::kShapeTypePolygon) {
        checkLog_.append("Shapefile " + baseName_ + ".shp ist kein Polygon-Shapefile. Vorgang wird abgebrochen.");
        ui_.message({"Shapefile " + baseName_ + ".shp ist kein Polygon-Shapefile. Vorgang wird abgebrochen."});
        return false;
    }
    const int recordCount = reader->recordCount();

    for (const auto& line : settingsBlock(options_, settings_)) checkLog_.append(line);

    // Field names longer than the limit need new names before an output can
    // be created; without an answer the file stops.
    if (const auto longNames = longFieldNames(reader->fields()); !longNames.empty()) {
        ui_.message({"Feldnamen dürfen nicht länger als 10 Zeichen sein. Bitte kürzen."});
        const std::string& name = longNames.front();
        ui_.message({"Shapefile: " + baseName_ + ".shp: Feldname " + name +
                     " wurde nicht geändert.\r\nBearbeitung des aktuellen Shapefiles wird deshalb abgebrochen."});
        checkLog_.append("Shapefile: " + baseName_ + ".shp: Feldname " + name +
                         " wurde nicht geändert. Programm wird deshalb abgebrochen.");
        return false;
    }
    const FieldPlan plan = planOutputFields(reader->fields(), reader->codePage(), options_.codePage, baseName_);
    for (const auto& line : plan.logLines) checkLog_.append(line);

    const auto outputName =
        chooseOutputName(outputFolder, baseName_, fs::path(stem), settings_, ui_);
    if (!outputName) return false;
    const fs::path outputBase = outputFolder / *outputName;

    std::optional<gis::ShapefileWriter> writer;
    try {
        writer.emplace(outputBase, plan.outputFields, plan.codePage);
    } catch (const RuntimeError& e) {
        checkLog_.append("ExportToShape: Selektierte Datei " + baseName_ +
                         "_x konnte nicht in Shapefile geschrieben werden.");
        ui_.message({"ExportToShape: Selektierte Datei " + baseName_ +
                     "_x konnte nicht in Shapefile geschrieben werden. ( " + e.description() + " )"});
        return false;
    }
    result.output = fs::path(outputBase.string() + ".shp");
    // The coordinate system travels with the geometry.
    const fs::path sourcePrj(stem + ".prj");
    if (fs::exists(sourcePrj, ec)) {
        fs::copy_file(sourcePrj, fs::path(outputBase.string() + ".prj"), fs::copy_options::overwrite_existing, ec);
        if (ec) checkLog_.append("Projektionsdatei " + sourcePrj.string() + " konnte nicht kopiert werden ( " +
                                 ec.message() + " )");
    }
    programLog_.append("Exportiertes Shapefile: " + withTrailingSeparator(outputFolder.string()) + *outputName);
    programLog_.append("Ergebnis der Überprüfung: " + checkLog_.path().string());

    counters_.reset();
    if (recordCount != 0) {
        ui_.setStatus("Bitte warten. Korrektur Selbstüberschneidung u. Laufrichtung " + baseName_ + ".shp.");
        ui_.progressRange(0, recordCount);
        ui_.progressValue(0);
        label_ = chooseObjectLabel(reader->fields(), options_.useId);
        if (!copyRecords(*reader, *writer, plan, result)) return false;
    }
    try {
        writer->close();
    } catch (const RuntimeError& e) {
        showAndLog({"Shapefile " + outputBase.string() + ".shp konnte nicht abgeschlossen werden. ( " +
                    e.description() + " )"});
        return false;
    }

    ui_.setStep("");
    ui_.setStatus("");
    ui_.progressValue(0);
    checkLog_.append("Shapefile " + sourceShp + ":");
    for (const auto& line : counters_.summaryLines(options_.deletePointsOnLine)) checkLog_.append(line);
    checkLog_.append("Shapefile wurde erfolgreich nach " + withTrailingSeparator(outputFolder.string()) +
                     *outputName + ".shp exportiert.");
    return true;
}

bool CorrectionRun::copyRecords(const gis::ShapefileReader& reader, gis::ShapefileWriter& writer,
                                const FieldPlan& plan, FileResult& result) {
    const int count = reader.recordCount();
    for (int record = 0; record < count; ++record) {
        ui_.pumpEvents();
        try {
            labelValue_ = objectLabelValue(label_, reader, record);
        } catch (const RuntimeError&) {
            labelValue_ = std::to_string(record);
        }
        ui_.progressValue(record + 1);
        ++result.recordsRead;
        switch (copyRecord(reader, writer, plan, record)) {
            case Verdict::Write: ++result.recordsWritten; break;
            case Verdict::Skip: break;
            case Verdict::Stop: return false;
        }
    }
    return true;
}

CorrectionRun::Verdict CorrectionRun::copyRecord(const gis::ShapefileReader& reader,
                                                 gis::ShapefileWriter& writer, const FieldPlan& plan,
                                                 int record) {
    std::optional<gis::Polygon> polygon;
    try {
        polygon = reader.polygon(record);
    } catch (const RuntimeError& e) {
        return unsolvable("( " + e.description() + " )");
    }
    if (!polygon) return unsolvable("( Shape weist Nullwert auf )");
    const double originalArea = areaOrZero(*polygon);

    // The cleaners work on `*polygon` here.

    const double finalArea = areaOrZero(*polygon);
    if (finalArea == 0.0) {
        // Nothing of the polygon is left to export; say so rather than drop it unseen.
        objectLine(" ( Fläche des Polygons ist 0, Polygon wurde nicht exportiert )");
        return Verdict::Skip;
    }
    if (finalArea != originalArea) {
        objectLine(" ( Flächenänderung gesamt: " + text::formatNumber(finalArea - originalArea) + " m² )");
    }

    const auto& fields = plan.outputFields;
    std::vector<std::optional<std::string>> values(fields.size());
    for (std::size_t f = 0; f < fields.size(); ++f) {
        std::string raw;
        try {
            raw = reader.rawValue(record, static_cast<int>(f));
        } catch (const RuntimeError& e) {
            return unsolvable("( " + e.description() + " )");
        }
        ConvertedValue converted = convertValue(raw, fields[f], plan.widened[f]);
        if (!converted.note.empty()) objectLine(" " + converted.note);
        if (converted.failed) {
            const std::string shown = text::decodeCodePage(text::trim(raw), reader.codePage());
            return unsolvable("( Wert " + shown + " kann nicht konvertiert werden )");
        }
        values[f] = std::move(converted.value);
    }
    try {
        writer.append(*polygon, values);
    } catch (const RuntimeError& e) {
        // A record that cannot be added means the output is not complete,
        // whatever the choice for unsolvable polygons.
        objectLine(" ( AddNew fehlgeschlagen )");
        objectLine(" ( " + e.description() + " )");
        checkLog_.append("Programm wurde deshalb abgebrochen.");
        return Verdict::Stop;
    }
    return Verdict::Write;
}

void CorrectionRun::actionTaken(std::string_view text) {
    const Classification c = classifyActionText(text);
    if (c.counted) counters_.add(*c.counted);
    if (c.written) objectLine(" ( " + std::string(text) + " )");
}

void CorrectionRun::objectLine(std::string_view suffix) {
    checkLog_.append(plyvet::objectLine(label_.name, labelValue_, suffix));
}

CorrectionRun::Verdict CorrectionRun::unsolvable(std::string_view description) {
    objectLine(" " + std::string(description));
    if (options_.onUnsolvable == OnUnsolvable::SkipShape) {
        objectLine(" wurde deshalb nicht exportiert.");
        return Verdict::Skip;
    }
    checkLog_.append("Programm wurde deshalb abgebrochen.");
    return Verdict::Stop;
}

}  // namespace plyvet
