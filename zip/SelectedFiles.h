#pragma once
// The files a selection found that are new to the archive, in the order found, held
// compactly until the save writes them: the folder part of their paths once for each
// run of files in one folder, their last names in one buffer, and three words each.
// A pass over many files costs about the length of a file name per file here,
// rather than a whole ArchiveEntry with its name and path.
#include <cstdint>
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
    std::size_t Size() const { return FFiles.size(); }
    bool Empty() const { return FFiles.empty(); }
    File At(std::size_t i) const;
    // The path of file `i`, built in `scratch`.
    std::string_view PathOf(std::size_t i, std::string& scratch) const;
    // Its stored name (as zip::StoredNameFromPath makes it), built in `scratch`.
    std::string_view NameOf(std::size_t i, std::string& scratch) const;
    // Forgets every file and gives the memory back.
    void Clear();

private:
    // A run of files in one folder and on one device.
    struct Folder {
        std::uint64_t Text = 0;  // offset in FText
        std::uint64_t Device = 0;
        std::uint32_t Length = 0;
    };
    struct Record {
        std::uint64_t Inode = 0;
        std::uint64_t Leaf = 0;         // offset of the last name in FText
        std::uint32_t Folder = 0;       // index into FFolders
        std::uint16_t LeafLength = 0;
        bool IsFolder = false;
    };

    std::string FText;
    std::vector<Folder> FFolders;
    std::vector<Record> FFiles;
};

}  // namespace vb::zip
