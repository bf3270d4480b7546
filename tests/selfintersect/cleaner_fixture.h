#pragma once
// Shared set-up of the self-intersection cleaner's tests: the binding points
// at the built helper library, a recording sink stands in for the check log,
// and one helper runs GetCrossingPoint and hands back the lines and the
// polygon of that call.

#include "selfintersect/clean_selfintersecting.h"
#include "tests/geolib/library_fixture.h"

#include "pipeline/gis/geometry.h"
#include "pipeline/gis/number_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::selfintersect::test {

class RecordingSink : public LineSink {
public:
    void writeLine(std::string_view utf8Line) override { lines.emplace_back(utf8Line); }
    std::vector<std::string> lines;
};

// Every line of these tests is about the object FID 7.
inline const std::string kPrefix = "Polygon mit der FID 7";

// The object prefix and " ( Polygon-Part <part>: <text> )".
inline std::string partLine(int part, std::string_view text) {
    return kPrefix + " ( Polygon-Part " + std::to_string(part) + ": " + std::string(text) + " )";
}
inline std::string line(std::string_view text) { return kPrefix + std::string(text); }
// Numbers as messages show them ('.' under the tests' C locale).
inline std::string num(double v) { return gis::formatNumber(v, '.'); }

inline std::string candidate(int part, double area) {
    return partLine(part, "Ausgangs-Teilfläche: " + num(area));
}
inline std::string kept(int part, double area) {
    return partLine(part, "Übernommene Teil-Fläche: " + num(area));
}
inline std::string dropped(int part, double area) {
    return partLine(part, "Nicht übernommene Teil-Fläche: " + num(area));
}
inline std::string returned(double area) { return line(" ( Zurückgegebene Fläche: " + num(area) + " )"); }

struct Outcome {
    std::vector<std::string> lines;
    gis::Polygon polygon;
};

class CleanerTest : public geolib::test::HelperLibrary {
protected:
    void SetUp() override {
        HelperLibrary::SetUp();
        cleaner_ = std::make_unique<clsCleanSelfintersecting>(sink_, [this] { return onlyErrorObjects_; });
    }

    clsCleanSelfintersecting& cleaner() { return *cleaner_; }

    // One call on `polygon` (the cleaner's own polygon when none is given).
    Outcome run(const gis::Polygon& polygon) {
        cleaner_->setPolygon(polygon);
        return runAgain();
    }
    Outcome runAgain() {
        sink_.lines.clear();
        EXPECT_FALSE(cleaner_->GetCrossingPoint("7", "FID"));
        return {sink_.lines, cleaner_->polygon()};
    }

    RecordingSink sink_;
    bool onlyErrorObjects_ = false;
    std::unique_ptr<clsCleanSelfintersecting> cleaner_;
};

inline gis::Polygon polygon(std::vector<gis::Ring> parts) { return gis::Polygon{std::move(parts)}; }

}  // namespace plyvet::selfintersect::test
