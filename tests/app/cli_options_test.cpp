#include "app/cli_options.h"

#include <gtest/gtest.h>

namespace plyvet::app {
namespace {

TEST(CommandLine, CorrectWithEveryOption) {
    const auto cl = parseCommandLine({"correct", "--output", "/tmp/aus", "--overwrite", "--keep-long-names",
                                      "--use-id", "--on-unsolvable", "stop", "--code-page=oem", "a.shp", "b.shp"});
    ASSERT_EQ(cl.error, "");
    EXPECT_EQ(cl.command, Command::Correct);
    EXPECT_EQ(cl.options.outputFolder, "/tmp/aus");
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
