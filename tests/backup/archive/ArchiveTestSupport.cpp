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

AsNobody::AsNobody() {
    if (::geteuid() != 0) return;
    if (::setegid(65534) != 0) throw std::runtime_error("setegid failed");
    if (::seteuid(65534) != 0) throw std::runtime_error("seteuid failed");
    FSwitched = true;
}

AsNobody::~AsNobody() {
    if (!FSwitched) return;
    if (::seteuid(0) != 0 || ::setegid(0) != 0) std::abort();
}

}  // namespace vb::test
