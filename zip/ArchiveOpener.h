#pragma once
// Loading the directory of an existing, non-empty archive file as both roles do: a
// file with neither spanning signature nor end record is "Unhandled Archive Type";
// the first disk of a spanned set asks for the last disk on a removable drive and is
// "Invalid file - not a PKZip file" elsewhere, as is a damaged directory.
#include <functional>
#include <string>

#include "zip/ArchiveDirectory.h"
#include "zip/ArchiveMedium.h"
#include "platform/UniqueFd.h"

namespace vb::zip {

struct OpenedArchive {
    UniqueFd Fd;
    std::uint64_t Size = 0;
    ArchiveDirectory Directory;
};

// Opens `path` read-only and loads its directory. Throws vb::Error with the texts
// above, or "Process aborted by user" when the last-disk request is refused; a path
// that is no regular file (a folder, FIFO or device) is refused without waiting on it.
// `withEntries` false: the directory is only found (ReadDirectoryEntries reads it).
OpenedArchive OpenExistingArchive(const std::string& path, ArchiveMedium* medium,
                                  const std::function<bool()>& requestLastDisk, bool withEntries = true);

}  // namespace vb::zip
