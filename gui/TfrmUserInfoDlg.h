#pragma once
// The logged-in users dialog: who is connected to the product database, one row per
// connection with computer name, login name and whether it is connected.
#include <QDialog>

class QTableWidget;

namespace vb {

class JetRosterConnection;

namespace gui {

class TfrmUserInfoDlg : public QDialog {
    Q_OBJECT
public:
    explicit TfrmUserInfoDlg(QWidget* owner = nullptr);

    // The connection to read the roster from; the dialog does not own it.
    void SetConnection(JetRosterConnection* connection) { FConnection = connection; }
    JetRosterConnection* Connection() const { return FConnection; }

    QTableWidget* UserGrid = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Fills the grid from the roster; a roster that cannot be read is reported in a
    // plain message box and leaves the header row and one empty row.
    void FormShow();

    JetRosterConnection* FConnection = nullptr;
};

// Shows the dialog modally for `connection`, owned by the application's main window.
void ShowUserInfo(JetRosterConnection& connection, QWidget* mainWindow);

}  // namespace gui
}  // namespace vb
