// What the box before a restore counts and names.
#include "restore/RestorePreview.h"

#include <gtest/gtest.h>

namespace vb {
namespace {

std::vector<ArchiveEntry> Entries(const std::vector<std::string>& names) {
    std::vector<ArchiveEntry> entries;
    for (const std::string& name : names) {
        ArchiveEntry entry;
        entry.Name = name;
        entries.push_back(entry);
    }
    return entries;
}

TEST(RestorePreviewTest, Texts) {
    using enum DiskState;
    struct Row {
        const char* name;
        std::vector<DiskState> states;
        std::vector<std::size_t> selected;
        std::string text;
    };
    const std::vector<ArchiveEntry> entries = Entries({"a/", "a/eins.xls", "a/zwei.xls", "a/drei.xls", "vier.doc"});
    const Row rows[] = {
        {"created and replaced",
         {Ordner, Neu, AelterAufPlatte, Neu, AndersAufPlatte},
         {0, 1, 2, 3, 4},
         "Es werden 2 Dateien ersetzt und 2 Dateien neu angelegt."},
        {"one of each, unchanged ones",
         {Ordner, Neu, Gleich, Gleich, AelterAufPlatte},
         {1, 2, 3, 4},
         "Es werden 1 Datei ersetzt und 1 Datei neu angelegt; 2 Dateien sind unverändert."},
        {"only what is selected",
         {Ordner, Neu, Neu, Neu, Neu},
         {3},
         "Es werden 0 Dateien ersetzt und 1 Datei neu angelegt."},
        {"newer on disk are named",
         {Ordner, NeuerAufPlatte, Neu, NeuerAufPlatte, Gleich},
         {1, 2, 3, 4},
         "Es werden 0 Dateien ersetzt und 1 Datei neu angelegt; 1 Datei ist unverändert.\n\n"
         "2 Dateien sind auf der Platte neuer als in der Sicherung:\n\na/eins.xls\na/drei.xls\n\n"
         "„Neuere behalten“ stellt sie nicht wieder her."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RestorePreview::Of(entries, row.states, row.selected).Text(entries), row.text);
    }
}

TEST(RestorePreviewTest, ManyNewerFilesAreCutShort) {
    std::vector<std::string> names;
    for (int i = 0; i < 25; ++i) names.push_back("f" + std::to_string(i));
    const auto entries = Entries(names);
    std::vector<std::size_t> all(25);
    for (std::size_t i = 0; i < 25; ++i) all[i] = i;
    const auto preview = RestorePreview::Of(entries, std::vector<DiskState>(25, DiskState::NeuerAufPlatte), all);
    EXPECT_EQ(preview.Newer.size(), 25u);
    const std::string text = preview.Text(entries);
    EXPECT_NE(text.find("\nf19\n... und 5 weitere\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("f20"), std::string::npos);
}

}  // namespace
}  // namespace vb
