#pragma once
// Helpers for the archive tests: files with given times, peer tools, and a look at
// the raw records of an archive.
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "support/AsNobody.h"
#include "support/ErrorOf.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

namespace vb::test {

// Writes `content` and sets the last-write time.
void MakeFile(const std::filesystem::path& file, const std::string& content, std::time_t mtime = 1710496800);

}  // namespace vb::test
