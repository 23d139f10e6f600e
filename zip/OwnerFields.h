#pragma once
// Owner, group and mode of an entry as archives carry them: the Unix mode in the upper
// half of the external attributes, the numeric owner and group in Info-ZIP's "new
// Unix" field (0x7875), and their names in a field of this program's own (0x4256).
//
// The names field: header ID 0x4256, the bytes "VB" (APPNOTE reserves IDs 0 to 31 for
// PKWARE and lists 0x4256 for no third party, nor does Info-ZIP's list of fields);
// data: version 1, then the owner's name and the group's name, each as one length
// byte and that many bytes of UTF-8. A name that is unknown, no valid UTF-8 or longer
// than 255 bytes is stored empty; the field is left out when both are.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "zip/ArchiveEntry.h"

namespace vb::zip {

inline constexpr std::uint16_t kUnixIdsExtraId = 0x7875;
inline constexpr std::uint16_t kOwnerNamesExtraId = 0x4256;

// The fields for an owner and group: 0x7875 (version 1, 4-byte ids), then the names
// field unless both names are empty.
std::string MakeOwnerFields(std::uint32_t uid, std::uint32_t gid, std::string_view owner, std::string_view group);

// The owner fields of the files of one save. The names come from the system's user
// and group databases, asked once per id: a save of 100,000 files of a few owners
// asks a few times.
class OwnerFieldCache {
public:
    struct Owner {
        std::string Fields;  // MakeOwnerFields of the ids and names below
        std::string OwnerName;
        std::string GroupName;
    };
    const Owner& Of(uid_t uid, gid_t gid);

private:
    std::unordered_map<uid_t, std::string> FUsers;
    std::unordered_map<gid_t, std::string> FGroups;
    std::unordered_map<std::uint64_t, Owner> FOwners;
};

// Fills the entry's UnixMode, Uid, Gid, OwnerName and GroupName from its host, its
// external attributes and the extra fields `extra`. The mode is taken from a Unix
// host (3) when the upper half is not 0, and from any other host only when the upper
// half holds a regular file, folder or link type: DOS attributes never become a mode.
// Ids wider than 32 bits and names that are no valid UTF-8 are left out.
void ReadOwnerFields(ArchiveEntry& entry, std::string_view extra);

}  // namespace vb::zip
