#pragma once
// The entry view's model: the rows of an ArchiveBrowser as five columns. It holds no
// data of its own beyond the browser's rows; the selection lives there too, so that
// it stays with the entries when the rows are sorted.
#include <QAbstractTableModel>

#include "restore/ArchiveBrowser.h"

namespace vb::gui {

class ArchiveEntryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Role of a boolean: the row is selected.
    static constexpr int SelectedRole = Qt::UserRole + 1;

    explicit ArchiveEntryModel(QObject* parent = nullptr);

    const ArchiveBrowser& Rows() const { return FRows; }
    // Lists the file entries of `entries` afresh, unsorted and with no selection.
    void Load(const std::vector<ArchiveEntry>& entries);
    void SortBy(int column);
    void Click(int row, bool ctrl, bool shift);
    void SelectAll();
    void ClearSelection();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void SelectionChanged();

private:
    void SelectionTouched();
    ArchiveBrowser FRows;
};

}  // namespace vb::gui
