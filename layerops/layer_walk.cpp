#include "layerops/layer_walk.h"

#include "pipeline/gis/runtime_error.h"
#include "pipeline/text.h"

#include <cctype>
#include <cmath>
#include <new>
#include <system_error>

namespace plyvet::layerops {

namespace fs = std::filesystem;

namespace {
constexpr const char* kSeparatorLine = "**********************************************************";
constexpr double kDefaultTolerance = 0.1;
}  // namespace

std::optional<double> parseTolerance(std::string_view textValue, char decimalSeparator) {
    const std::string_view trimmed = text::trim(textValue);
    if (trimmed.empty()) return kDefaultTolerance;
    const auto value = text::parseNumber(trimmed, decimalSeparator);
    if (!value || !std::isfinite(*value) || *value < 0) return std::nullopt;
    return *value;
}

bool looksCorrected(std::string_view path) {
    const std::string_view p = text::trim(path);
    return p.size() >= 5 && std::toupper(static_cast<unsigned char>(p[p.size() - 5])) == 'X';
}

bool walkList(std::vector<std::string>& list, Ui& ui, const LogFile& programLog, const RunSettings& settings,
              bool removeDone, const std::function<bool(const std::string&)>& process) {
    ui.setStatus("");
    if (list.empty()) {
        ui.setStatus("Liste enthält keine Pfade.");
        return true;
    }
    for (std::size_t i = list.size(); i-- > 0;) {
        programLog.append(kSeparatorLine);
        const std::string entry = list[i];
        const std::string path(text::trim(entry));
        std::error_code ec;
        if (path.empty() || !fs::is_regular_file(fs::path(path), ec)) continue;
        if (!looksCorrected(path)) {
            const Answer answer =
                ui.message({"Shapefile " + path + " endet nicht mit 'x' und wurde vermutlich noch nicht korrigiert. "
                            "\r\nWollen Sie trotzdem den Vorgang fortsetzen?",
                            "Hinweis", Buttons::YesNo, Icon::Question, Answer::Yes});
            if (answer != Answer::Yes) return false;
        }
        const bool ok = process(entry);
        if (!removeDone) continue;
        if (!ok && !settings.continueRun) break;
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    }
    ui.setStatus("Korrektur Shapefile(s) erfolgreich beendet.");
    return true;
}

std::string shownRounded(double value) {
    // The default rounding mode rounds halves to even.
    const long double scaled = std::nearbyintl(static_cast<long double>(value) * 10000.0L);
    return text::formatNumber(static_cast<double>(scaled / 10000.0L));
}

std::string shownNumber(double value) { return text::formatNumber(value); }

std::string recordId(const ObjectLabel& label, const gis::ShapefileReader& reader, int record) {
    try {
        return objectLabelValue(label, reader, record);
    } catch (const RuntimeError&) {
        return std::to_string(record);
    }
}

double areaOrZero(const gis::Polygon& polygon) {
    const double a = gis::area(polygon);
    return std::isfinite(a) ? a : 0.0;
}

bool guarded(Ui& ui, std::string_view procedure, std::string_view where, const std::function<bool()>& body) {
    const std::string tail = ") in procedure " + std::string(procedure) + " of " + std::string(where);
    try {
        return body();
    } catch (const RuntimeError& e) {
        ui.message({"Error " + std::to_string(e.number()) + " (" + e.description() + tail});
    } catch (const std::bad_alloc&) {
        ui.message({"Error 7 (Nicht genügend Speicher" + tail});
    } catch (const std::exception& e) {
        ui.message({std::string("Error 51 (") + e.what() + tail});
    }
    return false;
}

void raiseTypeMismatch() { throw RuntimeError(err::kTypeMismatch, "Polyvet", "Typen unverträglich"); }

}  // namespace plyvet::layerops
