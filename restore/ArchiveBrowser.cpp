#include "restore/ArchiveBrowser.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "util/GermanFormat.h"

namespace vb {
namespace {

unsigned char FoldAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

int CompareNames(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = FoldAscii(static_cast<unsigned char>(a[i]));
        const unsigned char y = FoldAscii(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
}

}  // namespace

std::string DosDateTimeText(std::uint16_t date, std::uint16_t time) {
    if (date == 0 && time == 0) return "Unknown";
    std::tm local{};
    local.tm_year = 80 + (date >> 9);
    local.tm_mon = ((date >> 5) & 0x0F) - 1;
    local.tm_mday = date & 0x1F;
    local.tm_hour = time >> 11;
    local.tm_min = (time >> 5) & 0x3F;
    local.tm_sec = (time & 0x1F) * 2;
    return FormatShortDate(local) + " " + FormatLongTime(local);
}

void ArchiveBrowser::Load(const std::vector<ArchiveEntry>& entries) {
    FItems.clear();
    FItemOf.assign(entries.size(), UINT32_MAX);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ArchiveEntry& e = entries[i];
        if (e.IsFolder()) continue;
        FItemOf[i] = static_cast<std::uint32_t>(FItems.size());
        Item item;
        item.Entry = i;
        const std::size_t slash = e.Name.find_last_of('/');
        item.Name = slash == std::string::npos ? e.Name : e.Name.substr(slash + 1);
        item.Packed = e.CompressedSize;
        item.Original = e.UncompressedSize;
        item.Modified = static_cast<std::uint32_t>(e.DosDate) << 16 | e.DosTime;
        FItems.push_back(std::move(item));
    }
    FSorted.resize(FItems.size());
    std::iota(FSorted.begin(), FSorted.end(), 0u);
    FOrder = FSorted;
    FChangedOnly = false;
    FSelected.assign(FItems.size(), 0);
    FSelectedCount = 0;
    FAnchor = 0;
    FSortColumn = -1;
    FAscending = false;
}

int ArchiveBrowser::Ratio(const Item& item) {
    if (item.Original == 0) return 0;
    return static_cast<int>(std::lround(100.0 - 100.0 * static_cast<double>(item.Packed) / static_cast<double>(item.Original)));
}

std::string ArchiveBrowser::CellText(std::size_t row, int column) const {
    const Item& item = FItems[FOrder.at(row)];
    switch (column) {
    case bcName: return item.Name;
    case bcPacked: return std::to_string(item.Packed);
    case bcRatio: return std::to_string(Ratio(item));
    case bcOriginal: return std::to_string(item.Original);
    case bcModified: return DosDateTimeText(static_cast<std::uint16_t>(item.Modified >> 16), item.Modified & 0xFFFF);
    case bcDisk: return DiskStateText(item.Disk);
    default: return {};
    }
}

void ArchiveBrowser::SortBy(int column) {
    if (column < 0 || column > bcDisk) return;
    FSortColumn = column;
    FAscending = !FAscending;
    const auto less = [&](std::uint32_t x, std::uint32_t y) {
        const Item& a = FItems[x];
        const Item& b = FItems[y];
        switch (column) {
        case bcName: return CompareNames(a.Name, b.Name) < 0;
        case bcPacked: return a.Packed < b.Packed;
        case bcRatio: return Ratio(a) < Ratio(b);
        case bcModified: return a.Modified < b.Modified;
        case bcDisk: return a.Disk < b.Disk;
        default: return a.Original < b.Original;
        }
    };
    // Equal keys keep archive order in both directions.
    std::sort(FSorted.begin(), FSorted.end(), [&](std::uint32_t x, std::uint32_t y) {
        if (FAscending ? less(x, y) : less(y, x)) return true;
        if (FAscending ? less(y, x) : less(x, y)) return false;
        return x < y;
    });
    ApplyFilter();
}

void ArchiveBrowser::ApplyFilter() {
    if (!FChangedOnly) {
        FOrder = FSorted;
        return;
    }
    FOrder.clear();
    for (const std::uint32_t item : FSorted) {
        if (WouldChange(FItems[item].Disk))
            FOrder.push_back(item);
        else
            Select(item, false);
    }
}

void ArchiveBrowser::SetDiskStates(std::size_t first, const std::vector<DiskState>& states) {
    for (std::size_t i = 0; i < states.size() && first + i < FItemOf.size(); ++i) {
        const std::uint32_t item = FItemOf[first + i];
        if (item != UINT32_MAX) FItems[item].Disk = states[i];
    }
    if (FChangedOnly) ApplyFilter();
}

void ArchiveBrowser::ClearDiskStates() {
    for (Item& item : FItems) item.Disk = DiskState::Unknown;
    if (FChangedOnly) ApplyFilter();
}

void ArchiveBrowser::SetChangedOnly(bool on) {
    FChangedOnly = on;
    ApplyFilter();
}

DiskState ArchiveBrowser::DiskStateOfEntry(std::size_t entry) const {
    const std::uint32_t item = entry < FItemOf.size() ? FItemOf[entry] : UINT32_MAX;
    return item == UINT32_MAX ? DiskState::Unknown : FItems[item].Disk;
}

void ArchiveBrowser::Deselect(const std::vector<std::size_t>& entries) {
    for (const std::size_t entry : entries) {
        if (entry < FItemOf.size() && FItemOf[entry] != UINT32_MAX) Select(FItemOf[entry], false);
    }
}

void ArchiveBrowser::SelectChanged() {
    for (std::size_t item = 0; item < FItems.size(); ++item) Select(item, WouldChange(FItems[item].Disk));
}

void ArchiveBrowser::Select(std::size_t item, bool on) {
    if ((FSelected[item] != 0) == on) return;
    FSelected[item] = on ? 1 : 0;
    FSelectedCount += on ? 1 : static_cast<std::size_t>(-1);
}

void ArchiveBrowser::Click(std::size_t row, bool ctrl, bool shift) {
    if (row >= FOrder.size()) return;
    const std::size_t item = FOrder[row];
    if (shift) {
        std::size_t anchorRow = 0;
        for (std::size_t r = 0; r < FOrder.size(); ++r) {
            if (FOrder[r] == FAnchor) anchorRow = r;
        }
        ClearSelection();
        for (std::size_t r = std::min(anchorRow, row); r <= std::max(anchorRow, row); ++r) Select(FOrder[r], true);
        return;
    }
    FAnchor = item;
    if (ctrl) {
        Select(item, FSelected[item] == 0);
        return;
    }
    ClearSelection();
    Select(item, true);
}

void ArchiveBrowser::SelectAll() {
    for (const std::uint32_t item : FOrder) Select(item, true);
}

void ArchiveBrowser::ClearSelection() {
    std::fill(FSelected.begin(), FSelected.end(), 0);
    FSelectedCount = 0;
}

std::vector<std::size_t> ArchiveBrowser::SelectedEntries() const {
    std::vector<std::size_t> entries;
    entries.reserve(FSelectedCount);
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        if (FSelected[i]) entries.push_back(FItems[i].Entry);
    }
    return entries;
}

}  // namespace vb
