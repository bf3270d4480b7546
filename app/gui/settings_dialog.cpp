#include "app/gui/settings_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace plyvet::gui {

SettingsDialog::SettingsDialog(RunSettings& settings, SettingsStore& store,
                               std::function<void(const QString&)> report, QWidget* parent)
    : QDialog(parent), settings_(settings), store_(store), report_(std::move(report)) {
    setObjectName(QStringLiteral("frmShapefileInfo"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    setModal(true);

    chkOverwrite_ = new QCheckBox(
        QStringLiteral("vorhandene korrigierte Shapefiles (Endung _x.shp, _xx.shp...) überschreiben"), this);
    chkOverwrite_->setObjectName(QStringLiteral("chkOverwriteExistingShapeFiles"));

    // The long-name box explains itself in a text field beside it.
    chkIgnoreLongNames_ = new QCheckBox(this);
    chkIgnoreLongNames_->setObjectName(QStringLiteral("chkIgnoreLongFileNames"));
    txtIgnoreLongNames_ = new QPlainTextEdit(this);
    txtIgnoreLongNames_->setObjectName(QStringLiteral("txtIgnoreLongFileNames"));
    txtIgnoreLongNames_->setReadOnly(true);
    txtIgnoreLongNames_->setPlainText(QStringLiteral("Falls Ausgangs-Shapefilenamen zu lang sind\n"
                                                     "(Empfohlen werden höchstens 8 Zeichen!)\n"
                                                     "Dateinamen trotzdem beibehalten!"));
    txtIgnoreLongNames_->setFocusPolicy(Qt::NoFocus);
    txtIgnoreLongNames_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int lineHeight = txtIgnoreLongNames_->fontMetrics().lineSpacing();
    txtIgnoreLongNames_->setFixedHeight(lineHeight * 3 + 14);

    chkSourceFolder_ = new QCheckBox(QStringLiteral("Korrigierte Shapefiles in Quellverzeichnis erzeugen"), this);
    chkSourceFolder_->setObjectName(QStringLiteral("chkPutResultInSourceFolder"));
    chkSave_ = new QCheckBox(QStringLiteral("Aktuelle Einstellungen permanent speichern"), this);
    chkSave_->setObjectName(QStringLiteral("chkSaveSettings"));

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);
    cmdCancel_ = new QPushButton(QStringLiteral("Abbrechen"), this);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));

    auto* longNames = new QHBoxLayout;
    longNames->addWidget(chkIgnoreLongNames_, 0, Qt::AlignTop);
    longNames->addWidget(txtIgnoreLongNames_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chkOverwrite_);
    layout->addLayout(longNames);
    layout->addWidget(chkSourceFolder_);
    layout->addSpacing(8);
    layout->addWidget(chkSave_);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    // The boxes start from the run settings in force.
    chkOverwrite_->setChecked(settings_.overwriteExistingShapeFiles);
    chkIgnoreLongNames_->setChecked(settings_.ignoreLongFileNames);
    chkSourceFolder_->setChecked(settings_.putResultInSourceFolder);
    chkSave_->setChecked(false);

    connect(cmdOK_, &QPushButton::clicked, this, &SettingsDialog::cmdOKClick);
    connect(cmdCancel_, &QPushButton::clicked, this, &SettingsDialog::cmdCancelClick);
    // The close box answers like Abbrechen.
    connect(this, &QDialog::rejected, this, [this] {
        settings_.continueRun = false;
        settings_.settingsConfirmed = true;
    });
}

void SettingsDialog::cmdOKClick() {
    settings_.continueRun = true;
    settings_.settingsConfirmed = true;
    settings_.overwriteExistingShapeFiles = chkOverwrite_->isChecked();
    settings_.ignoreLongFileNames = chkIgnoreLongNames_->isChecked();
    settings_.putResultInSourceFolder = chkSourceFolder_->isChecked();
    if (chkSave_->isChecked()) {
        const std::pair<const char*, bool> values[] = {
            {setting::kOverwriteExistingShapeFiles, settings_.overwriteExistingShapeFiles},
            {setting::kIgnoreLongFileNames, settings_.ignoreLongFileNames},
            {setting::kPutResultInSourceFolder, settings_.putResultInSourceFolder},
        };
        for (const auto& [name, value] : values) {
            if (const int code = store_.setFlag(name, value); code != 0) {
                // The dialog stays open: the person can try again or leave
                // with the settings kept for this run only.
                report_(QStringLiteral("Error %1 (%2) in procedure cmdOK_Click of Formular frmShapefileInfo")
                            .arg(code)
                            .arg(QLatin1String(kRegistryWriteFailed)));
                return;
            }
        }
        chkSave_->setChecked(false);
    }
    done(QDialog::Accepted);
}

void SettingsDialog::cmdCancelClick() { reject(); }

}  // namespace plyvet::gui
