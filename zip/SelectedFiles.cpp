#include "zip/SelectedFiles.h"

#include <limits>
#include <stdexcept>

#include "zip/EntryName.h"

namespace vb::zip {

void SelectedFiles::Add(std::string_view path, bool folder, std::uint64_t device, std::uint64_t inode) {
    // The folder part ends with the last "/"; the search lists a folder's files one
    // after the other, so consecutive files share it.
    std::size_t split = path.rfind('/');
    split = split == std::string_view::npos ? 0 : split + 1;
    if (path.size() - split > std::numeric_limits<std::uint16_t>::max()) split = path.size();
    const std::string_view folderPart = path.substr(0, split);
    if (folderPart.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("path too long");
    const bool sameFolder = !FFolders.empty() && FFolders.back().Device == device &&
                            std::string_view(FText).substr(FFolders.back().Text, FFolders.back().Length) == folderPart;
    if (!sameFolder) {
        FFolders.push_back({FText.size(), device, static_cast<std::uint32_t>(folderPart.size())});
        FText.append(folderPart);
    }
    Record r;
    r.Inode = inode;
    r.Leaf = FText.size();
    r.Folder = static_cast<std::uint32_t>(FFolders.size() - 1);
    r.LeafLength = static_cast<std::uint16_t>(path.size() - split);
    r.IsFolder = folder;
    FText.append(path.substr(split));
    FFiles.push_back(r);
}

std::string_view SelectedFiles::PathOf(std::size_t i, std::string& scratch) const {
    const Record& r = FFiles[i];
    const Folder& f = FFolders[r.Folder];
    scratch.assign(FText, f.Text, f.Length);
    scratch.append(FText, r.Leaf, r.LeafLength);
    return scratch;
}

std::string_view SelectedFiles::NameOf(std::size_t i, std::string& scratch) const {
    PathOf(i, scratch);
    scratch = StoredNameFromPath(scratch, FFiles[i].IsFolder);
    return scratch;
}

SelectedFiles::File SelectedFiles::At(std::size_t i) const {
    File file;
    PathOf(i, file.Path);
    file.Folder = FFiles[i].IsFolder;
    file.Device = FFolders[FFiles[i].Folder].Device;
    file.Inode = FFiles[i].Inode;
    return file;
}

void SelectedFiles::Clear() {
    FText = std::string();
    FFolders = {};
    FFiles = {};
}

}  // namespace vb::zip
