// The log writer keeps one descriptor open across lines. These cases hold it
// to what a log opened and closed for every line gives: the same bytes, a
// complete file after every line, a new file after the old one was deleted.

#include "pipeline/log_file.h"
#include "pipeline/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace plyvet {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("plyvet-logfile-" + std::to_string(::getpid()) + "-" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path file(const std::string& name) const { return folder_ / name; }

private:
    fs::path folder_;
};

// The writer that opens the file for every line: the oracle for the bytes.
void appendPlain(const fs::path& path, std::string_view utf8) {
    std::FILE* f = std::fopen(path.c_str(), "ab");
    ASSERT_NE(f, nullptr);
    const std::string bytes = text::utf8ToCp1252(utf8) + "\r\n";
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

TEST_F(LogFileTest, SameBytesAsALogOpenedForEveryLine) {
    const std::vector<std::string> pieces = {"Polygon mit der FID ", "Stützpunkt(e)", "Fläche: 0,5m²", " – ", "€",
                                             "\r\n", "日本", "", "Überlagerung", "180°", "\xff"};
    std::mt19937 random(5);
    const LogFile log(file("ours_k.log"));
    ASSERT_TRUE(log.create());
    for (int k = 0; k < 500; ++k) {
        std::string line;
        for (int p = 0; p < k % 6; ++p) line += pieces[random() % pieces.size()];
        ASSERT_TRUE(log.append(line));
        appendPlain(file("plain_k.log"), line);
        // Complete after every line: nothing waits in a buffer.
        ASSERT_EQ(contents(file("ours_k.log")), contents(file("plain_k.log"))) << k;
    }
    const LogFile umlauts(file("u.log"));
    ASSERT_TRUE(umlauts.append("Grüße – 5 m² ✓"));
    EXPECT_EQ(contents(file("u.log")), "Gr\xFC\xDF" "e \x96 5 m\xB2 ?\r\n");
}

// A record's lines in one write: the same bytes as line by line, also for a
// group that holds nothing, empty lines or line breaks; a log deleted before
// the group is created anew with the whole group.
TEST_F(LogFileTest, GroupOfLinesGivesTheBytesOfItsLines) {
    const std::vector<std::vector<std::string>> groups = {
        {"Polygon mit der FID 1 ( Laufrichtung korrigiert )", "", "Fläche: 0,5m²"},
        {},
        {"ein\r\nzwei", "€ – ✓"},
        {std::string(70000, 'x'), "danach"},
    };
    const LogFile log(file("ours_k.log"));
    for (const auto& group : groups) {
        ASSERT_TRUE(log.appendLines(group));
        for (const std::string& line : group) appendPlain(file("plain_k.log"), line);
        ASSERT_EQ(contents(file("ours_k.log")), contents(file("plain_k.log")));
    }
    fs::remove(file("ours_k.log"));
    const std::vector<std::string> late = {"drei", "vier"};
    ASSERT_TRUE(log.appendLines(late));
    EXPECT_EQ(contents(file("ours_k.log")), "drei\r\nvier\r\n");
    EXPECT_FALSE(LogFile(file("kein/ordner.log")).appendLines(late));
}

TEST_F(LogFileTest, DeletedLogIsCreatedAgainAtTheNextLine) {
    const LogFile log(file("a_k.log"));
    ASSERT_TRUE(log.append("eins"));
    fs::remove(file("a_k.log"));
    ASSERT_TRUE(log.append("zwei"));
    EXPECT_EQ(contents(file("a_k.log")), "zwei\r\n");
}

TEST_F(LogFileTest, CreateEmptiesTheLogWhileItIsOpen) {
    const LogFile log(file("a_k.log"));
    ASSERT_TRUE(log.append("alt"));
    const LogFile again(file("a_k.log"));
    ASSERT_TRUE(again.create());
    ASSERT_TRUE(log.append("neu"));
    EXPECT_EQ(contents(file("a_k.log")), "neu\r\n");
}

TEST_F(LogFileTest, CopiesAndSeparateWritersAppendInOrder) {
    const LogFile one(file("p.log"));
    const LogFile copy = one;
    const LogFile other(file("p.log"));
    ASSERT_TRUE(one.append("1"));
    ASSERT_TRUE(copy.append("2"));
    ASSERT_TRUE(other.append("3"));
    ASSERT_TRUE(one.append("4"));
    EXPECT_EQ(contents(file("p.log")), "1\r\n2\r\n3\r\n4\r\n");
}

TEST_F(LogFileTest, UnsetAndUnwritableLogs) {
    EXPECT_TRUE(LogFile().append("nirgends"));
    const LogFile missing(file("kein/ordner.log"));
    EXPECT_FALSE(missing.append("x"));
    EXPECT_FALSE(missing.create());
    fs::create_directories(file("kein"));
    EXPECT_TRUE(missing.append("x"));
    EXPECT_EQ(contents(file("kein/ordner.log")), "x\r\n");
}

}  // namespace
}  // namespace plyvet
