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

// Only what this folder holds directly goes; nothing is followed out of it.
ScratchFolder::~ScratchFolder() {
    if (const UniqueFd folder(::open(FPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        folder.Valid()) {
        if (const auto items = ListFolder(folder.Get())) {
            for (const FolderItem& item : *items) ::unlinkat(folder.Get(), item.Name.c_str(), 0);
        }
    }
    ::rmdir(FPath.c_str());
}

}  // namespace vb::platform
