// The parcel generator: deterministic, within its vertex range, faults at
// exactly the asked rate, clean parcels that the cleaner finds nothing
// wrong with, and each injected fault found as the fault it is meant to be.

#include "tools/samplegen/parcels.h"

#include "tests/cleaner/cleaner_fixture.h"

#include "pipeline/gis/shapefile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <unistd.h>

namespace plyvet::cleaner_test {
namespace {

namespace sg = samplegen;

using ParcelLayer = PolygonCleanerTest;

bool contains(const Texts& texts, const std::string& piece) {
    for (const auto& t : texts) {
        if (t.find(piece) != std::string::npos) return true;
    }
    return false;
}

TEST(ParcelGenerator, SameRecordSameParcelAndVertexCountsInRange) {
    sg::ParcelOptions options;
    options.faultRate = 0.0;
    std::map<sg::Outline, int> outlines;
    for (int i = 0; i < 300; ++i) {
        const sg::Parcel p = sg::parcel(i, options);
        EXPECT_EQ(p.shape, sg::parcel(i, options).shape) << i;
        outlines[p.outline]++;
        const std::size_t outerRings = p.shape.parts.size() == 2 && gis::ringArea(p.shape.parts[1]) > 0 ? 2 : 1;
        for (std::size_t k = 0; k < outerRings; ++k) {
            EXPECT_GE(p.shape.parts[k].size(), 50u) << i;
            EXPECT_LE(p.shape.parts[k].size(), 500u) << i;
            EXPECT_GT(gis::ringArea(p.shape.parts[k]), 0.0) << i;  // clockwise
        }
        if (outerRings == 1 && p.shape.parts.size() == 2) {
            EXPECT_LT(gis::ringArea(p.shape.parts[1]), 0.0) << i;  // a hole runs counter-clockwise
        }
    }
    EXPECT_EQ(outlines.size(), 3u);
    options.seed = 2;
    EXPECT_NE(sg::parcel(7, options).shape, sg::parcel(7, sg::ParcelOptions{}).shape);
}

TEST(ParcelGenerator, FaultsAtExactlyTheRateAndInTurn) {
    sg::ParcelOptions options;
    options.faultRate = 0.1;
    std::map<sg::ParcelFault, int> kinds;
    for (int i = 0; i < 1200; ++i) kinds[sg::parcel(i, options).fault]++;
    EXPECT_EQ(kinds[sg::ParcelFault::None], 1080);
    for (const sg::ParcelFault f : sg::kParcelFaults) {
        EXPECT_EQ(kinds[f], 20) << sg::faultName(f);
    }
}

// Every clean parcel passes the cleaner with header lines only; every faulty
// one is reported with the finding its fault stands for.
TEST_F(ParcelLayer, CleanerFindsExactlyTheInjectedFaults) {
    sg::ParcelOptions options;
    options.faultRate = 0.5;
    std::map<sg::ParcelFault, int> checked;
    for (int i = 0; i < 240; ++i) {
        const sg::Parcel p = sg::parcel(i, options);
        const std::int32_t error = clean(p.shape);
        const Texts found = findings();
        const std::string where = std::string(sg::faultName(p.fault)) + " " + std::string(sg::outlineName(p.outline)) +
                                  " record " + std::to_string(i);
        switch (p.fault) {
        case sg::ParcelFault::None:
            EXPECT_EQ(error, 0) << where;
            EXPECT_TRUE(found.empty()) << where << ": " << (found.empty() ? "" : found.front());
            break;
        case sg::ParcelFault::RepeatedVertex:
            EXPECT_TRUE(contains(found, "direkt aufeinanderfolgende identische")) << where;
            break;
        case sg::ParcelFault::Spike:
            EXPECT_TRUE(contains(found, "180°-Richtungswechsel")) << where;
            break;
        case sg::ParcelFault::SelfCrossing:
            EXPECT_EQ(error, kCrossingError) << where;
            break;
        case sg::ParcelFault::WrongOrientation:
            EXPECT_TRUE(contains(found, "Laufrichtungskorrektur bei Part 0: jetzt positiv")) << where;
            break;
        case sg::ParcelFault::DuplicatePart:
            EXPECT_TRUE(contains(found, "da mehrfach vorhanden")) << where;
            break;
        case sg::ParcelFault::Sliver:
            EXPECT_TRUE(contains(found, "wurde eliminiert (Fläche:")) << where;
            break;
        }
        if (p.fault != sg::ParcelFault::SelfCrossing) {
            EXPECT_EQ(error, 0) << where;
        }
        checked[p.fault]++;
    }
    EXPECT_EQ(checked.size(), sg::kParcelFaults.size() + 1);
}

TEST(ParcelGenerator, WrittenLayerReadsBackRecordByRecord) {
    const auto folder = std::filesystem::temp_directory_path() / ("plyvet-parcels-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    sg::ParcelOptions options;
    options.faultRate = 0.25;
    const sg::ParcelCounts counts = sg::writeParcelLayer(folder / "p", 40, options);
    EXPECT_EQ(counts.records, 40);
    EXPECT_EQ(counts.faulty(), 10);
    const gis::ShapefileReader reader(folder / "p.shp");
    ASSERT_EQ(reader.recordCount(), 40);
    EXPECT_EQ(reader.codePage(), "1252");
    std::int64_t vertices = 0;
    for (int i = 0; i < 40; ++i) {
        const sg::Parcel p = sg::parcel(i, options);
        EXPECT_EQ(reader.polygon(i), std::optional<gis::Polygon>(p.shape)) << i;
        const std::string name = std::string("Flurst\xFC" "ck ") + std::to_string(i + 1);
        EXPECT_EQ(reader.rawValue(i, 1).substr(0, name.size()), name) << i;
        EXPECT_EQ(reader.rawValue(i, 1).size(), 24u) << i;
        vertices += static_cast<std::int64_t>(gis::pointCount(p.shape));
    }
    EXPECT_EQ(counts.vertices, vertices);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace plyvet::cleaner_test
