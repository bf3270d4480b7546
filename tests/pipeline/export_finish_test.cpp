// Moving a written output into place: all of its files or none. A triple
// that lost one of its files while it was written (removed by another
// program, a cleanup of the folder) is no output, and finishing it says so.

#include "pipeline/export_preparation.h"
#include "pipeline/gis/runtime_error.h"
#include "tests/support/testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plyvet {
namespace {

namespace fs = std::filesystem;

struct Written {
    test::TempDir dir{"plyvet-finish"};
    PreparedExport job;
    Written() {
        job.writingBase = dir / "flur_x.tmp.1";
        job.outputBase = dir / "flur_x";
        const std::vector<gis::FieldDef> fields = {{"ID", gis::FieldType::Integer, 5, 5, 0}};
        job.writer.emplace(job.writingBase, fields, "1252");
        const gis::Polygon square{{{{0, 0}, {0, 1}, {1, 1}, {1, 0}}}};
        const std::vector<std::optional<std::string>> values = {std::string("7")};
        job.writer->append(square, values);
    }
    bool exists(const std::string& ending) const { return fs::exists(fs::path(job.outputBase.string() + ending)); }
    bool tempLeft() const {
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path().filename().string().find(".tmp.") != std::string::npos) return true;
        return false;
    }
};

TEST(ExportFinish, CompleteTripleIsMovedIntoPlace) {
    Written w;
    w.job.finish();
    EXPECT_TRUE(w.exists(".shp") && w.exists(".shx") && w.exists(".dbf") && w.exists(".cpg"));
    EXPECT_FALSE(w.tempLeft());
}

TEST(ExportFinish, TripleMissingAFileIsRefusedAndRemoved) {
    for (const std::string lost : {".shp", ".shx", ".dbf"}) {
        Written w;
        w.job.writer->close();  // the files are complete on disk; then one goes
        fs::remove(fs::path(w.job.writingBase.string() + lost));
        try {
            w.job.finish();
            ADD_FAILURE() << lost << ": finished without its " << lost;
        } catch (const RuntimeError& e) {
            EXPECT_NE(e.description().find(w.job.writingBase.string() + lost), std::string::npos)
                << e.description();
        }
        EXPECT_FALSE(w.exists(".shp") || w.exists(".shx") || w.exists(".dbf")) << lost;
        EXPECT_FALSE(w.tempLeft()) << lost;
    }
}

}  // namespace
}  // namespace plyvet
