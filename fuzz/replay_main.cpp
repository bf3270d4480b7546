// Runs a fuzz target's entry point on saved inputs, without libFuzzer: the
// regression inputs and seeds of scripts/fuzz become an ordinary test of
// any build (gcc or clang, with or without sanitizers).
//
// replay PATH...: every PATH is an input file or a folder of them. A file
// ending in ".hex" holds the input as hexadecimal digits; whitespace and
// lines starting with '#' (what the input is, which fault it found) are
// skipped. Any other file is the input's raw bytes. Exits 0 when every
// input ran (a fault aborts the process, as under libFuzzer), 1 when one
// took longer than 10 s, 2 on a path that cannot be read.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/hex_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// An input that takes longer fails, as a timeout does under libFuzzer: the
// saved inputs include ones that once hung.
constexpr std::chrono::seconds kInputTimeLimit{10};

bool runFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
        return false;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::uint8_t> input;
    if (file.extension() == ".hex") {
        if (!plyvet::fuzz::decodeHex(bytes, input)) {
            std::fprintf(stderr, "replay: %s is not hexadecimal\n", file.c_str());
            return false;
        }
    } else {
        input.assign(bytes.begin(), bytes.end());
    }
    const auto start = std::chrono::steady_clock::now();
    LLVMFuzzerTestOneInput(input.data(), input.size());
    const auto took = std::chrono::steady_clock::now() - start;
    if (took > kInputTimeLimit) {
        std::fprintf(stderr, "replay: %s took %lld s, more than the %lld s an input may take\n", file.c_str(),
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(took).count()),
                     static_cast<long long>(kInputTimeLimit.count()));
        std::exit(1);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int ran = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path path = argv[i];
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(path)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
            for (const auto& f : files) {
                if (!runFile(f)) return 2;
                ++ran;
            }
        } else {
            if (!runFile(path)) return 2;
            ++ran;
        }
    }
    std::printf("%d inputs ran\n", ran);
    return 0;
}
