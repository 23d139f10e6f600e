#include "backup/VerifiedSave.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <functional>
#include <string>

#include "zip/ArchiveDirectory.h"
#include "zip/ArchiveVerifier.h"
#include "zip/ArchiveWriter.h"
#include "platform/UniqueFd.h"
#include "util/Error.h"

namespace vb {
namespace {

// The last disk of an archive spread over several removable disks: the others
// cannot be read back without asking for each of them.
bool SpansSeveralDisks(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st{};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || st.st_size == 0) return false;
    return zip::ReadArchiveDirectory(fd.Get(), static_cast<std::uint64_t>(st.st_size)).DiskNumber != 0;
}

}  // namespace

void SaveAndCloseArchive(ArchiveWriter& writer, bool verify) {
    if (!verify || !writer.IsOpen()) {
        writer.Save();
        writer.Close();
        return;
    }
    const bool anew = writer.ToWrite() > 0;
    const std::string archive = writer.FileName();
    const ArchiveVerifier verifier(writer.Password());
    // Runs one check and writes its result into the log.
    auto logged = [&](const std::function<void()>& check) {
        try {
            check();
        } catch (const Error& e) {
            writer.LogLine(archive, std::string(" Prüfung fehlgeschlagen: ") + e.what() + " ");
            throw;
        }
        writer.LogLine(archive, " geprüft ");
    };

    bool verified = false;
    // A hook set before keeps its turn, ahead of the check.
    const auto before = writer.OnWritten;
    writer.OnWritten = [&](int fd, const zip::WrittenDirectory& written) {
        if (before) before(fd, written);
        logged([&] { verifier.Verify(fd, archive, written); });
        verified = true;
    };
    try {
        writer.Save();
        writer.OnWritten = before;
        // Nothing new was written, or it went straight to removable disks: then the
        // archive file is checked as it is now. Only a new archive goes there, so
        // every entry in it is new.
        if (!verified && anew) {
            if (SpansSeveralDisks(archive)) {
                writer.LogLine(archive, " nicht geprüft (auf mehrere Datenträger verteilt) ");
            } else {
                logged([&] { verifier.Verify(archive, zip::WrittenDirectory::AllAnew(writer.Entries())); });
            }
        }
    } catch (...) {
        writer.OnWritten = before;
        writer.Discard();
        throw;
    }
    writer.Close();
}

}  // namespace vb
