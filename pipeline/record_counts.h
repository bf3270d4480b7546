#pragma once
// The record-count check of a shapefile triple before it is processed.
//
// Three counts must agree, or geometries and attribute rows no longer belong
// together and a copy would give polygons the wrong attributes:
//   actual  ("Ist")  the records the shapefile reader delivers;
//   target  ("Soll") (size of the .shx - 100) / 8, one 8-byte entry per record
//                    after the 100-byte header;
//   dBase   ("DBF")  the 32-bit little-endian record count at byte 4 of the
//                    .dbf header.
//
// The .shx and .dbf are read directly and defensively: every size and count
// is range-checked before it is used, a damaged or missing file gives a
// check-log line that names the fault and stops the file, and nothing is read
// past the end of a file or written to it.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet {

struct RecordCountOutcome {
    bool proceed = false;    // the file may be processed
    bool truncated = false;  // surplus dBase rows will not be copied (the note is among the lines)
    // Check-log lines in order: the three count lines first, then the lines of
    // the decision or of the damaged file. One entry per line, no line ends.
    std::vector<std::string> logLines;
    int actual = 0;  // also the number of records to walk and the progress maximum
    int target = 0;
    int dbase = 0;
};

// Decides on three counts that were read without trouble. The lines are those
// of the decision only (no count block). The first matching case wins:
//   all three 0                         stop, "enthält keine Datensätze"
//   all three equal                     go on
//   all three different                 stop
//   actual = target, dBase < actual     stop
//   actual = dBase, target > actual     stop
//   actual = dBase, target < actual     stop
//   target = dBase, actual > dBase      stop
//   target = dBase, actual < dBase      stop
//   otherwise (actual = target < dBase) go on with the truncation note
RecordCountOutcome decideRecordCounts(int actual, int target, int dbase, std::string_view baseName);

// The whole check for "<pathWithoutExtension>.shx" and ".dbf" (each also found
// with an upper-case ending): reads the two counts, writes the count block and
// decides. `actualCount` is ShapefileReader::recordCount() of the opened
// triple; `baseName` is the file name without folder and ".shp", as the log
// lines name the files.
//
// A missing, unreadable or damaged .shx or .dbf stops the file: the count
// block shows what could be read (0 otherwise), followed by one line per
// fault and "Shapefile <baseName>.shp wird deshalb nicht bearbeitet.". Faults:
// a .shx shorter than its 100-byte header, a .shx length that is not 100 plus
// a whole number of 8-byte entries; a .dbf shorter than its 32-byte header, a
// header length below 32 or beyond the end of the file, a record length of 0,
// a record count larger than the rows the file can hold.
RecordCountOutcome checkRecordCounts(const std::filesystem::path& pathWithoutExtension, int actualCount,
                                     std::string_view baseName);

}  // namespace plyvet
