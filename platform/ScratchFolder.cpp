#include "platform/ScratchFolder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileStat.h"
#include "platform/SystemError.h"
#include "platform/UniqueFd.h"
#include "util/Error.h"

namespace vb::platform {

ScratchFolder::ScratchFolder(const std::string& parent, const std::string& prefix) {
    std::string pattern = parent + "/." + prefix + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        throw Error("Der Ordner " + pattern + " kann nicht angelegt werden: " + SystemErrorText(errno));
    }
    FPath = pattern;
}

namespace {

// Only what the folder holds directly goes; nothing is followed out of it. True when
// the folder is gone.
bool RemoveWithFiles(const std::string& path) {
    if (const UniqueFd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        folder.Valid()) {
        if (const auto items = ListFolder(folder.Get())) {
            for (const FolderItem& item : *items) ::unlinkat(folder.Get(), item.Name.c_str(), 0);
        }
    }
    return ::rmdir(path.c_str()) == 0;
}

}  // namespace

ScratchFolder::~ScratchFolder() { RemoveWithFiles(FPath); }

int RemoveStaleScratchFolders(const std::string& parent, const std::string& prefix) {
    const std::string start = "." + prefix + "-";
    const auto items = ListFolder(parent);
    if (!items) return 0;
    int removed = 0;
    for (const FolderItem& item : *items) {
        if (item.Name.size() != start.size() + 6 || !item.Name.starts_with(start)) continue;
        if (!item.Status || item.Status->Kind != FileKind::Directory) continue;
        if (RemoveWithFiles(parent + "/" + item.Name)) ++removed;
    }
    return removed;
}

}  // namespace vb::platform
