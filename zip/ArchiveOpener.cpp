#include "zip/ArchiveOpener.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/PathWalk.h"
#include "platform/SystemError.h"
#include "util/Error.h"

namespace vb::zip {
namespace {

// Opens and examines the file; the errno value when it cannot be opened, else 0. A
// link of another user on the way or in the archive's place is not followed.
int Load(const std::string& path, OpenedArchive& out, bool withEntries) {
    // Without blocking: a FIFO or device in the archive's place must not hang the run.
    platform::WalkResult opened = platform::OpenFile(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (opened.Problem == platform::WalkProblem::ForeignLink || opened.Problem == platform::WalkProblem::TooManyLinks)
        throw Error("Das Archiv " + path + " kann nicht geöffnet werden: " + platform::WalkProblemText(opened));
    if (!opened.Ok()) return opened.Problem == platform::WalkProblem::NotAFolder ? ENOTDIR : opened.Error;
    out.Fd = std::move(opened.Fd);
    struct stat st{};
    if (::fstat(out.Fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw Error("Das Archiv " + path + " ist keine gewöhnliche Datei.");
    out.Size = static_cast<std::uint64_t>(st.st_size);
    if (out.Size > 0)
        out.Directory = withEntries ? ReadArchiveDirectory(out.Fd.Get(), out.Size) : FindArchiveDirectory(out.Fd.Get(), out.Size);
    return 0;
}

}  // namespace

OpenedArchive OpenExistingArchive(const std::string& path, ArchiveMedium* medium,
                                  const std::function<bool()>& requestLastDisk, bool withEntries) {
    OpenedArchive archive;
    if (const int error = Load(path, archive, withEntries))
        throw Error("Das Archiv " + path + " kann nicht geöffnet werden: " + SystemErrorText(error));
    if (archive.Directory.Problem == DirectoryProblem::EndMissing && medium && medium->IsRemovable(path)) {
        // The first disk of a set: the end record is on the last one.
        while (archive.Directory.Problem == DirectoryProblem::EndMissing) {
            archive = OpenedArchive{};
            if (!requestLastDisk || !requestLastDisk()) throw Error("Process aborted by user");
            if (Load(path, archive, withEntries) != 0) archive.Directory.Problem = DirectoryProblem::EndMissing;
        }
    }
    if (archive.Directory.Problem != DirectoryProblem::None) {
        throw Error(archive.Directory.Problem == DirectoryProblem::NotZip ? "Unhandled Archive Type"
                                                                         : "Invalid file - not a PKZip file");
    }
    return archive;
}

}  // namespace vb::zip
