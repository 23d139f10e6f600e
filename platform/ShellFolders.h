#pragma once
// The folders the program takes from the system. A folder that cannot be determined
// is the empty string.
#include <string>

namespace vb {

// The documents folder shared by all users: $VORLIXBACKUP_COMMON_DOCUMENTS when set,
// else /var/opt (an administrator prepares /var/opt/VorlixBackup for a group).
std::string CommonDocumentsFolder();

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
