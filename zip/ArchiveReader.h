#pragma once
// The archive reader: opens an archive read-only, lists its entries, and extracts
// single entries below a base folder, asking for passwords through a callback.
//
// Errors that reach the caller are vb::Error with the program's texts ("File not
// found", "Invalid Stream", "Unhandled Archive Type", "Invalid file - not a PKZip
// file", "Directory does not exist", "Process aborted by user", "Error creating Log
// File"). A single entry that cannot be extracted (password, CRC, method, version,
// unsafe name, write error) is skipped: ExtractAt returns false and names the reason.
//
// Extraction never leaves the base folder by a name: names that are absolute, have
// ".." parts or hold control characters are refused. The folders on the way are
// walked with descriptors from the base folder (platform/PathWalk.h): a link there is
// followed only when it belongs to root or to the user the program runs as, else the
// entry is left out. A file that another process has open is never replaced. The data
// goes to a file without a name in the target's folder that takes the target's place
// only when the entry was extracted completely, so a failed entry leaves neither a
// partial file nor a damaged old one behind. Owner, group and mode follow
// TargetSide.h.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "zip/ArchiveEntry.h"
#include "zip/ArchiveLog.h"
#include "zip/ArchiveMedium.h"
#include "zip/EntryDecoder.h"
#include "zip/TargetSide.h"
#include "platform/ShellFolders.h"
#include "platform/UniqueFd.h"

namespace vb {
namespace zip {
struct EntryData;
}

class ArchiveReader {
public:
    ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;
    ~ArchiveReader();

    // Closes an archive still open, then opens `path` read-only. An archive whose
    // entries overlap or whose local headers disagree with the directory (LayoutCheck.h)
    // is "Invalid file - not a PKZip file".
    void Open(const std::string& path);
    void Close();
    bool IsOpen() const { return FFd.Valid(); }
    const std::string& FileName() const { return FPath; }

    std::size_t Count() const { return FEntries.size(); }
    const ArchiveEntry& Entry(std::size_t index) const { return FEntries.at(index); }
    const std::vector<ArchiveEntry>& Entries() const { return FEntries; }
    // Marks entries for extraction; tags end when the archive is closed or reopened.
    void SetTagged(std::size_t index, bool tagged) { FEntries.at(index).Tagged = tagged; }

    // The folder below which entries are extracted; "Directory does not exist" when
    // it is missing, a German reason when the way to it is blocked (a link of another
    // user, a file).
    void SetBaseDirectory(const std::string& folder);
    // Folder for temporary files (entries of a spanned set are gathered there); the
    // system's temporary folder unless set.
    void SetTempDirectory(const std::string& folder) { FTempDirectory = folder; }
    const std::string& BaseDirectory() const { return FBaseDirectory; }

    // Extracts entry `index` below the base folder. True on success; false when the
    // entry was skipped, with the reason in `reason` when given.
    bool ExtractAt(std::size_t index, std::string* reason = nullptr);

    // Extracts the file entry `index` into the folder its stored name says, but under
    // the file name `name` (one part without "/"), beside the file of the stored name.
    // Nothing of that name is replaced: false with a reason when one is there. The new
    // file is never more readable than the file it stands beside: when that one
    // exists, the new file takes its owner and group and no permission bit it lacks.
    // Not for spanned sets.
    bool ExtractBeside(std::size_t index, const std::string& name, std::string* reason = nullptr);

    // The folder that entry `index` goes into, opened (what is missing is created) as
    // extraction will use it. False with the reason when the name or the way there is
    // refused; else `fileSystem` and `available` tell the folder's file system and its
    // free bytes, so that a run can see before it starts whether its entries fit.
    bool PrepareTargetFolder(std::size_t index, std::string& reason, std::uint64_t& fileSystem,
                             std::uint64_t& available);

    // Extracts the entries `indices` like ExtractAt, one after the other for the log
    // lines, folders and password requests, while their data is decoded and written
    // on all cores. `done` is called on this thread in the order of `indices`.
    // Returns how many entries were extracted.
    std::size_t ExtractEntries(const std::vector<std::size_t>& indices,
                               const std::function<void(std::size_t index, bool ok, const std::string& reason)>& done = {});

    // The password tried first (UTF-8); replaced by every password the user enters.
    void SetPassword(const std::string& password) {
        FPassword = password;
        FAesPasswordConfirmed = false;
    }
    const std::string& Password() const { return FPassword; }
    void SetPasswordRetries(int retries) { FPasswordRetries = retries; }

    // Receives the password known so far (maybe empty), returns the one to use; an
    // empty answer ends the entry.
    std::function<std::string(const std::string& current)> OnNeedPassword;
    // Disk requests of a spanned set; false aborts with "Process aborted by user".
    // The disk-number request gets the number of the disk wanted, counted from 1.
    std::function<bool()> OnRequestLastDisk;
    std::function<bool(int disk)> OnRequestNthDisk;
    std::shared_ptr<ArchiveMedium> Medium;

    // Log file and switch: the log starts when both are set while an archive is open.
    void SetLogFile(const std::string& path);
    void SetLogging(bool on);
    ArchiveLog& Log() { return FLog; }

private:
    struct Prepared;
    void UpdateLog();
    // Spanned sets: the file of `disk` (asking for it when another is in the drive;
    // borrowed from FFd),
    // and `size` bytes read from `disk` at `offset` on, continuing on the next disks.
    int DiskFd(std::uint32_t disk);
    bool ReadSpanned(std::uint32_t disk, std::uint64_t offset, std::uint64_t size,
                     const std::function<void(std::string_view)>& sink);
    bool ExtractSpanned(const ArchiveEntry& entry, std::string& reason);
    // The part of an extraction that asks and creates folders: on the calling thread.
    // `source` (borrowed) holds the entry's local header and data, `sourceSize` bytes.
    bool Prepare(const ArchiveEntry& entry, int source, std::uint64_t sourceSize, Prepared& job, std::string& reason);
    // The folder an entry goes into (its own for a folder entry): the name checked by
    // the safe-name rule, its last part in `last`, the folders walked and created from
    // the base folder under the link rule, its path in `shown`; nullptr with the
    // reason when refused. The one home of the restore target's rules.
    std::shared_ptr<const UniqueFd> FolderFor(const ArchiveEntry& entry, std::string& last, std::string& shown,
                                              std::string& reason);
    bool FindCipher(const ArchiveEntry& entry, const zip::EntryData& data, Prepared& job, std::string& reason);
    // Decoding and writing one prepared file: safe on any thread (the job is its own).
    bool Finish(Prepared& job, std::string& reason) const;

    std::string FPath;
    UniqueFd FFd;
    std::uint64_t FSize = 0;
    std::uint32_t FLastDisk = 0;     // > 0 for a spanned set
    std::uint32_t FDiskInDrive = 0;
    std::vector<ArchiveEntry> FEntries;
    std::optional<zip::LocalHeaders> FHeaders;  // of a single-file archive, on FFd
    std::string FBaseDirectory;
    std::shared_ptr<const UniqueFd> FBase;  // the base folder, walked under the link rule
    // Folders below the base already walked (by their path below it), which need no
    // second walk for the entries that follow; a handful of descriptors at most.
    std::unordered_map<std::string, std::shared_ptr<const UniqueFd>> FFolders;
    // The folder of the last file entry: its name up to the last slash, and its path.
    std::shared_ptr<const UniqueFd> FLastFolder;
    std::string FLastPrefix;
    std::string FLastShown;
    // The free space of the folder last asked about, for its next entries.
    std::shared_ptr<const UniqueFd> FSpaceFolder;
    // The status of the folder whose files are being prepared.
    std::shared_ptr<const UniqueFd> FStatusFolder;
    struct stat FFolderStatus {};
    std::uint64_t FSpaceFileSystem = 0;
    std::uint64_t FSpaceAvailable = 0;
    zip::AccountCache FAccounts;
    std::string FTempDirectory = TemporaryFolder();
    std::string FPassword;
    bool FAesPasswordConfirmed = false;  // FPassword opened an AES entry of this archive
    int FPasswordRetries = 3;
    std::string FLogFile;
    bool FLogging = false;
    ArchiveLog FLog;
};

}  // namespace vb
