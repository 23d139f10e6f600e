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

namespace {

long OffsetAt(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_gmtoff;
}

}  // namespace

// As mktime does it, without its cost: mktime asks the file system on every call
// whether the time zone's file changed (one `stat` of /etc/localtime per restored
// file), localtime_r only once. The wall time is read as UTC and moved by the offset in
// force then: the offsets a day before and a day after bound it. Where the clocks were
// turned back and the wall time came twice, the first one counts; where they were put
// forward and it never came, it is taken with the offset from before (an hour later).
// mktime answers the same, except that for a wall time that came twice its answer
// depends on the times it was asked for before.
std::time_t FromDosDateTime(DosDateTime dos) {
    std::tm wall{};
    wall.tm_year = 80 + (dos.Date >> 9);
    wall.tm_mon = std::clamp((dos.Date >> 5) & 0x0F, 1, 12) - 1;
    wall.tm_mday = std::clamp(dos.Date & 0x1F, 1, 31);
    wall.tm_hour = std::min(dos.Time >> 11, 23);
    wall.tm_min = std::min((dos.Time >> 5) & 0x3F, 59);
    wall.tm_sec = std::min((dos.Time & 0x1F) * 2, 59);
    const std::time_t asUtc = timegm(&wall);
    constexpr std::time_t kDay = 24 * 60 * 60;
    const long before = OffsetAt(asUtc - kDay);
    const long after = OffsetAt(asUtc + kDay);
    const std::time_t withBefore = asUtc - before;
    if (before == after || OffsetAt(withBefore) == before) return withBefore;
    const std::time_t withAfter = asUtc - after;
    return OffsetAt(withAfter) == after ? withAfter : withBefore;
}

}  // namespace vb::zip
