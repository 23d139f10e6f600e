#include "platform/ReplacingFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>

#include "platform/RenameNoReplace.h"
#include "platform/TemporaryFiles.h"

#include "util/PathText.h"

namespace vb::platform {
namespace {

// An unnamed file is linked in through its path below /proc.
bool ProcMounted() {
    static const bool mounted = ::access("/proc/self/fd", X_OK) == 0;
    return mounted;
}

std::string ProcPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Links the unnamed file `fd` in as `name`. The descriptor itself is linked where the
// process may (root or another holder of CAP_DAC_READ_SEARCH, and from Linux 6.10 on
// whoever created the file), which spares the kernel the walk through /proc; the first
// refusal makes every later link take that path.
int LinkUnnamed(int fd, int folder, const char* name) {
    static std::atomic<bool> byDescriptor{true};
    if (byDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0) return 0;
        if (errno != ENOENT && errno != EPERM) return errno;
        // ENOENT is also the answer to a missing right: the path below /proc tells.
        byDescriptor.store(false, std::memory_order_relaxed);
    }
    const std::string self = ProcPath(fd);
    return ::linkat(AT_FDCWD, self.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

// `name` with its trailing "XXXXXX" made random.
std::string WithRandomEnd(std::string name) {
    thread_local std::mt19937_64 random(std::random_device{}());
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (std::size_t i = name.size() < 6 ? 0 : name.size() - 6; i < name.size(); ++i)
        name[i] = kLetters[random() % (sizeof kLetters - 1)];
    return name;
}

}  // namespace

ReplacingFile::ReplacingFile(std::string target, Durability durability, std::string temporaryTemplate, Naming naming)
    : FFolder(AT_FDCWD),
      FFolderName(FolderOf(target)),
      FTarget(std::move(target)),
      FTemporary(temporaryTemplate.empty() ? TemporaryTemplateFor(FTarget) : std::move(temporaryTemplate)),
      FDurability(durability) {
    Create(naming);
}

ReplacingFile::ReplacingFile(int folder, std::string name, Durability durability, std::string temporaryTemplate,
                             Naming naming, mode_t unnamedMode)
    : FFolder(folder),
      FFolderName("."),
      FTarget(std::move(name)),
      FTemporary(std::move(temporaryTemplate)),
      FDurability(durability) {
    Create(naming, unnamedMode);
}

void ReplacingFile::Create(Naming naming, mode_t unnamedMode) {
    if (naming == Naming::Unnamed && ProcMounted()) {
        FFd.Reset(::openat(FFolder, FFolderName.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, unnamedMode & 0777));
        if (FFd.Valid()) {
            FUnnamed = true;
            return;
        }
        // File systems without unnamed files answer so; they get a named one.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            FCreateError = errno;
            return;
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = WithRandomEnd(FTemporary);
        FFd.Reset(::openat(FFolder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (FFd.Valid()) {
            FTemporary = std::move(name);
            return;
        }
        if (errno != EEXIST) break;
    }
    FCreateError = errno;
}

ReplacingFile::~ReplacingFile() {
    FFd.Reset();
    if (!FCommitted && FCreateError == 0 && !FUnnamed) ::unlinkat(FFolder, FTemporary.c_str(), 0);
}

int ReplacingFile::Flush() {
    if (FFd.Valid() && ::fsync(FFd.Get()) != 0) return errno;
    FFlushed = true;
    return 0;
}

int ReplacingFile::Close() {
    if (FUnnamed && !FCommitted) return 0;
    // The descriptor is gone whatever close reports.
    if (FFd.Valid() && ::close(FFd.Release()) != 0) return errno;
    return 0;
}

int ReplacingFile::Commit(Placing placing) {
    if (FCommitted) return 0;
    if (FCreateError != 0) return FCreateError;
    const bool durable = FDurability == Durability::Durable;
    if (durable && !FFlushed) {
        if (const int error = Flush(); error != 0) return error;
    }
    if (FUnnamed) {
        if (const int error = CommitUnnamed(placing); error != 0) return error;
    } else if (placing == Placing::NoReplace) {
        if (!RenameNoReplaceAt(FFolder, FTemporary, FFolder, FTarget)) return errno;
    } else if (::renameat(FFolder, FTemporary.c_str(), FFolder, FTarget.c_str()) != 0) {
        return errno;
    }
    FCommitted = true;
    if (durable) {
        // Makes the rename itself last; a folder that cannot be flushed still has it.
        UniqueFd folder(::openat(FFolder, FFolderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.Valid()) ::fsync(folder.Get());
    }
    return 0;
}

int ReplacingFile::CommitUnnamed(Placing placing) {
    if (const int error = LinkUnnamed(FFd.Get(), FFolder, FTarget.c_str()); error != EEXIST || placing == Placing::NoReplace)
        return error;
    // Something is at the target: the content takes a free temporary name and is
    // renamed over it. A name that is taken (by anything, a link too) is passed over.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = WithRandomEnd(FTemporary);
        if (const int error = LinkUnnamed(FFd.Get(), FFolder, temporary.c_str()); error != 0) {
            if (error == EEXIST) continue;
            return error;
        }
        if (::renameat(FFolder, temporary.c_str(), FFolder, FTarget.c_str()) == 0) return 0;
        const int error = errno;
        ::unlinkat(FFolder, temporary.c_str(), 0);
        return error;
    }
    return EEXIST;
}

}  // namespace vb::platform
