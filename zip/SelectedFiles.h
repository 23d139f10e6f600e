#pragma once
// The files a selection found that are new to the archive, in the order found, held
// compactly until the save writes them: the folder part of their paths once for each
// run of files in one folder, their last names, and two words each. Files are kept in
// blocks of kBlockFiles whose text is trimmed to its size once the block is full.
//
// Full blocks stay in memory up to a limit; beyond it they move to a scratch file
// without a name in a given folder, so that a selection of many files holds little
// more than the limit in memory. When that file cannot be created or written (a full
// temporary folder), the blocks simply stay in memory from then on. A block read
// back is kept in one of two places, so that files asked for in order, as the save
// does, read each block once.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SpillFile.h"

namespace vb::zip {

class SelectedFiles {
public:
    struct File {
        std::string Path;          // as the search found it
        bool Folder = false;
        std::uint64_t Device = 0;  // identity of the file when it was selected
        std::uint64_t Inode = 0;
    };

    static constexpr std::size_t kBlockFiles = 4096;
    static constexpr std::size_t kMemoryLimit = 512 << 10;

    // Full blocks beyond `memoryLimit` bytes go to a scratch file in `scratchFolder`;
    // without a folder every block stays in memory.
    explicit SelectedFiles(std::string scratchFolder = {}, std::size_t memoryLimit = kMemoryLimit);
    // For the blocks from now on, unless some went to a scratch file already.
    void SetScratchFolder(std::string folder);

    void Add(std::string_view path, bool folder, std::uint64_t device, std::uint64_t inode);
    std::size_t Size() const { return FSize; }
    bool Empty() const { return FSize == 0; }
    // File `i`, on any thread. Its Path is empty when its block cannot be read back.
    File At(std::size_t i) const;
    // The path of file `i`, built in `scratch`. Throws vb::Error when its block cannot
    // be read back.
    std::string_view PathOf(std::size_t i, std::string& scratch) const;
    // Its stored name (as zip::StoredNameFromPath makes it), built in `scratch`.
    std::string_view NameOf(std::size_t i, std::string& scratch) const;
    // Reads the blocks of files `i` and those after them back, for At on other
    // threads. Throws vb::Error when a block cannot be read.
    void ReadAhead(std::size_t i) const;
    // Gives back the room kept for more files, once no more come.
    void Trim();
    // Forgets every file and gives the memory back.
    void Clear();

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
        std::uint64_t Spilled = kInMemory;  // where the block lies in the scratch file
        std::uint32_t TextSize = 0;         // of a spilled block
    };
    static constexpr std::uint64_t kInMemory = ~std::uint64_t{0};
    // A run of files in one folder and on one device, from file First on, within one
    // block; its path lies in that block's text.
    struct Folder {
        std::uint64_t First = 0;
        std::uint64_t Device = 0;
        std::uint32_t Text = 0;
        std::uint32_t Length = 0;
    };
    struct ReadBack {
        std::size_t Index = ~std::size_t{0};
        Block Data;
    };

    const Folder& FolderOf(std::size_t i) const;
    void Spill(Block& block);
    // Builds file `i` from its block; false, with the errno value in `error` (0: the
    // scratch file ended early), when the block cannot be read back.
    bool Copy(std::size_t i, std::string& path, Record& record, int& error) const;
    // The same; throws vb::Error when the block cannot be read back.
    Record CopyOrThrow(std::size_t i, std::string& path) const;
    // Block `b` as read back, with FReadMutex held; null, with `error` set, when it
    // cannot be read.
    const Block* Load(std::size_t b, int& error) const;

    std::size_t FLimit;
    std::vector<Block> FBlocks;
    std::vector<Folder> FFolders;
    std::size_t FSize = 0;
    std::size_t FInMemory = 0;   // bytes of the full blocks in memory
    std::string FScratchFolder;
    platform::SpillFile FScratch;
    mutable std::mutex FReadMutex;
    mutable std::array<ReadBack, 2> FReadBack;
};

}  // namespace vb::zip
