#include "restore/FileVersions.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "zip/ArchiveReader.h"
#include "catalogue/JobArchives.h"
#include "dbcheck/ExclusiveUseTest.h"
#include "platform/CreationStamp.h"
#include "platform/FileStat.h"
#include "restore/DiskComparison.h"
#include "util/Error.h"
#include "util/EscapeControl.h"
#include "util/Finally.h"
#include "util/GermanFormat.h"

namespace vb {
namespace {

auto StampKey(const std::tm& t) {
    return std::make_tuple(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

bool HasTime(const std::tm& t) { return t.tm_hour != 0 || t.tm_min != 0 || t.tm_sec != 0; }

std::string WithSlash(const std::string& folder) {
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

}  // namespace

std::vector<ArchiveStand> JobStands(const std::string& folder, const std::string& jobName) {
    std::vector<ArchiveStand> stands;
    for (const std::string& name : JobArchiveNames(folder, jobName)) {
        const std::string path = ArchivePath(folder, name);
        const auto status = platform::StatPath(path, true);
        if (!status || status->Kind != platform::FileKind::Regular) continue;  // a folder named like an archive
        const auto stamp = platform::ReadCreationStamp(path);
        if (stamp) stands.push_back({name, *stamp});
    }
    std::stable_sort(stands.begin(), stands.end(), [](const ArchiveStand& a, const ArchiveStand& b) {
        const auto ka = StampKey(a.Created), kb = StampKey(b.Created);
        return ka != kb ? ka > kb : a.Name > b.Name;
    });
    return stands;
}

std::string StandText(const ArchiveStand& stand) {
    std::string text = FormatShortDate(stand.Created);
    if (HasTime(stand.Created)) text += " " + FormatLongTime(stand.Created);
    return text + " - " + stand.Name;
}

FileVersions VersionsOf(ArchiveReader& reader, const std::string& folder, const std::vector<ArchiveStand>& stands,
                        const std::string& storedName) {
    FileVersions result;
    Finally closing([&] { reader.Close(); });
    for (const ArchiveStand& stand : stands) {
        try {
            reader.Open(ArchivePath(folder, stand.Name));
        } catch (const Error& e) {
            result.Problems.push_back(stand.Name + ": " + e.what());
            continue;
        }
        for (std::size_t i = 0; i < reader.Count(); ++i) {
            const ArchiveEntry& entry = reader.Entry(i);
            if (entry.Name != storedName || entry.IsFolder()) continue;
            FileVersion version;
            version.Stand = stand;
            version.Entry = i;
            version.Stored = entry;
            version.Size = entry.UncompressedSize;
            version.DosDate = entry.DosDate;
            version.DosTime = entry.DosTime;
            version.Crc = StoredCrc(entry);
            result.Versions.push_back(std::move(version));
            break;
        }
    }
    // Contents are told apart by size and CRC; where no CRC is stored, by size and time.
    std::map<std::tuple<std::uint64_t, bool, std::uint32_t>, int> contents;
    const auto key = [](const FileVersion& v) {
        return std::make_tuple(v.Size, v.Crc.has_value(),
                               v.Crc ? *v.Crc : (static_cast<std::uint32_t>(v.DosDate) << 16 | v.DosTime));
    };
    for (auto v = result.Versions.rbegin(); v != result.Versions.rend(); ++v) {
        const auto [found, added] = contents.emplace(key(*v), static_cast<int>(contents.size()) + 1);
        v->Content = found->second;
        v->Differs = v == result.Versions.rbegin() || key(*std::prev(v)) != key(*v);
    }
    return result;
}

std::string BesideName(const std::string& fileName, const std::tm& stand, int number) {
    const std::size_t dot = fileName.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? fileName.substr(0, dot) : fileName;
    const std::string extension = hasExtension ? fileName.substr(dot) : "";
    std::string mark = " (Stand " + FormatShortDate(stand);
    if (number > 1) mark += ", " + std::to_string(number);
    return stem + mark + ")" + extension;
}

std::string RestoreVersion(ArchiveReader& reader, ExclusiveUseTest& databases, const std::string& folder,
                           const FileVersion& version, const std::string& storedName, const std::string& root,
                           bool beside) {
    Finally closing([&] { reader.Close(); });
    reader.Open(ArchivePath(folder, version.Stand.Name));
    if (version.Entry >= reader.Count() || reader.Entry(version.Entry).Name != storedName)
        throw Error("Die Sicherung " + version.Stand.Name +
                    " hat sich ge\xC3\xA4ndert; bitte die Versionen neu anzeigen.");
    reader.SetBaseDirectory(root);
    const std::string target = WithSlash(root) + storedName;
    std::string reason;
    if (!beside) {
        if (!databases.TestExclusive(target))
            throw Error(EscapeControl(storedName) +
                        " ist noch ge\xC3\xB6"
                        "ffnet und konnte deshalb nicht wiederhergestellt werden.");
        if (!reader.ExtractAt(version.Entry, &reason))
            throw Error(EscapeControl(storedName) + " wurde nicht wiederhergestellt: " + reason);
        return target;
    }
    const std::size_t slash = target.rfind('/');
    const std::string fileName = target.substr(slash + 1);
    for (int number = 1; number < 100; ++number) {
        const std::string name = BesideName(fileName, version.Stand.Created, number);
        const std::string path = target.substr(0, slash + 1) + name;
        if (platform::StatPath(path, false)) continue;
        if (reader.ExtractBeside(version.Entry, name, &reason)) return path;
        // Taken between the look and the extraction: the next number is tried.
        if (!platform::StatPath(path, false)) break;
    }
    throw Error(EscapeControl(storedName) + " wurde nicht wiederhergestellt: " + reason);
}

}  // namespace vb
