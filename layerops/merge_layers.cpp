#include "layerops/merge_layers.h"

#include "pipeline/export_preparation.h"
#include "pipeline/field_plan.h"
#include "pipeline/gis/runtime_error.h"
#include "pipeline/gis/shapefile.h"
#include "pipeline/output_target.h"
#include "pipeline/record_counts.h"
#include "pipeline/text.h"
#include "layerops/field_names.h"
#include "layerops/layer_walk.h"

#include <cctype>
#include <optional>
#include <system_error>

namespace plyvet::layerops {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSeparatorLine = "**********************************************************";
constexpr const char* kNullShape =
    ": Das Shapefeld im aktuellen Datensatz enthält wahrscheinlich einen Nullwert.\r\n"
    "Ursache: Shapefiles wurden vor Mergevorgang nicht korrigiert.";

// Folder (without separator) and dataset name (file name without its last four characters).
void splitPath(const std::string& path, std::string& folder, std::string& name) {
    std::error_code ec;
    const fs::path p = fs::absolute(fs::path(path), ec).lexically_normal();
    folder = p.parent_path().string();
    const std::string file = p.filename().string();
    name = file.size() >= 4 ? file.substr(0, file.size() - 4) : file;
}

bool existsEither(const fs::path& base, std::string_view lower, std::string_view upper) {
    std::error_code ec;
    return fs::exists(base.string() + std::string(lower), ec) || fs::exists(base.string() + std::string(upper), ec);
}

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    return fs::absolute(a, ec).lexically_normal() == fs::absolute(b, ec).lexically_normal();
}

std::string upperCodePage(std::string_view codePage) {
    std::string s(text::trim(codePage));
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

struct MergeLayers::Input {
    std::string path;
    std::string folder;
    std::string name;
    std::string shown;  // folder and name, as the log names the file
    std::optional<gis::ShapefileReader> reader;
    int records = 0;
};

MergeLayers::MergeLayers(Ui& ui, RunOptions& options, LogFile programLog)
    : ui_(ui), options_(options), programLog_(std::move(programLog)) {}

void MergeLayers::showAndLog(const std::string& text) {
    ui_.message({text});
    mergeLog_.append(text);
}

void MergeLayers::run(const std::vector<std::string>& list) {
    result_ = MergeResult{};
    ui_.setStatus("");
    programLog_.append(kSeparatorLine);
    programLog_.append("Original-Shapefiles:");
    if (list.empty()) {
        ui_.setStatus("Liste enthält keine Pfade.");
        return;
    }
    if (list.size() == 1) {
        ui_.setStatus("Es wurde nur ein Shapefile ausgewählt. Für den Mergevorgang sind mindestens 2 Shapefiles nötig.");
        return;
    }
    std::vector<std::string> paths;
    for (const std::string& entry : list) {
        const std::string path(text::trim(entry));
        std::error_code ec;
        if (path.empty() || !fs::is_regular_file(path, ec)) continue;
        programLog_.append(path);
        std::string folder;
        std::string name;
        splitPath(path, folder, name);
        if (name.empty() || std::toupper(static_cast<unsigned char>(name.back())) != 'X') {
            const Answer answer = ui_.message({"Shapefile " + name + ".shp endet nicht mit 'x' und wurde vermutlich "
                                                                     "noch nicht korrigiert. Wollen Sie trotzdem den "
                                                                     "Mergevorgang fortsetzen?",
                                               "Merge Layers", Buttons::YesNo, Icon::Critical, Answer::No});
            if (answer != Answer::Yes) return;
        }
        if (!existsEither(fs::path(folder) / name, ".prj", ".PRJ")) {
            ui_.message({"Layer " + name + ": Fehlender räumlicher Bezug. Dies kann zu unerwarteten Ergebnissen "
                                           "führen.\r\nBitte erzeugen Sie vor dem Mergevorgang eine Projektionsdatei (" +
                             name + ".prj).",
                         "Warnung", Buttons::Ok, Icon::Critical});
            return;
        }
        paths.push_back(path);
    }
    if (paths.empty()) {
        ui_.setStatus("Liste enthält keine Pfade.");
        return;
    }

    std::string answer = ui_.chooseSaveFile("Gemergte Shapefiles speichern unter ...", "Shapefiles (*.shp)");
    if (text::trim(answer).empty()) return;
    answer = std::string(text::trim(answer));
    // The dialog's default extension, for a name typed without it.
    if (answer.size() < 4 || !text::equalsIgnoreCase(std::string_view(answer).substr(answer.size() - 4), ".shp")) {
        answer += ".shp";
    }
    result_.output = answer;
    mergeLog_ = LogFile(answer.substr(0, answer.size() - 4) + "_m.log");
    if (!mergeLog_.create()) {
        ui_.message({"Die Prüfprotokoll-Datei " + mergeLog_.path().string() +
                         " kann nicht angelegt werden. Das Shapefile wird nicht bearbeitet.",
                     std::string(kDefaultTitle), Buttons::Ok, Icon::Critical});
        mergeLog_ = LogFile();
        return;
    }
    result_.mergeLog = mergeLog_.path();
    programLog_.append("Ausgabe-Shapefile: " + answer);
    programLog_.append("Merge-Protokoll: " + mergeLog_.path().string());
    ui_.setStatus("Bitte warten. Layer werden gemerget.");
    if (merge(paths, answer)) {
        ui_.setStatus("Shapefiles wurden erfolgreich gemerget.");
        mergeLog_.append("Shapefiles wurden erfolgreich gemerget unter " + answer + ".");
    }
}

bool MergeLayers::merge(const std::vector<std::string>& inputs, const std::string& outputPath) {
    result_.merged = false;
    result_.records = 0;
    result_.output = outputPath;
    const bool ok = guarded(ui_, "MergeLayers", "Modul modMergeLayers", [&] { return mergeInputs(inputs, outputPath); });
    std::string folder;
    std::string name;
    splitPath(outputPath, folder, name);
    std::error_code ec;
    for (const char* ending : {".sbn", ".sbx"}) fs::remove(fs::path(folder) / (name + ending), ec);
    ui_.setStatus("");
    ui_.progressValue(0);
    result_.merged = ok;
    return ok;
}

bool MergeLayers::mergeInputs(const std::vector<std::string>& paths, const std::string& outputPath) {
    ui_.setStatus("Bitte warten. Ausgewählte Shapefiles werden gemerget.");
    if (paths.empty()) return false;
    std::string outFolder;
    std::string outName;
    splitPath(outputPath, outFolder, outName);
    std::error_code ec;
    if (outFolder.empty() || !fs::is_directory(outFolder, ec)) {
        showAndLog("Ausgabe-Verzeichnis " + outFolder + " nicht vorhanden.");
        return false;
    }
    auto connect = [&](const std::string& folder, bool forOutput) {
        if (const auto failure = connectFolder(folder, forOutput)) {
            ui_.message({connectionErrorText(*failure)});
            showAndLog("Verbindung mit Verzeichnis " + folder + " fehlgeschlagen.");
            options_.outputFolder.clear();
            return false;
        }
        return true;
    };
    if (!connect(outFolder, true)) return false;
    const fs::path outBase = fs::path(outFolder) / outName;

    mergeLog_.append("Original-Shapefiles:");
    std::vector<Input> inputs(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        Input& in = inputs[i];
        in.path = std::string(text::trim(paths[i]));
        mergeLog_.append(in.path);
        splitPath(in.path, in.folder, in.name);
        in.shown = withTrailingSeparator(in.folder) + in.name;
        if (sameFile(fs::path(in.folder) / (in.name + ".shp"), fs::path(outBase.string() + ".shp"))) {
            showAndLog("Ausgabe-Shapefile " + outputPath +
                       " ist eines der zu mergenden Shapefiles. Bitte einen anderen Namen wählen.");
            return false;
        }
        if (!connect(in.folder, false)) return false;
        try {
            in.reader.emplace(fs::path(in.folder) / (in.name + ".shp"));
        } catch (const RuntimeError&) {
            showAndLog("GeoDataset " + in.shown + " konnte nicht erzeugt werden.");
            return false;
        }
        if (i > 0 && in.reader->shapeType() != inputs[i - 1].reader->shapeType()) {
            showAndLog("Unterschiedliche Shape-Typen (Punkte, Linien oder Polygone). Layer können nicht gemerget werden.");
            return false;
        }
        const RecordCountOutcome counts =
            checkRecordCounts(fs::path(in.folder) / in.name, in.reader->recordCount(), in.name);
        // An empty input agrees with itself; it adds no records.
        const bool empty = counts.actual == 0 && counts.target == 0 && counts.dbase == 0;
        if (!counts.proceed && !empty) {
            for (const auto& line : counts.logLines) mergeLog_.append(line);
            showAndLog("Unterschiedliche Anzahl von Datensätzen in dBaseFile " + in.shown + ".dbf\r\nShapefile " +
                       in.shown + ".shp");
            return false;
        }
        if (counts.truncated) {
            for (const auto& line : counts.logLines) mergeLog_.append(line);
        }
        in.records = counts.actual;
    }

    const Input& first = inputs.front();
    // The output is written through the shapefile writer, which writes polygons only.
    if (first.reader->shapeType() != gis::kShapeTypePolygon) {
        showAndLog("Shapefile " + first.name + ".shp ist kein Polygon-Shapefile. Vorgang wird abgebrochen.");
        return false;
    }
    const std::vector<gis::FieldDef>& firstFields = first.reader->fields();
    std::string prefix = first.shown + "," + first.shown;
    for (std::size_t i = 1; i < inputs.size(); ++i) {
        const Input& in = inputs[i];
        const std::vector<gis::FieldDef>& fields = in.reader->fields();
        prefix = in.shown + "," + first.shown;
        if (fields.size() != firstFields.size()) {
            showAndLog(prefix + ": Unterschiedliche Anzahl von Feldern zwischen den Shapefiles " + in.name + " (" +
                       std::to_string(fields.size()) + ") und " + first.name + " (" +
                       std::to_string(firstFields.size()) + ")");
            return false;
        }
        if (upperCodePage(in.reader->codePage()) != upperCodePage(first.reader->codePage())) {
            showAndLog(prefix + ": Unterschiedliche Codepages zwischen den Shapefiles " + in.name + " und " +
                       first.name);
            return false;
        }
        for (std::size_t f = 0; f < fields.size(); ++f) {
            const gis::FieldDef& a = fields[f];
            const gis::FieldDef& b = firstFields[f];
            const std::string pair = " der Felder " + a.name + " und " + b.name + " unterschiedlich.";
            if (a.type != b.type) {
                showAndLog(prefix + ": Feldtypen" + pair);
                return false;
            }
            if (a.length != b.length) {
                showAndLog(prefix + ": Feldlänge" + pair);
                return false;
            }
            if (a.precision != b.precision) {
                showAndLog(prefix + ": Anzahl der Stellen vor dem Komma" + pair);
                return false;
            }
            if (a.scale != b.scale) {
                showAndLog(prefix + ": Dezimalstellen" + pair);
                return false;
            }
        }
        // Values are copied by name: every field needs its namesake in the output.
        for (const gis::FieldDef& a : fields) {
            if (!first.reader->fieldIndex(a.name)) {
                showAndLog(prefix + ": Feldname " + a.name + " nicht vorhanden im Shapefile " + first.name + ".");
                return false;
            }
        }
    }

    for (const gis::FieldDef& f : firstFields) {
        if (text::charCount(f.name) > kMaxFieldNameChars) {
            showAndLog(prefix + ",Feldname " + f.name +
                       " länger als 10 Zeichen. Bitte zuerst 'Shapefile(s) korrigieren' ausführen.");
            return false;
        }
    }

    std::string error;
    int number = 0;
    if (!deleteShapefileFiles(outFolder, outName, error, number)) {
        if (number == err::kPermissionDenied) {
            error += "\r\nSie haben wahrscheinlich in einer Sitzung zweimal denselben Shapefile ausgewählt."
                     "\r\nAuf diesen können Sie erst wieder zugreifen, wenn Sie das Programm neu starten.";
        }
        ui_.message({error});
        mergeLog_.append(error);
        return false;
    }

    // Written under a temporary name and moved into place when closed, like
    // every export; `job` finishes it on every path.
    PreparedExport job;
    job.outputBase = outBase;
    const fs::path writingBase(outBase.string() + ".tmp");
    try {
        job.writer.emplace(writingBase, firstFields, first.reader->codePage());
        job.writingBase = writingBase;
    } catch (const RuntimeError&) {
        showAndLog("Daten konnten nicht in Shapefile " + outBase.string() + " geschrieben werden. Struktur überprüfen.");
        return false;
    }
    for (const char* ending : {".prj", ".PRJ"}) {
        const fs::path prj(fs::path(first.folder) / (first.name + ending));
        if (fs::exists(prj, ec)) {
            fs::copy_file(prj, fs::path(writingBase.string() + ".prj"), fs::copy_options::overwrite_existing, ec);
            break;
        }
    }

    int total = 0;
    for (const Input& in : inputs) total += in.records;
    ui_.progressRange(0, total);
    if (total == 0) {
        mergeLog_.append("Die ausgewählten Shapefiles enthalten keine Datensätze.");
        return false;
    }

    int progress = 0;
    for (const Input& in : inputs) {
        const gis::ShapefileReader& reader = *in.reader;
        // Output field of each input field, by name.
        std::vector<int> source(firstFields.size(), -1);
        for (std::size_t f = 0; f < reader.fields().size(); ++f) {
            if (const auto o = first.reader->fieldIndex(reader.fields()[f].name)) source[*o] = static_cast<int>(f);
        }
        for (int r = 0; r < in.records; ++r) {
            ui_.pumpEvents();
            ui_.progressValue(++progress);
            std::optional<gis::Polygon> polygon;
            try {
                polygon = reader.polygon(r);
            } catch (const RuntimeError&) {
                polygon.reset();
            }
            if (!polygon) mergeLog_.append("Shapefile " + in.path + kNullShape);
            std::vector<std::optional<std::string>> values(firstFields.size());
            for (std::size_t o = 0; o < firstFields.size(); ++o) {
                if (source[o] < 0) continue;
                const gis::FieldDef& from = reader.fields()[static_cast<std::size_t>(source[o])];
                std::string raw = reader.rawValue(r, source[o]);
                if (from.length == firstFields[o].length && from.type == firstFields[o].type) {
                    values[o] = std::move(raw);  // byte for byte, blanks of a null value included
                } else {
                    values[o] = convertValue(raw, firstFields[o], false).value;
                }
            }
            try {
                job.writer->append(polygon ? *polygon : gis::Polygon{}, values);
            } catch (const RuntimeError& e) {
                showAndLog("Shapefile " + in.path + ": Datensatz " + std::to_string(r) +
                           " konnte nicht gespeichert werden. ( " + e.description() + " )");
                mergeLog_.append("Die Ausgabe " + outBase.string() +
                                 ".shp ist unvollständig, die Bearbeitung wurde abgebrochen.");
                return false;
            }
            ++result_.records;
        }
    }

    ui_.setStep("");
    ui_.progressValue(0);
    if (!finishExport(job, ui_, mergeLog_)) return false;
    for (const Input& in : inputs) {
        mergeLog_.append("Shapefile " + in.shown);
        mergeLog_.append("");
    }
    mergeLog_.append("Shapefiles wurden erfolgreich gemerget.");
    return true;
}

}  // namespace plyvet::layerops
