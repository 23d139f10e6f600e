#include "gui/CsvTableModel.h"

namespace vb::gui {

CsvTableModel::CsvTableModel(CsvTable& table, QVector<GridColumn> columns, bool cellHints, QObject* parent)
    : QAbstractTableModel(parent), FTable(&table), FColumns(std::move(columns)), FCellHints(cellHints) {
    for (const GridColumn& column : FColumns) FFields.push_back(FTable->FieldByName(column.Field.toStdString()));
    FTable->AddObserver(this);
}

CsvTableModel::~CsvTableModel() {
    if (FTable) FTable->RemoveObserver(this);
}

void CsvTableModel::TableDestroyed() {
    beginResetModel();
    FTable = nullptr;
    endResetModel();
}

bool CsvTableModel::IsBoolean(int column) const {
    return FTable && FTable->Columns().at(FFields.at(column)).Type == CsvColumnType::Boolean;
}

int CsvTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !FTable || !FTable->Active() ? 0 : FTable->RowCount();
}

int CsvTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FColumns.size(); }

QVariant CsvTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int field = FFields.at(index.column());
    if (role == Qt::ToolTipRole) return FCellHints ? QVariant(FColumns.at(index.column()).Hint) : QVariant();
    if (IsBoolean(index.column())) {
        if (role != Qt::CheckStateRole) return {};
        const std::optional<bool> value = FTable->BoolAt(index.row(), field);
        if (!value) return {};
        return *value ? Qt::Checked : Qt::Unchecked;
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return QString::fromStdString(FTable->TextAt(index.row(), field));
    }
    return {};
}

QStringList CsvTableModel::RowMarks() { return {QStringLiteral("▶"), QStringLiteral("I"), QStringLiteral("*")}; }

QVariant CsvTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= FColumns.size()) return {};
        if (role == Qt::DisplayRole) return FColumns.at(section).Title;
        if (role == Qt::ToolTipRole) return FColumns.at(section).Hint;
        return {};
    }
    // The row indicator: the current row, and whether it is being edited or inserted.
    if (role != Qt::DisplayRole || !FTable || section != FTable->CurrentRow()) return {};
    const QStringList marks = RowMarks();
    switch (FTable->State()) {
    case CsvTableState::Edit: return marks.at(1);
    case CsvTableState::Insert: return marks.at(2);
    default: return marks.at(0);
    }
}

Qt::ItemFlags CsvTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!IsBoolean(index.column())) flags |= Qt::ItemIsEditable;
    return flags;
}

bool CsvTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !FTable || role != Qt::EditRole || IsBoolean(index.column())) return false;
    const std::string text = value.toString().toStdString();
    const int field = FFields.at(index.column());
    if (index.row() != FTable->CurrentRow()) return false;
    if (FTable->State() == CsvTableState::Browse) {
        // Typing the same text again changes nothing and starts no edit.
        if (FTable->GetText(field) == text) return true;
        FTable->Edit();
    }
    FTable->SetText(field, text);
    return true;
}

void CsvTableModel::TableChanged(CsvTableChange change, int row) {
    switch (change) {
    case CsvTableChange::Reset:
        beginResetModel();
        endResetModel();
        emit CurrentRowChanged(FTable->CurrentRow());
        emit StateChanged();
        break;
    case CsvTableChange::Row:
        if (row >= 0 && row < rowCount()) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        if (rowCount() > 0) emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
        emit StateChanged();
        break;
    case CsvTableChange::Current:
        if (rowCount() > 0) emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
        emit CurrentRowChanged(row);
        break;
    case CsvTableChange::State:
        if (row >= 0 && row < rowCount()) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        if (rowCount() > 0) emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
        emit StateChanged();
        break;
    case CsvTableChange::Inserting:
        beginInsertRows({}, row, row);
        break;
    case CsvTableChange::Removing:
        beginRemoveRows({}, row, row);
        break;
    case CsvTableChange::Inserted:
    case CsvTableChange::Removed:
        if (change == CsvTableChange::Inserted) {
            endInsertRows();
        } else {
            endRemoveRows();
        }
        if (rowCount() > 0) emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
        emit CurrentRowChanged(FTable->CurrentRow());
        emit StateChanged();
        break;
    }
}

}  // namespace vb::gui
