#include "zip/ArchiveVerifier.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "zip/ArchiveDirectory.h"
#include "zip/EntryCipher.h"
#include "zip/EntryDecoder.h"
#include "zip/ZipRecords.h"
#include "platform/FileIo.h"
#include "platform/PageCache.h"
#include "platform/SystemError.h"
#include "platform/UniqueFd.h"
#include "util/CodePage.h"
#include "util/Error.h"

namespace vb {
namespace {

[[noreturn]] void Fail(const std::string& archiveName, const std::string& what) {
    throw Error("Die Prüfung der Sicherung " + archiveName + " ist fehlgeschlagen: " + what);
}

// The name of the entry whose central header holds byte `at` of `headers`.
std::string NameAt(std::string_view headers, std::size_t at) {
    std::string name;
    for (std::size_t pos = 0; pos <= at;) {
        const auto entry = zip::ReadCentralEntry(headers, pos, UINT64_MAX - zip::LocalFileHeader::kFixedSize);
        if (!entry) break;
        name = entry->Name;
    }
    return name;
}

// The archive's directory, read from `offset` in pieces, against the writer's bytes.
// Where they first differ, or `headers.size()` when they agree.
std::size_t FirstDifference(int fd, std::uint64_t offset, std::string_view headers, const std::string& archiveName) {
    std::string piece;
    for (std::size_t done = 0; done < headers.size();) {
        piece.resize(std::min<std::size_t>(1 << 20, headers.size() - done));
        const platform::IoResult read = platform::ReadAt(fd, piece.data(), piece.size(), offset + done);
        if (!read) Fail(archiveName, SystemErrorText(read.Error));
        const auto [mine, theirs] = std::mismatch(piece.begin(), piece.end(), headers.begin() + done);
        if (mine != piece.end()) return done + static_cast<std::size_t>(mine - piece.begin());
        done += piece.size();
    }
    return headers.size();
}

}  // namespace

void ArchiveVerifier::Verify(int fd, const std::string& archiveName, const zip::WrittenDirectory& written) const {
    if (!platform::DropCachedPages(fd)) Fail(archiveName, SystemErrorText(errno));
    struct stat st{};
    if (::fstat(fd, &st) != 0) Fail(archiveName, SystemErrorText(errno));
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size == 0) Fail(archiveName, "die Datei ist leer");

    const zip::ArchiveDirectory dir = zip::FindArchiveDirectory(fd, size);
    if (dir.Problem != zip::DirectoryProblem::None || dir.DiskNumber != 0)
        Fail(archiveName, "das Inhaltsverzeichnis des Archivs ist beschädigt");
    if (dir.EntryCount != written.Count())
        Fail(archiveName, "das Inhaltsverzeichnis nennt " + std::to_string(dir.EntryCount) + " statt " +
                              std::to_string(written.Count()) + " Einträge");
    const std::string_view headers = written.Headers;
    const std::uint64_t dataEnd = dir.CentralDirectoryOffset;
    const std::size_t differs = dir.CentralDirectorySize == headers.size()
                                    ? FirstDifference(fd, dir.CentralDirectoryOffset, headers, archiveName)
                                    : std::min<std::size_t>(dir.CentralDirectorySize, headers.size());
    if (differs != headers.size() || dir.CentralDirectorySize != headers.size())
        Fail(archiveName, NameAt(headers, differs) + ": der Eintrag im Inhaltsverzeichnis weicht ab");
    // The directory on disk is the writer's, byte for byte: its entries are read from
    // the writer's bytes, one at a time.
    std::size_t pos = 0;
    for (std::uint64_t i = 0; i < written.Count(); ++i) {
        const auto entry = zip::ReadCentralEntry(headers, pos, dataEnd);
        if (!entry) Fail(archiveName, "das Inhaltsverzeichnis des Archivs ist beschädigt");
        if (!written.Anew[i]) continue;
        const std::string fault = CheckEntryData(fd, size, *entry);
        if (!fault.empty()) Fail(archiveName, entry->Name + ": " + fault);
    }
}

void ArchiveVerifier::Verify(const std::string& path, const zip::WrittenDirectory& written) const {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) Fail(path, SystemErrorText(errno));
    Verify(fd.Get(), path, written);
}

// Empty when the entry's data decodes to its size and CRC-32, else the reason.
std::string ArchiveVerifier::CheckEntryData(int fd, std::uint64_t size, const ArchiveEntry& entry) const {
    const auto data = zip::LocateEntryData(fd, size, entry);
    if (!data) return "der lokale Kopf fehlt oder die Daten reichen über das Dateiende hinaus";
    std::optional<zip::EntryCipher> cipher;
    if (entry.IsEncrypted()) {
        switch (zip::EntryCipher::Find(fd, *data, entry, FPassword, cipher)) {
        case zip::EntryCipher::Match::Yes: break;
        case zip::EntryCipher::Match::No: return "das Passwort der Sicherung entschlüsselt den Eintrag nicht";
        case zip::EntryCipher::Match::Damaged: return "der Verschlüsselungskopf fehlt";
        }
    }
    return zip::DecodeEntry(fd, data->Offset, entry, cipher ? &*cipher : nullptr,
                            [](std::string_view) { return true; });
}

}  // namespace vb
