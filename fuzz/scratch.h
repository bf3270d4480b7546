#pragma once
// A scratch folder for the fuzz targets that need real files: one per
// process, in /dev/shm when it can be written (no disk traffic), removed at
// exit. The shapefile layer and the record-count check read files by path,
// so the bytes of an input are written there first.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <system_error>
#include <unistd.h>

namespace plyvet::fuzz {

inline const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path folder = [] {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::path root = "/dev/shm";
        if (!fs::is_directory(root, ec) || ::access(root.c_str(), W_OK) != 0) root = fs::temp_directory_path(ec);
        fs::path dir = root / ("plyvet-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(dir, ec);
        static const fs::path removeAtExit = dir;
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(removeAtExit, ignored);
        });
        return dir;
    }();
    return folder;
}

inline void writeBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Stops the process the way a sanitizer does, so libFuzzer keeps the input:
// for a broken promise that is no memory error (a wrong count, a lost record).
[[noreturn]] inline void brokenPromise(const char* what) {
    std::fprintf(stderr, "fuzz: broken promise: %s\n", what);
    std::abort();
}

}  // namespace plyvet::fuzz
