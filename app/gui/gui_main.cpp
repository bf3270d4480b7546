#include "app/gui/gui_main.h"

#include "app/gui/main_window.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace plyvet::gui {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

bool displayAvailable(int argc, char** argv) {
#if defined(__linux__) || defined(__unix__)
    if (isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY")) return true;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "-platform") return true;
    }
    return false;
#else
    (void)argc;
    (void)argv;
    return true;
#endif
}

int runGui(int& argc, char** argv, std::string_view usage) {
    if (!displayAvailable(argc, argv)) {
        // Qt would abort without a display; the commands work without one.
        std::fprintf(stderr,
                     "plyvet: Kein Bildschirm für das Hauptfenster verfügbar (DISPLAY ist nicht gesetzt).\n"
                     "Ohne Fenster arbeitet plyvet mit Befehlen:\n\n%.*s",
                     static_cast<int>(usage.size()), usage.data());
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tarsel"));
    QApplication::setApplicationName(QStringLiteral("Polyvet"));
    MainWindow window(ShellEnvironment::standard());
    window.show();
    return QApplication::exec();
}

}  // namespace plyvet::gui
