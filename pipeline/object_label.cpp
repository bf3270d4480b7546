#include "pipeline/object_label.h"

#include "pipeline/text.h"

namespace plyvet {

ObjectLabel chooseObjectLabel(std::span<const gis::FieldDef> fields, bool useId) {
    if (useId) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const auto name = text::trim(fields[i].name);
            if (text::equalsIgnoreCase(name, "ID")) return {static_cast<int>(i), std::string(name)};
            if (text::equalsIgnoreCase(name, "OBNR")) return {static_cast<int>(i), "OBNR"};
        }
    }
    return {};
}

std::string objectLabelValue(const ObjectLabel& label, const gis::ShapefileReader& reader, int record) {
    if (label.field < 0) return std::to_string(record);
    return text::decodeCodePage(text::trim(reader.rawValue(record, label.field)), reader.codePage());
}

std::string objectLine(std::string_view name, std::string_view value, std::string_view suffix) {
    std::string line = "Polygon mit der ";
    line += name;
    line += ' ';
    line += value;
    line += suffix;
    return line;
}

}  // namespace plyvet
