#include "platform/ReplacingFile.h"

#include <fcntl.h>
#include <unistd.h>

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
                             Naming naming)
    : FFolder(folder),
      FFolderName("."),
      FTarget(std::move(name)),
      FTemporary(std::move(temporaryTemplate)),
      FDurability(durability) {
    Create(naming);
}

void ReplacingFile::Create(Naming naming) {
    if (naming == Naming::Unnamed && ProcMounted()) {
        FFd.Reset(::openat(FFolder, FFolderName.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
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
    const std::string self = ProcPath(FFd.Get());
    if (::linkat(AT_FDCWD, self.c_str(), FFolder, FTarget.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno != EEXIST || placing == Placing::NoReplace) return errno;
    // Something is at the target: the content takes a free temporary name and is
    // renamed over it. A name that is taken (by anything, a link too) is passed over.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = WithRandomEnd(FTemporary);
        if (::linkat(AT_FDCWD, self.c_str(), FFolder, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST) continue;
            return errno;
        }
        if (::renameat(FFolder, temporary.c_str(), FFolder, FTarget.c_str()) == 0) return 0;
        const int error = errno;
        ::unlinkat(FFolder, temporary.c_str(), 0);
        return error;
    }
    return EEXIST;
}

}  // namespace vb::platform
