#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileIo.h"
#include "platform/ReplacingFile.h"
#include "platform/SystemError.h"
#include "platform/UniqueFd.h"
#include "util/Error.h"

namespace vb {
namespace {

// "Die Datei <file> kann nicht gespeichert werden (<step>: <reason>)."
[[noreturn]] void Fail(const std::filesystem::path& file, const char* step, int error) {
    throw Error("Die Datei " + file.string() + " kann nicht gespeichert werden (" + step + ": " +
                SystemErrorText(error) + ").");
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& file, std::string_view content, mode_t mode) {
    platform::ReplacingFile replacing(file.string());
    if (!replacing.Valid()) Fail(file, "temporäre Datei anlegen", replacing.CreateError());
    if (::fchmod(replacing.Fd(), mode) != 0) Fail(file, "Rechte setzen", errno);
    if (const auto written = platform::WriteAll(replacing.Fd(), content); !written) Fail(file, "schreiben", written.Error);
    if (const int error = replacing.Flush()) Fail(file, "auf den Datenträger bringen", error);
    if (const int error = replacing.Close()) Fail(file, "schließen", error);
    if (const int error = replacing.Commit()) Fail(file, "ersetzen", error);
}

bool ReadWholeFile(const std::filesystem::path& file, std::string& content, int* error) {
    auto fail = [error](int code) {
        if (error) *error = code;
        errno = code;
        return false;
    };
    // Without blocking: a FIFO in the file's place must not hang the program.
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.Valid()) return fail(errno);
    struct stat st{};
    if (::fstat(fd.Get(), &st) != 0) return fail(errno);
    if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    content.clear();
    if (const platform::IoResult read = platform::ReadToEnd(fd.Get(), content); !read) return fail(read.Error);
    return true;
}

}  // namespace vb
