#pragma once
// A data grid over a CsvTableModel, as on the jobs page and the backup page: its
// current row is the table's current row, leaving an edited row stores it, boolean
// cells are check marks worked by keys and clicks, some cells carry an ellipsis
// button, and hints show for 1000 ms.
#include <QTableView>
#include <functional>

#include "gui/CsvTableModel.h"

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
    // Asks "Datensatz löschen?" before a row is deleted; a confirmation box when unset.
    std::function<bool(const QString& question)> FConfirmDelete;

    // Writes the text of an open cell editor into the field and closes the editor.
    void CommitEditor();
    // Closes an open cell editor without keeping what was typed.
    void DiscardEditor();
    // Presses the ellipsis button of the focused cell: edit state first, then the
    // column's picker.
    void EllipsisClick();
    // Stores an edited row and starts a new one before the current row, or at the
    // end with `atEnd`.
    void NewRow(bool atEnd);
    // Asks whether the current row may be deleted.
    bool ConfirmDelete();
    // Drops an open cell editor and cancels the edit or insert of the current row.
    void CancelRow();
    // Runs a user action, showing a vb::Error instead of passing it on.
    void Guarded(const std::function<void()>& action);
    // True when the cell's text does not fit its width and ends in an ellipsis.
    bool IsElided(const QModelIndex& index) const;
    // The hint over a cell: the whole text where the cell cuts it, then the column's
    // hint where the grid shows one over its cells.
    QString CellHint(const QModelIndex& index) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void changeEvent(QEvent* event) override;

private:
    // Sets a boolean cell of the current row; nullopt toggles (null becomes false).
    void SetBoolean(int column, std::optional<bool> value);
    bool RowKey(QKeyEvent* event);
    void FollowTable(int row);
    QWidget* OpenEditor() const;
    // Row height and row-indicator width from the font and the style's check box.
    void FitRowsToFont();

    CsvTableModel* FModel;
    bool FFollowing = false;
    std::string FNewRowLine;  // the last new row as it was started
};

}  // namespace vb::gui
