#pragma once
// The program folder ("Home"): where "plyvet.log" and "Plyvet.mdb" live.
//   1. PLYVET_HOME when set (created when missing);
//   2. else the folder of the running executable when it is a portable
//      install: writable, with the helper library beside the program (an
//      installed program keeps its library apart, and a system folder that
//      happens to be writable, /usr/bin for root, is no place for logs);
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

// The help file "plyvet.html": beside the program (portable install, build
// tree), else in the installed data folder, PLYVET_HELP_FROM_PROGRAM
// relative to the program ("../share/plyvet"). The first place when it is
// in neither, so a message can name where it was looked for.
std::filesystem::path helpFile();

// True when a file can be created in `folder` (checked by creating and
// removing a probe file, which also catches read-only file systems).
bool isWritableFolder(const std::filesystem::path& folder);

}  // namespace plyvet
