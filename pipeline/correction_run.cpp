#include "pipeline/correction_run.h"

#include "pipeline/field_plan.h"
#include "pipeline/gis/runtime_error.h"
#include "pipeline/gis/shapefile.h"
#include "pipeline/text.h"

#include <cmath>
#include <new>
#include <system_error>

namespace plyvet {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSeparatorLine = "**********************************************************";

// Area as the run compares it: a value that cannot be computed counts as 0.
double areaOrZero(const gis::Polygon& polygon) {
    const double a = gis::area(polygon);
    return std::isfinite(a) ? a : 0.0;
}

}  // namespace

CorrectionRun::CorrectionRun(Ui& ui, RunSettings& settings, RunOptions& options, LogFile programLog,
                             ErrorDatabase* database)
    : ui_(ui), settings_(settings), options_(options), programLog_(std::move(programLog)), database_(database) {}

void CorrectionRun::run(std::vector<std::string>& list) {
    // A refusal in an earlier run stopped that run; this one starts afresh.
    settings_.continueRun = true;
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
    counters_.reset();
    if (observer_ != nullptr) observer_->fileStarted(path);
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
    if (observer_ != nullptr) observer_->fileFinished(result, counters_);
    ui_.setStep("");
    ui_.progressValue(0);
    return ok;
}

bool CorrectionRun::correct(std::string& path, FileResult& result) {
    std::string parameterError;
    const auto parameters = readCleanerParameters(options_, parameterError);
    if (!parameters) {
        ui_.message({parameterError});
        return false;
    }
    repair_.emplace(*parameters, options_.onUnsolvable, recordLog_,
                    PolygonRepair::Hooks{[this](std::string_view suffix) { objectLine(suffix); },
                                         [this](std::string_view line) { recordLine(line); },
                                         [this](const std::string& text) { actionTaken(text); },
                                         [this] { return options_.onlyErrorObjects; }});

    ExportPreparation preparation(ui_, settings_, options_, programLog_, database_);
    const ExportKind kind{"_k.log", "_x", true, true, settingsBlock(options_, settings_)};
    PreparedExport job;
    const bool prepared = preparation.prepare(path, kind, checkLog_, job);
    result.checkLog = checkLog_.path();
    if (!prepared) return false;
    result.output = fs::path(job.outputBase.string() + ".shp");

    counters_.reset();
    if (job.recordCount != 0) {
        ui_.setStatus("Bitte warten. Korrektur Selbstüberschneidung u. Laufrichtung " + job.baseName + ".shp.");
        ui_.progressRange(0, job.recordCount);
        ui_.progressValue(0);
        label_ = chooseObjectLabel(job.reader->fields(), options_.useId);
        bool copied = false;
        try {
            copied = copyRecords(job, result);
        } catch (...) {
            // An error that ends the file half way (the helper library went
            // missing) stops it like any stop: the output is closed and the
            // log says it is not complete, before the error is reported.
            finishOutput(job, false);
            throw;
        }
        if (!copied) {
            finishOutput(job, false);
            return false;
        }
    }
    if (!finishOutput(job, true)) return false;

    ui_.setStep("");
    ui_.setStatus("");
    ui_.progressValue(0);
    checkLog_.append("Shapefile " + job.sourceShp + ":");
    for (const auto& line : counters_.summaryLines(options_.deletePointsOnLine)) checkLog_.append(line);
    checkLog_.append("Shapefile wurde erfolgreich nach " + withTrailingSeparator(job.outputFolder.string()) +
                     job.outputName + ".shp exportiert.");
    return true;
}

bool CorrectionRun::copyRecords(PreparedExport& job, FileResult& result) {
    // The records' lines may wait for a fuller write; none waits past the loop.
    struct FlushLog {
        const LogFile& log;
        ~FlushLog() {
            try {
                log.flush();
            } catch (...) {
            }
        }
    } flushLog{checkLog_};
    for (int record = 0; record < job.recordCount; ++record) {
        ui_.pumpEvents();
        try {
            labelValue_ = objectLabelValue(label_, *job.reader, record);
        } catch (const RuntimeError&) {
            labelValue_ = std::to_string(record);
        }
        ui_.progressValue(record + 1);
        ++result.recordsRead;
        if (observer_ != nullptr) {
            report_.emplace();
            report_->record = record;
            report_->labelName = label_.name;
            report_->labelValue = labelValue_;
        }
        Verdict verdict = Verdict::Stop;
        {
            struct Flush {
                CorrectionRun& run;
                ~Flush() { run.flushRecordLines(); }
            } flush{*this};
            holdingLines_ = true;
            verdict = copyRecord(job, record);
        }
        if (report_) {
            // Unchanged polygons that were written are not worth a report.
            if (verdict != Verdict::Write || report_->before != report_->after || !report_->lines.empty()) {
                if (verdict != Verdict::Write) report_->after.reset();
                observer_->record(*report_);
            }
            report_.reset();
        }
        switch (verdict) {
            case Verdict::Write: ++result.recordsWritten; break;
            case Verdict::Skip: break;
            case Verdict::Stop: return false;
        }
    }
    return true;
}

Verdict CorrectionRun::copyRecord(PreparedExport& job, int record) {
    const gis::ShapefileReader& reader = *job.reader;
    std::optional<gis::Polygon> polygon;
    try {
        polygon = reader.polygon(record);
    } catch (const RuntimeError& e) {
        return unsolvable("( " + e.description() + " )");
    }
    if (!polygon) return unsolvable("( Shape weist Nullwert auf )");
    const double originalArea = areaOrZero(*polygon);
    if (report_) report_->before = *polygon;

    if (const Verdict v = repair_->repair(*polygon, labelValue_, label_.name); v != Verdict::Write) return v;

    const double finalArea = areaOrZero(*polygon);
    if (finalArea == 0.0) {
        // Nothing of the polygon is left to export; say so rather than drop it unseen.
        objectLine(" ( Fläche des Polygons ist 0, Polygon wurde nicht exportiert )");
        return Verdict::Skip;
    }
    if (finalArea != originalArea) {
        objectLine(" ( Flächenänderung gesamt: " + text::formatNumber(finalArea - originalArea) + " m² )");
    }

    const auto& fields = job.plan.outputFields;
    std::vector<std::optional<std::string>> values(fields.size());
    for (std::size_t f = 0; f < fields.size(); ++f) {
        std::string raw;
        try {
            raw = reader.rawValue(record, static_cast<int>(f));
        } catch (const RuntimeError& e) {
            return unsolvable("( " + e.description() + " )");
        }
        ConvertedValue converted = convertValue(raw, fields[f], job.plan.widened[f]);
        if (!converted.note.empty()) objectLine(" " + converted.note);
        if (converted.failed) {
            const std::string shown = text::decodeCodePage(text::trim(raw), reader.codePage());
            return unsolvable("( Wert " + shown + " kann nicht konvertiert werden )");
        }
        values[f] = std::move(converted.value);
    }
    try {
        job.writer->append(*polygon, values);
        if (report_) report_->after = *polygon;
    } catch (const RuntimeError& e) {
        // A record that cannot be added means the output is not complete,
        // whatever the choice for unsolvable polygons.
        objectLine(" ( AddNew fehlgeschlagen )");
        objectLine(" ( " + e.description() + " )");
        recordLine("Programm wurde deshalb abgebrochen.");
        return Verdict::Stop;
    }
    return Verdict::Write;
}

bool CorrectionRun::finishOutput(PreparedExport& job, bool complete) {
    if (!finishExport(job, ui_, checkLog_)) return false;
    // A stopped file keeps what it wrote, and the log says that it is not all.
    if (!complete) {
        checkLog_.append("Die Ausgabe " + job.outputBase.string() +
                         ".shp ist unvollständig, die Bearbeitung wurde abgebrochen.");
    }
    return true;
}

void CorrectionRun::actionTaken(std::string_view text) {
    const Classification c = classifyActionText(text);
    if (c.counted) counters_.add(*c.counted);
    if (c.written) objectLine(" ( " + std::string(text) + " )");
}

void CorrectionRun::flushRecordLines() noexcept {
    holdingLines_ = false;
    try {
        checkLog_.appendHeld(heldLines_);
    } catch (...) {
        // Out of memory while joining the lines: write them one by one.
        for (const std::string& line : heldLines_) {
            try {
                checkLog_.append(line);
            } catch (...) {
            }
        }
    }
    heldLines_.clear();
}

void CorrectionRun::recordLine(std::string_view line) {
    if (holdingLines_) {
        heldLines_.emplace_back(line);
    } else {
        checkLog_.append(line);
    }
    if (report_) report_->lines.emplace_back(line);
}

void CorrectionRun::objectLine(std::string_view suffix) {
    recordLine(plyvet::objectLine(label_.name, labelValue_, suffix));
}

Verdict CorrectionRun::unsolvable(std::string_view description) {
    objectLine(" " + std::string(description));
    if (options_.onUnsolvable == OnUnsolvable::SkipShape) {
        objectLine(" wurde deshalb nicht exportiert.");
        return Verdict::Skip;
    }
    recordLine("Programm wurde deshalb abgebrochen.");
    return Verdict::Stop;
}

}  // namespace plyvet
