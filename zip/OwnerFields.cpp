#include "zip/OwnerFields.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "zip/ByteOrder.h"
#include "zip/EntryName.h"
#include "zip/ZipRecords.h"
#include "util/Utf8.h"

namespace vb::zip {
namespace {

constexpr std::size_t kMaxStoredName = 255;

// The name as stored: empty when it does not fit its length byte or is no UTF-8.
std::string_view Storable(std::string_view name) {
    return name.size() <= kMaxStoredName && utf8::isValid(name) ? name : std::string_view();
}

// Calls `lookup(buffer, size)` (a getpwuid_r or getgrgid_r) with a buffer that grows
// while it is too small; the name it finds, or empty.
template <typename Lookup>
std::string LookUpName(Lookup lookup) {
    std::vector<char> buffer(1024);
    for (;;) {
        const char* name = nullptr;
        const int rc = lookup(buffer.data(), buffer.size(), name);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        return rc == 0 && name ? std::string(name) : std::string();
    }
}

// The name of `id` in `names`, looked up the first time it is asked for.
template <typename Id, typename Lookup>
const std::string& CachedName(std::unordered_map<Id, std::string>& names, Id id, Lookup lookup) {
    auto [it, added] = names.try_emplace(id);
    if (added) it->second = LookUpName(lookup);
    return it->second;
}

// An id field of the 0x7875 data at `pos`: its size byte and little-endian value.
// False when the data ends early; `value` stays empty for an id over 32 bits.
bool TakeId(std::string_view data, std::size_t& pos, std::optional<std::uint32_t>& value) {
    if (pos >= data.size()) return false;
    const std::size_t size = static_cast<unsigned char>(data[pos++]);
    if (size > data.size() - pos) return false;
    std::uint64_t id = 0;
    bool fits = size > 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[pos + i]);
        if (i < 4) id |= static_cast<std::uint64_t>(byte) << (8 * i);
        fits = fits && (i < 4 || byte == 0);
    }
    pos += size;
    if (fits) value = static_cast<std::uint32_t>(id);
    return true;
}

// A length byte and that many bytes of the names field at `pos`.
bool TakeName(std::string_view data, std::size_t& pos, std::string_view& name) {
    if (pos >= data.size()) return false;
    const std::size_t size = static_cast<unsigned char>(data[pos++]);
    if (size > data.size() - pos) return false;
    name = data.substr(pos, size);
    pos += size;
    return true;
}

}  // namespace

std::string MakeOwnerFields(std::uint32_t uid, std::uint32_t gid, std::string_view owner, std::string_view group) {
    std::string ids;
    ids.push_back(1);  // version
    ids.push_back(4);
    Put32(ids, uid);
    ids.push_back(4);
    Put32(ids, gid);
    std::string fields;
    AppendExtraField(fields, kUnixIdsExtraId, ids);
    owner = Storable(owner);
    group = Storable(group);
    if (owner.empty() && group.empty()) return fields;
    std::string names;
    names.push_back(1);  // version
    names.push_back(static_cast<char>(owner.size()));
    names.append(owner);
    names.push_back(static_cast<char>(group.size()));
    names.append(group);
    AppendExtraField(fields, kOwnerNamesExtraId, names);
    return fields;
}

const OwnerFieldCache::Owner& OwnerFieldCache::Of(uid_t uid, gid_t gid) {
    const std::uint64_t key = (static_cast<std::uint64_t>(uid) << 32) | static_cast<std::uint32_t>(gid);
    auto [it, added] = FOwners.try_emplace(key);
    if (added) {
        Owner& owner = it->second;
        owner.OwnerName = Storable(CachedName(FUsers, uid, [uid](char* buffer, std::size_t size, const char*& name) {
            struct passwd entry {};
            struct passwd* found = nullptr;
            const int rc = ::getpwuid_r(uid, &entry, buffer, size, &found);
            if (found) name = found->pw_name;
            return rc;
        }));
        owner.GroupName = Storable(CachedName(FGroups, gid, [gid](char* buffer, std::size_t size, const char*& name) {
            struct group entry {};
            struct group* found = nullptr;
            const int rc = ::getgrgid_r(gid, &entry, buffer, size, &found);
            if (found) name = found->gr_name;
            return rc;
        }));
        owner.Fields = MakeOwnerFields(uid, gid, owner.OwnerName, owner.GroupName);
    }
    return it->second;
}

void ReadOwnerFields(ArchiveEntry& entry, std::string_view extra) {
    const std::uint32_t upper = entry.ExternalAttributes >> 16;
    const std::uint32_t type = upper & S_IFMT;
    if (entry.Host() == kHostUnix ? upper != 0 : type == S_IFREG || type == S_IFDIR || type == S_IFLNK)
        entry.UnixMode = upper;

    if (auto ids = FindExtraField(extra, kUnixIdsExtraId); ids && !ids->empty() && (*ids)[0] == 1) {
        std::size_t pos = 1;
        std::optional<std::uint32_t> uid, gid;
        if (TakeId(*ids, pos, uid) && TakeId(*ids, pos, gid)) {
            entry.Uid = uid;
            entry.Gid = gid;
        }
    }
    if (auto names = FindExtraField(extra, kOwnerNamesExtraId); names && !names->empty() && (*names)[0] == 1) {
        std::size_t pos = 1;
        std::string_view owner, group;
        if (TakeName(*names, pos, owner) && TakeName(*names, pos, group)) {
            entry.OwnerName = Storable(owner);
            entry.GroupName = Storable(group);
        }
    }
}

}  // namespace vb::zip
