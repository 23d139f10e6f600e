#pragma once
// The archives of a job's target folder as the archive browser lists them, the status
// line of one archive, and the archive that a restore pass takes for a job.
#include <string>
#include <vector>

namespace vb {

// `folder` + "/" + `name`, without doubling a trailing "/".
std::string ArchivePath(const std::string& folder, const std::string& name);

// The names (without folder) of the items of `folder` whose names end in ".zip"
// (letters in any case). Every kind of item counts, hidden files and folders named
// like archives too. The list is in name order, letters compared without regard to
// case as the file systems of the original platform return them, so that the first
// archive does not depend on the file system. Empty when the folder is missing or
// cannot be read.
std::vector<std::string> ListArchiveNames(const std::string& folder);

// "Archivgröße: 1.234.567 Bytes, erzeugt am 23.05.2016 14:03:12" for the file at
// `path`: its true size (also beyond 2 GiB) and its creation stamp, without the time
// at exactly midnight. Throws vb::Error "File not found" when the file cannot be
// examined.
std::string ArchiveStatusLine(const std::string& path);

// The archive a restore pass takes for a job: `recorded` (the job's BACKUPDATEI) when
// an archive of that name is listed in `folder`, else the listed archive with the
// newest creation stamp (of equal stamps the last in name order). "" when the folder
// holds no archive.
std::string ArchiveForRestorePass(const std::string& folder, const std::string& recorded);

}  // namespace vb
