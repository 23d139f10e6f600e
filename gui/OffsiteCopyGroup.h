#pragma once
// The settings page's group "Zweitkopie (extern)": whether each new archive is also
// copied to an rclone remote, which remote and folder (the remotes that `rclone
// listremotes` shows for this user), how many days a per-day archive stays there, a
// button that tests the connection by listing the folder, and when the last copy
// succeeded. The credentials stay in rclone's own configuration.
#include <QGroupBox>

#include "util/RunHost.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace vb {
struct TOptions;
}

namespace vb::gui {

class OffsiteCopyGroup : public QGroupBox {
    Q_OBJECT
public:
    // Every change of a control goes into `options` at once; the connection test's
    // answer goes to `boxes`. Both must outlive the group.
    OffsiteCopyGroup(TOptions& options, Boxes& boxes, QWidget* parent = nullptr);

    // Shows the options and the last copy recorded in their data folder, and lists
    // the remotes again.
    void Load();
    // The target as the controls give it: "remote:folder", "" without a remote.
    std::string Target() const;
    // Lists the target folder and says what came of it.
    void TestConnection();

private:
    void FillRemotes(const std::string& current);
    void UpdateEnabled();
    void StoreTarget();

    TOptions& FOptions;
    Boxes& FBoxes;
    QCheckBox* chkZweitkopie = nullptr;
    QComboBox* cbRemote = nullptr;
    QLineEdit* edOrdner = nullptr;
    QSpinBox* spTage = nullptr;
    QPushButton* btnTesten = nullptr;
    QLabel* lblLetzteKopie = nullptr;
};

}  // namespace vb::gui
