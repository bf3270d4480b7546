#pragma once
// Shared set-up of the helper-library tests: the binding points at the built
// library in the build's bin folder, temporary folders clean up after
// themselves, and the raw exports can be reached where the binding's
// references cannot express a case (null pointers).

#include "geolib/binding.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace plyvet::geolib::test {

inline std::filesystem::path binFolder() {
    if (const char* bin = std::getenv("PLYVET_BIN"); bin != nullptr && *bin != '\0') return bin;
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

inline constexpr std::int32_t kVersion = 16842756;

class TempFolder {
public:
    TempFolder() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("plyvet-geolib-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct DlCloser {
    void operator()(void* handle) const { dlclose(handle); }
};
using DlHandle = std::unique_ptr<void, DlCloser>;

// The built library opened directly, bypassing the binding.
inline DlHandle openBuiltLibrary() {
    return DlHandle(dlopen((binFolder() / "libPlyvet.so").c_str(), RTLD_NOW | RTLD_LOCAL));
}

class HelperLibrary : public ::testing::Test {
protected:
    void SetUp() override { pointAtBuiltLibrary(); }
    void TearDown() override { pointAtBuiltLibrary(); }

    static void pointAtBuiltLibrary() {
        setLibraryFileName("");
        setLibraryFolder(binFolder());
    }
};

}  // namespace plyvet::geolib::test
