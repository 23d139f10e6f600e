#include "gui/ArchiveEntryModel.h"

namespace vb::gui {
namespace {

struct ColumnInfo {
    const char* Heading;
    Qt::Alignment Alignment;
};
const ColumnInfo kColumns[bcDisk + 1] = {
    {"Name", Qt::AlignLeft | Qt::AlignVCenter},         {"Gepackt", Qt::AlignRight | Qt::AlignVCenter},
    {"Ratio (%)", Qt::AlignHCenter | Qt::AlignVCenter}, {"Letzte \xC3\x84nderung", Qt::AlignLeft | Qt::AlignVCenter},
    {"Original", Qt::AlignRight | Qt::AlignVCenter},    {"Auf der Platte", Qt::AlignLeft | Qt::AlignVCenter},
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
    if (FRows.RowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {SelectedRole});
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

template <typename Change>
void ArchiveEntryModel::Reset(Change change) {
    beginResetModel();
    change();
    endResetModel();
    emit SelectionChanged();
}

void ArchiveEntryModel::SetComparing(bool on) {
    if (on == FComparing) return;
    Reset([&] {
        FComparing = on;
        FRows.ClearDiskStates();
        if (!on) FRows.SetChangedOnly(false);
    });
}

void ArchiveEntryModel::SetDiskStates(std::size_t first, const std::vector<DiskState>& states) {
    if (FRows.ChangedOnly()) {
        Reset([&] { FRows.SetDiskStates(first, states); });
        return;
    }
    FRows.SetDiskStates(first, states);
    if (FRows.RowCount() > 0) emit dataChanged(index(0, bcDisk), index(rowCount() - 1, bcDisk), {Qt::DisplayRole});
}

void ArchiveEntryModel::ClearDiskStates() {
    Reset([&] { FRows.ClearDiskStates(); });
}

void ArchiveEntryModel::SetChangedOnly(bool on) {
    Reset([&] { FRows.SetChangedOnly(on); });
}

void ArchiveEntryModel::SelectChanged() {
    FRows.SelectChanged();
    SelectionTouched();
}

void ArchiveEntryModel::Deselect(const std::vector<std::size_t>& entries) {
    FRows.Deselect(entries);
    SelectionTouched();
}

int ArchiveEntryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRows.RowCount());
}

int ArchiveEntryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FComparing ? bcDisk + 1 : bcColumnCount;
}

QVariant ArchiveEntryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(FRows.CellText(row, index.column()));
    case Qt::TextAlignmentRole: return QVariant::fromValue(kColumns[index.column()].Alignment);
    case SelectedRole: return FRows.IsSelected(row);
    default: return {};
    }
}

QVariant ArchiveEntryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return QString::fromUtf8(kColumns[section].Heading);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(kColumns[section].Alignment);
    return {};
}

}  // namespace vb::gui
