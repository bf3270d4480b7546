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
// Names are UTF-8; lengths are counted in characters, not bytes. Leading and
// trailing blanks of an answer are dropped before it is checked.

#include "pipeline/gis/shapefile.h"
#include "pipeline/ui.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::layerops {

inline constexpr std::size_t kMaxFieldNameChars = 10;
inline constexpr int kMaxFieldNameDialogs = 100;

struct FieldNameOutcome {
    bool accepted = false;              // false: the export of this file ends
    std::vector<std::string> newNames;  // one per input field; empty keeps the name
    // Check-log lines: per renamed field "Feldname <old> in <baseName>x wurde
    // auf <n> Zeichen gekürzt." and "Neuer Feldname: <new>"; when not
    // accepted, the line that says why the file stops.
    std::vector<std::string> logLines;
};

// The instruction text of the field-name dialog.
std::string fieldNameInstruction();

// Runs the renaming protocol for the attribute fields `fieldNames` (in table
// order) of the shapefile "<baseName>.shp" through `ui`.
FieldNameOutcome renameLongFieldNames(std::span<const std::string> fieldNames, std::string_view baseName, Ui& ui,
                                      int maxDialogs = kMaxFieldNameDialogs);
FieldNameOutcome renameLongFieldNames(std::span<const gis::FieldDef> fields, std::string_view baseName, Ui& ui,
                                      int maxDialogs = kMaxFieldNameDialogs);

}  // namespace plyvet::layerops
