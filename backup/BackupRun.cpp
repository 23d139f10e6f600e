#include "backup/BackupRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "catalogue/JobArchives.h"
#include "backup/VerifiedSave.h"
#include "zip/ArchiveWriter.h"
#include "catalogue/CsvTable.h"
#include "catalogue/DefinitionList.h"
#include "catalogue/JobList.h"
#include "catalogue/TJob.h"
#include "dbcheck/ExclusiveUseTest.h"
#include "platform/CreationStamp.h"
#include "platform/FileStat.h"
#include "platform/PathWalk.h"
#include "platform/SystemError.h"
#include "platform/TemporaryFiles.h"
#include "settings/Settings.h"
#include "util/CodePage.h"
#include "util/Error.h"
#include "util/Finally.h"
#include "util/GermanFormat.h"
#include "util/PathText.h"
#include "util/Splitter.h"

namespace vb {
namespace {

// The archive names recorded in the job list are written together once this many
// jobs of a list of n rows have run per n/kRecordBatch rows, so a pass over a long
// list rewrites the list a bounded number of times (a short list: after every job).
constexpr std::size_t kRecordBatch = 64;

std::string Quoted(const std::string& text) { return "„" + text + "“"; }

// Why a definition file cannot serve, "" when it can.
std::string DefinitionFileProblem(const TJob& job) {
    if (job.DefFile.empty()) return "Für den Job " + Quoted(job.Bezeichnung) + " ist keine Definitionsdatei angegeben.";
    int error = 0;
    const auto status = platform::StatPath(job.DefFile, true, &error);
    if (!status) {
        if (error == ENOENT) {
            return "Die Definitionsdatei " + job.DefFile + " des Jobs " + Quoted(job.Bezeichnung) + " existiert nicht.";
        }
        return "Die Definitionsdatei " + job.DefFile + " des Jobs " + Quoted(job.Bezeichnung) +
               " kann nicht gelesen werden: " + SystemErrorText(error);
    }
    if (status->Kind != platform::FileKind::Regular) {
        return "Die Definitionsdatei " + job.DefFile + " des Jobs " + Quoted(job.Bezeichnung) +
               " ist keine gewöhnliche Datei.";
    }
    return {};
}

// Why the folder of a definition row cannot be read, "" when it can.
std::string FolderProblem(const std::string& folder) {
    const platform::WalkResult walked = platform::OpenFolder(folder);
    switch (walked.Problem) {
    case platform::WalkProblem::None: break;
    case platform::WalkProblem::Missing: return "existiert nicht";
    case platform::WalkProblem::NotAFolder: return "ist kein Ordner";
    case platform::WalkProblem::ForeignLink:
        return "führt über " + walked.Where + ", eine Verknüpfung eines anderen Benutzers (Eigentümer " +
               std::to_string(walked.LinkOwner) + "), die nicht verfolgt wird";
    case platform::WalkProblem::TooManyLinks: return "führt über zu viele Verknüpfungen";
    case platform::WalkProblem::Failed: return "kann nicht gelesen werden: " + SystemErrorText(walked.Error);
    }
    if (UniqueFd listing(::openat(walked.Fd.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)); !listing.Valid())
        return std::string("kann nicht gelesen werden: ") + SystemErrorText(errno);
    return {};
}

// The files the jobs of one target folder keep there: their archives by every naming
// strategy, a new _1 waiting for its place, and the temporary files of both. No
// selection takes them in, so that an archive never holds another (a target folder
// inside a source folder would otherwise grow by all older archives every night). A
// file is judged by its name first; only a name that fits asks for its folder, once
// per folder in a row, and the folder counts by device and inode, however the path
// spells it.
class TargetFolderArchives {
public:
    // The archives of `job` and of every job of `jobs` whose target folder is the same.
    TargetFolderArchives(const TJob& job, const CsvTable& jobs) {
        if (const auto folder = platform::StatPath(job.DestDir, true)) FFolder = *folder;
        FJobs.insert(job.Bezeichnung);
        if (!FFolder || !jobs.Active()) return;
        const int nameColumn = jobs.FieldByName("BEZEICHNUNG");
        const int folderColumn = jobs.FieldByName("ZIELVERZEICHNIS");
        for (int row = 0; row < jobs.RecordCount(); ++row) {
            const std::string folder = jobs.TextAt(row, folderColumn);
            if (folder.empty()) continue;
            if (const auto other = platform::StatPath(folder, true); other && IsTarget(*other))
                FJobs.insert(jobs.TextAt(row, nameColumn));
        }
    }

    bool Contains(const std::string& path) {
        const std::size_t slash = path.rfind('/');
        const std::string_view name =
            slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
        bool fits = false;
        for (std::string_view job : JobsWhoseArchiveThisMayBe(name)) fits = fits || FJobs.contains(std::string(job));
        if (!fits || !FFolder) return false;
        std::string folder = slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
        if (folder != FLastFolder) {
            const auto status = platform::StatPath(folder, true);
            FLastIsTarget = status && IsTarget(*status);
            FLastFolder = std::move(folder);
        }
        return FLastIsTarget;
    }

private:
    bool IsTarget(const platform::FileStatus& folder) const {
        return folder.Device == FFolder->Device && folder.Inode == FFolder->Inode;
    }

    std::optional<platform::FileStatus> FFolder;
    std::unordered_set<std::string> FJobs;
    std::string FLastFolder;
    bool FLastIsTarget = false;
};

const char* const kPasswordNotAnsi =
    "Das Passwort enthält Zeichen, die der Zeichensatz Windows-1252 nicht kennt (zum Beispiel kyrillische "
    "oder griechische Buchstaben). Mit einem solchen Passwort ließe sich die Sicherung nicht wieder öffnen; "
    "bitte wählen Sie ein anderes.";

}  // namespace

BackupRun::BackupRun(BackupRunContext context, RunHost& host, BackupRunHost& window)
    : FContext(context), FHost(host), FWindow(window) {}

// Everything that can be known before anything is written: the rows to save. A
// check that fails throws vb::Error with the message the user sees.
std::vector<BackupRun::SourceRow> BackupRun::CheckJob(const TJob& job) {
    if (const std::string problem = JobNameProblem(job.Bezeichnung); !problem.empty()) throw Error(problem);
    // The list opens first, as a job change opens it: a file that is there but cannot
    // be read as a table says so in the table's words; a missing one opens empty and
    // is named below.
    if (!job.DefFile.empty()) FContext.DefinitionRules.OpenForJob(job);
    if (const std::string problem = DefinitionFileProblem(job); !problem.empty()) throw Error(problem);
    CsvTable& table = FContext.Definitions;
    std::vector<SourceRow> rows;
    if (table.First()) {
        do {
            if (!table.GetBool("SICHERN")) continue;
            rows.push_back({table.GetText("NAME"), table.GetText("PFAD"), table.GetText("DATEIMASKE"),
                            table.GetBool("REKURSIV")});
        } while (table.Next());
    }
    if (rows.empty()) {
        throw Error("Der Job " + Quoted(job.Bezeichnung) + " hat keine Zeile, die gesichert werden soll (" +
                    "Definitionsdatei " + job.DefFile + "). Es wurde keine Sicherung geschrieben.");
    }

    const std::string openDatabase = FContext.Databases.FindOpenDatabase();
    if (!openDatabase.empty()) {
        throw Error("Die folgenden Dateien sind noch geöffnet: \n\n" + openDatabase +
                    "\n\nBitte schließen Sie alle Anwendungen, die darauf zugreifen, und starten dann erneut.");
    }

    if (job.DestDir.empty()) throw Error("Unable to create directory");
    std::error_code ec;
    std::filesystem::create_directories(job.DestDir, ec);
    if (ec || !std::filesystem::is_directory(job.DestDir, ec)) {
        throw Error("Das Zielverzeichnis " + job.DestDir + " kann nicht angelegt werden" +
                    (ec ? ": " + SystemErrorText(ec.value()) : std::string()) + ".");
    }
    return rows;
}

// The password for a protected archive. Cancelling the prompt writes an unprotected
// archive; with nobody to ask and none given, or with one that Windows-1252 cannot
// hold while ZipCrypto is chosen (AES takes any password as UTF-8), the job fails
// before anything is written.
std::string BackupRun::AskBackupPassword() {
    for (;;) {
        const auto password = FHost.AskPassword("Backup-Passwortschutz", "Passwort:");
        if (!password) {
            if (FHost.CanPrompt()) return {};
            throw Error("Kein Passwort für die geschützte Sicherung angegeben "
                        "(VORLIXBACKUP_PASSWORD_FILE oder VORLIXBACKUP_PASSWORD).");
        }
        if (FContext.Options.FAes || encodeExact(kAnsiCodePage, *password)) return *password;
        if (!FHost.CanPrompt()) throw Error(kPasswordNotAnsi);
        FHost.ShowMessage(kPasswordNotAnsi);
    }
}

// The generation strategy starts a new _1 that, once complete, waits under its
// pending name while the older ones rotate, and then takes its place. A rotation that
// a killed run left half done is finished first. When a folder in the way would stop
// the rotation, or an earlier new _1 still cannot take its place, the existing _1 is
// updated instead, so nothing is lost.
void BackupRun::OpenArchive(const TJob& job, const std::string& path) {
    ArchiveWriter& writer = FContext.Writer;
    platform::RemoveStaleTemporaries(job.DestDir, FileNameOf(path));
    const std::string pending = PendingGenerationPath(job);
    const bool earlierWaits = !FinishInterruptedRotation(job);
    if (earlierWaits) {
        FSkippedFolders.push_back("Die vollständige Sicherung " + pending +
                                  " eines abgebrochenen Laufs kann nicht an ihren Platz gebracht werden; sie bleibt "
                                  "unter diesem Namen erhalten.");
    }
    if (FContext.Options.FStrategie == bsDreiGenerationen && !earlierWaits && GenerationsWillRotate(job)) {
        writer.OpenNew(path, pending, [job, pending] {
            if (!RotateGenerations(job)) {
                throw Error("Die älteren Sicherungen im Ordner " + job.DestDir +
                            " können nicht weitergeschoben werden; die neue Sicherung bleibt vollständig als " +
                            pending + " erhalten und kommt beim nächsten Lauf an ihren Platz.");
            }
        });
    } else {
        writer.Open(path);
    }
}

// A row whose folder is missing, no folder or unreadable is left out with a line in
// the log and a message after the job.
std::vector<BackupRun::SourceRow> BackupRun::ReadableRows(const std::vector<SourceRow>& rows) {
    std::vector<SourceRow> readable;
    for (const SourceRow& row : rows) {
        std::string problem;
        if (row.Folder.empty()) {
            FSkippedFolders.push_back("Die Zeile " + Quoted(row.Name) + " nennt keinen Ordner; sie wurde übersprungen.");
            FContext.Writer.LogLine(Quoted(row.Name), " skipped ");
            continue;
        }
        if (problem = FolderProblem(row.Folder); !problem.empty()) {
            FSkippedFolders.push_back("Der Ordner " + row.Folder + " der Zeile " + Quoted(row.Name) + " " + problem +
                                      "; die Zeile wurde übersprungen.");
            FContext.Writer.LogLine(row.Folder, " skipped ");
            continue;
        }
        readable.push_back(row);
    }
    return readable;
}

bool BackupRun::BackupJob(TJob& current) {
    // The run works on its own copy: `current` is the window's FJob, which every move
    // of the job table's row reloads, and the window lets the user move it while the
    // run breathes.
    const TJob job = current;
    FMissing.clear();
    FOutdated.clear();
    FSkippedFolders.clear();
    FJobComplete = false;
    FWrittenArchive.clear();
    FSpannedMedia = false;
    ArchiveWriter& writer = FContext.Writer;
    // Whatever an earlier failure left open is never saved later.
    if (writer.IsOpen()) writer.Discard();
    const int jobRow = FContext.Jobs.CurrentRow();

    std::vector<SourceRow> rows;
    try {
        rows = CheckJob(job);
    } catch (const Error& e) {
        FHost.ShowError(e.what());
        return false;
    }

    StartPacking();
    std::string path;
    Packed packed = Packed::Failed;
    {
        Finally finishing([&] { EndPacking(); });
        packed = Pack(job, rows, path);
    }
    if (packed == Packed::NothingReadable) {
        FHost.ShowError(MissingFilesText() + "\n\nDer Job " + Quoted(job.Bezeichnung) +
                        " hat nichts zu sichern; es wurde keine Sicherung geschrieben.");
        return false;
    }
    if (packed != Packed::Written) return false;

    FWrittenArchive = path;
    const std::string archiveName = FileNameOf(path);
    if (current.Bezeichnung == job.Bezeichnung) current.BackupFilename = archiveName;
    RecordArchiveName(job, jobRow, archiveName);
    FJobComplete = FMissing.empty() && FOutdated.empty() && FSkippedFolders.empty();
    if (!FJobComplete) FHost.ShowError(MissingFilesText());
    FWindow.ShowArchiveInBrowser(archiveName);
    return true;
}

// The writer's log and callbacks for packing, and the window busy.
void BackupRun::StartPacking() {
    ArchiveWriter& writer = FContext.Writer;
    FHost.SetBusy(true);
    writer.SetLogFile(FContext.Options.FDatenDir + "/VB-Backup.log");
    writer.SetLogging(FContext.Options.FLogging);
    FProgressDone = FProgressTotal = 0;
    // The window is told at most every 40 ms (and of the last entry), as often as it
    // can show anything: many small files would otherwise spend their time there.
    writer.OnItemProgress = [this, lastShown = std::optional<std::chrono::steady_clock::time_point>()](
                                const ArchiveEntry& entry) mutable {
        ++FProgressDone;
        const auto now = std::chrono::steady_clock::now();
        if (lastShown && now - *lastShown < std::chrono::milliseconds(40) && FProgressDone < FProgressTotal)
            return true;
        lastShown = now;
        FHost.SetStatus("Packe: " + entry.SourcePath + "...");
        if (FProgressTotal > 0) FHost.SetProgress(FProgressDone, FProgressTotal);
        FHost.Breathe();
        return true;
    };
    // A file the writer reports was either never in the archive (it is missing now) or
    // has an entry there from before, which the archive keeps.
    auto notSaved = [this](const std::string& path, bool keptFromBefore) {
        (keptFromBefore ? FOutdated : FMissing).push_back(path);
    };
    writer.OnFileLeftOut = notSaved;
    writer.OnFileSkipped = notSaved;
    writer.OnRequestBlankDisk = [this](int) {
        FSpannedMedia = true;
        return FHost.ConfirmOkCancel("Bitte eine leere, formatierte Diskette einlegen");
    };
    writer.OnRequestLastDisk = [this] { return FHost.ConfirmOkCancel("Bitte die letzte Diskette einlegen"); };
    FWindow.SetDefinitionGridUpdates(false);
}

// After packing, also by an error: a job that did not end with its archive written
// leaves nothing open that a later save could commit.
void BackupRun::EndPacking() {
    ArchiveWriter& writer = FContext.Writer;
    if (writer.IsOpen()) writer.Discard();
    FWindow.SetDefinitionGridUpdates(true);
    writer.SetLogFile("");
    writer.SetLogging(false);
    writer.OnItemProgress = nullptr;
    writer.KeepOut = nullptr;
    FHost.SetBusy(false);
    FHost.SetStatus("");
    FHost.SetProgress(0, 0);
}

// Writes the job's archive to `path` (set as soon as it is known). A packing error
// is shown as "Fehler beim Packen!" with its text and gives Failed.
BackupRun::Packed BackupRun::Pack(const TJob& job, const std::vector<SourceRow>& rows, std::string& path) {
    ArchiveWriter& writer = FContext.Writer;
    const TOptions& options = FContext.Options;
    try {
        // Protection off means an unprotected archive, whatever an earlier run of
        // this program used.
        writer.SetEncryption(options.FAes ? zip::EncryptionMethod::Aes256 : zip::EncryptionMethod::ZipCrypto);
        writer.SetPassword(options.FUsePassword ? AskBackupPassword() : std::string());
        FWindow.CloseBrowserArchive();

        const std::tm now = LocalTime(std::time(nullptr));
        path = job.DestDir + PrepareBackupFilename(job, options.FStrategie, now, [&](std::uint64_t size) {
            writer.SetSpanningThreshold(size);
        });
        OpenArchive(job, path);
        // Entries kept from before keep their encryption; the log says which method
        // the new and changed ones get.
        if (!writer.Password().empty())
            writer.LogLine(options.FAes ? "AES-256" : "ZipCrypto", " Verschlüsselung neuer Einträge ");
        writer.KeepOut = [archives = std::make_shared<TargetFolderArchives>(job, FContext.Jobs)](
                             const std::string& file) { return archives->Contains(file); };
        const std::vector<SourceRow> readable = ReadableRows(rows);
        if (readable.empty()) {
            // Nothing at all could be read: an archive now would be empty or stale
            // and, with generations, push a good one out.
            writer.LogLine(path, " nicht geschrieben ");
            writer.Discard();
            return Packed::NothingReadable;
        }
        AddRows(readable);
        FProgressTotal = static_cast<int>(writer.ToWrite());
        SaveAndCloseArchive(writer, options.FPruefen);
        platform::SetCreationStamp(path, LocalTime(std::time(nullptr)));
        return Packed::Written;
    } catch (const std::exception& e) {
        std::string reason = e.what();
        for (char& c : reason) {
            if (c == '\n' || c == '\r') c = ' ';
        }
        if (writer.IsOpen()) writer.LogLine(path, " nicht geschrieben: " + reason + " ");
        FHost.ShowMessage(std::string("Fehler beim Packen!\n") + e.what());
        return Packed::Failed;
    }
}

// Every row adds its folder with each of its masks; the masks come from the shared
// splitter, which stops at the first empty piece. A row's masks are all taken before
// its files are added: adding files lets the window handle its events, and the
// file-mask dialog moves the splitter's one position.
void BackupRun::AddRows(const std::vector<SourceRow>& rows) {
    ArchiveWriter& writer = FContext.Writer;
    for (const SourceRow& row : rows) {
        writer.SetRecurse(row.Recursive);
        std::string folder = row.Folder;
        if (folder.back() != '/') folder += '/';
        std::vector<std::string> masks;
        for (std::string mask = FirstToken(row.Masks, ';'); !mask.empty(); mask = NextToken(row.Masks, ';')) {
            masks.push_back(std::move(mask));
        }
        for (const std::string& mask : masks) writer.AddFiles(folder + mask);
    }
}

// The archive's name goes into BACKUPDATEI of the job's row: in the window's table
// without a post (nothing sorts, no other row becomes current), and in the job list
// file as it is on disk, one cell, with the next flush. The current row stays where it
// is on purpose: moving the row reloads the job (FJob and the definition list, through
// the job list's scroll handler) in the middle of a run. For the same reason the row
// is found by the job's name, since the user may have moved it while the run worked.
void BackupRun::RecordArchiveName(const TJob& job, int row, const std::string& fileName) {
    CsvTable& jobs = FContext.Jobs;
    if (jobs.Active() && jobs.State() == CsvTableState::Browse) {
        const int nameColumn = jobs.FieldByName("BEZEICHNUNG");
        if (row < 0 || row >= jobs.RecordCount() || jobs.TextAt(row, nameColumn) != job.Bezeichnung) {
            row = -1;
            for (int i = 0; i < jobs.RecordCount() && row < 0; ++i) {
                if (jobs.TextAt(i, nameColumn) == job.Bezeichnung) row = i;
            }
        }
        if (row >= 0) jobs.SetStoredText(row, jobs.FieldByName("BACKUPDATEI"), fileName);
    }
    FPendingRecords.emplace_back(job.Bezeichnung, fileName);
    if (FPendingRecords.size() * kRecordBatch >= static_cast<std::size_t>(jobs.RecordCount())) WriteRecords();
}

void BackupRun::WriteRecords() {
    if (FPendingRecords.empty()) return;
    const auto records = std::move(FPendingRecords);
    FPendingRecords.clear();
    const std::string& list = FContext.Jobs.FileName();
    if (list.empty()) return;
    try {
        RecordBackupFiles(list, records);
    } catch (const std::exception& e) {
        FRecordsFailed = true;
        FHost.ShowError("Die Namen der geschriebenen Sicherungen können nicht in die Jobliste eingetragen werden.\n" +
                        std::string(e.what()));
    }
}

bool BackupRun::FlushRecords() {
    WriteRecords();
    return !std::exchange(FRecordsFailed, false);
}

std::string BackupRun::MissingFilesText() const {
    std::string text;
    for (const std::string& folder : FSkippedFolders) text += (text.empty() ? "" : "\n") + folder;
    auto paragraph = [&text](const char* heading, const std::vector<std::string>& paths) {
        if (paths.empty()) return;
        if (!text.empty()) text += "\n\n";
        text += heading;
        text += "\n";
        for (const std::string& path : paths) text += "\n" + path;
    };
    paragraph("Die folgenden Dateien konnten nicht gelesen werden und fehlen in der Sicherung:", FMissing);
    paragraph("Die folgenden Dateien konnten nicht gelesen werden oder wurden während der Sicherung verändert; "
              "die Sicherung enthält ihren vorigen Stand:",
              FOutdated);
    return text;
}

}  // namespace vb
