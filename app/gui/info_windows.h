#pragma once
// The two information windows of the menus: what is new (frmNews) and
// which program and library are running (frmInfo). Neither changes state.

#include <QDialog>
#include <QStringList>

#include <filesystem>

class QLabel;
class QListWidget;
class QPushButton;

namespace plyvet::gui {

// The lines of the what's-new window, in order; empty entries are blank lines.
QStringList newsLines();

class NewsWindow : public QDialog {
    Q_OBJECT
public:
    explicit NewsWindow(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QListWidget* list_ = nullptr;
};

struct ProgramInfo {
    std::filesystem::path programFolder;  // the folder of the running program
    QString version;                      // major.minor.revision
    std::filesystem::path dataFolder;     // Home: where "plyvet.log" and "Plyvet.mdb" are written
};

class InfoWindow : public QDialog {
    Q_OBJECT
public:
    explicit InfoWindow(const ProgramInfo& info, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};

// Moves a window to the middle of the screen it is on.
void centreOnScreen(QWidget* window);

}  // namespace plyvet::gui
