#pragma once
// Whether the entries of a directory lie where it says, as an update needs them: each
// local header agrees with its central header (name, method, encryption, and CRC-32
// and sizes unless a data descriptor carries them), no entry's bytes overlap the next
// entry or the directory, and an archive without entries has nothing before its end
// record. An update of an archive that fails this would copy wrong bytes; a reader
// would unpack entries that share bytes (a small file that unpacks to any size), so
// both refuse it.
#include "zip/ArchiveDirectory.h"

namespace vb::zip {

// `dir` is the directory of the one-disk archive in `fd`.
bool EntriesAreSound(int fd, const ArchiveDirectory& dir);

}  // namespace vb::zip
