#include "pipeline/home.h"

#include "geolib/binding.h"

#include <cstdlib>
#include <fstream>
#include <system_error>
#include <unistd.h>

// The help file's folder relative to the program's in an installed layout;
// the build sets it from its install folders.
#ifndef PLYVET_HELP_FROM_PROGRAM
#define PLYVET_HELP_FROM_PROGRAM "../share/plyvet"
#endif

namespace plyvet {

namespace fs = std::filesystem;

fs::path executableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path();
}

bool isWritableFolder(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return false;
    const fs::path probe = folder / (".plyvet-probe-" + std::to_string(::getpid()));
    {
        std::ofstream out(probe);
        if (!out) return false;
    }
    fs::remove(probe, ec);
    return true;
}

fs::path programFolder() {
    std::error_code ec;
    if (const char* env = std::getenv("PLYVET_HOME"); env != nullptr && *env != '\0') {
        fs::path folder(env);
        fs::create_directories(folder, ec);
        return folder;
    }
    if (const fs::path exeFolder = executableFolder();
        !exeFolder.empty() && fs::is_regular_file(exeFolder / geolib::libraryFileName(), ec) &&
        isWritableFolder(exeFolder)) {
        return exeFolder;
    }
    fs::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg != '\0') {
        data = xdg;
    } else if (const char* userHome = std::getenv("HOME"); userHome != nullptr && *userHome != '\0') {
        data = fs::path(userHome) / ".local" / "share";
    } else {
        data = fs::temp_directory_path(ec);
    }
    fs::path folder = data / "Tarsel" / "Polyvet";
    fs::create_directories(folder, ec);
    return folder;
}

fs::path helpFile() {
    const fs::path exeFolder = executableFolder();
    const fs::path beside = exeFolder / "plyvet.html";
    std::error_code ec;
    if (exeFolder.empty() || fs::is_regular_file(beside, ec)) return beside;
    const fs::path installed = (exeFolder / PLYVET_HELP_FROM_PROGRAM / "plyvet.html").lexically_normal();
    return fs::is_regular_file(installed, ec) ? installed : beside;
}

std::string home() {
    std::string s = programFolder().string();
    if (s.empty() || s.back() != fs::path::preferred_separator) s += fs::path::preferred_separator;
    return s;
}

}  // namespace plyvet
