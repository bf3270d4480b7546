#pragma once
// What a correction run reads from the main window (or the command line),
// and the run-wide settings flags that live as long as the program.

#include <string>

namespace plyvet {

// "bei nicht auflösbarem Problem"
enum class OnUnsolvable {
    SkipShape,  // "Shape nicht exportieren"
    StopFile,   // "Programm abbrechen"
};

// "Codepage verwenden..."
enum class CodePageChoice {
    FromHeader,  // "aus Header": the output declares what the source declares
    Ansi,        // both declare Windows-1252
    Oem,         // both declare the DOS code page 850
};

// The window's inputs, as typed. Number texts are kept as text because the
// check log repeats them as the user wrote them.
struct RunOptions {
    std::string outputFolder;                  // txtAusgabeVerzeichnis
    std::string granularity = "3";             // txtGranularity, decimal places
    std::string identicalPointThreshold = "0,001";  // txtIdenticalPointThresholdSize
    bool deletePointsOnLine = false;           // chkDeletePointsOnLine
    bool deleteSplitterArea = true;            // chkDeleteSplitterArea
    std::string splitterTolerance = "0,01";    // txtSplitterToleranz
    bool useId = false;                        // chkID
    bool onlyErrorObjects = false;             // chkOnlyErrorObjectsInLogFile
    OnUnsolvable onUnsolvable = OnUnsolvable::SkipShape;
    CodePageChoice codePage = CodePageChoice::FromHeader;
    char decimalSeparator = ',';               // how the number texts are written
};

// Run settings confirmed in the settings dialog.
struct RunSettings {
    bool overwriteExistingShapeFiles = false;
    bool ignoreLongFileNames = false;
    bool putResultInSourceFolder = false;
    bool settingsConfirmed = false;  // the dialog was confirmed or cancelled since program start
    bool continueRun = true;         // False stops the whole run after the current file
};

}  // namespace plyvet
