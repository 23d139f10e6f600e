#pragma once
// The backup run: packs the files that one job's definition rows name into the job's
// ZIP archive, for the button "Backup starten", the menu item "Sichern" and the
// unattended /BACKUP pass. The main window owns everything the run touches and lends
// it for the run; the run talks back through RunHost (boxes, prompts, status) and
// BackupRunHost (the window's own operations); the job follows the job table's current
// row through the job list's rules.
#include <optional>
#include <string>
#include <vector>

#include "platform/PassLock.h"
#include "util/RunHost.h"

namespace vb {

class ArchiveWriter;
class CsvTable;
class DefinitionList;
class JobList;
class ExclusiveUseTest;
class TJob;
struct TOptions;

class BackupRunHost {
public:
    virtual ~BackupRunHost() = default;
    // Suspends (false) or resumes (true) the definition grid's display updates.
    virtual void SetDefinitionGridUpdates(bool enabled) = 0;
    // The archive browser closes the archive it shows and forgets its name.
    virtual void CloseBrowserArchive() = 0;
    // The archive browser lists the job's archives again and opens `fileName`.
    virtual void ShowArchiveInBrowser(const std::string& fileName) = 0;
};

// What the window lends a run: its tables, rules, archive writer, database check, the
// current job and the options. The window keeps owning all of it.
struct BackupRunContext {
    CsvTable& Jobs;                // JobDataSet
    JobList& JobRules;             // its rules: the current job follows the current row
    CsvTable& Definitions;         // DefDataSet
    DefinitionList& DefinitionRules;
    ArchiveWriter& Writer;
    ExclusiveUseTest& Databases;
    TJob& FJob;
    const TOptions& Options;
};

class BackupRun {
public:
    BackupRun(BackupRunContext context, RunHost& host, BackupRunHost& window);

    // One run for `job` (the window passes FJob itself, and the run works on a copy
    // of it taken at the start: FJob follows the job table's row, which the user may
    // move during the run). True when the archive was
    // written and stamped. The run reports everything itself, once: a check that
    // fails before anything is written (job name, definition file, no row to save,
    // database in use, target folder) in an error box; errors of the archive work as
    // "Fehler beim Packen!"; folders and files left out in an error box after the
    // job. A failed job writes no archive, moves no generation, records nothing and
    // leaves the writer clean for the next job. Errors outside the archive work (a
    // definition file that cannot be read) pass on to the caller.
    bool BackupJob(TJob& job);

    // The batch: empty `jobs` runs every automatic job in table order, else the
    // comma-separated names (trimmed). An unknown name, an empty job list and a job
    // that fails are reported, and the other jobs still run.
    void doBackup(const std::string& jobs);

    // The files of the last BackupJob that are missing from its archive because they
    // could not be read, or because their names cannot be stored.
    const std::vector<std::string>& MissingFiles() const { return FMissing; }
    // The files of the last BackupJob whose archive keeps their previous version:
    // they changed but could not be read, or changed while they were packed.
    const std::vector<std::string>& OutdatedFiles() const { return FOutdated; }
    // The text that names the skipped rows' folders, the missing files and the
    // outdated files, each in a paragraph of its own; "" when nothing is missing.
    std::string MissingFilesText() const;
    // True when the last BackupJob wrote its archive, left nothing out and brought
    // every file up to date.
    bool JobComplete() const { return FJobComplete; }

    // True when a job of the last doBackup did not succeed or left files out.
    bool PassIncomplete() const { return FPassIncomplete; }

private:
    // A definition row marked to be saved.
    struct SourceRow {
        std::string Name;    // NAME
        std::string Folder;  // PFAD
        std::string Masks;   // DATEIMASKE
        bool Recursive = false;
    };

    // Takes the pass lock unless this run holds it already; false (after the
    // message) when another pass runs.
    bool TakePassLock(bool& taken);
    // The checks of a job before anything is written; false after the message.
    bool CheckJob(const TJob& job, std::vector<SourceRow>& rows);
    std::string AskBackupPassword();
    enum class Packed { Written, NothingReadable, Failed };
    void StartPacking();
    void EndPacking();
    Packed Pack(const TJob& job, const std::vector<SourceRow>& rows, std::string& path);
    void OpenArchive(const TJob& job, const std::string& path);
    // Logs and collects the rows whose folder cannot be read; returns the others.
    std::vector<SourceRow> ReadableRows(const std::vector<SourceRow>& rows);
    void AddRows(const std::vector<SourceRow>& rows);
    void RecordArchiveName(const TJob& job, int row, const std::string& fileName);
    void FlushRecords();
    void RunCurrentJob();

    BackupRunContext FContext;
    RunHost& FHost;
    BackupRunHost& FWindow;
    std::optional<platform::PassLock> FLock;  // held while a pass runs
    std::vector<std::string> FMissing;
    std::vector<std::string> FOutdated;
    std::vector<std::string> FSkippedFolders;  // messages for rows left out, and for a waiting archive that stays
    std::vector<std::pair<std::string, std::string>> FPendingRecords;  // job name, archive name
    bool FJobComplete = false;
    bool FPassIncomplete = false;
    int FProgressDone = 0;   // entries packed by the final save so far
    int FProgressTotal = 0;  // entries the final save packs
};

}  // namespace vb
