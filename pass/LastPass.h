#pragma once
// The record of the last unattended pass, kept in the data folder so that the window
// can show at its next start that a scheduled pass failed. Each pass replaces the
// record; a successful pass thereby clears a failure.
#include <ctime>
#include <optional>
#include <string>

namespace vb {

inline constexpr const char* kLastPassFile = "/VB-LetzterLauf.txt";

struct LastPass {
    bool Restore = false;     // /RESTORE, else /BACKUP
    std::time_t Time = 0;     // when the pass ended
    int ExitStatus = 0;       // the process's exit status
    std::string FirstError;   // the first error text the pass reported, "" when none
    bool Acknowledged = false;  // the user has seen the failure in the window


    bool Failed() const { return ExitStatus != 0; }
    // A failure the window still has to show.
    bool Unseen() const { return Failed() && !Acknowledged; }
};

// Writes the record into `datenDir` (replacing it atomically). A pass writes it
// unacknowledged, so that its failure shows until the user has seen it. Throws vb::Error
// naming the file when it cannot be written.
void RecordLastPass(const std::string& datenDir, const LastPass& pass);

// The record in `datenDir`; nullopt when there is none or it cannot be read.
std::optional<LastPass> ReadLastPass(const std::string& datenDir);

// One line for the window, for example "Letzte unbeaufsichtigte Sicherung am
// 10.12.2026 um 18:30:05 fehlgeschlagen (Status 1): Fehler beim Packen! ...".
// The error text's line breaks become blanks.
std::string LastPassText(const LastPass& pass);

}  // namespace vb
