// The pieces of the report: text escaping and the SVG pictures.
#include "report/html_text.h"
#include "report/picture.h"
#include "xml_lite.h"

#include "tools/samplegen/samplegen.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <regex>

namespace plyvet::report {
namespace {

using gis::Point;
using gis::Polygon;
using gis::Ring;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();

TEST(HtmlText, EscapesMarkupAndRepairsBytes) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"a<b>&c", "a&lt;b&gt;&amp;c"},
        {"\"x\" 'y'", "&quot;x&quot; &#39;y&#39;"},
        {"Fläche 12 m² – Überlappung", "Fläche 12 m² – Überlappung"},  // UTF-8 stays as it is
        {"a\x01" "b\r\nc\td", "a b \nc\td"},                          // control characters XML forbids
        {"\xE4rger", "\xEF\xBF\xBDrger"},                              // a Windows-1252 byte
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                      // overlong form
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},      // surrogate
        {"\xF0\x9F\x97\xBA", "\xF0\x9F\x97\xBA"},                      // four-byte character
        {"\xF0\x9F\x97", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},      // cut off at the end
    };
    for (const auto& c : cases) EXPECT_EQ(escape(c.in), c.out) << c.in;
}

TEST(HtmlText, NumbersWithDecimalCommaAndNoNaN) {
    EXPECT_EQ(number(1.5), "1,5");
    EXPECT_EQ(number(-12), "-12");
    EXPECT_EQ(number(kNaN), "\xE2\x80\x93");
    EXPECT_EQ(number(-kInf), "\xE2\x80\x93");
}

Polygon polygonOf(std::vector<Ring> rings) { return Polygon{std::move(rings)}; }

TEST(PictureVertices, RemovedAndAddedByExactComparison) {
    const Polygon before = samplegen::repeatedVertex(0, 0, 10, 10);  // upper left corner twice
    const Polygon square = samplegen::rectanglePolygon(0, 0, 10, 10);
    Polygon after = samplegen::rectanglePolygon(0, 0, 10, 10);
    after.parts[0].insert(after.parts[0].begin() + 1, Point{0, 5});  // a new vertex
    const Polygon negativeZero = polygonOf({{{-0.0, -0.0}, {-0.0, 10}, {10, 10}, {10, -0.0}}});
    Polygon spiky = before;
    spiky.parts[0].push_back(Point{20, 20});
    spiky.parts[0].push_back(Point{kNaN, 1});

    const struct {
        const char* name;
        const Polygon* before;
        const Polygon* after;
        std::vector<Point> removed;
        std::vector<Point> added;
    } cases[] = {
        {"duplicate removed: no vertex position lost", &before, &square, {}, {}},
        {"vertex added", &before, &after, {}, {{0, 5}}},
        {"-0 is 0", &square, &negativeZero, {}, {}},
        {"spike removed, NaN ignored", &spiky, &before, {{20, 20}}, {}},
        {"not exported", &spiky, nullptr, {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {20, 20}}, {}},
        {"unreadable source", nullptr, &after, {}, {{0, 0}, {0, 5}, {0, 10}, {10, 10}, {10, 0}}},
    };
    for (const auto& c : cases) {
        const VertexChanges v = compareVertices(c.before, c.after);
        EXPECT_EQ(v.removed, c.removed) << c.name;
        EXPECT_EQ(v.added, c.added) << c.name;
    }
}

TEST(PictureRings, RolesByNestingAndOrientationByRole) {
    const Ring outer = samplegen::rectangle(0, 0, 10, 10, true);
    const Ring hole = samplegen::rectangle(2, 2, 8, 8, false);
    const Ring island = samplegen::rectangle(4, 4, 6, 6, true);
    const Ring apart = samplegen::rectangle(20, 0, 30, 10, true);
    const auto reversed = [](Ring r) {
        std::reverse(r.begin(), r.end());
        return r;
    };
    const struct {
        const char* name;
        std::vector<Ring> rings;
        std::vector<std::pair<RingRole, bool>> expected;  // role, wrong orientation
    } cases[] = {
        {"outer and hole", {outer, hole}, {{RingRole::Outer, false}, {RingRole::Hole, false}}},
        {"hole listed first", {hole, outer}, {{RingRole::Hole, false}, {RingRole::Outer, false}}},
        {"hole stored clockwise", {outer, reversed(hole)}, {{RingRole::Outer, false}, {RingRole::Hole, true}}},
        {"outer stored counter-clockwise", {reversed(outer)}, {{RingRole::Outer, true}}},
        {"island in a hole", {outer, hole, island},
         {{RingRole::Outer, false}, {RingRole::Hole, false}, {RingRole::Outer, false}}},
        {"two outer rings", {outer, apart}, {{RingRole::Outer, false}, {RingRole::Outer, false}}},
        {"hole touching its outer ring at a vertex", {outer, samplegen::rectangle(0, 0, 5, 5, false)},
         {{RingRole::Outer, false}, {RingRole::Hole, false}}},
    };
    for (const auto& c : cases) {
        const auto roles = ringRoles(polygonOf(c.rings));
        ASSERT_EQ(roles.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < roles.size(); ++i) {
            EXPECT_EQ(roles[i].role, c.expected[i].first) << c.name << ", ring " << i;
            EXPECT_EQ(roles[i].wrongOrientation, c.expected[i].second) << c.name << ", ring " << i;
        }
    }
}

TEST(PictureRings, ManyPartsFallBackToStoredOrientation) {
    // 3000 rings inside one box: too many containment tests, so the stored
    // direction decides and nothing is called wrong.
    std::vector<Ring> rings;
    for (int i = 0; i < 3000; ++i) rings.push_back(samplegen::rectangle(0, 0, 10 + i, 10 + i, i % 2 == 0));
    const auto roles = ringRoles(polygonOf(rings));
    ASSERT_EQ(roles.size(), rings.size());
    for (std::size_t i = 0; i < roles.size(); ++i) {
        EXPECT_EQ(roles[i].role, i % 2 == 0 ? RingRole::Outer : RingRole::Hole);
        EXPECT_FALSE(roles[i].wrongOrientation);
    }
}

TEST(PictureFrame, MapsEveryFinitePointIntoThePicture) {
    const struct {
        const char* name;
        Polygon polygon;
    } cases[] = {
        {"ordinary", samplegen::rectanglePolygon(3500000, 5800000, 3500100, 5800050)},
        {"near the limits of double", polygonOf({{{-kMax, -kMax}, {-kMax, kMax}, {kMax, kMax}, {kMax, -kMax}}})},
        {"one point", polygonOf({{{5, 5}}})},
        {"tiny", polygonOf({{{1e-300, 0}, {0, 1e-300}, {1e-300, 1e-300}}})},
        {"NaN and infinity among the points", polygonOf({{{0, 0}, {kNaN, 1}, {1, kInf}, {1, 1}, {1, 0}}})},
    };
    for (const auto& c : cases) {
        const std::array<const Polygon*, 1> list{&c.polygon};
        const Frame frame = Frame::around(list);
        ASSERT_FALSE(frame.empty()) << c.name;
        for (const auto& ring : c.polygon.parts) {
            for (const auto& p : ring) {
                const auto s = frame.map(p);
                if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                    EXPECT_FALSE(s) << c.name;
                    continue;
                }
                ASSERT_TRUE(s) << c.name;
                EXPECT_GE(s->x, kPictureMargin - 1e-9) << c.name;
                EXPECT_LE(s->x, kPictureSize - kPictureMargin + 1e-9) << c.name;
                EXPECT_GE(s->y, kPictureMargin - 1e-9) << c.name;
                EXPECT_LE(s->y, kPictureSize - kPictureMargin + 1e-9) << c.name;
            }
        }
    }
}

TEST(PictureFrame, NorthIsUpAndAspectIsKept) {
    const Polygon p = samplegen::rectanglePolygon(0, 0, 100, 50);
    const std::array<const Polygon*, 1> list{&p};
    const Frame frame = Frame::around(list);
    const auto lowerLeft = *frame.map({0, 0});
    const auto upperRight = *frame.map({100, 50});
    EXPECT_LT(upperRight.y, lowerLeft.y);
    EXPECT_NEAR((upperRight.x - lowerLeft.x) / (lowerLeft.y - upperRight.y), 2.0, 1e-9);
    EXPECT_NEAR(upperRight.x - lowerLeft.x, kPictureSize - 2 * kPictureMargin, 1e-9);
}

TEST(PictureFrame, NoFinitePointsGiveAnEmptyFrame) {
    const Polygon p = polygonOf({{{kNaN, kNaN}, {kInf, 0}}, {}});
    const std::array<const Polygon*, 2> list{&p, nullptr};
    const Frame frame = Frame::around(list);
    EXPECT_TRUE(frame.empty());
    EXPECT_FALSE(frame.map({0, 0}));
}

std::size_t count(const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (auto i = s.find(what); i != std::string::npos; i = s.find(what, i + what.size())) ++n;
    return n;
}

TEST(PictureSvg, HostileGeometryGivesWellFormedFiniteSvg) {
    const std::vector<Polygon> polygons{
        polygonOf({}),
        polygonOf({{}, {}}),
        polygonOf({{{kNaN, kNaN}, {kNaN, 1}}}),
        polygonOf({{{-kMax, -kMax}, {-kMax, kMax}, {kMax, kMax}, {kMax, -kMax}}}),
        polygonOf({{{0, 0}, {kNaN, 1}, {1, kInf}, {1, 1}, {1, 0}}, {{7, 7}}}),
        polygonOf({{{1, 1}, {1, 1}, {1, 1}}}),
    };
    const std::vector<Point> marks{{0, 0}, {kNaN, 0}, {kMax, kMax}};
    for (std::size_t i = 0; i < polygons.size(); ++i) {
        const std::array<const Polygon*, 1> list{&polygons[i]};
        const Frame frame = Frame::around(list);
        for (const MarkKind kind : {MarkKind::Removed, MarkKind::Added}) {
            const Picture picture = drawPolygon(&polygons[i], frame, marks, kind, "Vorher <&>", "leer");
            EXPECT_NO_THROW(test::xml::parse(picture.svg)) << "polygon " << i << ": " << picture.svg;
            const std::regex notANumber("nan|inf", std::regex::icase);
            EXPECT_FALSE(std::regex_search(picture.svg, notANumber)) << "polygon " << i << ": " << picture.svg;
        }
    }
}

TEST(PictureSvg, RingsHolesArrowsAndMarks) {
    const Polygon p = samplegen::squareWithHole(0, 0, 100, 20);
    const std::array<const Polygon*, 1> list{&p};
    const std::vector<Point> marks{{0, 0}, {100, 100}};
    const Picture picture = drawPolygon(&p, Frame::around(list), marks, MarkKind::Removed, "Vorher", "");
    const auto svg = test::xml::parse(picture.svg);
    EXPECT_EQ(svg.name, "svg");
    EXPECT_EQ(svg.attribute("xmlns"), "http://www.w3.org/2000/svg");
    const auto byClass = [&](const char* a, const char* b) {
        return test::xml::findAll(svg, [&](const test::xml::Element& e) { return e.hasClass(a) && e.hasClass(b); })
            .size();
    };
    EXPECT_EQ(byClass("ring", "aussen"), 1u);
    EXPECT_EQ(byClass("ring", "loch"), 1u);
    EXPECT_EQ(byClass("pfeil", "aussen"), 1u);
    EXPECT_EQ(byClass("pfeil", "falsch"), 0u);
    EXPECT_EQ(picture.marksShown, 2u);
    const auto removed = test::xml::findAll(svg, [](const auto& e) { return e.hasClass("entfernt"); });
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(count(removed[0]->attribute("d"), "M"), 4u);  // two strokes per cross
}

TEST(PictureSvg, WrongOrientationIsFlagged) {
    const Polygon p = samplegen::wrongOrientation(0, 0, 10, 10);
    const std::array<const Polygon*, 1> list{&p};
    const Picture picture = drawPolygon(&p, Frame::around(list), {}, MarkKind::Removed, "Vorher", "");
    EXPECT_NE(picture.svg.find("class=\"pfeil aussen falsch\""), std::string::npos) << picture.svg;
}

TEST(PictureSvg, MissingPolygonShowsItsText) {
    const Polygon p = samplegen::rectanglePolygon(0, 0, 1, 1);
    const std::array<const Polygon*, 1> list{&p};
    const Picture picture = drawPolygon(nullptr, Frame::around(list), {}, MarkKind::Added, "Nachher", "nicht exportiert");
    const auto svg = test::xml::parse(picture.svg);
    EXPECT_NE(svg.allText().find("nicht exportiert"), std::string::npos);
    EXPECT_EQ(picture.svg.find("class=\"ring"), std::string::npos);
}

TEST(PictureSvg, LargeRingsAreThinnedToTheBudget) {
    // A zigzag of 20000 vertices that all stay apart on the screen.
    Ring ring;
    for (int i = 0; i < 20000; ++i) ring.push_back({static_cast<double>(i), i % 2 == 0 ? 0.0 : 20000.0});
    const Polygon p = polygonOf({ring});
    const std::array<const Polygon*, 1> list{&p};
    const Picture picture = drawPolygon(&p, Frame::around(list), {}, MarkKind::Removed, "Vorher", "");
    EXPECT_TRUE(picture.thinned);
    // The area and the outline each draw at most the budget.
    EXPECT_LE(count(picture.svg, "L"), 2 * kPicturePointBudget + 6);
    EXPECT_NO_THROW(test::xml::parse(picture.svg));
}

TEST(PictureSvg, MarksAreCappedOnePerPixel) {
    Ring ring;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        const double a = -2 * M_PI * i / n;  // clockwise
        ring.push_back({1000 * std::cos(a), 1000 * std::sin(a)});
    }
    const Polygon p = polygonOf({ring});
    const std::array<const Polygon*, 1> list{&p};
    const Picture picture = drawPolygon(&p, Frame::around(list), ring, MarkKind::Added, "Nachher", "");
    EXPECT_FALSE(picture.thinned);  // a circle needs few pixels
    EXPECT_EQ(picture.marksShown, kPictureMarkBudget);
    EXPECT_GT(picture.marksLeftOut, 0u);
    EXPECT_LT(picture.marksShown + picture.marksLeftOut, 2000u);  // one mark per pixel at most
    EXPECT_LT(picture.svg.size(), 150'000u);
    EXPECT_NO_THROW(test::xml::parse(picture.svg));
}

}  // namespace
}  // namespace plyvet::report
