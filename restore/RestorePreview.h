#pragma once
// What a restore of the selected entries will do, counted from the comparison with
// the disk (DiskComparison.h), and the text of the box that asks before it starts:
// how many files are replaced and created, and which ones are newer on disk than in
// the archive. Those are named, and the box's default keeps them.
#include <cstddef>
#include <string>
#include <vector>

#include "zip/ArchiveEntry.h"
#include "restore/DiskComparison.h"

namespace vb {

struct RestorePreview {
    std::size_t Replaced = 0;        // files on disk that the restore overwrites (newer ones not counted)
    std::size_t Created = 0;         // files the restore creates
    std::size_t Unchanged = 0;       // files with the same content
    std::vector<std::size_t> Newer;  // entries whose disk file is newer, in archive order

    // Counts the file entries `selected` (archive indices) of `entries` by `states`
    // (per entry; Unknown counts as replaced when something may be there, which the
    // comparison did not say).
    static RestorePreview Of(const std::vector<ArchiveEntry>& entries, const std::vector<DiskState>& states,
                             const std::vector<std::size_t>& selected);

    // The box's text, e.g. "Es werden 12 Dateien ersetzt und 3 Dateien neu angelegt;
    // 4 Dateien sind unverändert." and, when some are newer on disk, a paragraph
    // naming up to 20 of them ("... und 5 weitere").
    std::string Text(const std::vector<ArchiveEntry>& entries) const;
};

// The box's buttons, in this order; the default is the first.
inline constexpr const char* kKeepNewer = "&Neuere behalten";
inline constexpr const char* kReplaceAll = "&Alle ersetzen";
inline constexpr const char* kStartRestore = "&Wiederherstellen";
inline constexpr const char* kCancelRestore = "Abbrechen";

}  // namespace vb
