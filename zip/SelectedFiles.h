#pragma once
// The files a selection found that are new to the archive, in the order found, held
// compactly until the save writes them: the folder part of their paths once for each
// run of files in one folder, their last names, and two words each. Files are kept in
// blocks whose text is trimmed to its size once the block is full, so a pass over
// many files costs about the length of a file name per file here, without the slack
// of one buffer that doubles, rather than a whole ArchiveEntry with its name and path.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vb::zip {

class SelectedFiles {
public:
    struct File {
        std::string Path;          // as the search found it
        bool Folder = false;
        std::uint64_t Device = 0;  // identity of the file when it was selected
        std::uint64_t Inode = 0;
    };

    void Add(std::string_view path, bool folder, std::uint64_t device, std::uint64_t inode);
    std::size_t Size() const { return FSize; }
    bool Empty() const { return FSize == 0; }
    File At(std::size_t i) const;
    // The path of file `i`, built in `scratch`.
    std::string_view PathOf(std::size_t i, std::string& scratch) const;
    // Its stored name (as zip::StoredNameFromPath makes it), built in `scratch`.
    std::string_view NameOf(std::size_t i, std::string& scratch) const;
    // Gives back the room kept for more files, once no more come.
    void Trim();
    // Forgets every file and gives the memory back.
    void Clear();

    static constexpr std::size_t kBlockFiles = 4096;

private:
    struct Record {
        std::uint64_t Inode = 0;
        std::uint32_t Leaf = 0;  // offset of the last name in its block's text
        std::uint16_t LeafLength = 0;
        bool IsFolder = false;
    };
    struct Block {
        std::unique_ptr<Record[]> Records{new Record[kBlockFiles]};
        std::string Text;
    };
    // A run of files in one folder and on one device, from file First on; its path
    // lies in the text of the block that holds file First.
    struct Folder {
        std::uint64_t First = 0;
        std::uint64_t Device = 0;
        std::uint32_t Text = 0;
        std::uint32_t Length = 0;
    };

    const Folder& FolderOf(std::size_t i) const;
    std::string_view FolderText(const Folder& f) const;

    std::vector<Block> FBlocks;
    std::vector<Folder> FFolders;
    std::size_t FSize = 0;
};

}  // namespace vb::zip
