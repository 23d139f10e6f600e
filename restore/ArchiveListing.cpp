#include "restore/ArchiveListing.h"

#include <algorithm>
#include <tuple>

#include "platform/CreationStamp.h"
#include "platform/FileStat.h"
#include "platform/PathWalk.h"
#include "util/Error.h"
#include "util/GermanFormat.h"
#include "util/PathText.h"

namespace vb {
namespace {

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Letters without regard to case first, then the bytes, so that the order is total.
bool NameOrder(const std::string& a, const std::string& b) {
    const auto folded = [](const std::string& s) {
        std::string out(s);
        std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
        return out;
    };
    const std::string fa = folded(a), fb = folded(b);
    return fa != fb ? fa < fb : a < b;
}

}  // namespace

std::string ArchivePath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::vector<std::string> ListArchiveNames(const std::string& folder) {
    std::vector<std::string> names;
    if (folder.empty()) return names;
    // The target folder is reached under the rule for links, like every folder a
    // restore reads from or writes into.
    const platform::WalkResult walked = platform::OpenFolder(folder);
    if (!walked.Ok()) return names;
    const auto items = platform::ListFolder(walked.Fd.Get());
    if (!items) return names;
    for (const platform::FolderItem& item : *items) {
        if (EndsWithZip(item.Name)) names.push_back(item.Name);
    }
    std::sort(names.begin(), names.end(), NameOrder);
    return names;
}

std::string ArchiveStatusLine(const std::string& path) {
    const auto status = platform::StatPath(path, true);
    const auto stamp = platform::ReadCreationStamp(path);
    if (!status || !stamp) throw Error("File not found");
    std::string when = FormatShortDate(*stamp);
    if (stamp->tm_hour != 0 || stamp->tm_min != 0 || stamp->tm_sec != 0) when += " " + FormatLongTime(*stamp);
    return "Archivgr\xC3\xB6\xC3\x9F" "e: " + FormatThousands(static_cast<std::int64_t>(status->Size)) +
           " Bytes, erzeugt am " + when;
}

std::string ArchiveForRestorePass(const std::string& folder, const std::string& recorded) {
    const std::vector<std::string> names = ListArchiveNames(folder);
    if (!recorded.empty() && std::find(names.begin(), names.end(), recorded) != names.end()) return recorded;
    std::string newest;
    std::tuple<int, int, int, int, int, int> newestStamp{};
    for (const std::string& name : names) {
        const auto stamp = platform::ReadCreationStamp(ArchivePath(folder, name));
        if (!stamp) continue;
        const auto key = std::make_tuple(stamp->tm_year, stamp->tm_mon, stamp->tm_mday, stamp->tm_hour,
                                         stamp->tm_min, stamp->tm_sec);
        if (newest.empty() || key >= newestStamp) {
            newest = name;
            newestStamp = key;
        }
    }
    return newest;
}

}  // namespace vb
