#pragma once
// How the program entry reads its command line: which pass to run, and the job-list
// text handed to the backup pass.
#include <string>
#include <vector>

namespace vb {

inline constexpr const char* kApplicationTitle = "Vorlix-Backup";

enum class EntryMode { Interactive, Backup, Restore, UsageError, Help, Version, Versions };

struct EntryDecision {
    EntryMode mode = EntryMode::Interactive;
    std::string jobs;          // Backup: the job-list text (empty = every automatic job)
    std::string errorMessage;  // UsageError: the text of the error box
    std::string path;          // Versions: the file whose versions the window opens at
};

// True when `parameter` is the switch `name`: its first character is '-' or '/' and
// the rest equals `name` regardless of letter case.
bool IsSwitch(const std::string& parameter, const std::string& name);

// The raw command line as Linux has none: the program path and the arguments joined by
// single blanks.
std::string RawCommandLine(const std::string& programPath, const std::vector<std::string>& parameters);

// The job-list text for /BACKUP with two or more parameters: the raw command line from
// behind the first occurrence of the first parameter's first character followed by
// "BACKUP" (compared in upper case), or from its seventh character when there is none.
// The search starts behind the program path (its first `programPathLength`
// characters): a folder such as /srv/backup in the path must not be taken for the
// switch, which would turn the path into job names. Positions count characters, not
// bytes.
std::string JobListText(const std::vector<std::string>& parameters, const std::string& rawCommandLine,
                        std::size_t programPathLength = 0);

// What `vorlixbackup --help` (or /?) prints on standard output: the usage line of
// the error box, then the passes, the password variables and the exit status.
std::string UsageText();

// What `vorlixbackup --version` prints on standard output: the product name and the
// version, on one line.
std::string VersionText();

// The whole decision of the entry. `parameters` excludes the program path. Without
// /BACKUP or /RESTORE, a parameter --help, /? or -? asks for the usage text (Help)
// instead of the error box, and else a parameter --version for the version (Version).
// "--versions PATH" opens the window at the versions of the file PATH (Versions);
// without PATH it is a usage error.
EntryDecision DecideEntry(const std::vector<std::string>& parameters, const std::string& rawCommandLine,
                          std::size_t programPathLength = 0);

// The length of a program path in characters, as JobListText counts them.
std::size_t CharacterCount(const std::string& text);

}  // namespace vb
