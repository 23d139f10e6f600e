#pragma once
// Puts the schedule of the unattended backup into the system and reads it back: a
// systemd timer and service pair (user units, or system units when run as root) that
// systemctl enables, or, where no systemd manager answers, one marked line in the
// user's crontab. Every call of systemctl, loginctl and crontab goes through
// SchedulerCommands, which tests replace.
#include <string>
#include <vector>

#include "platform/ShellFolders.h"
#include "settings/Schedule.h"

namespace vb {

class SchedulerCommands {
public:
    struct Result {
        int ExitStatus = -1;  // 127: the program is missing
        std::string Output;
    };
    virtual ~SchedulerCommands() = default;
    virtual Result Run(const std::vector<std::string>& argv, const std::string& input = {}) = 0;
};

// The real programs.
class SystemSchedulerCommands : public SchedulerCommands {
public:
    Result Run(const std::vector<std::string>& argv, const std::string& input = {}) override;
};

enum class ScheduleKind { None, UserUnits, SystemUnits, Crontab };

struct SchedulePlace {
    bool Root = false;          // system units in UnitFolder, else user units
    std::string UnitFolder;     // where the unit files go
    std::string UserName;       // for the lingering question
    // The place for this process: /etc/systemd/system as root, else
    // $XDG_CONFIG_HOME/systemd/user (default ~/.config/systemd/user).
    static SchedulePlace ForThisUser();
};

// What the system reports; texts as systemd gives them, "" where it tells nothing.
struct ScheduleStatus {
    std::string NextRun;
    std::string LastRun;
    std::string LastResult;      // "success", "exit-code", ...
    std::string LastExitStatus;  // "0", "1", ...
    bool LingerOff = false;      // user units that run only while the user is logged in
};

class Scheduler {
public:
    Scheduler(SchedulerCommands& commands, SchedulePlace place, ScheduledCommand command);

    // Which mechanism serves: systemd when its manager answers, else crontab when it
    // can be read, else none.
    ScheduleKind Kind();
    // The schedule as the system holds it (a disabled default when there is none).
    TSchedule Load(ScheduleKind kind);
    // Writes and enables (or disables) the schedule. Throws vb::Error with the
    // failing command's words.
    void Apply(ScheduleKind kind, const TSchedule& schedule);
    ScheduleStatus Status(ScheduleKind kind);

private:
    std::vector<std::string> Systemctl(std::vector<std::string> arguments) const;
    SchedulerCommands::Result Must(const std::vector<std::string>& argv, const std::string& input = {});
    std::string ReadCrontab();

    SchedulerCommands& FCommands;
    SchedulePlace FPlace;
    ScheduledCommand FCommand;
};

// The program a schedule calls: `installed` when `running` is that very file (the
// installed program's path stays valid across upgrades, whatever links lead to it),
// else `running` itself (a program run from its build tree).
std::string ScheduledProgram(const std::string& running, const std::string& installed = kInstalledProgram);

// The pass as this process would start it: ScheduledProgram(`program`) with /BACKUP, the password
// file beside the settings file, and the environment values that choose the
// settings and the data folder (XDG_CONFIG_HOME, VORLIXBACKUP_COMMON_DOCUMENTS, and
// HOME for system units, which get none of their own), and RCLONE_CONFIG, the rclone
// configuration of this user (RcloneConfigFile), for the copy to a remote.
ScheduledCommand CommandForThisProcess(const std::string& program, bool root);

// The file where rclone finds this user's configuration: RCLONE_CONFIG when set,
// else rclone.conf in the folder "rclone" of the configuration folder
// ($XDG_CONFIG_HOME, else ~/.config). Empty when neither HOME nor the others is set.
std::string RcloneConfigFile();

// Writes the password for protected backups into `path` (mode 0600 from the moment
// it exists, first line the password); an empty password removes the file.
void WritePasswordFile(const std::string& path, const std::string& password);

}  // namespace vb
