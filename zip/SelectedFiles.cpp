#include "zip/SelectedFiles.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "zip/EntryName.h"
#include "platform/FileIo.h"
#include "platform/SystemError.h"
#include "util/Error.h"

namespace vb::zip {

SelectedFiles::SelectedFiles(std::string scratchFolder, std::size_t memoryLimit)
    : FLimit(memoryLimit), FScratchFolder(std::move(scratchFolder)), FScratch(FScratchFolder) {}

void SelectedFiles::SetScratchFolder(std::string folder) {
    FScratchFolder = std::move(folder);
    // Blocks already in the scratch file stay where they are.
    if (FScratch.Fd() < 0) FScratch = platform::SpillFile(FScratchFolder);
}

void SelectedFiles::Add(std::string_view path, bool folder, std::uint64_t device, std::uint64_t inode) {
    // The folder part ends with the last "/"; the search lists a folder's files one
    // after the other, so consecutive files share it.
    std::size_t split = path.rfind('/');
    split = split == std::string_view::npos ? 0 : split + 1;
    if (path.size() - split > std::numeric_limits<std::uint16_t>::max()) split = path.size();
    const std::string_view folderPart = path.substr(0, split);
    if (FSize % kBlockFiles == 0) {
        if (!FBlocks.empty()) {
            // The full block's text shrinks to what it holds; beyond the limit the
            // block leaves memory.
            Block& full = FBlocks.back();
            full.Text.shrink_to_fit();
            FInMemory += kBlockFiles * sizeof(Record) + full.Text.size();
            if (FInMemory > FLimit) Spill(full);
        }
        FBlocks.emplace_back();
    }
    Block& block = FBlocks.back();
    // A block's text stays far below 4 GiB: 4,096 names of at most 64 KiB, and the
    // folder parts of their runs, which the system limits to a few KiB.
    if (block.Text.size() + path.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("path too long");
    const bool sameFolder =
        FSize % kBlockFiles != 0 && FFolders.back().Device == device &&
        std::string_view(block.Text).substr(FFolders.back().Text, FFolders.back().Length) == folderPart;
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

// The block's records, then its text, go behind the blocks already in the scratch
// file. A scratch file that cannot be made or written costs nothing but memory.
void SelectedFiles::Spill(Block& block) {
    const std::string_view records(reinterpret_cast<const char*>(block.Records.get()), kBlockFiles * sizeof(Record));
    const auto at = FScratch.Append({records, block.Text});
    if (!at) return;
    block.Spilled = *at;
    block.TextSize = static_cast<std::uint32_t>(block.Text.size());
    FInMemory -= records.size() + block.Text.size();
    block.Records.reset();
    std::string().swap(block.Text);
}

const SelectedFiles::Folder& SelectedFiles::FolderOf(std::size_t i) const {
    const auto after = std::upper_bound(FFolders.begin(), FFolders.end(), i,
                                        [](std::size_t file, const Folder& f) { return file < f.First; });
    return *(after - 1);
}

const SelectedFiles::Block* SelectedFiles::Load(std::size_t b, int& error) const {
    for (ReadBack& slot : FReadBack)
        if (slot.Index == b) return &slot.Data;
    // Files are asked for in order: the block read back longest ago gives way.
    const std::size_t none = ~std::size_t{0};
    ReadBack& slot = FReadBack[0].Index == none || (FReadBack[1].Index != none && FReadBack[0].Index < FReadBack[1].Index)
                         ? FReadBack[0]
                         : FReadBack[1];
    slot.Index = none;
    const Block& from = FBlocks[b];
    if (!slot.Data.Records) slot.Data.Records.reset(new Record[kBlockFiles]);
    slot.Data.Text.resize(from.TextSize);
    const std::size_t records = kBlockFiles * sizeof(Record);
    for (const platform::IoResult read :
         {platform::ReadAt(FScratch.Fd(), slot.Data.Records.get(), records, from.Spilled),
          platform::ReadAt(FScratch.Fd(), slot.Data.Text.data(), from.TextSize, from.Spilled + records)}) {
        if (!read) {
            error = read.Error;
            return nullptr;
        }
    }
    slot.Index = b;
    return &slot.Data;
}

bool SelectedFiles::Copy(std::size_t i, std::string& path, Record& record, int& error) const {
    const Block* block = &FBlocks[i / kBlockFiles];
    std::unique_lock lock(FReadMutex, std::defer_lock);
    if (block->Spilled != kInMemory) {
        lock.lock();
        block = Load(i / kBlockFiles, error);
        if (!block) return false;
    }
    record = block->Records[i % kBlockFiles];
    const Folder& f = FolderOf(i);
    path.assign(block->Text, f.Text, f.Length);
    path.append(block->Text, record.Leaf, record.LeafLength);
    return true;
}

namespace {
[[noreturn]] void CannotReadBack(int error) {
    throw Error("Die Liste der ausgewählten Dateien kann nicht gelesen werden: " +
                (error ? SystemErrorText(error) : std::string("unerwartetes Dateiende")));
}
}  // namespace

void SelectedFiles::ReadAhead(std::size_t i) const {
    std::lock_guard lock(FReadMutex);
    int error = 0;
    for (std::size_t b = i / kBlockFiles; b < FBlocks.size() && b <= i / kBlockFiles + 1; ++b) {
        if (FBlocks[b].Spilled != kInMemory && !Load(b, error)) CannotReadBack(error);
    }
}

SelectedFiles::Record SelectedFiles::CopyOrThrow(std::size_t i, std::string& path) const {
    Record record;
    int error = 0;
    if (!Copy(i, path, record, error)) CannotReadBack(error);
    return record;
}

std::string_view SelectedFiles::PathOf(std::size_t i, std::string& scratch) const {
    CopyOrThrow(i, scratch);
    return scratch;
}

std::string_view SelectedFiles::NameOf(std::size_t i, std::string& scratch) const {
    const Record record = CopyOrThrow(i, scratch);
    scratch = StoredNameFromPath(scratch, record.IsFolder);
    return scratch;
}

SelectedFiles::File SelectedFiles::At(std::size_t i) const {
    File file;
    Record record;
    int error = 0;
    if (!Copy(i, file.Path, record, error)) return {};
    file.Folder = record.IsFolder;
    file.Device = FolderOf(i).Device;
    file.Inode = record.Inode;
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
    FInMemory = 0;
    FScratch = platform::SpillFile(FScratchFolder);
    std::lock_guard lock(FReadMutex);
    FReadBack = {};
}

}  // namespace vb::zip
