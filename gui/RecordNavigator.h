#pragma once
// The record navigator above a grid: first, previous, next, last, insert, delete,
// edit, post, cancel and refresh, enabled by the table's state.
#include <QWidget>
#include <functional>

class QToolButton;

namespace vb::gui {

class CsvGrid;

class RecordNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };

    // Works on the grid's table; the grid must outlive the navigator.
    explicit RecordNavigator(CsvGrid* grid, QWidget* parent = nullptr);

    // The navigator's own question before a delete ("Datensatz löschen?"); the
    // confirmation box when unset.
    std::function<bool(const QString& text)> FConfirmDelete;

    QToolButton* ButtonOf(Button button) const { return FButtons[button]; }
    // Does what the button does (also when it is disabled, for the callers that know).
    void Click(Button button);
    void UpdateButtons();

private:
    CsvGrid* FGrid;
    QToolButton* FButtons[nbRefresh + 1] = {};
};

}  // namespace vb::gui
