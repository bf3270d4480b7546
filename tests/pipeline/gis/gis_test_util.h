#pragma once
// Helpers of the access-layer tests on top of the shared test support: a
// fixture with its own temporary folder, byte patching in the shapefile's two
// byte orders, bitwise polygon comparison and the check for the layer's error.

#include "pipeline/gis/geometry.h"
#include "pipeline/gis/runtime_error.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace plyvet::gis::test {

// Names the instances of a table-driven test after the `name` member of its rows.
struct CaseName {
    template <class Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
        return row.param.name;
    }
};

// Every test gets an empty folder, removed with the fixture whatever the outcome.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::optional<plyvet::test::TempDir> temp_;
    std::filesystem::path dir_;
};

using plyvet::test::readFile;
using plyvet::test::writeFile;

// Shapefile headers mix big-endian (file and record headers) and
// little-endian (shape content) 32-bit integers.
std::int32_t getBe32(const std::string& b, std::size_t at);
void putBe32(std::string& b, std::size_t at, std::int32_t v);
std::int32_t getLe32(const std::string& b, std::size_t at);
void putLe32(std::string& b, std::size_t at, std::int32_t v);

// Compares two polygons coordinate by coordinate on their bit patterns, so
// that -0.0 and 0.0, or a NaN payload, count as different.
::testing::AssertionResult sameBits(const Polygon& expected, const Polygon& actual);

// Runs `body` and checks it raises the access layer's failure with a
// description that contains every one of `needles`.
::testing::AssertionResult raisesGisFailure(const std::function<void()>& body,
                                            std::initializer_list<std::string> needles);

}  // namespace plyvet::gis::test
