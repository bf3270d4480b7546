// The log writer keeps one descriptor open across lines. These cases hold it
// to what a log opened and closed for every line gives: the same bytes, a
// complete file after every line, a new file after the old one was deleted.
// Held record lines: the same bytes in the same order, only whole lines on
// disk at any time, never more than a page behind.

#include "pipeline/log_file.h"
#include "pipeline/text.h"

#include <gtest/gtest.h>

#include <chrono>
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

// Records' lines held back among plain appends and flushes: at every moment
// the file is the oracle's text up to a line end, at most a page and the
// last record behind; held lines go out once they reach the next page (or
// have waited long), and a write then takes all of them.
TEST_F(LogFileTest, HeldLinesGoOutWholeAndInOrder) {
    const std::vector<std::string> pieces = {"Polygon mit der FID ", "Stützpunkt(e) gelöscht", "€", "\r\n", "",
                                             std::string(300, 'x'), "Fläche: 0,5m²"};
    std::mt19937 random(11);
    const LogFile log(file("ours_k.log"));
    ASSERT_TRUE(log.create());
    std::string oracle;
    int pageWrites = 0;
    auto heldSince = std::chrono::steady_clock::now();
    for (int k = 0; k < 3000; ++k) {
        const auto before = fs::file_size(file("ours_k.log"));
        std::vector<std::string> group(random() % 4);
        for (std::string& line : group)
            for (int p = 0; p < 1 + static_cast<int>(random() % 3); ++p) line += pieces[random() % pieces.size()];
        const auto what = random() % 100;
        if (what < 3) {
            ASSERT_TRUE(log.appendLines(group));
        } else if (what < 5) {
            ASSERT_TRUE(log.flush());
        } else {
            ASSERT_TRUE(log.appendHeld(group));
        }
        if (what < 3 || what >= 5) {
            for (const std::string& line : group) oracle += text::utf8ToCp1252(line) + "\r\n";
        }
        const std::string disk = contents(file("ours_k.log"));
        ASSERT_EQ(disk, oracle.substr(0, disk.size())) << k;
        ASSERT_TRUE(disk.empty() || disk.ends_with("\r\n")) << k;
        if (what < 5) {
            ASSERT_EQ(disk.size(), oracle.size()) << k;
        } else if (disk.size() != before) {
            // A held write takes everything held, and happens at the next page
            // unless the lines had waited long.
            ASSERT_EQ(disk.size(), oracle.size()) << k;
            const auto nextPage = (before / 4096 + 1) * 4096;
            if (oracle.size() >= nextPage) {
                ++pageWrites;
            } else {
                EXPECT_GE(std::chrono::steady_clock::now() - heldSince, std::chrono::milliseconds(400)) << k;
            }
        } else {
            ASSERT_LT(oracle.size(), (disk.size() / 4096 + 1) * 4096) << k;
        }
        if (disk.size() == oracle.size()) heldSince = std::chrono::steady_clock::now();
    }
    EXPECT_GT(pageWrites, 20);
    ASSERT_TRUE(log.flush());
    EXPECT_EQ(contents(file("ours_k.log")), oracle);
}

// Held lines are not lost: the last copy's end writes them, and a log
// deleted while lines wait gets them in the new file, not in the old one.
TEST_F(LogFileTest, HeldLinesOutliveTheWriterAndADeletedFile) {
    const std::vector<std::string> one = {"eins"}, two = {"zwei", "drei"};
    {
        const LogFile log(file("a_k.log"));
        ASSERT_TRUE(log.appendHeld(one));
        const LogFile copy = log;
        ASSERT_TRUE(copy.appendHeld(two));
    }
    EXPECT_EQ(contents(file("a_k.log")), "eins\r\nzwei\r\ndrei\r\n");

    const LogFile log(file("b_k.log"));
    ASSERT_TRUE(log.append("alt"));
    ASSERT_TRUE(log.appendHeld(one));
    fs::remove(file("b_k.log"));
    ASSERT_TRUE(log.appendHeld(two));
    ASSERT_TRUE(log.append("vier"));
    EXPECT_EQ(contents(file("b_k.log")), "eins\r\nzwei\r\ndrei\r\nvier\r\n");

    EXPECT_TRUE(LogFile().appendHeld(one));
    EXPECT_FALSE(LogFile(file("kein/ordner.log")).appendHeld(one));
}

}  // namespace
}  // namespace plyvet
