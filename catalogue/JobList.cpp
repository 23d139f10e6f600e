#include "catalogue/JobList.h"

#include <filesystem>
#include <unordered_map>

#include "catalogue/CsvFile.h"
#include "catalogue/CsvText.h"
#include "catalogue/DefinitionList.h"
#include "util/Error.h"

namespace vb {

std::string JobListFile(const std::string& datenDir) { return datenDir + "/" + kJobListFileName; }

bool CreateJobListFile(const std::string& file, const std::string& backupFolder, const std::string& datenDir) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec) || ec) return false;
    // The folders are quoted when they hold a comma or a quote, so that they read
    // back as one field each.
    const std::string defaultJob =
        "Vorlix-Backup," + QuoteCsvValue(backupFolder) + "," + QuoteCsvValue(datenDir + "/Vorlixbackup.csv") + ",1";
    WriteCsvFile(file, {"BEZEICHNUNG:$255,ZIELVERZEICHNIS:$255,DEFINITIONSDATEI:$255,AUTOMATIK:!", defaultJob});
    return true;
}

void RecordBackupFiles(const std::string& jobListFile,
                       const std::vector<std::pair<std::string, std::string>>& records) {
    // A table of its own, without the list's events: nothing sorts, nothing becomes
    // current, and the rows keep the file's order.
    CsvTable onDisk(kJobListDefinition);
    onDisk.SetFileName(jobListFile);
    onDisk.Open();
    std::unordered_map<std::string, int> rows;
    const int nameColumn = onDisk.FieldByName("BEZEICHNUNG");
    for (int row = onDisk.RecordCount() - 1; row >= 0; --row) rows[onDisk.TextAt(row, nameColumn)] = row;
    for (const auto& [job, archive] : records) {
        const auto found = rows.find(job);
        if (found == rows.end()) continue;
        onDisk.MoveTo(found->second);
        onDisk.Edit();
        onDisk.SetText("BACKUPDATEI", archive);
        onDisk.Post();
    }
    if (onDisk.Dirty()) {
        onDisk.Close();
    } else {
        onDisk.CloseDiscarding();
    }
}

std::string JobNameProblem(const std::string& name) {
    if (name.find('/') == std::string::npos && name.find('\0') == std::string::npos) return {};
    return "Der Jobname \u201E" + std::string(name.c_str()) +
           "\u201C darf keinen Schr\u00E4gstrich (/) und kein Nullzeichen enthalten, denn er benennt die Sicherungsdateien.";
}

JobList::JobList(CsvTable& table, JobListHost& host, Boxes& boxes) : FTable(table), FHost(host), FBoxes(boxes) {
    FTable.SetUniqueKey("BEZEICHNUNG");
    CsvTableEvents& events = FTable.Events();
    events.AfterInsert = [this] { AfterInsert(); };
    events.BeforePost = [this] { return BeforePost(); };
    events.AfterPost = [this] { AfterPost(); };
    events.BeforeDelete = [this] { BeforeDelete(); };
    events.AfterScroll = [this] { AfterScroll(); };
}

JobList::~JobList() { FTable.Events() = CsvTableEvents{}; }

void JobList::Open(const std::string& datenDir, const std::string& backupFolder) {
    const std::string file = JobListFile(datenDir);
    CreateJobListFile(file, backupFolder, datenDir);
    FTable.Close();
    FTable.SetFileName(file);
    FTable.Open();
}

TJob JobList::CurrentJob() const {
    TJob job;
    CopyCurrentJob(job);
    return job;
}

void JobList::CopyCurrentJob(TJob& job) const {
    if (!FTable.Active() || FTable.CurrentRow() < 0) {
        job.Bezeichnung = job.DestDir = job.DefFile = "";
        job.Auto = false;
        return;
    }
    job.Bezeichnung = FTable.GetText("BEZEICHNUNG");
    job.DestDir = FTable.GetText("ZIELVERZEICHNIS");
    job.DefFile = FTable.GetText("DEFINITIONSDATEI");
    job.Auto = FTable.GetBool("AUTOMATIK");
}

void JobList::MakeCurrent(int row) {
    if (FTable.CurrentRow() == row) {
        FHost.LoadCurrentJob();
    } else {
        FTable.MoveTo(row);  // AfterScroll loads the job
    }
}

std::string JobList::CurrentName() const {
    if (!FTable.Active() || FTable.CurrentRow() < 0) return {};
    return FTable.GetText("BEZEICHNUNG");
}

std::vector<std::string> JobList::Names() const {
    std::vector<std::string> names;
    if (!FTable.Active()) return names;
    const int column = FTable.FieldByName("BEZEICHNUNG");
    // Reading the rows by position leaves the current row, and so the current job,
    // untouched.
    for (int row = 0; row < FTable.RowCount(); ++row) {
        if (FTable.State() == CsvTableState::Insert && row == FTable.CurrentRow()) continue;
        names.push_back(FTable.TextAt(row, column));
    }
    return names;
}

bool JobList::ChooseByName(const std::string& name) {
    if (!FTable.Active()) return false;
    // A found row becomes current, and AfterScroll makes it the current job.
    return FTable.Locate("BEZEICHNUNG", name);
}

void JobList::AfterInsert() {
    const int n = FTable.RecordCount() + 1;
    const std::string file = FHost.DatenDir() + "/JobDef_" + std::to_string(n) + ".csv";
    std::error_code ec;
    bool create = true;
    if (std::filesystem::exists(file, ec)) {
        create = FBoxes.ConfirmYesNo(std::filesystem::path(file).filename().string() +
                                     " existiert bereits. Soll die Datei überschrieben werden?");
    }
    if (create) WriteCsvFile(file, {kDefinitionFileHeader});
    FTable.SetBool("AUTOMATIK", true);
    FTable.SetText("BEZEICHNUNG", "Job_" + std::to_string(n));
    FTable.SetText("DEFINITIONSDATEI", file);
}

bool JobList::BeforePost() {
    if (const std::string problem = JobNameProblem(FTable.GetText("BEZEICHNUNG")); !problem.empty()) {
        throw Error(FTable.FileName() + " - " + problem);
    }
    return true;
}

void JobList::AfterPost() {
    // Sorting makes the first job current; it is loaded once, below.
    FSorting = true;
    try {
        FTable.Sort({"BEZEICHNUNG"});
    } catch (...) {
        FSorting = false;
        throw;
    }
    FSorting = false;
    FHost.LoadCurrentJob();
    FHost.FillJobSelectors();
}

void JobList::BeforeDelete() {
    if (!FBoxes.ConfirmYesNo("Soll die Definitionsdatei gelöscht werden?")) return;
    const std::string file = FTable.GetText("DEFINITIONSDATEI");
    std::error_code ec;
    if (file.empty() || !std::filesystem::exists(std::filesystem::symlink_status(file, ec))) return;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(file, ec))) return;  // files only
    FHost.MoveToTrash(file);
}

// Every move of the current row makes its job current, the moves that code makes
// included (first, next, locate, sort): FJob is copied anew from the row and the
// definition table reopened. A move in the middle of a run (the run's own, or the
// user's while the run lets the window breathe) therefore reloads the job under the
// run: the backup run works on its own copy of the job and records its archive name
// without moving the row.
void JobList::AfterScroll() {
    if (FSorting || FTable.State() != CsvTableState::Browse) return;
    FHost.LoadCurrentJob();
}

}  // namespace vb
