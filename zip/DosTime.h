#pragma once
// MS-DOS date and time (2-second resolution) in the process's local time zone.
#include <cstdint>
#include <ctime>

namespace vb::zip {

struct DosDateTime {
    std::uint16_t Time = 0;
    std::uint16_t Date = 0;
    bool operator==(const DosDateTime&) const = default;
};

// The local DOS form of `t`. Odd seconds round up to the next even second, as
// Info-ZIP does, so that a restored file is never older than its original. Times
// before 1980 become 1980-01-01 00:00:00, times after 2107 the last DOS time.
DosDateTime ToDosDateTime(std::time_t t);

// The time_t of a local DOS date and time; invalid fields are clamped.
std::time_t FromDosDateTime(DosDateTime dos);

}  // namespace vb::zip
