#pragma once
// Reads a written archive back from the disk and checks it: its central directory,
// byte for byte, against what the writer wrote, and the data of every entry written
// anew, decrypted with the run's password, inflated and compared with its CRC-32 and
// size.
#include <string>

#include "zip/ArchiveEntry.h"
#include "zip/WrittenDirectory.h"

namespace vb {

class ArchiveVerifier {
public:
    // `password`: the run's password in UTF-8, as the writer was given it; empty when
    // the run encrypted nothing.
    explicit ArchiveVerifier(std::string password) : FPassword(std::move(password)) {}

    // Checks the archive in `fd` (read from offset 0 to its end; its cached pages are
    // dropped first, so the bytes come from the disk). `written` is the writer's
    // record of the directory it wrote; the data of the entries it marks as written
    // anew is decoded. Throws vb::Error naming `archiveName`, the entry and the fault.
    void Verify(int fd, const std::string& archiveName, const zip::WrittenDirectory& written) const;

    // The same for the archive file `path`.
    void Verify(const std::string& path, const zip::WrittenDirectory& written) const;

private:
    std::string CheckEntryData(int fd, std::uint64_t size, const ArchiveEntry& entry) const;

    std::string FPassword;
};

}  // namespace vb
