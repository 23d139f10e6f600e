#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SystemError.h"
#include "platform/TemporaryFiles.h"
#include "platform/UniqueFd.h"
#include "util/Error.h"

namespace vb {
namespace {

// "Die Datei <file> kann nicht gespeichert werden (<step>: <reason>)."
[[noreturn]] void Fail(const std::filesystem::path& file, const char* step, int error) {
    throw Error("Die Datei " + file.string() + " kann nicht gespeichert werden (" + step + ": " +
                SystemErrorText(error) + ").");
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
    std::string temp = platform::TemporaryTemplateFor(file.string());
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.Valid()) Fail(file, "tempor\u00E4re Datei anlegen", errno);
    auto discard = [&](const char* what) {
        const int error = errno;
        fd.Reset();
        ::unlink(temp.c_str());
        Fail(file, what, error);
    };
    if (::fchmod(fd.Get(), mode) != 0) discard("Rechte setzen");
    if (!WriteAll(fd.Get(), content)) discard("schreiben");
    if (::fsync(fd.Get()) != 0) discard("auf den Datenträger bringen");
    if (::close(fd.Release()) != 0) discard("schließen");
    if (::rename(temp.c_str(), file.c_str()) != 0) discard("ersetzen");
    // Make the rename itself durable.
    const auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) ::fsync(dir.Get());
}

bool ReadWholeFile(const std::filesystem::path& file, std::string& content) {
    // Without blocking: a FIFO in the file's place must not hang the program.
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.Valid()) return false;
    struct stat st{};
    if (::fstat(fd.Get(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
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
