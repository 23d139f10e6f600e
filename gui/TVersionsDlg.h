#pragma once
// The view "Versionen" of one file: each archive of the job that holds it, newest
// first, with its date, the size and time stored, whether its content differs from
// the next older version (by CRC), and how it compares with the file on disk. The
// chosen version is restored to its place (after a question whose default keeps the
// file) or beside it as "Name (Stand TT.MM.JJJJ).ext" (FileVersions.h).
#include <QDialog>
#include <string>

#include "zip/ArchiveReader.h"
#include "restore/FileVersions.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace vb {
class ExclusiveUseTest;
class RunHost;
}  // namespace vb

namespace vb::gui {

struct VersionsSubject {
    std::string Folder;  // the job's target folder
    std::string JobName;
    std::string StoredName;  // the file's stored name, below the restore root
    std::string Root;        // the restore root
    std::string LogFile;     // the restore log, which a restore starts anew; empty: no log
};

class TVersionsDlg : public QDialog {
    Q_OBJECT
public:
    // `host` answers the password prompt and shows the boxes; `databases` tests an
    // in-place restore's target.
    TVersionsDlg(VersionsSubject subject, RunHost& host, ExclusiveUseTest& databases, QWidget* parent = nullptr);

    // Lists the versions afresh (after a restore, the disk column changes).
    void Reload();
    const FileVersions& Versions() const { return FVersions; }
    // The row's version restored to its place, or beside the current file. False when
    // nothing was written (refused, cancelled, failed; the reason was shown).
    bool RestoreRow(int row, bool beside);

private:
    void RestoreClicked(bool beside);
    void SelectionChanged();

    VersionsSubject FSubject;
    RunHost& FHost;
    ExclusiveUseTest& FDatabases;
    ArchiveReader FReader;  // its own, so that the restore page's archive stays open
    FileVersions FVersions;
    QLabel* FHeading = nullptr;
    QTableWidget* FList = nullptr;
    QPushButton* FInPlace = nullptr;
    QPushButton* FBeside = nullptr;
};

}  // namespace vb::gui
