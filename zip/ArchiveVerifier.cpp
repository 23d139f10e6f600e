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

// The name of the entry whose central header holds byte `at` of the writer's bytes.
std::string NameAt(const zip::WrittenDirectory& written, std::uint64_t at) {
    std::string name;
    zip::WrittenDirectory::Reader reader(written);
    while (reader.Position() <= at) {
        const auto entry = reader.Next(UINT64_MAX - zip::LocalFileHeader::kFixedSize);
        if (!entry) break;
        name = entry->Name;
    }
    return name;
}

// The archive's directory, read from `offset` in pieces, against the writer's bytes.
// Where they first differ, or `written.Size()` when they agree.
std::uint64_t FirstDifference(int fd, std::uint64_t offset, const zip::WrittenDirectory& written,
                              const std::string& archiveName) {
    std::string theirs, mine;
    for (std::uint64_t done = 0; done < written.Size();) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(written.PieceSize(), written.Size() - done));
        theirs.resize(size);
        mine.resize(size);
        const platform::IoResult read = platform::ReadAt(fd, theirs.data(), size, offset + done);
        if (!read) Fail(archiveName, SystemErrorText(read.Error));
        written.Read(done, mine.data(), size);
        const auto [a, b] = std::mismatch(theirs.begin(), theirs.end(), mine.begin());
        if (a != theirs.end()) return done + static_cast<std::uint64_t>(a - theirs.begin());
        done += size;
    }
    return written.Size();
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
    const std::uint64_t dataEnd = dir.CentralDirectoryOffset;
    const std::uint64_t differs = dir.CentralDirectorySize == written.Size()
                                      ? FirstDifference(fd, dir.CentralDirectoryOffset, written, archiveName)
                                      : std::min(dir.CentralDirectorySize, written.Size());
    if (differs != written.Size() || dir.CentralDirectorySize != written.Size())
        Fail(archiveName, NameAt(written, differs) + ": der Eintrag im Inhaltsverzeichnis weicht ab");
    // The directory on disk is the writer's, byte for byte: its entries are read from
    // the writer's bytes, one at a time.
    zip::WrittenDirectory::Reader reader(written);
    for (std::uint64_t i = 0; i < written.Count(); ++i) {
        const auto entry = reader.Next(dataEnd);
        if (!entry) Fail(archiveName, "das Inhaltsverzeichnis des Archivs ist beschädigt");
        if (!written.Anew(i)) continue;
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
