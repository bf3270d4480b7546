#include "app/layer_commands.h"

#include "app/headless_ui.h"
#include "layerops/identical_polygons.h"
#include "layerops/merge_layers.h"
#include "layerops/overlap_check.h"
#include "pipeline/home.h"
#include "pipeline/log_file.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

namespace plyvet::app {

namespace fs = std::filesystem;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

// The program log, created once per program start; std::nullopt (after a
// message) when it cannot be written.
std::optional<LogFile> openProgramLog(Ui& ui) {
    const std::string programFolder = home();
    LogFile programLog(fs::path(programFolder) / "plyvet.log");
    if (!programLog.create()) {
        ui.message({"Entfernen Sie bitte den Schreibschutz von Datei plyvet.log im Verzeichnis " + programFolder +
                    "."});
        return std::nullopt;
    }
    return programLog;
}

// The files that exist and end in ".shp"; each other one is named and makes the exit code 1.
std::vector<std::string> listedFiles(const CommandLine& cl, Ui& ui, int& exitCode) {
    std::vector<std::string> list;
    for (const auto& file : cl.files) {
        std::error_code ec;
        const fs::path p(file);
        const std::string ext = p.extension().string();
        if (!fs::is_regular_file(p, ec)) {
            ui.message({"Shapefile " + file + " nicht vorhanden."});
            exitCode = kExitFailed;
        } else if (ext != ".shp" && ext != ".SHP" && ext != ".Shp") {
            ui.message({file + " ist keine .shp-Datei."});
            exitCode = kExitFailed;
        } else {
            list.push_back(file);
        }
    }
    return list;
}

int report(const std::vector<layerops::LayerFileResult>& results, const std::vector<std::string>& unprocessed,
           bool walkedToTheEnd, const char* foundText, int exitCode, const LogFile& programLog) {
    for (const auto& r : results) {
        if (r.ok) {
            std::printf("%s: %d %s", r.source.c_str(), r.found, foundText);
            if (!r.output.empty()) std::printf(", Ausgabe %s", r.output.string().c_str());
            std::printf("\n");
        } else {
            std::printf("%s: nicht bearbeitet\n", r.source.c_str());
            exitCode = kExitFailed;
        }
        if (!r.checkLog.empty()) std::printf("  Prüfprotokoll: %s\n", r.checkLog.string().c_str());
    }
    for (const auto& left : unprocessed) {
        std::printf("%s: nicht bearbeitet (Lauf abgebrochen)\n", left.c_str());
        exitCode = kExitFailed;
    }
    if (!walkedToTheEnd) exitCode = kExitFailed;
    std::printf("Programmprotokoll: %s\n", programLog.path().string().c_str());
    return exitCode;
}

}  // namespace

int runIdentical(CommandLine& cl) {
    HeadlessUi ui(stderr, cl.renames);
    const auto programLog = openProgramLog(ui);
    if (!programLog) return kExitFailed;
    int exitCode = kExitOk;
    std::vector<std::string> list = listedFiles(cl, ui, exitCode);
    layerops::IdenticalPolygons command(ui, cl.settings, cl.options, *programLog, cl.tolerance);
    const bool walked = command.run(list);
    return report(command.results(), list, walked, "identische(s) Polygon(e)", exitCode, *programLog);
}

int runOverlaps(CommandLine& cl) {
    HeadlessUi ui(stderr, cl.renames);
    const auto programLog = openProgramLog(ui);
    if (!programLog) return kExitFailed;
    int exitCode = kExitOk;
    const std::vector<std::string> list = listedFiles(cl, ui, exitCode);
    layerops::OverlapCheck command(ui, cl.settings, cl.options, *programLog, cl.tolerance);
    const bool walked = command.run(list);
    // Files after the one the walk stopped at were never looked at.
    std::vector<std::string> unprocessed;
    if (!walked) {
        for (const auto& file : list) {
            bool done = false;
            for (const auto& r : command.results()) done = done || r.source == file;
            if (!done) unprocessed.push_back(file);
        }
    }
    return report(command.results(), unprocessed, walked, "Überlappung(en)", exitCode, *programLog);
}

int runMerge(CommandLine& cl) {
    HeadlessUi ui(stderr, cl.renames);
    ui.setSaveFile(cl.mergeOutput, cl.settings.overwriteExistingShapeFiles);
    const auto programLog = openProgramLog(ui);
    if (!programLog) return kExitFailed;
    int exitCode = kExitOk;
    const std::vector<std::string> list = listedFiles(cl, ui, exitCode);
    if (exitCode != kExitOk) {
        // A merge of fewer files than were named is not what was asked for.
        std::printf("%s: nicht gemerget\n", cl.mergeOutput.c_str());
        return exitCode;
    }
    layerops::MergeLayers command(ui, cl.options, *programLog);
    command.run(list);
    const layerops::MergeResult& r = command.result();
    if (r.merged) {
        std::printf("%s: %d Datensätze aus %zu Shapefiles gemerget\n", r.output.string().c_str(), r.records,
                    list.size());
    } else {
        std::printf("%s: nicht gemerget\n", cl.mergeOutput.c_str());
        exitCode = kExitFailed;
    }
    if (!r.mergeLog.empty()) std::printf("  Merge-Protokoll: %s\n", r.mergeLog.string().c_str());
    std::printf("Programmprotokoll: %s\n", programLog->path().string().c_str());
    return exitCode;
}

}  // namespace plyvet::app
