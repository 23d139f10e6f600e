#pragma once
// Backup and restore passes exclude each other, in the window and unattended alike:
// each pass holds an exclusive lock on the file ".VorlixBackup.lock" in the data
// folder for as long as it runs. The system drops the lock when its holder ends, also
// when it is killed, so a killed pass never leaves a stale lock behind.
//
// Use (the holder lives as long as the pass):
//     try {
//         platform::PassLock lock(options.FDatenDir);
//         ... the pass ...
//     } catch (const platform::PassRunningError& e) {
//         host.ShowError(e.what());   // "Eine Sicherung oder Wiederherstellung läuft bereits."
//     }
// A second PassLock on the same folder fails also inside the same process, so one
// window cannot start a second pass beside its first either.
#include <string>

#include "platform/UniqueFd.h"
#include "util/Error.h"

namespace vb::platform {

inline constexpr const char* kPassRunningMessage = "Eine Sicherung oder Wiederherstellung läuft bereits.";
inline constexpr const char* kPassLockFileName = ".VorlixBackup.lock";

// Another pass holds the lock; the message is kPassRunningMessage.
class PassRunningError : public Error {
public:
    PassRunningError() : Error(kPassRunningMessage) {}
};

class PassLock {
public:
    // Takes the lock in `dataFolder` without waiting. Throws PassRunningError when
    // another pass holds it, and vb::Error naming the lock file and the system's
    // reason when the file cannot be opened (missing or write-protected data folder,
    // or something that is no regular file in its place).
    explicit PassLock(const std::string& dataFolder);
    PassLock(PassLock&&) noexcept = default;
    PassLock& operator=(PassLock&&) noexcept = default;
    PassLock(const PassLock&) = delete;
    PassLock& operator=(const PassLock&) = delete;
    // Releases the lock (the lock file stays; it is only ever locked, never read).
    ~PassLock() = default;

    // "<dataFolder>/.VorlixBackup.lock".
    static std::string LockFile(const std::string& dataFolder);

private:
    UniqueFd FFd;
};

}  // namespace vb::platform
