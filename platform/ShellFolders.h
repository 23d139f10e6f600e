#pragma once
// The folders the program takes from the system. A folder that cannot be determined
// is the empty string.
#include <string>

namespace vb {

// The installed program and its read-only files (help), as the Debian package puts
// them; the schedule calls the program by this path, which stays when the package is
// upgraded.
inline constexpr const char* kInstalledProgram = "/usr/bin/vorlixbackup";
inline constexpr const char* kInstalledDataFolder = "/usr/share/vorlixbackup";

// The data folder shared by all users: $VORLIXBACKUP_COMMON_DOCUMENTS with
// "/VorlixBackup" when that variable is set, else /var/lib/vorlixbackup, which the
// package prepares for the members of the group vorlixbackup. Not created here.
std::string SharedDataFolder();

// Where the default job writes its archives: /var/backups/vorlixbackup, which the
// package prepares like the data folder.
inline constexpr const char* kDefaultBackupFolder = "/var/backups/vorlixbackup";

// A read-only file of the program: `name` beside the executable in `programFolder`
// when it is there (a build tree), else in kInstalledDataFolder (an installed
// program), whether or not it exists there.
std::string ProgramDataFile(const std::string& programFolder, const std::string& name);

// The user's own documents folder: XDG_DOCUMENTS_DIR from user-dirs.dirs in the
// configuration folder ($HOME expanded), else ~/Documents. Not created here.
std::string PersonalDocumentsFolder();

// $TMPDIR when it names an existing folder, else /tmp; no trailing separator.
std::string TemporaryFolder();

}  // namespace vb

namespace vb {

class RegistryStore;

// The Program Files folder: ProgramFilesDir under the machine key
// SOFTWARE\Microsoft\Windows\CurrentVersion, or /opt when the store has none.
std::string ProgramFilesFolder(const RegistryStore& registry);

}  // namespace vb
