#include "gis_test_util.h"

#include <bit>

namespace plyvet::gis::test {

void TempDirTest::SetUp() {
    temp_.emplace("plyvet-gis");
    dir_ = temp_->path();
}

void TempDirTest::TearDown() { temp_.reset(); }

namespace {
std::uint32_t byteAt(const std::string& b, std::size_t i) {
    return static_cast<std::uint8_t>(b.at(i));
}
}  // namespace

std::int32_t getBe32(const std::string& b, std::size_t at) {
    return static_cast<std::int32_t>(byteAt(b, at) << 24 | byteAt(b, at + 1) << 16 | byteAt(b, at + 2) << 8 |
                                     byteAt(b, at + 3));
}

void putBe32(std::string& b, std::size_t at, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (std::size_t i = 0; i < 4; ++i) {
        b.at(at + i) = static_cast<char>((u >> (24 - 8 * i)) & 0xFF);
    }
}

std::int32_t getLe32(const std::string& b, std::size_t at) {
    return static_cast<std::int32_t>(byteAt(b, at) | byteAt(b, at + 1) << 8 | byteAt(b, at + 2) << 16 |
                                     byteAt(b, at + 3) << 24);
}

void putLe32(std::string& b, std::size_t at, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (std::size_t i = 0; i < 4; ++i) {
        b.at(at + i) = static_cast<char>((u >> (8 * i)) & 0xFF);
    }
}

::testing::AssertionResult sameBits(const Polygon& expected, const Polygon& actual) {
    if (expected.parts.size() != actual.parts.size()) {
        return ::testing::AssertionFailure()
               << "part count " << actual.parts.size() << ", expected " << expected.parts.size();
    }
    for (std::size_t k = 0; k < expected.parts.size(); ++k) {
        const Ring& e = expected.parts[k];
        const Ring& a = actual.parts[k];
        if (e.size() != a.size()) {
            return ::testing::AssertionFailure()
                   << "part " << k << " has " << a.size() << " points, expected " << e.size();
        }
        for (std::size_t i = 0; i < e.size(); ++i) {
            if (std::bit_cast<std::uint64_t>(e[i].x) != std::bit_cast<std::uint64_t>(a[i].x) ||
                std::bit_cast<std::uint64_t>(e[i].y) != std::bit_cast<std::uint64_t>(a[i].y)) {
                return ::testing::AssertionFailure() << "part " << k << " point " << i << " is (" << a[i].x << ", "
                                                     << a[i].y << "), expected (" << e[i].x << ", " << e[i].y << ")";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult raisesGisFailure(const std::function<void()>& body,
                                            std::initializer_list<std::string> needles) {
    try {
        body();
    } catch (const RuntimeError& e) {
        if (e.number() != err::kGisFailure) {
            return ::testing::AssertionFailure() << "error number " << e.number() << ": " << e.description();
        }
        for (const std::string& n : needles) {
            if (e.description().find(n) == std::string::npos) {
                return ::testing::AssertionFailure() << "description lacks \"" << n << "\": " << e.description();
            }
        }
        return ::testing::AssertionSuccess() << e.description();
    } catch (const std::exception& e) {
        return ::testing::AssertionFailure() << "other exception: " << e.what();
    }
    return ::testing::AssertionFailure() << "nothing raised";
}

}  // namespace plyvet::gis::test
