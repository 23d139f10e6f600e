#include "gui/TfrmUserInfoDlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "dbcheck/UserRoster.h"
#include "gui/MessageBoxes.h"

namespace vb::gui {
namespace {

constexpr int kColumnWidths[] = {213, 211, 100};

QString ConnectedText(bool connected) { return connected ? "Ja" : "Nein"; }

}  // namespace

TfrmUserInfoDlg::TfrmUserInfoDlg(QWidget* owner) : QDialog(owner) {
    setObjectName("frmUserInfoDlg");
    setWindowTitle("Angemeldete Benutzer");
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    setFont(font);
    resize(538, 249);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The grid: the header is its fixed row, which gets its texts when the dialog is
    // shown, over one empty row; no fixed column, rows of 16 pixels, lines both ways,
    // columns that the user widens at the header, no editing.
    UserGrid = new QTableWidget(1, 3, this);
    UserGrid->setObjectName("UserGrid");
    UserGrid->setHorizontalHeaderLabels({"", "", ""});
    UserGrid->verticalHeader()->hide();
    UserGrid->verticalHeader()->setMinimumSectionSize(16);
    UserGrid->verticalHeader()->setDefaultSectionSize(16);
    UserGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    UserGrid->horizontalHeader()->setHighlightSections(false);
    UserGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    UserGrid->setShowGrid(true);
    for (int column = 0; column < 3; ++column) UserGrid->setColumnWidth(column, kColumnWidths[column]);
    layout->addWidget(UserGrid, 1);

    auto* panel = new QWidget(this);
    panel->setObjectName("Panel1");
    panel->setFixedHeight(41);
    auto* row = new QHBoxLayout(panel);
    row->addStretch();
    auto* ok = new QPushButton("OK", panel);
    ok->setObjectName("btnOK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(ok);
    layout->addWidget(panel);
}

void TfrmUserInfoDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!property("shown").toBool()) {
        setProperty("shown", true);
        FormShow();
    }
}

void TfrmUserInfoDlg::FormShow() {
    UserGrid->setHorizontalHeaderLabels({"Computername", "Login-Name", "Verbunden"});
    std::vector<RosterRecord> roster;
    try {
        if (!FConnection) throw std::runtime_error("Keine Verbindung zur Datenbank.");
        roster = FConnection->UserRoster();
    } catch (const std::exception& e) {
        MessageBox(this, QString::fromStdString(e.what()));
        return;
    }
    // Row k of the roster (from 1) is grid row k, the header being row 0.
    UserGrid->setRowCount(static_cast<int>(roster.size()));
    for (int k = 1; k <= static_cast<int>(roster.size()); ++k) {
        const RosterRecord& record = roster[k - 1];
        const QString cells[] = {QString::fromStdString(record.ComputerName),
                                 QString::fromStdString(record.LoginName), ConnectedText(record.Connected)};
        for (int column = 0; column < 3; ++column) UserGrid->setItem(k - 1, column, new QTableWidgetItem(cells[column]));
    }
}

void ShowUserInfo(JetRosterConnection& connection, QWidget* mainWindow) {
    TfrmUserInfoDlg dialog(mainWindow);
    dialog.SetConnection(&connection);
    dialog.exec();
}

}  // namespace vb::gui
