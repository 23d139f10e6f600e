#pragma once
// A local clock reading for tests that need a fixed date and time.
#include <ctime>

namespace vb::test {

inline std::tm LocalClock(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return t;
}

}  // namespace vb::test
