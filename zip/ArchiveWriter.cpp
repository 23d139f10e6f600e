#include "zip/ArchiveWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

#include "zip/ArchiveDirectory.h"
#include "zip/ArchiveOpener.h"
#include "zip/ByteOrder.h"
#include "zip/CompressionPipeline.h"
#include "zip/CompressionPipelineFinish.h"
#include "zip/EntryHeaders.h"
#include "zip/EntryName.h"
#include "zip/LayoutCheck.h"
#include "zip/OutputFile.h"
#include "zip/OwnerFields.h"
#include "zip/RemovableDriveMedium.h"
#include "zip/SpannedWriter.h"
#include "zip/ZipCrypto.h"
#include "platform/BackgroundClose.h"
#include "platform/FileIo.h"
#include "platform/HeapRelease.h"
#include "platform/ReplacingFile.h"
#include "platform/ShellFolders.h"
#include "platform/SystemError.h"
#include "platform/PathWalk.h"
#include "platform/TemporaryFiles.h"
#include "util/CodePage.h"
#include "util/Error.h"
#include "util/PathText.h"
#include "platform/RunPhases.h"

namespace vb {
namespace {

// The password's bytes for the method: Windows-1252 for the traditional cipher, as
// this program always wrote them; UTF-8 for AES, as 7-Zip and bsdtar read them.
std::string PasswordBytes(const std::string& password, zip::EncryptionMethod method) {
    if (method == zip::EncryptionMethod::Aes256) return password;
    if (auto exact = encodeBestFit(kAnsiCodePage, password)) return *exact;
    return encodeLossy(kAnsiCodePage, password);
}

std::uint16_t VersionNeeded(const ArchiveEntry& e, bool zip64) {
    if (e.Method == zip::kMethodAes) return 51;
    if (zip64) return 45;
    if (e.IsEncrypted() || e.Method == 8 || e.IsFolder()) return 20;
    return 10;
}

[[noreturn]] void CannotCreateTemporary(const std::string& folder, int error) {
    throw Error("Im Ordner " + folder + " kann keine temporäre Datei angelegt werden: " + SystemErrorText(error));
}

// An entry as the new archive holds it once written: nothing left to do, and no
// longer tied to the file it was made from (a pass over many files would otherwise
// keep every path twice until the save ends).
ArchiveEntry WrittenCopy(const ArchiveEntry& source) {
    ArchiveEntry e = source;
    e.Action = EntryAction::Unchanged;
    e.SourcePath = std::string();
    return e;
}

// A file new to the archive as an entry to add.
ArchiveEntry EntryToAdd(zip::SelectedFiles::File file) {
    ArchiveEntry e;
    e.Name = zip::StoredNameFromPath(file.Path, file.Folder);
    e.Action = EntryAction::Add;
    e.SourcePath = std::move(file.Path);
    e.SourceDevice = file.Device;
    e.SourceInode = file.Inode;
    return e;
}

// A new or changed entry on its way into the archive: its header fields from the
// file as it was opened, its data from the compression pipeline.
class NewEntry {
public:
    NewEntry(const ArchiveEntry& source, const zip::SourceInfo& info, const zip::OwnerFieldCache::Owner& owner,
             const zip::EntryEncryption& encryption, std::uint64_t offset)
        : FInfo(info), FEncryption(encryption), FName(*zip::EncodeName(source.Name)), FEntry(WrittenCopy(source)) {
        ArchiveEntry& e = FEntry;
        e.HeaderName = FName.Bytes;
        // Local and central header carry the same fields: the Unicode Path field, then
        // owner and group (then the AES field of an AES entry).
        FBaseExtra = FName.UnicodeExtra + owner.Fields;
        FExtra = FBaseExtra;
        e.CentralExtra = FExtra;
        // No data descriptor, also when encrypted: the local header carries the real
        // CRC-32 and sizes, and the encryption header's check byte is the CRC's.
        e.Flags = static_cast<std::uint16_t>((Encrypted() ? zip::kFlagEncrypted : 0) |
                                             (FName.Utf8Flag ? zip::kFlagUtf8 : 0));
        e.DosTime = info.Dos.Time;
        e.DosDate = info.Dos.Date;
        // The Unix mode goes into the upper half on every host byte: the DOS attributes
        // stay in the low byte for Windows, and Info-ZIP's unzip also takes the mode
        // of a host 0 entry whose owner bits agree with them (see the README).
        e.ExternalAttributes = info.Attributes | (info.Status.Mode & 0xFFFFu) << 16;
        e.UnixMode = info.Status.Mode & 0xFFFFu;
        e.Uid = info.Status.Owner;
        e.Gid = info.Status.Group;
        e.OwnerName = owner.OwnerName;
        e.GroupName = owner.GroupName;
        e.InternalAttributes = 0;
        e.DiskStart = 0;
        e.LocalHeaderOffset = offset;
        const std::uint64_t size = e.IsFolder() ? 0 : info.Status.Size;
        FSizes64 = size + zip::ZipCrypto::kHeaderSize + zip::WinZipAes::Overhead(zip::kAes256) >= zip::kMax32;
        FZip64 = FSizes64 || offset >= zip::kMax32;
    }

    const ArchiveEntry& Entry() const { return FEntry; }
    ArchiveEntry Take() { return std::move(FEntry); }

    // An empty file or folder, or a file that is one task of the pipeline: header and
    // data at once. False, with nothing written, when the file could not be read in
    // full or `changed` says it changed while it was read.
    bool WriteWhole(zip::OutputFile& out, zip::CompressionPipeline& pipeline, const std::function<bool()>& changed) {
        ArchiveEntry& e = FEntry;
        std::string data;
        if (FInfo.ChunkCount == 0) {
            FMethod = 0;
            e.Crc32 = 0;
            e.UncompressedSize = 0;
            if (Encrypted()) {
                // The encryption of nothing: a header, or salt, verifier and code.
                data.assign(FEncryption.Leading(), '\0');
                zip::EncryptWhole(FEncryption, 0, data);
            }
        } else {
            zip::ChunkResult r = pipeline.TakeChunk();
            if (!r.Ok || changed()) return false;
            FMethod = r.Stored ? 0 : 8;
            e.Crc32 = r.Crc32;
            e.UncompressedSize = r.InputSize;
            data = std::move(r.Data);
        }
        e.CompressedSize = data.size();
        SetVersions();
        out.Write(LocalHeader());
        out.Write(data);
        return true;
    }

    // A large file: its chunks arrive in order and are written as they come; the
    // local header, and the encryption that depends on the CRC-32, are completed
    // once the CRC-32 and sizes are known. False when the file could not be read in
    // full or changed; what was written of it is the caller's to drop.
    bool WriteChunked(zip::OutputFile& out, zip::CompressionPipeline& pipeline, const std::function<bool()>& changed) {
        ArchiveEntry& e = FEntry;
        FMethod = 8;
        SetVersions();
        out.Write(LocalHeader());
        const std::uint64_t headerBytes = FEncryption.Leading();
        const std::uint64_t dataStart = out.Position() + headerBytes;
        out.Write(std::string(headerBytes, '\0'));
        bool ok = true;
        std::uint32_t crc = 0;
        std::uint64_t total = 0;
        for (std::size_t k = 0; k < FInfo.ChunkCount; ++k) {
            zip::ChunkResult r = pipeline.TakeChunk();
            if (!ok || !r.Ok) {
                ok = false;
                continue;
            }
            crc = static_cast<std::uint32_t>(crc32_combine(crc, r.Crc32, static_cast<z_off_t>(r.InputSize)));
            total += r.InputSize;
            out.Write(r.Data);
        }
        bool stored = false;
        if (ok) ok = zip::StoreWhenDeflateDidNotPay(FInfo, out, dataStart, total, crc, stored);
        if (stored) FMethod = 0;
        if (!ok || changed()) return false;
        e.Crc32 = crc;
        e.UncompressedSize = total;
        const std::uint64_t dataSize = out.Position() - dataStart;
        zip::EncryptWritten(FEncryption, out, dataStart, dataSize, crc);
        e.CompressedSize = dataSize + headerBytes + FEncryption.Trailing();
        SetVersions();
        out.PatchAt(e.LocalHeaderOffset, LocalHeader());
        return true;
    }

private:
    // Folders hold no data: AES leaves them unencrypted, as 7-Zip does.
    bool Aes() const { return FEncryption.Aes() && !FEntry.IsFolder(); }
    bool Encrypted() const { return FEncryption.On() && (Aes() || !FEncryption.Aes()); }

    std::string LocalHeader() const {
        const std::string extra =
            FSizes64 ? zip::MakeLocalZip64Field(FEntry.UncompressedSize, FEntry.CompressedSize) : std::string();
        return zip::MakeLocalHeader(FEntry, FSizes64, extra + FExtra);
    }

    // The header fields that follow from the method: an AES entry names method 99 with
    // its real method in the AES field, and stores no CRC (AE-2: the authentication
    // code stands in for it).
    void SetVersions() {
        FEntry.Method = Aes() ? zip::kMethodAes : FMethod;
        if (Aes()) {
            FEntry.Crc32 = 0;
            FExtra = FBaseExtra + zip::MakeAesField({2, zip::kAes256, FMethod});
            FEntry.CentralExtra = FExtra;
        }
        FEntry.VersionNeeded = VersionNeeded(FEntry, FZip64);
        FEntry.VersionMadeBy =
            static_cast<std::uint16_t>((FName.Host << 8) | std::max<std::uint16_t>(20, FEntry.VersionNeeded));
    }

    const zip::SourceInfo& FInfo;
    const zip::EntryEncryption& FEncryption;
    std::uint16_t FMethod = 0;  // how the data itself is compressed
    const zip::EncodedName FName;
    std::string FBaseExtra;  // name and owner fields
    std::string FExtra;      // extra fields of both headers, without the Zip64 field
    ArchiveEntry FEntry;
    bool FSizes64 = false;
    bool FZip64 = false;
};

}  // namespace

ArchiveWriter::ArchiveWriter()
    : Medium(std::make_shared<RemovableDriveMedium>()), FTempDirectory(TemporaryFolder()) {
    FAdded.SetScratchFolder(FTempDirectory);
}

ArchiveWriter::~ArchiveWriter() { Release(); }

void ArchiveWriter::Release() {
    if (FArriving.valid()) FArriving.wait();  // it reads from FFd
    FArriving = {};
    FFd.Reset();
    FLocalHeaders.Clear();
    FOpen = false;
    FNew = false;
    FBeforePlacing = nullptr;
    FPending.clear();
    FLog.Stop();
    FEntries.clear();
    FAdded.Clear();
    FSaved.reset();
    FIndex.Clear();
    FIndexed = false;
    FComment.clear();
    FSelf.reset();
    FSpanned = false;
}

void ArchiveWriter::SetLogFile(const std::string& path) {
    FLogFile = path;
    UpdateLog();
}

void ArchiveWriter::SetLogging(bool on) {
    FLogging = on;
    UpdateLog();
}

void ArchiveWriter::UpdateLog() {
    const bool wanted = IsOpen() && FLogging && !FLogFile.empty();
    if (!wanted) FLog.Stop();
    else if (!FLog.Active()) FLog.Start(FLogFile, FPath);
}

void ArchiveWriter::Open(const std::string& path) {
    if (IsOpen()) Close();
    RunPhase phase("archive open");
    // An archive path that is a symbolic link is updated where the link points.
    const std::string target = platform::FollowLinks(path);
    if (::access(target.c_str(), F_OK) != 0 && errno == ENOENT) {
        if (!EndsWithZip(path)) throw Error("Unhandled Archive Type");
        StartNew(path, nullptr);
        FTarget = target;
        return;
    }
    zip::OpenedArchive archive =
        zip::OpenExistingArchive(target, Medium.get(), OnRequestLastDisk, /*withEntries=*/false);
    FOpen = true;
    FPath = path;
    FTarget = target;
    FFd = std::move(archive.Fd);
    TakeIdentity();
    FFileSize = archive.Size;
    FCreatedHere = archive.Size == 0;
    FSpanned = archive.Directory.DiskNumber != 0;
    FEntries.clear();
    FComment = std::move(archive.Directory.Comment);
    FIndexed = false;
    if (archive.Size > 0 && !FSpanned) {
        // The entries are read while the selection walks the folders. An update
        // copies entries by the directory's word: one that does not match the file
        // would spoil the new archive, so the old one is kept untouched.
        // Without its entries the archive must never be saved: a thread that cannot
        // be started closes it again.
        try {
            FArriving = std::async(std::launch::async, [fd = FFd.Get(), dir = std::move(archive.Directory)]() mutable {
                zip::ReadDirectoryEntries(fd, dir);
                ReadEntries read;
                if (dir.Problem != zip::DirectoryProblem::None || !zip::EntriesAreSound(fd, dir, &read.Headers))
                    throw Error("Invalid file - not a PKZip file");
                read.Entries = std::move(dir.Entries);
                return read;
            });
        } catch (...) {
            Release();
            throw;
        }
    }
    try {
        UpdateLog();
    } catch (...) {
        Release();
        throw;
    }
}

void ArchiveWriter::OpenNew(const std::string& path, std::function<void()> beforePlacing) {
    if (IsOpen()) Close();
    StartNew(path, std::move(beforePlacing));
}

void ArchiveWriter::OpenNew(const std::string& path, const std::string& pending, std::function<void()> place) {
    OpenNew(path, std::move(place));
    FPending = pending;
}

void ArchiveWriter::StartNew(const std::string& path, std::function<void()> beforePlacing) {
    FOpen = true;
    FNew = true;
    FBeforePlacing = std::move(beforePlacing);
    FPending.clear();
    FPath = path;
    FTarget = path;
    FFd.Reset();
    FSelf.reset();
    FComment.clear();
    FFileSize = 0;
    FCreatedHere = true;
    FSpanned = false;
    FEntries.clear();
    FAdded.Clear();
    FSaved.reset();
    FIndex.Clear();
    FIndexed = false;
    try {
        UpdateLog();
    } catch (...) {
        Release();
        throw;
    }
}

// A new archive takes its place only when complete: after the caller's step (the
// rotation of the generations), by a rename that never replaces a file; or first
// under its pending name, from where the caller's step moves it.
void ArchiveWriter::PlaceNewArchive(platform::ReplacingFile& file) {
    if (FPending.empty() && FBeforePlacing) FBeforePlacing();
    if (const int error = file.Commit(platform::ReplacingFile::Placing::NoReplace)) {
        throw Error("Das Archiv " + (FPending.empty() ? FPath : FPending) +
                    " kann nicht an seinen Platz gebracht werden: " + SystemErrorText(error));
    }
    if (!FPending.empty()) {
        if (FBeforePlacing) FBeforePlacing();
        const auto placed = platform::StatPath(FTarget, false);
        const auto self = platform::StatFd(file.Fd());
        if (!placed || !self || placed->Device != self->Device || placed->Inode != self->Inode) {
            throw Error("Das Archiv " + FPath + " kann nicht an seinen Platz gebracht werden; die neue Sicherung " +
                        "bleibt vollständig unter " + FPending + " erhalten.");
        }
    }
    FNew = false;
    FBeforePlacing = nullptr;
    FPending.clear();
}

// A file that cannot be read is left out of the archive; the log says so below the
// line that registered it, so the log never claims a file the archive lacks.
void ArchiveWriter::ReportLeftOut(const ArchiveEntry& entry) {
    FLog.Line(entry.Name, " skipped ");
    if (OnFileLeftOut) OnFileLeftOut(entry.SourcePath, entry.Action == EntryAction::Replace);
}

void ArchiveWriter::AddFiles(const std::string& folder, const std::string& mask) {
    std::string trimmed = folder;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    while (!trimmed.empty() && trimmed.front() == ' ') trimmed.erase(0, 1);
    if (trimmed.empty()) throw Error("Eine Zeile der Sicherungsdefinition nennt keinen Ordner (Dateimaske " + mask + ").");
    AddFiles(trimmed + (trimmed.back() == '/' ? "" : "/") + mask);
}

void ArchiveWriter::AddFiles(const std::string& pattern) {
    if (!IsOpen()) return;
    if (pattern.find('/') == std::string::npos)
        throw Error("F\xC3\xBCr die Dateimaske " + pattern + " ist kein Ordner angegeben.");
    if (!EntriesArriving()) IndexEntries();
    RunPhase phase("folder scan");
    // While the archive's entries are still read, what the search finds waits in its
    // order and is taken, logged and reported once they are there.
    std::vector<Found> waiting;
    const auto settle = [this, &waiting] {
        AwaitEntries();
        IndexEntries();
        for (const Found& w : waiting) Take(w);
        waiting.clear();
    };
    // Whether what the search found now must wait; takes the waiting ones once the
    // entries are there.
    const auto mustWait = [&] {
        if (!EntriesArriving()) return false;
        if (FArriving.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return true;
        settle();
        return false;
    };
    zip::SelectionHandlers handlers;
    handlers.Excluded = [this](const std::string& path, const platform::FileStatus& status) {
        return IsArchiveFile(path, status);
    };
    handlers.Found = [&](const zip::SelectedItem& item) {
        if (mustWait()) waiting.push_back({item, std::nullopt});
        else Register(item);
    };
    handlers.Skipped = [&](const std::string& path, zip::SkipReason reason) {
        if (mustWait()) waiting.push_back({{path, false, {}}, reason});
        else ReportSkipped(path, reason);
    };
    zip::SelectFiles(pattern, FRecurse, handlers);
    if (EntriesArriving()) settle();
}

void ArchiveWriter::AwaitEntries() {
    if (!FArriving.valid()) return;
    RunPhase phase("archive open");
    ReadEntries read;
    try {
        read = FArriving.get();
    } catch (...) {
        Release();
        throw;
    }
    FEntries = std::move(read.Entries);
    FLocalHeaders = std::move(read.Headers);
    FIndexed = false;
}

void ArchiveWriter::Take(const Found& found) {
    if (found.Skipped) ReportSkipped(found.Item.Path, *found.Skipped);
    else Register(found.Item);
}

void ArchiveWriter::ReportSkipped(const std::string& path, zip::SkipReason reason) {
    const std::string name = zip::StoredNameFromPath(path, reason == zip::SkipReason::FolderUnreadable);
    FLog.Line(name, " skipped ");
    if (OnFileSkipped) OnFileSkipped(path, KeptFromBefore(name));
}

// The archive is never selected: neither the file it is now (a save between two
// selections replaces it by another) nor a temporary file of its saves.
bool ArchiveWriter::IsArchiveFile(const std::string& path, const platform::FileStatus& status) const {
    if (FSelf && status.Device == FSelf->Device && status.Inode == FSelf->Inode) return true;
    if (LastNameOf(path).starts_with("." + std::string(LastNameOf(FTarget)) + ".vbtmp-")) return true;
    return KeepOut && KeepOut(path);
}

void ArchiveWriter::TakeIdentity() {
    FSelf.reset();
    FLocalHeaders.Clear();  // they describe the file before
    if (!FFd.Valid()) return;
    if (auto status = platform::StatFd(FFd.Get())) FSelf = *status;
}

void ArchiveWriter::Register(const zip::SelectedItem& item) {
    const std::string name = zip::StoredNameFromPath(item.Path, item.Folder);
    if (name.empty()) return;
    if (!zip::EncodeName(name)) {
        FLog.Line(name, " skipped ");
        if (OnFileSkipped) OnFileSkipped(item.Path, false);
        return;
    }
    auto takeSource = [&item](ArchiveEntry& e) {
        e.SourcePath = item.Path;
        e.SourceDevice = item.Status.Device;
        e.SourceInode = item.Status.Inode;
    };
    const std::optional<std::size_t> found = FIndex.Find(name);
    if (!found) {
        FAdded.Add(item.Path, item.Folder, item.Status.Device, item.Status.Inode);
        FIndex.Set(FEntries.size() + FAdded.Size() - 1);
        FLog.Line(name, " added ");
        return;
    }
    // Two rows or masks that select the same file: it was taken in by the first, and
    // the archive keeps one entry of it, saved with all the others at the end. (A file
    // new to the archive waits in FAdded.)
    if (*found >= FEntries.size()) return;
    const EntryAction pending = FEntries[*found].Action;
    if (pending == EntryAction::Add || pending == EntryAction::Replace) return;
    ArchiveEntry& entry = FEntries[*found];
    takeSource(entry);
    // The status from the search decides; only a file that looks changed is opened.
    auto unchanged = [&entry](const platform::FileStatus& status, bool folder) {
        const zip::DosDateTime dos = zip::ToDosDateTime(status.ModifiedTime);
        const std::uint64_t size = folder ? 0 : status.Size;
        return dos.Time == entry.DosTime && dos.Date == entry.DosDate && size == entry.UncompressedSize;
    };
    if (unchanged(item.Status, item.Folder)) return;
    if (!item.Folder) {
        // Opened only while the path still leads to the file the search found.
        const platform::FoundFile file =
            platform::OpenFoundFile(item.Path, item.Status.Device, item.Status.Inode, O_RDONLY | O_NONBLOCK | O_NOCTTY);
        if (!file.Fd.Valid()) {
            // It changed but cannot be read: the old version stays, and is reported
            // as not brought up to date.
            FLog.Line(name, " skipped ");
            if (OnFileSkipped) OnFileSkipped(item.Path, true);
            return;
        }
        if (unchanged(file.Status, false)) return;
    }
    // Every entry of the name is freshened: archives of other tools may hold a name
    // twice, and the last one is what unzip leaves on disk.
    if (FDuplicateNames) {
        for (ArchiveEntry& other : FEntries) {
            if (other.Name != name || &other == &entry) continue;
            other.Action = EntryAction::Replace;
            takeSource(other);
        }
    }
    entry.Action = EntryAction::Replace;
    FLog.Line(name, " freshened ");
}

// The index names the last entry of each name: the one that extraction leaves.
void ArchiveWriter::RebuildIndex() {
    FIndex.Clear();
    FDuplicateNames = false;
    for (std::size_t i = 0; i < FEntries.size() + FAdded.Size(); ++i) {
        if (!FIndex.Set(i)) FDuplicateNames = true;
    }
    FIndexed = true;
}

// The entries of the last save, read from the directory it wrote.
void ArchiveWriter::TakeSavedEntries() const {
    if (!FSaved) return;
    const zip::WrittenDirectory& written = FSaved->Written;
    std::vector<ArchiveEntry> entries;
    entries.reserve(static_cast<std::size_t>(written.Count()));
    zip::WrittenDirectory::Reader reader(written);
    for (std::uint64_t i = 0; i < written.Count(); ++i) {
        auto entry = reader.Next(FSaved->Offset);
        // Never an update from a list that lacks entries of the archive.
        if (!entry) throw Error("Invalid file - not a PKZip file");
        entries.push_back(std::move(*entry));
    }
    FEntries = std::move(entries);
    FSaved.reset();
}

// The files new to the archive become whole entries, at the same positions.
void ArchiveWriter::TakeAddedEntries() const {
    if (FAdded.Empty()) return;
    if (FSaving) throw std::logic_error("ArchiveWriter: the entries are asked for while they are saved");
    FEntries.reserve(FEntries.size() + FAdded.Size());
    for (std::size_t i = 0; i < FAdded.Size(); ++i) {
        if (i % zip::SelectedFiles::kBlockFiles == 0) FAdded.ReadAhead(i);
        FEntries.push_back(EntryToAdd(FAdded.At(i)));
    }
    FAdded.Clear();
}

bool ArchiveWriter::KeptFromBefore(const std::string& name) const {
    const std::optional<std::size_t> found = FIndex.Find(name);
    return found && *found < FEntries.size() && FEntries[*found].Action != EntryAction::Add;
}

std::size_t ArchiveWriter::ToWrite() const {
    if (FSaved) return 0;
    return FAdded.Size() + static_cast<std::size_t>(std::count_if(FEntries.begin(), FEntries.end(), [](const ArchiveEntry& e) {
               return e.Action == EntryAction::Add || e.Action == EntryAction::Replace;
           }));
}

void ArchiveWriter::IndexEntries() {
    TakeSavedEntries();
    if (!FIndexed) RebuildIndex();
}

void ArchiveWriter::Save() {
    if (!IsOpen() || FSaved) return;  // saved, and nothing registered since
    AwaitEntries();  // a damaged archive fails its save even with nothing to write
    if (ToWrite() == 0 && !(FEntries.empty() && FFileSize == 0)) return;
    if (FSpanned) throw Error("Cannot update an existing spanned disk set");
    // While the save runs, what only the selection needs gives way: the slack the
    // selection left in the entries, and the index of their names, which the next
    // selection builds again from the entries as they are then.
    FEntries.shrink_to_fit();
    FAdded.Trim();
    FIndex.Clear();
    FIndexed = false;
    platform::ReturnFreedMemory();
    if (FCreatedHere && FFileSize == 0 && Medium && Medium->IsRemovable(FPath)) SaveDirect();
    else SaveToTemporaryFile();
}

void ArchiveWriter::Close() {
    if (!IsOpen()) return;
    Save();
    Release();
}

// Copies an unchanged entry: a new local header from the entry, the old local extra
// fields, the compressed bytes as they are, and the descriptor when bit 3 is set.
// Header, Zip64 field and descriptor agree: an old local Zip64 field (streaming
// writers leave zeros in it) is dropped, and the sizes take 8 bytes in the header's
// Zip64 field and in the descriptor exactly when they need them.
// Where the new header or descriptor equals the old bytes, the old bytes are copied
// instead, so that a run of unchanged entries becomes one copy of the old file. A
// header that the layout check of the opening found as it would be written is not read
// again.
ArchiveEntry ArchiveWriter::CopyEntry(const ArchiveEntry& source, zip::OutputFile& out) {
    RunPhase phase("copy of unchanged entries");
    ArchiveEntry e = WrittenCopy(source);
    e.LocalHeaderOffset = out.Position();
    const bool sizes64 = e.UncompressedSize >= zip::kMax32 || e.CompressedSize >= zip::kMax32;
    if (zip::NeedsZip64(e)) e.VersionNeeded = std::max<std::uint16_t>(e.VersionNeeded, 45);
    std::uint64_t headerSize = 0;
    const auto* known = FLocalHeaders.Find(source.LocalHeaderOffset);
    if (known && known->AsWritten && e.VersionNeeded == source.VersionNeeded) {
        headerSize = known->Length;
        out.CopyFrom(FFd.Get(), source.LocalHeaderOffset, headerSize);
    } else {
        headerSize = CopyLocalHeader(source, e, out);
    }
    const std::uint64_t dataOffset = source.LocalHeaderOffset + headerSize;
    out.CopyFrom(FFd.Get(), dataOffset, e.CompressedSize);
    if (e.Flags & zip::kFlagDataDescriptor) {
        const std::string descriptor = zip::MakeDataDescriptor(e, sizes64);
        const std::uint64_t descriptorOffset = dataOffset + e.CompressedSize;
        std::string oldDescriptor(descriptor.size(), '\0');
        if (platform::ReadAt(FFd.Get(), oldDescriptor.data(), oldDescriptor.size(), descriptorOffset) &&
            oldDescriptor == descriptor)
            out.CopyFrom(FFd.Get(), descriptorOffset, descriptor.size());
        else
            out.Write(descriptor);
    }
    return e;
}

// Reads the old local header of `source` and writes the header of `e` in its place
// (the old bytes where they are the same); the old header's size.
std::uint64_t ArchiveWriter::CopyLocalHeader(const ArchiveEntry& source, const ArchiveEntry& e,
                                             zip::OutputFile& out) const {
    constexpr std::size_t kFixed = zip::LocalFileHeader::kFixedSize;
    // One read for the fixed part, the name and (usually) the extra fields.
    std::string old(kFixed + source.HeaderName.size() + source.CentralExtra.size() + 64, '\0');
    const platform::IoResult first = platform::ReadAt(FFd.Get(), old.data(), old.size(), source.LocalHeaderOffset);
    const std::size_t got = first.Error == 0 ? first.Done : 0;  // the archive may end within the read
    std::uint16_t nameLength = 0, extraLength = 0;
    std::optional<zip::LocalFileHeader> fixed;
    if (got >= kFixed)
        fixed = zip::LocalFileHeader::ReadFixed(reinterpret_cast<const unsigned char*>(old.data()), kFixed,
                                                nameLength, extraLength);
    const std::size_t headerSize = kFixed + nameLength + extraLength;
    if (fixed && got < headerSize) {
        old.resize(headerSize);
        if (!platform::ReadAt(FFd.Get(), old.data() + got, headerSize - got, source.LocalHeaderOffset + got))
            fixed.reset();
    }
    if (!fixed) throw Error("Invalid file - not a PKZip file");
    old.resize(headerSize);
    const std::string_view bytes = old;
    if (zip::IsCopiedLocalHeader(e, bytes.substr(0, kFixed), bytes.substr(kFixed)))
        out.CopyFrom(FFd.Get(), source.LocalHeaderOffset, headerSize);
    else
        out.Write(zip::CopiedLocalHeader(e, bytes.substr(kFixed + nameLength)));
    return headerSize;
}

void ArchiveWriter::WriteEntries(zip::OutputFile& out, const std::function<void(ArchiveEntry&&, bool anew)>& keep) {
    // The entries stay as they are while they are written: the workers read them.
    FSaving = true;
    struct Done {
        bool& Saving;
        ~Done() { Saving = false; }
    } done{FSaving};

    zip::EntryEncryption encryption;
    encryption.Method = FEncryption;
    if (!FPassword.empty()) encryption.Password = PasswordBytes(FPassword, FEncryption);

    // The jobs: the entries of FEntries to write anew, then the files new to the archive.
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < FEntries.size(); ++i)
        if (FEntries[i].Action != EntryAction::Unchanged) changed.push_back(i);
    const auto jobOf = [this, &changed](std::size_t k) -> zip::CompressionPipeline::Job {
        if (k < changed.size()) {
            const ArchiveEntry& e = FEntries[changed[k]];
            return {e.SourcePath, e.IsFolder(), e.SourceDevice, e.SourceInode, e.Action == EntryAction::Replace};
        }
        zip::SelectedFiles::File file = FAdded.At(k - changed.size());
        return {std::move(file.Path), file.Folder, file.Device, file.Inode, false};
    };
    // The workers ask for the files as they open them, a little ahead of the writer:
    // the files' blocks are read back here, where a failure can end the save.
    FAdded.ReadAhead(0);
    zip::CompressionPipeline pipeline(changed.size() + FAdded.Size(), jobOf, encryption, FThreads);
    std::size_t job = 0;
    zip::OwnerFieldCache owners;

    const auto writeAnew = [&](const ArchiveEntry& source) {
        {
            // The unchanged entries ahead are copied while the workers still read and
            // compress this file: the copy can only end here, and the wait for the
            // file would otherwise come before it.
            RunPhase phase("copy of unchanged entries");
            out.CopyHeldBack();
        }
        RunPhase phase("compression");
        // The file is open (a small one read, too) before the progress is told: what
        // happens to it from then on is a change while it is packed.
        const zip::SourceInfo& info = pipeline.Begin(job++);
        if (OnItemProgress) {
            RunPhase display("progress display");
            if (!OnItemProgress(source)) throw Error("Process aborted by user");
        }
        // A file that cannot be read in full is not saved: the log keeps its line and
        // says so, a new entry is left out, and a replaced one keeps its old version.
        auto notSaved = [&](std::optional<std::uint64_t> writtenFrom) {
            if (writtenFrom) out.TruncateTo(*writtenFrom);
            ReportLeftOut(source);
            if (source.Action == EntryAction::Replace) keep(CopyEntry(source, out), false);
        };
        if (!info.Ok) {
            notSaved(std::nullopt);
            return;
        }
        // A replaced file that changed while it was read may be torn; its old version
        // is the safe one. (A new file has no other version: what was read is kept.)
        auto changedWhileRead = [&] {
            if (source.Action != EntryAction::Replace || !info.Fd.Valid()) return false;
            const auto now = platform::StatFd(info.Fd.Get());
            return !now || now->Size != info.Status.Size || now->ModifiedTime != info.Status.ModifiedTime ||
                   now->ModifiedNanoseconds != info.Status.ModifiedNanoseconds;
        };

        NewEntry entry(source, info, owners.Of(info.Status.Owner, info.Status.Group), encryption, out.Position());
        if (info.ChunkCount == 0 || info.Whole) {
            if (!entry.WriteWhole(out, pipeline, changedWhileRead)) {
                notSaved(std::nullopt);
                return;
            }
        } else if (!entry.WriteChunked(out, pipeline, changedWhileRead)) {
            notSaved(entry.Entry().LocalHeaderOffset);
            return;
        }
        keep(entry.Take(), true);
    };

    // An entry is patched and read back only while it is written.
    for (const ArchiveEntry& source : FEntries) {
        out.KeepFrom(out.Position());
        if (source.Action == EntryAction::Unchanged) keep(CopyEntry(source, out), false);
        else writeAnew(source);
    }
    for (std::size_t i = 0; i < FAdded.Size(); ++i) {
        if (i % zip::SelectedFiles::kBlockFiles == 0) FAdded.ReadAhead(i);
        out.KeepFrom(out.Position());
        writeAnew(EntryToAdd(FAdded.At(i)));
    }
    {
        RunPhase phase("copy of unchanged entries");
        out.Flush();  // the last run of unchanged entries is copied now
    }
}

// The central directory and the end records after the entries `written`.
void ArchiveWriter::WriteCentralDirectory(zip::OutputFile& out, const zip::WrittenDirectory& written) const {
    RunPhase phase("central directory");
    const std::uint64_t centralOffset = out.Position();
    out.CopyFrom(written.ScratchFd(), 0, written.SpilledSize());
    out.Write(written.InMemory());
    const std::uint64_t endOffset = out.Position();
    out.Write(zip::MakeEndRecords(written.Count(), centralOffset, endOffset - centralOffset, endOffset, FComment));
    out.Flush();
}

// Room for the central headers of every entry (a Unicode Path field, owner and
// encryption fields and a Zip64 field included), so that the directory's part in
// memory, at most its limit, never moves while it grows; what it does not fill is
// never touched.
std::size_t ArchiveWriter::DirectoryEstimate() const {
    std::size_t bytes = 0;
    for (const ArchiveEntry& e : FEntries)
        bytes += zip::CentralDirectoryHeader::kFixedSize + 2 * e.Name.size() + e.CentralExtra.size() +
                 e.Comment.size() + 128;
    std::string path;
    for (std::size_t i = 0; i < FAdded.Size(); ++i)
        bytes += zip::CentralDirectoryHeader::kFixedSize + 2 * FAdded.PathOf(i, path).size() + 128;
    return bytes;
}

void ArchiveWriter::SaveToTemporaryFile() {
    // The temporary file is named after the archive also when a new one goes to its
    // pending name first, so that the next run knows it as a leftover.
    platform::ReplacingFile temp(FNew && !FPending.empty() ? FPending : FTarget,
                                 platform::ReplacingFile::Durability::Durable, platform::TemporaryTemplateFor(FTarget));
    if (!temp.Valid()) CannotCreateTemporary(FolderOf(FTarget), temp.CreateError());
    // A new archive keeps the temporary file's mode 0600; an update takes the old
    // file's mode, owner and group.
    if (FFd.Valid()) platform::CopyOwnerAndMode(FFd.Get(), temp.Fd());
    zip::OutputFile out(temp.Fd(), FPath, zip::OutputFile::Pages::Release);
    zip::WrittenDirectory written(FTempDirectory, FDirectoryMemoryLimit);
    written.Reserve(DirectoryEstimate());
    WriteEntries(out, [&written](ArchiveEntry&& e, bool anew) { written.Add(e, anew); });
    const std::uint64_t centralOffset = out.Position();
    WriteCentralDirectory(out, written);
    {
        RunPhase flush("flush");
        if (const int error = temp.Flush()) out.Fail(error);
    }
    if (OnWritten) {
        RunPhase check("check");
        OnWritten(temp.Fd(), written);
    }
    RunPhase renaming("rename");
    if (FNew) PlaceNewArchive(temp);
    else if (const int error = temp.Commit()) out.Fail(error);
    // The old archive has no name any more; its blocks are freed while the run goes on.
    platform::CloseInBackground(std::move(FFd));
    // The renamed file is the archive from now on; it stays open through the same file.
    FFd = temp.TakeFd();
    TakeIdentity();
    FFileSize = out.Position();
    // The selection is done with; the entries as the new archive holds them are
    // read from its directory when they are asked for.
    FEntries = {};
    FAdded.Clear();
    FSaved = SavedDirectory{std::move(written), centralOffset};
}

void ArchiveWriter::SaveDirect() {
    // Each entry is assembled in a scratch file first, so its local header can be
    // written with the final CRC-32 and sizes; the spanned writer then lays the
    // records out over as many disks as needed.
    int error = 0;
    const UniqueFd scratch = platform::CreateScratchFile(FTempDirectory, error);
    if (!scratch.Valid()) CannotCreateTemporary(FTempDirectory, error);
    zip::OutputFile out(scratch.Get(), FPath);
    std::vector<ArchiveEntry> written;
    written.reserve(FEntries.size());
    WriteEntries(out, [&written](ArchiveEntry&& e, bool) { written.push_back(std::move(e)); });
    out.Flush();
    if (FBeforePlacing) FBeforePlacing();
    FBeforePlacing = nullptr;
    FPending.clear();
    FNew = false;
    zip::SpannedWriter spanned(*Medium, FTarget, FSpanningThreshold, OnRequestBlankDisk);
    const zip::SpannedResult result = spanned.Write(scratch.Get(), out.Position(), written);
    FEntries = std::move(written);
    FAdded.Clear();
    FSpanned = result.Disks > 1;
    if (!FSpanned) {
        // A one-disk archive is an ordinary archive from now on.
        if (UniqueFd archive(::open(FTarget.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)); archive.Valid()) {
            FFd = std::move(archive);
            TakeIdentity();
        }
    }
    FFileSize = result.LastDiskSize;
    FCreatedHere = false;
}

}  // namespace vb
