#pragma once
// A job's archives as points in time ("Stände"), and the versions of one file across
// them: every archive of the job in its target folder (per-day archives, the three
// generations, the same-file archive) with its creation date, newest first; for one
// stored name, each archive that holds it with size, time and whether its content
// differs from the next older one; and the restore of one version to its place or
// beside it under a name that carries the archive's date.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "zip/ArchiveEntry.h"

namespace vb {

class ArchiveReader;
class ExclusiveUseTest;

struct ArchiveStand {
    std::string Name;   // file name in the target folder
    std::tm Created{};  // its creation stamp (local time)
};

// The archives of the job `jobName` in `folder` (catalogue/JobArchives.h), newest
// first by creation stamp; of equal stamps the later name first. Archives whose
// stamp cannot be read, and folders named like archives, are left out. Empty when the
// folder holds none.
std::vector<ArchiveStand> JobStands(const std::string& folder, const std::string& jobName);

// The selector's text of a stand: "03.12.2026 14:03:12 - Job_1.zip" (the time is
// left out at exactly midnight, as in the archive browser's status line).
std::string StandText(const ArchiveStand& stand);

struct FileVersion {
    ArchiveStand Stand;
    std::size_t Entry = 0;  // index in that archive
    ArchiveEntry Stored;    // the entry as that archive stores it
    std::uint64_t Size = 0;
    std::uint16_t DosDate = 0;
    std::uint16_t DosTime = 0;
    std::optional<std::uint32_t> Crc;  // nullopt for an entry that stores none (AE-2)
    // The content differs from the next older version (true for the oldest one).
    bool Differs = true;
    // Equal contents share a number: 1 for the oldest content, counting up.
    int Content = 0;
};

struct FileVersions {
    std::vector<FileVersion> Versions;  // newest first
    std::vector<std::string> Problems;  // "Job_2.zip: Invalid file - not a PKZip file" per archive left out
};

// Each of `stands` (archives in `folder`) that holds the file entry `storedName`, in
// the order of `stands`. Each archive is opened with `reader`, which is left closed.
// An archive that cannot be opened is named in Problems and left out.
FileVersions VersionsOf(ArchiveReader& reader, const std::string& folder, const std::vector<ArchiveStand>& stands,
                        const std::string& storedName);

// "Notenliste (Stand 03.12.2026).xls" for "Notenliste.xls" and a stand of that day;
// with `number` above 1, "Notenliste (Stand 03.12.2026, 2).xls". A name that begins
// with its only dot (".profile") has no extension.
std::string BesideName(const std::string& fileName, const std::tm& stand, int number = 1);

// Restores `version` of the entry `storedName` below `root` (with or without a
// trailing "/"): to its place, replacing what is there, or with `beside` under the
// first BesideName that is free next to it, leaving the file of the stored name as
// it is. `reader` opens the version's archive in `folder` (its password callback is
// the caller's) and is left closed. The path written is returned. Throws vb::Error
// with the German reason when the entry cannot be restored; an in-place restore over
// a file that another program has open (`databases`) is refused.
std::string RestoreVersion(ArchiveReader& reader, ExclusiveUseTest& databases, const std::string& folder,
                           const FileVersion& version, const std::string& storedName, const std::string& root,
                           bool beside);

}  // namespace vb
