#include "layerops/overlap_check.h"

#include "geolib/binding.h"
#include "pipeline/export_preparation.h"
#include "pipeline/gis/geos_ops.h"
#include "pipeline/gis/runtime_error.h"
#include "pipeline/object_label.h"
#include "pipeline/output_target.h"
#include "pipeline/record_counts.h"
#include "pipeline/text.h"

#include <limits>
#include <system_error>

namespace plyvet::layerops {

namespace fs = std::filesystem;

namespace {
constexpr const char* kProcedure = "ChkOverlappingPols";
constexpr const char* kWhere = "Formular frmDummy";
}  // namespace

OverlapCheck::OverlapCheck(Ui& ui, RunSettings& settings, RunOptions& options, LogFile programLog,
                           std::string tolerance)
    : ui_(ui), settings_(settings), options_(options), programLog_(std::move(programLog)),
      toleranceText_(std::move(tolerance)) {}

bool OverlapCheck::run(const std::vector<std::string>& list) {
    settings_.continueRun = true;  // a refusal in an earlier run stopped that run only
    std::vector<std::string> walked = list;  // nothing leaves the list
    return walkList(walked, ui_, programLog_, settings_, false,
                    [this](const std::string& path) { return ChkOverlappingPols(path); });
}

bool OverlapCheck::ChkOverlappingPols(std::string path) {
    results_.emplace_back();
    LayerFileResult& result = results_.back();
    result.source = path;
    checkLog_ = LogFile();
    const bool ok = guarded(ui_, kProcedure, kWhere, [&] { return check(path, result); });
    result.ok = ok;
    result.checkLog = checkLog_.path();
    ui_.setStep("");
    ui_.setStatus("");
    ui_.progressValue(0);
    return ok;
}

void OverlapCheck::showAndLog(const std::string& text) {
    ui_.message({text});
    checkLog_.append(text);
}

std::optional<gis::ShapefileReader> OverlapCheck::open(std::string& path, std::string& sourceShp,
                                                       std::string& baseName) {
    programLog_.append("Original-Shapefile: " + path);
    if (!createCheckLog(path, "_ü.log", checkLog_, ui_)) return std::nullopt;

    path = std::string(text::trim(path));
    const SourceName source = splitSourcePath(path);
    const fs::path& sourcePath = source.path;
    const std::string& folder = source.folder;
    baseName = source.baseName;

    if (!acceptBaseName(baseName, settings_, ui_, checkLog_)) return std::nullopt;

    ui_.setStatus("Bitte warten. Überprüfung der ausgewählten Shapefiles auf Überlappungen.");
    if (const auto failure = connectFolder(folder, false)) {
        ui_.message({connectionErrorText(*failure)});
        showAndLog("Verbindung mit Verzeichnis " + folder + " fehlgeschlagen.");
        return std::nullopt;
    }
    sourceShp = withTrailingSeparator(folder) + baseName + ".shp";
    checkLog_.append("Shapefile " + sourceShp + " :");

    std::optional<gis::ShapefileReader> reader;
    try {
        reader.emplace(sourcePath);
    } catch (const RuntimeError& e) {
        showAndLog("ExportToShape: Lesen aus Shapefile " + baseName + ".shp fehlgeschlagen. ( " + e.description() +
                   " )");
        return std::nullopt;
    }
    if (reader->shapeType() != gis::kShapeTypePolygon) {
        showAndLog("Shapefile " + baseName + ".shp ist kein Polygon-Shapefile. Vorgang wird abgebrochen.");
        return std::nullopt;
    }
    const RecordCountOutcome counts =
        checkRecordCounts(fs::path(folder) / baseName, reader->recordCount(), baseName);
    for (const auto& line : counts.logLines) checkLog_.append(line);
    if (!counts.proceed) {
        ui_.message({"Shapefile " + baseName + ".shp: Die Anzahl der Datensätze von .shp, .shx und .dbf passt "
                     "nicht zusammen. Einzelheiten im Prüfprotokoll " + checkLog_.path().string() + "."});
        return std::nullopt;
    }
    recordCount_ = counts.actual;
    return reader;
}

bool OverlapCheck::check(std::string& path, LayerFileResult& result) {
    const auto tolerance = parseTolerance(toleranceText_, options_.decimalSeparator);
    const auto granularity = text::parseInteger(text::trim(options_.granularity));
    if (!tolerance || !granularity || *granularity < std::numeric_limits<std::int16_t>::min() ||
        *granularity > std::numeric_limits<std::int16_t>::max()) {
        raiseTypeMismatch();
    }
    const auto decimals = static_cast<std::int16_t>(*granularity);

    std::string sourceShp;
    std::string baseName;
    const std::optional<gis::ShapefileReader> opened = open(path, sourceShp, baseName);
    if (!opened) return false;
    const gis::ShapefileReader& reader = *opened;

    checkLog_.append("Überprüfung auf sich überlappende Polygone");
    checkLog_.append("Überlappungstoleranz: " + shownNumber(*tolerance));
    checkLog_.append(std::string("ID -falls vorhanden- in Log-Datei: ") + (options_.useId ? "ja" : "nein"));
    const ObjectLabel label = chooseObjectLabel(reader.fields(), options_.useId);

    const int n = recordCount_;
    ui_.progressRange(0, n);

    std::vector<gis::Polygon> polygons(static_cast<std::size_t>(n));
    std::vector<bool> present(static_cast<std::size_t>(n), false);
    for (int r = 0; r < n; ++r) {
        try {
            if (auto p = reader.polygon(r)) {
                polygons[static_cast<std::size_t>(r)] = std::move(*p);
                present[static_cast<std::size_t>(r)] = true;
            }
        } catch (const RuntimeError& e) {
            // Not checked: say so, so that no polygon goes unexamined unseen.
            checkLog_.append(objectLine(label.name, recordId(label, reader, r), " ( " + e.description() + " )"));
        }
    }
    const gis::SpatialIndex index(polygons);

    const std::string& name = label.name;
    for (int r = 0; r < n; ++r) {
        ui_.pumpEvents();
        ++result.records;
        ui_.progressValue(r + 1);
        const auto ri = static_cast<std::size_t>(r);
        if (!present[ri]) continue;
        const gis::Polygon& shape = polygons[ri];
        for (const int k : index.search(shape, gis::Relation::Overlapping)) {
            if (k <= r) continue;  // the pair was examined from its earlier record
            const std::string idK = recordId(label, reader, k);
            const std::string idR = recordId(label, reader, r);
            std::optional<gis::Polygon> common;
            try {
                common = gis::intersection(shape, polygons[static_cast<std::size_t>(k)]);
            } catch (const RuntimeError& e) {
                checkLog_.append(name + " " + idK + " überlappt " + name + " " + idR + " nicht.");
                // The line above only means that no overlap could be computed; say why.
                checkLog_.append("( " + e.description() + " )");
                continue;
            }
            if (!common) continue;
            const double a = areaOrZero(*common);
            if (geolib::roud(a, decimals) <= *tolerance) continue;
            ++result.found;
            const double shapeArea = areaOrZero(shape);
            const std::string share =
                shapeArea != 0.0 ? shownRounded(a * 100.0 / shapeArea) + " %" : std::string("Anteil nicht bestimmbar");
            const gis::Point centre = gis::centroid(*common);
            checkLog_.append(name + " " + idK + " überlappt " + name + " " + idR + " mit " + shownRounded(a) +
                             " m² ( " + share + " , Überlappungs-Mittelpunkt X = " + shownNumber(centre.x) +
                             " , Y = " + shownNumber(centre.y) + " )");
        }
    }

    if (result.found == 0) {
        checkLog_.append("Keine sich überlappenden Polygone gefunden (Shapefile " + sourceShp + ").");
    } else {
        checkLog_.append(std::to_string(result.found) + " Überlappung(en) (Shapefile " + sourceShp + ").");
    }
    return true;
}

}  // namespace plyvet::layerops
