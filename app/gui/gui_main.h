#pragma once
// Start of the graphical program: the main window, until it is closed.
// Kept free of Qt types so main() needs no Qt headers.

#include <string_view>

namespace plyvet::gui {

// True when a window can be shown: a display (X11 or Wayland) or a Qt
// platform chosen explicitly (QT_QPA_PLATFORM, -platform).
bool displayAvailable(int argc, char** argv);

// Shows the main window and returns the exit code when it is closed.
// Without a display it says so on stderr, adds `usage` and returns 2.
int runGui(int& argc, char** argv, std::string_view usage);

}  // namespace plyvet::gui
