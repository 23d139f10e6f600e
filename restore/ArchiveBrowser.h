#pragma once
// The rows of the archive browser's entry view: the file entries of the open archive
// (folder entries are left out), their five column texts, the row order that a click
// on a heading sorts, and the selection with its anchor. The selection belongs to the
// entries, so sorting moves it along with them.
#include <cstdint>
#include <string>
#include <vector>

#include "zip/ArchiveEntry.h"

namespace vb {

enum BrowserColumn { bcName = 0, bcPacked = 1, bcRatio = 2, bcModified = 3, bcOriginal = 4, bcColumnCount = 5 };

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
    void SelectAll();
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
    };
    static int Ratio(const Item& item);
    void Select(std::size_t item, bool on);

    std::vector<Item> FItems;           // in archive order
    std::vector<std::uint32_t> FOrder;  // row -> item
    std::vector<char> FSelected;        // per item
    std::size_t FSelectedCount = 0;
    std::size_t FAnchor = 0;            // item of the last click without Shift
    int FSortColumn = -1;
    bool FAscending = false;
};

}  // namespace vb
