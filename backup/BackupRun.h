#pragma once
// The backup run: packs the files that one job's definition rows name into the job's
// ZIP archive, for the button "Backup starten", the menu item "Sichern" and the
// unattended /BACKUP pass. The main window owns everything the run touches and lends
// it for the run; the run talks back through RunHost (boxes, prompts, status) and
// BackupRunHost (the window's own operations).
#include <optional>
#include <string>
#include <vector>

#include "platform/PassLock.h"
#include "util/RunHost.h"

namespace vb {

class ArchiveWriter;
class CsvTable;
class DefinitionList;
class ExclusiveUseTest;
class TJob;
struct TOptions;

class BackupRunHost {
public:
    virtual ~BackupRunHost() = default;
    // The window's LoadCurrentJob: FJob follows the job table's current row.
    virtual void LoadCurrentJob() = 0;
    // Suspends (false) or resumes (true) the definition grid's display updates.
    virtual void SetDefinitionGridUpdates(bool enabled) = 0;
    // The archive browser closes the archive it shows and forgets its name.
    virtual void CloseBrowserArchive() = 0;
    // The archive browser lists the job's archives again and opens `fileName`.
    virtual void ShowArchiveInBrowser(const std::string& fileName) = 0;
};

struct BackupRunParts {
    CsvTable& Jobs;                // JobDataSet
    CsvTable& Definitions;         // DefDataSet
    DefinitionList& DefinitionRules;
    ArchiveWriter& Writer;
    ExclusiveUseTest& Databases;
    TJob& FJob;
    const TOptions& Options;
};

class BackupRun {
public:
    BackupRun(BackupRunParts parts, RunHost& host, BackupRunHost& window);

    // One run for `job` (the window passes FJob itself, which the run's moves in the
    // job table reload). True when the archive was written and stamped. Errors of the
    // archive work are shown as "Fehler beim Packen!"; others pass on and end the
    // whole command.
    bool BackupJob(TJob& job);

    // The batch: empty `jobs` runs every automatic job in table order, else the
    // comma-separated names (trimmed; unknown names are skipped in silence). Files
    // that could not be read are reported in an error box after their job.
    void doBackup(const std::string& jobs);

    // The files of the last BackupJob that are missing from its archive because they
    // could not be read, or because their names cannot be stored.
    const std::vector<std::string>& MissingFiles() const { return FMissing; }
    // The text that names them, "" when none are missing.
    std::string MissingFilesText() const;

    // True when a job of the last doBackup did not succeed or left files out.
    bool PassIncomplete() const { return FPassIncomplete; }

private:
    // Takes the pass lock unless this run holds it already; false (after the
    // message) when another pass runs. The lock taken here is released by
    // ReleasePassLock.
    bool TakePassLock(bool& taken);
    void RecordArchiveName(const TJob& job, const std::string& fileName);
    void AddDefinitionRows();

    BackupRunParts FParts;
    RunHost& FHost;
    BackupRunHost& FWindow;
    std::optional<platform::PassLock> FLock;  // held while a pass runs
    std::vector<std::string> FMissing;
    bool FPassIncomplete = false;
    int FProgressDone = 0;   // entries packed by the final save so far
    int FProgressTotal = 0;  // entries the final save packs
};

}  // namespace vb
