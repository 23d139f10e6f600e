#pragma once
// The archive writer: opens (or creates) one ZIP archive, registers the files that
// patterns select as new or changed entries, and writes the archive when saved.
//
// Use: set the settings, Open(path), AddFiles(pattern) per folder and mask, Save(),
// Close(). Errors reach the caller as vb::Error with the program's texts ("Unhandled
// Archive Type", "Invalid file - not a PKZip file", "Cannot update an existing
// spanned disk set", "Process aborted by user", "Error creating Log File").
//
// Saving never destroys the archive that was there: the new archive is written to a
// temporary file in the same folder, flushed to disk and renamed over the old one; on
// any failure the old file stays as it was and the temporary file is removed. A save
// with nothing new or changed writes nothing. Entries keep their order, a replaced
// entry keeps its place, and unchanged entries are copied as their compressed bytes.
// New and changed files are compressed on all cores; the callbacks run on the
// calling thread, in entry order.
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zip/ArchiveEntry.h"
#include "zip/ArchiveLog.h"
#include "zip/ArchiveMedium.h"
#include "zip/EntryEncryption.h"
#include "zip/FileSelector.h"
#include "zip/LayoutCheck.h"
#include "zip/NameIndex.h"
#include "zip/SelectedFiles.h"
#include "zip/WrittenDirectory.h"
#include "platform/UniqueFd.h"

namespace vb {
namespace zip {
class OutputFile;
}
namespace platform {
class ReplacingFile;
}

class ArchiveWriter {
public:
    ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;
    // Drops an archive still open without saving it.
    ~ArchiveWriter();

    // Settings; they outlast single archives.
    void SetTempDirectory(const std::string& folder) {
        FTempDirectory = folder;
        FAdded.SetScratchFolder(folder);
    }
    const std::string& TempDirectory() const { return FTempDirectory; }
    // UTF-8. Empty: no encryption. New and changed entries are encrypted with the
    // method set: WinZip AES-256 (AE-2) with the password's UTF-8 bytes, the default,
    // or the traditional PKWARE cipher with its Windows-1252 bytes, for old tools.
    // Unchanged entries keep the encryption they have.
    void SetPassword(const std::string& password) { FPassword = password; }
    const std::string& Password() const { return FPassword; }
    void SetEncryption(zip::EncryptionMethod method) { FEncryption = method; }
    zip::EncryptionMethod Encryption() const { return FEncryption; }
    void SetRecurse(bool recurse) { FRecurse = recurse; }
    bool Recurse() const { return FRecurse; }
    // Log file and switch: the log starts when an archive is open while both are set.
    void SetLogFile(const std::string& path);
    void SetLogging(bool on);
    // Largest number of bytes one disk of a spanned write may take; 0 (what the
    // backup run always sets) means no limit besides the medium's own size.
    void SetSpanningThreshold(std::uint64_t bytes) { FSpanningThreshold = bytes; }
    std::uint64_t SpanningThreshold() const { return FSpanningThreshold; }
    // Worker threads for compression; 0 means one per core.
    void SetThreads(unsigned threads) { FThreads = threads; }
    // Bytes of a new archive's central directory held in memory while it is saved;
    // the rest waits in a scratch file in the temporary folder.
    void SetDirectoryMemoryLimit(std::size_t bytes) { FDirectoryMemoryLimit = bytes; }

    // Called for each new or changed entry as it is compressed, once its file is
    // open; false aborts the save with "Process aborted by user".
    std::function<bool(const ArchiveEntry&)> OnItemProgress;
    // Asked for the next empty medium of a spanned write (disk number from 0); false
    // aborts with "Process aborted by user".
    std::function<bool(int disk)> OnRequestBlankDisk;
    // Asked for the last disk of a spanned set; false aborts.
    std::function<bool()> OnRequestLastDisk;
    // Told, while files are selected, about a path that is not (or not anew) in the
    // archive: a name that is no valid UTF-8; a folder that exists but cannot be
    // listed (its contents are missing); a link of another user to a file outside the
    // searched folder (not followed); a changed file that cannot be opened (its old
    // entry stays). `keptFromBefore`: the archive keeps an entry of that name from
    // before this run.
    std::function<void(const std::string& path, bool keptFromBefore)> OnFileSkipped;
    // Told, while the archive is saved, about a new or changed file that could not be
    // read in full: a new entry is left out (`keptFromBefore` false); a replaced entry
    // keeps its old version (true), also when the file changed while it was packed.
    std::function<void(const std::string& path, bool keptFromBefore)> OnFileLeftOut;
    // Called when the new archive is written to its temporary file and flushed, and
    // before it replaces the archive on disk: `fd` reads the new file from its start,
    // `written` holds its central directory as written and which entries are new. An
    // error thrown here abandons the save and leaves the archive on disk as it was.
    // Not called for a write to removable disks.
    std::function<void(int fd, const zip::WrittenDirectory& written)> OnWritten;
    // Asked for every file a selection finds, besides the archive's own files (which
    // are always kept out): true keeps the file out too. The backup run keeps out
    // every archive of its target folder. Asked once per file: it should answer from
    // the path's text where it can.
    std::function<bool(const std::string& path)> KeepOut;
    // The removable medium; the real drive unless a test gives another.
    std::shared_ptr<ArchiveMedium> Medium;

    // Saves and closes an open archive, then opens `path`: an existing file is loaded
    // (0 bytes: an empty archive); a missing file becomes a new archive when its name
    // ends in ".zip", else "Unhandled Archive Type". An existing archive's entries are
    // read and checked against the file while the first AddFiles searches: a directory
    // that is damaged or does not match the file fails that AddFiles (or the Save or
    // Entries that comes first) with "Invalid file - not a PKZip file" and closes the
    // archive, which stays on disk as it was. A new archive is not on disk
    // before Save puts it there whole, so a run that fails or is killed leaves no
    // empty file behind.
    void Open(const std::string& path);
    // Saves and closes an open archive, then starts a new, empty archive at `path`,
    // whatever is there now. Save writes it whole under a temporary name, calls
    // `beforePlacing` (the generations rotate there; an error it throws fails the
    // save and removes the new file) and then renames it to `path`; that rename never
    // replaces a file, so a file still at `path` fails the save and stays as it was.
    void OpenNew(const std::string& path, std::function<void()> beforePlacing = {});
    // The same with a waiting place between: Save writes the new archive whole under
    // a temporary name, flushes it, gives it the name `pending` (never replacing a
    // file there; the folder is flushed too, so from then on the complete archive
    // survives a kill or a power cut) and then calls `place`, which is to move it from
    // `pending` to `path` (the generations rotate there). When `place` throws, or
    // `path` does not name the new archive afterwards, the save fails and the new
    // archive stays whole under `pending`.
    void OpenNew(const std::string& path, const std::string& pending, std::function<void()> place);
    // Selects the files of `pattern` (folder, "/", mask) and registers them. A
    // pattern without a folder is refused (vb::Error), never taken as the current or
    // the root folder.
    void AddFiles(const std::string& pattern);
    // The same for a definition row's folder and one mask; an empty folder is refused
    // with a German message naming the mask.
    void AddFiles(const std::string& folder, const std::string& mask);
    // Writes the archive when something was added or changed (or when a new archive
    // is still empty: it becomes a valid empty ZIP of 22 bytes).
    void Save();
    // Saves, then releases the file and ends the log.
    void Close();
    // Releases the file and ends the log without saving: what was registered since
    // the last save is dropped, the file on disk stays as it was (a new archive not
    // yet saved leaves nothing), and the next Open starts clean.
    void Discard() { Release(); }

    // Writes a line into the log while it runs: `name` + `event` + date and time.
    void LogLine(const std::string& name, const std::string& event) { FLog.Line(name, event); }

    bool IsOpen() const { return FOpen; }
    const std::string& FileName() const { return FPath; }
    // Every entry in order; the files registered since the last save as entries to
    // add. Not to be asked for from the callbacks of a save.
    const std::vector<ArchiveEntry>& Entries() {
        AwaitEntries();
        TakeSavedEntries();
        TakeAddedEntries();
        return FEntries;
    }
    // How many new and changed entries wait for the next save.
    std::size_t ToWrite() const;

private:
    // A file the selection found or passed over, while it waits for the entries.
    struct Found {
        zip::SelectedItem Item;
        std::optional<zip::SkipReason> Skipped;  // set: Item.Path was passed over
    };
    // The opened archive's entries as read in the background.
    struct ReadEntries {
        std::vector<ArchiveEntry> Entries;
        zip::LocalHeaderFacts Headers;
    };
    // Waits for the entries of the opened archive while they are read; a directory
    // that is damaged or does not match the file releases the archive and throws
    // "Invalid file - not a PKZip file".
    void AwaitEntries();
    bool EntriesArriving() const { return FArriving.valid(); }
    void Take(const Found& found);
    void ReportSkipped(const std::string& path, zip::SkipReason reason);
    void Register(const zip::SelectedItem& item);
    void RebuildIndex();
    void TakeSavedEntries() const;
    void TakeAddedEntries() const;
    bool KeptFromBefore(const std::string& name) const;
    void IndexEntries();
    bool IsArchiveFile(const std::string& path, const platform::FileStatus& status) const;
    void TakeIdentity();
    void ReportLeftOut(const ArchiveEntry& entry);
    void UpdateLog();
    // Writes every entry in order (new ones compressed on all cores) and hands each
    // to `keep` as written, with whether it was written anew; the central directory
    // is the caller's.
    void WriteEntries(zip::OutputFile& out, const std::function<void(ArchiveEntry&&, bool anew)>& keep);
    ArchiveEntry CopyEntry(const ArchiveEntry& source, zip::OutputFile& out);
    std::uint64_t CopyLocalHeader(const ArchiveEntry& source, const ArchiveEntry& e, zip::OutputFile& out) const;
    void SaveToTemporaryFile();
    void SaveDirect();
    void Release();
    void StartNew(const std::string& path, std::function<void()> beforePlacing);
    void PlaceNewArchive(platform::ReplacingFile& file);
    void WriteCentralDirectory(zip::OutputFile& out, const zip::WrittenDirectory& written) const;
    std::size_t DirectoryEstimate() const;
    bool SpannedArchive() const { return FSpanned; }

    std::string FTempDirectory;
    std::string FPassword;
    zip::EncryptionMethod FEncryption = zip::EncryptionMethod::Aes256;
    bool FRecurse = false;
    std::string FLogFile;
    bool FLogging = false;
    unsigned FThreads = 0;
    std::size_t FDirectoryMemoryLimit = zip::WrittenDirectory::kMemoryLimit;
    std::uint64_t FSpanningThreshold = 0;

    std::string FPath;
    bool FOpen = false;
    std::string FTarget;       // the file FPath names: a link's target, else FPath itself
    UniqueFd FFd;              // the archive on disk; invalid while a new one is not saved yet
    // An opened archive's entries, read from FFd and checked against its local headers
    // in the background while the first selection walks its folders.
    std::future<ReadEntries> FArriving;
    zip::LocalHeaderFacts FLocalHeaders;  // of FFd's file, as the layout check of the opening saw them
    std::optional<platform::FileStatus> FSelf;  // identity of the archive file now
    bool FNew = false;         // not yet placed at FPath
    std::function<void()> FBeforePlacing;  // with FPending set: the move from there to FPath
    std::string FPending;                  // where a new archive waits, complete, before it is placed
    std::uint64_t FFileSize = 0;
    bool FSpanned = false;
    bool FCreatedHere = false;  // the file was missing or empty when opened
    // The entries in order: those of the opened archive (or of the last save), then
    // the files new to it, which wait compactly in FAdded until they are written or
    // asked for. After a save the entries wait as the new archive's central directory
    // (FSaved) until they are asked for, so that a save followed by Close never holds
    // them twice.
    mutable std::vector<ArchiveEntry> FEntries;
    mutable zip::SelectedFiles FAdded;
    bool FSaving = false;  // the entries are being written
    struct SavedDirectory {
        zip::WrittenDirectory Written;
        std::uint64_t Offset = 0;  // where the directory starts in the archive
    };
    mutable std::optional<SavedDirectory> FSaved;
    std::string FComment;  // the archive comment of the opened archive, kept
    // The last entry of each name, while FIndexed; positions from FEntries.size() on
    // are those of FAdded.
    zip::NameIndex FIndex{[this](std::size_t i, std::string& scratch) -> std::string_view {
        return i < FEntries.size() ? std::string_view(FEntries[i].Name) : FAdded.NameOf(i - FEntries.size(), scratch);
    }};
    bool FIndexed = false;
    bool FDuplicateNames = false;  // some name has more than one entry
    ArchiveLog FLog;
};

}  // namespace vb
