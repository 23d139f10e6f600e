#include "zip/WrittenDirectory.h"

#include <algorithm>
#include <cstring>

#include "zip/ArchiveDirectory.h"
#include "zip/ByteOrder.h"
#include "zip/EntryHeaders.h"
#include "platform/FileIo.h"
#include "platform/SystemError.h"
#include "util/Error.h"

namespace vb::zip {

WrittenDirectory::WrittenDirectory(std::string scratchFolder, std::size_t memoryLimit)
    : FLimit(memoryLimit), FScratch(std::move(scratchFolder)) {}

void WrittenDirectory::Add(const ArchiveEntry& entry, bool anew) {
    const CentralDirectoryHeader header = MakeCentralHeader(entry);
    if (!FMemory.empty() && FMemory.size() + header.Size() > FLimit) Spill();
    header.Write(FMemory);
    FAnew.push_back(anew);
}

void WrittenDirectory::Reserve(std::size_t bytes) { FMemory.reserve(std::min(bytes, FLimit)); }

// The bytes in memory move behind those already in the scratch file. A scratch file
// that cannot be made or written costs nothing but memory: the bytes stay here, and
// so do all that follow.
void WrittenDirectory::Spill() {
    if (!FScratch.Append({FMemory})) return;
    FMemory.clear();
}

void WrittenDirectory::Read(std::uint64_t offset, char* out, std::size_t size) const {
    const std::uint64_t spilled = FScratch.Size();
    if (offset < spilled) {
        const auto fromFile = static_cast<std::size_t>(std::min<std::uint64_t>(size, spilled - offset));
        const platform::IoResult read = platform::ReadAt(FScratch.Fd(), out, fromFile, offset);
        if (!read) {
            throw Error("Das Inhaltsverzeichnis des neuen Archivs kann nicht gelesen werden: " +
                        (read.Error ? SystemErrorText(read.Error) : std::string("unerwartetes Dateiende")));
        }
        out += fromFile;
        offset += fromFile;
        size -= fromFile;
    }
    if (size > 0) std::memcpy(out, FMemory.data() + (offset - spilled), size);
}

std::size_t WrittenDirectory::PieceSize() const { return std::max<std::size_t>(FLimit, 512); }

// Makes sure `bytes` bytes from the next header on are in the buffer: what was read
// already is dropped, and the next piece is read. False when the directory ends first.
bool WrittenDirectory::Reader::Have(std::size_t bytes) {
    if (FBuffer.size() - FPos >= bytes) return true;
    FBuffer.erase(0, FPos);
    FStart += FPos;
    FPos = 0;
    const std::uint64_t next = FStart + FBuffer.size();
    const std::size_t wanted = std::max(bytes - FBuffer.size(), FDirectory.PieceSize());
    const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, FDirectory.Size() - next));
    const std::size_t kept = FBuffer.size();
    FBuffer.resize(kept + take);
    FDirectory.Read(next, FBuffer.data() + kept, take);
    return FBuffer.size() >= bytes;
}

std::optional<ArchiveEntry> WrittenDirectory::Reader::Next(std::uint64_t dataEnd) {
    constexpr std::size_t kFixed = CentralDirectoryHeader::kFixedSize;
    if (!Have(kFixed)) return std::nullopt;
    // Name, extra field and comment follow the fixed part; their lengths end it.
    const auto* fixed = reinterpret_cast<const unsigned char*>(FBuffer.data() + FPos);
    const std::size_t size = kFixed + Get16(fixed + 28) + Get16(fixed + 30) + Get16(fixed + 32);
    if (!Have(size)) return std::nullopt;
    return ReadCentralEntry(std::string_view(FBuffer).substr(0, FPos + size), FPos, dataEnd);
}

WrittenDirectory WrittenDirectory::AllAnew(const std::vector<ArchiveEntry>& entries) {
    WrittenDirectory directory;
    for (const ArchiveEntry& e : entries) directory.Add(e, true);
    return directory;
}

}  // namespace vb::zip
