#pragma once
// A backup or restore pass over the jobs of the job list: the unattended /BACKUP and
// /RESTORE, the window's menu items "Sichern" and "Wiederherstellen", and the single
// job of the buttons "Backup starten" and "Start". The pass reads the jobs from the
// rows of the job table without moving its current row, takes the data folder's pass
// lock once for all its jobs, chooses the jobs the same way for both directions, and
// lets no job's failure stop the next one. After each archive a backup writes, the
// job's archives go to the remote when the options ask for a copy there (OffsiteCopy);
// a failed copy leaves the job incomplete. Everything it says goes through RunHost.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/PassLock.h"
#include "util/RunHost.h"

namespace vb {

class BackupRun;
class RcloneRemote;
class CsvTable;
class RestoreRun;
class TJob;
struct TOptions;

enum class PassKind { Backup, Restore };

// One job of a pass as its row names it; BackupFilename is the row's BACKUPDATEI.
TJob JobOfRow(const CsvTable& jobs, int row);

// The jobs a pass runs, in the order it runs them: with empty `names` every row
// marked AUTOMATIK in table order, else the comma-separated names (blanks and control
// characters around each trimmed), each the first row of that name; a name that no
// row has keeps its place with the row -1.
struct SelectedJob {
    int Row = -1;
    std::string Name;
    bool operator==(const SelectedJob&) const = default;
};
std::vector<SelectedJob> SelectJobs(const CsvTable& jobs, const std::string& names);

class Pass {
public:
    // The job table, both runs and the options (the pass lock lives in their data
    // folder) stay the caller's.
    Pass(const CsvTable& jobs, BackupRun& backup, RestoreRun& restore, RunHost& host, const TOptions& options);
    ~Pass();

    // The pass over the jobs `names` selects (see SelectJobs). An unknown name, a
    // running pass and each failing job are reported as errors, and the other jobs
    // still run. A job list without an automatic job fails a backup pass; a restore
    // pass only says so.
    void Run(PassKind kind, const std::string& names);
    // One job under the pass lock, for the window's buttons: a backup of `job` (the
    // window's FJob), or a restore of the entries selected in the browser. True when
    // the job succeeded completely. Errors of the job pass on to the caller.
    bool BackupOne(TJob& job);
    bool RestoreOne(const TJob& job);

    // True when the last Run, BackupOne or RestoreOne left anything undone.
    bool Incomplete() const { return FIncomplete; }

private:
    // Takes the lock, false after the message when another pass holds it.
    bool Lock();
    void Unlock();
    void RunJob(PassKind kind, const SelectedJob& selected);
    // The backup of `job` and, when it wrote an archive and the options ask for it,
    // the copy to the remote. True when both succeeded completely.
    bool BackupAndCopy(TJob& job);
    // The whole-archive restore of a pass: from the job's target folder, or, when
    // that holds no archive of the job and the copy to a remote is on, from the
    // newest archive of the job there.
    bool RestoreNewest(const TJob& job);
    // Starts rclone for the copies of a backup pass before its first archive is
    // written, so that its start overlaps the backup; one for all jobs of the pass.
    // Nothing when the copy is off, and nothing but the copy's own report later when
    // its target or rclone is unusable.
    void StartRemote();

    const CsvTable& FJobs;
    BackupRun& FBackup;
    RestoreRun& FRestore;
    RunHost& FHost;
    const TOptions& FOptions;
    std::optional<platform::PassLock> FLock;
    std::unique_ptr<RcloneRemote> FRemote;
    bool FIncomplete = false;
};

}  // namespace vb
