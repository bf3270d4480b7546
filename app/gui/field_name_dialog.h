#pragma once
// frmDialog: new names for attribute fields whose names are longer than
// dBase allows. One row per long name, "Feldname alt" and "Feldname neu";
// clicking a row copies its old name into the edit box, "Feldname ändern"
// puts the edited text into the row's new name. "ok" and "abbrechen" close
// the dialog with their answer; the checks of the new names are the
// caller's.

#include "pipeline/ui.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace plyvet::gui {

class FieldNameDialog : public QDialog {
    Q_OBJECT
public:
    // `hint` shows the selection hint (a message box unless a test replaces it).
    explicit FieldNameDialog(QWidget* parent = nullptr, std::function<void(const QString&)> hint = {});

    // Clears the list and fills it with `rows`; `instruction` goes into the
    // label above the list (line breaks as CR LF or LF).
    void load(const std::vector<Ui::FieldNameRow>& rows, const QString& instruction);

    // The rows' new names, in the order they were loaded.
    std::vector<std::string> newNames() const;
    QString editText() const;
    // true after "ok", false after "abbrechen" or the close box.
    bool answer() const { return answer_; }

private:
    void lstViewFeldnamenClick(QTreeWidgetItem* item);
    void cmdChangeFieldNameClick();
    void cmdOKClick();
    void cmdStopClick();

    std::function<void(const QString&)> hint_;
    bool answer_ = false;
    QTreeWidget* lstViewFeldnamen_ = nullptr;
    QLineEdit* txtChangeFieldName_ = nullptr;
    QPushButton* cmdChangeFieldName_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdStop_ = nullptr;
    QLabel* lblFeldnamen_ = nullptr;
};

}  // namespace plyvet::gui
