#include "platform/TemporaryFiles.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileStat.h"
#include "platform/OpenFiles.h"

#include "util/PathText.h"

namespace vb::platform {
namespace {

constexpr std::string_view kMarker = ".vbtmp-";
constexpr std::size_t kRandomLength = 6;

}  // namespace

std::string TemporaryTemplateFor(const std::string& file) {
    const auto slash = file.rfind('/');
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    return FolderOf(file) + "/." + name + std::string(kMarker) + "XXXXXX";
}

UniqueFd CreateScratchFile(const std::string& folder, int& error) {
    std::string path = folder + "/vb-scratch-XXXXXX";
    UniqueFd fd(::mkostemp(path.data(), O_CLOEXEC));
    error = fd.Valid() ? 0 : errno;
    if (fd.Valid()) ::unlink(path.c_str());
    return fd;
}

std::optional<std::string_view> StandsInFor(std::string_view name) {
    const std::size_t tail = kMarker.size() + kRandomLength;
    if (name.size() <= 1 + tail || name.front() != '.' || name.substr(name.size() - tail, kMarker.size()) != kMarker)
        return std::nullopt;
    return name.substr(1, name.size() - 1 - tail);
}

int RemoveStaleTemporaries(const std::string& folder, const std::string& fileName) {
    const auto items = ListFolder(folder);
    if (!items) return 0;
    int removed = 0;
    for (const FolderItem& item : *items) {
        if (StandsInFor(item.Name) != std::string_view(fileName)) continue;
        const std::string path = folder + "/" + item.Name;
        struct stat st{};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (IsFileInUse(st.st_dev, st.st_ino, -1)) continue;
        if (::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

}  // namespace vb::platform
