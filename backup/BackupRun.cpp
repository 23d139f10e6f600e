#include "backup/BackupRun.h"

#include <ctime>
#include <filesystem>

#include "backup/PrepareBackupFilename.h"
#include "backup/VerifiedSave.h"
#include "backup/archive/ArchiveWriter.h"
#include "catalogue/CsvTable.h"
#include "catalogue/DefinitionList.h"
#include "catalogue/TJob.h"
#include "dbcheck/ExclusiveUseTest.h"
#include "platform/CreationStamp.h"
#include "settings/Settings.h"
#include "util/Error.h"
#include "util/GermanFormat.h"
#include "util/Splitter.h"

namespace vb {
namespace {

std::string FileNamePart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TrimBlanksAndControls(std::string_view text) {
    auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && isTrimmed(text.front())) text.remove_prefix(1);
    while (!text.empty() && isTrimmed(text.back())) text.remove_suffix(1);
    return std::string(text);
}

// Runs `end` when the scope is left, also by an error.
template <typename End>
class Finally {
public:
    explicit Finally(End end) : FEnd(std::move(end)) {}
    ~Finally() { FEnd(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    End FEnd;
};

}  // namespace

BackupRun::BackupRun(BackupRunParts parts, RunHost& host, BackupRunHost& window)
    : FParts(parts), FHost(host), FWindow(window) {}

bool BackupRun::TakePassLock(bool& taken) {
    taken = false;
    if (FLock) return true;
    try {
        FLock.emplace(FParts.Options.FDatenDir);
    } catch (const Error& e) {
        FHost.ShowError(e.what());
        return false;
    }
    taken = true;
    return true;
}

bool BackupRun::BackupJob(TJob& job) {
    FMissing.clear();
    bool lockTaken = false;
    if (!TakePassLock(lockTaken)) return false;
    Finally releaseLock([&] {
        if (lockTaken) FLock.reset();
    });
    ArchiveWriter& writer = FParts.Writer;
    const TOptions& options = FParts.Options;

    // Checks before anything is packed.
    FParts.DefinitionRules.OpenForJob(job);
    if (FParts.Definitions.RecordCount() == 0) return false;

    const std::string openDatabase = FParts.Databases.FindOpenDatabase();
    if (!openDatabase.empty()) {
        FHost.ShowError("Die folgenden Dateien sind noch ge\xC3\xB6" "ffnet: \n\n" + openDatabase +
                        "\n\nBitte schlie\xC3\x9F" "en Sie alle Anwendungen, die darauf zugreifen, und starten dann erneut.");
        return false;
    }

    if (job.DestDir.empty()) throw Error("Unable to create directory");
    std::error_code ec;
    std::filesystem::create_directories(job.DestDir, ec);
    if (ec || !std::filesystem::is_directory(job.DestDir, ec)) {
        FHost.ShowError("Das Zielverzeichnis " + job.DestDir + " kann nicht angelegt werden.");
        return false;
    }

    // Packing.
    FHost.SetBusy(true);
    writer.SetLogFile(options.FDatenDir + "/VB-Backup.log");
    writer.SetLogging(options.FLogging);
    FProgressDone = FProgressTotal = 0;
    writer.OnItemProgress = [this](const ArchiveEntry& entry) {
        FHost.SetStatus("Packe: " + entry.SourcePath + "...");
        if (FProgressTotal > 0) FHost.SetProgress(++FProgressDone, FProgressTotal);
        FHost.Breathe();
        return true;
    };
    writer.OnFileLeftOut = [this](const std::string& path) { FMissing.push_back(path); };
    writer.OnFileSkipped = [this](const std::string& path) { FMissing.push_back(path); };
    writer.OnRequestBlankDisk = [this](int) {
        return FHost.ConfirmOkCancel("Bitte eine leere, formatierte Diskette einlegen");
    };
    writer.OnRequestLastDisk = [this] { return FHost.ConfirmOkCancel("Bitte die letzte Diskette einlegen"); };
    FWindow.SetDefinitionGridUpdates(false);

    bool success = false;
    std::string archiveName;
    {
        Finally finishing([&] {
            FWindow.SetDefinitionGridUpdates(true);
            writer.SetLogFile("");
            writer.SetLogging(false);
            writer.OnItemProgress = nullptr;
            FHost.SetBusy(false);
            FHost.SetStatus("");
            FHost.SetProgress(0, 0);
        });
        try {
            if (options.FUsePassword) {
                const auto password = FHost.AskPassword("Backup-Passwortschutz", "Passwort:");
                if (!password && !FHost.CanPrompt()) {
                    // Nobody can be asked: an unprotected archive in place of the
                    // protected one would go unnoticed.
                    throw Error("Kein Passwort f\xC3\xBCr die gesch\xC3\xBCtzte Sicherung angegeben "
                                "(VORLIXBACKUP_PASSWORD_FILE oder VORLIXBACKUP_PASSWORD).");
                }
                writer.SetPassword(password.value_or(""));
            } else {
                // Protection off means an unprotected archive, whatever an earlier
                // run of this program used.
                writer.SetPassword("");
            }
            FWindow.CloseBrowserArchive();

            const std::tm now = LocalTime(std::time(nullptr));
            const std::string path = job.DestDir + PrepareBackupFilename(job, options.FStrategie, now, [&](std::uint64_t size) {
                writer.SetSpanningThreshold(size);
            });
            archiveName = FileNamePart(path);
            job.BackupFilename = archiveName;
            RecordArchiveName(job, archiveName);

            writer.Open(path);
            FParts.DefinitionRules.OpenForJob(job);
            AddDefinitionRows();
            for (const ArchiveEntry& entry : writer.Entries()) {
                if (entry.Action == EntryAction::Add || entry.Action == EntryAction::Replace) ++FProgressTotal;
            }
            SaveAndCloseArchive(writer, options.FPruefen);
            platform::SetCreationStamp(path, LocalTime(std::time(nullptr)));
            success = true;
        } catch (const std::exception& e) {
            FHost.ShowMessage(std::string("Fehler beim Packen!\n") + e.what());
        }
    }
    FWindow.ShowArchiveInBrowser(archiveName);
    return success;
}

// The archive's name goes into BACKUPDATEI of the job's row; the current row is the
// same one afterwards (names are unique, so the name finds it again after the post
// sorted the table).
void BackupRun::RecordArchiveName(const TJob& job, const std::string& fileName) {
    CsvTable& jobs = FParts.Jobs;
    const std::string remembered = jobs.RecordCount() > 0 ? jobs.GetText("BEZEICHNUNG") : std::string();
    if (jobs.Locate("BEZEICHNUNG", job.Bezeichnung)) {
        jobs.Edit();
        jobs.SetText("BACKUPDATEI", fileName);
        jobs.Post();
    }
    if (!remembered.empty()) jobs.Locate("BEZEICHNUNG", remembered);
}

// Every row marked to be saved adds its folder with each of its masks; the masks
// come from the shared splitter, which stops at the first empty piece. A row's masks
// are all taken before its files are added: adding files lets the window handle its
// events, and the file-mask dialog moves the splitter's one position.
void BackupRun::AddDefinitionRows() {
    CsvTable& rows = FParts.Definitions;
    ArchiveWriter& writer = FParts.Writer;
    if (!rows.First()) return;
    do {
        if (!rows.GetBool("SICHERN")) continue;
        writer.SetRecurse(rows.GetBool("REKURSIV"));
        std::string folder = rows.GetText("PFAD");
        if (folder.empty() || folder.back() != '/') folder += '/';
        const std::string text = rows.GetText("DATEIMASKE");
        std::vector<std::string> masks;
        for (std::string mask = FirstToken(text, ';'); !mask.empty(); mask = NextToken(text, ';')) {
            masks.push_back(std::move(mask));
        }
        for (const std::string& mask : masks) writer.AddFiles(folder + mask);
    } while (rows.Next());
}

void BackupRun::doBackup(const std::string& jobs) {
    FPassIncomplete = false;
    bool lockTaken = false;
    if (!TakePassLock(lockTaken)) {
        FPassIncomplete = true;
        return;
    }
    Finally releaseLock([&] {
        if (lockTaken) FLock.reset();
    });
    auto runCurrent = [this] {
        const bool ok = BackupJob(FParts.FJob);
        if (!MissingFiles().empty()) FHost.ShowError(MissingFilesText());
        if (!ok || !MissingFiles().empty()) FPassIncomplete = true;
    };
    CsvTable& table = FParts.Jobs;
    if (jobs.empty()) {
        if (table.RecordCount() == 0) return;
        table.First();
        for (int row = 0; row < table.RecordCount(); ++row) {
            table.MoveTo(row);
            FWindow.LoadCurrentJob();
            if (FParts.FJob.Auto) runCurrent();
        }
        return;
    }
    std::size_t start = 0;
    while (start <= jobs.size()) {
        std::size_t comma = jobs.find(',', start);
        if (comma == std::string::npos) comma = jobs.size();
        const std::string name = TrimBlanksAndControls(std::string_view(jobs).substr(start, comma - start));
        start = comma + 1;
        if (table.Locate("BEZEICHNUNG", name)) {
            FWindow.LoadCurrentJob();
            runCurrent();
        }
    }
}

std::string BackupRun::MissingFilesText() const {
    if (FMissing.empty()) return {};
    std::string text = "Die folgenden Dateien konnten nicht gelesen werden und fehlen in der Sicherung:\n";
    for (const std::string& path : FMissing) text += "\n" + path;
    return text;
}

}  // namespace vb
