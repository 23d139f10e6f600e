#pragma once
// The status line of one archive as the archive browser shows it. Which archives a
// job has, and which one a restore takes, is said in catalogue/JobArchives.h.
#include <string>

namespace vb {

// "Archivgröße: 1.234.567 Bytes, erzeugt am 23.05.2016 14:03:12" for the file at
// `path`: its true size (also beyond 2 GiB) and its creation stamp, without the time
// at exactly midnight. Throws vb::Error "File not found" when the file cannot be
// examined.
std::string ArchiveStatusLine(const std::string& path);

}  // namespace vb
