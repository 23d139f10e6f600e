// The schedule of the unattended backup: the unit files and crontab lines it becomes
// (checked by systemd's own tools and by sh), and the calls that put it in place.
#include "settings/Schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

#include "settings/FakeSchedulerCommands.h"
#include "settings/Scheduler.h"
#include "support/ErrorOf.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
using test::Quote;
using test::RunCommand;

const TSchedule kWorkdays{true, 0x1F, 18, 30, false};
const TSchedule kWeekendEarly{true, 0x60, 6, 5, true};
const TSchedule kMondayMidnight{true, 0x01, 0, 0, false};

TEST(Schedule, CalendarAndCronFieldsSystemdAccepts) {
    const struct {
        TSchedule schedule;
        const char* calendar;
        const char* cron;
    } cases[] = {
        {kWorkdays, "Mon,Tue,Wed,Thu,Fri *-*-* 18:30:00", "30 18 * * 1,2,3,4,5"},
        {kWeekendEarly, "Sat,Sun *-*-* 06:05:00", "5 6 * * 6,0"},
        {kMondayMidnight, "Mon *-*-* 00:00:00", "0 0 * * 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.calendar);
        EXPECT_EQ(CalendarSpec(c.schedule), c.calendar);
        EXPECT_EQ(CronTimeFields(c.schedule), c.cron);
        std::string out;
        EXPECT_EQ(RunCommand("systemd-analyze calendar " + Quote(c.calendar), &out), 0) << out;
        EXPECT_NE(out.find("Next elapse:"), std::string::npos) << out;
        // Read back from the timer and from the crontab line.
        const auto timer = ParseTimerUnit(TimerUnitText(c.schedule));
        ASSERT_TRUE(timer.has_value());
        EXPECT_EQ(timer->Weekdays, c.schedule.Weekdays);
        EXPECT_EQ(timer->Hour, c.schedule.Hour);
        EXPECT_EQ(timer->Minute, c.schedule.Minute);
        const auto cron = ParseCrontab("MAILTO=\"\"\n" + CronLine(c.schedule, {"/opt/vorlixbackup/vorlixbackup", "/p", {}}));
        ASSERT_TRUE(cron.has_value());
        EXPECT_EQ(cron->Weekdays, c.schedule.Weekdays);
        EXPECT_EQ(cron->Hour * 60 + cron->Minute, c.schedule.Hour * 60 + c.schedule.Minute);
        EXPECT_EQ(cron->UsePasswordFile, c.schedule.UsePasswordFile);
    }
    EXPECT_FALSE(ParseTimerUnit("[Timer]\nOnCalendar=daily\n").has_value());
    EXPECT_FALSE(ParseCrontab("30 18 * * 1-5 /usr/bin/other\n").has_value());
}

// Paths with blanks, quotes, "%" and "$" survive systemd's quoting: the pair passes
// systemd-analyze verify as user units and as system units.
TEST(Schedule, UnitFilesPassSystemdAnalyzeVerify) {
    test::TempDir dir;
    const fs::path folder = dir / "Mein Programm 100%";
    fs::create_directories(folder);
    const fs::path program = folder / "vorlix$backup";
    fs::copy_file(VB_BINARY_DIR "/vorlixbackup", program);
    const ScheduledCommand command{program.string(), (dir / "geheim \"passwort\"").string(),
                                   {{"VORLIXBACKUP_COMMON_DOCUMENTS", "/srv/Schule 50%"}}};
    for (const bool user : {true, false}) {
        SCOPED_TRACE(user);
        const fs::path units = dir / (user ? "user" : "system");
        fs::create_directories(units);
        test::WriteFile(units / kServiceUnit, ServiceUnitText(kWeekendEarly, command));
        test::WriteFile(units / kTimerUnit, TimerUnitText(kWeekendEarly));
        std::string out;
        EXPECT_EQ(RunCommand("cd " + Quote(units.string()) + " && XDG_RUNTIME_DIR=" + Quote(dir.Path().string()) +
                                 " systemd-analyze " + (user ? "--user " : "") + "verify ./" + kServiceUnit + " ./" +
                                 kTimerUnit, &out), 0)
            << out;
        EXPECT_EQ(out, "");
    }
    const std::string timer = TimerUnitText(kWeekendEarly);
    EXPECT_NE(timer.find("\nPersistent=true\n"), std::string::npos);
    EXPECT_NE(timer.find("\nWantedBy=timers.target\n"), std::string::npos);
    // What systemd makes of the quoted values.
    const std::string service = ServiceUnitText(kWeekendEarly, command);
    EXPECT_NE(service.find("ExecStart=\"" + folder.string().substr(0, folder.string().size() - 1) + "%%/vorlix$backup\" /BACKUP\n"),
              std::string::npos) << service;
    EXPECT_NE(service.find("Environment=\"VORLIXBACKUP_PASSWORD_FILE=" + dir.Path().string() + "/geheim \\\"passwort\\\"\"\n"),
              std::string::npos) << service;
    EXPECT_NE(service.find("UnsetEnvironment=DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM\n"), std::string::npos);
    EXPECT_EQ(ServiceUnitText(kWorkdays, command).find("PASSWORD_FILE"), std::string::npos);
}

// The command part of the crontab line, run by sh as cron runs it, starts the program
// with /BACKUP and the values exactly as given, hands its lines to the system log, and
// ends with the pass's exit status; only a failed pass writes to standard output,
// which cron mails.
TEST(Schedule, CronLineKeepsTheExitStatusAndReportsOnlyFailures) {
    test::TempDir dir;
    const fs::path program = dir / "it's 100% vorlix";
    test::WriteFile(
        program,
        "#!/bin/sh\nprintf '%s|%s|%s' \"$VORLIXBACKUP_PASSWORD_FILE\" \"$XDG_CONFIG_HOME\" \"$*\" > \"$0.out\"\n"
        "echo \"Lauf $STATUS\" >&2\nexit \"$STATUS\"\n");
    ::chmod(program.c_str(), 0755);
    // The system log, as far as this line uses it.
    fs::create_directories(dir / "bin");
    test::WriteFile(dir / "bin/logger", "#!/bin/sh\necho \"$*\" >> \"$LOG\"\ncat >> \"$LOG\"\n");
    ::chmod((dir / "bin/logger").c_str(), 0755);
    const std::string line =
        CronLine(kWeekendEarly, {program.string(), "/home/x/pass 5%", {{"XDG_CONFIG_HOME", "/home/x/.config"}}});
    ASSERT_EQ(line.rfind("5 6 * * 6,0 ", 0), 0u) << line;
    ASSERT_EQ(line.substr(line.size() - std::string(kCronMarker).size()), kCronMarker);
    std::string command = line.substr(std::string("5 6 * * 6,0 ").size());
    // cron hands "\%" on as "%"; sh reads the rest.
    for (std::size_t at; (at = command.find("\\%")) != std::string::npos;) command.replace(at, 2, "%");
    const struct {
        const char* status;
        std::string log;
        std::string mailed;
    } cases[] = {
        {"0", "-t vorlixbackup\nLauf 0\n", ""},
        {"1", "-t vorlixbackup\nLauf 1\n", "VorlixBackup /BACKUP: R\u00FCckgabewert 1\nLauf 1\n"},
        {"2", "-t vorlixbackup\nLauf 2\n", "VorlixBackup /BACKUP: R\u00FCckgabewert 2\nLauf 2\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        const fs::path log = dir / ("log" + std::string(c.status));
        std::string out;
        EXPECT_EQ(RunCommand("STATUS=" + std::string(c.status) + " LOG=" + Quote(log.string()) + " PATH=" +
                                 Quote((dir / "bin").string()) + ":/usr/bin:/bin sh -c " + Quote(command) + " 2>&1",
                             &out),
                  std::stoi(c.status));
        EXPECT_EQ(out, c.mailed);
        EXPECT_EQ(fs::exists(log) ? test::ReadFile(log.string()) : std::string(), c.log);
        EXPECT_EQ(test::ReadFile(program.string() + ".out"), "/home/x/pass 5%|/home/x/.config|/BACKUP");
    }
}

// A schedule written by the installed program calls it by its installed path, also
// when it was started through a link; a program elsewhere is called where it is.
TEST(Schedule, ScheduledProgramIsTheInstalledPathWhenItIsThatFile) {
    test::TempDir dir;
    const fs::path installed = dir / "usr/bin/vorlixbackup", elsewhere = dir / "build/vorlixbackup";
    fs::create_directories(installed.parent_path());
    fs::create_directories(elsewhere.parent_path());
    test::WriteFile(installed, "");
    test::WriteFile(elsewhere, "");
    fs::create_symlink(installed, dir / "link");
    const struct {
        const char* name;
        fs::path running;
        fs::path expected;
    } cases[] = {
        {"the installed file", installed, installed},
        {"through a link", dir / "link", installed},
        {"through another path of the same folder", dir / "usr/bin/../bin/vorlixbackup", installed},
        {"a build tree", elsewhere, elsewhere},
        {"a path that does not exist", dir / "missing", dir / "missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ScheduledProgram(c.running.string(), installed.string()), c.expected.string());
    }
    EXPECT_EQ(CommandForThisProcess(elsewhere.string(), false).Program, elsewhere.string());
}

// The pass a timer starts finds the rclone configuration of the user who set it up.
TEST(Schedule, CommandNamesTheRcloneConfigurationOfThisUser) {
    struct Case {
        const char* name;
        const char* rcloneConfig;  // nullptr: unset
        const char* configHome;
        std::string expected;
    } cases[] = {
        {"named", "/srv/rclone.conf", "/home/lehrer/.cfg", "/srv/rclone.conf"},
        {"configuration folder", nullptr, "/home/lehrer/.cfg", "/home/lehrer/.cfg/rclone/rclone.conf"},
        {"home", nullptr, nullptr, "/home/lehrer/.config/rclone/rclone.conf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScopedEnv home("HOME", "/home/lehrer");
        test::ScopedEnv config("RCLONE_CONFIG", c.rcloneConfig ? c.rcloneConfig : "");
        test::ScopedEnv xdg("XDG_CONFIG_HOME", c.configHome ? c.configHome : "");
        if (!c.rcloneConfig) ::unsetenv("RCLONE_CONFIG");
        if (!c.configHome) ::unsetenv("XDG_CONFIG_HOME");
        const ScheduledCommand command = CommandForThisProcess("/usr/bin/vorlixbackup", false);
        const std::pair<std::string, std::string> expected{"RCLONE_CONFIG", c.expected};
        EXPECT_NE(std::find(command.Environment.begin(), command.Environment.end(), expected),
                  command.Environment.end());
        EXPECT_NE(ServiceUnitText(TSchedule{true}, command).find("Environment=\"RCLONE_CONFIG=" + c.expected + "\""),
                  std::string::npos);
    }
}

TEST(Schedule, ReplacingTheMarkedLineKeepsEveryOtherLine) {
    const std::string others = "MAILTO=admin\n0 3 * * * /usr/bin/aufraeumen\n";
    const std::string line = std::string("30 18 * * 1 /x /BACKUP ") + kCronMarker;
    const std::string added = ReplaceCronLine(others, line);
    EXPECT_EQ(added, others + line + "\n");
    const std::string changed = std::string("0 7 * * 2 /x /BACKUP ") + kCronMarker;
    EXPECT_EQ(ReplaceCronLine(added, changed), others + changed + "\n");
    EXPECT_EQ(ReplaceCronLine(added, ""), others);
    EXPECT_EQ(ReplaceCronLine("", ""), "");
}

class SchedulerTest : public ::testing::Test {
protected:
    test::TempDir Dir;
    test::FakeSchedulerCommands Commands;
    SchedulePlace Place{false, (Dir / "systemd/user").string(), "lehrer"};
    ScheduledCommand Command{"/opt/vorlixbackup/vorlixbackup", (Dir / "passwort").string(), {}};
};

TEST_F(SchedulerTest, KindFollowsWhatAnswers) {
    Scheduler scheduler(Commands, Place, Command);
    EXPECT_EQ(scheduler.Kind(), ScheduleKind::UserUnits);
    EXPECT_EQ(Commands.Calls.back(), "systemctl --user show-environment");
    Scheduler root(Commands, {true, "/etc/systemd/system", "root"}, Command);
    EXPECT_EQ(root.Kind(), ScheduleKind::SystemUnits);
    EXPECT_EQ(Commands.Calls.back(), "systemctl show-environment");
    Commands.SystemdAnswers = false;
    EXPECT_EQ(scheduler.Kind(), ScheduleKind::Crontab);  // "no crontab for" counts: there is crontab
    Commands.HaveCrontab = false;
    EXPECT_EQ(scheduler.Kind(), ScheduleKind::None);
    EXPECT_NE(test::ErrorOf([&] { scheduler.Apply(ScheduleKind::None, kWorkdays); }).find("Weder systemd noch crontab"),
              std::string::npos);
}

TEST_F(SchedulerTest, UnitsAreWrittenEnabledAndReadBack) {
    Scheduler scheduler(Commands, Place, Command);
    scheduler.Apply(ScheduleKind::UserUnits, kWeekendEarly);
    EXPECT_EQ(Commands.Calls, (std::vector<std::string>{"systemctl --user daemon-reload",
                                                        "systemctl --user enable --now vorlixbackup.timer"}));
    EXPECT_EQ(test::ReadFile(Dir / "systemd/user/vorlixbackup.timer"), TimerUnitText(kWeekendEarly));
    EXPECT_EQ(test::ReadFile(Dir / "systemd/user/vorlixbackup.service"), ServiceUnitText(kWeekendEarly, Command));

    Commands.Answers["systemctl --user is-enabled vorlixbackup.timer"] = {0, "enabled\n"};
    TSchedule loaded = scheduler.Load(ScheduleKind::UserUnits);
    EXPECT_TRUE(loaded.Enabled);
    EXPECT_EQ(loaded.Weekdays, kWeekendEarly.Weekdays);
    EXPECT_EQ(loaded.Hour, 6);
    EXPECT_EQ(loaded.Minute, 5);
    EXPECT_TRUE(loaded.UsePasswordFile);

    // Switched off: the timer is disabled, its times stay for the next time.
    Commands.Calls.clear();
    TSchedule off = kWeekendEarly;
    off.Enabled = false;
    scheduler.Apply(ScheduleKind::UserUnits, off);
    EXPECT_EQ(Commands.Calls, (std::vector<std::string>{"systemctl --user daemon-reload",
                                                        "systemctl --user disable --now vorlixbackup.timer"}));
    Commands.Answers["systemctl --user is-enabled vorlixbackup.timer"] = {1, "disabled\n"};
    loaded = scheduler.Load(ScheduleKind::UserUnits);
    EXPECT_FALSE(loaded.Enabled);
    EXPECT_EQ(loaded.Hour, 6);

    // A failing systemctl is reported with its words.
    Commands.Answers["systemctl --user daemon-reload"] = {1, "Failed to connect to bus\n"};
    EXPECT_EQ(test::ErrorOf([&] { scheduler.Apply(ScheduleKind::UserUnits, kWorkdays); }),
              "Der Befehl \"systemctl --user daemon-reload\" ist fehlgeschlagen (Status 1): Failed to connect to bus");
}

TEST_F(SchedulerTest, CrontabGetsOneMarkedLine) {
    Scheduler scheduler(Commands, Place, Command);
    Commands.SystemdAnswers = false;
    scheduler.Apply(ScheduleKind::Crontab, kWorkdays);  // no crontab yet
    EXPECT_EQ(*Commands.Crontab, CronLine(kWorkdays, Command) + "\n");
    Commands.Crontab = "MAILTO=admin\n" + *Commands.Crontab + "0 3 * * * /usr/bin/aufraeumen\n";
    scheduler.Apply(ScheduleKind::Crontab, kMondayMidnight);
    EXPECT_EQ(*Commands.Crontab,
              "MAILTO=admin\n" + CronLine(kMondayMidnight, Command) + "\n0 3 * * * /usr/bin/aufraeumen\n");
    const TSchedule loaded = scheduler.Load(ScheduleKind::Crontab);
    EXPECT_TRUE(loaded.Enabled);
    EXPECT_EQ(loaded.Weekdays, 1u);
    TSchedule off = kMondayMidnight;
    off.Enabled = false;
    scheduler.Apply(ScheduleKind::Crontab, off);
    EXPECT_EQ(*Commands.Crontab, "MAILTO=admin\n0 3 * * * /usr/bin/aufraeumen\n");
    EXPECT_FALSE(scheduler.Load(ScheduleKind::Crontab).Enabled);
}

TEST_F(SchedulerTest, StatusAsSystemdReportsItWithTheLingeringWarning) {
    Scheduler scheduler(Commands, Place, Command);
    Commands.Answers["systemctl --user show vorlixbackup.timer --property=NextElapseUSecRealtime"] = {
        0, "NextElapseUSecRealtime=Sat 2026-12-12 06:05:00 CET\n"};
    Commands.Answers["systemctl --user show vorlixbackup.service --property=Result --property=ExecMainStatus "
                     "--property=ExecMainExitTimestamp"] = {
        0, "Result=exit-code\nExecMainStatus=1\nExecMainExitTimestamp=Thu 2026-12-10 18:30:12 CET\n"};
    Commands.Answers["loginctl show-user lehrer --property=Linger"] = {0, "Linger=no\n"};
    ScheduleStatus status = scheduler.Status(ScheduleKind::UserUnits);
    EXPECT_EQ(status.NextRun, "Sat 2026-12-12 06:05:00 CET");
    EXPECT_EQ(status.LastRun, "Thu 2026-12-10 18:30:12 CET");
    EXPECT_EQ(status.LastResult, "exit-code");
    EXPECT_EQ(status.LastExitStatus, "1");
    EXPECT_TRUE(status.LingerOff);
    // System units run without anyone logged in; lingering is not asked.
    Scheduler root(Commands, {true, Place.UnitFolder, "root"}, Command);
    Commands.Calls.clear();
    EXPECT_FALSE(root.Status(ScheduleKind::SystemUnits).LingerOff);
    for (const auto& call : Commands.Calls) EXPECT_EQ(call.find("loginctl"), std::string::npos) << call;
    // A service that never ran reports no result.
    Commands.Answers["systemctl --user show vorlixbackup.service --property=Result --property=ExecMainStatus "
                     "--property=ExecMainExitTimestamp"] = {0, "Result=success\nExecMainStatus=0\nExecMainExitTimestamp=\n"};
    status = scheduler.Status(ScheduleKind::UserUnits);
    EXPECT_EQ(status.LastRun, "");
    EXPECT_EQ(status.LastResult, "");
}

TEST(PasswordFile, OnlyTheOwnerMayReadItAndEmptyRemovesIt) {
    test::TempDir dir;
    const std::string path = (dir / "vorlix-backup/passwort").string();
    WritePasswordFile(path, "Geheim ä");
    struct stat st{};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(test::ReadFile(path), "Geheim ä\n");
    WritePasswordFile(path, "");
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace vb
