// plyvet: without a command the main window; with a command the same
// correction code runs headless.

#include "app/cli_options.h"
#include "app/gui/gui_main.h"
#include "app/headless_ui.h"
#include "app/layer_commands.h"
#include "geolib/binding.h"
#include "pipeline/correction_run.h"
#include "pipeline/error_database.h"
#include "pipeline/gis/runtime_error.h"
#include "pipeline/home.h"
#include "pipeline/log_file.h"
#include "pipeline/memory_reuse.h"
#include "report/html_report.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#ifndef PLYVET_VERSION
#define PLYVET_VERSION "0.0.0"
#endif

namespace {

namespace fs = std::filesystem;
using namespace plyvet;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int printVersion() {
    std::printf("plyvet Version: %s\n", PLYVET_VERSION);
    try {
        std::printf("Hilfsbibliothek %s Version: %s\n", geolib::libraryFileName().c_str(), geolib::gvss().c_str());
    } catch (const RuntimeError& e) {
        std::printf("Hilfsbibliothek: %s\n", e.description().c_str());
    }
    std::error_code ec;
    const fs::path help = helpFile();
    std::printf("Hilfedatei: %s%s\n", help.string().c_str(),
                fs::is_regular_file(help, ec) ? "" : " (nicht vorhanden)");
    std::printf("Programmverzeichnis (plyvet.log, Plyvet.mdb): %s\n", programFolder().string().c_str());
    return kExitOk;
}

int runCorrect(app::CommandLine& cl) {
    app::HeadlessUi ui(stderr, cl.renames);
    const std::string programFolder = home();
    LogFile programLog(fs::path(programFolder) / "plyvet.log");
    if (!programLog.create()) {
        ui.message({"Entfernen Sie bitte den Schreibschutz von Datei plyvet.log im Verzeichnis " + programFolder +
                    "."});
        return kExitFailed;
    }

    int exitCode = kExitOk;
    std::vector<std::string> list;
    for (const auto& file : cl.files) {
        std::error_code ec;
        const fs::path p(file);
        if (!fs::is_regular_file(p, ec)) {
            ui.message({"Shapefile " + file + " nicht vorhanden."});
            exitCode = kExitFailed;
        } else if (p.extension().string().size() != 4 ||
                   (p.extension() != ".shp" && p.extension() != ".SHP" && p.extension() != ".Shp")) {
            ui.message({file + " ist keine .shp-Datei."});
            exitCode = kExitFailed;
        } else {
            list.push_back(file);
        }
    }

    // A report that cannot be written is known before the run, not after it.
    std::optional<report::HtmlReport> htmlReport;
    if (!cl.reportFile.empty()) {
        report::ReportSettings reportSettings;
        if (cl.reportLimit >= 0) reportSettings.pictureLimit = cl.reportLimit;
        reportSettings.pointsOnLineChecked = cl.options.deletePointsOnLine;
        reportSettings.settingsLines = settingsBlock(cl.options, cl.settings);
        htmlReport.emplace(cl.reportFile, std::move(reportSettings));
        if (std::string error; !htmlReport->open(error)) {
            ui.message({error});
            return kExitFailed;
        }
    }

    // Without the database the run still corrects; the failure was shown and logged.
    ErrorDatabase database;
    database.openErrorDatabase(programFolder, ui, &programLog);
    CorrectionRun run(ui, cl.settings, cl.options, programLog, database.isOpen() ? &database : nullptr);
    if (htmlReport) run.setObserver(&*htmlReport);
    run.run(list);

    for (const auto& r : run.results()) {
        if (r.corrected) {
            std::printf("%s: korrigiert nach %s (%d von %d Datensätzen übernommen)\n", r.source.c_str(),
                        r.output.string().c_str(), r.recordsWritten, r.recordsRead);
        } else {
            std::printf("%s: nicht korrigiert\n", r.source.c_str());
            exitCode = kExitFailed;
        }
        if (!r.checkLog.empty()) std::printf("  Prüfprotokoll: %s\n", r.checkLog.string().c_str());
    }
    for (const auto& left : list) {
        std::printf("%s: nicht bearbeitet (Lauf abgebrochen)\n", left.c_str());
        exitCode = kExitFailed;
    }
    std::printf("Programmprotokoll: %s\n", programLog.path().string().c_str());
    if (htmlReport) {
        if (std::string error; htmlReport->finish(error)) {
            std::printf("Bericht: %s\n", htmlReport->file().string().c_str());
        } else {
            ui.message({error});
            exitCode = kExitFailed;
        }
    }
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    plyvet::keepFreedMemoryForReuse();
    std::vector<std::string> args(argv + 1, argv + argc);
    app::CommandLine cl = app::parseCommandLine(args);
    if (!cl.error.empty()) {
        std::fprintf(stderr, "plyvet: %s\n\n%s", cl.error.c_str(), app::usageText().c_str());
        return kExitUsage;
    }
    switch (cl.command) {
        case app::Command::Help: std::printf("%s", app::usageText().c_str()); return kExitOk;
        case app::Command::Version: return printVersion();
        case app::Command::Correct: return runCorrect(cl);
        case app::Command::Identical: return app::runIdentical(cl);
        case app::Command::Overlaps: return app::runOverlaps(cl);
        case app::Command::Merge: return app::runMerge(cl);
        case app::Command::None: break;
    }
    return gui::runGui(argc, argv, app::usageText());
}
