#include "zip/FileSelector.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/FileStat.h"
#include "platform/FileSystems.h"
#include "platform/PathWalk.h"
#include "util/Utf8.h"

namespace vb::zip {
namespace {

// Splits a name into characters: code points where the bytes are UTF-8, single bytes
// where they are not, so that any file name can be matched.
std::vector<char32_t> Characters(std::string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (auto cp = utf8::next(text, pos)) {
            out.push_back(*cp);
        } else {
            out.push_back(0x110000 + static_cast<unsigned char>(text[pos]));
            ++pos;
        }
    }
    return out;
}

char32_t Fold(char32_t c) {
    return (c >= U'A' && c <= U'Z') ? c - U'A' + U'a' : c;
}

class Search {
public:
    Search(std::string_view mask, bool recursive, const SelectionHandlers& handlers, const std::string& top)
        : FMask(mask), FRecursive(recursive), FHandlers(handlers), FTop(top) {}

    // Searches the open folder `fd`, whose path is `folder` ("" or ending in "/").
    void Folder(const UniqueFd& fd, const std::string& folder, std::optional<dev_t> parentDevice) {
        // Another file system begins here: pseudo ones (proc, sysfs, ...) hold no data
        // to save, and reading some of them never ends.
        const auto self = platform::StatFd(fd.Get());
        const dev_t device = self ? self->Device : 0;
        if ((!parentDevice || *parentDevice != device) && platform::IsPseudoFileSystem(fd.Get())) return;
        int error = 0;
        const auto items = platform::ListFolder(fd.Get(), &error);
        if (!items) {
            if (error != ENOENT && error != ENOTDIR) Skip(folder, SkipReason::FolderUnreadable);
            return;
        }
        std::vector<std::string> subfolders;
        for (const auto& item : *items) {
            const std::string path = folder + item.Name;
            const auto& status = item.Status;
            if (!status) continue;
            bool isFolder = status->Kind == platform::FileKind::Directory;
            bool isFile = status->Kind == platform::FileKind::Regular;
            platform::FileStatus target = *status;
            if (status->Kind == platform::FileKind::Symlink) {
                const auto followed = platform::StatPath(path, true);
                if (!followed || followed->Kind != platform::FileKind::Regular) continue;
                if (!MatchesMask(item.Name, FMask)) continue;
                if (!MayFollow(path, *status)) {
                    Skip(path, SkipReason::ForeignLink);
                    continue;
                }
                isFile = true;
                target = *followed;
            }
            if (isFolder && FRecursive) subfolders.push_back(item.Name);
            if (!isFolder && !isFile) continue;
            if (FHandlers.Excluded && FHandlers.Excluded(path, target)) continue;
            if (MatchesMask(item.Name, FMask)) FHandlers.Found({path, isFolder, target});
        }
        // A subfolder is entered by its name in this folder, never through a link put
        // in its place since it was listed.
        for (const auto& name : subfolders) {
            UniqueFd sub(::openat(fd.Get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sub.Valid()) Folder(sub, folder + name + "/", device);
        }
    }

    // The pattern's own folder, walked from its path under the rule for links: a link
    // on the way that belongs to another user is not followed, and the folder counts
    // as one that cannot be searched.
    void Top() {
        platform::WalkResult walked = platform::OpenFolder(FTop.empty() ? "." : FTop);
        switch (walked.Problem) {
        case platform::WalkProblem::None: Folder(walked.Fd, FTop, std::nullopt); return;
        case platform::WalkProblem::Missing:
        case platform::WalkProblem::NotAFolder: return;
        case platform::WalkProblem::ForeignLink:
        case platform::WalkProblem::TooManyLinks: Skip(FTop, SkipReason::ForeignLink); return;
        case platform::WalkProblem::Failed:
            if (walked.Error != ENOENT && walked.Error != ENOTDIR) Skip(FTop, SkipReason::FolderUnreadable);
            return;
        }
    }

private:
    void Skip(const std::string& path, SkipReason reason) {
        if (!FHandlers.Skipped) return;
        FHandlers.Skipped(path.size() > 1 && path.back() == '/' ? path.substr(0, path.size() - 1) : path, reason);
    }

    // A link that the running user (or root) made is followed wherever it points; one
    // of another user only to a file inside the searched folder, so that nobody can
    // plant a link that copies a file they may not read into the archive.
    bool MayFollow(const std::string& path, const platform::FileStatus& link) {
        const uid_t me = ::geteuid();
        if (link.Owner == me || link.Owner == 0) return true;
        if (!FTopResolved) FTopResolved = platform::ResolvedPath(FTop.empty() ? "." : FTop).value_or("");
        const auto target = platform::ResolvedPath(path);
        if (!target || FTopResolved->empty()) return false;
        const std::string& top = *FTopResolved;
        return target->size() > top.size() && target->compare(0, top.size(), top) == 0 &&
               (top.back() == '/' || (*target)[top.size()] == '/');
    }

    std::string_view FMask;
    bool FRecursive;
    const SelectionHandlers& FHandlers;
    std::string FTop;
    std::optional<std::string> FTopResolved;
};

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (mask == "*" || mask == "*.*") return true;
    const auto n = Characters(name);
    const auto m = Characters(mask);
    std::size_t ni = 0, mi = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (ni < n.size()) {
        if (mi < m.size() && (m[mi] == U'?' || (m[mi] != U'*' && Fold(m[mi]) == Fold(n[ni])))) {
            ++ni;
            ++mi;
        } else if (mi < m.size() && m[mi] == U'*') {
            starMask = mi++;
            starName = ni;
        } else if (starMask != std::string_view::npos) {
            mi = starMask + 1;
            ni = ++starName;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == U'*') ++mi;
    return mi == m.size();
}

void SelectFiles(std::string_view pattern, bool recursive, const SelectionHandlers& handlers) {
    while (!pattern.empty() && pattern.front() == ' ') pattern.remove_prefix(1);
    while (!pattern.empty() && pattern.back() == ' ') pattern.remove_suffix(1);
    const std::size_t slash = pattern.rfind('/');
    const std::string folder = slash == std::string_view::npos ? std::string() : std::string(pattern.substr(0, slash + 1));
    const std::string_view mask = slash == std::string_view::npos ? pattern : pattern.substr(slash + 1);
    if (mask.empty()) return;
    Search(mask, recursive, handlers, folder).Top();
}

}  // namespace vb::zip
