#pragma once
// The rows of the archive browser's entry view: the file entries of the open archive
// (folder entries are left out), their five column texts, the row order that a click
// on a heading sorts, and the selection with its anchor. The selection belongs to the
// entries, so sorting moves it along with them.
#include <cstdint>
#include <string>
#include <vector>

#include "zip/ArchiveEntry.h"
#include "restore/DiskComparison.h"

namespace vb {

enum BrowserColumn { bcName = 0, bcPacked = 1, bcRatio = 2, bcModified = 3, bcOriginal = 4, bcColumnCount = 5 };
// The column of the comparison with the disk, shown after the five while comparing.
inline constexpr int bcDisk = 5;

// An entry's stored modification date and time as the view shows them,
// "03.10.2016 14:05:08"; "Unknown" when both are zero.
std::string DosDateTimeText(std::uint16_t date, std::uint16_t time);

class ArchiveBrowser {
public:
    // Lists the file entries of `entries` in archive order, unsorted and with no
    // selection. The sort direction and the anchor start afresh as well.
    void Load(const std::vector<ArchiveEntry>& entries);
    void Clear() { Load({}); }

    std::size_t RowCount() const { return FOrder.size(); }
    // The archive index of the entry shown in `row`.
    std::size_t EntryAt(std::size_t row) const { return FItems[FOrder.at(row)].Entry; }
    // The text of one cell: the file name without its folder, the compressed size,
    // the ratio in whole percent, the modification date and time ("Unknown" when
    // both are zero), the uncompressed size.
    std::string CellText(std::size_t row, int column) const;

    // The comparison's states of the entries (archive indices) first .. first +
    // states.size() - 1; folder entries and indices beyond the archive are passed over.
    void SetDiskStates(std::size_t first, const std::vector<DiskState>& states);
    // Every entry back to Unknown (another archive or root, or the comparison is off).
    void ClearDiskStates();
    DiskState DiskStateAt(std::size_t row) const { return FItems[FOrder.at(row)].Disk; }
    // Only the rows whose entries would change something on disk (WouldChange) are
    // listed; entries left out are no longer selected. Off lists every row again.
    void SetChangedOnly(bool on);
    bool ChangedOnly() const { return FChangedOnly; }
    // Selects the entries that would change something on disk, and nothing else.
    void SelectChanged();
    // The state of the entry with archive index `entry` (Unknown for a folder entry).
    DiskState DiskStateOfEntry(std::size_t entry) const;
    // Takes the entries (archive indices) out of the selection.
    void Deselect(const std::vector<std::size_t>& entries);

    // A click on the heading of `column`: sorts the rows by it. The direction
    // alternates from one click to the next, whichever heading is clicked; the first
    // click sorts ascending.
    void SortBy(int column);
    int SortColumn() const { return FSortColumn; }  // -1 while unsorted
    bool SortAscending() const { return FAscending; }

    bool IsSelected(std::size_t row) const { return FSelected[FOrder.at(row)] != 0; }
    std::size_t SelectedCount() const { return FSelectedCount; }
    // A mouse click on `row`: alone it selects the row alone; with Ctrl it adds the
    // row to the selection or removes it; with Shift it selects every row from the
    // anchor to `row` and nothing else. A click without Shift sets the anchor.
    void Click(std::size_t row, bool ctrl, bool shift);
    void SelectAll();  // the rows listed
    void ClearSelection();
    // The archive indices of the selected entries, in archive order.
    std::vector<std::size_t> SelectedEntries() const;

private:
    struct Item {
        std::size_t Entry = 0;
        std::string Name;  // without folder
        std::uint64_t Packed = 0;
        std::uint64_t Original = 0;
        std::uint32_t Modified = 0;  // DOS date << 16 | DOS time
        DiskState Disk = DiskState::Unknown;
    };
    static int Ratio(const Item& item);
    void Select(std::size_t item, bool on);
    // FOrder from FSorted, without the rows that the filter leaves out.
    void ApplyFilter();

    std::vector<Item> FItems;           // in archive order
    std::vector<std::uint32_t> FSorted;  // every item, in the order of the last sort
    std::vector<std::uint32_t> FOrder;   // row -> item: FSorted as the filter leaves it
    std::vector<std::uint32_t> FItemOf;  // archive index -> item; UINT32_MAX for folders
    bool FChangedOnly = false;
    std::vector<char> FSelected;        // per item
    std::size_t FSelectedCount = 0;
    std::size_t FAnchor = 0;            // item of the last click without Shift
    int FSortColumn = -1;
    bool FAscending = false;
};

}  // namespace vb
