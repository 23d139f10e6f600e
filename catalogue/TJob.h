#pragma once
// The current job: a copy of one row of the job list. The main window owns exactly
// one, FJob; the backup and restore runs receive it as an argument.
#include <cstdint>
#include <string>

namespace vb {

class TJob {
public:
    std::int32_t JobNr = 0;      // no operation sets or reads it
    std::string Bezeichnung;     // BEZEICHNUNG
    std::string DestDir;         // ZIELVERZEICHNIS
    std::string DefFile;         // DEFINITIONSDATEI
    bool Auto = false;           // AUTOMATIK; an empty field reads false
    std::string BackupFilename;  // the archive in focus, without folder
};

}  // namespace vb
