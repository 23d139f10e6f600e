#pragma once
// The central directory of a new archive, made while its entries are written: each
// entry's central header appended as bytes (the directory itself, written at the end
// as it stands), and which of the entries were written anew, in the same order. An
// entry costs its header's bytes here, not a whole ArchiveEntry.
//
// The bytes stay in memory up to a limit; beyond it, whole pieces move to a scratch
// file without a name in a given folder, so that a save of many entries holds no more
// of its directory in memory than the limit. When that file cannot be created or
// written (a full temporary folder), the bytes simply stay in memory from then on.
// Whoever reads the directory reads it in pieces: the part in the scratch file first,
// then the part in memory.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zip/ArchiveEntry.h"
#include "platform/SpillFile.h"

namespace vb::zip {

class WrittenDirectory {
public:
    static constexpr std::size_t kMemoryLimit = 512 << 10;

    // Bytes beyond `memoryLimit` go to a scratch file in `scratchFolder`; without a
    // folder every byte stays in memory.
    explicit WrittenDirectory(std::string scratchFolder = {}, std::size_t memoryLimit = kMemoryLimit);
    WrittenDirectory(WrittenDirectory&&) = default;
    WrittenDirectory& operator=(WrittenDirectory&&) = default;

    void Add(const ArchiveEntry& entry, bool anew);
    // Room for `bytes` of headers in memory, never more than the limit.
    void Reserve(std::size_t bytes);

    std::uint64_t Count() const { return FAnew.size(); }
    // Whether entry `index` (from 0, in order) was written anew in this save.
    bool Anew(std::uint64_t index) const { return FAnew[index]; }
    // The bytes of all headers.
    std::uint64_t Size() const { return FScratch.Size() + FMemory.size(); }

    // The first SpilledSize() bytes lie in ScratchFd() from offset 0 (invalid when
    // none do), the rest in InMemory().
    int ScratchFd() const { return FScratch.Fd(); }
    std::uint64_t SpilledSize() const { return FScratch.Size(); }
    std::string_view InMemory() const { return FMemory; }

    // The bytes from `offset` on, `size` of them (offset + size <= Size()), read
    // wherever they lie. Throws vb::Error when the scratch file cannot be read.
    void Read(std::uint64_t offset, char* out, std::size_t size) const;
    // How many bytes a reader takes at once: the limit, or a little more.
    std::size_t PieceSize() const;

    // The entries, one at a time and in order, parsed from pieces of the bytes.
    class Reader {
    public:
        explicit Reader(const WrittenDirectory& directory) : FDirectory(directory) {}
        // The next entry; nullopt after the last one, or at a header that does not
        // fit or whose local header lies at or beyond `dataEnd`.
        std::optional<ArchiveEntry> Next(std::uint64_t dataEnd);
        // Where the next header begins.
        std::uint64_t Position() const { return FStart + FPos; }

    private:
        bool Have(std::size_t bytes);

        const WrittenDirectory& FDirectory;
        std::string FBuffer;  // bytes of the directory from FStart on
        std::uint64_t FStart = 0;
        std::size_t FPos = 0;  // the next header within FBuffer
    };

    // The directory of `entries`, each counted as written anew, in memory.
    static WrittenDirectory AllAnew(const std::vector<ArchiveEntry>& entries);

private:
    void Spill();

    std::size_t FLimit;
    std::string FMemory;  // the headers after those in the scratch file
    platform::SpillFile FScratch;
    std::vector<bool> FAnew;     // per entry: its data was written in this save
};

}  // namespace vb::zip
