#pragma once
// The rules of a job's definition list: the default rows of the first job's list,
// the defaults of a new row, the refusal of a comma among the masks, the order by
// name after each post, and the table following the current job.
#include <string>
#include <vector>

#include "catalogue/CsvTable.h"
#include "catalogue/TJob.h"
#include "util/RunHost.h"

namespace vb {

inline constexpr const char* kDefinitionListDefinition = "NAME:$255,PFAD:$255,DATEIMASKE,SICHERN:!,REKURSIV:!";
// The header written into new definition files (its type suffixes are never read).
inline constexpr const char* kDefinitionFileHeader = "NAME:$255,PFAD:$255,DATEIMASKE:$255,SICHERN:!,REKURSIV:!";

// The header and the seven default rows, with `programFilesDir` put into each
// folder.
std::vector<std::string> DefaultDefinitionLines(const std::string& programFilesDir);

// Writes the default definition list when `file` does not exist; true when written.
bool CreateDefaultDefinitionFile(const std::string& file, const std::string& programFilesDir);

// The folders (PFAD) of the rows of `file` that are marked to be saved (SICHERN), as
// written; an empty list when the file is missing. Read without changing the file.
std::vector<std::string> SavedFolders(const std::string& file);

// The message for masks with a comma, or "" when the masks have none.
std::string CommaInMaskMessage(const std::string& masks);

class DefinitionList {
public:
    // Installs the table's events; `table` must be built from
    // kDefinitionListDefinition and outlive this object. A refused row is said in
    // the plain message box of `boxes`.
    DefinitionList(CsvTable& table, Boxes& boxes);
    ~DefinitionList();
    DefinitionList(const DefinitionList&) = delete;
    DefinitionList& operator=(const DefinitionList&) = delete;

    // SwitchToJob's part: stores a row still being edited, closes the table (saving
    // it when changed) and opens it on
    // the job's definition file; a missing file opens as an empty list. Views hear
    // one reset at the end. With no job at all the table stays closed; a job without
    // a definition file leaves it closed and throws a message that names the job.
    void OpenForJob(const TJob& job);
    // The creation step's part: as OpenForJob, but a missing file is first written
    // with the default rows.
    void OpenWithDefaults(const TJob& job, const std::string& programFilesDir);

    // The table's events.
    void AfterInsert();
    bool BeforePost();
    void AfterPost();

private:
    CsvTable& FTable;
    Boxes& FBoxes;
};

}  // namespace vb
