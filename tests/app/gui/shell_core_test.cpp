// The shell's rules without widgets: numeric input, enabling rules, version
// tag, corrected names and folder creation.

#include "app/gui/shell_core.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace plyvet::shell {
namespace {

namespace fs = std::filesystem;

TEST(ValidateNum, KeyTable) {
    struct Case {
        const char* text;
        int caret;
        int selected;
        Key key;
        bool taken;
        const char* why;
    };
    // A threshold field: at most 5 characters, 3 decimals, so one integer digit.
    const Case cases[] = {
        {"", 0, 0, Key::Digit, true, "a first digit"},
        {"", 0, 0, Key::Enter, true, "Enter"},
        {"1", 1, 0, Key::Backspace, true, "Backspace on a digit"},
        {"1", 1, 0, Key::Other, false, "a letter"},
        {"1", 1, 0, Key::DecimalSeparator, true, "the first separator"},
        {"1,2", 3, 0, Key::DecimalSeparator, false, "a second separator"},
        {"1,2", 1, 2, Key::DecimalSeparator, false, "a separator over a selection that holds the old one"},
        {"1,23", 4, 0, Key::Digit, true, "the third decimal"},
        {"1,234", 5, 0, Key::Digit, false, "a fourth decimal"},
        {"1,234", 3, 0, Key::Digit, false, "a digit between the decimals when all are used"},
        {"1,23", 2, 0, Key::Digit, true, "a decimal typed in front of the others"},
        {"1,23", 0, 0, Key::Digit, false, "a second integer digit"},
        {"1,23", 1, 0, Key::Digit, false, "a second integer digit at the separator"},
        {"1,23", 0, 1, Key::Digit, true, "a digit typed over the integer digit"},
        {"1,234", 4, 1, Key::Digit, true, "a digit typed over the last decimal"},
        {"0,001", 2, 0, Key::Backspace, false, "deleting the separator would make 0001 the integer part"},
        {"0,001", 1, 0, Key::Delete, false, "the same with Delete"},
        {"0,", 2, 0, Key::Backspace, true, "deleting a trailing separator leaves one digit"},
        {"0,001", 0, 5, Key::Backspace, true, "deleting everything"},
        {"0,001", 1, 4, Key::Backspace, true, "deleting the separator with the digits behind it"},
        {"0,001", 1, 3, Key::Backspace, false, "deleting the separator and two digits still joins 01"},
        {"0,001", 0, 0, Key::Backspace, true, "Backspace at the start deletes nothing"},
        {"0,001", 5, 0, Key::Delete, true, "Delete at the end deletes nothing"},
        {"12345", 5, 0, Key::Digit, false, "the field is full"},
        {"1234", 4, 0, Key::DecimalSeparator, true, "a separator into a free place"},
        {"12345", 5, 0, Key::DecimalSeparator, false, "a separator into a full field"},
    };
    for (const auto& c : cases) {
        NumericField f;
        f.text = c.text;
        f.selectionStart = c.caret;
        f.selectionLength = c.selected;
        f.maxLength = 5;
        f.decimals = 3;
        f.separator = ',';
        EXPECT_EQ(validateNum(f, c.key), c.taken) << c.why << " (\"" << c.text << "\")";
    }
}

TEST(ValidateNum, NoDecimalsMeansNoSeparator) {
    NumericField f;
    f.text = "12";
    f.selectionStart = 2;
    f.maxLength = 5;
    f.decimals = 0;
    EXPECT_FALSE(validateNum(f, Key::DecimalSeparator));
    EXPECT_TRUE(validateNum(f, Key::Digit));
}

TEST(ValidateNum, FollowsTheGivenSeparator) {
    NumericField f;
    f.text = "0.01";
    f.selectionStart = 4;
    f.maxLength = 5;
    f.decimals = 3;
    f.separator = '.';
    EXPECT_TRUE(validateNum(f, Key::Digit));
    f.text = "0.012";
    f.selectionStart = 5;
    EXPECT_FALSE(validateNum(f, Key::Digit));
    EXPECT_FALSE(validateNum(f, Key::DecimalSeparator));
}

TEST(ValidateNum, SelectionBeyondTheTextIsClamped) {
    NumericField f;
    f.text = "1,2";
    f.selectionStart = 99;
    f.selectionLength = 7;
    f.maxLength = 5;
    EXPECT_TRUE(validateNum(f, Key::Digit));  // caret at the end, behind the separator, one decimal used
}

TEST(GranularityKey, OnlyOneToEight) {
    for (char c = '1'; c <= '8'; ++c) EXPECT_EQ(granularityKey(c), c);
    for (char c : {'0', '9', 'a', 'Z', ',', ' ', '\b', '\r', '\0'}) EXPECT_EQ(granularityKey(c), '8') << int(c);
}

TEST(EnablingRules, Table) {
    struct Case {
        int count;
        bool folder;
        bool allCorrected;
        RuleTrigger trigger;
        CommandStates before;
        CommandStates after;
        const char* why;
    };
    const CommandStates none{};
    const CommandStates layerOn{false, false, false, true, true};
    const auto states = [](bool subtract, bool merge, bool correction, bool overlap, bool identical) {
        return CommandStates{subtract, merge, correction, overlap, identical};
    };
    const Case cases[] = {
        {0, false, true, RuleTrigger::ListGrew, none, none, "empty list, no folder"},
        {1, false, false, RuleTrigger::ListGrew, none, states(true, false, false, false, false), "no folder yet"},
        {1, true, false, RuleTrigger::ListGrew, none, states(true, false, true, false, false), "one file and a folder"},
        {2, true, false, RuleTrigger::ListGrew, none, states(true, true, true, false, false), "two files can be merged"},
        {2, true, true, RuleTrigger::ListGrew, none, states(true, true, true, true, true), "all files corrected"},
        {2, true, false, RuleTrigger::ListGrew, layerOn, states(true, true, true, true, true),
         "not all corrected keeps the layer commands as they were"},
        {2, true, true, RuleTrigger::OutputFolderText, none, states(true, true, true, false, false),
         "the folder text leaves the layer commands alone"},
        {1, false, true, RuleTrigger::OutputFolderText, layerOn, states(true, false, false, true, true),
         "emptying the folder text does not disable them either"},
        {1, false, true, RuleTrigger::ListGrew, layerOn, states(true, false, false, true, true),
         "the add button does not disable them"},
        {0, true, true, RuleTrigger::ListShrank, layerOn, none, "removing the last file disables them"},
        {1, false, true, RuleTrigger::ListShrank, layerOn, states(true, false, false, false, false),
         "without a folder the minus button disables them"},
        {1, true, true, RuleTrigger::ListShrank, none, states(true, false, true, true, true),
         "removing the last uncorrected file enables them"},
    };
    for (const auto& c : cases) {
        const CommandStates s = applyEnablingRules(c.before, c.count, c.folder, c.allCorrected, c.trigger);
        EXPECT_EQ(s.subtract, c.after.subtract) << c.why;
        EXPECT_EQ(s.merge, c.after.merge) << c.why;
        EXPECT_EQ(s.correction, c.after.correction) << c.why;
        EXPECT_EQ(s.overlap, c.after.overlap) << c.why;
        EXPECT_EQ(s.identical, c.after.identical) << c.why;
    }
}

TEST(CorrectedShapefile, LetterBeforeTheExtension) {
    EXPECT_TRUE(isCorrectedShapefile("/d/flur_x.shp"));
    EXPECT_TRUE(isCorrectedShapefile("/d/FLUR_X.SHP"));
    EXPECT_TRUE(isCorrectedShapefile("/d/flurx.shp"));
    EXPECT_FALSE(isCorrectedShapefile("/d/flur.shp"));
    EXPECT_FALSE(isCorrectedShapefile("/d/x/flur.shp"));
    EXPECT_FALSE(isCorrectedShapefile(".shp"));
    EXPECT_FALSE(isCorrectedShapefile(""));
    EXPECT_FALSE(isCorrectedShapefile("/d/grün.shp"));  // a multi-byte letter is never an x
}

TEST(VersionTag, NumbersWrittenTogether) {
    EXPECT_EQ(versionTag(2, 1, 7), "217pv");
    EXPECT_EQ(versionTag(1, 0, 12), "1012pv");
}

TEST(CreateDirectory, BuildsEveryMissingLevel) {
    test::TempDir dir("plyvet-mkdir");
    fs::create_directories(dir / "a");
    const auto r = createDirectory(dir.path() / "a" / "b" / "c" / "");
    EXPECT_TRUE(r.ok) << r.errorNumber;
    EXPECT_TRUE(fs::is_directory(dir / "a" / "b" / "c"));
    // Existing levels are fine.
    EXPECT_TRUE(createDirectory(dir.path() / "a" / "b").ok);
}

TEST(CreateDirectory, WalksThroughDotAndDotDot) {
    test::TempDir dir("plyvet-mkdir");
    const auto r = createDirectory(dir.path() / "a" / "." / "b" / ".." / "c");
    EXPECT_TRUE(r.ok) << r.errorNumber;
    EXPECT_TRUE(fs::is_directory(dir / "a" / "b"));
    EXPECT_TRUE(fs::is_directory(dir / "a" / "c"));
}

TEST(CreateDirectory, FileInTheWayFails) {
    test::TempDir dir("plyvet-mkdir");
    test::writeFile(dir / "datei", "x");
    const auto r = createDirectory(dir.path() / "datei" / "unter");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.errorNumber, 0);
    EXPECT_TRUE(fs::is_regular_file(dir / "datei"));
    EXPECT_FALSE(createDirectory(dir.path() / "datei").ok);
    EXPECT_FALSE(createDirectory({}).ok);
}

TEST(CreateDirectory, Messages) {
    EXPECT_EQ(createDirectoryErrorText(20), "Function CreateDirectory: Laufzeitfehler 20 aufgetreten!");
    EXPECT_EQ(makePathErrorText("/x/y"), "Erzeugung des Pfades /x/y ist fehlgeschlagen.");
}

}  // namespace
}  // namespace plyvet::shell
