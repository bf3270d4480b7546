#include "layerops/identical_polygons.h"

#include "pipeline/field_plan.h"
#include "pipeline/gis/geos_ops.h"
#include "pipeline/gis/runtime_error.h"
#include "pipeline/object_label.h"
#include "pipeline/output_target.h"
#include "pipeline/text.h"

namespace plyvet::layerops {

namespace {
constexpr const char* kProcedure = "DeleteIdenticalPols";
constexpr const char* kWhere = "Formular frmDummy";
}  // namespace

IdenticalPolygons::IdenticalPolygons(Ui& ui, RunSettings& settings, RunOptions& options, LogFile programLog,
                                     std::string tolerance)
    : ui_(ui), settings_(settings), options_(options), programLog_(std::move(programLog)),
      toleranceText_(std::move(tolerance)) {}

bool IdenticalPolygons::run(std::vector<std::string>& list) {
    settings_.continueRun = true;  // a refusal in an earlier run stopped that run only
    return walkList(list, ui_, programLog_, settings_, true,
                    [this](const std::string& path) { return DeleteIdenticalPols(path); });
}

bool IdenticalPolygons::DeleteIdenticalPols(std::string path) {
    results_.emplace_back();
    LayerFileResult& result = results_.back();
    result.source = path;
    checkLog_ = LogFile();
    PreparedExport job;
    const bool ok = guarded(ui_, kProcedure, kWhere, [&] { return deleteIdentical(path, job, result); });
    if (!ok && !job.writingBase.empty()) keepPartial(job);
    result.ok = ok;
    result.checkLog = checkLog_.path();
    ui_.setStep("");
    ui_.setStatus("");
    ui_.progressValue(0);
    return ok;
}

void IdenticalPolygons::objectLine(std::string_view id, std::string_view suffix) const {
    checkLog_.append(plyvet::objectLine(label_.name, id, suffix));
}

bool IdenticalPolygons::deleteIdentical(std::string& path, PreparedExport& job, LayerFileResult& result) {
    const auto tolerance = parseTolerance(toleranceText_, options_.decimalSeparator);
    if (!tolerance) raiseTypeMismatch();

    ExportPreparation preparation(ui_, settings_, options_, programLog_, nullptr);
    const ExportKind kind{"_i.log", "i", false, false,
                          {std::string("ID -falls vorhanden- in Log-Datei: ") + (options_.useId ? "ja" : "nein")}};
    if (!preparation.prepare(path, kind, checkLog_, job)) return false;

    const gis::ShapefileReader& reader = *job.reader;
    const int n = job.recordCount;
    if (n == 0) {
        if (!finishExport(job, ui_, checkLog_)) return false;
        result.output = job.outputBase.string() + ".shp";
        return true;
    }
    ui_.setStatus("Bitte warten. Überprüfung exportiertes Shapefile " + job.baseName +
                  ".shp auf identische Polygone.");
    checkLog_.append("");
    checkLog_.append("Exportiertes Shapefile " + job.sourceShp + ": Überprüfung auf identische Polygone");
    ui_.progressRange(0, n);
    label_ = chooseObjectLabel(reader.fields(), options_.useId);

    // Every polygon once into memory and into the index; a record without a
    // usable shape is an empty polygon there, which relates to nothing.
    std::vector<gis::Polygon> polygons(static_cast<std::size_t>(n));
    std::vector<std::string> unreadable(static_cast<std::size_t>(n));
    std::vector<bool> present(static_cast<std::size_t>(n), false);
    for (int r = 0; r < n; ++r) {
        try {
            if (auto p = reader.polygon(r)) {
                polygons[static_cast<std::size_t>(r)] = std::move(*p);
                present[static_cast<std::size_t>(r)] = true;
            } else {
                unreadable[static_cast<std::size_t>(r)] = "Shape weist Nullwert auf";
            }
        } catch (const RuntimeError& e) {
            unreadable[static_cast<std::size_t>(r)] = e.description();
        }
    }
    const gis::SpatialIndex index(polygons);

    for (int r = 0; r < n; ++r) {
        ui_.pumpEvents();
        ++result.records;
        ui_.progressValue(r + 1);
        const auto ri = static_cast<std::size_t>(r);
        if (!present[ri]) {
            const std::string id = recordId(label_, reader, r);
            objectLine(id, " ( " + unreadable[ri] + " )");
            objectLine(id, " wurde deshalb nicht exportiert.");
            ++result.dropped;
            continue;
        }
        const gis::Polygon& shape = polygons[ri];
        bool duplicate = false;
        for (const int k : index.search(shape, gis::Relation::Identical)) {
            if (k <= r) continue;  // only a later record can make this one a duplicate
            std::optional<gis::Polygon> common;
            try {
                common = gis::intersection(shape, polygons[static_cast<std::size_t>(k)]);
            } catch (const RuntimeError& e) {
                checkLog_.append(e.description());
                continue;
            }
            if (!common) continue;
            duplicate = true;
            const double a = areaOrZero(*common);
            const std::string idK = recordId(label_, reader, k);
            const std::string idR = recordId(label_, reader, r);
            if (a > *tolerance) {
                ++result.found;
                const gis::Point centre = gis::centroid(*common);
                objectLine(idK, " ist identisch mit " + label_.name + " " + idR + " ( Fläche: " + shownRounded(a) +
                                    " m², Mittelpunkt X = " + shownNumber(centre.x) + " , Y = " +
                                    shownNumber(centre.y) + " )");
            } else {
                objectLine(idR, " wurde nicht exportiert, da identisch mit " + label_.name + " " + idK +
                                    " ( Fläche: " + shownRounded(a) +
                                    " m², nicht größer als die Überlappungstoleranz )");
            }
            break;
        }
        if (duplicate) {
            ++result.dropped;
            continue;
        }
        if (!writeRecord(job, r, shape, result)) return false;
    }

    if (result.found == 0) {
        checkLog_.append("Keine identischen Polygone (Shapefile " + job.sourceShp + ").");
        return discardOutput(job);
    }
    checkLog_.append(std::to_string(result.found) + " identische(s) Polygon(e) (Shapefile " + job.sourceShp + ").");
    if (!finishExport(job, ui_, checkLog_)) return false;
    result.output = job.outputBase.string() + ".shp";
    checkLog_.append("Shapefile wurde erfolgreich nach " + withTrailingSeparator(job.outputFolder.string()) +
                     job.outputName + ".shp exportiert.");
    return true;
}

bool IdenticalPolygons::writeRecord(PreparedExport& job, int record, const gis::Polygon& polygon,
                                    LayerFileResult& result) {
    const gis::ShapefileReader& reader = *job.reader;
    const auto& fields = job.plan.outputFields;
    std::vector<std::optional<std::string>> values(fields.size());
    std::string id;
    for (std::size_t f = 0; f < fields.size(); ++f) {
        const std::string raw = reader.rawValue(record, static_cast<int>(f));
        ConvertedValue converted = convertValue(raw, fields[f], job.plan.widened[f]);
        if (!converted.note.empty()) objectLine(recordId(label_, reader, record), " " + converted.note);
        if (converted.failed) {
            id = recordId(label_, reader, record);
            objectLine(id, " ( Wert " + text::decodeCodePage(text::trim(raw), reader.codePage()) +
                               " kann nicht konvertiert werden )");
            objectLine(id, " wurde deshalb nicht exportiert.");
            ++result.dropped;
            return true;
        }
        values[f] = std::move(converted.value);
    }
    try {
        job.writer->append(polygon, values);
    } catch (const RuntimeError& e) {
        // A record that cannot be added means the output is not complete.
        id = recordId(label_, reader, record);
        objectLine(id, " ( AddNew fehlgeschlagen )");
        objectLine(id, " ( " + e.description() + " )");
        checkLog_.append("Programm wurde deshalb abgebrochen.");
        return false;
    }
    return true;
}

void IdenticalPolygons::keepPartial(PreparedExport& job) {
    const std::string shown = job.outputBase.string() + ".shp";
    try {
        job.finish();
        checkLog_.append("Die Ausgabe " + shown + " ist unvollständig, die Bearbeitung wurde abgebrochen.");
        results_.back().output = shown;
    } catch (const RuntimeError& e) {
        checkLog_.append("Shapefile " + shown + " konnte nicht abgeschlossen werden. ( " + e.description() + " )");
    }
}

bool IdenticalPolygons::discardOutput(PreparedExport& job) {
    const std::filesystem::path writing = job.writingBase;
    job.writingBase.clear();  // nothing to move into place
    job.writer.reset();
    std::string error;
    int number = 0;
    if (deleteShapefileFiles(job.outputFolder, writing.filename().string(), error, number) &&
        deleteShapefileFiles(job.outputFolder, job.outputName, error, number)) {
        return true;
    }
    if (number == err::kPermissionDenied) {
        error += "\r\nSie haben wahrscheinlich in einer Sitzung zweimal denselben Shapefile ausgewählt."
                 "\r\nAuf diesen können Sie erst wieder zugreifen, wenn Sie das Programm neu starten.";
    }
    ui_.message({error, "Warnung", Buttons::Ok, Icon::Critical});
    return false;
}

}  // namespace plyvet::layerops
