#pragma once
// The creation time stamp of a backup archive. The backup run sets it right after the
// archive is written; the archive browser reads it back. Linux cannot set a file's
// birth time, so the stamp is a user extended attribute holding the local clock
// reading as text ("2016-05-23 14:03:12"), stored without any time-zone conversion.
// Media without extended attributes (FAT sticks, some network shares) keep no stamp;
// there the modification time stands in, shown as local time.
#include <ctime>
#include <optional>
#include <string>

namespace vb::platform {

// The name of the extended attribute.
inline constexpr const char* kCreationStampAttribute = "user.vorlixbackup.created";

// Stores the local clock reading `local` (only the calendar fields year to second are
// used) on the file `path`. False when the file or its file system does not take it.
bool SetCreationStamp(const std::string& path, const std::tm& local);

// The stored stamp of `path`; when there is none or it cannot be read as a date and
// time, the modification time in local time. Nullopt when the file cannot be
// examined at all. The result has the calendar fields set and tm_isdst = -1.
std::optional<std::tm> ReadCreationStamp(const std::string& path);

}  // namespace vb::platform
