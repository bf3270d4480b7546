#include "pipeline/export_preparation.h"

#include "layerops/field_names.h"
#include "pipeline/error_database.h"
#include "pipeline/gis/runtime_error.h"
#include "pipeline/output_target.h"
#include "pipeline/record_counts.h"
#include "pipeline/text.h"

#include <system_error>

namespace plyvet {

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kRecommendedBaseNameLength = 8;
}  // namespace

std::string withTrailingSeparator(std::string folder) {
    if (folder.empty() || folder.back() != fs::path::preferred_separator) folder += fs::path::preferred_separator;
    return folder;
}

namespace {
// The .shp goes last: readers find a shapefile by it, so the triple appears
// under the output's name only once its companions are there.
constexpr const char* kShapefileEndings[] = {".shx", ".dbf", ".cpg", ".prj", ".shp"};

// Removes "<base>.*" of the shapefile endings; false when one of them stays.
bool removeAll(const fs::path& base) {
    bool all = true;
    for (const char* ending : kShapefileEndings) {
        std::error_code ec;
        fs::remove(fs::path(base.string() + ending), ec);
        all = all && !ec;
    }
    return all;
}

// The end of the message about files whose writing failed.
std::string dropped(const fs::path& base, bool removed) {
    return " Die unvollständigen Dateien " + base.string() + ".* " +
           (removed ? "wurden gelöscht." : "konnten nicht gelöscht werden.");
}
}  // namespace

PreparedExport::~PreparedExport() {
    try {
        finish();
    } catch (...) {
        // The caller that wanted to know called finish() itself.
    }
}

void PreparedExport::finish() {
    if (writingBase.empty()) return;
    const fs::path from = writingBase;
    writingBase.clear();
    // Files whose writing failed part-way are no triple a reader could
    // trust: they go, and never under the output's name.
    if (writer) {
        try {
            writer->close();
        } catch (const RuntimeError& e) {
            throw RuntimeError(e.number(), e.source(), e.description() + dropped(from, removeAll(from)));
        }
        if (writer->failed()) {
            throw RuntimeError(err::kGisFailure, "Shapefile",
                               "Beim Schreiben von " + from.string() + ".* ist ein Fehler aufgetreten." +
                                   dropped(from, removeAll(from)));
        }
        // A triple that lost one of its files while it was written (another
        // program, a cleanup of the folder) is no output.
        for (const char* ending : {".shp", ".shx", ".dbf"}) {
            const fs::path part(from.string() + ending);
            std::error_code ec;
            if (!fs::exists(part, ec)) {
                throw RuntimeError(err::kGisFailure, "Shapefile",
                                   "Die Datei " + part.string() + " ist nicht mehr vorhanden." +
                                       dropped(from, removeAll(from)));
            }
        }
    }
    for (const char* ending : kShapefileEndings) {
        const fs::path source(from.string() + ending);
        const fs::path target(outputBase.string() + ending);
        std::error_code ec;
        if (!fs::exists(source, ec)) {
            // A stale companion of an older output must not describe the new one.
            fs::remove(target, ec);
            continue;
        }
        fs::rename(source, target, ec);
        if (ec) {
            // Companions already moved would stand there without their .shp.
            const bool movedGone = removeAll(outputBase);
            const bool restGone = removeAll(from);
            throw RuntimeError(err::kPathFileAccess, "Shapefile",
                               "Die Datei " + source.string() + " kann nicht nach " + target.string() +
                                   " umbenannt werden (" + ec.message() + ")." +
                                   dropped(from, movedGone && restGone));
        }
    }
}

bool finishExport(PreparedExport& job, Ui& ui, const LogFile& log) {
    try {
        job.finish();
    } catch (const RuntimeError& e) {
        const std::string text = "Shapefile " + job.outputBase.string() + ".shp konnte nicht abgeschlossen werden. ( " +
                                 e.description() + " )";
        ui.message({text});
        log.append(text);
        return false;
    }
    return true;
}

SourceName splitSourcePath(std::string_view path) {
    std::error_code ec;
    SourceName name;
    name.path = fs::absolute(fs::path(std::string(text::trim(path))), ec).lexically_normal();
    name.folder = name.path.parent_path().string();
    const std::string fileName = name.path.filename().string();
    name.baseName = fileName.size() >= 4 ? fileName.substr(0, fileName.size() - 4) : fileName;
    return name;
}

bool createCheckLog(const std::string& path, std::string_view ending, LogFile& checkLog, Ui& ui) {
    const std::string stem = path.size() >= 4 ? path.substr(0, path.size() - 4) : path;
    checkLog = LogFile(stem + std::string(ending));
    if (checkLog.create()) return true;
    ui.message({"Die Prüfprotokoll-Datei " + checkLog.path().string() +
                    " kann nicht angelegt werden. Das Shapefile wird nicht bearbeitet.",
                std::string(kDefaultTitle), Buttons::Ok, Icon::Critical});
    checkLog = LogFile();
    return false;
}

bool acceptBaseName(const std::string& baseName, RunSettings& settings, Ui& ui, const LogFile& checkLog) {
    const std::size_t nameLength = text::charCount(baseName);
    if (nameLength <= kRecommendedBaseNameLength || settings.ignoreLongFileNames) return true;
    const std::string n = std::to_string(nameLength);
    const Answer answer = ui.message({"Ausgangs-Shapefilename " + baseName + " zu lang (" + n +
                                          " Zeichen).\r\nEmpfohlen werden höchstens 8 Zeichen!\r\n"
                                          "Dateinamen trotzdem beibehalten und Programm fortführen?",
                                      "Dateinamen-Überprüfung", Buttons::YesNo, Icon::None, Answer::Yes});
    if (answer == Answer::Yes) return true;
    checkLog.append("Shapefile-Name " + baseName + " zu lang (" + n +
                    " Zeichen).\r\nEs wird eine Länge von höchstens 8 Zeichen empfohlen. "
                    "Bitte vor erneutem Aufruf des Programms ändern.");
    settings.continueRun = false;
    return false;
}

ExportPreparation::ExportPreparation(Ui& ui, RunSettings& settings, RunOptions& options, const LogFile& programLog,
                                     ErrorDatabase* database)
    : ui_(ui), settings_(settings), options_(options), programLog_(programLog), database_(database) {}

void ExportPreparation::showAndLog(const Message& message, const LogFile& checkLog) {
    ui_.message(message);
    checkLog.append(message.text);
}

bool ExportPreparation::outputFolder(const std::string& sourceFolder, LogFile& checkLog, fs::path& folder) {
    std::error_code ec;
    std::string chosen;
    if (settings_.putResultInSourceFolder) {
        chosen = sourceFolder;
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
        showAndLog({"Verzeichnis " + chosen + " nicht vorhanden. Bitte überprüfen!"}, checkLog);
        return false;
    }
    if (const auto failure = connectFolder(chosen, true)) {
        showAndLog({connectionErrorText(*failure)}, checkLog);
        options_.outputFolder.clear();
        return false;
    }
    folder = chosen;
    return true;
}

bool ExportPreparation::prepare(std::string& path, const ExportKind& kind, LogFile& checkLog,
                                PreparedExport& out) {
    programLog_.append("Original-Shapefile: " + path);
    if (kind.recordInDatabase && database_ != nullptr && database_->isOpen()) {
        // The box has gone by when the run is over; the log keeps that the row is missing.
        if (!database_->insertShapeFileInfo({.quellpfad = path}, ui_)) {
            programLog_.append("Eintrag in die Fehlerdatenbank " + database_->path().string() + " fehlgeschlagen.");
        }
    }

    if (!createCheckLog(path, kind.checkLogEnding, checkLog, ui_)) return false;
    const std::string stem = path.size() >= 4 ? path.substr(0, path.size() - 4) : path;

    path = std::string(text::trim(path));
    const SourceName source = splitSourcePath(path);
    const fs::path& sourcePath = source.path;
    out.sourceFolder = source.folder;
    out.baseName = source.baseName;
    const std::string& baseName = out.baseName;
    std::error_code ec;

    if (kind.askSettings && !settings_.settingsConfirmed) {
        const bool confirmed = ui_.settingsDialog(settings_);
        settings_.settingsConfirmed = true;
        settings_.continueRun = confirmed;
        if (!confirmed) return false;
    }

    if (!acceptBaseName(baseName, settings_, ui_, checkLog)) {
        if (kind.recordInDatabase && database_ != nullptr && database_->isOpen()) {
            if (database_->insertShapeFileInfo({.quellpfad = baseName}, ui_)) {
                database_->insertErrorInfo(database_->lastShapeFileId(), "", "ShapeFileNameToLong",
                                           std::to_string(text::charCount(baseName)) +
                                               " Zeichen.Es wird eine Länge von höchstens 8 Zeichen empfohlen",
                                           ui_);
            }
        }
        return false;
    }

    if (!outputFolder(out.sourceFolder, checkLog, out.outputFolder)) return false;

    ui_.setStatus("Bitte warten. Überprüfung und Korrektur der ausgewählten Shapefiles.");

    if (!fs::is_directory(out.sourceFolder, ec)) {
        showAndLog({"Shapefile " + out.sourceFolder + " nicht vorhanden!", "Dateinamen überprüfen.", Buttons::Ok,
                    Icon::Critical},
                   checkLog);
        return false;
    }
    if (const auto failure = connectFolder(out.sourceFolder, false)) {
        showAndLog({connectionErrorText(*failure)}, checkLog);
        options_.outputFolder.clear();
        return false;
    }
    out.sourceShp = withTrailingSeparator(out.sourceFolder) + baseName + ".shp";
    checkLog.append("Shapefile " + out.sourceShp + " :");

    try {
        out.reader.emplace(sourcePath);
    } catch (const RuntimeError& e) {
        showAndLog({"ExportToShape: Lesen aus Shapefile " + baseName + ".shp fehlgeschlagen. ( " + e.description() +
                    " )"},
                   checkLog);
        return false;
    }
    const gis::ShapefileReader& reader = *out.reader;

    if (reader.shapeType() != gis::kShapeTypePolygon) {
        const std::string text = "Shapefile " + baseName + ".shp ist kein Polygon-Shapefile. Vorgang wird abgebrochen.";
        showAndLog({text}, checkLog);
        return false;
    }

    const RecordCountOutcome counts =
        checkRecordCounts(fs::path(out.sourceFolder) / baseName, reader.recordCount(), baseName);
    for (const auto& line : counts.logLines) checkLog.append(line);
    if (!counts.proceed) {
        ui_.message({"Shapefile " + baseName + ".shp: Die Anzahl der Datensätze von .shp, .shx und .dbf passt "
                     "nicht zusammen. Einzelheiten im Prüfprotokoll " + checkLog.path().string() + "."});
        return false;
    }
    out.recordCount = counts.actual;

    for (const auto& line : kind.headerLines) checkLog.append(line);

    // Field names longer than the limit need new names before an output can be created.
    const layerops::FieldNameOutcome names = layerops::renameLongFieldNames(
        reader.fields(), fieldNameCoding(reader.codePage(), options_.codePage), baseName, ui_);
    for (const auto& line : names.logLines) checkLog.append(line);
    if (!names.accepted) {
        ui_.setStatus("");
        return false;
    }
    out.plan = planOutputFields(reader.fields(), reader.codePage(), options_.codePage, baseName, names.newNames);
    for (const auto& line : out.plan.logLines) checkLog.append(line);
    const auto cannotWrite = [&](const std::string& why) {
        const std::string text = "ExportToShape: Selektierte Datei " + baseName + kind.outputEnding +
                                 " konnte nicht in Shapefile geschrieben werden.";
        checkLog.append(text);
        ui_.message({text + " ( " + why + " )"});
    };
    // Refused before an output name is chosen: an older output of that name
    // is not deleted for a file that cannot be written.
    if (!out.plan.refusal.empty()) {
        cannotWrite(out.plan.refusal);
        return false;
    }

    const auto outputName =
        chooseOutputName(out.outputFolder, baseName, kind.outputEnding, fs::path(stem), settings_, ui_);
    if (!outputName) return false;
    out.outputName = *outputName;
    out.outputBase = out.outputFolder / out.outputName;

    const fs::path writingBase(out.outputBase.string() + ".tmp");
    try {
        out.writer.emplace(writingBase, out.plan.outputFields, out.plan.codePage);
        out.writingBase = writingBase;
    } catch (const RuntimeError& e) {
        removeAll(writingBase);  // what the writer had begun before it gave up
        cannotWrite(e.description());
        return false;
    }
    // The coordinate system travels with the geometry.
    const fs::path sourcePrj(stem + ".prj");
    if (fs::exists(sourcePrj, ec)) {
        fs::copy_file(sourcePrj, fs::path(writingBase.string() + ".prj"), fs::copy_options::overwrite_existing, ec);
        if (ec) {
            checkLog.append("Projektionsdatei " + sourcePrj.string() + " konnte nicht kopiert werden ( " +
                            ec.message() + " )");
        }
    }
    programLog_.append("Exportiertes Shapefile: " + withTrailingSeparator(out.outputFolder.string()) +
                       out.outputName);
    programLog_.append("Ergebnis der Überprüfung: " + checkLog.path().string());
    return true;
}

}  // namespace plyvet
