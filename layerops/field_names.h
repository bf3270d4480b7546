#pragma once
// New names for attribute fields whose names are too long for a dBase table
// (more than 10 characters), asked for in the field-name dialog before an
// export creates its output table.
//
// The protocol: collect the over-long names in field order; when there are
// none nothing is shown and every name stays. Otherwise show the request to
// shorten them, then the dialog, and check its answers field by field. The
// first refused answer is named in a message and the dialog is shown again
// with the rows as the user left them. Refused are: an empty name, a name
// equal to the old one ignoring case, a name still longer than 10 characters
// ("zu lang"); a name equal, ignoring case, to another field's name or to the
// new name of an earlier row ("bereits vorhanden"). Cancelling the dialog ends
// the export of the file. So does a dialog that has been answered
// `maxDialogs` times without an acceptable set of names, so that an answer
// that never changes cannot keep the protocol going for ever.
//
// Names are shown, compared and logged as UTF-8, but what has to fit is the
// name as the table stores it: at most 10 bytes in the table's code page
// (Windows-1252 "Fläche" is 6 bytes, the same name in UTF-8 7). A source
// name is too long when its stored bytes are; an answer is refused as "zu
// lang" when it needs more than 10 bytes in the output's code page, and is
// refused on its own when one of its characters has no form there, so that
// a new name is never replaced, cut or mangled on its way into the file.
// Leading and trailing blanks of an answer are dropped before it is checked.

#include "pipeline/gis/shapefile.h"
#include "pipeline/ui.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::layerops {

// Longest field name a dBase header holds, in bytes of the table's code page.
inline constexpr std::size_t kMaxFieldNameChars = 10;
inline constexpr int kMaxFieldNameDialogs = 100;

struct FieldNameOutcome {
    bool accepted = false;  // false: the export of this file ends
    // One per input field, empty keeps the name; a new name is given in the
    // bytes of the output's code page, ready for the output table.
    std::vector<std::string> newNames;
    // Check-log lines: per renamed field "Feldname <old> in <baseName>x wurde
    // auf <n> Zeichen gekürzt." and "Neuer Feldname: <new>"; when not
    // accepted, the line that says why the file stops.
    std::vector<std::string> logLines;
};

// The instruction text of the field-name dialog.
std::string fieldNameInstruction();

// How one export stores field names: `show` turns the bytes of a source
// name into UTF-8, `store` a UTF-8 name into the bytes of the output's code
// page, or std::nullopt when one of its characters has no form there.
struct NameCoding {
    std::function<std::string(std::string_view)> show;
    std::function<std::optional<std::string>(std::string_view)> store;
};

// Runs the renaming protocol for the attribute fields `fieldNames` (UTF-8,
// in table order) of the shapefile "<baseName>.shp" through `ui`; old and
// new names alike are stored as `coding.store` writes them.
FieldNameOutcome renameLongFieldNames(std::span<const std::string> fieldNames, const NameCoding& coding,
                                      std::string_view baseName, Ui& ui, int maxDialogs = kMaxFieldNameDialogs);

// The same for the fields of a source table, whose names are the bytes its
// .dbf stores (shown through `coding.show`) and are kept so when they fit.
FieldNameOutcome renameLongFieldNames(std::span<const gis::FieldDef> fields, const NameCoding& coding,
                                      std::string_view baseName, Ui& ui, int maxDialogs = kMaxFieldNameDialogs);

}  // namespace plyvet::layerops
