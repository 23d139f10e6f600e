#include "platform/RemovableMedia.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "util/PathText.h"

namespace vb::platform {
namespace {

bool ReadsOne(const std::string& file) {
    std::ifstream in(file);
    char c = 0;
    return in.get(c) && c == '1';
}

std::string DeviceNode(dev_t device) {
    return "/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

}  // namespace

bool IsOnRemovableDrive(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 && ::stat(FolderOf(path).c_str(), &st) != 0) return false;
    if (major(st.st_dev) == 0) return false;  // no block device (tmpfs, overlay, network)
    const std::string link = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    char resolved[PATH_MAX];
    if (!::realpath(link.c_str(), resolved)) return false;
    const std::string device = resolved;
    // A partition's own folder has no "removable"; its disk's folder above it does.
    return ReadsOne(device + "/removable") || ReadsOne(device + "/../removable");
}

bool SetVolumeLabel(const std::string& path, const std::string& label) {
    struct stat st{};
    if (::stat(FolderOf(path).c_str(), &st) != 0) return false;
    const std::string node = DeviceNode(st.st_dev);
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        ::execlp("fatlabel", "fatlabel", node.c_str(), label.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vb::platform
