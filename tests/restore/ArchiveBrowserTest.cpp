// The rows of the entry view: which entries are listed, their texts, sorting and the
// selection rules.
#include "restore/ArchiveBrowser.h"

#include <gtest/gtest.h>

namespace vb {
namespace {

ArchiveEntry Entry(const std::string& name, std::uint64_t packed, std::uint64_t original, std::uint16_t date,
                   std::uint16_t time) {
    ArchiveEntry e;
    e.Name = name;
    e.CompressedSize = packed;
    e.UncompressedSize = original;
    e.DosDate = date;
    e.DosTime = time;
    return e;
}

constexpr std::uint16_t Date(int y, int m, int d) { return static_cast<std::uint16_t>((y - 1980) << 9 | m << 5 | d); }
constexpr std::uint16_t Time(int h, int m, int s) { return static_cast<std::uint16_t>(h << 11 | m << 5 | s / 2); }

// Archive order: a folder entry, then four files in two folders.
std::vector<ArchiveEntry> Sample() {
    return {
        Entry("Daten/", 0, 0, Date(2016, 10, 3), Time(14, 5, 8)),
        Entry("Daten/noten.ini", 60, 100, Date(2016, 10, 3), Time(14, 5, 8)),
        Entry("Daten/DB/Sch\xC3\xBCler.mdb", 2500, 10000, Date(2015, 1, 2), Time(8, 0, 0)),
        Entry("brief.txt", 10, 10, 0, 0),
        Entry("Andere/noten.ini", 5000000000ull, 6000000000ull, Date(2020, 12, 31), Time(23, 59, 58)),
    };
}

std::vector<std::string> Column(const ArchiveBrowser& rows, int column) {
    std::vector<std::string> texts;
    for (std::size_t r = 0; r < rows.RowCount(); ++r) texts.push_back(rows.CellText(r, column));
    return texts;
}

TEST(ArchiveBrowserTest, ListsFileEntriesInArchiveOrderWithTheirColumns) {
    ArchiveBrowser rows;
    rows.Load(Sample());
    ASSERT_EQ(rows.RowCount(), 4u);
    EXPECT_EQ(Column(rows, bcName), (std::vector<std::string>{"noten.ini", "Sch\xC3\xBCler.mdb", "brief.txt", "noten.ini"}));
    EXPECT_EQ(Column(rows, bcPacked), (std::vector<std::string>{"60", "2500", "10", "5000000000"}));
    EXPECT_EQ(Column(rows, bcRatio), (std::vector<std::string>{"40", "75", "0", "17"}));
    EXPECT_EQ(Column(rows, bcModified), (std::vector<std::string>{"03.10.2016 14:05:08", "02.01.2015 08:00:00",
                                                                  "Unknown", "31.12.2020 23:59:58"}));
    EXPECT_EQ(Column(rows, bcOriginal), (std::vector<std::string>{"100", "10000", "10", "6000000000"}));
    EXPECT_EQ(rows.EntryAt(0), 1u);
    EXPECT_EQ(rows.EntryAt(3), 4u);
}

TEST(ArchiveBrowserTest, EachHeadingClickSortsAndTheDirectionAlternatesAcrossHeadings) {
    const struct {
        int column;
        std::vector<std::size_t> entries;  // archive indices, top to bottom
    } clicks[] = {
        {bcName, {3, 1, 4, 2}},      // ascending; equal names keep archive order
        {bcName, {2, 1, 4, 3}},      // descending
        {bcPacked, {3, 1, 2, 4}},    // ascending again, although another heading
        {bcRatio, {2, 1, 4, 3}},     // descending
        {bcModified, {3, 2, 1, 4}},  // "Unknown" (zero) first
        {bcOriginal, {4, 2, 1, 3}},
    };
    ArchiveBrowser rows;
    rows.Load(Sample());
    bool ascending = true;
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.column);
        rows.SortBy(click.column);
        EXPECT_EQ(rows.SortColumn(), click.column);
        EXPECT_EQ(rows.SortAscending(), ascending);
        std::vector<std::size_t> shown;
        for (std::size_t r = 0; r < rows.RowCount(); ++r) shown.push_back(rows.EntryAt(r));
        EXPECT_EQ(shown, click.entries);
        ascending = !ascending;
    }
}

TEST(ArchiveBrowserTest, SelectionStaysWithTheEntriesWhenSorted) {
    ArchiveBrowser rows;
    rows.Load(Sample());
    rows.Click(1, false, false);  // Schüler.mdb
    rows.Click(3, true, false);   // Andere/noten.ini
    rows.SortBy(bcName);
    EXPECT_EQ(rows.SelectedEntries(), (std::vector<std::size_t>{2, 4}));
    std::vector<bool> marked;
    for (std::size_t r = 0; r < rows.RowCount(); ++r) marked.push_back(rows.IsSelected(r));
    EXPECT_EQ(marked, (std::vector<bool>{false, false, true, true}));  // brief, noten(1), noten(4), Schüler
}

TEST(ArchiveBrowserTest, ClicksFollowThePlainCtrlAndShiftRules) {
    const struct {
        const char* name;
        std::vector<std::tuple<std::size_t, bool, bool>> clicks;  // row, ctrl, shift
        std::vector<std::size_t> selected;                        // archive indices
    } cases[] = {
        {"plain click selects alone", {{0, false, false}, {2, false, false}}, {3}},
        {"ctrl adds", {{0, false, false}, {2, true, false}}, {1, 3}},
        {"ctrl removes", {{0, false, false}, {2, true, false}, {0, true, false}}, {3}},
        {"shift from the anchor, nothing else", {{3, false, false}, {1, false, true}}, {2, 3, 4}},
        {"ctrl click moves the anchor", {{0, false, false}, {3, true, false}, {2, false, true}}, {3, 4}},
        {"shift keeps the anchor", {{1, false, false}, {3, false, true}, {0, false, true}}, {1, 2}},
        {"shift without a click starts at the top", {{2, false, true}}, {1, 2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveBrowser rows;
        rows.Load(Sample());
        for (const auto& [row, ctrl, shift] : c.clicks) rows.Click(row, ctrl, shift);
        EXPECT_EQ(rows.SelectedEntries(), c.selected);
        EXPECT_EQ(rows.SelectedCount(), c.selected.size());
    }
}

TEST(ArchiveBrowserTest, SelectAllTakesFileEntriesOnlyAndLoadStartsAfresh) {
    ArchiveBrowser rows;
    rows.Load(Sample());
    rows.SortBy(bcName);
    rows.SelectAll();
    EXPECT_EQ(rows.SelectedEntries(), (std::vector<std::size_t>{1, 2, 3, 4}));  // not the folder entry 0
    rows.Load(Sample());
    EXPECT_EQ(rows.SelectedCount(), 0u);
    EXPECT_EQ(rows.SortColumn(), -1);
    rows.SortBy(bcPacked);
    EXPECT_TRUE(rows.SortAscending());
}

// The comparison's column, the filter to what would change and "Nur geänderte":
// what is hidden is not selected, and the filter follows states that come in later.
TEST(ArchiveBrowserTest, DiskStatesFilterAndSelectTheChangedEntries) {
    ArchiveBrowser rows;
    rows.Load(Sample());
    rows.SetDiskStates(0, {DiskState::Ordner, DiskState::Gleich, DiskState::NeuerAufPlatte});
    EXPECT_EQ(Column(rows, bcDisk), (std::vector<std::string>{"gleich", "neuer auf der Platte", "", ""}));
    rows.SelectAll();
    rows.SetChangedOnly(true);
    EXPECT_EQ(Column(rows, bcName), (std::vector<std::string>{"Sch\xC3\xBCler.mdb"}));
    EXPECT_EQ(rows.SelectedEntries(), (std::vector<std::size_t>{2}));
    rows.SetDiskStates(3, {DiskState::Neu, DiskState::Gleich});
    EXPECT_EQ(Column(rows, bcName), (std::vector<std::string>{"Sch\xC3\xBCler.mdb", "brief.txt"}));
    EXPECT_EQ(rows.SelectedEntries(), (std::vector<std::size_t>{2}));
    rows.SortBy(bcName);
    EXPECT_EQ(Column(rows, bcName), (std::vector<std::string>{"brief.txt", "Sch\xC3\xBCler.mdb"}));
    rows.SetChangedOnly(false);
    EXPECT_EQ(rows.RowCount(), 4u);
    rows.Click(0, false, false);
    rows.SelectChanged();
    EXPECT_EQ(rows.SelectedEntries(), (std::vector<std::size_t>{2, 3}));
    rows.ClearDiskStates();
    EXPECT_EQ(Column(rows, bcDisk), (std::vector<std::string>{"", "", "", ""}));
}

}  // namespace
}  // namespace vb
