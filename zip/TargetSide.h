#pragma once
// What a restored file or folder is given on the target side. The program usually
// restores as root into folders that users own, so nothing it writes may end up more
// readable, or with more rights, than its original:
// - an entry that carries its Unix mode gets that mode's permission bits; owner and
//   group come from the stored names first (accounts may have other numbers on a new
//   server), then from the stored numbers, as tar does; owners are given only by root;
// - without a stored mode, a file that replaces an existing one takes that file's
//   owner, group and permission bits, and a file created anew its folder's owner and
//   group, with 0666 less the umask and never more for group and others than the
//   folder lets them reach; the archive's read-only attribute clears the write bits;
// - setuid, setgid and sticky bits are never applied, and new content never inherits
//   them from the file it replaces;
// - a folder created anew gets its folder entry's stored mode and owner, else those of
//   the folder it is created in.
// Nothing an archive contains ever becomes a link: an entry that holds a link is
// written as a plain file, and a link found at a file's place is replaced, never
// written through.
#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <unordered_map>

namespace vb {
struct ArchiveEntry;
}

namespace vb::zip {

struct Ownership {
    std::optional<uid_t> Owner;  // nullopt: left as the process creates it
    std::optional<gid_t> Group;
    mode_t Mode = 0600;  // permission bits only
};

// The stored owner and group of an entry as accounts of this system: by name where
// the name is known here, else by number; nullopt where the entry stores neither.
// Looked up once per name and number.
class AccountCache {
public:
    std::optional<uid_t> User(const std::string& name, std::optional<std::uint32_t> id);
    std::optional<gid_t> Group(const std::string& name, std::optional<std::uint32_t> id);

private:
    std::unordered_map<std::string, std::optional<uid_t>> FUsers;
    std::unordered_map<std::string, std::optional<gid_t>> FGroups;
};

// The stored account of `entry`, resolved through `accounts`.
struct StoredAccount {
    std::optional<uid_t> Owner;
    std::optional<gid_t> Group;
};
StoredAccount StoredAccountOf(const ArchiveEntry& entry, AccountCache& accounts);

// For a file: `entry` as stored, `stored` its resolved account, `existing` the regular
// file it replaces (nullptr when it is created anew), `folder` the folder it goes
// into, `readOnly` the archive's read-only attribute.
Ownership FileOwnership(const ArchiveEntry& entry, const StoredAccount& stored, const struct stat* existing,
                        const struct stat& folder, mode_t umask, bool readOnly);

// True when `entry` and `stored` fix owner, group and mode of its file, so that the
// file it replaces (if any) changes none of them.
bool OwnershipIsStored(const ArchiveEntry& entry, const StoredAccount& stored);

// For a folder created anew in `parent`: `entry` is its folder entry, nullptr when the
// archive has none (a folder on the way).
Ownership FolderOwnership(const ArchiveEntry* entry, const StoredAccount& stored, const struct stat& parent);

// The mode a file for `entry` is created with while it has no name yet: the mode the
// archive keeps for it (nobody can open such a file meanwhile), else 0600.
mode_t CreationMode(const ArchiveEntry& entry);

// Gives the open file or folder `fd` (not O_PATH) the ownership: owner and group as
// root, the group alone otherwise (as far as this user is a member), then the mode.
// What `current` (the file's own status, when given) already has is not set again.
// Failures are ignored: the file keeps the owner it was created with, and its mode
// from creation (0600 for files, 0700 for folders, or the final mode of a file
// created without a name) is never more open.
void ApplyOwnership(int fd, const Ownership& ownership, const struct stat* current = nullptr);

}  // namespace vb::zip
