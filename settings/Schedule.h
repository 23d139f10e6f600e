#pragma once
// The schedule of the unattended backup as the dialog "Zeitplan" edits it, and the
// texts that carry it to the system: a systemd timer and service pair, or one marked
// line in the user's crontab. Each text can be read back into the schedule, so the
// system's own files are the only place the schedule is kept.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vb {

struct TSchedule {
    bool Enabled = false;
    unsigned Weekdays = 0x1F;  // bit 0 Monday ... bit 6 Sunday; Monday to Friday
    int Hour = 18;
    int Minute = 30;
    bool UsePasswordFile = false;
};

// What the unattended pass needs besides the time: the program, the password file
// (used when the schedule says so) and environment values handed on to the pass.
struct ScheduledCommand {
    std::string Program;
    std::string PasswordFile;
    std::vector<std::pair<std::string, std::string>> Environment;
};

inline constexpr const char* kServiceUnit = "vorlixbackup.service";
inline constexpr const char* kTimerUnit = "vorlixbackup.timer";
inline constexpr const char* kCronMarker = "# VorlixBackup-Zeitplan";

// "Mon,Tue,Wed,Thu,Fri *-*-* 18:30:00"; "" when no weekday is chosen.
std::string CalendarSpec(const TSchedule& schedule);
// "30 18 * * 1,2,3,4,5" (Sunday is 0).
std::string CronTimeFields(const TSchedule& schedule);

std::string ServiceUnitText(const TSchedule& schedule, const ScheduledCommand& command);
// The timer runs a missed pass at the next start (Persistent=true).
std::string TimerUnitText(const TSchedule& schedule);
// The weekdays and time of a timer this program wrote; nullopt for any other text.
std::optional<TSchedule> ParseTimerUnit(const std::string& text);

// The crontab line, ending in kCronMarker. It runs the pass, writes its output to the
// system log (tag vorlixbackup) and, when the pass fails, to standard output too, so
// that cron mails it; the line's exit status is the pass's.
std::string CronLine(const TSchedule& schedule, const ScheduledCommand& command);
// The schedule of the marked line in `crontab`; nullopt when there is none.
std::optional<TSchedule> ParseCrontab(const std::string& crontab);
// `crontab` with its marked lines replaced by `line` (removed when `line` is empty);
// every other line stays as it was.
std::string ReplaceCronLine(const std::string& crontab, const std::string& line);

}  // namespace vb
