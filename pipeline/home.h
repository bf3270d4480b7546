#pragma once
// The program folder ("Home"): where "plyvet.log" and "Plyvet.mdb" live.
//   1. PLYVET_HOME when set (created when missing);
//   2. else the folder of the running executable when it is writable (a
//      portable install);
//   3. else the per-user data folder ($XDG_DATA_HOME or ~/.local/share,
//      then Tarsel/Polyvet), created when missing.

#include <filesystem>
#include <string>

namespace plyvet {

// The folder of the running executable (empty when it cannot be determined).
std::filesystem::path executableFolder();

std::filesystem::path programFolder();

// The program folder as text with a trailing separator.
std::string home();

// True when a file can be created in `folder` (checked by creating and
// removing a probe file, which also catches read-only file systems).
bool isWritableFolder(const std::filesystem::path& folder);

}  // namespace plyvet
