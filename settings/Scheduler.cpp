#include "settings/Scheduler.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/ProcessRunner.h"
#include "platform/RegistryStore.h"
#include "util/Error.h"

namespace vb {
namespace {

std::string Joined(const std::vector<std::string>& argv) {
    std::string text;
    for (const auto& a : argv) text += (text.empty() ? "" : " ") + a;
    return text;
}

// The value of `name` in the "Name=value" lines of systemctl show.
std::string ShownValue(const std::string& output, const std::string& name) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(name + "=", 0) == 0) {
            std::string value = line.substr(name.size() + 1);
            return value == "n/a" || value == "[not set]" ? std::string() : value;
        }
    return {};
}

bool NoCrontabYet(const SchedulerCommands::Result& r) {
    return r.ExitStatus == 1 && r.Output.find("no crontab for") != std::string::npos;
}

}  // namespace

SchedulerCommands::Result SystemSchedulerCommands::Run(const std::vector<std::string>& argv, const std::string& input) {
    const platform::CommandResult r = platform::RunCommand(argv, input);
    return {r.ExitStatus, r.Output};
}

SchedulePlace SchedulePlace::ForThisUser() {
    SchedulePlace place;
    place.Root = platform::RunsAsRoot();
    place.UserName = platform::CurrentUserName();
    if (place.Root) {
        place.UnitFolder = "/etc/systemd/system";
    } else {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        const char* home = std::getenv("HOME");
        const std::string base = config && *config ? config : std::string(home ? home : "") + "/.config";
        place.UnitFolder = base + "/systemd/user";
    }
    return place;
}

Scheduler::Scheduler(SchedulerCommands& commands, SchedulePlace place, ScheduledCommand command)
    : FCommands(commands), FPlace(std::move(place)), FCommand(std::move(command)) {}

std::vector<std::string> Scheduler::Systemctl(std::vector<std::string> arguments) const {
    if (!FPlace.Root) arguments.insert(arguments.begin(), "--user");
    arguments.insert(arguments.begin(), "systemctl");
    return arguments;
}

SchedulerCommands::Result Scheduler::Must(const std::vector<std::string>& argv, const std::string& input) {
    SchedulerCommands::Result r = FCommands.Run(argv, input);
    if (r.ExitStatus != 0) {
        std::string output = r.Output;
        while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
        throw Error("Der Befehl \"" + Joined(argv) + "\" ist fehlgeschlagen (Status " + std::to_string(r.ExitStatus) +
                    (output.empty() ? ")." : "): " + output));
    }
    return r;
}

ScheduleKind Scheduler::Kind() {
    if (FCommands.Run(Systemctl({"show-environment"})).ExitStatus == 0)
        return FPlace.Root ? ScheduleKind::SystemUnits : ScheduleKind::UserUnits;
    const auto crontab = FCommands.Run({"crontab", "-l"});
    if (crontab.ExitStatus == 0 || NoCrontabYet(crontab)) return ScheduleKind::Crontab;
    return ScheduleKind::None;
}

std::string Scheduler::ReadCrontab() {
    const auto r = FCommands.Run({"crontab", "-l"});
    if (NoCrontabYet(r)) return {};
    if (r.ExitStatus != 0) Must({"crontab", "-l"});  // throws with the command's words
    return r.Output;
}

TSchedule Scheduler::Load(ScheduleKind kind) {
    if (kind == ScheduleKind::Crontab) return ParseCrontab(ReadCrontab()).value_or(TSchedule{});
    if (kind == ScheduleKind::None) return {};
    std::string timer, service;
    if (!ReadWholeFile(FPlace.UnitFolder + "/" + kTimerUnit, timer)) return {};
    TSchedule schedule = ParseTimerUnit(timer).value_or(TSchedule{});
    schedule.UsePasswordFile = ReadWholeFile(FPlace.UnitFolder + "/" + kServiceUnit, service) &&
                               service.find("VORLIXBACKUP_PASSWORD_FILE=") != std::string::npos;
    const auto enabled = FCommands.Run(Systemctl({"is-enabled", kTimerUnit}));
    schedule.Enabled = enabled.ExitStatus == 0 && enabled.Output.rfind("enabled", 0) == 0;
    return schedule;
}

void Scheduler::Apply(ScheduleKind kind, const TSchedule& schedule) {
    if (schedule.Enabled && schedule.Weekdays == 0) throw Error("Bitte mindestens einen Wochentag wählen.");
    if (kind == ScheduleKind::None)
        throw Error("Weder systemd noch crontab steht zur Verfügung; der Zeitplan kann nicht eingerichtet werden.");
    if (kind == ScheduleKind::Crontab) {
        const std::string line = schedule.Enabled ? CronLine(schedule, FCommand) : std::string();
        Must({"crontab", "-"}, ReplaceCronLine(ReadCrontab(), line));
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(FPlace.UnitFolder, ec);
    WriteFileAtomically(FPlace.UnitFolder + "/" + kServiceUnit, ServiceUnitText(schedule, FCommand));
    if (schedule.Weekdays != 0) WriteFileAtomically(FPlace.UnitFolder + "/" + kTimerUnit, TimerUnitText(schedule));
    Must(Systemctl({"daemon-reload"}));
    if (schedule.Enabled) {
        Must(Systemctl({"enable", "--now", kTimerUnit}));
    } else if (std::filesystem::exists(FPlace.UnitFolder + "/" + kTimerUnit, ec)) {
        Must(Systemctl({"disable", "--now", kTimerUnit}));
    }
}

ScheduleStatus Scheduler::Status(ScheduleKind kind) {
    ScheduleStatus status;
    if (kind != ScheduleKind::UserUnits && kind != ScheduleKind::SystemUnits) return status;
    const auto timer = FCommands.Run(Systemctl({"show", kTimerUnit, "--property=NextElapseUSecRealtime"}));
    if (timer.ExitStatus == 0) status.NextRun = ShownValue(timer.Output, "NextElapseUSecRealtime");
    const auto service = FCommands.Run(
        Systemctl({"show", kServiceUnit, "--property=Result", "--property=ExecMainStatus",
                   "--property=ExecMainExitTimestamp"}));
    if (service.ExitStatus == 0) {
        status.LastRun = ShownValue(service.Output, "ExecMainExitTimestamp");
        if (!status.LastRun.empty()) {
            status.LastResult = ShownValue(service.Output, "Result");
            status.LastExitStatus = ShownValue(service.Output, "ExecMainStatus");
        }
    }
    if (kind == ScheduleKind::UserUnits) {
        const auto linger = FCommands.Run({"loginctl", "show-user", FPlace.UserName, "--property=Linger"});
        status.LingerOff = linger.ExitStatus == 0 && ShownValue(linger.Output, "Linger") == "no";
    }
    return status;
}

std::string ScheduledProgram(const std::string& running, const std::string& installed) {
    std::error_code ec;
    return std::filesystem::equivalent(running, installed, ec) ? installed : running;
}

ScheduledCommand CommandForThisProcess(const std::string& program, bool root) {
    ScheduledCommand command;
    command.Program = ScheduledProgram(program);
    command.PasswordFile = (RegistryStore::DefaultPath().parent_path() / "passwort").string();
    std::vector<const char*> names = {"XDG_CONFIG_HOME", "VORLIXBACKUP_COMMON_DOCUMENTS"};
    if (root) names.insert(names.begin(), "HOME");
    for (const char* name : names)
        if (const char* value = std::getenv(name); value && *value) command.Environment.emplace_back(name, value);
    if (std::string config = RcloneConfigFile(); !config.empty()) command.Environment.emplace_back("RCLONE_CONFIG", config);
    return command;
}

std::string RcloneConfigFile() {
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    if (std::string named = variable("RCLONE_CONFIG"); !named.empty()) return named;
    if (std::string config = variable("XDG_CONFIG_HOME"); !config.empty()) return config + "/rclone/rclone.conf";
    if (std::string home = variable("HOME"); !home.empty()) return home + "/.config/rclone/rclone.conf";
    return {};
}

void WritePasswordFile(const std::string& path, const std::string& password) {
    if (password.empty()) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    WriteFileAtomically(path, password + "\n", 0600);
}

}  // namespace vb
