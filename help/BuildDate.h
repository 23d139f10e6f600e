#pragma once
// The date on which an executable was built, as the about box shows it.
#include <cstdint>
#include <filesystem>

namespace vb {

// Seconds since 1 January 1970 00:00, without any time-zone conversion.
//
// A Windows (PE) executable gives the time stamp of its file header. Linkers that
// write the fixed stamp 0x2A425E19 (19 June 1992 22:22:17) instead of the real time
// give the MS-DOS date and time kept in the header of their resource directory; when
// that cannot be found or read, the header stamp stays.
//
// A Linux (ELF) executable of this program carries its build time in the section
// named by kBuildDateSection: eight bytes, seconds since 1970, little-endian, which
// the build writes (from SOURCE_DATE_EPOCH where it is set).
//
// Every problem with the file ends in the stamp known so far: 0 when the file cannot
// be opened or is neither, the PE header stamp when only its resource directory
// cannot be read.
std::int64_t GetBuildDate(const std::filesystem::path& file);

inline constexpr const char* kBuildDateSection = ".vb_build_date";

}  // namespace vb
