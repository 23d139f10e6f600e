#include "platform/ScratchFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/FileStat.h"
#include "platform/SystemError.h"
#include "platform/UniqueFd.h"
#include "util/Error.h"

namespace vb::platform {

ScratchFolder::ScratchFolder(const std::string& parent, const std::string& prefix) {
    std::string pattern = parent + "/." + prefix + "-" + std::to_string(::getpid()) + "-XXXXXX";
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
        if (!item.Name.starts_with(start) || !item.Status || item.Status->Kind != FileKind::Directory) continue;
        // "<pid>-XXXXXX" after the prefix.
        const std::string rest = item.Name.substr(start.size());
        const std::size_t dash = rest.find('-');
        if (dash == std::string::npos || dash == 0 || rest.size() != dash + 7) continue;
        if (rest.find_first_not_of("0123456789") != dash) continue;
        const long pid = std::strtol(rest.c_str(), nullptr, 10);
        // A process that runs (or runs for another user) keeps its folder.
        if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) continue;
        if (RemoveWithFiles(parent + "/" + item.Name)) ++removed;
    }
    return removed;
}

}  // namespace vb::platform
