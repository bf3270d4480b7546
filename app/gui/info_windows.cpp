#include "app/gui/info_windows.h"

#include "geolib/binding.h"
#include "pipeline/gis/runtime_error.h"

#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace plyvet::gui {

QStringList newsLines() {
    const QString tab(QLatin1Char('\t'));
    const QString also = QStringLiteral("zusätzlich:") + tab;
    return {
        QStringLiteral("Für Betriebssystem Windows 7 angepasst:"),
        QString(),
        QStringLiteral("Neue Funktionalitäten in Version 2.1.6:"),
        QString(),
        QStringLiteral("Möglichkeit, Logfileeinträge auf Objekte mit Fehlern zu begrenzen"),
        QString(),
        QStringLiteral("Ermittlung und Korrektur identischer Parts"),
        QStringLiteral("Ermittlung und Korrektur von Selbst-Tangierungen"),
        QStringLiteral("Eingabemöglichkeit eines Abstandswertes, unterhalb dessen zwei Punkte als identisch "
                       "angenommen werden"),
        QStringLiteral("Nicht notwendige Punkte auf einer Geraden löschen"),
        QStringLiteral("Eigene Einstellungen in Registry ablegen"),
        QStringLiteral("bisher:") + tab + tab + QStringLiteral(" Möglichkeit, ID -falls vorhanden- in Log-Datei zu schreiben."),
        also + QStringLiteral(" Möglichkeit, nur Objekte mit Fehlern in Log-Datei zu schreiben."),
        also + QStringLiteral(" Logdatei führt Fehlernummern auf, nach denen gesucht werden kann."),
        QString(),
        also + QStringLiteral(" Extras --> Einstellungen --> zurücksetzen"),
        also + QStringLiteral(" Extras --> Einstellungen --> ändern"),
        QString(),
        QStringLiteral("Neue Funktionalitäten in Version 2.1.0:"),
        QString(),
        also + QStringLiteral(" Berücksichtigung Codepage durch OptionButton"),
        also + QStringLiteral(" Eintrag letztes Eingabe- u. Ausgabeverzeichnis in Registry"),
        also + QStringLiteral(" Trennung von Korrektur, Überprüfung auf Überlappungen und Löschen identischer Polygone"),
        QString(),
        QStringLiteral("Neue Funktionalitäten ab Version 2.0.0:"),
        QString(),
        QStringLiteral("bisher:") + tab + tab + QStringLiteral(" Hilfe-Button"),
        QStringLiteral("entspricht neu:") + tab + QStringLiteral(" Hilfe --> Polyvet-Hilfe"),
        also + QStringLiteral(" Hilfe --> Neues in Polyvet"),
        also + QStringLiteral(" Datei --> Informationen --> ProgrammInfo"),
        also + QStringLiteral(" Datei --> Beenden"),
        QString(),
        also + QStringLiteral(" Möglichkeit, ID -falls vorhanden- in Log-Datei zu schreiben."),
        QString(),
        also + QStringLiteral(" Möglichkeit, Prüfgenauigkeit festzulegen."),
    };
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

NewsWindow::NewsWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmNews"));
    setWindowTitle(QStringLiteral("Neues in Polyvet"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("lstNews"));
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    list_->setFont(font);
    list_->addItems(newsLines());
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    // The list keeps its place and fills the rest of the window when it is resized.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    resize(720, 520);
}

void NewsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(this);
}

InfoWindow::InfoWindow(const ProgramInfo& info, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(QStringLiteral("ProgrammInfo"));

    auto* heading = new QLabel(QStringLiteral("Info zur verwendeten Plyvet.exe"), this);
    heading->setObjectName(QStringLiteral("lblHeading"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.2);
    heading->setFont(headingFont);

    const QString path = QStringLiteral("Pfad: ") + QString::fromStdString(info.programFolder.string());
    auto* lblPath = new QLabel(path, this);
    lblPath->setObjectName(QStringLiteral("lblPath"));
    lblPath->setToolTip(path);
    lblPath->setWordWrap(true);
    lblPath->setTextInteractionFlags(Qt::TextSelectableByMouse);

    const QString dataText =
        QStringLiteral("Protokoll und Fehlerdatenbank: ") + QString::fromStdString(info.dataFolder.string());
    auto* lblDataFolder = new QLabel(dataText, this);
    lblDataFolder->setObjectName(QStringLiteral("lblDataFolder"));
    lblDataFolder->setToolTip(dataText);
    lblDataFolder->setWordWrap(true);
    lblDataFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* lblVersion = new QLabel(QStringLiteral("Version: ") + info.version, this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    QString library;
    try {
        library = QStringLiteral("Bibliothek %1 Version: %2")
                      .arg(QString::fromStdString(geolib::libraryFileName()), QString::fromStdString(geolib::gvss()));
    } catch (const RuntimeError& e) {
        library = QStringLiteral("Bibliothek %1: %2")
                      .arg(QString::fromStdString(geolib::libraryFileName()), QString::fromStdString(e.description()));
    }
    auto* lblLibrary = new QLabel(library, this);
    lblLibrary->setObjectName(QStringLiteral("lblLibrary"));
    lblLibrary->setWordWrap(true);

    auto* lblContact = new QLabel(QStringLiteral("Tarsel\nPrüfung und Korrektur von Polygon-Shapefiles\n"
                                                 "Fragen und Hinweise bitte an Ihre GIS-Betreuung."),
                                  this);
    lblContact->setObjectName(QStringLiteral("lblContact"));

    auto* cmdClose = new QPushButton(QStringLiteral("Schließen"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addSpacing(6);
    layout->addWidget(lblPath);
    layout->addWidget(lblDataFolder);
    layout->addWidget(lblVersion);
    layout->addWidget(lblLibrary);
    layout->addSpacing(10);
    layout->addWidget(lblContact);
    layout->addSpacing(6);
    layout->addWidget(cmdClose, 0, Qt::AlignRight);
    setMinimumWidth(420);
}

void InfoWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen(this);
}

}  // namespace plyvet::gui
