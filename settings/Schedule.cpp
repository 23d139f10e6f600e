#include "settings/Schedule.h"

#include <cstdio>
#include <sstream>

namespace vb {
namespace {

const char* const kDayNames[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

// A value inside double quotes of a unit file: systemd's escapes, and "%" doubled so
// that no specifier is expanded. ("$" stays: systemd expands no variable in the
// program's path or in Environment=.)
std::string UnitQuoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    return out + "\"";
}

// A word for sh inside a crontab line, where "%" would end the command.
std::string CronQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else if (c == '%') out += "'\\%'";
        else out += c;
    }
    return out + "'";
}

std::string TwoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

bool ParseTime(const std::string& text, int& hour, int& minute) {
    int h = -1, m = -1, s = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%d%c", &h, &m, &s, &tail) < 2 || tail) return false;
    if (h < 0 || h > 23 || m < 0 || m > 59) return false;
    hour = h, minute = m;
    return true;
}

}  // namespace

std::string CalendarSpec(const TSchedule& schedule) {
    std::string days;
    for (int d = 0; d < 7; ++d)
        if (schedule.Weekdays & (1u << d)) days += (days.empty() ? "" : ",") + std::string(kDayNames[d]);
    if (days.empty()) return {};
    return days + " *-*-* " + TwoDigits(schedule.Hour) + ":" + TwoDigits(schedule.Minute) + ":00";
}

std::string CronTimeFields(const TSchedule& schedule) {
    std::string days;
    for (int d = 0; d < 7; ++d)
        if (schedule.Weekdays & (1u << d)) days += (days.empty() ? "" : ",") + std::to_string((d + 1) % 7);
    return std::to_string(schedule.Minute) + " " + std::to_string(schedule.Hour) + " * * " + days;
}

std::string ServiceUnitText(const TSchedule& schedule, const ScheduledCommand& command) {
    std::string text =
        "# Von VorlixBackup angelegt (Einstellungen, Zeitplan...).\n"
        "[Unit]\n"
        "Description=VorlixBackup: unbeaufsichtigte Sicherung\n"
        "\n"
        "[Service]\n"
        "Type=oneshot\n"
        "# Ohne Anzeige wartet kein Fenster auf eine Antwort.\n"
        "UnsetEnvironment=DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM\n";
    for (const auto& [name, value] : command.Environment)
        text += "Environment=" + UnitQuoted(name + "=" + value) + "\n";
    if (schedule.UsePasswordFile)
        text += "Environment=" + UnitQuoted("VORLIXBACKUP_PASSWORD_FILE=" + command.PasswordFile) + "\n";
    text += "ExecStart=" + UnitQuoted(command.Program) + " /BACKUP\n";
    return text;
}

std::string TimerUnitText(const TSchedule& schedule) {
    return "# Von VorlixBackup angelegt (Einstellungen, Zeitplan...).\n"
           "[Unit]\n"
           "Description=VorlixBackup: Zeitplan der unbeaufsichtigten Sicherung\n"
           "\n"
           "[Timer]\n"
           "OnCalendar=" + CalendarSpec(schedule) + "\n"
           "# Ein verpasster Lauf wird beim nächsten Start nachgeholt.\n"
           "Persistent=true\n"
           "\n"
           "[Install]\n"
           "WantedBy=timers.target\n";
}

std::optional<TSchedule> ParseTimerUnit(const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("OnCalendar=", 0) != 0) continue;
        std::istringstream words(line.substr(11));
        std::string days, date, time;
        if (!(words >> days >> date >> time) || date != "*-*-*") return std::nullopt;
        TSchedule schedule;
        schedule.Weekdays = 0;
        std::istringstream names(days);
        for (std::string name; std::getline(names, name, ',');) {
            int d = 0;
            while (d < 7 && name != kDayNames[d]) ++d;
            if (d == 7) return std::nullopt;
            schedule.Weekdays |= 1u << d;
        }
        if (!ParseTime(time, schedule.Hour, schedule.Minute)) return std::nullopt;
        return schedule;
    }
    return std::nullopt;
}

std::string CronLine(const TSchedule& schedule, const ScheduledCommand& command) {
    std::string line = CronTimeFields(schedule) + " out=$(";
    for (const auto& [name, value] : command.Environment) line += " " + name + "=" + CronQuoted(value);
    if (schedule.UsePasswordFile) line += " VORLIXBACKUP_PASSWORD_FILE=" + CronQuoted(command.PasswordFile);
    // The pass's lines go to the system log; a failure and its lines go to standard
    // output as well, which cron mails, and the line ends with the pass's exit status.
    // ("\%" is how a crontab line writes "%".)
    return line + " " + CronQuoted(command.Program) +
           " /BACKUP 2>&1); rc=$?; [ -z \"$out\" ] || printf '\\%s\\n' \"$out\" | logger -t vorlixbackup;"
           " [ $rc -eq 0 ] || printf 'VorlixBackup /BACKUP: R\u00FCckgabewert \\%s\\n\\%s\\n' $rc \"$out\"; exit $rc " +
           kCronMarker;
}

std::optional<TSchedule> ParseCrontab(const std::string& crontab) {
    std::istringstream lines(crontab);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(kCronMarker) == std::string::npos) continue;
        std::istringstream words(line);
        std::string minute, hour, dom, month, days;
        if (!(words >> minute >> hour >> dom >> month >> days)) return std::nullopt;
        TSchedule schedule;
        schedule.Enabled = true;
        schedule.UsePasswordFile = line.find(" VORLIXBACKUP_PASSWORD_FILE=") != std::string::npos;
        if (!ParseTime(hour + ":" + minute, schedule.Hour, schedule.Minute)) return std::nullopt;
        schedule.Weekdays = 0;
        std::istringstream numbers(days);
        for (std::string number; std::getline(numbers, number, ',');) {
            if (number.size() != 1 || number[0] < '0' || number[0] > '7') return std::nullopt;
            schedule.Weekdays |= 1u << ((number[0] - '0' + 6) % 7);
        }
        return schedule;
    }
    return std::nullopt;
}

std::string ReplaceCronLine(const std::string& crontab, const std::string& line) {
    std::string out;
    std::istringstream lines(crontab);
    bool placed = false;
    for (std::string old; std::getline(lines, old);) {
        if (old.find(kCronMarker) == std::string::npos) {
            out += old + "\n";
        } else if (!placed && !line.empty()) {
            out += line + "\n";
            placed = true;
        }
    }
    if (!placed && !line.empty()) out += line + "\n";
    return out;
}

}  // namespace vb
