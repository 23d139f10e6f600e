#pragma once
// The German formats of the systems the program serves: short date "03.10.2016",
// long time "14:05:09", thousands separator ".".
#include <cstdint>
#include <ctime>
#include <string>

namespace vb {

std::string FormatShortDate(const std::tm& local);   // dd.mm.yyyy
std::string FormatLongTime(const std::tm& local);    // hh:mm:ss, 24 hours
std::string FormatThousands(std::int64_t value);     // 1234567 -> "1.234.567"

// The local time of `t` (the process's time zone).
std::tm LocalTime(std::time_t t);

}  // namespace vb
