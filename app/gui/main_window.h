#pragma once
// frmDummy, the main window: the list of shapefiles, the output folder, the
// correction parameters and the commands. Its controls carry the names the
// handlers and the tests know them by (cmdCorrect, txtGranularity, ...).
//
// The window holds the run settings of the program; the correction run
// reads the window's controls when it starts and talks back through the
// window's Ui (status lines, progress bar, the dialogs).

#include "app/gui/dialogs.h"
#include "app/gui/settings_store.h"
#include "app/gui/shell_core.h"
#include "pipeline/correction_run.h"
#include "pipeline/error_database.h"
#include "pipeline/log_file.h"
#include "pipeline/run_options.h"
#include "report/html_report.h"

#include <QMainWindow>
#include <QPointer>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QWidget;

namespace plyvet::gui {

class InfoWindow;
class NewsWindow;
class WindowUi;

// Where the window finds its files, and how it hands a file to the system.
struct ShellEnvironment {
    std::filesystem::path applicationFolder;  // the program's own folder; the help file lies beside it
    std::filesystem::path helpFile;           // where the help is; empty: plyvet.html in applicationFolder
    std::filesystem::path programFolder;      // Home: "plyvet.log" and "Plyvet.mdb" live here
    int versionMajor = 0;
    int versionMinor = 0;
    int versionRevision = 0;
    // Opens a file with the program the system associates with it; false when that failed.
    std::function<bool(const QUrl&)> openUrl;

    // The running program's folders and version, and QDesktopServices.
    static ShellEnvironment standard();
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The report of a run, in the program folder; each run replaces it.
    static constexpr const char* kReportFileName = "plyvet_bericht.html";

    // Without `dialogs` the window shows the real dialogs.
    explicit MainWindow(ShellEnvironment environment, std::unique_ptr<Dialogs> dialogs = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    RunSettings& runSettings() { return settings_; }
    const LogFile& programLog() const { return programLog_; }
    const ErrorDatabase& database() const { return database_; }
    // The last correction run's files; empty before the first run.
    const std::vector<FileResult>& lastResults() const { return results_; }
    // The command states the enabling rules arrived at; the buttons show them.
    const shell::CommandStates& commandStates() const { return states_; }
    bool running() const { return running_; }

    // The folder choice used by the output-folder button and by the run.
    std::string chooseOutputFolder();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class WindowUi;

    // Construction, in this order.
    void createActions();
    void createMenus();
    void createWidgets();
    void createLayout();
    void connectSignals();
    void loadWindow();

    // Handlers.
    void cmdAddShapeFilesClick();
    void cmdSubstractShapefilesClick();
    void cmdOutDirClick();
    void txtAusgabeVerzeichnisChange();
    void cmdCorrectClick();
    void cmdIdenticalPolsClick();
    void cmdOverlapClick();
    void cmdMergeLayersClick();
    void cmdGetLogfileClick();
    void mn01PolyvetHelpClick();
    void umn01ResetClick();
    void showEinstellungen();
    void umn01ProgrammInfoClick();
    void umn01NewsClick();

    // The report of "Bericht mit Abbildungen erzeugen": opened before the run
    // (left empty, after a message, when it cannot be written), shown after it.
    void startReport(std::optional<report::HtmlReport>& htmlReport, const RunOptions& options);
    void finishReport(report::HtmlReport& htmlReport);

    // A layer command over the list: gets the list (to change in place) and
    // the options read from the controls; true when it walked to its end.
    using LayerCommand = std::function<bool(std::vector<std::string>& list, RunOptions& options)>;
    // Runs `command` with the window locked as during a correction run, then
    // shows the remaining list and updates the buttons.
    void runLayerCommand(const char* procedure, const LayerCommand& command);

    void chooseShapeFile(const std::string& startFolder);
    bool makePath(const std::filesystem::path& path);
    void applyRules(shell::RuleTrigger trigger);
    void setCorrectionControlsEnabled(bool enabled);
    void setInteractive(bool interactive);
    std::vector<std::string> listEntries() const;
    void setListEntries(const std::vector<std::string>& entries);
    RunOptions runOptionsFromControls() const;
    void writeSetting(const char* name, const QString& value);
    Answer messageBox(const Message& message);
    // Runs a handler; an unexpected error is reported in the program's form
    // ("Error <n> (<text>) in procedure <name> of Formular frmDummy") and
    // the window stays usable.
    void guarded(const char* procedure, const std::function<void()>& body, const char* owner = "Formular frmDummy");

    ShellEnvironment env_;
    SettingsStore store_;
    std::unique_ptr<Dialogs> dialogs_;
    std::unique_ptr<WindowUi> ui_;
    RunSettings settings_;
    LogFile programLog_;
    ErrorDatabase database_;
    std::vector<FileResult> results_;
    shell::CommandStates states_;
    std::string lastOutputFolder_;  // the folder chosen during this program run
    char separator_ = ',';
    bool running_ = false;
    bool centred_ = false;
    QPointer<NewsWindow> news_;
    QPointer<InfoWindow> info_;

    // Menus.
    QAction* umn01ProgrammInfo_ = nullptr;
    QAction* umn01Exit_ = nullptr;
    QAction* umn01Reset_ = nullptr;
    QAction* umn01EinstAendern_ = nullptr;
    QAction* mn01PolyvetHelp_ = nullptr;
    QAction* umn01News_ = nullptr;

    // Controls.
    QWidget* inputPanel_ = nullptr;
    QWidget* commandPanel_ = nullptr;
    QListWidget* List1_ = nullptr;
    QLabel* lblAnweisung_ = nullptr;
    QPushButton* cmdAddShapeFiles_ = nullptr;
    QPushButton* cmdSubstractShapefiles_ = nullptr;
    QLabel* lblOutputPath_ = nullptr;
    QLineEdit* txtAusgabeVerzeichnis_ = nullptr;
    QPushButton* cmdOutDir_ = nullptr;
    QGroupBox* Frame3_ = nullptr;
    QPushButton* cmdCorrect_ = nullptr;
    QLabel* lblGranularity_ = nullptr;
    QLineEdit* txtGranularity_ = nullptr;
    QLabel* lblIdenticalPointThresholdSize_ = nullptr;
    QLineEdit* txtIdenticalPointThresholdSize_ = nullptr;
    QCheckBox* chkDeletePointsOnLine_ = nullptr;
    QLabel* lblDeletePointsOnLineBetweenAandB_ = nullptr;
    QCheckBox* chkDeleteSplitterArea_ = nullptr;
    QLabel* lblDeleteSplitterArea_ = nullptr;
    QLabel* lblSplitterTolerance_ = nullptr;
    QLineEdit* txtSplitterToleranz_ = nullptr;
    QCheckBox* chkID_ = nullptr;
    QLabel* lblID_ = nullptr;
    QCheckBox* chkOnlyErrorObjectsInLogFile_ = nullptr;
    QLabel* lblOnlyObjectsWithErrorInLogfile_ = nullptr;
    QCheckBox* chkReport_ = nullptr;
    QLabel* lblReport_ = nullptr;
    QGroupBox* Frame1_ = nullptr;
    QLabel* Label1_ = nullptr;
    QRadioButton* Option1_ = nullptr;
    QRadioButton* Option2_ = nullptr;
    QGroupBox* Frame2_ = nullptr;
    QRadioButton* Option3_ = nullptr;
    QRadioButton* Option4_ = nullptr;
    QRadioButton* Option5_ = nullptr;
    QLineEdit* txtOpt12_ = nullptr;
    QLineEdit* txtOpt345_ = nullptr;
    QGroupBox* Frame4_ = nullptr;
    QLabel* lblOverlapTolerance_ = nullptr;
    QLineEdit* txtOverlappingTolerance_ = nullptr;
    QPushButton* cmdOverlap_ = nullptr;
    QGroupBox* Frame5_ = nullptr;
    QPushButton* cmdIdenticalPols_ = nullptr;
    QGroupBox* Frame6_ = nullptr;
    QPushButton* cmdMergeLayers_ = nullptr;
    QPushButton* cmdGetLogfile_ = nullptr;
    QPushButton* cmdClose_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;
    QLabel* lblStep_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QLabel* lblStatistics_ = nullptr;
    QLineEdit* txtVersion_ = nullptr;
    QLineEdit* txtLastInDirectory_ = nullptr;
    QLineEdit* txtLastOutDirectory_ = nullptr;
    std::vector<QWidget*> correctionControls_;
};

}  // namespace plyvet::gui
