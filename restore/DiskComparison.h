#pragma once
// What restoring an archive entry would do to the file at its place on disk, judged
// from size, modification time and content. The content decides whether the two are
// the same: where the sizes agree, the CRC-32 of the disk file is compared with the
// entry's, so a file that was only touched (its time changed, its content did not)
// counts as the same. Where the contents differ, the times (in the ZIP format's
// 2-second resolution, as the backup stored them) say which side is newer. Entries
// encrypted with AE-2 store no CRC: for them equal size and equal time count as the
// same.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zip/ArchiveEntry.h"

namespace vb {

enum class DiskState : std::uint8_t {
    Unknown,          // not compared (yet)
    Neu,              // nothing at its place: a restore creates the file
    AelterAufPlatte,  // the disk file differs and is older: a restore brings the newer state
    NeuerAufPlatte,   // the disk file differs and is newer: a restore would undo work
    AndersAufPlatte,  // the contents differ at the same time
    Gleich,           // the same content: a restore changes nothing that matters
    NichtLesbar,      // a folder, a link of another user or an unreadable file is in the way
    Ordner,           // a folder entry: how many entries below it would change
};

// What the disk holds at an entry's place, as far as the rule needs it.
struct DiskFile {
    bool Regular = true;
    std::uint64_t Size = 0;
    std::time_t Modified = 0;
};

// The entry's stored CRC-32; nullopt for an AE-2 entry, which stores none.
std::optional<std::uint32_t> StoredCrc(const ArchiveEntry& entry);

// The rule for a file entry. `disk` is nullopt when nothing is at the entry's place;
// `diskCrc` is asked only when the sizes agree, and answers nullopt when the file
// cannot be read. Folder entries are not judged here (DiskComparison counts them).
DiskState CompareEntry(const ArchiveEntry& entry, const std::optional<DiskFile>& disk,
                       const std::function<std::optional<std::uint32_t>()>& diskCrc);

// Whether a restore of an entry in this state changes something on disk (Unknown,
// Gleich and Ordner do not count).
bool WouldChange(DiskState state);

// The column text: "neu", "älter auf der Platte", "neuer auf der Platte", "anders auf
// der Platte", "gleich", "nicht lesbar"; for a folder "keine Änderung", "1 Änderung",
// "3 Änderungen" from `changes`; "" for Unknown.
std::string DiskStateText(DiskState state, std::size_t changes = 0);

// The comparison of an archive's entries with the disk below a restore root. Disk
// files are reached with descriptors under the rule for links (platform/PathWalk.h);
// their folders are walked once each.
class DiskComparison {
public:
    struct Result {
        std::vector<DiskState> States;     // per entry, in archive order
        std::vector<std::size_t> Changes;  // per folder entry: entries below it that change
    };

    // Compares every entry of `entries` with the disk below `root` (a folder path
    // with or without a trailing "/"). `stop` (when given) is asked between entries;
    // when it answers true the states not reached stay Unknown.
    static Result Run(const std::vector<ArchiveEntry>& entries, const std::string& root,
                      const std::function<bool()>& stop = {});

    // The state of one entry against the disk file `path` (a file of any folder).
    static DiskState CompareWithFile(const ArchiveEntry& entry, const std::string& path);
};

}  // namespace vb
