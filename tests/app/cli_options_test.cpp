#include "app/cli_options.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace plyvet::app {
namespace {

TEST(CommandLine, CorrectWithEveryOption) {
    const auto cl = parseCommandLine({"correct", "--output", "/tmp/aus", "--overwrite", "--keep-long-names",
                                      "--use-id", "--on-unsolvable", "stop", "--code-page=oem", "a.shp", "b.shp"});
    ASSERT_EQ(cl.error, "");
    EXPECT_EQ(cl.command, Command::Correct);
    EXPECT_EQ(cl.options.outputFolder, "/tmp/aus");
    const auto relative = parseCommandLine({"correct", "--output", "aus/./neu", "a.shp"});
    EXPECT_EQ(relative.options.outputFolder, (std::filesystem::current_path() / "aus/neu").string());
    EXPECT_TRUE(cl.settings.overwriteExistingShapeFiles);
    EXPECT_TRUE(cl.settings.ignoreLongFileNames);
    EXPECT_FALSE(cl.settings.putResultInSourceFolder);
    EXPECT_TRUE(cl.settings.settingsConfirmed);
    EXPECT_TRUE(cl.options.useId);
    EXPECT_EQ(cl.options.onUnsolvable, OnUnsolvable::StopFile);
    EXPECT_EQ(cl.options.codePage, CodePageChoice::Oem);
    EXPECT_EQ(cl.options.decimalSeparator, '.');
    EXPECT_EQ(cl.files, (std::vector<std::string>{"a.shp", "b.shp"}));
}

TEST(CommandLine, SafeDefaults) {
    const auto cl = parseCommandLine({"correct", "--in-source-folder", "a.shp"});
    ASSERT_EQ(cl.error, "");
    EXPECT_TRUE(cl.settings.putResultInSourceFolder);
    EXPECT_FALSE(cl.settings.overwriteExistingShapeFiles);
    EXPECT_FALSE(cl.settings.ignoreLongFileNames);
    EXPECT_FALSE(cl.options.useId);
    EXPECT_EQ(cl.options.onUnsolvable, OnUnsolvable::SkipShape);
    EXPECT_EQ(cl.options.codePage, CodePageChoice::FromHeader);
}

TEST(CommandLine, UsageErrors) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"frobnicate"}, "Unbekannter Befehl: frobnicate"},
        {{"correct", "--output", "x"}, "Keine Shapefiles angegeben."},
        {{"correct", "a.shp"}, "Bitte --output VERZ oder --in-source-folder angeben."},
        {{"correct", "--output", "x", "--in-source-folder", "a.shp"},
         "--output und --in-source-folder schließen sich aus."},
        {{"correct", "a.shp", "--output"}, "Option --output erwartet einen Wert."},
        {{"correct", "--output=", "a.shp"}, "--output erwartet ein Verzeichnis."},
        {{"correct", "--output", "x", "--on-unsolvable", "maybe", "a.shp"},
         "--on-unsolvable erwartet skip oder stop, nicht maybe."},
        {{"correct", "--output", "x", "--code-page", "utf8", "a.shp"},
         "--code-page erwartet header, ansi oder oem, nicht utf8."},
        // Options of later features are refused, never accepted and ignored.
        {{"correct", "--output", "x", "--granularityy", "a.shp"}, "Unbekannte Option: --granularityy"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseCommandLine(c.args).error, c.error);
    }
}

TEST(CommandLine, HelpVersionAndDoubleDash) {
    EXPECT_EQ(parseCommandLine({"--help"}).command, Command::Help);
    EXPECT_EQ(parseCommandLine({"--version"}).command, Command::Version);
    EXPECT_EQ(parseCommandLine({"correct", "--help"}).command, Command::Help);
    EXPECT_EQ(parseCommandLine({}).command, Command::None);
    const auto cl = parseCommandLine({"correct", "--output", "x", "--", "--seltsam.shp"});
    EXPECT_EQ(cl.error, "");
    EXPECT_EQ(cl.files, std::vector<std::string>{"--seltsam.shp"});
}

}  // namespace
}  // namespace plyvet::app

namespace plyvet::app {
namespace {

TEST(CommandLine, CleanerOptions) {
    const auto cl = parseCommandLine({"correct", "--output", "o", "--granularity", "4", "--threshold", "0.0005",
                                      "--sliver-tolerance=0.02", "--delete-points-on-line", "--only-errors",
                                      "--rename", "LANGERNAME1=KURZ", "--rename=ZWEITERNAME=K2", "a.shp"});
    ASSERT_EQ(cl.error, "");
    EXPECT_EQ(cl.options.granularity, "4");
    EXPECT_EQ(cl.options.identicalPointThreshold, "0.0005");
    EXPECT_EQ(cl.options.splitterTolerance, "0.02");
    EXPECT_TRUE(cl.options.deleteSplitterArea);
    EXPECT_TRUE(cl.options.deletePointsOnLine);
    EXPECT_TRUE(cl.options.onlyErrorObjects);
    using R = std::pair<std::string, std::string>;
    EXPECT_EQ(cl.renames, (std::vector<R>{{"LANGERNAME1", "KURZ"}, {"ZWEITERNAME", "K2"}}));
}

TEST(CommandLine, SliverRemovalSwitchedOff) {
    EXPECT_FALSE(parseCommandLine({"correct", "--output", "o", "--sliver-tolerance", "0", "a.shp"})
                     .options.deleteSplitterArea);
    EXPECT_FALSE(parseCommandLine({"correct", "--output", "o", "--no-sliver-removal", "a.shp"})
                     .options.deleteSplitterArea);
    EXPECT_TRUE(parseCommandLine({"correct", "--output", "o", "a.shp"}).options.deleteSplitterArea);
}

TEST(CommandLine, CleanerOptionErrors) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"correct", "--output", "o", "--granularity", "19", "a.shp"},
         "--granularity erwartet eine ganze Zahl von 0 bis 18, nicht 19."},
        {{"correct", "--output", "o", "--granularity", "2.5", "a.shp"},
         "--granularity erwartet eine ganze Zahl von 0 bis 18, nicht 2.5."},
        {{"correct", "--output", "o", "--threshold", "0,001", "a.shp"},
         "--threshold erwartet eine Zahl ab 0 mit Dezimalpunkt, nicht 0,001."},
        {{"correct", "--output", "o", "--threshold", "-1", "a.shp"},
         "--threshold erwartet eine Zahl ab 0 mit Dezimalpunkt, nicht -1."},
        {{"correct", "--output", "o", "--sliver-tolerance", "nan", "a.shp"},
         "--sliver-tolerance erwartet eine Zahl ab 0 mit Dezimalpunkt, nicht nan."},
        {{"correct", "--output", "o", "--rename", "OHNEGLEICH", "a.shp"}, "--rename erwartet ALT=NEU, nicht OHNEGLEICH."},
        {{"correct", "--output", "o", "--rename", "=NEU", "a.shp"}, "--rename erwartet ALT=NEU, nicht =NEU."},
    };
    for (const auto& c : cases) EXPECT_EQ(parseCommandLine(c.args).error, c.error);
}

}  // namespace
}  // namespace plyvet::app
