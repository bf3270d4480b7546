#include "pipeline/output_target.h"

#include "scripted_ui.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace plyvet {
namespace {

namespace fs = std::filesystem;
using test::ScriptedUi;

void touch(const fs::path& p) { test::writeFile(p, "x"); }

class OutputName : public ::testing::Test {
protected:
    test::TempDir out{"plyvet-out"};
    test::TempDir src{"plyvet-src"};
    RunSettings settings;
    ScriptedUi ui;

    std::optional<std::string> choose(std::string_view base = "flur") {
        return chooseOutputName(out.path(), base, "_x", src / std::string(base), settings, ui);
    }
    void existing(std::string_view name) {
        for (const char* ext : {".shp", ".shx", ".dbf", ".prj"}) touch(out / (std::string(name) + ext));
    }
};

TEST_F(OutputName, FreeNameIsTakenWithoutQuestion) {
    EXPECT_EQ(choose(), "flur_x");
    EXPECT_TRUE(ui.asked.empty());
}

TEST_F(OutputName, ExistingWithOverwriteDeletesAllFilesOfTheName) {
    existing("flur_x");
    touch(out / "flur_x.shp.xml");
    touch(out / "flur_xx.dbf");  // another name: stays
    settings.overwriteExistingShapeFiles = true;
    EXPECT_EQ(choose(), "flur_x");
    EXPECT_TRUE(ui.asked.empty());
    EXPECT_FALSE(fs::exists(out / "flur_x.dbf"));
    EXPECT_FALSE(fs::exists(out / "flur_x.prj"));
    EXPECT_FALSE(fs::exists(out / "flur_x.shp.xml"));
    EXPECT_TRUE(fs::exists(out / "flur_xx.dbf"));
}

TEST_F(OutputName, ExistingAsksAndCancelStopsTheRun) {
    existing("flur_x");
    EXPECT_EQ(choose(), std::nullopt);
    EXPECT_FALSE(settings.continueRun);
    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_EQ(ui.asked[0].kind, "input");
    EXPECT_EQ(ui.asked[0].message.title, "Warnung");
    EXPECT_EQ(ui.asked[0].message.text,
              "Shapefile flur_x bereits vorhanden. Sie können den vorgeschlagenen Dateinamen behalten\n"
              "oder einen neuen Namen eingeben");
    EXPECT_EQ(ui.asked[0].defaultText, "flur_x");
    EXPECT_TRUE(fs::exists(out / "flur_x.dbf"));
}

TEST_F(OutputName, SameNameInOtherCaseKeepsItAndOverwrites) {
    existing("flur_x");
    ui.inputs = {"FLUR_X"};
    EXPECT_EQ(choose(), "flur_x");
    EXPECT_TRUE(settings.continueRun);
    EXPECT_FALSE(fs::exists(out / "flur_x.dbf"));
}

TEST_F(OutputName, NewNameThatAlsoExistsAsksAgainWithItsPath) {
    existing("flur_x");
    existing("neu");
    ui.inputs = {"neu", "frei"};
    EXPECT_EQ(choose(), "frei");
    ASSERT_EQ(ui.asked.size(), 2u);
    EXPECT_EQ(ui.asked[1].message.text,
              "Shapefile " + (out / "neu.dbf").string() +
                  " bereits vorhanden. Sie können den vorgeschlagenen Dateinamen behalten\n"
                  "oder einen neuen Namen eingeben");
    EXPECT_EQ(ui.asked[1].defaultText, "neu");
    // Neither old output was touched.
    EXPECT_TRUE(fs::exists(out / "flur_x.dbf"));
    EXPECT_TRUE(fs::exists(out / "neu.dbf"));
}

TEST(OutputNameSafety, NameOfTheSourceItselfIsRefusedAndNothingDeleted) {
    test::TempDir dir;
    for (const char* ext : {".shp", ".shx", ".dbf"}) {
        test::writeFile(dir / (std::string("flur") + ext), "source");
        test::writeFile(dir / (std::string("flur_x") + ext), "old output");
    }
    RunSettings settings;
    ScriptedUi ui;
    ui.inputs = {"flur", "flur"};  // the user insists on the source's own name
    const auto name = chooseOutputName(dir.path(), "flur", "_x", dir / "flur", settings, ui);
    EXPECT_EQ(name, std::nullopt);
    EXPECT_EQ(test::readFile(dir / "flur.dbf"), "source");
    EXPECT_EQ(test::readFile(dir / "flur.shp"), "source");
    ASSERT_FALSE(ui.messageTexts().empty());
    EXPECT_NE(ui.messageTexts().back().find("Quell-Shapefile"), std::string::npos);
}

TEST(ConnectionError, TextsByCode) {
    struct Case {
        int code;
        const char* reason;
    };
    const Case cases[] = {{1, "Unknown error"},     {2, "Access denied"},   {3, "Invalid user"},
                          {4, "Network timeout"},   {5, "Dataset invalid"}, {6, "Tasks exceeded"},
                          {7, "File not found"},    {8, "Invalid directory"}, {9, "Host unknown"},
                          {42, "42"}};
    for (const auto& c : cases) {
        EXPECT_EQ(connectionErrorText({c.code, 0, ""}), std::string("Connection Error: ") + c.reason + "\r");
    }
    EXPECT_EQ(connectionErrorText({2, 13, "Permission denied"}), "Connection Error: Access denied\r13: Permission denied");
}

TEST(ConnectionError, FolderChecks) {
    test::TempDir dir;
    EXPECT_EQ(connectFolder(dir.path(), true), std::nullopt);
    const auto missing = connectFolder(dir / "fehlt", false);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->code, 8);
    touch(dir / "datei");
    const auto file = connectFolder(dir / "datei", true);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->code, 8);
    if (::geteuid() != 0) {  // root writes everywhere
        fs::create_directory(dir / "ro");
        fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        const auto readOnly = connectFolder(dir / "ro", true);
        ASSERT_TRUE(readOnly);
        EXPECT_EQ(readOnly->code, 2);
        fs::permissions(dir / "ro", fs::perms::owner_all);
    }
}

}  // namespace
}  // namespace plyvet
