#include "ArchiveTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdlib>
#include <stdexcept>

namespace vb::test {

void MakeFile(const std::filesystem::path& file, const std::string& content, std::time_t mtime) {
    std::filesystem::create_directories(file.parent_path());
    WriteFile(file, content);
    struct utimbuf times{mtime, mtime};
    ::utime(file.c_str(), &times);
}

}  // namespace vb::test
