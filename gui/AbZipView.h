#pragma once
// The archive browser's entry view: the file entries of the archive that the reader
// holds, in a grid of five sortable columns with vertical grid lines, multiple
// selection by mouse (plain, Ctrl and Shift clicks) and the context menu
// "Alle markieren" / "Markierung aufheben".
#include <QTableView>

#include "gui/ArchiveEntryModel.h"

class QMenu;
class QAction;

namespace vb::gui {

class AbZipView : public QTableView {
    Q_OBJECT
public:
    explicit AbZipView(QWidget* parent = nullptr);

    ArchiveEntryModel& Entries() { return *FModel; }
    const ArchiveEntryModel& Entries() const { return *FModel; }
    QMenu* PopupMenu1() const { return FPopupMenu1; }
    // Shows or hides the column of the comparison with the disk.
    void SetComparing(bool on);

    // The context menu's items and its opening.
    void AllesMarkierenClick();
    void MarkierungAufhebenClick();
    void PopupMenu1Popup();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void HeaderClick(int column);
    void PlaceDiskColumn();

    ArchiveEntryModel* FModel;
    QMenu* FPopupMenu1;
    QAction* AllesMarkieren;
    QAction* MarkierungAufheben;
};

}  // namespace vb::gui
