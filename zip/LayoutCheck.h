#pragma once
// Whether the entries of a directory lie where it says, as an update needs them: each
// local header agrees with its central header (name, method, encryption, and CRC-32
// and sizes unless a data descriptor carries them), no entry's bytes overlap the next
// entry or the directory, and an archive without entries has nothing before its end
// record. An update of an archive that fails this would copy wrong bytes; a reader
// would unpack entries that share bytes (a small file that unpacks to any size), so
// both refuse it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zip/ArchiveDirectory.h"

namespace vb::zip {

// What the check saw of each local header of one archive file, for an update that
// copies the entries unchanged: the header's length, and whether it holds exactly
// the bytes the update would write in its place (CopiedLocalHeader), so that the
// update copies it without reading it again.
class LocalHeaderFacts {
public:
    struct Header {
        std::uint64_t Offset = 0;
        std::uint32_t Length = 0;  // fixed part, name and extra fields
        bool AsWritten = false;
    };
    // The header at `offset`, or nullptr when the check did not see one there.
    const Header* Find(std::uint64_t offset) const;
    void Clear() { FHeaders = {}; }

private:
    friend bool EntriesAreSound(int fd, const ArchiveDirectory& dir, LocalHeaderFacts* facts);
    std::vector<Header> FHeaders;  // by offset
};

// `dir` is the directory of the one-disk archive in `fd`. With `facts`, what was seen
// of the local headers is kept there when the entries are sound.
bool EntriesAreSound(int fd, const ArchiveDirectory& dir, LocalHeaderFacts* facts = nullptr);

// The local header an update writes for the unchanged entry `e` (its VersionNeeded as
// it is to be written) whose old local header held the extra fields `oldExtra`: the
// old fields, without a Zip64 field unless the sizes need one, then with a fresh one
// in front.
std::string CopiedLocalHeader(const ArchiveEntry& e, std::string_view oldExtra);

// Whether an old local header, its fixed part `fixed` and its name and extra fields
// `variable`, is exactly what CopiedLocalHeader writes for `e` in its place.
bool IsCopiedLocalHeader(const ArchiveEntry& e, std::string_view fixed, std::string_view variable);

}  // namespace vb::zip
