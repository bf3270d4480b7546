#include "pipeline/home.h"

#include <cstdlib>
#include <fstream>
#include <system_error>
#include <unistd.h>

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
    if (const fs::path exeFolder = executableFolder(); !exeFolder.empty() && isWritableFolder(exeFolder)) {
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

std::string home() {
    std::string s = programFolder().string();
    if (s.empty() || s.back() != fs::path::preferred_separator) s += fs::path::preferred_separator;
    return s;
}

}  // namespace plyvet
