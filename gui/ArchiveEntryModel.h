#pragma once
// The entry view's model: the rows of an ArchiveBrowser as five columns, and a sixth
// "Auf der Platte" while the entries are compared with the disk. It holds no
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

    // The comparison with the disk: the sixth column, the states as they come in, the
    // filter to what would change and the selection of it (ArchiveBrowser).
    void SetComparing(bool on);
    bool Comparing() const { return FComparing; }
    void SetDiskStates(std::size_t first, const std::vector<DiskState>& states);
    void ClearDiskStates();
    void SetChangedOnly(bool on);
    void SelectChanged();
    void Deselect(const std::vector<std::size_t>& entries);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void SelectionChanged();

private:
    void SelectionTouched();
    // The rows change as a whole (filter); the selection may have changed with them.
    template <typename Change>
    void Reset(Change change);
    ArchiveBrowser FRows;
    bool FComparing = false;
};

}  // namespace vb::gui
