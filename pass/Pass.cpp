#include "pass/Pass.h"

#include <filesystem>
#include <string_view>
#include <unordered_map>

#include "backup/BackupRun.h"
#include "catalogue/CsvTable.h"
#include "catalogue/TJob.h"
#include "pass/OffsiteCopy.h"
#include "pass/RcloneRemote.h"
#include "pass/RemoteRestore.h"
#include "platform/ScratchFolder.h"
#include "platform/TemporaryFiles.h"
#include "restore/RestoreRun.h"
#include "settings/Settings.h"
#include "util/Error.h"
#include "util/Finally.h"
#include "platform/RunPhases.h"
#include "util/GermanFormat.h"

namespace vb {
namespace {

std::string TrimBlanksAndControls(std::string_view text) {
    auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && isTrimmed(text.front())) text.remove_prefix(1);
    while (!text.empty() && isTrimmed(text.back())) text.remove_suffix(1);
    return std::string(text);
}

std::string Quoted(const std::string& text) { return "\u201E" + text + "\u201C"; }

// What a pass did not do, in the words of its direction.
const char* NotDone(PassKind kind) { return kind == PassKind::Backup ? "gesichert" : "wiederhergestellt"; }

}  // namespace

TJob JobOfRow(const CsvTable& jobs, int row) {
    TJob job;
    const auto text = [&](const char* field) {
        const auto column = jobs.FindField(field);
        return column ? jobs.TextAt(row, *column) : std::string();
    };
    job.Bezeichnung = text("BEZEICHNUNG");
    job.DestDir = text("ZIELVERZEICHNIS");
    job.DefFile = text("DEFINITIONSDATEI");
    const auto automatic = jobs.FindField("AUTOMATIK");
    job.Auto = automatic && jobs.BoolAt(row, *automatic).value_or(false);
    job.BackupFilename = text("BACKUPDATEI");
    return job;
}

std::vector<SelectedJob> SelectJobs(const CsvTable& jobs, const std::string& names) {
    std::vector<SelectedJob> selection;
    const int nameColumn = jobs.Active() ? jobs.FieldByName("BEZEICHNUNG") : -1;
    if (names.empty()) {
        const int autoColumn = jobs.Active() ? jobs.FieldByName("AUTOMATIK") : -1;
        for (int row = 0; row < jobs.RecordCount(); ++row) {
            if (jobs.BoolAt(row, autoColumn).value_or(false)) selection.push_back({row, jobs.TextAt(row, nameColumn)});
        }
        return selection;
    }
    std::unordered_map<std::string, int> rows;
    for (int row = jobs.RecordCount() - 1; row >= 0; --row) rows[jobs.TextAt(row, nameColumn)] = row;
    std::size_t start = 0;
    while (start <= names.size()) {
        std::size_t comma = names.find(',', start);
        if (comma == std::string::npos) comma = names.size();
        std::string name = TrimBlanksAndControls(std::string_view(names).substr(start, comma - start));
        start = comma + 1;
        const auto found = rows.find(name);
        selection.push_back({found == rows.end() ? -1 : found->second, std::move(name)});
    }
    return selection;
}

Pass::Pass(const CsvTable& jobs, BackupRun& backup, RestoreRun& restore, RunHost& host, const TOptions& options)
    : FJobs(jobs), FBackup(backup), FRestore(restore), FHost(host), FOptions(options) {}

Pass::~Pass() = default;

bool Pass::Lock() {
    try {
        FLock.emplace(FOptions.FDatenDir);
    } catch (const Error& e) {
        FHost.ShowError(e.what());
        return false;
    }
    // What killed runs left of the job list's temporary files goes now, under the lock.
    if (const std::string& list = FJobs.FileName(); !list.empty()) {
        const std::filesystem::path file(list);
        platform::RemoveStaleTemporaries(file.has_parent_path() ? file.parent_path().string() : ".",
                                         file.filename().string());
    }
    // And what a killed restore left of an archive fetched from the remote.
    platform::RemoveStaleScratchFolders(FOptions.FDatenDir, kRemoteArchiveFolderPrefix);
    return true;
}

// The pass's rclone ends before the lock is given up, so that no copy outlives it.
void Pass::Unlock() {
    FRemote.reset();
    FLock.reset();
}

void Pass::Run(PassKind kind, const std::string& names) {
    FIncomplete = false;
    if (!Lock()) {
        FIncomplete = true;
        return;
    }
    Finally release([this] { Unlock(); });
    if (kind == PassKind::Backup) StartRemote();
    // The archive names recorded meanwhile reach the job list file also when a job throws.
    Finally flush([this, kind] {
        if (kind == PassKind::Backup && !FBackup.FlushRecords()) FIncomplete = true;
    });
    const std::vector<SelectedJob> selection = SelectJobs(FJobs, names);
    if (names.empty() && selection.empty()) {
        // Without a backup nothing is safe, so a backup pass with nothing to do has
        // failed; a restore pass with nothing to do has left nothing undone and only
        // says so.
        const std::string text = "Die Jobliste " + FJobs.FileName() +
                                 " enth\u00E4lt keinen automatischen Job; es wurde nichts " + NotDone(kind) + ".";
        if (kind == PassKind::Backup) {
            FHost.ShowError(text);
            FIncomplete = true;
        } else {
            FHost.ShowMessage(text);
        }
        return;
    }
    for (const SelectedJob& selected : selection) RunJob(kind, selected);
}

// A job's failure concerns that job alone; the next one still runs.
void Pass::RunJob(PassKind kind, const SelectedJob& selected) {
    if (selected.Row < 0) {
        FHost.ShowError("Einen Job namens " + Quoted(selected.Name) + " gibt es in der Jobliste " + FJobs.FileName() +
                        " nicht; er wurde nicht " + NotDone(kind) + ".");
        FIncomplete = true;
        return;
    }
    TJob job;
    {
        RunPhase phase("job switch");
        job = JobOfRow(FJobs, selected.Row);
    }
    bool ok = false;
    try {
        ok = kind == PassKind::Backup ? BackupAndCopy(job) : RestoreNewest(job);
    } catch (const std::exception& e) {
        FHost.ShowError(e.what());
    }
    if (!ok) FIncomplete = true;
}

bool Pass::BackupAndCopy(TJob& job) {
    const bool written = FBackup.BackupJob(job);
    const bool complete = written && FBackup.JobComplete();
    if (!written || !FOptions.FZweitkopie) return complete;
    OffsiteCopy copy(FOptions, FHost);
    if (FBackup.WrittenArchiveSpanned()) {
        copy.SkipSpanned(FBackup.WrittenArchive());
        return complete;
    }
    return copy.CopyJob(job, LocalTime(std::time(nullptr)), FRemote.get()) && complete;
}

void Pass::StartRemote() {
    if (!FOptions.FZweitkopie || FRemote) return;
    try {
        auto remote = std::make_unique<RcloneRemote>(FOptions.FZweitkopieZiel);
        remote->Start();
        FRemote = std::move(remote);
    } catch (const Error&) {
        // The copy itself says what is wrong with the target or rclone.
    }
}

bool Pass::RestoreNewest(const TJob& job) {
    if (!FOptions.FZweitkopie || !LocalArchiveMissing(job, FOptions.FStrategie)) return FRestore.RestoreJob(job, true);
    const auto fetched = RemoteArchive::FetchNewest(FOptions, job, FHost);
    if (!fetched) return FRestore.RestoreJob(job, true);
    FHost.ShowMessage("Im Zielverzeichnis " + job.DestDir + " fehlt die Sicherung des Jobs " + Quoted(job.Bezeichnung) +
                      "; sie wird aus der Zweitkopie " + fetched->Name() + " auf " + FOptions.FZweitkopieZiel +
                      " wiederhergestellt.");
    return FRestore.RestoreJob(fetched->AsJob(job), true);
}

bool Pass::BackupOne(TJob& job) {
    FIncomplete = true;
    if (!Lock()) return false;
    Finally release([this] { Unlock(); });
    StartRemote();
    const bool ok = BackupAndCopy(job);
    FIncomplete = !FBackup.FlushRecords() || !ok;
    return !FIncomplete;
}

bool Pass::RestoreOne(const TJob& job) {
    FIncomplete = true;
    if (!Lock()) return false;
    Finally release([this] { Unlock(); });
    FIncomplete = !FRestore.RestoreJob(job, false);
    return !FIncomplete;
}

}  // namespace vb
