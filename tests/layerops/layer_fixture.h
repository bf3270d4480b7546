#pragma once
// Shared set-up of the layer-command tests: a source and an output folder,
// a scripted UI, and a check that no source file was changed.

#include "pipeline/gis/shapefile.h"
#include "pipeline/log_file.h"
#include "pipeline/run_options.h"
#include "scripted_ui.h"
#include "support/testsupport.h"
#include "tools/samplegen/samplegen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace plyvet::test {

namespace sg = samplegen;

class LayerTest : public ::testing::Test {
protected:
    TempDir dir{"plyvet-layer"};
    std::filesystem::path src = dir / "quelle";
    std::filesystem::path out = dir / "ziel";
    ScriptedUi ui;
    plyvet::RunSettings settings;
    plyvet::RunOptions options;
    std::map<std::filesystem::path, FileSetDigest> sources;

    void SetUp() override {
        std::filesystem::create_directories(src);
        std::filesystem::create_directories(out);
        settings.settingsConfirmed = true;
        options.outputFolder = out.string();
        options.decimalSeparator = '.';
    }
    void TearDown() override {
        for (const auto& [shp, digest] : sources) EXPECT_EQ(tripleDigest(shp), digest) << shp;
    }

    // Writes the layer as "<src>/<name>.shp" (with a .prj when asked) and
    // remembers its digest.
    std::filesystem::path source(const sg::Layer& layer, const std::string& name = "flur_x", bool prj = false) {
        const std::filesystem::path base = src / name;
        sg::write(layer, base);
        if (prj) writeFile(base.string() + ".prj", "LOCAL_CS[\"Test\"]");
        const std::filesystem::path shp(base.string() + ".shp");
        sources[shp] = tripleDigest(shp);
        return shp;
    }
    LogFile programLog() {
        LogFile log(dir / "plyvet.log");
        EXPECT_TRUE(log.create());
        return log;
    }
    // The lines of "<shp without .shp><ending>", as UTF-8.
    static std::vector<std::string> logLines(const std::filesystem::path& shp, const std::string& ending) {
        const std::string s = shp.string();
        std::vector<std::string> lines;
        for (const auto& l : readLines(s.substr(0, s.size() - 4) + ending)) lines.push_back(cp1252ToUtf8(l));
        return lines;
    }
    static bool contains(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static std::vector<std::string> matching(const std::vector<std::string>& lines, const std::string& part) {
        std::vector<std::string> found;
        for (const auto& l : lines) {
            if (l.find(part) != std::string::npos) found.push_back(l);
        }
        return found;
    }

    // A layer with an Integer "ID" (1, 2, ...) and a text "NAME" per polygon.
    static sg::Layer layerOf(const std::vector<std::optional<gis::Polygon>>& polygons,
                             std::vector<gis::FieldDef> fields = {sg::integerField("ID", 9), sg::textField("NAME", 20)}) {
        sg::Layer layer;
        layer.fields = std::move(fields);
        for (std::size_t i = 0; i < polygons.size(); ++i) {
            std::vector<std::optional<std::string>> values;
            for (const auto& f : layer.fields) {
                if (f.type == gis::FieldType::String) {
                    values.emplace_back("Nr " + std::to_string(i + 1));
                } else {
                    values.emplace_back(std::to_string(i + 1));
                }
            }
            layer.records.push_back({polygons[i], values});
        }
        return layer;
    }
    // The trimmed values of field `field` of every record of a shapefile.
    static std::vector<std::string> column(const std::filesystem::path& shp, int field = 0) {
        const gis::ShapefileReader reader(shp);
        std::vector<std::string> values;
        for (int r = 0; r < reader.recordCount(); ++r) {
            std::string v = reader.rawValue(r, field);
            const auto b = v.find_first_not_of(' ');
            const auto e = v.find_last_not_of(' ');
            values.push_back(b == std::string::npos ? std::string() : v.substr(b, e - b + 1));
        }
        return values;
    }
};

}  // namespace plyvet::test
