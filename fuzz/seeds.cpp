// plyvet-fuzz-seeds OUT_FOLDER [REGRESSIONS_FOLDER]: writes the starting
// corpus of every fuzz target into OUT_FOLDER/<target>/, from the sample
// generator's layers and shapes and the hostile corpus, encoded as the
// targets decode them (fuzz_input.h). A corpus that starts from real files
// reaches the deep paths of the reader in seconds instead of hours. With
// REGRESSIONS_FOLDER, every saved input REGRESSIONS_FOLDER/<target>/*.hex
// is added too, decoded (hex_input.h), so each run starts from every fault
// found before.

#include "fuzz/fuzz_input.h"
#include "fuzz/hex_input.h"
#include "tools/samplegen/hostile.h"
#include "tools/samplegen/samplegen.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace sg = plyvet::samplegen;
using plyvet::gis::Polygon;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SeedFolder {
public:
    explicit SeedFolder(fs::path dir, std::string prefix = "seed-")
        : dir_(std::move(dir)), prefix_(std::move(prefix)) {
        fs::create_directories(dir_);
    }
    void add(const std::vector<std::uint8_t>& bytes) {
        const fs::path file = dir_ / (prefix_ + std::to_string(next_++));
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + file.string());
    }
    int count() const { return next_; }

private:
    fs::path dir_;
    std::string prefix_;
    int next_ = 0;
};

struct Triple {
    std::string shp, shx, dbf;
};

Triple readTriple(const fs::path& base) {
    return {readAll(base.string() + ".shp"), readAll(base.string() + ".shx"), readAll(base.string() + ".dbf")};
}

std::vector<Polygon> shapes() {
    const std::array<std::array<double, 4>, 2> boxes{{{0, 0, 4, 4}, {6, 0, 9, 3}}};
    Polygon nested{{sg::rectangle(0, 0, 12, 12), sg::rectangle(2, 2, 10, 10, false), sg::rectangle(4, 4, 8, 8)}};
    Polygon tangent{{{{1, 3}, {1, 1}, {3, 3}, {5, 1}, {5, 3}}}};
    Polygon twoSame{{sg::rectangle(0, 0, 3, 3), sg::rectangle(0, 0, 3, 3)}};
    Polygon overlap{{sg::rectangle(0, 0, 4, 4), sg::rectangle(2, 2, 6, 6)}};
    Polygon small{{sg::rectangle(0, 0, 4, 4), {{5, 5}, {5.0625, 5}}}};
    Polygon star{{{{0, 0}, {8, 4}, {0, 8}, {6, 0}, {6, 8}}}};
    return {sg::rectanglePolygon(0, 0, 10, 10), sg::squareWithHole(0, 0, 12, 3), sg::multiRectangle(boxes),
            sg::repeatedVertex(0, 0, 5, 5), sg::spike(0, 0, 6, 6, 3), sg::bowTie(0, 0, 8, 8),
            sg::wrongOrientation(1, 1, 7, 5), nested, tangent, twoSame, overlap, small, star};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: plyvet-fuzz-seeds OUT_FOLDER [REGRESSIONS_FOLDER]\n");
        return 2;
    }
    const fs::path out = argv[1];
    try {
        const fs::path work = out / "work";
        fs::create_directories(work);

        // Reader and record counts: the sample, a small grid, the hostile base and every hostile case.
        std::vector<Triple> triples;
        sg::write(sg::sampleLayer(), work / "sample");
        triples.push_back(readTriple(work / "sample"));
        sg::write(sg::gridLayer(2), work / "grid");
        triples.push_back(readTriple(work / "grid"));
        sg::write(sg::hostileBaseLayer(), work / "base");
        triples.push_back(readTriple(work / "base"));
        for (const auto& c : sg::hostileCases()) {
            triples.push_back(readTriple(fs::path(sg::writeHostile(c.name, work)).replace_extension()));
        }
        SeedFolder reader(out / "fuzz_shapefile_reader");
        SeedFolder counts(out / "fuzz_record_counts");
        for (const auto& t : triples) {
            reader.add(plyvet::fuzz::encodeThreeFiles(t.shp, t.shx, t.dbf));
            std::vector<std::uint8_t> c;
            plyvet::fuzz::encodeU32(c, 3);
            const auto files = plyvet::fuzz::encodeThreeFiles(t.shx, t.dbf, "");
            c.insert(c.end(), files.begin(), files.end());
            counts.add(c);
        }
        counts.add({0x80, 3, 0, 0, 0, 3, 0, 0, 0, 5, 0, 0, 0});

        // Cleaner and crossing search: the generator's shapes, with and without options.
        SeedFolder repair(out / "fuzz_polygon_repair");
        SeedFolder gisc(out / "fuzz_gisc");
        for (const Polygon& p : shapes()) {
            for (const int flags : {0, 1, 2, 16}) {
                std::vector<std::uint8_t> r{static_cast<std::uint8_t>(flags), 3};
                plyvet::fuzz::encodePolygon(r, p);
                repair.add(r);
            }
            for (const auto& ring : p.parts) {
                std::vector<std::uint8_t> g{0, 0, 0};
                for (const auto& pt : ring) {
                    plyvet::fuzz::encodeCoordinate(g, pt.x);
                    plyvet::fuzz::encodeCoordinate(g, pt.y);
                }
                gisc.add(g);
            }
        }
        // A ring long enough for the indexed search: a 64-point zigzag.
        std::vector<std::uint8_t> zigzag{0, 0, 0};
        for (int i = 0; i < 64; ++i) {
            zigzag.push_back(static_cast<std::uint8_t>(i < 32 ? i * 7 % 0xF0 : (63 - i) * 7 % 0xF0));
            zigzag.push_back(static_cast<std::uint8_t>(i < 32 ? (i % 2) * 16 : 0x80 + (i % 3) * 16));
        }
        gisc.add(zigzag);

        fs::remove_all(work);
        int regressions = 0;
        if (argc == 3 && fs::is_directory(argv[2])) {
            for (const auto& target : fs::directory_iterator(argv[2])) {
                if (!target.is_directory()) continue;
                SeedFolder kept(out / target.path().filename(), "regression-");
                for (const auto& file : fs::directory_iterator(target.path())) {
                    if (file.path().extension() != ".hex") continue;
                    std::vector<std::uint8_t> bytes;
                    if (!plyvet::fuzz::decodeHex(readAll(file.path()), bytes)) {
                        throw std::runtime_error(file.path().string() + " is not hexadecimal");
                    }
                    kept.add(bytes);
                    ++regressions;
                }
            }
        }
        std::printf("%d + %d + %d + %d seeds and %d saved inputs in %s\n", reader.count(), counts.count(),
                    repair.count(), gisc.count(), regressions, out.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "plyvet-fuzz-seeds: %s\n", e.what());
        return 1;
    }
}
