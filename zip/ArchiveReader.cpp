#include "zip/ArchiveReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <future>
#include <optional>

#include "zip/ArchiveDirectory.h"
#include "zip/ArchiveOpener.h"
#include "zip/DosTime.h"
#include "zip/EntryCipher.h"
#include "zip/EntryDecoder.h"
#include "zip/EntryName.h"
#include "zip/LayoutCheck.h"
#include "zip/RemovableDriveMedium.h"
#include "zip/WorkerPool.h"
#include "zip/ZipRecords.h"
#include "platform/FileIo.h"
#include "platform/FileStat.h"
#include "platform/OpenFiles.h"
#include "platform/PathWalk.h"
#include "platform/ReplacingFile.h"
#include "platform/SystemError.h"
#include "platform/TemporaryFiles.h"
#include "util/CodePage.h"
#include "util/Error.h"
#include "util/EscapeControl.h"

namespace vb {
namespace {

constexpr const char* kInvalidPassword = "Cannot extract file - invalid password";

// Why SafeSegments refused `name`, with its control characters escaped.
std::string RefusedName(const std::string& name) {
    const std::string shown = EscapeControl(name);
    if (shown != name) return "Der Name " + shown + " enthält Steuerzeichen";
    return "Der Name " + name + " führt aus dem Zielordner hinaus";
}

// The Windows attributes of an entry; Unix modes are translated for entries made on
// a Unix host and for values above 0x1FFFF.
std::uint32_t AttributesOf(const ArchiveEntry& e) {
    const std::uint32_t ext = e.ExternalAttributes;
    if (e.Host() != 3 && ext <= 0x1FFFF) return ext & 0xFF;
    const std::uint32_t mode = ext >> 16;
    std::uint32_t attributes = 0;
    if (mode != 0) {
        if (!(mode & S_IWUSR)) attributes |= 0x01;
        if (S_ISDIR(mode)) attributes |= 0x10;
        else if (!S_ISREG(mode) && !S_ISLNK(mode)) attributes |= 0x04;
    }
    return attributes | (ext & 0x01);
}

// The process's umask, read once (reading it means setting it, which must not
// happen while extraction threads create files).
mode_t ProcessUmask() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

}  // namespace

struct ArchiveReader::Prepared {
    const ArchiveEntry* Entry = nullptr;
    int Source = -1;  // borrowed: the archive, or the scratch file of a spanned entry
    bool Folder = false;
    std::shared_ptr<const UniqueFd> Directory;  // the folder the file goes into
    struct stat DirectoryStatus {};             // as it was when its first file was prepared
    std::string Name;                           // the file's name in it
    std::string Target;                         // its path, for messages
    std::string BesideOf;                       // ExtractBeside: the file of the stored name
    zip::StoredAccount Account;
    std::uint64_t DataOffset = 0;
    std::optional<zip::EntryCipher> Cipher;
    // An AES entry whose keys the worker derives with this password, which opened an
    // earlier AES entry of the archive (deriving costs a millisecond an entry).
    std::optional<std::string> AesPassword;
    bool LocalDescriptor = false;
};

namespace {
// Finish's answer for an AES entry that the known password does not open: the entry
// goes back to the calling thread, which may ask for another.
constexpr const char* kAskAgain = "\x01ask";
}  // namespace

ArchiveReader::ArchiveReader() : Medium(std::make_shared<RemovableDriveMedium>()) {}

ArchiveReader::~ArchiveReader() { Close(); }

void ArchiveReader::Open(const std::string& path) {
    Close();
    const auto status = platform::StatPath(path, true);
    if (!status) throw Error("File not found");
    if (status->Kind == platform::FileKind::Regular && status->Size == 0) throw Error("Invalid Stream");
    zip::OpenedArchive archive = zip::OpenExistingArchive(path, Medium.get(), OnRequestLastDisk);
    if (archive.Size == 0) throw Error("Invalid Stream");
    FPath = path;
    FFd = std::move(archive.Fd);
    FSize = archive.Size;
    FLastDisk = FDiskInDrive = archive.Directory.DiskNumber;
    if (FLastDisk != 0) {
        // A spanned set: the directory begins on its own disk and may continue.
        std::string central;
        const zip::ArchiveDirectory& d = archive.Directory;
        if (d.CentralDirectorySize > (1u << 30) || d.CentralDirectoryDisk > FLastDisk ||
            !ReadSpanned(d.CentralDirectoryDisk, d.CentralDirectoryOffset, d.CentralDirectorySize,
                         [&](std::string_view bytes) { central.append(bytes); })) {
            Close();
            throw Error("Invalid file - not a PKZip file");
        }
        zip::ArchiveDirectory parsed;
        zip::ParseCentralDirectory(central, d.EntryCount, UINT64_MAX, parsed);
        if (parsed.Problem != zip::DirectoryProblem::None) {
            Close();
            throw Error("Invalid file - not a PKZip file");
        }
        FEntries = std::move(parsed.Entries);
    } else {
        // Entries that share bytes would make a small file unpack to any size, and a
        // local header that disagrees with its central one unpacks other data than
        // listed: the archive is damaged for reading as for an update.
        if (!zip::EntriesAreSound(FFd.Get(), archive.Directory)) {
            Close();
            throw Error("Invalid file - not a PKZip file");
        }
        FEntries = std::move(archive.Directory.Entries);
        FHeaders.emplace(FFd.Get(), FSize);
    }
    UpdateLog();
}

int ArchiveReader::DiskFd(std::uint32_t disk) {
    if (disk == FDiskInDrive && FFd.Valid()) return FFd.Get();
    if (!OnRequestNthDisk || !OnRequestNthDisk(static_cast<int>(disk) + 1)) throw Error("Process aborted by user");
    FFd.Reset(::open(FPath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st{};
    if (!FFd.Valid() || ::fstat(FFd.Get(), &st) != 0) throw Error("File not found");
    FSize = static_cast<std::uint64_t>(st.st_size);
    FDiskInDrive = disk;
    return FFd.Get();
}

bool ArchiveReader::ReadSpanned(std::uint32_t disk, std::uint64_t offset, std::uint64_t size,
                                const std::function<void(std::string_view)>& sink) {
    std::string buffer;
    while (size > 0) {
        if (disk > FLastDisk) return false;
        const int fd = DiskFd(disk);
        if (offset >= FSize) {
            offset -= FSize;  // the data goes on on the next disk
            ++disk;
            continue;
        }
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>({size, FSize - offset, 1u << 20}));
        buffer.resize(n);
        if (!platform::ReadAt(fd, buffer.data(), n, offset)) return false;
        sink(buffer);
        size -= n;
        offset += n;
    }
    return true;
}

// An entry of a spanned set is gathered from its disks into a temporary file first
// and extracted from there like an entry of a one-disk archive.
bool ArchiveReader::ExtractSpanned(const ArchiveEntry& entry, std::string& reason) {
    int error = 0;
    const UniqueFd scratch = platform::CreateScratchFile(FTempDirectory, error);
    if (!scratch.Valid()) {
        reason = "Die temporäre Datei kann nicht angelegt werden: " + SystemErrorText(error);
        return false;
    }
    std::string fixed;
    bool ok = ReadSpanned(entry.DiskStart, entry.LocalHeaderOffset, zip::LocalFileHeader::kFixedSize,
                          [&](std::string_view b) { fixed.append(b); });
    std::uint16_t nameLength = 0, extraLength = 0;
    ok = ok && zip::LocalFileHeader::ReadFixed(reinterpret_cast<const unsigned char*>(fixed.data()), fixed.size(),
                                               nameLength, extraLength);
    std::uint64_t written = 0;
    bool writeFailed = false;
    ok = ok && ReadSpanned(entry.DiskStart, entry.LocalHeaderOffset,
                           zip::LocalFileHeader::kFixedSize + nameLength + extraLength + entry.CompressedSize,
                           [&](std::string_view b) {
                               writeFailed |= !platform::WriteAll(scratch.Get(), b);
                               written += b.size();
                           });
    if (!ok || writeFailed) {
        reason = "Invalid file - not a PKZip file";
        return false;
    }
    ArchiveEntry local = entry;
    local.DiskStart = 0;
    local.LocalHeaderOffset = 0;
    Prepared job;
    return Prepare(local, scratch.Get(), written, job, reason) && (job.Folder || Finish(job, reason));
}

void ArchiveReader::Close() {
    FFolders.clear();
    FSpaceFolder.reset();
    FStatusFolder.reset();
    FLastFolder.reset();
    FAesPasswordConfirmed = false;
    FHeaders.reset();
    FFd.Reset();
    FLastDisk = FDiskInDrive = 0;
    FEntries.clear();
    FLog.Stop();
}

void ArchiveReader::SetBaseDirectory(const std::string& folder) {
    FFolders.clear();
    FSpaceFolder.reset();
    FStatusFolder.reset();
    FLastFolder.reset();
    FBase.reset();
    FBaseDirectory.clear();
    platform::WalkResult walked = platform::OpenFolder(folder);
    if (walked.Problem == platform::WalkProblem::Missing) throw Error("Directory does not exist");
    if (!walked.Ok()) throw Error(platform::WalkProblemText(walked));
    FBase = std::make_shared<const UniqueFd>(std::move(walked.Fd));
    FBaseDirectory = folder;
    while (FBaseDirectory.size() > 1 && FBaseDirectory.back() == '/') FBaseDirectory.pop_back();
}

void ArchiveReader::SetLogFile(const std::string& path) {
    FLogFile = path;
    UpdateLog();
}

void ArchiveReader::SetLogging(bool on) {
    FLogging = on;
    UpdateLog();
}

void ArchiveReader::UpdateLog() {
    const bool wanted = IsOpen() && FLogging && !FLogFile.empty();
    if (!wanted) FLog.Stop();
    else if (!FLog.Active()) FLog.Start(FLogFile, FPath);
}

bool ArchiveReader::ExtractAt(std::size_t index, std::string* reason) {
    const ArchiveEntry& entry = FEntries.at(index);
    FLog.Line(entry.Name, " extracted ");
    FStatusFolder.reset();
    std::string why;
    Prepared job;
    const bool ok = FLastDisk != 0 ? ExtractSpanned(entry, why)
                                   : Prepare(entry, FFd.Get(), FSize, job, why) && (job.Folder || Finish(job, why));
    if (reason) *reason = why;
    return ok;
}

bool ArchiveReader::ExtractBeside(std::size_t index, const std::string& name, std::string* reason) {
    const ArchiveEntry& entry = FEntries.at(index);
    FStatusFolder.reset();
    std::string why;
    Prepared job;
    bool ok = false;
    if (entry.IsFolder() || FLastDisk != 0 || name.empty() || name.find('/') != std::string::npos || name == "." ||
        name == "..") {
        why = "Der Eintrag " + EscapeControl(entry.Name) + " kann nicht unter einem anderen Namen entpackt werden";
    } else if (Prepare(entry, FFd.Get(), FSize, job, why)) {
        FLog.Line(entry.Name, " extracted ");
        job.BesideOf = job.Name;
        job.Target = job.Target.substr(0, job.Target.size() - job.Name.size()) + name;
        job.Name = name;
        ok = Finish(job, why);
    }
    if (reason) *reason = why;
    return ok;
}

std::size_t ArchiveReader::ExtractEntries(
    const std::vector<std::size_t>& indices,
    const std::function<void(std::size_t index, bool ok, const std::string& reason)>& done) {
    FSpaceFolder.reset();  // the free space changes now
    FStatusFolder.reset();
    if (FLastDisk != 0) {
        // A spanned set is read disk by disk, so one entry after the other.
        std::size_t extracted = 0;
        for (std::size_t index : indices) {
            std::string reason;
            const bool ok = ExtractAt(index, &reason);
            extracted += ok ? 1 : 0;
            if (done) done(index, ok, reason);
        }
        return extracted;
    }
    struct Result {
        bool Ok = false;
        std::string Reason;
    };
    // Entries go to the workers in batches of up to kBatchEntries or kBatchBytes of
    // archive data, so that many small files cost one hand-off per batch; results are
    // delivered in entry order. A batch of kFolderEntries or more ends where the
    // folder changes: the workers then mostly fill different folders, and do not wait
    // for each other's lock on the same one (a tenth of the time, measured).
    constexpr std::size_t kBatchEntries = 1024;
    constexpr std::size_t kFolderEntries = 32;
    constexpr std::uint64_t kBatchBytes = 1u << 20;
    struct Batch {
        std::vector<std::shared_ptr<Prepared>> Jobs;
        std::shared_ptr<std::promise<std::vector<Result>>> Promise = std::make_shared<std::promise<std::vector<Result>>>();
        std::shared_future<std::vector<Result>> Results = Promise->get_future().share();
        std::uint64_t Bytes = 0;
    };
    struct Pending {
        std::size_t Index = 0;
        std::optional<Result> Known;                   // decided without a worker
        std::shared_future<std::vector<Result>> Results;  // else: of its batch, at Position
        std::size_t Position = 0;
        std::size_t BatchNumber = 0;
    };
    WorkerPool pool;
    const std::size_t window = 2 * pool.Size() * kBatchEntries;
    std::deque<Pending> pending;
    Batch batch;
    std::size_t batchNumber = 0;  // of `batch`, the one being filled
    auto submit = [&] {
        if (batch.Jobs.empty()) return;
        pool.Submit([this, jobs = std::move(batch.Jobs), promise = batch.Promise] {
            try {
                std::vector<Result> results(jobs.size());
                for (std::size_t k = 0; k < jobs.size(); ++k) results[k].Ok = Finish(*jobs[k], results[k].Reason);
                promise->set_value(std::move(results));
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        });
        batch = Batch();
        ++batchNumber;
    };
    std::size_t extracted = 0;
    auto deliver = [&] {
        if (!pending.front().Known && pending.front().BatchNumber == batchNumber) submit();
        Pending p = std::move(pending.front());
        pending.pop_front();
        Result r = p.Known ? std::move(*p.Known) : p.Results.get()[p.Position];
        if (r.Reason == kAskAgain) {
            // Another password than the earlier entries': asked for here, in order.
            Prepared job;
            r.Reason.clear();
            FAesPasswordConfirmed = false;
            r.Ok = Prepare(FEntries.at(p.Index), FFd.Get(), FSize, job, r.Reason) &&
                   (job.Folder || Finish(job, r.Reason));
        }
        if (r.Ok) ++extracted;
        if (done) done(p.Index, r.Ok, r.Reason);
    };
    try {
        for (std::size_t index : indices) {
            const ArchiveEntry& entry = FEntries.at(index);
            FLog.Line(entry.Name, " extracted ");
            auto job = std::make_shared<Prepared>();
            std::string reason;
            Pending p;
            p.Index = index;
            if (!Prepare(entry, FFd.Get(), FSize, *job, reason) || job->Folder) {
                p.Known = Result{reason.empty(), reason};
            } else {
                if (batch.Jobs.size() >= kFolderEntries && batch.Jobs.back()->Directory != job->Directory) submit();
                p.Results = batch.Results;
                p.Position = batch.Jobs.size();
                p.BatchNumber = batchNumber;
                batch.Jobs.push_back(std::move(job));
                batch.Bytes += entry.CompressedSize;
            }
            pending.push_back(std::move(p));
            if (batch.Jobs.size() >= kBatchEntries || batch.Bytes >= kBatchBytes) submit();
            while (pending.size() > window) deliver();
        }
        submit();
        while (!pending.empty()) deliver();
    } catch (...) {
        submit();  // a batch whose future is held is always run
        for (auto& p : pending)
            if (!p.Known) p.Results.wait();
        throw;
    }
    return extracted;
}

bool ArchiveReader::PrepareTargetFolder(std::size_t index, std::string& reason, std::uint64_t& fileSystem,
                                        std::uint64_t& available) {
    const ArchiveEntry& entry = FEntries.at(index);
    std::string name, shown;
    const auto folder = FolderFor(entry, name, shown, reason);
    if (!folder) return false;
    // Asked once for each folder: the entries of one folder follow each other.
    if (folder != FSpaceFolder) {
        struct statvfs space {};
        FSpaceFolder = folder;
        if (::fstatvfs(folder->Get(), &space) != 0) {
            FSpaceFileSystem = 0;
            FSpaceAvailable = UINT64_MAX;  // unknown: not judged
        } else {
            FSpaceFileSystem = space.f_fsid;
            FSpaceAvailable = static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
        }
    }
    fileSystem = FSpaceFileSystem;
    available = FSpaceAvailable;
    return true;
}

bool ArchiveReader::Prepare(const ArchiveEntry& entry, int source, std::uint64_t sourceSize, Prepared& job,
                            std::string& reason) {
    job.Entry = &entry;
    job.Source = source;
    ProcessUmask();
    std::string shown;
    job.Directory = FolderFor(entry, job.Name, shown, reason);
    if (!job.Directory) return false;
    job.Folder = entry.IsFolder();
    if (job.Folder) return true;
    // Asked once for each folder: the entries of one folder follow each other.
    if (job.Directory != FStatusFolder) {
        FStatusFolder = job.Directory;
        if (::fstat(job.Directory->Get(), &FFolderStatus) != 0) FFolderStatus = {};
    }
    job.DirectoryStatus = FFolderStatus;
    job.Target = (shown == "/" ? "" : shown) + "/" + job.Name;
    job.Account = zip::StoredAccountOf(entry, FAccounts);

    if ((entry.VersionNeeded & 0xFF) >= 64) {
        reason = "Cannot extract file - newer version required";
        return false;
    }
    if (entry.Method != 0 && entry.Method != 8 && !(entry.Method == zip::kMethodAes && entry.IsEncrypted())) {
        reason = "Cannot extract file - unsupported compression method";
        return false;
    }
    std::optional<zip::EntryData> data;
    if (entry.DiskStart == 0)
        data = FHeaders && source == FFd.Get() ? FHeaders->Locate(entry) : zip::LocateEntryData(source, sourceSize, entry);
    if (!data) {
        reason = "Invalid file - not a PKZip file";
        return false;
    }
    job.DataOffset = data->Offset;
    job.LocalDescriptor = data->LocalDescriptor;
    if (entry.IsEncrypted() && entry.Method == zip::kMethodAes && FAesPasswordConfirmed && !FPassword.empty()) {
        job.AesPassword = FPassword;
        return true;
    }
    return !entry.IsEncrypted() || FindCipher(entry, *data, job, reason);
}

// The entry's name must pass the safe-name rule. Folders on the way are walked one by
// one from the base folder; what is missing is created (mode 0700 until it has its
// own owner and mode, so nobody else can put anything into it before). The entries of
// one folder follow each other: a file in the folder of the file before needs only its
// own name checked.
std::shared_ptr<const UniqueFd> ArchiveReader::FolderFor(const ArchiveEntry& entry, std::string& last,
                                                         std::string& shown, std::string& reason) {
    if (!FBase) throw Error("Directory does not exist");
    const std::string& name = entry.Name;
    const std::size_t prefix = name.rfind('/') + 1;  // 0 without a slash
    if (FLastFolder && !entry.IsFolder() && prefix == FLastPrefix.size() &&
        name.compare(0, prefix, FLastPrefix) == 0 && zip::IsSafeSegment(std::string_view(name).substr(prefix))) {
        last.assign(name, prefix);
        shown = FLastShown;
        return FLastFolder;
    }
    auto segments = zip::SafeSegments(name);
    if (!segments) {
        reason = RefusedName(name);
        return nullptr;
    }
    std::vector<std::string>& parts = *segments;
    constexpr std::size_t kKeptFolders = 64;
    std::shared_ptr<const UniqueFd> folder = FBase;
    shown = FBaseDirectory;
    std::string below;
    const std::size_t folders = entry.IsFolder() ? parts.size() : parts.size() - 1;
    for (std::size_t i = 0; i < folders; ++i) {
        below += (i == 0 ? "" : "/") + parts[i];
        const std::string parentShown = shown;
        shown = (shown == "/" ? "" : shown) + "/" + parts[i];
        if (const auto kept = FFolders.find(below); kept != FFolders.end()) {
            folder = kept->second;
            continue;
        }
        bool created = false;
        platform::WalkResult walked =
            platform::OpenOrCreateSubfolder(folder->Get(), parts[i], parentShown, 0700, created);
        if (!walked.Ok()) {
            reason = platform::WalkProblemText(walked);
            return nullptr;
        }
        if (created) {
            // Its own owner and mode, from its folder entry when this is it, else from
            // the folder it was made in.
            struct stat parent {};
            UniqueFd opened(::openat(walked.Fd.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (opened.Valid() && ::fstat(folder->Get(), &parent) == 0) {
                const bool own = entry.IsFolder() && i + 1 == folders;
                const zip::StoredAccount account = own ? zip::StoredAccountOf(entry, FAccounts) : zip::StoredAccount{};
                zip::ApplyOwnership(opened.Get(), zip::FolderOwnership(own ? &entry : nullptr, account, parent));
            }
        }
        if (FFolders.size() >= kKeptFolders) FFolders.clear();
        folder = FFolders.emplace(below, std::make_shared<const UniqueFd>(std::move(walked.Fd))).first->second;
    }
    last = parts.empty() ? std::string() : parts.back();
    if (!entry.IsFolder()) {
        FLastFolder = folder;
        FLastPrefix.assign(name, 0, prefix);
        FLastShown = shown;
    }
    return folder;
}

// The password of an encrypted entry: the one known so far, else asked for, until
// it opens the entry (check byte or AES verifier) or the retries are used up.
bool ArchiveReader::FindCipher(const ArchiveEntry& entry, const zip::EntryData& data, Prepared& job,
                               std::string& reason) {
    auto test = [&](const std::string& password) {
        const auto match = zip::EntryCipher::Find(job.Source, data, entry, password, job.Cipher);
        if (match == zip::EntryCipher::Match::Damaged) throw zip::EntryCipher::Match::Damaged;
        return match == zip::EntryCipher::Match::Yes;
    };
    auto ask = [&](const std::string& current) { return OnNeedPassword ? OnNeedPassword(current) : std::string(); };
    try {
        int attempts = 0;
        std::string password = FPassword;
        if (password.empty()) {
            ++attempts;
            password = ask(password);
            if (password.empty()) {
                reason = kInvalidPassword;
                return false;
            }
            FPassword = password;
        }
        while (!test(password)) {
            ++attempts;
            if (attempts > FPasswordRetries) {
                reason = kInvalidPassword;
                return false;
            }
            password = ask(password);
            if (password.empty()) {
                reason = "Process aborted by user";
                return false;
            }
            FPassword = password;
        }
    } catch (zip::EntryCipher::Match) {
        reason = "Invalid file - not a PKZip file";
        return false;
    }
    if (job.Cipher->IsAes()) FAesPasswordConfirmed = true;
    return true;
}

bool ArchiveReader::Finish(Prepared& job, std::string& reason) const {
    const ArchiveEntry& entry = *job.Entry;
    if (job.AesPassword) {
        const zip::EntryData data{job.DataOffset, job.LocalDescriptor};
        const auto match = zip::EntryCipher::Find(job.Source, data, entry, *job.AesPassword, job.Cipher);
        if (match != zip::EntryCipher::Match::Yes) {
            reason = match == zip::EntryCipher::Match::No ? kAskAgain : "Invalid file - not a PKZip file";
            return false;
        }
    }
    const int folder = job.Directory->Get();
    std::optional<zip::EntryCipher>& cipher = job.Cipher;
    // Into a file without a name in the target's folder, which takes the target's
    // place when complete.
    platform::ReplacingFile file(folder, job.Name, platform::ReplacingFile::Durability::Volatile,
                                 "." + job.Name.substr(0, 200) + ".vbpart-XXXXXX",
                                 platform::ReplacingFile::Naming::Unnamed, zip::CreationMode(entry));
    if (!file.Valid()) {
        reason = "Die Datei kann nicht angelegt werden: " + SystemErrorText(file.CreateError());
        return false;
    }
    int writeError = 0;
    reason =
        zip::DecodeEntry(job.Source, job.DataOffset, entry, cipher ? &*cipher : nullptr, [&](std::string_view bytes) {
            writeError = platform::WriteAll(file.Fd(), bytes).Error;
            return writeError == 0;
        });
    if (writeError != 0) reason = "Die Datei kann nicht geschrieben werden: " + SystemErrorText(writeError);
    if (!reason.empty()) return false;

    // Owner, mode, read-only attribute and time stamp go onto the new content before
    // it takes the target's name (renaming changes none of them).
    auto dress = [&](const struct stat* replaced, const struct stat* beside) {
        zip::Ownership ownership = zip::FileOwnership(entry, job.Account, replaced, job.DirectoryStatus,
                                                      ProcessUmask(), AttributesOf(entry) & 0x01);
        if (beside) {
            ownership.Owner = beside->st_uid;
            ownership.Group = beside->st_gid;
            ownership.Mode &= beside->st_mode & 0777;
        }
        struct stat created {};
        zip::ApplyOwnership(file.Fd(), ownership, ::fstat(file.Fd(), &created) == 0 ? &created : nullptr);
        platform::SetModifiedTime(file.Fd(), zip::FromDosDateTime({entry.DosTime, entry.DosDate}));
        if (const int error = file.Close(); error != 0)
            reason = "Die Datei kann nicht geschrieben werden: " + SystemErrorText(error);
        return reason.empty();
    };
    auto commit = [&](platform::ReplacingFile::Placing placing) {
        const int error = file.Commit(placing);
        if (error != 0 && !(error == EEXIST && placing == platform::ReplacingFile::Placing::NoReplace))
            reason = "Die Datei kann nicht ersetzt werden: " + SystemErrorText(error);
        return error;
    };

    // Where the archive keeps owner, group and mode, what is at the target changes
    // nothing of the new file: it takes the name at once where the name is free, and
    // only a name that is taken is looked at below.
    const bool dressed = job.BesideOf.empty() && zip::OwnershipIsStored(entry, job.Account);
    if (dressed && (!dress(nullptr, nullptr) || commit(platform::ReplacingFile::Placing::NoReplace) != EEXIST))
        return reason.empty();

    // What is at the target now: a file that another process has open is left as it
    // is; a link there is replaced, never written through.
    struct stat existing {};
    bool replacesFile = false;
    if (!job.BesideOf.empty() && ::fstatat(folder, job.Name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        reason = "Die Datei " + EscapeControl(job.Target) + " ist schon vorhanden";
        return false;
    }
    if (job.BesideOf.empty() && ::fstatat(folder, job.Name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(existing.st_mode)) {
        replacesFile = true;
        UniqueFd old(::openat(folder, job.Name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (old.Valid() && ::fstat(old.Get(), &existing) == 0 && S_ISREG(existing.st_mode) &&
            platform::IsOpenElsewhere(old.Get())) {
            reason = "die Datei ist noch geöffnet";
            return false;
        }
    }
    if (!dressed) {
        struct stat beside {};
        const bool besideFile = !job.BesideOf.empty() &&
                                ::fstatat(folder, job.BesideOf.c_str(), &beside, AT_SYMLINK_NOFOLLOW) == 0 &&
                                S_ISREG(beside.st_mode);
        if (!dress(replacesFile ? &existing : nullptr, besideFile ? &beside : nullptr)) return false;
    }
    commit(platform::ReplacingFile::Placing::Replace);
    return reason.empty();
}

}  // namespace vb
