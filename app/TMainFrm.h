#pragma once
// The main window: the program's only window of its own and the owner of all state
// for the whole program run (the option fields, the current job, the tables, the
// archive roles and the unattended-mode flag). Pages and dialogs show that state;
// the rules live in the engine.
#include <QElapsedTimer>
#include <QWidget>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "backup/BackupRun.h"
#include "zip/ArchiveReader.h"
#include "zip/ArchiveWriter.h"
#include "catalogue/CsvTable.h"
#include "catalogue/DefinitionList.h"
#include "catalogue/JobList.h"
#include "catalogue/TJob.h"
#include "dbcheck/ExclusiveUseTest.h"
#include "pass/Pass.h"
#include "pass/RemoteRestore.h"
#include "platform/MountPoints.h"
#include "restore/FileVersions.h"
#include "restore/RestoreRun.h"
#include "settings/Settings.h"
#include "gui/MessageBoxes.h"
#include "util/RunHost.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPrinter;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QTreeWidget;

namespace vb {

class RegistryStore;

namespace gui {
class AbZipView;
class CsvGrid;
class DiskCompareWorker;
class OffsiteCopyGroup;
class TAboutDialog;
class TVersionsDlg;
}

class TMainFrm : public QWidget,
                 public RunHost,
                 public JobListHost,
                 public BackupRunHost,
                 public RestoreRunHost {
    Q_OBJECT
public:
    // Page indexes; each page action's tag is its page.
    enum Page { pgBackup = 0, pgRestore = 1, pgEinstellungen = 2, pgLogfiles = 3, pgJobs = 4 };

    // Builds the window and runs its creation step. An error in the creation step ends
    // the step where it happened; it is shown and the window stays usable.
    // Everything the window asks and tells goes to `boxes` when a test gives them;
    // without them the window shows its own message boxes.
    explicit TMainFrm(RegistryStore& registry, Boxes* boxes = nullptr, QWidget* parent = nullptr);
    ~TMainFrm() override;

    // The passes of the menu items "Sichern" and "Wiederherstellen" (pass/Pass.h).
    // `jobs` is the job-list text: empty for every automatic job, else job names
    // separated by commas. The current job stays, and is shown again afterwards.
    void doBackup(const std::string& jobs);
    void doRestore(const std::string& jobs);

    // True once an error was reported (a box of the kind "Fehler", or an error that
    // reached the general error handling).
    bool ErrorReported() const { return FErrors.Any(); }
    // True when an error was reported, or a job of the last pass failed or left files
    // out of its archive.
    bool PassFailed() const { return FErrors.Any() || FPass.Incomplete(); }
    // The first error text reported (error boxes, the general error handling, and
    // plain boxes that report a failure such as "Fehler beim Packen!").
    const std::string& FirstError() const { return FErrors.First(); }
    // The general error handling: shows the error and keeps the window usable.
    void HandleError(const std::string& message);
    // Runs a user action under the general error handling.
    template <typename Action>
    void Guard(Action&& action) {
        try {
            action();
        } catch (const std::exception& e) {
            HandleError(e.what());
        }
    }

    const TOptions& Options() const { return FOptions; }
    const TJob& Job() const { return FJob; }
    CsvTable& Jobs() { return JobDataSet; }
    CsvTable& Definitions() { return DefDataSet; }

    // The current job follows the job table's current row: FJob becomes a copy of the
    // row, and the job becomes current on all pages.
    void LoadCurrentJob() override;
    void SwitchToJob(const TJob& job);
    void FillJobSelectors() override;
    int CurrentPage() const;
    void ShowPage(int index);

    // The application's help hook: shows the topic of context number `data` from
    // FchmFilename, or the contents when the number maps to no topic (the command
    // code is not looked at). Without compiled help it leaves the request to the
    // standard help (callHelp true). Shows "Fehler beim Aufruf der Hilfe-Funktion!"
    // when the help cannot be shown.
    bool ApplicationHelp(int command, quintptr data, bool& callHelp);
    const std::string& ChmFilename() const { return FchmFilename; }
    gui::TAboutDialog* AboutDialog() const { return AboutDialog1; }
    // The printer the log page's print buttons use: the default printer unless set.
    // The preview starts with it too, or without a default printer with a PDF file.
    using PrinterFactory = std::function<std::unique_ptr<QPrinter>()>;
    void SetPrinterFactory(PrinterFactory factory) { FPrinterFactory = std::move(factory); }

    // RunHost
    void ShowError(const std::string& text) override;
    bool ConfirmYesNo(const std::string& text) override;
    bool ConfirmOkCancel(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    int Choose(const std::string& text, const std::vector<std::string>& buttons) override;
    std::optional<std::string> AskPassword(const std::string& title, const std::string& label) override;
    bool CanPrompt() const override;
    void SetStatus(const std::string& text) override;
    void SetProgress(int position, int maximum) override;
    void SetBusy(bool busy) override;
    void Breathe() override;

    // JobListHost
    std::string DatenDir() const override { return FOptions.FDatenDir; }
    bool MoveToTrash(const std::string& path) override;

    // BackupRunHost
    void SetDefinitionGridUpdates(bool enabled) override;
    void CloseBrowserArchive() override;
    void ShowArchiveInBrowser(const std::string& fileName) override;

    // The session ends (logout) or the program is told to end (SIGTERM): the window
    // closes as by "Beenden", saving the tables, the options and the placement. While
    // a run works on an archive nothing closes: with `deferred` the window closes as
    // soon as the run is over, else the request is refused. True when it closed.
    bool EndSession(bool deferred);

    // The first show restores the stored placement before the window is mapped.
    void setVisible(bool visible) override;

    // The archive browser (restore page).
    void ListArchives();
    void ComboBox1Change();
    // "Extern": adds the job's archives on the remote to the archive selector, marked.
    void btnExternClick();
    void tabRestoreShow();
    void btnAllClick();
    const ArchiveReader& Reader() const { return FArchiveReader; }
    void RestoreJob(const TJob& job);
    void btnStartRestoreClick();
    void Wiederherstellen1Click();

    // The restore page's points in time and its comparison with the disk
    // (TMainFrmCompare.cpp). "Stand:" lists the current job's archives, newest first;
    // choosing one shows it in the archive browser.
    void ListStands();
    void cbStandChange();
    // "Mit Festplatte vergleichen": the entry view's column "Auf der Platte", filled
    // from a thread of its own. Restarted whenever the archive or the root changes.
    void cbVergleichenClick(bool on);
    void StartComparison();
    bool ComparisonRunning() const;
    // "Nur Änderungen zeigen" and "Nur geänderte".
    void cbNurAenderungenClick(bool on);
    void btnGeaenderteClick();
    // While comparing, the box before a restore of the selection: false when the user
    // cancels; "Neuere behalten" takes the entries newer on disk out of the selection.
    bool ConfirmRestore();
    // "Versionen": the view of the versions of the entry at the view's current row,
    // or of the file `path` (the command line's --versions) found in the jobs'
    // archives; the job becomes current. False, after a message, when no job holds it.
    void btnVersionenClick();
    bool ShowVersionsOf(const std::string& path);
    gui::TVersionsDlg* VersionsDialog() const;

    // RestoreRunHost
    std::vector<std::size_t> SelectedBrowserEntries() const override;
    void BrowserArchiveChanged(const std::string& fileName) override;
    void ClearBrowserSelection() override;
    std::string GetRestoreRoot() const override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private slots:
    void btnBackupClick(int tag);
    void btnEndeClick();
    void btnHelpClick();
    void acInfoExecute();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void btnUserInfoClick();
    void RadioGroup1Click(int index);
    void CheckBox1Click(bool checked);
    void CheckBox2Click(bool checked);
    void DatenDirChange(const QString& text);
    void btnDatenDirClick();
    void btnZeitplanClick();
    void ComboBox2Change(const QString& text);
    void btnStartBackupClick();
    void Sichern1Click();

public:
    void ReadOptionsFromControls();

private:
    // Layout (MainFrmLayout.cpp).
    void BuildWindow();
    QWidget* BuildNavigationBar();
    // Shows the page `step` places further in the navigation bar's order (wrapping).
    void StepPage(int step);
    QWidget* BuildLastPassNotice();
    QWidget* BuildPage(const QString& heading, const QString& objectName);
    QWidget* BuildBackupPage();
    QWidget* BuildRestorePage();
    QWidget* BuildSettingsPage();
    QWidget* BuildLogfilesPage();
    QWidget* BuildJobsPage();

    // Creation step and its parts.
    void FormCreate();
    void LoadSettings();
    void FormClose();
    void FormDestroy();
    void SaveWindowPlacement();
    void RestoreWindowPlacement();
    // Moves the window so that `outer` (its frame, or its client area while the frame
    // is not known) lies wholly on the available area of its screen.
    void KeepOnScreen(const QRect& outer);
    void tabLogfilesShow();
    void LoadLogBoxes(bool ignoreErrors);
    void ShowLastPass();
    void CloseAfterRun();
    void AcknowledgeLastPass();
    // Prints the box as it is shown, edits included, on the printer of FPrinterFactory
    // (else the default printer); with `preview`, shows the pages first.
    void PrintLogBox(const QPlainTextEdit* box, bool preview);
    void HelpForFocus();
    void CreateAboutDialog();
    void OpenJobCatalogue();
    void BuildCatalogueWidgets();
    void SetTabOrder();

    RegistryStore& FRegistry;
    gui::WidgetBoxes FWidgetBoxes{this};
    Boxes* FBoxes;  // what the window asks and tells goes here
    TOptions FOptions;
    const bool FAuto = false;  // the window's runs are watched
    ReportedErrors FErrors;
    std::string FLastPassWarning;  // the status line's text while nothing else is shown
    std::time_t FShownPassTime = 0;  // when the failed pass the window shows ended
    bool FPlacementSaved = false;
    bool FPlacementRestored = false;
    bool FFitFramePending = false;  // the frame is still to be kept on the screen
    bool FCloseWhenIdle = false;    // the session ended or the user closed while a run was working
    bool FRestoring = false;        // the run that works is a restore
    std::string FCloseNote;         // why the window stays open until the run is over
    std::string FStatusText;        // what the run said last
    int FBusyDepth = 0;
    QElapsedTimer FLastBreath;   // when Breathe last let the window handle its events
    std::string FTempDir;        // temporary folder of the archive roles
    std::string FchmFilename;    // the compiled help file beside the executable
    std::string FVorlixDB;       // the product database; nothing assigns it
    PrinterFactory FPrinterFactory;
    gui::TAboutDialog* AboutDialog1 = nullptr;  // owned by the window

    // The tables come before the rules that hook into their events, so that the rules
    // are gone first. Closing the window saves them (FormClose); a failure is shown.
    CsvTable JobDataSet{kJobListDefinition};
    CsvTable DefDataSet{kDefinitionListDefinition};
    TJob FJob;
    JobList FJobList{JobDataSet, *this, *this};
    DefinitionList FDefList{DefDataSet, *this};
    ArchiveWriter FArchiveWriter;
    ArchiveReader FArchiveReader;
    ExclusiveUseTest FDatabases{FRegistry};  // FVorlixDB stays empty
    BackupRun FBackupRun{{JobDataSet, DefDataSet, FDefList, FArchiveWriter, FDatabases, FOptions}, *this, *this};
    RestoreRun FRestoreRun{{FArchiveReader, FDatabases, FOptions, FAuto}, *this, *this};
    Pass FPass{JobDataSet, FBackupRun, FRestoreRun, *this, FOptions};
    std::vector<platform::MountPoint> FRestoreRoots;  // the drive selector's items
    std::unique_ptr<RemoteArchive> FRemoteArchive;   // the remote archive the browser shows, fetched

    // Widgets, owned by Qt's parent chain.
    QStackedWidget* FPages = nullptr;
    QLabel* FStatusBar = nullptr;
    QProgressBar* FProgress = nullptr;
    QButtonGroup* RadioGroup1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;  // "Logfile schreiben"
    QCheckBox* CheckBox2 = nullptr;  // "Backupdatei mit Passwort schützen"
    QComboBox* cbVerschluesselung = nullptr;  // "Verschlüsselung:" AES-256 or ZipCrypto
    static constexpr int kEncryptionAes = 0;
    static constexpr int kEncryptionZipCrypto = 1;
    QCheckBox* CheckBox3 = nullptr;  // "Sicherung nach dem Packen prüfen"
    gui::OffsiteCopyGroup* grpZweitkopie = nullptr;  // "Zweitkopie (extern)"
    QLabel* lblLetzterLauf = nullptr;  // the failed last unattended pass
    QLineEdit* edDatenDir = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QComboBox* ComboBox4 = nullptr;
    QComboBox* ComboBox1 = nullptr;      // archive selector
    QComboBox* JvDriveCombo1 = nullptr;  // drive selector: restore roots
    QPushButton* btnAll = nullptr;       // toggle in its "tag" property
    gui::AbZipView* AbZipView1 = nullptr;
    QComboBox* cbStand = nullptr;           // "Stand:" the job's archives, newest first
    std::vector<ArchiveStand> FStands;      // its items
    QCheckBox* cbVergleichen = nullptr;     // "Mit Festplatte vergleichen"
    QCheckBox* cbNurAenderungen = nullptr;  // "Nur Änderungen zeigen"
    QPushButton* btnGeaenderte = nullptr;   // "Nur geänderte"
    QPushButton* btnVersionen = nullptr;    // "Versionen..."
    gui::DiskCompareWorker* FCompare = nullptr;
    void OpenVersions(const std::string& storedName);
    QPlainTextEdit* memoBackupLog = nullptr;
    QPlainTextEdit* memoRestoreLog = nullptr;
    gui::CsvGrid* JobGrid = nullptr;
    gui::CsvGrid* DefGrid = nullptr;
};

}  // namespace vb
