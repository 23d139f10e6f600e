#pragma once
// Watches one file for being opened (inotify IN_OPEN): the proof that a program never
// opened a file, not even for a moment, where opening alone could act (a device).
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <string>

#include "platform/UniqueFd.h"

namespace vb::test {

class OpenWatch {
public:
    explicit OpenWatch(const std::string& path) : FPath(path), FWatch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        FWatching = FWatch.Valid() && ::inotify_add_watch(FWatch.Get(), path.c_str(), IN_OPEN) >= 0;
    }

    bool Watching() const { return FWatching; }

    // Whether the file was opened since the last question.
    bool OpenedSince() const {
        char events[4096];
        return ::read(FWatch.Get(), events, sizeof events) > 0;
    }

    // Whether the kernel counts a descriptor that only names the file (O_PATH) as an
    // open; older kernels do, and there the watch cannot tell the two apart.
    bool SeesPathDescriptors() const {
        { const UniqueFd probe(::open(FPath.c_str(), O_PATH | O_CLOEXEC)); }
        return OpenedSince();
    }

private:
    std::string FPath;
    UniqueFd FWatch;
    bool FWatching = false;
};

}  // namespace vb::test
