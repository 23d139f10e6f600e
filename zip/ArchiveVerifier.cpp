#include "zip/ArchiveVerifier.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "zip/ArchiveDirectory.h"
#include "zip/EntryCipher.h"
#include "zip/EntryDecoder.h"
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

// The fields that the central directory must carry for each entry the writer wrote.
bool SameRecord(const ArchiveEntry& a, const ArchiveEntry& b) {
    return a.Name == b.Name && a.Crc32 == b.Crc32 && a.CompressedSize == b.CompressedSize &&
           a.UncompressedSize == b.UncompressedSize && a.LocalHeaderOffset == b.LocalHeaderOffset &&
           a.Method == b.Method && a.Flags == b.Flags;
}

}  // namespace

void ArchiveVerifier::Verify(int fd, const std::string& archiveName, const std::vector<ArchiveEntry>& written,
                             const std::set<std::string>& anew) const {
    if (!platform::DropCachedPages(fd)) Fail(archiveName, SystemErrorText(errno));
    struct stat st{};
    if (::fstat(fd, &st) != 0) Fail(archiveName, SystemErrorText(errno));
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size == 0) Fail(archiveName, "die Datei ist leer");

    const zip::ArchiveDirectory dir = zip::ReadArchiveDirectory(fd, size);
    if (dir.Problem != zip::DirectoryProblem::None || dir.DiskNumber != 0)
        Fail(archiveName, "das Inhaltsverzeichnis des Archivs ist beschädigt");
    if (dir.Entries.size() != written.size())
        Fail(archiveName, "das Inhaltsverzeichnis nennt " + std::to_string(dir.Entries.size()) + " statt " +
                              std::to_string(written.size()) + " Einträge");
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (!SameRecord(dir.Entries[i], written[i]))
            Fail(archiveName, written[i].Name + ": der Eintrag im Inhaltsverzeichnis weicht ab");
    }
    for (const ArchiveEntry& entry : dir.Entries) {
        if (!anew.count(entry.Name)) continue;
        const std::string fault = CheckEntryData(fd, size, entry);
        if (!fault.empty()) Fail(archiveName, entry.Name + ": " + fault);
    }
}

void ArchiveVerifier::Verify(const std::string& path, const std::vector<ArchiveEntry>& written,
                             const std::set<std::string>& anew) const {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) Fail(path, SystemErrorText(errno));
    Verify(fd.Get(), path, written, anew);
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
