#pragma once
// Shared set-up of the polygon cleaner's tests: the binding points at the
// built helper library, every event text is recorded, and the log-filter
// option is a flag the test sets.

#include "cleaner/polygon_cleaner.h"
#include "tests/geolib/library_fixture.h"

#include "pipeline/gis/runtime_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace plyvet::gis {
inline void PrintTo(const Point& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }
}  // namespace plyvet::gis

namespace plyvet::cleaner_test {

using gis::Point;
using gis::Polygon;
using gis::Ring;
using Texts = std::vector<std::string>;

inline constexpr std::int32_t kAreaError = static_cast<std::int32_t>(0x80040001u);
inline constexpr std::int32_t kCrossingError = static_cast<std::int32_t>(0x80040002u);
inline constexpr std::int32_t kOverlapError = static_cast<std::int32_t>(0x80040003u);
inline constexpr std::int32_t kTooFewError = static_cast<std::int32_t>(0x80040004u);
inline const std::string kSeparator = "----------";

// Clockwise (positive) rectangle from its lower left corner.
inline Ring box(double x0, double y0, double x1, double y1) { return Ring{{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}}; }
inline Ring reversed(Ring r) {
    std::reverse(r.begin(), r.end());
    return r;
}
inline std::string header(int part, int count) {
    return "Polygon-Part " + std::to_string(part) + ": " + std::to_string(count) + " Stützpunkt(e)";
}

// The error a call raised; number 0 when none.
inline RuntimeError raisedBy(const std::function<void()>& call) {
    try {
        call();
    } catch (const RuntimeError& error) {
        return error;
    }
    return RuntimeError(0, "", "");
}

class PolygonCleanerTest : public geolib::test::HelperLibrary {
protected:
    void SetUp() override {
        HelperLibrary::SetUp();
        cleaner_ = std::make_unique<clsPolygonCleaner>();
        cleaner_->ActionTaken = [this](const std::string& text) { events.push_back(text); };
        cleaner_->OnlyErrorObjectsInLogFile = [this] { return onlyErrorObjects; };
    }
    clsPolygonCleaner& cleaner() { return *cleaner_; }

    // Clean() on `polygon`: the raised error.
    RuntimeError cleanError(Polygon polygon) {
        events.clear();
        cleaner_->setPolygon(std::move(polygon));
        return raisedBy([this] { cleaner_->Clean(); });
    }
    std::int32_t clean(Polygon polygon) { return cleanError(std::move(polygon)).number(); }

    // One pass on `polygon`: its changed flag.
    bool pass(void (clsPolygonCleaner::*which)(bool&), Polygon polygon) {
        events.clear();
        cleaner_->setPolygon(std::move(polygon));
        bool changed = false;
        (cleaner_.get()->*which)(changed);
        return changed;
    }

    // The events without the header lines.
    Texts findings() const {
        Texts out;
        for (std::size_t k = 0; k < events.size(); ++k) {
            if (events[k] == kSeparator) {
                ++k;
            } else {
                out.push_back(events[k]);
            }
        }
        return out;
    }
    std::size_t countOf(const std::string& text) const {
        return static_cast<std::size_t>(std::count(events.begin(), events.end(), text));
    }

    Texts events;
    bool onlyErrorObjects = false;
    std::unique_ptr<clsPolygonCleaner> cleaner_;
};

}  // namespace plyvet::cleaner_test
