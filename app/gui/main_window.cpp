#include "app/gui/main_window.h"

#include "app/gui/info_windows.h"
#include "app/gui/numeric_key_filter.h"
#include "app/gui/qt_dialogs.h"
#include "layerops/identical_polygons.h"
#include "layerops/merge_layers.h"
#include "layerops/overlap_check.h"
#include "pipeline/gis/runtime_error.h"
#include "pipeline/home.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStyle>
#include <QVBoxLayout>

#include <new>
#include <system_error>

#ifndef PLYVET_VERSION_MAJOR
#define PLYVET_VERSION_MAJOR 0
#define PLYVET_VERSION_MINOR 0
#define PLYVET_VERSION_PATCH 0
#endif

namespace plyvet::gui {

namespace fs = std::filesystem;

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool isFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(fs::path(path), ec);
}

// The caption of a check box, beside it; a click on it ticks the box as a
// click on the box would.
class CheckBoxLabel : public QLabel {
public:
    CheckBoxLabel(const QString& text, QCheckBox* box, QWidget* parent) : QLabel(text, parent), box_(box) {
        setBuddy(box);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint())) {
            box_->toggle();
        }
        QLabel::mouseReleaseEvent(event);
    }

private:
    QCheckBox* box_;
};

constexpr const char* kShapefilePrompt = "Bitte Shapefile(s) zum Überprüfen auswählen. Mehrfachauswahl möglich.";
constexpr const char* kOutputFolderPrompt =
    "Wählen Sie bitte das Verzeichnis aus, \nin dem die korrigierten ShapeFiles gespeichert werden sollen.";

}  // namespace

// The window's side of the run: status lines, progress and the event pump
// live in the window, every question goes to the dialogs.
class WindowUi final : public Ui {
public:
    explicit WindowUi(MainWindow& window) : w_(window) {}

    Answer message(const Message& m) override { return w_.dialogs_->message(m); }
    std::string inputBox(std::string_view prompt, std::string_view title, std::string_view def) override {
        return w_.dialogs_->inputBox(prompt, title, def);
    }
    bool settingsDialog(RunSettings& settings) override { return w_.dialogs_->settingsDialog(settings); }
    bool fieldNameDialog(std::vector<FieldNameRow>& rows, std::string_view instruction,
                         std::string& editText) override {
        return w_.dialogs_->fieldNameDialog(rows, instruction, editText);
    }
    std::string chooseOutputFolder() override { return w_.chooseOutputFolder(); }
    std::string chooseSaveFile(std::string_view title, std::string_view filter) override {
        return w_.dialogs_->chooseSaveFile(title, filter, w_.txtAusgabeVerzeichnis_->text().trimmed().toStdString());
    }
    void setStatus(std::string_view text) override {
        w_.lblStatus_->setText(displayText(text));
        w_.lblStatus_->repaint();
    }
    void setStep(std::string_view text) override { w_.lblStep_->setText(displayText(text)); }
    void progressRange(int minimum, int maximum) override {
        w_.ProgressBar1_->setRange(minimum, std::max(minimum, maximum));
        w_.ProgressBar1_->setVisible(true);
    }
    void progressValue(int value) override { w_.ProgressBar1_->setValue(value); }
    void pumpEvents() override { QCoreApplication::processEvents(); }

private:
    MainWindow& w_;
};

ShellEnvironment ShellEnvironment::standard() {
    ShellEnvironment env;
    env.applicationFolder = executableFolder();
    if (env.applicationFolder.empty()) env.applicationFolder = QCoreApplication::applicationDirPath().toStdString();
    env.programFolder = plyvet::programFolder();
    env.helpFile = plyvet::helpFile();
    env.versionMajor = PLYVET_VERSION_MAJOR;
    env.versionMinor = PLYVET_VERSION_MINOR;
    env.versionRevision = PLYVET_VERSION_PATCH;
    env.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return env;
}

MainWindow::MainWindow(ShellEnvironment environment, std::unique_ptr<Dialogs> dialogs, QWidget* parent)
    : QMainWindow(parent), env_(std::move(environment)), dialogs_(std::move(dialogs)) {
    if (!dialogs_) dialogs_ = std::make_unique<QtDialogs>(this, store_);
    if (!env_.openUrl) env_.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    ui_ = std::make_unique<WindowUi>(*this);
    const QString point = QLocale().decimalPoint();
    if (point == QLatin1String(".") || point == QLatin1String(",")) separator_ = point.at(0).toLatin1();
    else separator_ = '.';

    setObjectName(QStringLiteral("frmDummy"));
    setWindowTitle(QStringLiteral("Polyvet"));
    createActions();
    createMenus();
    createWidgets();
    createLayout();
    connectSignals();
    loadWindow();
}

MainWindow::~MainWindow() = default;

void MainWindow::createActions() {
    const auto action = [this](const char* name, const char* caption) {
        auto* a = new QAction(QString::fromUtf8(caption), this);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    umn01ProgrammInfo_ = action("umn01ProgrammInfo", "ProgrammInfo");
    umn01Exit_ = action("umn01Exit", "Beenden");
    umn01Reset_ = action("umn01Reset", "zurücksetzen");
    umn01EinstAendern_ = action("umn01EinstAendern", "ändern");
    mn01PolyvetHelp_ = action("mn01PolyvetHelp", "Polyvet-Hilfe");
    mn01PolyvetHelp_->setShortcut(QKeySequence::HelpContents);
    umn01News_ = action("umn01News", "Neues in Polyvet");
}

void MainWindow::createMenus() {
    QMenu* mnDatei = menuBar()->addMenu(QStringLiteral("&Datei"));
    mnDatei->setObjectName(QStringLiteral("mnDatei"));
    QMenu* umnInfos = mnDatei->addMenu(QStringLiteral("Informationen"));
    umnInfos->setObjectName(QStringLiteral("umnInfos"));
    umnInfos->addAction(umn01ProgrammInfo_);
    mnDatei->addSeparator();
    mnDatei->addAction(umn01Exit_);

    QMenu* mnExtras = menuBar()->addMenu(QStringLiteral("&Extras"));
    mnExtras->setObjectName(QStringLiteral("mnExtras"));
    QMenu* umnEinstellungen = mnExtras->addMenu(QStringLiteral("Einstellungen"));
    umnEinstellungen->setObjectName(QStringLiteral("umnEinstellungen"));
    umnEinstellungen->addAction(umn01Reset_);
    umnEinstellungen->addAction(umn01EinstAendern_);

    QMenu* mnHilfe = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    mnHilfe->setObjectName(QStringLiteral("mnHilfe"));
    mnHilfe->addAction(mn01PolyvetHelp_);
    mnHilfe->addAction(umn01News_);
}

void MainWindow::createWidgets() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    inputPanel_ = new QWidget(central);
    commandPanel_ = new QWidget(central);

    const auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    const auto label = [&](QWidget* parent, const char* name, const QString& text) {
        return named(new QLabel(text, parent), name);
    };
    const auto button = [&](QWidget* parent, const char* name, const QString& text) {
        return named(new QPushButton(text, parent), name);
    };
    const auto edit = [&](QWidget* parent, const char* name) { return named(new QLineEdit(parent), name); };
    const auto hidden = [&](QWidget* parent, const char* name) {
        QLineEdit* e = edit(parent, name);
        e->setVisible(false);
        return e;
    };

    // The list and the folders.
    lblAnweisung_ = label(inputPanel_, "lblAnweisung", {});
    List1_ = named(new QListWidget(inputPanel_), "List1");
    List1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List1_->setToolTip(QStringLiteral("Ausgewählte Shapefiles"));
    cmdAddShapeFiles_ = button(inputPanel_, "cmdAddShapeFiles", QStringLiteral("+"));
    cmdAddShapeFiles_->setToolTip(QStringLiteral("Auswahl Shapefile(s) und Einfügen in nebenstehende Listbox"));
    cmdSubstractShapefiles_ = button(inputPanel_, "cmdSubstractShapefiles", QStringLiteral("\u2212"));
    cmdSubstractShapefiles_->setToolTip(QStringLiteral("Entfernen von Shapefiles, die in der Listbox markiert wurden"));
    for (QPushButton* b : {cmdAddShapeFiles_, cmdSubstractShapefiles_}) {
        QFont f = b->font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.5);
        b->setFont(f);
        b->setFixedSize(36, 32);
    }
    lblOutputPath_ = label(inputPanel_, "lblOutputPath", QStringLiteral("Ausgabeverzeichnis"));
    txtAusgabeVerzeichnis_ = edit(inputPanel_, "txtAusgabeVerzeichnis");
    cmdOutDir_ = button(inputPanel_, "cmdOutDir", {});
    cmdOutDir_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    cmdOutDir_->setToolTip(QStringLiteral("Auswahl Ausgabeverzeichnis und automatischer Eintrag in Textfeld"));
    cmdOutDir_->setFixedSize(36, 28);
    txtLastInDirectory_ = hidden(inputPanel_, "txtLastInDirectory");
    txtLastOutDirectory_ = hidden(inputPanel_, "txtLastOutDirectory");

    // The correction group.
    Frame3_ = named(new QGroupBox(QStringLiteral("ShapeFile(s) korrigieren..."), central), "Frame3");
    cmdCorrect_ = button(Frame3_, "cmdCorrect", QStringLiteral("Ausführen..."));
    cmdCorrect_->setToolTip(QStringLiteral("Korrigiert alle in der Listbox aufgeführten Shapefiles"));
    lblGranularity_ = label(Frame3_, "lblGranularity", QStringLiteral("Prüfgenauigkeit (Standard: 3 Dezimalstellen)"));
    txtGranularity_ = edit(Frame3_, "txtGranularity");
    lblIdenticalPointThresholdSize_ = label(Frame3_, "lblIdenticalPointThresholdSize", {});
    txtIdenticalPointThresholdSize_ = edit(Frame3_, "txtIdenticalPointThresholdSize");
    chkDeletePointsOnLine_ = named(new QCheckBox(Frame3_), "chkDeletePointsOnLine");
    lblDeletePointsOnLineBetweenAandB_ = named(
        new CheckBoxLabel(QStringLiteral("Zwischenpunkte auf einer Geraden löschen"), chkDeletePointsOnLine_, Frame3_),
        "lblDeletePointsOnLineBetweenAandB");
    chkDeleteSplitterArea_ = named(new QCheckBox(Frame3_), "chkDeleteSplitterArea");
    lblDeleteSplitterArea_ = named(new CheckBoxLabel(QStringLiteral("zusätzlich Splitterflächen löschen (Standard)"),
                                                     chkDeleteSplitterArea_, Frame3_),
                                   "lblDeleteSplitterArea");
    lblSplitterTolerance_ =
        label(Frame3_, "lblSplitterTolerance", QStringLiteral("Toleranz für Splitterflächen aus Selbstüberschneidung"));
    txtSplitterToleranz_ = edit(Frame3_, "txtSplitterToleranz");
    chkID_ = named(new QCheckBox(Frame3_), "chkID");
    lblID_ = named(new CheckBoxLabel(QStringLiteral("ID -falls vorhanden- in Log-Datei (Standard: FID)"), chkID_, Frame3_),
                   "lblID");
    chkOnlyErrorObjectsInLogFile_ = named(new QCheckBox(Frame3_), "chkOnlyErrorObjectsInLogFile");
    lblOnlyObjectsWithErrorInLogfile_ =
        named(new CheckBoxLabel(QStringLiteral("Nur Objekte mit Fehlern in Logdatei schreiben"),
                                chkOnlyErrorObjectsInLogFile_, Frame3_),
              "lblOnlyObjectsWithErrorInLogfile");
    chkReport_ = named(new QCheckBox(Frame3_), "chkReport");
    lblReport_ = named(new CheckBoxLabel(QStringLiteral("Bericht mit Abbildungen erzeugen"), chkReport_, Frame3_),
                       "lblReport");
    lblReport_->setToolTip(QStringLiteral("Vorher-/Nachher-Abbildungen der geänderten und nicht exportierten "
                                          "Polygone als HTML-Datei im Programmverzeichnis"));

    Frame1_ = named(new QGroupBox(Frame3_), "Frame1");
    Label1_ = label(Frame1_, "Label1", QStringLiteral("bei nicht auflösbarem Problem"));
    Option1_ = named(new QRadioButton(QStringLiteral("Shape nicht exportieren"), Frame1_), "Option1");
    Option2_ = named(new QRadioButton(QStringLiteral("Programm abbrechen"), Frame1_), "Option2");
    Frame2_ = named(new QGroupBox(QStringLiteral("Codepage verwenden..."), Frame3_), "Frame2");
    Option3_ = named(new QRadioButton(QStringLiteral("aus Header"), Frame2_), "Option3");
    Option3_->setToolTip(QStringLiteral("Angabe im Header des dBase-Files muß korrekt sein"));
    Option4_ = named(new QRadioButton(QStringLiteral("ANSI"), Frame2_), "Option4");
    Option5_ = named(new QRadioButton(QStringLiteral("OEM"), Frame2_), "Option5");
    txtOpt12_ = hidden(Frame3_, "txtOpt12");
    txtOpt345_ = hidden(Frame3_, "txtOpt345");

    // The layer commands.
    const QString correctedOnly = QStringLiteral("Nur möglich für bereits korrigierte Shapefiles (Endung _x)");
    Frame4_ = named(new QGroupBox(QStringLiteral("Überlappungen ermitteln..."), commandPanel_), "Frame4");
    Frame4_->setToolTip(correctedOnly);
    lblOverlapTolerance_ = label(Frame4_, "lblOverlapTolerance", QStringLiteral("Überlappungstoleranz"));
    txtOverlappingTolerance_ = edit(Frame4_, "txtOverlappingTolerance");
    txtOverlappingTolerance_->setToolTip(QStringLiteral("Zum Ändern bitte markieren und Entf drücken"));
    cmdOverlap_ = button(Frame4_, "cmdOverlap", QStringLiteral("Ausführen..."));
    Frame5_ = named(new QGroupBox(QStringLiteral("Identische Polygone löschen..."), commandPanel_), "Frame5");
    Frame5_->setToolTip(correctedOnly);
    cmdIdenticalPols_ = button(Frame5_, "cmdIdenticalPols", QStringLiteral("Ausführen..."));
    Frame6_ = named(new QGroupBox(QStringLiteral("Layer mergen..."), commandPanel_), "Frame6");
    cmdMergeLayers_ = button(Frame6_, "cmdMergeLayers", QStringLiteral("Ausführen..."));
    cmdMergeLayers_->setToolTip(QStringLiteral("Merget alle in der Listbox aufgeführten Shapefiles"));
    cmdGetLogfile_ = button(commandPanel_, "cmdGetLogfile", QStringLiteral("Log-Datei"));
    cmdGetLogfile_->setToolTip(QStringLiteral("Bearbeitungsnachweis und Fehlerbericht"));
    cmdClose_ = button(commandPanel_, "cmdClose", QStringLiteral("Beenden"));

    // Progress and status.
    ProgressBar1_ = named(new QProgressBar(central), "ProgressBar1");
    ProgressBar1_->setRange(0, 100);
    ProgressBar1_->setValue(0);
    lblStep_ = label(central, "lblStep", {});
    lblStatus_ = label(central, "lblStatus", {});
    lblStatus_->setWordWrap(true);
    lblStatistics_ = label(central, "lblStatistics", {});
    txtVersion_ = edit(central, "txtVersion");
    txtVersion_->setReadOnly(true);
    txtVersion_->setFrame(false);
    txtVersion_->setFocusPolicy(Qt::NoFocus);

    correctionControls_ = {cmdCorrect_,
                           lblGranularity_,
                           txtGranularity_,
                           lblIdenticalPointThresholdSize_,
                           txtIdenticalPointThresholdSize_,
                           chkDeletePointsOnLine_,
                           lblDeletePointsOnLineBetweenAandB_,
                           chkDeleteSplitterArea_,
                           lblDeleteSplitterArea_,
                           lblSplitterTolerance_,
                           txtSplitterToleranz_,
                           chkID_,
                           lblID_,
                           chkOnlyErrorObjectsInLogFile_,
                           lblOnlyObjectsWithErrorInLogfile_,
                           chkReport_,
                           lblReport_,
                           Frame1_,
                           Frame2_,
                           lblOverlapTolerance_,
                           txtOverlappingTolerance_};
}

void MainWindow::createLayout() {
    // List with its two buttons, then the output folder.
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(cmdAddShapeFiles_);
    listButtons->addWidget(cmdSubstractShapefiles_);
    listButtons->addStretch(1);
    auto* input = new QGridLayout(inputPanel_);
    input->setContentsMargins(0, 0, 0, 0);
    input->addWidget(lblAnweisung_, 0, 0);
    input->addWidget(List1_, 1, 0);
    input->addLayout(listButtons, 1, 1);
    input->addWidget(lblOutputPath_, 2, 0);
    input->addWidget(txtAusgabeVerzeichnis_, 3, 0);
    input->addWidget(cmdOutDir_, 3, 1);
    List1_->setMinimumHeight(130);

    // The correction group: parameters in a grid, the option groups below.
    const int numberWidth = 70;
    for (QLineEdit* e : {txtGranularity_, txtIdenticalPointThresholdSize_, txtSplitterToleranz_, txtOverlappingTolerance_}) {
        e->setFixedWidth(numberWidth);
        e->setAlignment(Qt::AlignRight);
    }
    auto* params = new QGridLayout;
    params->setColumnStretch(1, 1);
    int row = 0;
    params->addWidget(lblGranularity_, row, 0, 1, 2);
    params->addWidget(txtGranularity_, row++, 2);
    params->addWidget(lblIdenticalPointThresholdSize_, row, 0, 1, 2);
    params->addWidget(txtIdenticalPointThresholdSize_, row++, 2);
    params->addWidget(lblSplitterTolerance_, row, 0, 1, 2);
    params->addWidget(txtSplitterToleranz_, row++, 2);
    const std::pair<QCheckBox*, QLabel*> boxes[] = {
        {chkDeletePointsOnLine_, lblDeletePointsOnLineBetweenAandB_},
        {chkDeleteSplitterArea_, lblDeleteSplitterArea_},
        {chkID_, lblID_},
        {chkOnlyErrorObjectsInLogFile_, lblOnlyObjectsWithErrorInLogfile_},
        {chkReport_, lblReport_},
    };
    for (const auto& [box, caption] : boxes) {
        params->addWidget(box, row, 0);
        params->addWidget(caption, row++, 1, 1, 2);
    }
    params->setColumnMinimumWidth(0, 20);

    auto* unsolvable = new QVBoxLayout(Frame1_);
    unsolvable->addWidget(Label1_);
    unsolvable->addWidget(Option1_);
    unsolvable->addWidget(Option2_);
    unsolvable->addStretch(1);
    auto* codePage = new QVBoxLayout(Frame2_);
    codePage->addWidget(Option3_);
    codePage->addWidget(Option4_);
    codePage->addWidget(Option5_);
    codePage->addStretch(1);
    auto* options = new QHBoxLayout;
    options->addWidget(Frame1_, 1);
    options->addWidget(Frame2_, 1);

    auto* run = new QHBoxLayout;
    run->addStretch(1);
    run->addWidget(cmdCorrect_);

    auto* correction = new QVBoxLayout(Frame3_);
    correction->addLayout(params);
    correction->addSpacing(4);
    correction->addLayout(options);
    correction->addLayout(run);

    // The layer commands and the two plain buttons on the right.
    auto* overlap = new QGridLayout(Frame4_);
    overlap->addWidget(lblOverlapTolerance_, 0, 0);
    overlap->addWidget(txtOverlappingTolerance_, 0, 1);
    overlap->addWidget(cmdOverlap_, 1, 0, 1, 2, Qt::AlignRight);
    auto* identical = new QHBoxLayout(Frame5_);
    identical->addStretch(1);
    identical->addWidget(cmdIdenticalPols_);
    auto* merge = new QHBoxLayout(Frame6_);
    merge->addStretch(1);
    merge->addWidget(cmdMergeLayers_);
    auto* commands = new QVBoxLayout(commandPanel_);
    commands->setContentsMargins(0, 0, 0, 0);
    commands->addWidget(Frame4_);
    commands->addWidget(Frame5_);
    commands->addWidget(Frame6_);
    commands->addStretch(1);
    commands->addWidget(cmdGetLogfile_);
    commands->addWidget(cmdClose_);

    auto* middle = new QHBoxLayout;
    middle->addWidget(Frame3_, 3);
    middle->addWidget(commandPanel_, 1);

    auto* status = new QGridLayout;
    status->addWidget(lblStep_, 0, 0);
    status->addWidget(lblStatistics_, 0, 1, Qt::AlignRight);
    status->addWidget(lblStatus_, 1, 0, 1, 2);
    status->addWidget(ProgressBar1_, 2, 0, 1, 2);
    status->addWidget(txtVersion_, 3, 0, 1, 2);

    auto* layout = new QVBoxLayout(centralWidget());
    layout->addWidget(inputPanel_, 1);
    layout->addLayout(middle);
    layout->addLayout(status);
    resize(920, 720);
}

void MainWindow::connectSignals() {
    connect(cmdAddShapeFiles_, &QPushButton::clicked, this, &MainWindow::cmdAddShapeFilesClick);
    connect(cmdSubstractShapefiles_, &QPushButton::clicked, this, &MainWindow::cmdSubstractShapefilesClick);
    connect(cmdOutDir_, &QPushButton::clicked, this, &MainWindow::cmdOutDirClick);
    connect(txtAusgabeVerzeichnis_, &QLineEdit::textChanged, this, &MainWindow::txtAusgabeVerzeichnisChange);
    connect(cmdCorrect_, &QPushButton::clicked, this, &MainWindow::cmdCorrectClick);
    connect(cmdIdenticalPols_, &QPushButton::clicked, this, &MainWindow::cmdIdenticalPolsClick);
    connect(cmdOverlap_, &QPushButton::clicked, this, &MainWindow::cmdOverlapClick);
    connect(cmdMergeLayers_, &QPushButton::clicked, this, &MainWindow::cmdMergeLayersClick);
    connect(cmdGetLogfile_, &QPushButton::clicked, this, &MainWindow::cmdGetLogfileClick);
    connect(cmdClose_, &QPushButton::clicked, this, &MainWindow::close);
    connect(umn01Exit_, &QAction::triggered, this, &MainWindow::close);
    connect(umn01ProgrammInfo_, &QAction::triggered, this, &MainWindow::umn01ProgrammInfoClick);
    connect(umn01Reset_, &QAction::triggered, this, &MainWindow::umn01ResetClick);
    connect(umn01EinstAendern_, &QAction::triggered, this, &MainWindow::showEinstellungen);
    connect(mn01PolyvetHelp_, &QAction::triggered, this, &MainWindow::mn01PolyvetHelpClick);
    connect(umn01News_, &QAction::triggered, this, &MainWindow::umn01NewsClick);
    const std::pair<QRadioButton*, const char*> options[] = {
        {Option1_, "1"}, {Option2_, "2"}, {Option3_, "3"}, {Option4_, "4"}, {Option5_, "5"}};
    for (const auto& [option, number] : options) {
        QLineEdit* target = (option == Option1_ || option == Option2_) ? txtOpt12_ : txtOpt345_;
        const QString value = QLatin1String(number);
        connect(option, &QRadioButton::toggled, this, [target, value](bool on) {
            if (on) target->setText(value);
        });
    }
}

void MainWindow::loadWindow() {
    guarded("Form_Load", [this] {
        makePath(env_.programFolder);
        programLog_ = LogFile(env_.programFolder / "plyvet.log");
        if (!programLog_.create()) {
            messageBox({"Entfernen Sie bitte den Schreibschutz von Datei plyvet.log im Verzeichnis " +
                  env_.programFolder.string() + "."});
        }

        const QString tag = QString::fromStdString(
            shell::versionTag(env_.versionMajor, env_.versionMinor, env_.versionRevision));
        if (!store_.contains(setting::kActualVersion) || store_.text(setting::kActualVersion) != tag) {
            if (const int code = store_.setText(setting::kActualVersion, tag); code != 0) {
                messageBox({"Eintrag ActualVersion in Registry mit Fehler " + std::to_string(code) + " fehlgeschlagen."});
            }
        }

        cmdAddShapeFiles_->setEnabled(true);
        for (QPushButton* b : {cmdIdenticalPols_, cmdOverlap_, cmdGetLogfile_, cmdMergeLayers_, cmdSubstractShapefiles_}) {
            b->setEnabled(false);
        }

        const std::string sep(1, separator_);
        txtOverlappingTolerance_->setText(qs("0" + sep + "1"));
        txtOverlappingTolerance_->setMaxLength(10);
        lblIdenticalPointThresholdSize_->setText(
            qs("Punkte gelten als identisch bei einer Distanz kleiner\n(Standard 0" + sep + "001)"));
        txtSplitterToleranz_->setText(qs("0" + sep + "01"));
        txtSplitterToleranz_->setMaxLength(5);
        txtGranularity_->setMaxLength(1);
        txtGranularity_->setText(QStringLiteral("3"));
        txtIdenticalPointThresholdSize_->setText(qs("0" + sep + "001"));
        txtIdenticalPointThresholdSize_->setMaxLength(5);
        chkDeleteSplitterArea_->setChecked(true);
        chkDeletePointsOnLine_->setChecked(false);
        Option1_->setChecked(true);
        Option3_->setChecked(true);
        txtVersion_->setText(QStringLiteral("plyvet.exe Version: %1.%2.%3")
                                 .arg(env_.versionMajor)
                                 .arg(env_.versionMinor)
                                 .arg(env_.versionRevision));
        new NumericKeyFilter(txtGranularity_, NumericKeyFilter::Mode::Granularity, 0, separator_);
        new NumericKeyFilter(txtIdenticalPointThresholdSize_, NumericKeyFilter::Mode::Number, 3, separator_);
        new NumericKeyFilter(txtSplitterToleranz_, NumericKeyFilter::Mode::Number, 3, separator_);
        new NumericKeyFilter(txtOverlappingTolerance_, NumericKeyFilter::Mode::Number, 7, separator_);

        lblAnweisung_->setText(QStringLiteral("Ausgewählte Shapefiles"));
        lblStatus_->clear();

        // Without the database the run goes on; its rows are just not recorded.
        if (!database_.openErrorDatabase(env_.programFolder, *ui_, &programLog_)) database_.close();

        txtAusgabeVerzeichnis_->setText(store_.text(setting::kLastDirectoryOut));
        settings_ = store_.runSettings();
        applyRules(shell::RuleTrigger::ListShrank);
    });
}

// --- handlers -----------------------------------------------------------------

void MainWindow::cmdAddShapeFilesClick() {
    guarded("cmdAddShapeFiles_Click", [this] {
        cmdGetLogfile_->setEnabled(false);
        lblStatus_->clear();
        std::string start = txtLastInDirectory_->text().toStdString();
        if (!isFolder(start)) start = store_.text(setting::kLastDirectoryIn).toStdString();
        chooseShapeFile(start);
        applyRules(shell::RuleTrigger::ListGrew);
    });
}

void MainWindow::chooseShapeFile(const std::string& startFolder) {
    guarded(
        "ChooseShapeFile",
        [&] {
            const std::string start = isFolder(startFolder) ? startFolder : std::string();
            for (;;) {
                const auto chosen = dialogs_->openShapefiles(kShapefilePrompt, start);
                if (!chosen || chosen->empty()) {
                    const Answer again = messageBox({"Sie haben kein(e) Shapefile(s) ausgewählt. Wollen Sie die Auswahl "
                                               "wiederholen?",
                                               "Shapefile-Auswahl", Buttons::YesNo, Icon::Question, Answer::No});
                    if (again == Answer::Yes) continue;
                    return;
                }
                for (const std::string& path : *chosen) {
                    const QString entry = qs(path);
                    bool present = false;
                    for (int i = 0; i < List1_->count() && !present; ++i) {
                        present = List1_->item(i)->text().compare(entry, Qt::CaseInsensitive) == 0;
                    }
                    if (!present) List1_->addItem(entry);
                }
                const QString folder = qs(fs::path(chosen->front()).parent_path().string());
                txtLastInDirectory_->setText(folder);
                writeSetting(setting::kLastDirectoryIn, folder);
                return;
            }
        },
        "Modul modCheckImportShapefile");
}

void MainWindow::cmdSubstractShapefilesClick() {
    guarded("cmdSubstractShapefiles_Click", [this] {
        lblStatus_->clear();
        cmdGetLogfile_->setEnabled(false);
        if (List1_->count() > 0) {
            int removed = 0;
            for (int i = List1_->count() - 1; i >= 0; --i) {
                if (List1_->item(i)->isSelected()) {
                    std::unique_ptr<QListWidgetItem> gone(List1_->takeItem(i));
                    ++removed;
                }
            }
            if (removed == 0) messageBox({"Bitte zu entfernende Shapefiles vor Betätigen des 'Minus-Buttons' markieren."});
        }
        applyRules(shell::RuleTrigger::ListShrank);
    });
}

void MainWindow::cmdOutDirClick() {
    guarded("cmdOutDir_Click", [this] {
        cmdGetLogfile_->setEnabled(false);
        chooseOutputFolder();
        applyRules(shell::RuleTrigger::ListGrew);
    });
}

std::string MainWindow::chooseOutputFolder() {
    std::string chosen;
    guarded(
        "ChooseOutputFolder",
        [&] {
            std::string start = lastOutputFolder_;
            if (!isFolder(start)) start = store_.text(setting::kLastDirectoryOut).toStdString();
            if (!isFolder(start)) start = env_.programFolder.string();
            chosen = dialogs_->chooseFolder(kOutputFolderPrompt, start);
            if (!isFolder(chosen)) {
                chosen.clear();
                return;
            }
            lastOutputFolder_ = chosen;
            txtLastOutDirectory_->setText(qs(chosen));
            txtAusgabeVerzeichnis_->setText(qs(chosen));
        },
        "Modul modCheckImportShapefile");
    return chosen;
}

void MainWindow::txtAusgabeVerzeichnisChange() {
    guarded("txtAusgabeVerzeichnis_Change", [this] {
        applyRules(shell::RuleTrigger::OutputFolderText);
        if (List1_->count() > 0 && !txtAusgabeVerzeichnis_->text().isEmpty()) {
            writeSetting(setting::kLastDirectoryOut, txtAusgabeVerzeichnis_->text());
        }
    });
}

void MainWindow::cmdCorrectClick() {
    if (running_) return;
    guarded("cmdCorrect_Click", [this] {
        // The run may change what the controls show; they get back what the person set.
        const bool remembered[] = {Option1_->isChecked(),
                                   Option2_->isChecked(),
                                   Option3_->isChecked(),
                                   Option4_->isChecked(),
                                   Option5_->isChecked(),
                                   chkDeleteSplitterArea_->isChecked(),
                                   chkDeletePointsOnLine_->isChecked(),
                                   chkID_->isChecked()};
        lblStatus_->clear();
        cmdGetLogfile_->setEnabled(false);
        repaint();

        std::vector<std::string> list = listEntries();
        RunOptions options = runOptionsFromControls();
        {
            // The run pumps window events once per record: nothing that could
            // start a second run or change its settings may be clicked meanwhile.
            running_ = true;
            setInteractive(false);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const auto restore = qScopeGuard([this] {
                QApplication::restoreOverrideCursor();
                setInteractive(true);
                running_ = false;
            });
            std::optional<report::HtmlReport> htmlReport;
            if (chkReport_->isChecked()) startReport(htmlReport, options);
            CorrectionRun run(*ui_, settings_, options, programLog_, &database_);
            if (htmlReport) run.setObserver(&*htmlReport);
            run.run(list);
            results_ = run.results();
            if (htmlReport) finishReport(*htmlReport);
        }
        setListEntries(list);
        // The run may have asked for the folder or given up on a broken one.
        if (qs(options.outputFolder) != txtAusgabeVerzeichnis_->text()) {
            txtAusgabeVerzeichnis_->setText(qs(options.outputFolder));
        }

        applyRules(shell::RuleTrigger::ListShrank);
        lblStep_->clear();
        QRadioButton* const optionButtons[] = {Option1_, Option2_, Option3_, Option4_, Option5_};
        for (int i = 0; i < 5; ++i) {
            if (remembered[i]) optionButtons[i]->setChecked(true);
        }
        chkDeleteSplitterArea_->setChecked(remembered[5]);
        chkDeletePointsOnLine_->setChecked(remembered[6]);
        chkID_->setChecked(remembered[7]);
        ProgressBar1_->setValue(ProgressBar1_->minimum());
        cmdGetLogfile_->setEnabled(true);
        repaint();
    });
}

void MainWindow::cmdIdenticalPolsClick() {
    runLayerCommand("cmdIdenticalPols_Click", [this](std::vector<std::string>& list, RunOptions& options) {
        const std::string tolerance = txtOverlappingTolerance_->text().toStdString();
        return layerops::IdenticalPolygons(*ui_, settings_, options, programLog_, tolerance).run(list);
    });
}

void MainWindow::cmdOverlapClick() {
    runLayerCommand("cmdOverlap_Click", [this](std::vector<std::string>& list, RunOptions& options) {
        const std::string tolerance = txtOverlappingTolerance_->text().toStdString();
        return layerops::OverlapCheck(*ui_, settings_, options, programLog_, tolerance).run(list);
    });
}

void MainWindow::cmdMergeLayersClick() {
    runLayerCommand("cmdMergeLayers_Click", [this](std::vector<std::string>& list, RunOptions& options) {
        layerops::MergeLayers(*ui_, options, programLog_).run(list);
        return true;  // the merge gives the log back whatever became of it
    });
}

void MainWindow::runLayerCommand(const char* procedure, const LayerCommand& command) {
    if (running_) return;
    guarded(procedure, [&] {
        lblStatus_->clear();
        cmdGetLogfile_->setEnabled(false);
        repaint();

        const std::vector<std::string> before = listEntries();
        std::vector<std::string> list = before;
        RunOptions options = runOptionsFromControls();
        bool finished = false;
        {
            // As in the correction run: the commands pump window events once
            // per record, so nothing may start a second command meanwhile.
            running_ = true;
            setInteractive(false);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const auto restore = qScopeGuard([this] {
                QApplication::restoreOverrideCursor();
                setInteractive(true);
                running_ = false;
            });
            finished = command(list, options);
        }
        // Only a changed list is shown anew: the marks of an unchanged one stay.
        if (list != before) setListEntries(list);
        // A command may have asked for the output folder or given up on a broken one.
        if (qs(options.outputFolder) != txtAusgabeVerzeichnis_->text()) {
            txtAusgabeVerzeichnis_->setText(qs(options.outputFolder));
        }
        applyRules(shell::RuleTrigger::ListShrank);
        lblStep_->clear();
        ProgressBar1_->setValue(ProgressBar1_->minimum());
        // A command the person ended at the question about an uncorrected file gives no log.
        cmdGetLogfile_->setEnabled(finished);
        repaint();
    });
}

void MainWindow::startReport(std::optional<report::HtmlReport>& htmlReport, const RunOptions& options) {
    report::ReportSettings reportSettings;
    reportSettings.pointsOnLineChecked = options.deletePointsOnLine;
    reportSettings.settingsLines = settingsBlock(options, settings_);
    htmlReport.emplace(env_.programFolder / kReportFileName, std::move(reportSettings));
    // Without its report the run still corrects; the person is told why there is none.
    if (std::string error; !htmlReport->open(error)) {
        messageBox({error, "Warnung", Buttons::Ok, Icon::Exclamation});
        htmlReport.reset();
    }
}

void MainWindow::finishReport(report::HtmlReport& htmlReport) {
    if (std::string error; !htmlReport.finish(error)) {
        messageBox({error, "Warnung", Buttons::Ok, Icon::Exclamation});
        return;
    }
    if (!env_.openUrl(QUrl::fromLocalFile(qs(htmlReport.file().string())))) {
        messageBox({"Der Bericht " + htmlReport.file().string() + " konnte nicht geöffnet werden.", "Warnung",
                    Buttons::Ok, Icon::Exclamation});
    }
}

void MainWindow::cmdGetLogfileClick() {
    guarded("cmdGetLogfile_Click", [this] {
        const fs::path path = programLog_.path();
        if (!env_.openUrl(QUrl::fromLocalFile(qs(path.string())))) {
            messageBox({"Die Datei " + path.string() + " konnte nicht geöffnet werden.", "Warnung", Buttons::Ok,
                  Icon::Exclamation});
        }
    });
}

void MainWindow::mn01PolyvetHelpClick() {
    guarded("mn01PolyvetHelp_Click", [this] {
        const fs::path help = env_.helpFile.empty() ? env_.applicationFolder / "plyvet.html" : env_.helpFile;
        std::error_code ec;
        if (!fs::is_regular_file(help, ec)) {
            messageBox({"Die Hilfedatei plyvet.html befindet sich nicht im Anwendungsverzeichnis (" +
                      help.parent_path().string() + ").",
                  "Warnung", Buttons::Ok, Icon::Exclamation});
            return;
        }
        if (!env_.openUrl(QUrl::fromLocalFile(qs(help.string())))) {
            messageBox({"Die Hilfedatei " + help.string() + " konnte nicht geöffnet werden.", "Warnung", Buttons::Ok,
                  Icon::Exclamation});
        }
    });
}

void MainWindow::umn01ResetClick() {
    // Only the flags of this program run; the stored values stay.
    settings_.overwriteExistingShapeFiles = false;
    settings_.ignoreLongFileNames = false;
    settings_.putResultInSourceFolder = false;
    settings_.settingsConfirmed = false;
}

void MainWindow::showEinstellungen() {
    guarded("ShowEinstellungen", [this] { dialogs_->settingsDialog(settings_); });
}

void MainWindow::umn01ProgrammInfoClick() {
    if (!info_) {
        const QString version =
            QStringLiteral("%1.%2.%3").arg(env_.versionMajor).arg(env_.versionMinor).arg(env_.versionRevision);
        info_ = new InfoWindow(ProgramInfo{env_.applicationFolder, version, env_.programFolder}, this);
    }
    info_->show();
    info_->raise();
    info_->activateWindow();
}

void MainWindow::umn01NewsClick() {
    if (!news_) news_ = new NewsWindow(this);
    news_->show();
    news_->raise();
    news_->activateWindow();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen(this);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A run in progress owns the open files; closing would cut it off midway.
    if (running_) {
        event->ignore();
        return;
    }
    if (news_) news_->close();
    if (info_) info_->close();
    database_.close();
    event->accept();
}

// --- helpers --------------------------------------------------------------------

bool MainWindow::makePath(const fs::path& path) {
    const shell::DirectoryResult r = shell::createDirectory(path);
    if (r.ok) return true;
    messageBox({shell::createDirectoryErrorText(r.errorNumber)});
    messageBox({shell::makePathErrorText(path.string())});
    return false;
}

void MainWindow::applyRules(shell::RuleTrigger trigger) {
    bool allCorrected = true;
    for (int i = 0; i < List1_->count(); ++i) {
        allCorrected = allCorrected && shell::isCorrectedShapefile(List1_->item(i)->text().toStdString());
    }
    states_ = shell::applyEnablingRules(states_, List1_->count(), !txtAusgabeVerzeichnis_->text().isEmpty(),
                                        allCorrected, trigger);
    cmdSubstractShapefiles_->setEnabled(states_.subtract);
    setCorrectionControlsEnabled(states_.correction);
    cmdMergeLayers_->setEnabled(states_.merge);
    cmdOverlap_->setEnabled(states_.overlap);
    cmdIdenticalPols_->setEnabled(states_.identical);
}

void MainWindow::setCorrectionControlsEnabled(bool enabled) {
    for (QWidget* w : correctionControls_) w->setEnabled(enabled);
}

void MainWindow::setInteractive(bool interactive) {
    for (QWidget* w : {inputPanel_, static_cast<QWidget*>(Frame3_), commandPanel_, static_cast<QWidget*>(menuBar())}) {
        w->setEnabled(interactive);
    }
}

std::vector<std::string> MainWindow::listEntries() const {
    std::vector<std::string> entries;
    for (int i = 0; i < List1_->count(); ++i) entries.push_back(List1_->item(i)->text().toStdString());
    return entries;
}

void MainWindow::setListEntries(const std::vector<std::string>& entries) {
    List1_->clear();
    for (const auto& e : entries) List1_->addItem(qs(e));
}

RunOptions MainWindow::runOptionsFromControls() const {
    RunOptions o;
    o.outputFolder = txtAusgabeVerzeichnis_->text().toStdString();
    o.granularity = txtGranularity_->text().toStdString();
    o.identicalPointThreshold = txtIdenticalPointThresholdSize_->text().toStdString();
    o.deletePointsOnLine = chkDeletePointsOnLine_->isChecked();
    o.deleteSplitterArea = chkDeleteSplitterArea_->isChecked();
    o.splitterTolerance = txtSplitterToleranz_->text().toStdString();
    o.useId = chkID_->isChecked();
    o.onlyErrorObjects = chkOnlyErrorObjectsInLogFile_->isChecked();
    o.onUnsolvable = Option2_->isChecked() ? OnUnsolvable::StopFile : OnUnsolvable::SkipShape;
    o.codePage = Option4_->isChecked()   ? CodePageChoice::Ansi
                 : Option5_->isChecked() ? CodePageChoice::Oem
                                         : CodePageChoice::FromHeader;
    o.decimalSeparator = separator_;
    return o;
}

void MainWindow::writeSetting(const char* name, const QString& value) {
    if (const int code = store_.setText(name, value); code != 0) {
        throw RuntimeError(code, "Polyvet", kRegistryWriteFailed);
    }
}

Answer MainWindow::messageBox(const Message& message) { return dialogs_->message(message); }

void MainWindow::guarded(const char* procedure, const std::function<void()>& body, const char* owner) {
    const auto report = [&](std::int64_t number, const std::string& description) {
        messageBox({"Error " + std::to_string(number) + " (" + description + ") in procedure " + procedure + " of " + owner});
    };
    try {
        body();
    } catch (const RuntimeError& e) {
        report(e.number(), e.description());
    } catch (const std::bad_alloc&) {
        report(7, "Nicht genügend Speicher");
    } catch (const std::exception& e) {
        report(51, e.what());
    }
}

}  // namespace plyvet::gui
