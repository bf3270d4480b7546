#pragma once
// What every reliability test checks after a run, whatever went wrong in it:
// the sources are byte for byte as before, every log line is a whole line,
// and an output is either absent or a complete, readable triple.

#include "child_process.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plyvet::test {

// Names the instances of a table-driven test after their `name` member.
struct CaseName {
    template <class Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
        return row.param.name;
    }
};

// A folder with a program folder ("programm": plyvet.log, Plyvet.mdb), a
// source folder ("quelle") and an output folder ("ziel"). Every source
// registered with remember() is compared with its digest at the end.
class ReliabilityTest : public ::testing::Test {
protected:
    TempDir dir{"plyvet-reliability"};
    std::filesystem::path home = dir / "programm";
    std::filesystem::path src = dir / "quelle";
    std::filesystem::path out = dir / "ziel";

    void SetUp() override;
    void TearDown() override;

    std::filesystem::path remember(const std::filesystem::path& shp);

    struct PlyvetRun {
        ChildProcess::Exit exit;
        std::string stdoutText;
        std::string stderrText;
    };
    // Runs the built `plyvet` with `args` to the end (at most two minutes).
    PlyvetRun plyvet(const std::vector<std::string>& args);
    // Starts it and leaves it running; its output goes to stdout.txt and stderr.txt in dir.
    std::unique_ptr<ChildProcess> startPlyvet(const std::vector<std::string>& args);

private:
    std::map<std::filesystem::path, FileSetDigest> sources_;
};

// Every line of a check or program log ends in CR LF and holds no line feed
// or NUL of its own: a reader that splits at line feeds sees the lines that
// were written. A CR LF pair inside a multi-line message counts as a line
// end, a lone CR (the separator inside a connection error) as text. An empty
// file passes.
::testing::AssertionResult wholeLines(const std::filesystem::path& log);

// The output "<base>.shp" is absent with all its companions, or a triple that
// our reader opens and reads to the end (and GDAL's reader too, when it is
// installed); `records` is then set to its record count.
::testing::AssertionResult absentOrComplete(const std::filesystem::path& shp, std::optional<int>& records);

// Names of the files in `folder` that are a writer's temporary output ("*.tmp.*").
std::vector<std::string> temporaryFiles(const std::filesystem::path& folder);

// The check log's lines, decoded from Windows-1252.
std::vector<std::string> checkLogLines(const std::filesystem::path& shp);

// True when one of `lines` contains `needle`.
bool anyLineHas(const std::vector<std::string>& lines, std::string_view needle);

}  // namespace plyvet::test
