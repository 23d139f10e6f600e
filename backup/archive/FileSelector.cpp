#include "backup/archive/FileSelector.h"

#include <vector>

#include "platform/FileStat.h"
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

void Search(const std::string& folder, std::string_view mask, bool recursive,
            const std::optional<FileIdentity>& exclude, const std::function<void(const SelectedItem&)>& found) {
    const std::string listPath = folder.empty() ? "." : folder;
    const auto items = platform::ListFolder(listPath);
    if (!items) return;
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
            isFile = true;
            target = *followed;
        }
        if (isFolder && recursive) subfolders.push_back(path + "/");
        if (!isFolder && !isFile) continue;
        if (exclude && target.Device == exclude->Device && target.Inode == exclude->Inode) continue;
        if (MatchesMask(item.Name, mask)) found({path, isFolder, target});
    }
    for (const auto& sub : subfolders) Search(sub, mask, recursive, exclude, found);
}

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

void SelectFiles(std::string_view pattern, bool recursive, const std::optional<FileIdentity>& exclude,
                 const std::function<void(const SelectedItem&)>& found) {
    while (!pattern.empty() && pattern.front() == ' ') pattern.remove_prefix(1);
    while (!pattern.empty() && pattern.back() == ' ') pattern.remove_suffix(1);
    const std::size_t slash = pattern.rfind('/');
    const std::string folder = slash == std::string_view::npos ? std::string() : std::string(pattern.substr(0, slash + 1));
    const std::string_view mask = slash == std::string_view::npos ? pattern : pattern.substr(slash + 1);
    if (mask.empty()) return;
    Search(folder, mask, recursive, exclude, found);
}

}  // namespace vb::zip
