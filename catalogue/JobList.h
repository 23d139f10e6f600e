#pragma once
// The rules of the job list (Backupjobs.csv): the default job of a new list, the
// current job that follows the table's current row, and what happens when a job is
// inserted, posted or deleted. The main window owns the table; it asks its questions
// through Boxes and does the window's part through JobListHost.
#include <string>
#include <vector>

#include "catalogue/CsvTable.h"
#include "catalogue/TJob.h"
#include "util/RunHost.h"

namespace vb {

inline constexpr const char* kJobListDefinition =
    "BEZEICHNUNG:$255,ZIELVERZEICHNIS:$255,DEFINITIONSDATEI:$255,AUTOMATIK:!,BACKUPDATEI:$255";
inline constexpr const char* kJobListFileName = "Backupjobs.csv";

class JobListHost {
public:
    virtual ~JobListHost() = default;
    // The data folder as it is now (FDatenDir).
    virtual std::string DatenDir() const = 0;
    // Moves a file to the trash without asking; a failure is not shown.
    virtual bool MoveToTrash(const std::string& path) = 0;
    // The window's LoadCurrentJob: FJob from CopyCurrentJob, then SwitchToJob(FJob),
    // so that the job becomes current on all pages.
    virtual void LoadCurrentJob() = 0;
    // FillJobSelector for ComboBox2, ComboBox3 and ComboBox4, in this order.
    virtual void FillJobSelectors() = 0;
};

// "<datenDir>/Backupjobs.csv".
std::string JobListFile(const std::string& datenDir);

// Writes a new job list with the header of four columns and the default job
// "Vorlix-Backup" (target `backupFolder`, definition file <datenDir>/Vorlixbackup.csv,
// automatic) when the file does not exist. True when it wrote the file.
bool CreateJobListFile(const std::string& file, const std::string& backupFolder, const std::string& datenDir);

// Records archive names in BACKUPDATEI of the job list file as it is on disk now:
// for each (job name, archive name) the cell of the first row with that name
// changes, every other row and field (rows that another copy of the program added
// meanwhile included) stays as the file holds it. Names the file does not hold are
// passed over; a file with nothing to change is not written. The caller holds the
// pass lock; errors reading or writing the file throw vb::Error.
void RecordBackupFiles(const std::string& jobListFile,
                       const std::vector<std::pair<std::string, std::string>>& records);

// Why `name` cannot be a job's name, "" when it can: a slash or a NUL character
// would lead the archive's name out of the target folder, and no file name can
// hold them.
std::string JobNameProblem(const std::string& name);

class JobList {
public:
    // Installs the table's events and its unique key; `table` must be built from
    // kJobListDefinition and outlive this object.
    JobList(CsvTable& table, JobListHost& host, Boxes& boxes);
    ~JobList();
    JobList(const JobList&) = delete;
    JobList& operator=(const JobList&) = delete;

    // The creation step's part: creates the list when missing and opens it, which
    // makes its first job current. A new list's default job writes to `backupFolder`.
    void Open(const std::string& datenDir, const std::string& backupFolder);

    // The current row as a job; an empty job when the table has no rows.
    // BackupFilename and JobNr stay at their defaults.
    TJob CurrentJob() const;
    // LoadCurrentJob's copy: BEZEICHNUNG, ZIELVERZEICHNIS, DEFINITIONSDATEI and
    // AUTOMATIK of the current row go into `job` (FJob), whose BackupFilename and
    // JobNr stay as they are. With no current row `job` gets empty fields.
    void CopyCurrentJob(TJob& job) const;
    // Makes `row` current, and the job follows it: the host's LoadCurrentJob runs
    // exactly once, also when `row` is current already.
    void MakeCurrent(int row);
    // BEZEICHNUNG of the current row ("" when there is none): the selectors' text.
    std::string CurrentName() const;
    // All job names in table order, without moving the current row.
    std::vector<std::string> Names() const;
    // ComboBox2Change: makes the first job with exactly this name current (the job
    // then becomes current on all pages); false, and nothing changes, when no job
    // has the name.
    bool ChooseByName(const std::string& name);

    // The table's events.
    void AfterInsert();
    // Refuses a job name that JobNameProblem rejects: "<file> - <reason>", and the
    // row stays in edit or insert state, as with a name that is not unique.
    bool BeforePost();
    void AfterPost();
    void BeforeDelete();
    void AfterScroll();

private:
    CsvTable& FTable;
    JobListHost& FHost;
    Boxes& FBoxes;
    bool FSorting = false;
};

}  // namespace vb
