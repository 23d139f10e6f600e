#include "platform/PathWalk.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/SystemError.h"

namespace vb::platform {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows on one path
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string Joined(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

WalkResult Failure(WalkProblem problem, std::string where, int error = 0) {
    WalkResult result;
    result.Problem = problem;
    result.Where = std::move(where);
    result.Error = error;
    return result;
}

WalkResult Success(UniqueFd fd, std::string where) {
    WalkResult result;
    result.Fd = std::move(fd);
    result.Where = std::move(where);
    return result;
}

class Walker {
public:
    // Walks `path` from the open folder `start` (borrowed; AT_FDCWD for the current
    // folder, or the root for an absolute path).
    WalkResult Walk(int start, std::string_view path, std::string shown) {
        if (!path.empty() && path.front() == '/') {
            UniqueFd root(::open("/", kFolderFlags));
            if (!root.Valid()) return Failure(WalkProblem::Failed, "/", errno);
            return WalkFrom(std::move(root), path, "/");
        }
        UniqueFd here(::openat(start, ".", kFolderFlags));
        if (!here.Valid()) return Failure(WalkProblem::Failed, shown.empty() ? "." : shown, errno);
        return WalkFrom(std::move(here), path, std::move(shown));
    }

    WalkResult Step(int folder, std::string_view name, std::string_view shown) {
        const std::string where = Joined(shown, name);
        const std::string part(name);
        UniqueFd next(::openat(folder, part.c_str(), kFolderFlags));
        if (next.Valid()) return Success(std::move(next), where);
        const int error = errno;
        if (error == ENOENT) return Failure(WalkProblem::Missing, where, error);
        if (error != ENOTDIR && error != ELOOP) return Failure(WalkProblem::Failed, where, error);
        // A file or a link. The link is pinned by a descriptor of its own, so what is
        // judged and read is the link that was found, whatever takes its name later.
        UniqueFd link(::openat(folder, part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!link.Valid()) return Failure(errno == ENOENT ? WalkProblem::Missing : WalkProblem::Failed, where, errno);
        if (::fstat(link.Get(), &st) != 0) return Failure(WalkProblem::Failed, where, errno);
        if (S_ISDIR(st.st_mode)) {
            // A folder took the name just now: taken as found.
            UniqueFd folderNow(::openat(link.Get(), ".", kFolderFlags));
            if (!folderNow.Valid()) return Failure(WalkProblem::Failed, where, errno);
            return Success(std::move(folderNow), where);
        }
        if (!S_ISLNK(st.st_mode)) return Failure(WalkProblem::NotAFolder, where, ENOTDIR);
        std::string target;
        if (WalkResult refused = Judge(link, st, where, target); !refused.Where.empty()) return refused;
        WalkResult followed = Walk(folder, target, std::string(shown));
        if (!followed.Ok()) {
            if (followed.Problem == WalkProblem::Missing) followed.Problem = WalkProblem::NotAFolder;
            if (followed.Problem == WalkProblem::NotAFolder) followed.Where = where;
            return followed;
        }
        followed.Where = where;
        return followed;
    }

    // The file `name` in `folder`, with links in its place followed under the rule.
    WalkResult File(int folder, std::string_view name, std::string_view shown, int flags) {
        const std::string where = Joined(shown, name);
        const std::string part(name);
        UniqueFd file(::openat(folder, part.c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
        if (file.Valid()) return Success(std::move(file), where);
        const int error = errno;
        if (error == ENOENT) return Failure(WalkProblem::Missing, where, error);
        if (error != ELOOP) return Failure(WalkProblem::Failed, where, error);
        UniqueFd link(::openat(folder, part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!link.Valid() || ::fstat(link.Get(), &st) != 0) return Failure(WalkProblem::Failed, where, errno);
        if (!S_ISLNK(st.st_mode)) return Failure(WalkProblem::Failed, where, ELOOP);
        std::string target;
        if (WalkResult refused = Judge(link, st, where, target); !refused.Where.empty()) return refused;
        const std::size_t slash = target.rfind('/');
        if (slash == std::string::npos) return File(folder, target, shown, flags);
        WalkResult there = Walk(folder, std::string_view(target).substr(0, slash == 0 ? 1 : slash), std::string(shown));
        if (!there.Ok()) return there;
        return File(there.Fd.Get(), std::string_view(target).substr(slash + 1), there.Where, flags);
    }

private:
    // The pinned link `link` with status `st`, found at `where`: its target when it may
    // be followed, else the failure to return (a result with an empty Where means go on).
    WalkResult Judge(const UniqueFd& link, const struct stat& st, const std::string& where, std::string& target) {
        if (!MayFollowLinkOf(st.st_uid)) {
            WalkResult result = Failure(WalkProblem::ForeignLink, where, ELOOP);
            result.LinkOwner = st.st_uid;
            return result;
        }
        if (++FLinks > kMaxLinks) return Failure(WalkProblem::TooManyLinks, where, ELOOP);
        char buffer[PATH_MAX];
        const ssize_t length = ::readlinkat(link.Get(), "", buffer, sizeof buffer);
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer)
            return Failure(WalkProblem::Failed, where, length < 0 ? errno : ENAMETOOLONG);
        target.assign(buffer, static_cast<std::size_t>(length));
        return {};
    }

    WalkResult WalkFrom(UniqueFd here, std::string_view path, std::string shown) {
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t slash = path.find('/', start);
            if (slash == std::string_view::npos) slash = path.size();
            const std::string_view part = path.substr(start, slash - start);
            start = slash + 1;
            if (part.empty() || part == ".") continue;
            WalkResult next = Step(here.Get(), part, shown);
            if (!next.Ok()) return next;
            here = std::move(next.Fd);
            shown = std::move(next.Where);
        }
        return Success(std::move(here), shown.empty() ? "." : shown);
    }

    int FLinks = 0;
};

}  // namespace

bool MayFollowLinkOf(uid_t owner) { return owner == 0 || owner == ::geteuid(); }

WalkResult OpenFolder(std::string_view path) { return Walker().Walk(AT_FDCWD, path, ""); }

WalkResult OpenFile(std::string_view path, int flags) {
    Walker walker;
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        UniqueFd here(::open(".", kFolderFlags));
        if (!here.Valid()) return Failure(WalkProblem::Failed, ".", errno);
        return walker.File(here.Get(), path, "", flags);
    }
    WalkResult folder = walker.Walk(AT_FDCWD, path.substr(0, slash == 0 ? 1 : slash), "");
    if (!folder.Ok()) return folder;
    return walker.File(folder.Fd.Get(), path.substr(slash + 1), folder.Where, flags);
}

WalkResult OpenFileIn(int folder, std::string_view name, std::string_view shown, int flags) {
    return Walker().File(folder, name, shown, flags);
}

WalkResult OpenSubfolder(int folder, std::string_view name, std::string_view shown) {
    return Walker().Step(folder, name, shown);
}

WalkResult OpenOrCreateSubfolder(int folder, std::string_view name, std::string_view shown, mode_t mode,
                                 bool& created) {
    created = false;
    WalkResult found = OpenSubfolder(folder, name, shown);
    if (found.Problem != WalkProblem::Missing) return found;
    const std::string part(name);
    if (::mkdirat(folder, part.c_str(), mode) == 0)
        created = true;
    else if (errno != EEXIST)
        return Failure(WalkProblem::Failed, found.Where, errno);
    // Opened by name again: whatever is there now is judged like anything found.
    WalkResult opened = OpenSubfolder(folder, name, shown);
    if (!opened.Ok()) created = false;
    return opened;
}

FoundFile OpenFoundFile(const std::string& path, dev_t device, ino_t inode, int flags) {
    FoundFile found;
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC);
    how.resolve = RESOLVE_NO_SYMLINKS;
    found.Fd.Reset(static_cast<int>(::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how)));
    const auto isFound = [&](int fd) {
        const auto status = StatFd(fd);
        if (!status || status->Kind != FileKind::Regular) return false;
        if (inode != 0 && (status->Device != device || status->Inode != inode)) return false;
        found.Status = *status;
        return true;
    };
    if (!found.Fd.Valid()) {
        // Mostly ELOOP, a link on the way; but also a kernel without openat2, or a
        // sandbox that refuses it (EPERM): the path is resolved again, opening nothing.
        const UniqueFd pinned(::open(path.c_str(), O_PATH | O_CLOEXEC));
        if (!pinned.Valid() || !isFound(pinned.Get())) return {};
        found.Fd.Reset(::open(("/proc/self/fd/" + std::to_string(pinned.Get())).c_str(), flags | O_CLOEXEC));
    }
    if (!found.Fd.Valid() || !isFound(found.Fd.Get())) return {};
    return found;
}

std::string WalkProblemText(const WalkResult& result) {
    const std::string& path = result.Where;
    switch (result.Problem) {
    case WalkProblem::None: return {};
    case WalkProblem::Missing: return "Der Ordner " + path + " ist nicht vorhanden.";
    case WalkProblem::NotAFolder: return "Der Pfad " + path + " ist kein Ordner.";
    case WalkProblem::ForeignLink:
        return "Der Pfad " + path + " ist eine Verknüpfung eines anderen Benutzers (Eigentümer " +
               std::to_string(result.LinkOwner) + ") und wird nicht verfolgt.";
    case WalkProblem::TooManyLinks: return "Der Pfad " + path + " enthält zu viele Verknüpfungen.";
    case WalkProblem::Failed: break;
    }
    return "Der Ordner " + path + " kann nicht geöffnet werden: " + SystemErrorText(result.Error);
}

}  // namespace vb::platform
