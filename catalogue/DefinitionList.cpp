#include "catalogue/DefinitionList.h"

#include <filesystem>

#include "catalogue/CsvFile.h"
#include "catalogue/CsvText.h"
#include "util/Error.h"

namespace vb {

std::vector<std::string> DefaultDefinitionLines(const std::string& programFilesDir) {
    struct Row {
        const char* name;
        const char* folder;  // below the Program Files folder
        const char* masks;
        const char* flags;
    };
    static const Row rows[] = {
        {"Kursverwaltung", "/Kursverwaltung", "*.blo", "1,1"},
        {"Vorlix-Datenbank", "/Vorlix/DB", "vorlix2000n.mdb", "1,0"},
        {"Vorlix-Reportverzeichnis", "/Vorlix/Vorlix-Reports", "*.rtm", "1,1"},
        {"Vorlix-Programmverzeichnis", "/Vorlix", "*.ini;*.txt;*.html", "1,1"},
        {"Vorlix-Verwaltungsverzeichnis", "/Vorlix/Keytabs", "*.mdb", "1,0"},
        {"Standardtexte", "/Vorlix/Keytabs/Standardtexte", "*.*", "1,1"},
        {"Stundenplan", "/Plantafel", "*.wpl;*.vpl;*.vp", "1,0"},
    };
    std::vector<std::string> lines{kDefinitionFileHeader};
    for (const Row& row : rows) {
        // A folder with a comma or a quote is quoted so that it stays one field.
        lines.push_back(std::string(row.name) + "," + QuoteCsvValue(programFilesDir + row.folder) + "," + row.masks +
                        "," + row.flags);
    }
    return lines;
}

bool CreateDefaultDefinitionFile(const std::string& file, const std::string& programFilesDir) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec) || ec) return false;
    WriteCsvFile(file, DefaultDefinitionLines(programFilesDir));
    return true;
}

std::vector<std::string> SavedFolders(const std::string& file) {
    CsvTable table(kDefinitionListDefinition);
    table.SetFileName(file);
    table.Open();
    std::vector<std::string> folders;
    if (table.First()) {
        do {
            if (table.GetBool("SICHERN")) folders.push_back(table.GetText("PFAD"));
        } while (table.Next());
    }
    table.CloseDiscarding();
    return folders;
}

std::string CommaInMaskMessage(const std::string& masks) {
    const std::size_t comma = masks.find(',');
    if (comma == std::string::npos) return {};
    const std::string_view rest = std::string_view(masks).substr(comma + 1);
    return "Unzulässiges Trennzeichen (,) vor " + std::string(FirstCharacters(rest, 255)) + ".";
}

DefinitionList::DefinitionList(CsvTable& table, Boxes& boxes) : FTable(table), FBoxes(boxes) {
    CsvTableEvents& events = FTable.Events();
    events.AfterInsert = [this] { AfterInsert(); };
    events.BeforePost = [this] { return BeforePost(); };
    events.AfterPost = [this] { AfterPost(); };
}

DefinitionList::~DefinitionList() { FTable.Events() = CsvTableEvents{}; }

void DefinitionList::OpenForJob(const TJob& job) {
    // A row still being edited in the grid is stored first (closing alone would drop
    // it); a refused row has shown its message and stays unsaved.
    if (FTable.Active()) FTable.CheckBrowseMode();
    FTable.DisableControls();
    try {
        FTable.Close();
        if (job.DefFile.empty()) {
            if (!job.Bezeichnung.empty()) {
                throw Error("Für den Job \"" + job.Bezeichnung + "\" ist keine Definitionsdatei angegeben.");
            }
        } else {
            FTable.SetFileName(job.DefFile);
            FTable.Open();
        }
    } catch (...) {
        FTable.EnableControls();
        throw;
    }
    FTable.EnableControls();
}

void DefinitionList::OpenWithDefaults(const TJob& job, const std::string& programFilesDir) {
    if (!job.DefFile.empty()) CreateDefaultDefinitionFile(job.DefFile, programFilesDir);
    OpenForJob(job);
}

void DefinitionList::AfterInsert() {
    FTable.SetBool("SICHERN", true);
    FTable.SetBool("REKURSIV", true);
}

bool DefinitionList::BeforePost() {
    const std::string message = CommaInMaskMessage(FTable.GetText("DATEIMASKE"));
    if (message.empty()) return true;
    FBoxes.ShowMessage(message);
    return false;
}

void DefinitionList::AfterPost() { FTable.Sort({"NAME"}); }

}  // namespace vb
