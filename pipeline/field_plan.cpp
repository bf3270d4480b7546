#include "pipeline/field_plan.h"

#include "pipeline/text.h"

#include <algorithm>

namespace plyvet {

using gis::FieldDef;
using gis::FieldType;

namespace {

constexpr int kWidenedDigits = 19;
constexpr int kMaxTextLength = 254;

// A numeric dBase value: optional sign, digits, at most one decimal point,
// optional exponent. Writers differ in format, so the text is kept as it is
// once it is known to be a number.
bool isNumericText(std::string_view s) {
    return text::parseNumber(s, '.').has_value();
}

// Some writers fill a numeric field with asterisks for "no value".
bool isNullNumeric(std::string_view s) {
    return s.empty() || std::all_of(s.begin(), s.end(), [](char c) { return c == '*'; });
}

}  // namespace

std::vector<std::string> longFieldNames(std::span<const FieldDef> fields) {
    std::vector<std::string> names;
    for (const auto& f : fields) {
        if (f.name.size() > kMaxFieldNameLength) names.push_back(f.name);
    }
    return names;
}

std::string outputCodePage(std::string_view source, CodePageChoice choice) {
    switch (choice) {
        case CodePageChoice::Ansi: return std::string(gis::kCodePageAnsi);
        case CodePageChoice::Oem: return std::string(gis::kCodePageOem);
        case CodePageChoice::FromHeader: break;
    }
    return std::string(source);
}

layerops::NameCoding fieldNameCoding(std::string_view sourceCodePage, CodePageChoice choice) {
    return {[source = std::string(sourceCodePage)](std::string_view stored) {
                return text::decodeCodePage(stored, source);
            },
            [output = outputCodePage(sourceCodePage, choice)](std::string_view name) {
                return text::encodeCodePage(name, output);
            }};
}

FieldPlan planOutputFields(std::span<const FieldDef> source, std::string_view sourceCodePage,
                           CodePageChoice choice, std::string_view baseName,
                           std::span<const std::string> newNames) {
    FieldPlan plan;
    plan.codePage = outputCodePage(sourceCodePage, choice);
    const std::string shp = "Shapefile: " + std::string(baseName) + ".shp, Feldname: ";
    for (std::size_t i = 0; i < source.size(); ++i) {
        FieldDef out = source[i];
        const bool renamed = i < newNames.size() && !newNames[i].empty();
        if (renamed) out.name = newNames[i];
        // The logs are UTF-8 text; the name's bytes are in the code page of the table they came from.
        const std::string shown = text::decodeCodePage(out.name, renamed ? plan.codePage : sourceCodePage);
        bool widened = false;
        switch (out.type) {
            case FieldType::Integer:
                if (out.precision >= 20 && out.length >= 20 && out.scale == 0) {
                    out.type = FieldType::Double;
                    out.precision = kWidenedDigits;
                    out.length = kWidenedDigits;
                    widened = true;
                    plan.logLines.push_back(shp + shown + " wurde auf 19 Zeichen gekürzt.");
                }
                break;
            case FieldType::String:
                if (out.length > kMaxTextLength) {
                    plan.logLines.push_back(shp + shown + ",\r\nFeldtyp: String, Feldlänge: " +
                                            std::to_string(out.length) + " wurde auf 254 Zeichen gekürzt.");
                    out.length = kMaxTextLength;
                }
                break;
            case FieldType::Boolean:
                out.length = 1;
                out.precision = 1;
                out.scale = 0;
                plan.logLines.push_back(
                    "Shapefile: " + std::string(baseName) + ".shp, Feldname: " + shown +
                    "\r\n, Feldtyp: Boolean , wird unter MapObjects 2.0 grundsätzlich als 'false' exportiert."
                    "\r\nDieser Fehler wird mit der neuen MapObjects-Version (bzw. Vistrel-Version) behoben.");
                break;
            case FieldType::Double:
            case FieldType::Date:
                break;
        }
        plan.outputFields.push_back(std::move(out));
        plan.widened.push_back(widened);
    }
    if (source.empty()) {
        plan.refusal = "Shapefile " + std::string(baseName) + ".shp: Die Attributdatei " + std::string(baseName) +
                       ".dbf enthält kein Feld. Eine dBase-Datei braucht mindestens eines, deshalb wird keine "
                       "Ausgabe erzeugt.";
        plan.logLines.push_back(plan.refusal);
    }
    return plan;
}

bool isValidDate(std::string_view s) {
    if (s.size() != 8 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    auto num = [&](std::size_t pos, std::size_t len) {
        int v = 0;
        for (std::size_t k = pos; k < pos + len; ++k) v = v * 10 + (s[k] - '0');
        return v;
    };
    const int year = num(0, 4);
    const int month = num(4, 2);
    const int day = num(6, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int maxDay = kDays[month - 1] + ((month == 2 && leap) ? 1 : 0);
    return day <= maxDay;
}

ConvertedValue convertValue(std::string_view raw, const FieldDef& output, bool widened) {
    ConvertedValue result;
    const std::string_view trimmed = text::trim(raw);
    auto fits = [&](std::string_view v) { return static_cast<int>(v.size()) <= output.length; };

    if (widened || output.type == FieldType::Integer || output.type == FieldType::Double) {
        if (isNullNumeric(trimmed)) return result;
        if (!isNumericText(trimmed) || !fits(trimmed)) {
            result.failed = true;
            return result;
        }
        result.value = std::string(trimmed);
        return result;
    }
    switch (output.type) {
        case FieldType::Boolean: {
            if (trimmed.empty() || trimmed == "?") return result;
            if (text::equalsIgnoreCase(trimmed, "true") || text::equalsIgnoreCase(trimmed, "t") ||
                text::equalsIgnoreCase(trimmed, "y")) {
                result.value = "T";
            } else if (text::equalsIgnoreCase(trimmed, "false") || text::equalsIgnoreCase(trimmed, "f") ||
                       text::equalsIgnoreCase(trimmed, "n")) {
                result.value = "F";
            } else {
                result.failed = true;
            }
            return result;
        }
        case FieldType::Date:
            if (trimmed.empty()) return result;
            // Some writers store "no date" as eight zeros; it is kept as written.
            if (trimmed == "00000000") {
                result.value = std::string(trimmed);
                return result;
            }
            if (!isValidDate(trimmed)) {
                result.note = "( Feld " + output.name + " weist ein ungültiges Datum auf (" +
                              std::string(trimmed) + ") und wird zurückgesetzt )";
                return result;
            }
            result.value = std::string(trimmed);
            return result;
        default: {
            // Text keeps its bytes, leading blanks included; only the padding
            // after the value is dropped, the writer pads again.
            std::string_view value = raw;
            while (!value.empty() && (value.back() == ' ' || value.back() == '\0')) value.remove_suffix(1);
            if (!fits(value)) {
                result.failed = true;
                return result;
            }
            result.value = std::string(value);
            return result;
        }
    }
}

}  // namespace plyvet
