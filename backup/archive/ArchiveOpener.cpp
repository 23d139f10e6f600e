#include "backup/archive/ArchiveOpener.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/Error.h"

namespace vb::zip {
namespace {

// Opens and examines the file; false when it cannot be opened.
bool Load(const std::string& path, OpenedArchive& out) {
    // Without blocking: a FIFO or device in the archive's place must not hang the run.
    out.Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (out.Fd < 0) return false;
    struct stat st{};
    if (::fstat(out.Fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(out.Fd);
        throw Error("Das Archiv " + path + " ist keine gew\xC3\xB6hnliche Datei.");
    }
    out.Size = static_cast<std::uint64_t>(st.st_size);
    if (out.Size > 0) out.Directory = ReadArchiveDirectory(out.Fd, out.Size);
    return true;
}

}  // namespace

OpenedArchive OpenExistingArchive(const std::string& path, ArchiveMedium* medium,
                                  const std::function<bool()>& requestLastDisk) {
    OpenedArchive archive;
    if (!Load(path, archive))
        throw Error("Das Archiv " + path + " kann nicht geöffnet werden: " + std::strerror(errno));
    if (archive.Directory.Problem == DirectoryProblem::EndMissing && medium && medium->IsRemovable(path)) {
        // The first disk of a set: the end record is on the last one.
        while (archive.Directory.Problem == DirectoryProblem::EndMissing) {
            ::close(archive.Fd);
            archive = OpenedArchive{};
            if (!requestLastDisk || !requestLastDisk()) throw Error("Process aborted by user");
            if (!Load(path, archive)) archive.Directory.Problem = DirectoryProblem::EndMissing;
        }
    }
    if (archive.Directory.Problem != DirectoryProblem::None) {
        if (archive.Fd >= 0) ::close(archive.Fd);
        throw Error(archive.Directory.Problem == DirectoryProblem::NotZip ? "Unhandled Archive Type"
                                                                         : "Invalid file - not a PKZip file");
    }
    return archive;
}

}  // namespace vb::zip
