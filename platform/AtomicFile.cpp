#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/UniqueFd.h"
#include "util/Error.h"

namespace vb {
namespace {

[[noreturn]] void Fail(const std::filesystem::path& file, const char* what, int error) {
    throw Error(file.string() + ": " + what + ": " + std::strerror(error));
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& file, std::string_view content, mode_t mode) {
    std::string temp = file.string() + ".XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd.Valid()) Fail(file, "cannot create a temporary file", errno);
    auto discard = [&](const char* what) {
        const int error = errno;
        fd.Reset();
        ::unlink(temp.c_str());
        Fail(file, what, error);
    };
    if (::fchmod(fd.Get(), mode) != 0) discard("cannot set permissions");
    if (!WriteAll(fd.Get(), content)) discard("cannot write");
    if (::fsync(fd.Get()) != 0) discard("cannot flush");
    if (::close(fd.Release()) != 0) discard("cannot close");
    if (::rename(temp.c_str(), file.c_str()) != 0) discard("cannot replace");
    // Make the rename itself durable.
    const auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) ::fsync(dir.Get());
}

bool ReadWholeFile(const std::filesystem::path& file, std::string& content) {
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) return false;
    content.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace vb
