#include "help/VersionInfo.h"

namespace vb {

const VersionInfo& ProgramVersionInfo() {
    static const VersionInfo info{
        "VorlixBackup",
        "Vorlix Backup & Restore",
        VB_FILE_VERSION,
        "Vorlix",
        "Vorlix-Backup",
        "%d Vorlix",
    };
    return info;
}

}  // namespace vb
