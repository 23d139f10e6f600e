#include "gui/ArchiveEntryModel.h"

namespace vb::gui {
namespace {

struct ColumnInfo {
    const char* Heading;
    Qt::Alignment Alignment;
};
const ColumnInfo kColumns[bcColumnCount] = {
    {"Name", Qt::AlignLeft | Qt::AlignVCenter},
    {"Gepackt", Qt::AlignRight | Qt::AlignVCenter},
    {"Ratio (%)", Qt::AlignHCenter | Qt::AlignVCenter},
    {"Letzte \xC3\x84nderung", Qt::AlignLeft | Qt::AlignVCenter},
    {"Original", Qt::AlignRight | Qt::AlignVCenter},
};

}  // namespace

ArchiveEntryModel::ArchiveEntryModel(QObject* parent) : QAbstractTableModel(parent) {}

void ArchiveEntryModel::Load(const std::vector<ArchiveEntry>& entries) {
    beginResetModel();
    FRows.Load(entries);
    endResetModel();
    emit SelectionChanged();
}

void ArchiveEntryModel::SortBy(int column) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    FRows.SortBy(column);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ArchiveEntryModel::SelectionTouched() {
    if (FRows.RowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, bcColumnCount - 1), {SelectedRole});
    emit SelectionChanged();
}

void ArchiveEntryModel::Click(int row, bool ctrl, bool shift) {
    FRows.Click(static_cast<std::size_t>(row), ctrl, shift);
    SelectionTouched();
}

void ArchiveEntryModel::SelectAll() {
    FRows.SelectAll();
    SelectionTouched();
}

void ArchiveEntryModel::ClearSelection() {
    FRows.ClearSelection();
    SelectionTouched();
}

int ArchiveEntryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRows.RowCount());
}

int ArchiveEntryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : bcColumnCount; }

QVariant ArchiveEntryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= bcColumnCount) return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(FRows.CellText(row, index.column()));
    case Qt::TextAlignmentRole: return QVariant::fromValue(kColumns[index.column()].Alignment);
    case SelectedRole: return FRows.IsSelected(row);
    default: return {};
    }
}

QVariant ArchiveEntryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= bcColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromUtf8(kColumns[section].Heading);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(kColumns[section].Alignment);
    return {};
}

}  // namespace vb::gui
