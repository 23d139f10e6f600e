#include "gui/AbZipView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace vb::gui {
namespace {

constexpr int kHeaderHeight = 17;
constexpr int kRowHeight = 15;
constexpr int kInset = 5;
constexpr int kWidths[bcDisk + 1] = {270, 70, 60, 115, 70, 150};

// Draws a cell as the grid shows it: the system highlight colours for a selected
// row, the text inset 5 pixels from its edge, a vertical grid line on the right.
class EntryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = index.data(ArchiveEntryModel::SelectedRole).toBool();
        const QPalette& palette = option.palette;
        painter->save();
        if (selected) painter->fillRect(option.rect, palette.brush(QPalette::Active, QPalette::Highlight));
        const auto alignment = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
        const QRect text = option.rect.adjusted(kInset, 0, -kInset - 1, 0);
        const QString shown = option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, text.width());
        painter->setPen(palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(text, static_cast<int>(alignment), shown);
        painter->setPen(palette.color(QPalette::Mid));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
};

}  // namespace

AbZipView::AbZipView(QWidget* parent) : QTableView(parent), FModel(new ArchiveEntryModel(this)) {
    setObjectName("AbZipView1");
    setModel(FModel);
    setItemDelegate(new EntryDelegate(this));
    // The rows' selection lives in the model, with the entries.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* header = horizontalHeader();
    header->setFixedHeight(kHeaderHeight);
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(10);
    for (int column = 0; column < bcColumnCount; ++column) setColumnWidth(column, kWidths[column]);
    connect(header, &QHeaderView::sectionClicked, this, &AbZipView::HeaderClick);
    connect(FModel, &QAbstractItemModel::modelReset, this, &AbZipView::PlaceDiskColumn);

    FPopupMenu1 = new QMenu(this);
    FPopupMenu1->setObjectName("PopupMenu1");
    AllesMarkieren = FPopupMenu1->addAction("Alle markieren");
    AllesMarkieren->setObjectName("AllesMarkieren");
    MarkierungAufheben = FPopupMenu1->addAction("Markierung aufheben");
    MarkierungAufheben->setObjectName("MarkierungAufheben");
    connect(AllesMarkieren, &QAction::triggered, this, &AbZipView::AllesMarkierenClick);
    connect(MarkierungAufheben, &QAction::triggered, this, &AbZipView::MarkierungAufhebenClick);
    connect(FPopupMenu1, &QMenu::aboutToShow, this, &AbZipView::PopupMenu1Popup);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { FPopupMenu1->popup(viewport()->mapToGlobal(at)); });
}

void AbZipView::HeaderClick(int column) {
    FModel->SortBy(column);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(column, FModel->Rows().SortAscending() ? Qt::AscendingOrder
                                                                                : Qt::DescendingOrder);
}

void AbZipView::SetComparing(bool on) {
    FModel->SetComparing(on);
    PlaceDiskColumn();
}

// The comparison's column stands right of the name, where it is seen without
// scrolling also at large font sizes; it keeps its place when the rows are reloaded.
void AbZipView::PlaceDiskColumn() {
    if (!FModel->Comparing()) return;
    QHeaderView* header = horizontalHeader();
    if (header->visualIndex(bcDisk) != 1) {
        header->moveSection(header->visualIndex(bcDisk), 1);
        setColumnWidth(bcDisk, kWidths[bcDisk]);
    }
}

void AbZipView::AllesMarkierenClick() { FModel->SelectAll(); }

void AbZipView::MarkierungAufhebenClick() { FModel->ClearSelection(); }

void AbZipView::PopupMenu1Popup() {
    AllesMarkieren->setEnabled(true);
    MarkierungAufheben->setEnabled(FModel->Rows().SelectedCount() > 0);
}

void AbZipView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid()) {
        const Qt::KeyboardModifiers modifiers = event->modifiers();
        FModel->Click(index.row(), modifiers & Qt::ControlModifier, modifiers & Qt::ShiftModifier);
        setCurrentIndex(index);
        return;
    }
    QTableView::mousePressEvent(event);
}

// The second press of a double click selects nothing further.
void AbZipView::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

void AbZipView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::SelectAll)) {
        AllesMarkierenClick();
        return;
    }
    QTableView::keyPressEvent(event);
}

}  // namespace vb::gui
