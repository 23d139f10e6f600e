#include "zip/TargetSide.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "zip/ArchiveEntry.h"

namespace vb::zip {
namespace {

constexpr mode_t kPermissions = 0777;

// Group and others get no more than the folder lets them reach: without both read
// and search rights on the folder, a class gets nothing on a file created in it.
mode_t LimitedByFolder(mode_t mode, mode_t folderMode) {
    if ((folderMode & (S_IRGRP | S_IXGRP)) != (S_IRGRP | S_IXGRP)) mode &= ~static_cast<mode_t>(S_IRWXG);
    if ((folderMode & (S_IROTH | S_IXOTH)) != (S_IROTH | S_IXOTH)) mode &= ~static_cast<mode_t>(S_IRWXO);
    return mode;
}

// A stored mode counts when it names a regular file, a link (written as a file) or a
// folder, or carries permission bits without a type.
std::optional<mode_t> StoredPermissions(const ArchiveEntry& entry) {
    if (!entry.UnixMode) return std::nullopt;
    const mode_t mode = static_cast<mode_t>(*entry.UnixMode);
    const mode_t type = mode & S_IFMT;
    if (type != 0 && type != S_IFREG && type != S_IFLNK && type != S_IFDIR) return std::nullopt;
    if (type == 0 && (mode & kPermissions) == 0) return std::nullopt;
    return mode & kPermissions;
}

template <typename Id>
std::optional<Id> LookUp(const std::string& name, bool user) {
    std::vector<char> buffer(16384);
    if (user) {
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
            return static_cast<Id>(found->pw_uid);
    } else {
        group entry{};
        group* found = nullptr;
        if (::getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
            return static_cast<Id>(found->gr_gid);
    }
    return std::nullopt;
}

// By name where this system knows it (looked up once), else by number.
template <typename Id>
std::optional<Id> Resolved(std::unordered_map<std::string, std::optional<Id>>& known, const std::string& name,
                           std::optional<std::uint32_t> id, bool user) {
    if (!name.empty()) {
        auto it = known.find(name);
        if (it == known.end()) it = known.emplace(name, LookUp<Id>(name, user)).first;
        if (it->second) return it->second;
    }
    if (id) return static_cast<Id>(*id);
    return std::nullopt;
}

}  // namespace

std::optional<uid_t> AccountCache::User(const std::string& name, std::optional<std::uint32_t> id) {
    return Resolved<uid_t>(FUsers, name, id, true);
}

std::optional<gid_t> AccountCache::Group(const std::string& name, std::optional<std::uint32_t> id) {
    return Resolved<gid_t>(FGroups, name, id, false);
}

StoredAccount StoredAccountOf(const ArchiveEntry& entry, AccountCache& accounts) {
    return {accounts.User(entry.OwnerName, entry.Uid), accounts.Group(entry.GroupName, entry.Gid)};
}

Ownership FileOwnership(const ArchiveEntry& entry, const StoredAccount& stored, const struct stat* existing,
                        const struct stat& folder, mode_t umask, bool readOnly) {
    Ownership result;
    result.Owner = stored.Owner ? stored.Owner : existing ? existing->st_uid : folder.st_uid;
    result.Group = stored.Group ? stored.Group : existing ? existing->st_gid : folder.st_gid;
    if (const auto mode = StoredPermissions(entry)) {
        result.Mode = *mode;
        return result;
    }
    mode_t mode = existing ? existing->st_mode & kPermissions : LimitedByFolder(0666 & ~umask, folder.st_mode);
    mode = readOnly ? mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH) : mode | S_IWUSR;
    result.Mode = mode;
    return result;
}

bool OwnershipIsStored(const ArchiveEntry& entry, const StoredAccount& stored) {
    return stored.Owner && stored.Group && StoredPermissions(entry);
}

Ownership FolderOwnership(const ArchiveEntry* entry, const StoredAccount& stored, const struct stat& parent) {
    Ownership result;
    result.Owner = stored.Owner ? stored.Owner : parent.st_uid;
    result.Group = stored.Group ? stored.Group : parent.st_gid;
    const auto mode = entry ? StoredPermissions(*entry) : std::nullopt;
    result.Mode = mode ? *mode : parent.st_mode & kPermissions;
    return result;
}

mode_t CreationMode(const ArchiveEntry& entry) { return StoredPermissions(entry).value_or(0600); }

void ApplyOwnership(int fd, const Ownership& ownership, const struct stat* current) {
    const bool ownerKept = !ownership.Owner || (current && current->st_uid == *ownership.Owner);
    const bool groupKept = !ownership.Group || (current && current->st_gid == *ownership.Group);
    const gid_t group = ownership.Group ? *ownership.Group : static_cast<gid_t>(-1);
    if (current && ownerKept && groupKept) {
        // Nothing to change.
    } else if (::geteuid() == 0) {
        const uid_t owner = ownership.Owner ? *ownership.Owner : static_cast<uid_t>(-1);
        if (::fchown(fd, owner, group) != 0) {
            // The file system keeps no owners (FAT media): the file stays root's.
        }
    } else if (::fchown(fd, static_cast<uid_t>(-1), group) != 0) {
        // Not a member of that group: the file keeps this user's group.
    }
    if (!current || (current->st_mode & 07777) != ownership.Mode) ::fchmod(fd, ownership.Mode);
}

}  // namespace vb::zip
