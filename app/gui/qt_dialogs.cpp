#include "app/gui/qt_dialogs.h"

#include "app/gui/field_name_dialog.h"
#include "app/gui/settings_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace plyvet::gui {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// A run shows the hourglass; a question in the middle of it wants the
// ordinary pointer back, and the hourglass again afterwards.
class NormalPointer {
public:
    NormalPointer() : active_(QApplication::overrideCursor() != nullptr) {
        if (active_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~NormalPointer() {
        if (active_) QApplication::restoreOverrideCursor();
    }
    NormalPointer(const NormalPointer&) = delete;
    NormalPointer& operator=(const NormalPointer&) = delete;

private:
    bool active_;
};

QMessageBox::StandardButton standardButton(Answer a) {
    switch (a) {
        case Answer::Ok: return QMessageBox::Ok;
        case Answer::Cancel: return QMessageBox::Cancel;
        case Answer::Yes: return QMessageBox::Yes;
        case Answer::No: return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}

}  // namespace

QString displayText(std::string_view text) {
    QString s = qs(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

Answer QtDialogs::message(const Message& m) {
    NormalPointer pointer;
    QMessageBox box(parent_);
    box.setWindowTitle(qs(m.title));
    box.setText(displayText(m.text));
    switch (m.icon) {
        case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
        case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
        case Icon::Question: box.setIcon(QMessageBox::Question); break;
        case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case Icon::Information: box.setIcon(QMessageBox::Information); break;
    }
    QMessageBox::StandardButtons buttons;
    switch (m.buttons) {
        case Buttons::Ok: buttons = QMessageBox::Ok; break;
        case Buttons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
        case Buttons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
        case Buttons::YesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    box.setStandardButtons(buttons);
    // German captions whatever translations are installed.
    const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
        {QMessageBox::Ok, "OK"}, {QMessageBox::Cancel, "Abbrechen"}, {QMessageBox::Yes, "Ja"}, {QMessageBox::No, "Nein"}};
    for (const auto& [which, caption] : captions) {
        if (QAbstractButton* b = box.button(which)) b->setText(QLatin1String(caption));
    }
    if (buttons.testFlag(standardButton(m.defaultButton))) box.setDefaultButton(standardButton(m.defaultButton));
    // Closing the box by its close button answers like its cancelling button.
    if (m.buttons == Buttons::OkCancel || m.buttons == Buttons::YesNoCancel) {
        box.setEscapeButton(QMessageBox::Cancel);
    } else if (m.buttons == Buttons::YesNo) {
        box.setEscapeButton(QMessageBox::No);
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        case QMessageBox::Ok: return Answer::Ok;
        default: break;
    }
    return m.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

std::string QtDialogs::inputBox(std::string_view prompt, std::string_view title, std::string_view defaultText) {
    NormalPointer pointer;
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(qs(title));
    dialog.setLabelText(displayText(prompt));
    dialog.setTextValue(qs(defaultText));
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.textValue().toStdString();
}

bool QtDialogs::settingsDialog(RunSettings& settings) {
    NormalPointer pointer;
    SettingsDialog dialog(settings, store_,
                          [this](const QString& text) {
                              QMessageBox::critical(parent_, QStringLiteral("Polyvet"), text);
                          },
                          parent_);
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogs::fieldNameDialog(std::vector<Ui::FieldNameRow>& rows, std::string_view instruction,
                                std::string& editText) {
    NormalPointer pointer;
    FieldNameDialog dialog(parent_);
    dialog.load(rows, qs(instruction));
    dialog.exec();
    if (!dialog.answer()) {
        editText = dialog.editText().toStdString();
        return false;
    }
    const auto names = dialog.newNames();
    for (std::size_t i = 0; i < rows.size() && i < names.size(); ++i) rows[i].newName = names[i];
    return true;
}

std::optional<std::vector<std::string>> QtDialogs::openShapefiles(std::string_view prompt,
                                                                  const std::string& startFolder) {
    NormalPointer pointer;
    const QStringList files = QFileDialog::getOpenFileNames(parent_, displayText(prompt).replace('\n', ' '),
                                                            qs(startFolder), QStringLiteral("Shapefiles (*.shp)"));
    if (files.isEmpty()) return std::nullopt;
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(QDir::toNativeSeparators(f).toStdString());
    return paths;
}

std::string QtDialogs::chooseFolder(std::string_view prompt, const std::string& startFolder) {
    NormalPointer pointer;
    // A window title holds one line.
    QString caption = displayText(prompt);
    caption.replace(QLatin1Char('\n'), QString());
    const QString folder = QFileDialog::getExistingDirectory(parent_, caption, qs(startFolder));
    return QDir::toNativeSeparators(folder).toStdString();
}

std::string QtDialogs::chooseSaveFile(std::string_view title, std::string_view filter,
                                      const std::string& startFolder) {
    NormalPointer pointer;
    QString file = QFileDialog::getSaveFileName(parent_, qs(title), qs(startFolder), qs(filter));
    // The dialog's default extension: a name typed without one becomes a shapefile.
    if (!file.isEmpty() && !file.endsWith(QLatin1String(".shp"), Qt::CaseInsensitive)) file += QLatin1String(".shp");
    return QDir::toNativeSeparators(file).toStdString();
}

}  // namespace plyvet::gui
