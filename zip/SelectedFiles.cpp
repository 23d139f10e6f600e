#include "zip/SelectedFiles.h"

#include <algorithm>
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
    if (FSize % kBlockFiles == 0) {
        // The full block's text shrinks to what it holds.
        if (!FBlocks.empty()) FBlocks.back().Text.shrink_to_fit();
        FBlocks.emplace_back();
    }
    Block& block = FBlocks.back();
    // A block's text stays far below 4 GiB: 4,096 names of at most 64 KiB, and the
    // folder parts of their runs, which the system limits to a few KiB.
    if (block.Text.size() + path.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("path too long");
    const bool sameFolder = !FFolders.empty() && FFolders.back().Device == device &&
                            FolderText(FFolders.back()) == folderPart && FSize % kBlockFiles != 0;
    if (!sameFolder) {
        FFolders.push_back({FSize, device, static_cast<std::uint32_t>(block.Text.size()),
                            static_cast<std::uint32_t>(folderPart.size())});
        block.Text.append(folderPart);
    }
    Record& r = block.Records[FSize % kBlockFiles];
    r.Inode = inode;
    r.Leaf = static_cast<std::uint32_t>(block.Text.size());
    r.LeafLength = static_cast<std::uint16_t>(path.size() - split);
    r.IsFolder = folder;
    block.Text.append(path.substr(split));
    ++FSize;
}

const SelectedFiles::Folder& SelectedFiles::FolderOf(std::size_t i) const {
    const auto after = std::upper_bound(FFolders.begin(), FFolders.end(), i,
                                        [](std::size_t file, const Folder& f) { return file < f.First; });
    return *(after - 1);
}

std::string_view SelectedFiles::FolderText(const Folder& f) const {
    return std::string_view(FBlocks[f.First / kBlockFiles].Text).substr(f.Text, f.Length);
}

std::string_view SelectedFiles::PathOf(std::size_t i, std::string& scratch) const {
    const Block& block = FBlocks[i / kBlockFiles];
    const Record& r = block.Records[i % kBlockFiles];
    scratch.assign(FolderText(FolderOf(i)));
    scratch.append(block.Text, r.Leaf, r.LeafLength);
    return scratch;
}

std::string_view SelectedFiles::NameOf(std::size_t i, std::string& scratch) const {
    PathOf(i, scratch);
    scratch = StoredNameFromPath(scratch, FBlocks[i / kBlockFiles].Records[i % kBlockFiles].IsFolder);
    return scratch;
}

SelectedFiles::File SelectedFiles::At(std::size_t i) const {
    const Record& r = FBlocks[i / kBlockFiles].Records[i % kBlockFiles];
    File file;
    PathOf(i, file.Path);
    file.Folder = r.IsFolder;
    file.Device = FolderOf(i).Device;
    file.Inode = r.Inode;
    return file;
}

void SelectedFiles::Trim() {
    if (!FBlocks.empty()) FBlocks.back().Text.shrink_to_fit();
    FBlocks.shrink_to_fit();
    FFolders.shrink_to_fit();
}

void SelectedFiles::Clear() {
    std::vector<Block>().swap(FBlocks);
    std::vector<Folder>().swap(FFolders);
    FSize = 0;
}

}  // namespace vb::zip
