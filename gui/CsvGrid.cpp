#include "gui/CsvGrid.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include "util/Error.h"
#include "gui/MessageBoxes.h"

namespace vb::gui {
namespace {

constexpr int kHintMilliseconds = 1000;

// The cell editor of a column with an ellipsis button: a line edit and "...".
class EllipsisEditor : public QWidget {
public:
    EllipsisEditor(QWidget* parent, CsvGrid* grid) : QWidget(parent) {
        setAutoFillBackground(true);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        FEdit = new QLineEdit(this);
        FEdit->setFrame(false);
        auto* button = new QToolButton(this);
        button->setObjectName("EllipsisButton");
        button->setText(QStringLiteral("..."));
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(FEdit, 1);
        layout->addWidget(button);
        setFocusProxy(FEdit);
        // Queued: the picker's answer closes and rebuilds this editor.
        connect(button, &QToolButton::clicked, grid, [grid] { QTimer::singleShot(0, grid, [grid] { grid->EllipsisClick(); }); });
    }
    QLineEdit* Edit() const { return FEdit; }

private:
    QLineEdit* FEdit;
};

class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(CsvGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (!FGrid->Model()->Column(index.column()).Ellipsis) return QStyledItemDelegate::createEditor(parent, option, index);
        return new EllipsisEditor(parent, FGrid);
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* ellipsis = dynamic_cast<EllipsisEditor*>(editor)) {
            ellipsis->Edit()->setText(index.data(Qt::EditRole).toString());
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }
    // Esc in a cell editor drops what was typed and cancels the edit of the row.
    bool eventFilter(QObject* object, QEvent* event) override {
        const bool escape = event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
        const bool handled = QStyledItemDelegate::eventFilter(object, event);
        if (escape) QTimer::singleShot(0, FGrid, [grid = FGrid] { grid->CancelRow(); });
        return handled;
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        FGrid->Guarded([&] {
            if (auto* ellipsis = dynamic_cast<EllipsisEditor*>(editor)) {
                model->setData(index, ellipsis->Edit()->text(), Qt::EditRole);
            } else {
                QStyledItemDelegate::setModelData(editor, model, index);
            }
        });
    }

private:
    CsvGrid* FGrid;
};

}  // namespace

CsvGrid::CsvGrid(CsvTableModel* model, QWidget* parent) : QTableView(parent), FModel(model) {
    FModel->setParent(this);
    setModel(FModel);
    setItemDelegate(new GridDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab and Shift+Tab go to the window's next or previous control, as everywhere
    // else; the arrow keys move between cells.
    setTabKeyNavigation(false);
    // A cell is one line: a text that does not fit ends in an ellipsis and shows
    // whole in the cell's hint, instead of wrapping out of the 17-pixel row.
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->viewport()->installEventFilter(this);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FitRowsToFont();
    for (int column = 0; column < FModel->columnCount(); ++column) setColumnWidth(column, FModel->Column(column).Width);
    connect(FModel, &CsvTableModel::CurrentRowChanged, this, &CsvGrid::FollowTable);
    FollowTable(Table().CurrentRow());
}

// Every grid has rows of one height: 17 pixels at the window font, or more where a
// larger font or the style's check box needs it, so that check marks keep their frame.
// The row indicator's column is as wide as its widest mark, so that it does not
// change width when a row enters edit or insert state.
void CsvGrid::FitRowsToFont() {
    constexpr int kDesignedRowHeight = 17;
    const int checkBox = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this);
    constexpr int kRowPadding = 3;
    const int rowHeight =
        std::max({kDesignedRowHeight, fontMetrics().height() + kRowPadding, checkBox + kRowPadding});
    verticalHeader()->setMinimumSectionSize(rowHeight);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    horizontalHeader()->setFixedHeight(rowHeight);
    int indicatorWidth = 0;
    for (const QString& mark : CsvTableModel::RowMarks()) {
        QStyleOptionHeader option;
        option.initFrom(verticalHeader());
        option.orientation = Qt::Vertical;
        option.text = mark;
        option.fontMetrics = verticalHeader()->fontMetrics();
        const QSize size = style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), verticalHeader());
        indicatorWidth = std::max(indicatorWidth, size.width());
    }
    verticalHeader()->setFixedWidth(indicatorWidth);
}

void CsvGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) FitRowsToFont();
}

void CsvGrid::Guarded(const std::function<void()>& action) {
    if (!FModel->HasTable()) return;
    try {
        action();
    } catch (const Error& error) {
        const QString message = QString::fromStdString(error.what());
        if (FErrorHandler) {
            FErrorHandler(message);
        } else {
            ErrorBox(this, message);
        }
    }
    // A refused or failed move leaves the table where it was; show that row.
    FollowTable(Table().CurrentRow());
}

void CsvGrid::FollowTable(int row) {
    if (FFollowing || !FModel->HasTable()) return;
    FFollowing = true;
    if (row >= 0 && row < FModel->rowCount()) {
        const int column = std::max(currentIndex().column(), 0);
        const QModelIndex target = FModel->index(row, column);
        if (currentIndex() != target) setCurrentIndex(target);
    }
    FFollowing = false;
}

void CsvGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (FFollowing || !FModel->HasTable() || !current.isValid() || current.row() == Table().CurrentRow()) return;
    const int row = current.row();
    // The user moved to another row: the table follows (storing an edited row).
    QTimer::singleShot(0, this, [this, row] {
        Guarded([&] { Table().MoveTo(row); });
    });
}

// When the current row goes, Qt moves the current cell to a neighbour and scrolls to
// it. The table decides which row is current afterwards (the grid follows it), so
// that move must neither move the table nor the view.
void CsvGrid::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    const bool following = std::exchange(FFollowing, true);
    const bool autoScrolling = hasAutoScroll();
    setAutoScroll(false);
    QTableView::rowsAboutToBeRemoved(parent, start, end);
    setAutoScroll(autoScrolling);
    FFollowing = following;
}

QWidget* CsvGrid::OpenEditor() const {
    if (state() != QAbstractItemView::EditingState) return nullptr;
    QWidget* editor = QApplication::focusWidget();
    while (editor && editor->parentWidget() != viewport()) editor = editor->parentWidget();
    return editor;
}

void CsvGrid::CommitEditor() {
    if (QWidget* editor = OpenEditor()) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void CsvGrid::DiscardEditor() {
    if (QWidget* editor = OpenEditor()) closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void CsvGrid::EllipsisClick() {
    const QModelIndex index = currentIndex();
    if (!index.isValid() || !FModel->Column(index.column()).Ellipsis) return;
    CommitEditor();
    Guarded([&] {
        if (Table().State() == CsvTableState::Browse) Table().Edit();
        if (FEllipsisHandler) FEllipsisHandler(index.column());
    });
}

void CsvGrid::SetBoolean(int column, std::optional<bool> value) {
    Guarded([&] {
        if (Table().IsEmpty()) return;
        const int field = FModel->FieldOf(column);
        if (Table().State() == CsvTableState::Browse) Table().Edit();
        Table().SetBool(field, value ? *value : !Table().IsNull(field) && !Table().GetBool(field));
    });
}

void CsvGrid::NewRow(bool atEnd) {
    CommitEditor();
    Guarded([&] {
        atEnd ? Table().Append() : Table().Insert();
        // The row as the table's defaults made it, to tell whether it was changed.
        if (Table().State() == CsvTableState::Insert) FNewRowLine = Table().LineAt(Table().CurrentRow());
    });
}

bool CsvGrid::ConfirmDelete() {
    const QString question = QString::fromUtf8("Datensatz löschen?");
    return FConfirmDelete ? FConfirmDelete(question) : ConfirmYesNoBox(this, question);
}

void CsvGrid::CancelRow() {
    DiscardEditor();
    Guarded([&] {
        if (Table().State() == CsvTableState::Edit || Table().State() == CsvTableState::Insert) Table().Cancel();
    });
}

// The keys of a data grid: Insert adds a row, Ctrl+Del deletes the current one after
// the question, Down on the last row appends one (not a second empty one), Esc cancels
// the edit of the row. True when the key was one of them.
bool CsvGrid::RowKey(QKeyEvent* event) {
    if (!FModel->HasTable() || !Table().Active()) return false;
    CsvTable& table = Table();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    switch (event->key()) {
    case Qt::Key_Insert:
        if (!plain) return false;
        NewRow(false);
        return true;
    case Qt::Key_Delete:
        if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier) return false;
        CommitEditor();
        if (table.IsEmpty() || !ConfirmDelete()) return true;
        Guarded([&] { table.Delete(); });
        return true;
    case Qt::Key_Down: {
        if (!plain || table.CurrentRow() != table.RowCount() - 1) return false;
        CommitEditor();
        // A new row nobody has changed yet stays the only new one.
        if (table.State() == CsvTableState::Insert && table.LineAt(table.CurrentRow()) == FNewRowLine) return true;
        NewRow(true);
        return true;
    }
    case Qt::Key_Escape:
        if (table.State() != CsvTableState::Edit && table.State() != CsvTableState::Insert) return false;
        CancelRow();
        return true;
    default: return false;
    }
}

void CsvGrid::keyPressEvent(QKeyEvent* event) {
    if (RowKey(event)) return;
    const QModelIndex index = currentIndex();
    if (index.isValid() && FModel->IsBoolean(index.column()) && state() != QAbstractItemView::EditingState) {
        switch (event->key()) {
        case Qt::Key_Space: SetBoolean(index.column(), std::nullopt); return;
        case Qt::Key_Plus:
        case Qt::Key_1: SetBoolean(index.column(), true); return;
        case Qt::Key_Minus:
        case Qt::Key_0:
        case Qt::Key_Backspace: SetBoolean(index.column(), false); return;
        default: break;
        }
        // Any other printable key would open a text editor; a check mark has none.
        if (!event->text().isEmpty() && event->text().at(0).isPrint()) return;
    }
    if (index.isValid() && FModel->Column(index.column()).Ellipsis &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && (event->modifiers() & Qt::ControlModifier)) {
        EllipsisClick();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CsvGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    // A click on the focused check mark toggles it; the first click only focuses.
    if (event->button() == Qt::LeftButton && index.isValid() && index == currentIndex() &&
        FModel->IsBoolean(index.column())) {
        SetBoolean(index.column(), std::nullopt);
        return;
    }
    QTableView::mousePressEvent(event);
}

bool CsvGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString hint = index.isValid() ? CellHint(index) : QString();
        if (hint.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), hint, viewport(), visualRect(index), kHintMilliseconds);
        }
        return true;
    }
    return QTableView::viewportEvent(event);
}

bool CsvGrid::IsElided(const QModelIndex& index) const {
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) return false;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.text = text;
    option.features |= QStyleOptionViewItem::HasDisplay;
    const QRect textRect = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    // The style keeps a margin on either side of the text.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, this) + 1;
    return option.fontMetrics.horizontalAdvance(text) > textRect.width() - 2 * margin;
}

QString CsvGrid::CellHint(const QModelIndex& index) const {
    const QString columnHint = index.data(Qt::ToolTipRole).toString();
    if (!IsElided(index)) return columnHint;
    const QString text = index.data(Qt::DisplayRole).toString();
    return columnHint.isEmpty() ? text : text + QLatin1Char('\n') + columnHint;
}

bool CsvGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int section = horizontalHeader()->logicalIndexAt(help->pos());
        const QString hint = section >= 0 ? FModel->headerData(section, Qt::Horizontal, Qt::ToolTipRole).toString() : QString();
        if (hint.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), hint, horizontalHeader()->viewport(), {}, kHintMilliseconds);
        }
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

}  // namespace vb::gui
