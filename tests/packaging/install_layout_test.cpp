// The installed program: `cmake --install` of this build into a scratch
// root, then the program run from there must find its helper library and
// its help relative to itself and keep plyvet.log and Plyvet.mdb in the
// per-user data folder; copied into one folder (a portable install) it
// keeps them beside itself.
#include "../report/xml_lite.h"

#include "support/testsupport.h"
#include "tools/samplegen/samplegen.h"

#include <gtest/gtest.h>

#include <map>

namespace plyvet {
namespace {

namespace fs = std::filesystem;

std::string lineStartingWith(const std::string& text, const std::string& prefix) {
    for (const auto& line : test::splitLines(text, "\n")) {
        if (line.starts_with(prefix)) return line.substr(prefix.size());
    }
    return "(keine Zeile " + prefix + ")";
}

class InstallLayout : public ::testing::Test {
protected:
    void SetUp() override {
        const auto r = test::runCommand({PLYVET_CMAKE_COMMAND, "--install", PLYVET_BUILD_DIR, "--prefix", prefix_.string()});
        ASSERT_EQ(r.exitCode, 0) << r.stdoutText << r.stderrText;
        fs::create_directories(dir_ / "home");
        fs::create_directories(dir_ / "quelle");
        fs::create_directories(dir_ / "ergebnis");
    }

    // The environment of a user without PLYVET_HOME or XDG_DATA_HOME.
    test::CommandResult run(const fs::path& program, std::vector<std::string> args) {
        args.insert(args.begin(), program.string());
        return test::runCommand(args, {{"HOME", (dir_ / "home").string()}, {"XDG_DATA_HOME", ""}, {"PLYVET_HOME", ""}});
    }

    fs::path dataFolder() const { return dir_ / "home" / ".local" / "share" / "Tarsel" / "Polyvet"; }

    test::TempDir dir_{"plyvet-install"};
    fs::path prefix_ = dir_ / "usr";
};

TEST_F(InstallLayout, FilesInTheirPlaces) {
    for (const char* file : {"bin/plyvet", "lib/libPlyvet.so", "share/plyvet/plyvet.html",
                             "share/applications/plyvet.desktop", "share/icons/hicolor/scalable/apps/plyvet.svg"}) {
        EXPECT_TRUE(fs::is_regular_file(prefix_ / file)) << file;
    }
    EXPECT_FALSE(fs::exists(prefix_ / "bin" / "plyvet.html"));
    EXPECT_FALSE(fs::exists(prefix_ / "bin" / "libPlyvet.so"));
}

TEST_F(InstallLayout, DesktopEntryNamesProgramAndIcon) {
    const auto lines = test::readLines(prefix_ / "share" / "applications" / "plyvet.desktop", "\n");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "[Desktop Entry]");
    std::map<std::string, std::string> keys;
    for (const auto& line : lines) {
        if (const auto eq = line.find('='); eq != std::string::npos) keys[line.substr(0, eq)] = line.substr(eq + 1);
    }
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_EQ(keys["Name"], "Polyvet");
    EXPECT_TRUE(fs::is_regular_file(prefix_ / "bin" / keys["Exec"])) << keys["Exec"];
    EXPECT_TRUE(fs::is_regular_file(prefix_ / "share/icons/hicolor/scalable/apps" / (keys["Icon"] + ".svg")))
        << keys["Icon"];
    EXPECT_TRUE(keys["Categories"].ends_with(";")) << keys["Categories"];
    const auto icon = test::xml::parse(test::readFile(prefix_ / "share/icons/hicolor/scalable/apps/plyvet.svg"));
    EXPECT_EQ(icon.name, "svg");
}

TEST_F(InstallLayout, InstalledProgramFindsLibraryAndHelpAndLogsPerUser) {
    const fs::path plyvet = prefix_ / "bin" / "plyvet";
    const auto version = run(plyvet, {"--version"});
    ASSERT_EQ(version.exitCode, 0) << version.stderrText;
    EXPECT_NE(lineStartingWith(version.stdoutText, "Hilfsbibliothek libPlyvet.so Version: "), "") << version.stdoutText;
    EXPECT_EQ(version.stdoutText.find("Datei nicht gefunden"), std::string::npos) << version.stdoutText;
    EXPECT_EQ(fs::path(lineStartingWith(version.stdoutText, "Hilfedatei: ")),
              (prefix_ / "share" / "plyvet" / "plyvet.html").lexically_normal());
    EXPECT_EQ(lineStartingWith(version.stdoutText, "Programmverzeichnis (plyvet.log, Plyvet.mdb): "),
              dataFolder().string());

    samplegen::write(samplegen::sampleLayer(), dir_ / "quelle" / "flur");
    const auto correct = run(plyvet, {"correct", "--output", (dir_ / "ergebnis").string(),
                                      (dir_ / "quelle" / "flur.shp").string()});
    EXPECT_EQ(correct.exitCode, 0) << correct.stdoutText << correct.stderrText;
    EXPECT_TRUE(fs::is_regular_file(dir_ / "ergebnis" / "flur_x.shp"));
    EXPECT_TRUE(fs::is_regular_file(dataFolder() / "plyvet.log"));
    EXPECT_TRUE(fs::is_regular_file(dataFolder() / "Plyvet.mdb"));
    EXPECT_FALSE(fs::exists(prefix_ / "bin" / "plyvet.log"));
    EXPECT_FALSE(fs::exists(prefix_ / "bin" / "Plyvet.mdb"));
}

TEST_F(InstallLayout, PortableFolderKeepsItsFilesBesideTheProgram) {
    const fs::path portable = dir_ / "portabel";
    fs::create_directories(portable);
    fs::copy_file(prefix_ / "bin" / "plyvet", portable / "plyvet");
    fs::copy_file(prefix_ / "lib" / "libPlyvet.so", portable / "libPlyvet.so");
    fs::copy_file(prefix_ / "share" / "plyvet" / "plyvet.html", portable / "plyvet.html");
    const auto version = run(portable / "plyvet", {"--version"});
    ASSERT_EQ(version.exitCode, 0) << version.stderrText;
    EXPECT_EQ(fs::path(lineStartingWith(version.stdoutText, "Hilfedatei: ")), portable / "plyvet.html");
    EXPECT_EQ(lineStartingWith(version.stdoutText, "Programmverzeichnis (plyvet.log, Plyvet.mdb): "),
              portable.string());
    EXPECT_FALSE(fs::exists(dataFolder()));
}

TEST_F(InstallLayout, MissingHelpIsNamedWhereItWasLookedFor) {
    fs::remove(prefix_ / "share" / "plyvet" / "plyvet.html");
    const auto version = run(prefix_ / "bin" / "plyvet", {"--version"});
    ASSERT_EQ(version.exitCode, 0) << version.stderrText;
    EXPECT_EQ(lineStartingWith(version.stdoutText, "Hilfedatei: "),
              (prefix_ / "bin" / "plyvet.html").string() + " (nicht vorhanden)");
}

}  // namespace
}  // namespace plyvet
