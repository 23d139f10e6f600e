#include "zip/DosTime.h"

#include <algorithm>

namespace vb::zip {

DosDateTime ToDosDateTime(std::time_t t) {
    if (t & 1) ++t;
    std::tm local{};
    localtime_r(&t, &local);
    const int year = local.tm_year + 1900;
    if (year < 1980) return {0, static_cast<std::uint16_t>((1 << 5) | 1)};
    if (year > 2107) return {static_cast<std::uint16_t>((23 << 11) | (59 << 5) | 29),
                             static_cast<std::uint16_t>((127 << 9) | (12 << 5) | 31)};
    DosDateTime dos;
    dos.Time = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    dos.Date = static_cast<std::uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    return dos;
}

std::time_t FromDosDateTime(DosDateTime dos) {
    std::tm local{};
    local.tm_year = 80 + (dos.Date >> 9);
    local.tm_mon = std::clamp((dos.Date >> 5) & 0x0F, 1, 12) - 1;
    local.tm_mday = std::clamp(dos.Date & 0x1F, 1, 31);
    local.tm_hour = std::min(dos.Time >> 11, 23);
    local.tm_min = std::min((dos.Time >> 5) & 0x3F, 59);
    local.tm_sec = std::min((dos.Time & 0x1F) * 2, 59);
    local.tm_isdst = -1;
    return std::mktime(&local);
}

}  // namespace vb::zip
