#include "app/gui/field_name_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace plyvet::gui {

namespace {

constexpr int kOldName = 0;
constexpr int kNewName = 1;

// In-place editing is offered for the new name only, and an emptied name is
// refused: the row keeps the name it had.
class NewNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (index.column() != kNewName) return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        if (const auto* edit = qobject_cast<QLineEdit*>(editor); edit != nullptr && edit->text().isEmpty()) return;
        QStyledItemDelegate::setModelData(editor, model, index);
    }
};

QString lineBreaks(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

FieldNameDialog::FieldNameDialog(QWidget* parent, std::function<void(const QString&)> hint)
    : QDialog(parent), hint_(std::move(hint)) {
    setObjectName(QStringLiteral("frmDialog"));
    setWindowTitle(QStringLiteral("Feldnamen ändern"));
    setModal(true);
    if (!hint_) {
        hint_ = [this](const QString& text) { QMessageBox::information(this, QStringLiteral("Polyvet"), text); };
    }

    lblFeldnamen_ = new QLabel(this);
    lblFeldnamen_->setObjectName(QStringLiteral("lblFeldnamen"));
    lblFeldnamen_->setWordWrap(true);

    lstViewFeldnamen_ = new QTreeWidget(this);
    lstViewFeldnamen_->setObjectName(QStringLiteral("lstViewFeldnamen"));
    lstViewFeldnamen_->setColumnCount(2);
    lstViewFeldnamen_->setHeaderLabels({QStringLiteral("Feldname alt"), QStringLiteral("Feldname neu")});
    lstViewFeldnamen_->setRootIsDecorated(false);
    lstViewFeldnamen_->setSelectionMode(QAbstractItemView::SingleSelection);
    lstViewFeldnamen_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    lstViewFeldnamen_->setItemDelegate(new NewNameDelegate(lstViewFeldnamen_));
    // Each column takes half of the list's width, whatever its size.
    lstViewFeldnamen_->header()->setSectionResizeMode(QHeaderView::Stretch);
    lstViewFeldnamen_->setMinimumHeight(140);

    txtChangeFieldName_ = new QLineEdit(this);
    txtChangeFieldName_->setObjectName(QStringLiteral("txtChangeFieldName"));
    cmdChangeFieldName_ = new QPushButton(QStringLiteral("Feldname ändern"), this);
    cmdChangeFieldName_->setObjectName(QStringLiteral("cmdChangeFieldName"));
    cmdOK_ = new QPushButton(QStringLiteral("ok"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdStop_ = new QPushButton(QStringLiteral("abbrechen"), this);
    cmdStop_->setObjectName(QStringLiteral("cmdStop"));
    // Enter in the edit box should not close the dialog.
    for (QPushButton* b : {cmdChangeFieldName_, cmdOK_, cmdStop_}) b->setAutoDefault(false);

    auto* edit = new QHBoxLayout;
    edit->addWidget(txtChangeFieldName_, 1);
    edit->addWidget(cmdChangeFieldName_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdStop_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblFeldnamen_);
    layout->addWidget(lstViewFeldnamen_, 1);
    layout->addLayout(edit);
    layout->addLayout(buttons);
    resize(520, 380);

    connect(lstViewFeldnamen_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { lstViewFeldnamenClick(item); });
    connect(cmdChangeFieldName_, &QPushButton::clicked, this, &FieldNameDialog::cmdChangeFieldNameClick);
    connect(txtChangeFieldName_, &QLineEdit::returnPressed, this, &FieldNameDialog::cmdChangeFieldNameClick);
    connect(cmdOK_, &QPushButton::clicked, this, &FieldNameDialog::cmdOKClick);
    connect(cmdStop_, &QPushButton::clicked, this, &FieldNameDialog::cmdStopClick);
}

void FieldNameDialog::load(const std::vector<Ui::FieldNameRow>& rows, const QString& instruction) {
    lstViewFeldnamen_->clear();
    txtChangeFieldName_->clear();
    answer_ = false;
    int key = 0;
    for (const auto& row : rows) {
        auto* item = new QTreeWidgetItem(lstViewFeldnamen_);
        item->setText(kOldName, QString::fromStdString(row.oldName));
        item->setText(kNewName, QString::fromStdString(row.newName));
        item->setData(kOldName, Qt::UserRole, QStringLiteral("K%1").arg(key++));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    lblFeldnamen_->setText(lineBreaks(instruction));
}

std::vector<std::string> FieldNameDialog::newNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < lstViewFeldnamen_->topLevelItemCount(); ++i) {
        names.push_back(lstViewFeldnamen_->topLevelItem(i)->text(kNewName).toStdString());
    }
    return names;
}

QString FieldNameDialog::editText() const { return txtChangeFieldName_->text(); }

void FieldNameDialog::lstViewFeldnamenClick(QTreeWidgetItem* item) {
    if (item != nullptr) txtChangeFieldName_->setText(item->text(kOldName));
}

void FieldNameDialog::cmdChangeFieldNameClick() {
    QTreeWidgetItem* item = lstViewFeldnamen_->currentItem();
    if (item == nullptr || !item->isSelected()) {
        hint_(QStringLiteral("Feldname in Spalte 'Feldname alt' vor Änderung auswählen!"));
        return;
    }
    if (!txtChangeFieldName_->text().isEmpty()) item->setText(kNewName, txtChangeFieldName_->text());
    txtChangeFieldName_->clear();
}

void FieldNameDialog::cmdOKClick() {
    answer_ = true;
    accept();
}

void FieldNameDialog::cmdStopClick() {
    answer_ = false;
    reject();
}

}  // namespace plyvet::gui
