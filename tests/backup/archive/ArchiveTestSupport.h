#pragma once
// Helpers for the archive tests: files with given times, peer tools, and a look at
// the raw records of an archive.
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "support/ErrorOf.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

namespace vb::test {

// Writes `content` and sets the last-write time.
void MakeFile(const std::filesystem::path& file, const std::string& content, std::time_t mtime = 1710496800);

// While it lives, a process running as root acts as the user nobody for file access,
// so that permission bits hold as they do for any other user. Nothing happens for a
// process that is not root. The folders the test uses must let nobody pass.
class AsNobody {
public:
    AsNobody();
    ~AsNobody();
    AsNobody(const AsNobody&) = delete;
    AsNobody& operator=(const AsNobody&) = delete;

private:
    bool FSwitched = false;
};

}  // namespace vb::test
