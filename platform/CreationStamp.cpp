#include "platform/CreationStamp.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cstdio>

#include "util/GermanFormat.h"
#include "platform/RunPhases.h"

namespace vb::platform {
namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// "YYYY-MM-DD HH:MM:SS" with every field in range; anything else is no stamp of ours.
std::optional<std::tm> ParseStamp(const char* text, std::size_t length) {
    static constexpr std::size_t kLength = 19;
    static constexpr char kShape[] = "dddd-dd-dd dd:dd:dd";
    if (length != kLength) return std::nullopt;
    for (std::size_t i = 0; i < kLength; ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return std::nullopt;
    }
    auto number = [&](std::size_t at, std::size_t digits) {
        int value = 0;
        for (std::size_t i = 0; i < digits; ++i) value = value * 10 + (text[at + i] - '0');
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return local;
}

}  // namespace

bool SetCreationStamp(const std::string& path, const std::tm& local) {
    RunPhase phase("creation stamp");
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                                     local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    if (length != 19) return false;  // a year outside 1..9999 has no place in the stamp
    return ::setxattr(path.c_str(), kCreationStampAttribute, text, static_cast<std::size_t>(length), 0) == 0;
}

std::optional<std::tm> ReadCreationStamp(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    char text[64];
    const ssize_t length = ::getxattr(path.c_str(), kCreationStampAttribute, text, sizeof text);
    if (length > 0) {
        if (auto stamp = ParseStamp(text, static_cast<std::size_t>(length))) return stamp;
    }
    std::tm local = LocalTime(st.st_mtim.tv_sec);
    local.tm_isdst = -1;
    return local;
}

}  // namespace vb::platform
