#include "layerops/field_names.h"

#include <algorithm>
#include <optional>

namespace plyvet::layerops {

namespace {

// Code points of a UTF-8 text. A byte that does not start a valid sequence
// stands for itself, mapped above the Unicode range so that it only ever
// equals the same byte.
std::u32string codePoints(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        char32_t cp = 0;
        if (b0 < 0x80) {
            len = 1;
            cp = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            len = 2;
            cp = b0 & 0x1Fu;
        } else if ((b0 & 0xF0) == 0xE0) {
            len = 3;
            cp = b0 & 0x0Fu;
        } else if ((b0 & 0xF8) == 0xF0) {
            len = 4;
            cp = b0 & 0x07u;
        }
        bool valid = len != 0 && i + len <= s.size();
        for (std::size_t k = 1; valid && k < len; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        // Overlong forms and surrogates are not characters.
        constexpr char32_t kMinOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (cp < kMinOfLength[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
        if (!valid) {
            out.push_back(0x110000u + b0);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += len;
    }
    return out;
}

// Case folding for the letters a field name can hold in the code pages these
// files use: ASCII, Latin-1 and the extra letters of Windows-1252.
char32_t fold(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    switch (c) {
        case 0x160: return 0x161;  // S caron
        case 0x152: return 0x153;  // OE
        case 0x17D: return 0x17E;  // Z caron
        case 0x178: return 0xFF;   // Y diaeresis
        default: return c;
    }
}

std::u32string folded(std::string_view s) {
    std::u32string out = codePoints(s);
    for (auto& c : out) c = fold(c);
    return out;
}

bool sameName(std::string_view a, std::string_view b) { return folded(a) == folded(b); }

std::size_t charCount(std::string_view s) { return codePoints(s).size(); }

std::string trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

struct Refusal {
    std::string message;
};

// One attribute field as the protocol sees it.
struct NamedField {
    std::string shown;        // UTF-8: what the dialog, the messages and the logs show
    std::size_t storedBytes;  // length of the name as the table stores it unchanged
};

bool tooLongStored(std::size_t bytes) { return bytes > kMaxFieldNameChars; }

// The first refused answer in field order, or none when all are acceptable;
// `encoded` gets each row's new name in the output's code page.
std::optional<Refusal> firstRefusal(const std::vector<NamedField>& fields, const std::vector<std::size_t>& rowField,
                                    const std::vector<Ui::FieldNameRow>& rows, const NameCoding& coding,
                                    std::vector<std::string>& encoded) {
    encoded.assign(rows.size(), std::string());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string& newName = rows[r].newName;
        if (newName.empty() || sameName(newName, rows[r].oldName)) {
            return Refusal{"Feldname " + newName + " zu lang. Bitte ändern!"};
        }
        const auto stored = coding.store(newName);
        if (!stored) {
            return Refusal{"Feldname " + newName +
                           " enthält Zeichen, die die Attributdatei nicht speichern kann. Bitte ändern!"};
        }
        if (tooLongStored(stored->size())) return Refusal{"Feldname " + newName + " zu lang. Bitte ändern!"};
        encoded[r] = *stored;
        bool taken = false;
        for (std::size_t f = 0; f < fields.size() && !taken; ++f) {
            taken = f != rowField[r] && sameName(newName, fields[f].shown);
        }
        // Two rows renamed alike would give the output table two fields of one name.
        for (std::size_t earlier = 0; earlier < r && !taken; ++earlier) {
            taken = sameName(newName, rows[earlier].newName);
        }
        if (taken) {
            return Refusal{"Der Feldname " + newName + " ist bereits vorhanden.\r\nBitte neuen Namen eingeben."};
        }
    }
    return std::nullopt;
}

FieldNameOutcome renameFields(const std::vector<NamedField>& fields, const NameCoding& coding,
                              std::string_view baseName, Ui& ui, int maxDialogs) {
    FieldNameOutcome out;
    out.newNames.assign(fields.size(), std::string());

    std::vector<Ui::FieldNameRow> rows;
    std::vector<std::size_t> rowField;  // field index of each row
    for (std::size_t f = 0; f < fields.size(); ++f) {
        if (tooLongStored(fields[f].storedBytes)) {
            rows.push_back({fields[f].shown, {}});
            rowField.push_back(f);
        }
    }
    if (rows.empty()) {
        out.accepted = true;
        return out;
    }

    const std::string shp = "Shapefile: " + std::string(baseName) + ".shp: ";
    ui.message({"Feldnamen dürfen nicht länger als 10 Zeichen sein. Bitte kürzen."});
    const std::string instruction = fieldNameInstruction();
    maxDialogs = std::max(maxDialogs, 1);
    for (int shown = 0; shown < maxDialogs; ++shown) {
        std::string editText;
        const bool ok = ui.fieldNameDialog(rows, instruction, editText);
        // The dialog edits new names only; its rows stay ours.
        rows.resize(rowField.size());
        for (std::size_t r = 0; r < rows.size(); ++r) rows[r].oldName = fields[rowField[r]].shown;
        if (!ok) {
            ui.message({shp + "Feldname " + editText +
                        " wurde nicht geändert.\r\nBearbeitung des aktuellen Shapefiles wird deshalb abgebrochen."});
            ui.setStatus("");
            out.logLines.push_back(shp + "Feldname " + editText +
                                   " wurde nicht geändert. Programm wird deshalb abgebrochen.");
            return out;
        }
        for (auto& row : rows) row.newName = trimmed(row.newName);
        std::vector<std::string> encoded;
        if (const auto refusal = firstRefusal(fields, rowField, rows, coding, encoded)) {
            ui.message({refusal->message});
            continue;
        }
        for (std::size_t r = 0; r < rows.size(); ++r) {
            out.newNames[rowField[r]] = encoded[r];
            out.logLines.push_back("Feldname " + rows[r].oldName + " in " + std::string(baseName) + "x wurde auf " +
                                   std::to_string(charCount(rows[r].newName)) + " Zeichen gekürzt.");
            out.logLines.push_back("Neuer Feldname: " + rows[r].newName);
        }
        out.accepted = true;
        return out;
    }

    const std::string tries = std::to_string(maxDialogs);
    ui.message({"Die Feldnamen wurden nach " + tries +
                " Versuchen nicht gültig geändert.\r\nBearbeitung des aktuellen Shapefiles wird deshalb abgebrochen."});
    ui.setStatus("");
    out.logLines.push_back(shp + "Feldnamen wurden nach " + tries +
                           " Versuchen nicht gültig geändert. Programm wird deshalb abgebrochen.");
    out.newNames.assign(fields.size(), std::string());
    return out;
}

}  // namespace

std::string fieldNameInstruction() {
    return "Markieren Sie bitte die zu ändernden Feldnamen in der Liste. \r\n"
           "Ändern Sie den in die Textbox kopierten Feldnamen auf höchstens " +
           std::to_string(kMaxFieldNameChars) +
           " Zeichen.\r\n"
           "Zur Übernahme der Änderung betätigen Sie bitte den Button 'Feldname ändern'.\r\n"
           "Wenn alle Namen geändert wurden, bitte den ok-Button betätigen.";
}

FieldNameOutcome renameLongFieldNames(std::span<const std::string> fieldNames, const NameCoding& coding,
                                      std::string_view baseName, Ui& ui, int maxDialogs) {
    std::vector<NamedField> fields;
    fields.reserve(fieldNames.size());
    for (const auto& name : fieldNames) {
        // A name the code page cannot hold cannot be kept either.
        const auto stored = coding.store(name);
        fields.push_back({name, stored ? stored->size() : static_cast<std::size_t>(-1)});
    }
    return renameFields(fields, coding, baseName, ui, maxDialogs);
}

FieldNameOutcome renameLongFieldNames(std::span<const gis::FieldDef> defs, const NameCoding& coding,
                                      std::string_view baseName, Ui& ui, int maxDialogs) {
    std::vector<NamedField> fields;
    fields.reserve(defs.size());
    // A kept name is copied as its stored bytes, so those are what must fit.
    for (const auto& f : defs) fields.push_back({coding.show(f.name), f.name.size()});
    return renameFields(fields, coding, baseName, ui, maxDialogs);
}

}  // namespace plyvet::layerops
