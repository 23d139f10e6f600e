#pragma once
// The backup run: packs the files that one job's definition rows name into the job's
// ZIP archive, for each job of a pass (pass/Pass.h). Its owner (the window, or the
// unattended pass) lends it the tables and the writer; the run talks back through
// RunHost (boxes, prompts, status) and BackupRunHost (what the window shows). The
// caller holds the data folder's pass lock.
#include <optional>
#include <string>
#include <vector>

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
    // Suspends (false) or resumes (true) the definition grid's display updates.
    virtual void SetDefinitionGridUpdates(bool enabled) = 0;
    // The archive browser closes the archive it shows and forgets its name.
    virtual void CloseBrowserArchive() = 0;
    // The archive browser lists the job's archives again and opens `fileName`.
    virtual void ShowArchiveInBrowser(const std::string& fileName) = 0;
};

// What the owner lends a run: the job table (archive names are recorded there), the
// definition table with its rules, the archive writer, the database check and the
// options. The owner keeps all of it.
struct BackupRunContext {
    CsvTable& Jobs;
    CsvTable& Definitions;
    DefinitionList& DefinitionRules;
    ArchiveWriter& Writer;
    ExclusiveUseTest& Databases;
    const TOptions& Options;
};

class BackupRun {
public:
    BackupRun(BackupRunContext context, RunHost& host, BackupRunHost& window);

    // One run for `job` (the window passes FJob itself, and the run works on a copy
    // of it taken at the start: FJob follows the job table's row, which the user may
    // move during the run). True when the archive was
    // written and stamped. The run reports everything itself, once: a check that
    // fails before anything is written (job name, definition file missing or
    // unreadable, no row to save, database in use, target folder) in an error box;
    // errors of the archive work as "Fehler beim Packen!"; folders and files left out
    // in an error box after the job. A failed job writes no archive, moves no
    // generation, records nothing and leaves the writer clean for the next job.
    bool BackupJob(TJob& job);

    // The archive names recorded since the last flush go into the job list file
    // (BackupJob writes them in batches, so that a pass over a long list rewrites the
    // file a bounded number of times). False, after the message, when a write since
    // the last call failed.
    bool FlushRecords();

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
    // The archive the last BackupJob wrote ("" when it wrote none), and whether it had
    // to be split over several removable media.
    const std::string& WrittenArchive() const { return FWrittenArchive; }
    bool WrittenArchiveSpanned() const { return FSpannedMedia; }

private:
    // A definition row marked to be saved.
    struct SourceRow {
        std::string Name;    // NAME
        std::string Folder;  // PFAD
        std::string Masks;   // DATEIMASKE
        bool Recursive = false;
    };

    // The checks of a job before anything is written; its rows to save. Throws
    // vb::Error with the message when a check fails.
    std::vector<SourceRow> CheckJob(const TJob& job);
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
    void WriteRecords();

    BackupRunContext FContext;
    RunHost& FHost;
    BackupRunHost& FWindow;
    std::vector<std::string> FMissing;
    std::vector<std::string> FOutdated;
    std::vector<std::string> FSkippedFolders;  // messages for rows left out, and for a waiting archive that stays
    std::vector<std::pair<std::string, std::string>> FPendingRecords;  // job name, archive name
    bool FJobComplete = false;
    std::string FWrittenArchive;
    bool FSpannedMedia = false;  // the writer asked for a further medium
    bool FRecordsFailed = false;  // a write of the records failed since the last FlushRecords
    int FProgressDone = 0;   // entries packed by the final save so far
    int FProgressTotal = 0;  // entries the final save packs
};

}  // namespace vb
