#include "app/TMainFrm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "pass/LastPass.h"
#include "gui/CatalogueDialogs.h"
#include "gui/CatalogueGrids.h"
#include "gui/CsvGrid.h"
#include "gui/RecordNavigator.h"
#include "catalogue/JobArchives.h"
#include "dbcheck/DBPassword.h"
#include "gui/TfrmUserInfoDlg.h"
#include "dbcheck/UserRoster.h"
#include "gui/HtmlHelp.h"
#include "gui/TAboutDialog.h"
#include "help/VersionInfo.h"
#include "gui/LogPrinter.h"
#include "platform/RegistryStore.h"
#include "platform/ShellFolders.h"
#include "platform/Trash.h"
#include "gui/AbZipView.h"
#include "catalogue/JobArchives.h"
#include "restore/ArchiveListing.h"
#include "settings/WindowPlacement.h"
#include "gui/frmSchedule.h"
#include "gui/OffsiteCopyGroup.h"
#include "util/Error.h"
#include "util/Finally.h"
#include "util/GermanFormat.h"
#include "gui/MessageBoxes.h"
#include "platform/RunPhases.h"
#include "platform/TextFileLoader.h"

namespace vb {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

}  // namespace

TMainFrm::TMainFrm(RegistryStore& registry, Boxes* boxes, QWidget* parent)
    : QWidget(parent), FRegistry(registry), FBoxes(boxes ? boxes : &FWidgetBoxes) {
    BuildWindow();
    BuildCatalogueWidgets();
    CreateAboutDialog();
    Guard([this] { FormCreate(); });
}

TMainFrm::~TMainFrm() { FormDestroy(); }

// The creation step, in its order. An error leaves the steps done so far in place.
void TMainFrm::FormCreate() {
    // The archive view's columns are set while the page is built; the pages have no
    // tabs and are reached through the navigation bar only.
    FTempDir = TemporaryFolder();
    FArchiveWriter.SetTempDirectory(FTempDir);
    FArchiveReader.SetTempDirectory(FTempDir);
    LoadSettings();
    ShowPage(pgJobs);
    if (QAbstractButton* item = RadioGroup1->button(FOptions.FStrategie)) item->setChecked(true);
    // The help files: the executable's path with the extension ".chm", and ".hlp" for
    // the standard help, which is not used while the compiled help can be shown.
    const QFileInfo program(QCoreApplication::applicationFilePath());
    const QString base = program.path() + "/" + program.completeBaseName();
    FchmFilename = ProgramDataFile(S(program.path()), S(program.completeBaseName() + ".chm"));
    gui::SetApplicationHelpFile(S(base + ".hlp"));
    if (gui::HtmlHelpAvailable()) gui::SetApplicationHelpFile("");
    gui::SetHelpHook([this](int command, quintptr data, bool& callHelp) {
        return ApplicationHelp(command, data, callHelp);
    });
    CheckBox1->setToolTip(Q("VB-Backup.log und VB-Restore.log in " + FOptions.FDatenDir));
    ShowLastPass();
    // The restore roots; "/" comes first and is chosen, so that a restore puts files
    // back where they came from.
    FRestoreRoots = platform::RestoreRoots();
    JvDriveCombo1->clear();
    for (const platform::MountPoint& root : FRestoreRoots) {
        JvDriveCombo1->addItem(Q(root.Path + "  (" + platform::MountKindName(root.Kind) + ")"));
    }
    JvDriveCombo1->setCurrentIndex(0);
    OpenJobCatalogue();
    setWindowTitle(windowTitle() + " " + Q(ProgramVersionInfo().FileVersion));
}

// The job list is opened, or created with the default job; the first job becomes
// current with its definition list, written with the default rows when missing.
void TMainFrm::OpenJobCatalogue() {
    FJobList.Open(FOptions.FDatenDir, kDefaultBackupFolder);
    JobDataSet.First();
    FJobList.CopyCurrentJob(FJob);
    FDefList.OpenWithDefaults(FJob, ProgramFilesFolder(FRegistry));
    LoadCurrentJob();
    FillJobSelectors();
}

void TMainFrm::BuildCatalogueWidgets() {
    const gui::CatalogueDialogs dialogs = gui::CatalogueDialogs::Standard();
    const auto place = [this](gui::CsvGrid* grid, const char* gridSlot, const char* navigatorSlot) {
        grid->FErrorHandler = [this](const QString& message) { HandleError(S(message)); };
        grid->FConfirmDelete = [this](const QString& question) { return ConfirmYesNo(S(question)); };
        findChild<QWidget*>(gridSlot)->layout()->addWidget(grid);
        findChild<QWidget*>(navigatorSlot)->layout()->addWidget(new gui::RecordNavigator(grid));
    };
    JobGrid = gui::CreateJobGrid(JobDataSet, dialogs);
    JobGrid->setObjectName("JobGrid");
    place(JobGrid, "JobGridSlot", "JobNavigatorSlot");
    DefGrid = gui::CreateDefinitionGrid(DefDataSet, dialogs);
    DefGrid->setObjectName("DefGrid");
    place(DefGrid, "DefGridSlot", "DefNavigatorSlot");
    for (QComboBox* selector : {ComboBox2, ComboBox3, ComboBox4}) {
        gui::ConnectJobSelector(selector, [this](const QString& text) { ComboBox2Change(text); });
    }
    SetTabOrder();
}

// Tab goes through the navigation bar, the notice of a failed pass, then the page
// shown from top left to bottom right. Widgets of the hidden pages are skipped.
void TMainFrm::SetTabOrder() {
    const char* const order[] = {"acJobs", "acBackup", "acRestore", "acEinstellungen", "acLogfiles", "acHilfe",
                                 "acInfo", "acEnde", "btnLetzterLaufOk",
                                 // jobs
                                 "ComboBox4", "btnStartAll", "JobGrid",
                                 // backup
                                 "ComboBox2", "btnStartBackup", "DefGrid",
                                 // restore
                                 "ComboBox3", "ComboBox1", "btnExtern", "JvDriveCombo1", "btnStartRestore", "btnAll",
                                 "cbStand", "btnVersionen", "cbVergleichen", "cbNurAenderungen", "btnGeaenderte",
                                 "AbZipView1",
                                 // settings
                                 "RadioGroup1Item0", "RadioGroup1Item1", "RadioGroup1Item2", "CheckBox1", "CheckBox2",
                                 "cbVerschluesselung", "CheckBox3", "btnZeitplan", "chkZweitkopie", "cbZweitkopieRemote",
                                 "edZweitkopieOrdner", "spZweitkopieTage", "btnVerbindungTesten", "edDatenDir", "btnDatenDir",
                                 "btnUserInfo",
                                 // logs
                                 "btnPreviewBackupLog", "SpeedButton1", "memoBackupLog", "btnPreviewRestoreLog",
                                 "SpeedButton2", "memoRestoreLog"};
    QWidget* previous = nullptr;
    for (const char* name : order) {
        auto* widget = findChild<QWidget*>(name);
        if (!widget) continue;
        if (previous) setTabOrder(previous, widget);
        previous = widget;
    }
}

void TMainFrm::LoadCurrentJob() {
    RunPhase phase("job switch");
    FJobList.CopyCurrentJob(FJob);
    SwitchToJob(FJob);
}

void TMainFrm::SwitchToJob(const TJob& job) {
    const QString name = Q(FJobList.CurrentName());
    for (QComboBox* selector : {ComboBox2, ComboBox3, ComboBox4}) selector->setEditText(name);
    FDefList.OpenForJob(job);
    ReadOptionsFromControls();
    ListArchives();
    ComboBox1Change();
}

void TMainFrm::FillJobSelectors() {
    for (QComboBox* selector : {ComboBox2, ComboBox3, ComboBox4}) gui::FillJobSelector(selector, FJobList);
}

void TMainFrm::ComboBox2Change(const QString& text) {
    Guard([&] { FJobList.ChooseByName(S(text)); });
}

bool TMainFrm::MoveToTrash(const std::string& path) { return platform::MoveToTrash(path); }

void TMainFrm::LoadSettings() {
    const LoadedSettings loaded = vb::LoadSettings(FRegistry, DefaultDataFolder);
    FOptions = loaded.options;
    // A damaged or unreadable settings file is said at once; an unattended pass then
    // does not start, since it would run with settings nobody chose.
    if (!FRegistry.Problem().empty()) ShowError(FRegistry.Problem());
    if (!loaded.keyOpened) return;  // the controls stay as designed
    CheckBox1->setChecked(FOptions.FLogging);
    CheckBox2->setChecked(FOptions.FUsePassword);
    cbVerschluesselung->setCurrentIndex(FOptions.FAes ? kEncryptionAes : kEncryptionZipCrypto);
    cbVerschluesselung->setEnabled(FOptions.FUsePassword);
    CheckBox3->setChecked(FOptions.FPruefen);
    grpZweitkopie->Load();
    const QSignalBlocker block(edDatenDir);
    edDatenDir->setText(Q(FOptions.FDatenDir));
}

int TMainFrm::CurrentPage() const { return FPages->currentIndex(); }

void TMainFrm::ShowPage(int index) {
    FPages->setCurrentIndex(index);
    for (auto* button : findChild<QWidget*>("pnlNavigation")->findChildren<QToolButton*>()) {
        const QVariant page = button->property("page");
        if (page.isValid()) button->setChecked(page.toInt() == index);
    }
    // Showing a page raises its own show event.
    if (index == pgLogfiles) tabLogfilesShow();
    if (index == pgRestore) tabRestoreShow();
}

// The log page becomes visible: both boxes are loaded; an error goes on to the
// general error handling.
void TMainFrm::tabLogfilesShow() { LoadLogBoxes(false); }

// Navigation shared by the five page actions; the tag is the page.
void TMainFrm::btnBackupClick(int tag) {
    Guard([&] {
        ShowPage(tag);
        if (CurrentPage() == pgLogfiles) LoadLogBoxes(true);
    });
}

void TMainFrm::LoadLogBoxes(bool ignoreErrors) {
    const std::pair<QPlainTextEdit*, const char*> boxes[] = {{memoBackupLog, "/VB-Backup.log"},
                                                             {memoRestoreLog, "/VB-Restore.log"}};
    for (const auto& [box, name] : boxes) {
        const std::filesystem::path file = FOptions.FDatenDir + name;
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) {
            box->setPlainText("Keine Logdatei gefunden");
            continue;
        }
        try {
            QStringList lines;
            for (const std::string& line : LoadTextFile(file)) lines << Q(line);
            box->setPlainText(lines.join('\n'));
        } catch (const std::exception&) {
            if (!ignoreErrors) throw;
        }
    }
}

void TMainFrm::btnEndeClick() { close(); }

// Help for the page shown: context 2000 for page 0, then one thousand per page.
void TMainFrm::btnHelpClick() { gui::HelpContext(1000 * CurrentPage() + 2000, *FBoxes); }

// F1: help for the focused element, or the nearest element around it with a number.
void TMainFrm::HelpForFocus() {
    gui::HelpContext(gui::HelpContextOf(QApplication::focusWidget()), *FBoxes);
}

bool TMainFrm::ApplicationHelp(int /*command*/, quintptr data, bool& callHelp) {
    if (!gui::ApplicationHelpFile().empty()) {
        callHelp = true;
        return true;
    }
    callHelp = false;
    try {
        if (!gui::CallHtmlHelp(this, FchmFilename, gui::HH_HELP_CONTEXT, data))
            gui::CallHtmlHelp(this, FchmFilename, gui::HH_DISPLAY_TOC, 0);
        return true;
    } catch (...) {
        FBoxes->ShowError("Fehler beim Aufruf der Hilfe-Funktion!");
        return false;
    }
}

// The about box with this installation's pictures and contact.
void TMainFrm::CreateAboutDialog() {
    AboutDialog1 = new gui::TAboutDialog(this);
    AboutDialog1->Logo = gui::PaintedLogo(QSize(161, 209), "VB");
    AboutDialog1->SecondLogo = gui::PaintedLogo(QSize(160, 201), "?");
    AboutDialog1->Email = "support@vorlix.example";
    AboutDialog1->Web = "www.vorlix.example";
    AboutDialog1->Adresse = {"Vorlix Schulsoftware", "Support", "Telefon: 0800 0000000"};
    AboutDialog1->Programmer = "Vorlix-Entwicklung";
    AboutDialog1->ProgrammerEmail = "entwicklung@vorlix.example";
}

void TMainFrm::acInfoExecute() { AboutDialog1->Execute(); }

void TMainFrm::SpeedButton1Click() { PrintLogBox(memoBackupLog, false); }

void TMainFrm::SpeedButton2Click() { PrintLogBox(memoRestoreLog, false); }

// Errors go to the general handling.
void TMainFrm::PrintLogBox(const QPlainTextEdit* box, bool preview) {
    Guard([&] {
        std::unique_ptr<QPrinter> printer;
        if (FPrinterFactory) {
            printer = FPrinterFactory();
        } else if (preview && QPrinterInfo::defaultPrinter().isNull()) {
            printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        } else {
            printer = gui::DefaultPrinter();
        }
        QStringList lines = box->toPlainText().split('\n');
        // The box's lines: a text that ends with a line break has no empty last line.
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        const gui::LogPrintHeading heading{box == memoBackupLog ? "Backup-Logfile" : "Restore-Logfile",
                                           Q(FJobList.CurrentName()), LocalTime(std::time(nullptr))};
        if (preview) {
            gui::PreviewLogLines(*printer, heading, lines, this);
        } else {
            gui::PrintLogLines(*printer, heading, lines);
        }
    });
}

// The users connected to the product database (FVorlixDB), in the users dialog.
void TMainFrm::btnUserInfoClick() {
    const std::string password = GetDBPassword(FRegistry);
    JetRosterConnection connection(RosterConnectionString(FVorlixDB, password), FVorlixDB, password);
    try {
        gui::ShowUserInfo(connection, this);
    } catch (const std::exception& e) {
        ShowMessage(e.what());
    }
}

void TMainFrm::RadioGroup1Click(int index) { FOptions.FStrategie = static_cast<TBackupStrategie>(index); }

void TMainFrm::CheckBox1Click(bool checked) {
    FOptions.FLogging = checked;
    FArchiveWriter.SetLogging(FOptions.FLogging);
}

void TMainFrm::CheckBox2Click(bool checked) {
    FOptions.FUsePassword = checked;
    cbVerschluesselung->setEnabled(checked);
}

void TMainFrm::DatenDirChange(const QString& text) { FOptions.FDatenDir = S(text); }

void TMainFrm::btnDatenDirClick() {
    const QString folder = QFileDialog::getExistingDirectory(this, "Datenverzeichnis", edDatenDir->text());
    if (!folder.isEmpty()) edDatenDir->setText(folder);
}

void TMainFrm::ReadOptionsFromControls() {
    const int checked = RadioGroup1->checkedId();
    if (checked >= 0) FOptions.FStrategie = static_cast<TBackupStrategie>(checked);
    FOptions.FLogging = CheckBox1->isChecked();
    FOptions.FUsePassword = CheckBox2->isChecked();
    FOptions.FAes = cbVerschluesselung->currentIndex() == kEncryptionAes;
    FOptions.FPruefen = CheckBox3->isChecked();
}

void TMainFrm::closeEvent(QCloseEvent* event) {
    // A run lets the window breathe; it cannot be closed under the run's feet. The
    // user is told why, and the window closes as soon as the run is over.
    if (FBusyDepth > 0) {
        event->ignore();
        FCloseWhenIdle = true;
        FCloseNote = FRestoring ? "Die Wiederherstellung l\u00e4uft noch. Das Programm wird beendet, sobald sie "
                                  "abgeschlossen ist."
                                : "Die Sicherung l\u00e4uft noch. Das Programm wird beendet, sobald sie "
                                  "abgeschlossen ist.";
        SetStatus(FStatusText);
        return;
    }
    Guard([this] { FormClose(); });
    SaveWindowPlacement();
    event->accept();
}

bool TMainFrm::EndSession(bool deferred) {
    if (FBusyDepth > 0) {
        FCloseWhenIdle = FCloseWhenIdle || deferred;
        return false;
    }
    return close();
}

void TMainFrm::FormClose() {
    // A row still being edited is stored, as leaving the row would store it, and the
    // tables are saved. Each save is tried whatever the one before did; each failure
    // is shown.
    Guard([this] {
        JobDataSet.CheckBrowseMode();
        JobDataSet.SaveChanges();
    });
    Guard([this] {
        DefDataSet.CheckBrowseMode();
        DefDataSet.SaveChanges();
    });
    ReadOptionsFromControls();
    SaveSettings(FRegistry, FOptions);
}

void TMainFrm::FormDestroy() {
    if (!FPlacementSaved) SaveWindowPlacement();
}

void TMainFrm::doBackup(const std::string& jobs) {
    FPass.Run(PassKind::Backup, jobs);
    LoadCurrentJob();
}

void TMainFrm::btnStartBackupClick() {
    Guard([this] {
        // What the run left out it has reported itself; success is claimed only for
        // a complete archive.
        if (FPass.BackupOne(FJob)) ShowMessage("Backup erfolgreich abgeschlossen.");
    });
}

void TMainFrm::Sichern1Click() {
    Guard([this] { doBackup(""); });
}

void TMainFrm::SetDefinitionGridUpdates(bool enabled) { DefGrid->setUpdatesEnabled(enabled); }

void TMainFrm::CloseBrowserArchive() {
    FArchiveReader.Close();
    AbZipView1->Entries().Load({});
    ComboBox1->setCurrentIndex(-1);
    StartComparison();
}

void TMainFrm::ShowArchiveInBrowser(const std::string& fileName) {
    ListArchives();
    const int index = fileName.empty() ? -1 : ComboBox1->findText(Q(fileName));
    if (index < 0) return;
    ComboBox1->setCurrentIndex(index);
    ComboBox1Change();
}

// Archive browser ----------------------------------------------------------------------

void TMainFrm::ListArchives() {
    ListStands();
    ComboBox1->clear();
    FRemoteArchive.reset();
    const std::vector<std::string> names = ListArchiveNames(FJob.DestDir);
    for (const std::string& name : names) ComboBox1->addItem(Q(name));
    ComboBox1->setCurrentIndex(-1);
    // Without an archive FJob.BackupFilename keeps its name and the reader its archive.
    if (names.empty()) return;
    ComboBox1->setCurrentIndex(0);
    ComboBox1Change();
}

// A remote archive (its item carries the remote file's name and size) is fetched into
// the data folder first and read from there; the job's recorded archive stays.
void TMainFrm::ComboBox1Change() {
    FArchiveReader.Close();
    AbZipView1->Entries().Load({});
    FRemoteArchive.reset();
    SetStatus("");
    const QVariant remote = ComboBox1->currentData();
    if (remote.isValid()) {
        RemoteFile file;
        file.Name = S(remote.toStringList().value(0));
        file.Size = remote.toStringList().value(1).toULongLong();
        FRemoteArchive = RemoteArchive::Fetch(FOptions, file, *this);
        FArchiveReader.Open(FRemoteArchive->Path());
        AbZipView1->Entries().Load(FArchiveReader.Entries());
        SetStatus(ArchiveStatusLine(FRemoteArchive->Path()));
        return;
    }
    const std::string name = S(ComboBox1->currentText());
    StartComparison();
    if (name.empty()) return;
    const std::string path = ArchivePath(FJob.DestDir, name);
    FArchiveReader.Open(path);
    AbZipView1->Entries().Load(FArchiveReader.Entries());
    StartComparison();
    const std::string status = ArchiveStatusLine(path);
    FJob.BackupFilename = name;
    SetStatus(status);
    for (std::size_t i = 0; i < FStands.size(); ++i) {
        if (FStands[i].Name == name) cbStand->setCurrentIndex(static_cast<int>(i));
    }
}

void TMainFrm::tabRestoreShow() { ListArchives(); }

void TMainFrm::btnExternClick() {
    if (!FOptions.FZweitkopie) {
        ShowMessage("Die Zweitkopie (extern) ist in den Einstellungen nicht eingeschaltet.");
        return;
    }
    for (int i = ComboBox1->count() - 1; i >= 0; --i) {
        if (ComboBox1->itemData(i).isValid()) ComboBox1->removeItem(i);
    }
    const std::vector<RemoteFile> files = RemoteArchive::ListOnRemote(FOptions, FJob);
    for (const RemoteFile& file : files)
        ComboBox1->addItem(Q(file.Name) + " (extern)", QStringList{Q(file.Name), QString::number(file.Size)});
    SetStatus(std::to_string(files.size()) + " Sicherungen auf " + FOptions.FZweitkopieZiel);
}

// The toggle does not follow the selection: only this button changes it.
void TMainFrm::btnAllClick() {
    if (btnAll->property("tag").toInt() == 0) {
        AbZipView1->Entries().SelectAll();
        btnAll->setProperty("tag", 1);
        btnAll->setText("&Auswahl aufheben");
    } else {
        AbZipView1->Entries().ClearSelection();
        btnAll->setProperty("tag", 0);
        btnAll->setText("&Alle ausw\u00e4hlen");
    }
}

std::vector<std::size_t> TMainFrm::SelectedBrowserEntries() const {
    return AbZipView1->Entries().Rows().SelectedEntries();
}

void TMainFrm::BrowserArchiveChanged(const std::string& fileName) {
    AbZipView1->Entries().Load(FArchiveReader.Entries());
    StartComparison();
    // A restore of the remote archive keeps it chosen.
    if (fileName.empty() || FRemoteArchive) return;
    const int index = ComboBox1->findText(Q(fileName));
    if (index >= 0) ComboBox1->setCurrentIndex(index);
}

void TMainFrm::ClearBrowserSelection() { AbZipView1->Entries().ClearSelection(); }

std::string TMainFrm::GetRestoreRoot() const {
    const int index = JvDriveCombo1->currentIndex();
    std::string root = index >= 0 && index < static_cast<int>(FRestoreRoots.size()) ? FRestoreRoots[index].Path : "/";
    if (root.empty() || root.back() != '/') root += '/';
    return root;
}

// Restore run ---------------------------------------------------------------------------

namespace {

// While a restore works, the window takes no input: a job change or another archive
// would pull the archive from under the run. The status and progress stay visible.
class InputPause {
public:
    explicit InputPause(std::initializer_list<QWidget*> widgets) : FWidgets(widgets) {
        for (QWidget* w : FWidgets) w->setEnabled(false);
    }
    ~InputPause() {
        for (QWidget* w : FWidgets) w->setEnabled(true);
    }
    InputPause(const InputPause&) = delete;
    InputPause& operator=(const InputPause&) = delete;

private:
    std::vector<QWidget*> FWidgets;
};

}  // namespace

void TMainFrm::RestoreJob(const TJob& job) {
    // The disk is compared again once the files are back, not while they come.
    const Finally compareAgain([this] { StartComparison(); });
    const InputPause pause{FPages, findChild<QWidget*>("pnlNavigation")};
    const QScopedValueRollback restoring(FRestoring, true);
    FPass.RestoreOne(job);
}

void TMainFrm::btnStartRestoreClick() {
    Guard([this] {
        if (ConfirmRestore()) RestoreJob(FRemoteArchive ? FRemoteArchive->AsJob(FJob) : FJob);
    });
}

void TMainFrm::Wiederherstellen1Click() {
    Guard([this] { doRestore(""); });
}

void TMainFrm::doRestore(const std::string& jobs) {
    const Finally compareAgain([this] { StartComparison(); });
    const InputPause pause{FPages, findChild<QWidget*>("pnlNavigation")};
    const QScopedValueRollback restoring(FRestoring, true);
    FPass.Run(PassKind::Restore, jobs);
    LoadCurrentJob();
}

void TMainFrm::HandleError(const std::string& message) {
    ShowError(message);
}

// RunHost ----------------------------------------------------------------------------

void TMainFrm::ShowError(const std::string& text) {
    FErrors.NoteError(text);
    FBoxes->ShowError(text);
}

bool TMainFrm::ConfirmYesNo(const std::string& text) { return FBoxes->ConfirmYesNo(text); }

bool TMainFrm::ConfirmOkCancel(const std::string& text) { return FBoxes->ConfirmOkCancel(text); }

int TMainFrm::Choose(const std::string& text, const std::vector<std::string>& buttons) {
    return FBoxes->Choose(text, buttons);
}

void TMainFrm::ShowMessage(const std::string& text) {
    FErrors.NoteMessage(text);
    FBoxes->ShowMessage(text);
}

std::optional<std::string> TMainFrm::AskPassword(const std::string& title, const std::string& label) {
    return FBoxes->AskPassword(title, label);
}

bool TMainFrm::CanPrompt() const { return FBoxes->CanPrompt(); }

void TMainFrm::SetStatus(const std::string& text) {
    FStatusText = text;
    // A close asked for during a run is said before what the run reports.
    if (!FCloseNote.empty()) {
        FStatusBar->setStyleSheet("");
        FStatusBar->setText(Q(text.empty() ? FCloseNote : FCloseNote + " \u2013 " + text));
        return;
    }
    // While no run has anything to say, the status line tells of a failed last
    // unattended pass, whatever page is shown.
    const bool warning = text.empty() && !FLastPassWarning.empty();
    FStatusBar->setStyleSheet(warning ? "color: red;" : "");
    FStatusBar->setText(Q(warning ? FLastPassWarning : text));
}

// The schedule of the unattended backup lives in the system's timer or crontab only.
void TMainFrm::btnZeitplanClick() {
    SystemSchedulerCommands commands;
    const SchedulePlace place = SchedulePlace::ForThisUser();
    const ScheduledCommand command = CommandForThisProcess(S(QCoreApplication::applicationFilePath()), place.Root);
    Scheduler scheduler(commands, place, command);
    const auto pass = FOptions.FDatenDir.empty() ? std::nullopt : ReadLastPass(FOptions.FDatenDir);
    gui::TSchedulefrm dialog(scheduler, command.PasswordFile, pass ? Q(LastPassText(*pass)) : QString(), *FBoxes,
                             this);
    dialog.exec();
}

// The record of the last unattended pass: a failure is shown above every page and in
// the status line until the user acknowledges it.
void TMainFrm::ShowLastPass() {
    const auto pass = FOptions.FDatenDir.empty() ? std::nullopt : ReadLastPass(FOptions.FDatenDir);
    const bool failed = pass && pass->Unseen();
    FShownPassTime = failed ? pass->Time : 0;
    lblLetzterLauf->setText(failed ? Q(LastPassText(*pass)) : QString());
    findChild<QWidget*>("pnlLetzterLauf")->setVisible(failed);
    FLastPassWarning = failed ? std::string(pass->Restore ? "Letzte unbeaufsichtigte Wiederherstellung"
                                                          : "Letzte unbeaufsichtigte Sicherung") +
                                    " fehlgeschlagen (Einzelheiten im roten Hinweis oben)"
                              : std::string();
    SetStatus("");
}

// The acknowledgement is kept in the record, so that the next start does not show the
// same failure again; a later pass writes a new record, whose failure shows anew.
void TMainFrm::AcknowledgeLastPass() {
    findChild<QWidget*>("pnlLetzterLauf")->hide();
    FLastPassWarning.clear();
    SetStatus(FStatusText);
    Guard([this] {
        auto pass = FOptions.FDatenDir.empty() ? std::nullopt : ReadLastPass(FOptions.FDatenDir);
        if (!pass || pass->Time != FShownPassTime || !pass->Unseen()) return;
        pass->Acknowledged = true;
        RecordLastPass(FOptions.FDatenDir, *pass);
    });
}

void TMainFrm::SetProgress(int position, int maximum) {
    FProgress->setVisible(maximum > 0);
    FProgress->setMaximum(maximum);
    FProgress->setValue(position);
}

void TMainFrm::SetBusy(bool busy) {
    // No second run may start while one works on the archive.
    for (const char* name : {"btnStartBackup", "btnStartAll", "btnStartRestore"}) {
        if (auto* button = findChild<QAbstractButton*>(name)) button->setEnabled(!busy);
    }
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++FBusyDepth;
    } else if (FBusyDepth > 0) {
        QApplication::restoreOverrideCursor();
        --FBusyDepth;
        // The session ended, or the user closed the window, during the run: close
        // now that the archive is done.
        if (FBusyDepth == 0 && FCloseWhenIdle) {
            FCloseWhenIdle = false;
            QTimer::singleShot(0, this, &TMainFrm::CloseAfterRun);
        }
    }
}

// The run's closing box is read before the window goes.
void TMainFrm::CloseAfterRun() {
    if (QApplication::activeModalWidget()) {
        constexpr int kRetryMilliseconds = 200;
        QTimer::singleShot(kRetryMilliseconds, this, &TMainFrm::CloseAfterRun);
        return;
    }
    FCloseNote.clear();
    if (!close()) SetStatus(FStatusText);
}

// A run reports every entry it packs, up to a thousand a second; repainting for each
// would cost more than the packing. Handling the events every 40 ms keeps the window
// as current and as reachable as anybody can see.
void TMainFrm::Breathe() {
    constexpr qint64 kBreathIntervalMs = 40;
    if (FLastBreath.isValid() && FLastBreath.elapsed() < kBreathIntervalMs) return;
    QCoreApplication::processEvents();
    FLastBreath.start();
}

}  // namespace vb
