#include "restore/DiskComparison.h"

#include <fcntl.h>
#include <libdeflate.h>

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "zip/DosTime.h"
#include "zip/EntryName.h"
#include "zip/WinZipAes.h"
#include "platform/FileIo.h"
#include "platform/FileStat.h"
#include "platform/PathWalk.h"

namespace vb {
namespace {

std::uint32_t DosKey(zip::DosDateTime dos) { return static_cast<std::uint32_t>(dos.Date) << 16 | dos.Time; }

// The CRC-32 of the open file's content; nullopt when it cannot be read whole.
std::optional<std::uint32_t> Crc32OfFile(int fd, std::uint64_t size) {
    constexpr std::size_t kChunk = 1 << 20;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk]);
    std::uint32_t crc = 0;
    for (std::uint64_t offset = 0; offset < size;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - offset));
        if (!platform::ReadAt(fd, buffer.get(), want, offset)) return std::nullopt;
        crc = libdeflate_crc32(crc, buffer.get(), want);
        offset += want;
    }
    return crc;
}

// The state of `entry` against the file `name` in the open folder `folder`.
DiskState CompareIn(const ArchiveEntry& entry, int folder, const std::string& name, const std::string& shown) {
    // Only regular files are opened: opening a device can do something (a tape
    // rewinds), and a named pipe or a socket holds nothing to compare.
    for (const bool follow : {false, true}) {
        const auto status = platform::StatAt(folder, name, follow);
        if (status && status->Kind != platform::FileKind::Regular && status->Kind != platform::FileKind::Symlink)
            return DiskState::NichtLesbar;
    }
    const platform::WalkResult opened = platform::OpenFileIn(folder, name, shown, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (opened.Problem == platform::WalkProblem::Missing) return CompareEntry(entry, std::nullopt, {});
    if (!opened.Ok()) return DiskState::NichtLesbar;
    const auto status = platform::StatFd(opened.Fd.Get());
    if (!status) return DiskState::NichtLesbar;
    const DiskFile disk{status->Kind == platform::FileKind::Regular, status->Size, status->ModifiedTime};
    const int fd = opened.Fd.Get();
    return CompareEntry(entry, disk, [&] { return Crc32OfFile(fd, disk.Size); });
}

// Folders below the restore root, walked once each under the rule for links.
class FolderCache {
public:
    explicit FolderCache(const std::string& root) : FRootShown(root) {
        while (FRootShown.size() > 1 && FRootShown.back() == '/') FRootShown.pop_back();
        platform::WalkResult opened = platform::OpenFolder(FRootShown);
        if (opened.Ok())
            FFolders.emplace("", Folder{std::move(opened.Fd), FRootShown, platform::WalkProblem::None});
        else
            FFolders.emplace("", Folder{{}, FRootShown, opened.Problem});
    }

    struct Folder {
        UniqueFd Fd;
        std::string Shown;
        platform::WalkProblem Problem = platform::WalkProblem::None;
    };

    // The folder that holds the last of `parts`.
    const Folder& FolderOf(const std::vector<std::string>& parts) {
        std::string below;
        const Folder* here = &FFolders.at("");
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            below += "/" + parts[i];
            auto found = FFolders.find(below);
            if (found == FFolders.end()) {
                Folder next{{}, here->Shown + "/" + parts[i], here->Problem};
                if (here->Problem == platform::WalkProblem::None) {
                    platform::WalkResult opened = platform::OpenSubfolder(here->Fd.Get(), parts[i], here->Shown);
                    next.Problem = opened.Problem;
                    next.Fd = std::move(opened.Fd);
                }
                found = FFolders.emplace(below, std::move(next)).first;
            }
            here = &found->second;
        }
        return *here;
    }

private:
    std::string FRootShown;
    std::unordered_map<std::string, Folder> FFolders;
};

}  // namespace

std::optional<std::uint32_t> StoredCrc(const ArchiveEntry& entry) {
    if (entry.IsEncrypted() && entry.Method == zip::kMethodAes) {
        const auto field = zip::FindAesField(entry.CentralExtra);
        if (!field || field->Version != 1) return std::nullopt;
    }
    return entry.Crc32;
}

DiskState CompareEntry(const ArchiveEntry& entry, const std::optional<DiskFile>& disk,
                       const std::function<std::optional<std::uint32_t>()>& diskCrc) {
    if (!disk) return DiskState::Neu;
    if (!disk->Regular) return DiskState::NichtLesbar;
    const std::uint32_t diskTime = DosKey(zip::ToDosDateTime(disk->Modified));
    const std::uint32_t entryTime = DosKey({entry.DosTime, entry.DosDate});
    if (disk->Size == entry.UncompressedSize) {
        const auto stored = StoredCrc(entry);
        if (!stored) {
            if (diskTime == entryTime) return DiskState::Gleich;
        } else {
            const auto crc = diskCrc ? diskCrc() : std::nullopt;
            if (!crc) return DiskState::NichtLesbar;
            if (*crc == *stored) return DiskState::Gleich;
        }
    }
    if (diskTime > entryTime) return DiskState::NeuerAufPlatte;
    if (diskTime < entryTime) return DiskState::AelterAufPlatte;
    return DiskState::AndersAufPlatte;
}

bool WouldChange(DiskState state) {
    return state != DiskState::Unknown && state != DiskState::Gleich && state != DiskState::Ordner;
}

std::string DiskStateText(DiskState state, std::size_t changes) {
    switch (state) {
    case DiskState::Unknown: return {};
    case DiskState::Neu: return "neu";
    case DiskState::AelterAufPlatte: return "\xC3\xA4lter auf der Platte";
    case DiskState::NeuerAufPlatte: return "neuer auf der Platte";
    case DiskState::AndersAufPlatte: return "anders auf der Platte";
    case DiskState::Gleich: return "gleich";
    case DiskState::NichtLesbar: return "nicht lesbar";
    case DiskState::Ordner:
        if (changes == 0) return "keine \xC3\x84nderung";
        return std::to_string(changes) + (changes == 1 ? " \xC3\x84nderung" : " \xC3\x84nderungen");
    }
    return {};
}

DiskComparison::Result DiskComparison::Run(const std::vector<ArchiveEntry>& entries, const std::string& root,
                                           const std::function<bool()>& stop) {
    Result result;
    result.States.assign(entries.size(), DiskState::Unknown);
    result.Changes.assign(entries.size(), 0);
    FolderCache folders(root);
    std::unordered_map<std::string, std::size_t> folderEntries;  // stored folder name without "/" -> index
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].IsFolder()) folderEntries.emplace(entries[i].Name.substr(0, entries[i].Name.size() - 1), i);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (stop && stop()) break;
        const ArchiveEntry& entry = entries[i];
        if (entry.IsFolder()) {
            result.States[i] = DiskState::Ordner;
            continue;
        }
        const auto parts = zip::SafeSegments(entry.Name);
        if (!parts) {
            result.States[i] = DiskState::NichtLesbar;  // a restore refuses such a name too
        } else {
            const FolderCache::Folder& folder = folders.FolderOf(*parts);
            if (folder.Problem == platform::WalkProblem::Missing) {
                result.States[i] = DiskState::Neu;
            } else if (folder.Problem != platform::WalkProblem::None) {
                result.States[i] = DiskState::NichtLesbar;
            } else {
                result.States[i] = CompareIn(entry, folder.Fd.Get(), parts->back(), folder.Shown);
            }
        }
        if (!WouldChange(result.States[i])) continue;
        // Every folder entry above it counts the change.
        for (std::size_t slash = entry.Name.rfind('/'); slash != std::string::npos && slash > 0;
             slash = entry.Name.rfind('/', slash - 1)) {
            const auto folder = folderEntries.find(entry.Name.substr(0, slash));
            if (folder != folderEntries.end()) ++result.Changes[folder->second];
        }
    }
    return result;
}

DiskState DiskComparison::CompareWithFile(const ArchiveEntry& entry, const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folderPath = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const platform::WalkResult folder = platform::OpenFolder(folderPath);
    if (folder.Problem == platform::WalkProblem::Missing) return DiskState::Neu;
    if (!folder.Ok()) return DiskState::NichtLesbar;
    return CompareIn(entry, folder.Fd.Get(), path.substr(slash + 1), folder.Where);
}

}  // namespace vb
