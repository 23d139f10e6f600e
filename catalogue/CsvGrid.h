#pragma once
// A data grid over a CsvTableModel, as on the jobs page and the backup page: its
// current row is the table's current row, leaving an edited row stores it, boolean
// cells are check marks worked by keys and clicks, some cells carry an ellipsis
// button, and hints show for 1000 ms.
#include <QTableView>
#include <functional>

#include "catalogue/CsvTableModel.h"

namespace vb::gui {

class CsvGrid : public QTableView {
    Q_OBJECT
public:
    // The grid takes the model as its own; it must be built over a table that
    // outlives the grid.
    explicit CsvGrid(CsvTableModel* model, QWidget* parent = nullptr);

    CsvTableModel* Model() const { return FModel; }
    CsvTable& Table() const { return FModel->Table(); }

    // What the ellipsis button of a column does; called with the table in edit or
    // insert state and the grid column that has the focus.
    std::function<void(int column)> FEllipsisHandler;
    // Shows an error of a user action (the general error handling); an error box
    // when unset.
    std::function<void(const QString& message)> FErrorHandler;

    // Writes the text of an open cell editor into the field and closes the editor.
    void CommitEditor();
    // Closes an open cell editor without keeping what was typed.
    void DiscardEditor();
    // Presses the ellipsis button of the focused cell: edit state first, then the
    // column's picker.
    void EllipsisClick();
    // Runs a user action, showing a vb::Error instead of passing it on.
    void Guarded(const std::function<void()>& action);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

private:
    // Sets a boolean cell of the current row; nullopt toggles (null becomes false).
    void SetBoolean(int column, std::optional<bool> value);
    void FollowTable(int row);
    QWidget* OpenEditor() const;

    CsvTableModel* FModel;
    bool FFollowing = false;
};

}  // namespace vb::gui
