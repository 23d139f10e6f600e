// The widgets of the main window: navigation bar, five pages with their headings, and
// the status bar. Sizes are the window's designed pixel sizes.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "app/TMainFrm.h"
#include "gui/HtmlHelp.h"
#include "gui/WindowFont.h"
#include "gui/WindowIcons.h"
#include "gui/AbZipView.h"
#include "gui/DiskCompareWorker.h"
#include "gui/OffsiteCopyGroup.h"

namespace vb {
namespace {

constexpr int kClientWidth = 721;
constexpr int kClientHeight = 527;
constexpr int kNavigationWidth = 92;
constexpr int kStatusHeight = 19;
constexpr int kHeadingHeight = 37;
constexpr int kMinimumLogHeight = 80;

// The row "Aktueller Job:" with the job selector. It ends in a blank, or with
// `openEnd` it is left for the caller to fill.
QHBoxLayout* CurrentJobRow(QWidget* page, QVBoxLayout* layout, QComboBox*& selector, const char* name,
                           bool openEnd = false) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel("Aktueller Job:", page);
    selector = new QComboBox(page);
    selector->setObjectName(name);
    selector->setMinimumWidth(250);
    label->setBuddy(selector);
    row->addWidget(label);
    row->addWidget(selector);
    if (!openEnd) row->addStretch();
    layout->addLayout(row);
    return row;
}

// The part of a page below its heading, with the page's margins.
QVBoxLayout* PageBody(QWidget* page) {
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 8);
    static_cast<QVBoxLayout*>(page->layout())->addLayout(body, 1);
    return body;
}

// An empty place, named for what the window puts there later (a grid, a navigator).
QWidget* Slot(QWidget* page, const char* name, QLayout* content) {
    auto* slot = new QWidget(page);
    slot->setObjectName(name);
    content->setContentsMargins(0, 0, 0, 0);
    slot->setLayout(content);
    return slot;
}

}  // namespace

void TMainFrm::BuildWindow() {
    setObjectName("MainFrm");
    setFont(gui::WindowFont());
    setWindowTitle("Vorlix Backup & Restore");
    // An ordinary resizable window. Its designed size is where it starts; on a smaller
    // screen (or at a larger scale) it shrinks to the screen, and the pages scroll.
    // Linux title bars have no help-style button: its hint sits on the navigation
    // bar's "Info", and Shift+F1 opens the about box.
    setWindowFlags(Qt::Window);
    resize(kClientWidth, kClientHeight);
    move(549, 279);

    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    QWidget* navigation = BuildNavigationBar();
    auto* navigationScroll = new QScrollArea(this);
    navigationScroll->setObjectName("pnlNavigationScroll");
    navigationScroll->setFrameShape(QFrame::NoFrame);
    navigationScroll->setFocusPolicy(Qt::NoFocus);
    navigationScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    navigationScroll->setWidgetResizable(true);
    navigationScroll->setWidget(navigation);
    navigationScroll->setFixedWidth(navigation->minimumWidth());
    navigationScroll->setBackgroundRole(QPalette::Dark);
    columns->addWidget(navigationScroll);

    auto* right = new QVBoxLayout;
    right->setSpacing(0);
    columns->addLayout(right, 1);
    FPages = new QStackedWidget;
    FPages->setObjectName("PageControl1");
    FPages->insertWidget(pgBackup, BuildBackupPage());
    FPages->insertWidget(pgRestore, BuildRestorePage());
    FPages->insertWidget(pgEinstellungen, BuildSettingsPage());
    FPages->insertWidget(pgLogfiles, BuildLogfilesPage());
    FPages->insertWidget(pgJobs, BuildJobsPage());
    right->addWidget(BuildLastPassNotice());
    auto* pageScroll = new QScrollArea(this);
    pageScroll->setObjectName("PageScroll");
    pageScroll->setFrameShape(QFrame::NoFrame);
    pageScroll->setFocusPolicy(Qt::NoFocus);
    pageScroll->setWidgetResizable(true);
    pageScroll->setWidget(FPages);
    right->addWidget(pageScroll, 1);
    // Help context numbers for F1: the page frame, and the pages that have their own
    // topic; the log and jobs pages fall back to the frame's.
    FPages->setProperty(gui::kHelpContextProperty, 1000);
    FPages->widget(pgBackup)->setProperty(gui::kHelpContextProperty, 2000);
    FPages->widget(pgRestore)->setProperty(gui::kHelpContextProperty, 3000);
    FPages->widget(pgEinstellungen)->setProperty(gui::kHelpContextProperty, 4000);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setObjectName("F1");
    connect(f1, &QShortcut::activated, this, &TMainFrm::HelpForFocus);

    auto* statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(0, 0, 2, 0);
    FStatusBar = new QLabel(this);
    FStatusBar->setObjectName("StatusBar1");
    FStatusBar->setFrameShape(QFrame::Panel);
    FStatusBar->setFrameShadow(QFrame::Sunken);
    FStatusBar->setMinimumHeight(kStatusHeight);
    // A long text must not widen the window; it is cut at the window's edge.
    FStatusBar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    statusRow->addWidget(FStatusBar, 1);
    // A backup shows its progress over the run's files beside the status text.
    constexpr int kProgressWidth = 160;
    FProgress = new QProgressBar(this);
    FProgress->setObjectName("ProgressBar1");
    FProgress->setTextVisible(false);
    FProgress->setFixedSize(kProgressWidth, kStatusHeight - 4);
    FProgress->hide();
    statusRow->addWidget(FProgress);
    right->addLayout(statusRow);
}

// Shown above every page from the start while the last unattended pass failed, until
// the user acknowledges it.
QWidget* TMainFrm::BuildLastPassNotice() {
    auto* notice = new QFrame(this);
    notice->setObjectName("pnlLetzterLauf");
    notice->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(notice);
    row->setContentsMargins(6, 4, 6, 4);
    lblLetzterLauf = new QLabel(notice);
    lblLetzterLauf->setObjectName("lblLetzterLauf");
    lblLetzterLauf->setWordWrap(true);
    lblLetzterLauf->setTextFormat(Qt::PlainText);
    QPalette red = lblLetzterLauf->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lblLetzterLauf->setPalette(red);
    row->addWidget(lblLetzterLauf, 1);
    auto* acknowledge = new QPushButton("&Zur Kenntnis genommen", notice);
    acknowledge->setObjectName("btnLetzterLaufOk");
    connect(acknowledge, &QPushButton::clicked, this, &TMainFrm::AcknowledgeLastPass);
    row->addWidget(acknowledge, 0, Qt::AlignTop);
    notice->hide();
    return notice;
}

QWidget* TMainFrm::BuildNavigationBar() {
    auto* bar = new QFrame;
    bar->setObjectName("pnlNavigation");
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Dark));
    bar->setPalette(palette);

    struct Button {
        const char* caption;
        const char* name;
        QStyle::StandardPixmap icon;
        int tag;  // page to show, or -1
    };
    const Button buttons[] = {
        {"&Jobs verwalten", "acJobs", QStyle::SP_FileDialogDetailedView, pgJobs},
        {"&Backup", "acBackup", QStyle::SP_DialogSaveButton, pgBackup},
        {"&Restore", "acRestore", QStyle::SP_BrowserReload, pgRestore},
        {"&Einstellungen", "acEinstellungen", QStyle::SP_ComputerIcon, pgEinstellungen},
        {"&Log-Dateien", "acLogfiles", QStyle::SP_FileDialogContentsView, pgLogfiles},
        {"&Hilfe", "acHilfe", QStyle::SP_DialogHelpButton, -1},
        {"&Info", "acInfo", QStyle::SP_MessageBoxInformation, -1},
        {"Bee&nden", "acEnde", QStyle::SP_DialogCloseButton, -1},
    };
    int top = 2;
    for (const Button& b : buttons) {
        auto* button = new QToolButton(bar);
        button->setObjectName(b.name);
        button->setText(b.caption);
        // Qt's own icons; the settings have no fitting one of Qt's, so they show the
        // desktop's (or the program's own) cog wheel.
        button->setIcon(b.tag == pgEinstellungen ? gui::SettingsIcon() : style()->standardIcon(b.icon));
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setGeometry(2, top, kNavigationWidth - 4, 56);
        top += 60;
        if (b.tag >= 0) {
            // The button of the page shown stays pressed.
            button->setCheckable(true);
            button->setProperty("page", b.tag);
            const int tag = b.tag;
            connect(button, &QToolButton::clicked, this, [this, tag] { btnBackupClick(tag); });
        }
    }
    connect(bar->findChild<QToolButton*>("acHilfe"), &QToolButton::clicked, this, &TMainFrm::btnHelpClick);
    auto* info = bar->findChild<QToolButton*>("acInfo");
    info->setToolTip(QString::fromUtf8("Info über VorlixBackup"));
    connect(info, &QToolButton::clicked, this, &TMainFrm::acInfoExecute);
    auto* aboutKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), this);
    aboutKey->setObjectName("btnInfoShortcut");
    connect(aboutKey, &QShortcut::activated, info, &QToolButton::click);
    connect(bar->findChild<QToolButton*>("acEnde"), &QToolButton::clicked, this, &TMainFrm::btnEndeClick);
    bar->setMinimumSize(kNavigationWidth, top);

    // Ctrl+Tab and Ctrl+Shift+Tab go to the next or previous page in the bar's order,
    // from wherever the focus is, grids and text boxes included.
    const auto pageKey = [this](const QKeySequence& key, const char* name, int step) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setObjectName(name);
        connect(shortcut, &QShortcut::activated, this, [this, step] { StepPage(step); });
    };
    pageKey(QKeySequence(Qt::CTRL | Qt::Key_Tab), "NextPageKey", 1);
    pageKey(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), "PreviousPageKey", -1);
    return bar;
}

void TMainFrm::StepPage(int step) {
    const char* const order[] = {"acJobs", "acBackup", "acRestore", "acEinstellungen", "acLogfiles"};
    constexpr int count = static_cast<int>(std::size(order));
    int shown = 0;
    while (shown < count && findChild<QToolButton*>(order[shown])->property("page").toInt() != CurrentPage()) ++shown;
    findChild<QToolButton*>(order[(shown + step + count) % count])->click();
    // The focus goes to the first control of the page now shown.
    QWidget* page = FPages->currentWidget();
    QWidget* const last = findChild<QWidget*>("acEnde");
    for (QWidget* w = last->nextInFocusChain(); w && w != last; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

QWidget* TMainFrm::BuildPage(const QString& heading, const QString& objectName) {
    auto* page = new QWidget;
    page->setObjectName(objectName);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* band = new QLabel(heading, page);
    band->setObjectName(objectName + "Heading");
    band->setFont(gui::WindowFont(21, true));
    band->setFixedHeight(kHeadingHeight);
    band->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    band->setIndent(6);  // the heading does not touch the navigation bar
    band->setAutoFillBackground(true);
    QPalette palette = band->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    band->setPalette(palette);
    layout->addWidget(band);
    return page;
}

QWidget* TMainFrm::BuildBackupPage() {
    QWidget* page = BuildPage("Sichern", "tabBackup");
    QVBoxLayout* body = PageBody(page);
    CurrentJobRow(page, body, ComboBox2, "ComboBox2");
    auto* row = new QHBoxLayout;
    row->addWidget(Slot(page, "DefNavigatorSlot", new QHBoxLayout));
    row->addStretch();
    auto* start = new QPushButton("Backup starten", page);
    start->setObjectName("btnStartBackup");
    connect(start, &QPushButton::clicked, this, &TMainFrm::btnStartBackupClick);
    row->addWidget(start);
    body->addLayout(row);
    body->addWidget(Slot(page, "DefGridSlot", new QVBoxLayout), 1);
    return page;
}

QWidget* TMainFrm::BuildRestorePage() {
    QWidget* page = BuildPage("Wiederherstellen", "tabRestore");
    QVBoxLayout* body = PageBody(page);
    // The archive selector offers the listed archives only. It follows the job
    // selector on its row, taking all the room left there, so that the archive's
    // name shows whole beside any drive list and at any font size.
    QHBoxLayout* jobRow = CurrentJobRow(page, body, ComboBox3, "ComboBox3", true);
    ComboBox1 = new QComboBox(page);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setMinimumWidth(170);
    ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBox1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(ComboBox1, &QComboBox::textActivated, this, [this] { Guard([this] { ComboBox1Change(); }); });
    jobRow->addSpacing(8);
    jobRow->addWidget(ComboBox1, 1);
    auto* external = new QToolButton(page);
    external->setObjectName("btnExtern");
    external->setText("E&xtern");
    external->setToolTip("Die Sicherungen des Jobs auf dem externen Ziel (Zweitkopie) zur Auswahl hinzuf\u00FCgen");
    connect(external, &QToolButton::clicked, this, [this] { Guard([this] { btnExternClick(); }); });
    jobRow->addWidget(external);
    // The drive selector is as wide as "/  (Stammverzeichnis)" whatever mount paths
    // it lists (its list opens as wide as they need); the row must fit the window's
    // width with either caption of the toggle.
    auto* row = new QHBoxLayout;
    auto* driveLabel = new QLabel("Ziellaufwerk:", page);
    JvDriveCombo1 = new QComboBox(page);
    JvDriveCombo1->setObjectName("JvDriveCombo1");
    JvDriveCombo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    JvDriveCombo1->setMinimumContentsLength(static_cast<int>(std::strlen("/  (Stammverzeichnis)")) + 1);
    JvDriveCombo1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // A long mount path is cut in the box; its hint shows it whole.
    connect(JvDriveCombo1, &QComboBox::currentTextChanged, JvDriveCombo1, &QComboBox::setToolTip);
    driveLabel->setBuddy(JvDriveCombo1);
    row->addWidget(driveLabel);
    row->addWidget(JvDriveCombo1);
    row->addStretch();
    auto* start = new QPushButton("Start", page);
    start->setObjectName("btnStartRestore");
    connect(start, &QPushButton::clicked, this, &TMainFrm::btnStartRestoreClick);
    btnAll = new QPushButton("&Alle ausw\u00e4hlen", page);
    btnAll->setObjectName("btnAll");
    btnAll->setProperty("tag", 0);
    // Wide enough for either caption, so that the row does not move when it changes.
    btnAll->setText("&Auswahl aufheben");
    const int widest = btnAll->sizeHint().width();
    btnAll->setText("&Alle ausw\u00e4hlen");
    btnAll->setMinimumWidth(std::max(widest, btnAll->sizeHint().width()));
    connect(btnAll, &QPushButton::clicked, this, [this] { Guard([this] { btnAllClick(); }); });
    row->addWidget(start);
    row->addWidget(btnAll);
    body->addLayout(row);

    // The job's archives as points in time, and the view of one file's versions.
    auto* standRow = new QHBoxLayout;
    auto* standLabel = new QLabel("Stand:", page);
    cbStand = new QComboBox(page);
    cbStand->setObjectName("cbStand");
    cbStand->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbStand->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    standLabel->setBuddy(cbStand);
    connect(cbStand, &QComboBox::activated, this, [this] { Guard([this] { cbStandChange(); }); });
    btnVersionen = new QPushButton("&Versionen...", page);
    btnVersionen->setObjectName("btnVersionen");
    connect(btnVersionen, &QPushButton::clicked, this, [this] { Guard([this] { btnVersionenClick(); }); });
    standRow->addWidget(standLabel);
    standRow->addWidget(cbStand, 1);
    standRow->addWidget(btnVersionen);
    body->addLayout(standRow);

    // What a restore would change on disk.
    auto* compareRow = new QHBoxLayout;
    cbVergleichen = new QCheckBox("Mit Festplatte vergleichen", page);
    cbVergleichen->setObjectName("cbVergleichen");
    connect(cbVergleichen, &QCheckBox::toggled, this, [this](bool on) { Guard([&] { cbVergleichenClick(on); }); });
    cbNurAenderungen = new QCheckBox(QString::fromUtf8("Nur Änderungen zeigen"), page);
    cbNurAenderungen->setObjectName("cbNurAenderungen");
    cbNurAenderungen->setEnabled(false);
    connect(cbNurAenderungen, &QCheckBox::toggled, this, [this](bool on) { cbNurAenderungenClick(on); });
    btnGeaenderte = new QPushButton(QString::fromUtf8("Nur &geänderte"), page);
    btnGeaenderte->setObjectName("btnGeaenderte");
    btnGeaenderte->setEnabled(false);
    connect(btnGeaenderte, &QPushButton::clicked, this, &TMainFrm::btnGeaenderteClick);
    compareRow->addWidget(cbVergleichen);
    compareRow->addWidget(cbNurAenderungen);
    compareRow->addStretch();
    compareRow->addWidget(btnGeaenderte);
    body->addLayout(compareRow);

    AbZipView1 = new gui::AbZipView(page);
    body->addWidget(AbZipView1, 1);
    FCompare = new gui::DiskCompareWorker(this);
    connect(FCompare, &gui::DiskCompareWorker::StatesReady, this,
            [this](qulonglong first, const std::vector<DiskState>& states) {
                AbZipView1->Entries().SetDiskStates(static_cast<std::size_t>(first), states);
            });
    connect(JvDriveCombo1, &QComboBox::currentIndexChanged, this, [this] { StartComparison(); });
    return page;
}

QWidget* TMainFrm::BuildSettingsPage() {
    QWidget* page = BuildPage(" Sicherungs - Einstellungen", "tabEinstellungen");
    QVBoxLayout* body = PageBody(page);

    auto* group = new QGroupBox("Backup-Strategie", page);
    group->setObjectName("RadioGroup1");
    auto* groupLayout = new QVBoxLayout(group);
    RadioGroup1 = new QButtonGroup(this);
    const char* items[] = {"Pro Sicherungstag wird eine Sicherungsdatei angelegt",
                           "Es werden drei Generationen von Sicherungen angelegt",
                           "Jede Sicherung erfolgt in der gleichen Datei"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(items[i], group);
        radio->setObjectName(QString("RadioGroup1Item%1").arg(i));
        RadioGroup1->addButton(radio, i);
        groupLayout->addWidget(radio);
    }
    connect(RadioGroup1, &QButtonGroup::idClicked, this, &TMainFrm::RadioGroup1Click);
    body->addWidget(group);

    CheckBox1 = new QCheckBox("Logfile schreiben", page);
    CheckBox1->setObjectName("CheckBox1");
    connect(CheckBox1, &QCheckBox::clicked, this, &TMainFrm::CheckBox1Click);
    body->addWidget(CheckBox1);
    CheckBox2 = new QCheckBox("Backupdatei mit Passwort schützen", page);
    CheckBox2->setObjectName("CheckBox2");
    connect(CheckBox2, &QCheckBox::clicked, this, &TMainFrm::CheckBox2Click);
    body->addWidget(CheckBox2);
    auto* encryptionRow = new QHBoxLayout;
    encryptionRow->setContentsMargins(20, 0, 0, 0);
    auto* encryptionLabel = new QLabel("&Verschlüsselung:", page);
    cbVerschluesselung = new QComboBox(page);
    cbVerschluesselung->setObjectName("cbVerschluesselung");
    cbVerschluesselung->addItem("AES-256 (empfohlen)");
    cbVerschluesselung->addItem("ZipCrypto (kompatibel mit alten Programmen)");
    cbVerschluesselung->setToolTip(
        "AES-256 hält Angriffen stand; ZipCrypto können auch alte Programme öffnen, "
        "es ist aber leicht zu brechen");
    encryptionLabel->setBuddy(cbVerschluesselung);
    connect(cbVerschluesselung, &QComboBox::activated, this,
            [this](int index) { FOptions.FAes = index == kEncryptionAes; });
    encryptionRow->addWidget(encryptionLabel);
    encryptionRow->addWidget(cbVerschluesselung);
    encryptionRow->addStretch();
    body->addLayout(encryptionRow);
    CheckBox3 = new QCheckBox("Sicherung nach dem Packen prüfen", page);
    CheckBox3->setObjectName("CheckBox3");
    CheckBox3->setToolTip("Liest jede neue Sicherung von der Festplatte zurück und prüft sie, "
                          "bevor sie die alte ersetzt");
    connect(CheckBox3, &QCheckBox::clicked, this, [this](bool checked) { FOptions.FPruefen = checked; });
    body->addWidget(CheckBox3);
    auto* schedule = new QPushButton("Zeitplan...", page);
    schedule->setObjectName("btnZeitplan");
    schedule->setToolTip("Unbeaufsichtigte Sicherung zu festen Zeiten (systemd-Timer oder crontab)");
    connect(schedule, &QPushButton::clicked, this, &TMainFrm::btnZeitplanClick);
    body->addWidget(schedule, 0, Qt::AlignLeft);
    grpZweitkopie = new gui::OffsiteCopyGroup(FOptions, *this, page);
    body->addWidget(grpZweitkopie);

    auto* folderLabel = new QLabel("Datenverzeichnis:", page);
    body->addWidget(folderLabel);
    auto* folderRow = new QHBoxLayout;
    edDatenDir = new QLineEdit(page);
    edDatenDir->setObjectName("edDatenDir");
    folderLabel->setBuddy(edDatenDir);
    connect(edDatenDir, &QLineEdit::textChanged, this, &TMainFrm::DatenDirChange);
    auto* browse = new QToolButton(page);
    browse->setObjectName("btnDatenDir");
    browse->setText("...");
    connect(browse, &QToolButton::clicked, this, &TMainFrm::btnDatenDirClick);
    folderRow->addWidget(edDatenDir);
    folderRow->addWidget(browse);
    body->addLayout(folderRow);

    // The warning in red bold between two narrow decorative bars.
    auto bar = [page](const char* name) {
        auto* line = new QFrame(page);
        line->setObjectName(name);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setFixedHeight(4);
        return line;
    };
    body->addSpacing(12);
    body->addWidget(bar("Bevel1"));
    auto* warning = new QLabel(QString::fromUtf8(
        "Achtung: Vor dem Beginn der Sicherung (Backup) oder Wieder- herstellung (Restore) muss Vorlix auf "
        "allen Rechnern, die auf die Vorlix-Datenbank zugreifen, beendet werden!"), page);
    warning->setObjectName("lblWarnung");
    warning->setWordWrap(true);
    QFont bold = warning->font();
    bold.setBold(true);
    warning->setFont(bold);
    QPalette red = warning->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    warning->setPalette(red);
    body->addWidget(warning);
    body->addWidget(bar("Bevel2"));

    auto* users = new QPushButton("Angemeldete Benutzer", page);
    users->setObjectName("btnUserInfo");
    users->hide();  // nothing makes it visible
    connect(users, &QPushButton::clicked, this, &TMainFrm::btnUserInfoClick);
    body->addWidget(users, 0, Qt::AlignLeft);
    body->addStretch();
    return page;
}

QWidget* TMainFrm::BuildLogfilesPage() {
    QWidget* page = BuildPage(" Logdateien anzeigen", "tabLogfiles");
    QVBoxLayout* body = PageBody(page);
    // Each box with its bold label and, at the label's right, its preview and print buttons.
    auto addLog = [&](const char* caption, const char* memoName, const char* buttonName, const char* hint,
                      const char* previewName, const char* previewHint, int share) {
        auto* row = new QHBoxLayout;
        auto* label = new QLabel(caption, page);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        auto* print = new QToolButton(page);
        print->setObjectName(buttonName);
        print->setToolTip(hint);
        print->setIcon(gui::PrintIcon());
        print->setFixedSize(23, 22);
        print->setAutoRaise(true);
        auto* preview = new QToolButton(page);
        preview->setObjectName(previewName);
        preview->setToolTip(previewHint);
        preview->setIcon(gui::PrintPreviewIcon());
        preview->setFixedSize(23, 22);
        preview->setAutoRaise(true);
        row->addWidget(label);
        row->addStretch();
        row->addWidget(preview);
        row->addWidget(print);
        auto* memo = new QPlainTextEdit(page);
        memo->setObjectName(memoName);
        memo->setLineWrapMode(QPlainTextEdit::NoWrap);
        memo->setTabChangesFocus(true);
        memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setMinimumHeight(kMinimumLogHeight);
        auto* column = new QVBoxLayout;
        column->setSpacing(2);
        column->addLayout(row);
        column->addWidget(memo, 1);
        column->setContentsMargins(0, 0, 0, 0);
        body->addLayout(column, share);  // the boxes share the page's height
        return memo;
    };
    memoBackupLog = addLog("Letztes Backup", "memoBackupLog", "SpeedButton1", "Backup-Logfile drucken",
                           "btnPreviewBackupLog", "Seitenansicht des Backup-Logfiles", 196);
    memoRestoreLog = addLog("Letztes Restore", "memoRestoreLog", "SpeedButton2", "Restore-Logfile drucken",
                            "btnPreviewRestoreLog", "Seitenansicht des Restore-Logfiles", 202);
    connect(page->findChild<QToolButton*>("btnPreviewBackupLog"), &QToolButton::clicked, this,
            [this] { PrintLogBox(memoBackupLog, true); });
    connect(page->findChild<QToolButton*>("btnPreviewRestoreLog"), &QToolButton::clicked, this,
            [this] { PrintLogBox(memoRestoreLog, true); });
    connect(page->findChild<QToolButton*>("SpeedButton1"), &QToolButton::clicked, this, &TMainFrm::SpeedButton1Click);
    connect(page->findChild<QToolButton*>("SpeedButton2"), &QToolButton::clicked, this, &TMainFrm::SpeedButton2Click);
    return page;
}

QWidget* TMainFrm::BuildJobsPage() {
    QWidget* page = BuildPage(" Jobs verwalten", "tabJobs");
    QVBoxLayout* body = PageBody(page);
    CurrentJobRow(page, body, ComboBox4, "ComboBox4");
    auto* row = new QHBoxLayout;
    row->addWidget(Slot(page, "JobNavigatorSlot", new QHBoxLayout));
    row->addStretch();
    auto* startAll = new QToolButton(page);
    startAll->setObjectName("btnStartAll");
    startAll->setText("&Alle markierten Jobs starten");
    // The face, the arrow and Alt+A all open the menu.
    startAll->setPopupMode(QToolButton::MenuButtonPopup);
    connect(startAll, &QToolButton::clicked, startAll, &QToolButton::showMenu);
    auto* menu = new QMenu(startAll);
    menu->setObjectName("PopupMenuStart");
    QAction* backupAll = menu->addAction("Sichern");
    backupAll->setObjectName("Sichern1");
    connect(backupAll, &QAction::triggered, this, &TMainFrm::Sichern1Click);
    QAction* restoreAll = menu->addAction("Wiederherstellen");
    restoreAll->setObjectName("Wiederherstellen1");
    connect(restoreAll, &QAction::triggered, this, &TMainFrm::Wiederherstellen1Click);
    startAll->setMenu(menu);
    row->addWidget(startAll);
    body->addLayout(row);
    body->addWidget(Slot(page, "JobGridSlot", new QVBoxLayout), 1);
    return page;
}

}  // namespace vb
