#pragma once
// Small helpers of the access-layer tests: a fixture with its own temporary
// folder, raw file bytes, byte patching in the shapefile's two byte orders,
// and running GDAL's command-line tools.

#include "pipeline/gis/geometry.h"
#include "pipeline/gis/runtime_error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace plyvet::gis::test {

// Names the instances of a table-driven test after the `name` member of its rows.
struct CaseName {
    template <class Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
        return row.param.name;
    }
};

// Every test gets an empty folder, removed in TearDown whatever the outcome.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path dir_;
};

std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::string& bytes);

// Shapefile headers mix big-endian (file and record headers) and
// little-endian (shape content) 32-bit integers.
std::int32_t getBe32(const std::string& b, std::size_t at);
void putBe32(std::string& b, std::size_t at, std::int32_t v);
std::int32_t getLe32(const std::string& b, std::size_t at);
void putLe32(std::string& b, std::size_t at, std::int32_t v);

struct ToolResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs a shell command line (for GDAL's tools); arguments must be quoted by the caller.
ToolResult runTool(const std::string& commandLine);
std::string quote(const std::string& s);
bool toolAvailable(const std::string& name);

// Compares two polygons coordinate by coordinate on their bit patterns, so
// that -0.0 and 0.0, or a NaN payload, count as different.
::testing::AssertionResult sameBits(const Polygon& expected, const Polygon& actual);

// Runs `body` and checks it raises the access layer's failure with a
// description that contains every one of `needles`.
::testing::AssertionResult raisesGisFailure(const std::function<void()>& body,
                                            std::initializer_list<std::string> needles);

}  // namespace plyvet::gis::test
