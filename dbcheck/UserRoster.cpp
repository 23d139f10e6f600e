#include "dbcheck/UserRoster.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "dbcheck/JetHeader.h"
#include "platform/ByteRangeLock.h"
#include "platform/FileIo.h"
#include "platform/SystemError.h"
#include "platform/UniqueFd.h"
#include "util/CodePage.h"
#include "util/Error.h"

namespace vb {
namespace {

// One name field: up to its first NUL, without trailing blanks or NULs.
std::string NameField(std::string_view field) {
    field = field.substr(0, field.find('\0'));
    while (!field.empty() && (field.back() == ' ' || field.back() == '\0')) field.remove_suffix(1);
    return decode(kAnsiCodePage, field);
}

std::string ReadAll(int fd, const std::string& path, std::size_t limit) {
    std::string bytes;
    if (const platform::IoResult read = platform::ReadToEnd(fd, bytes, limit); !read)
        throw Error("Die Sperrdatei " + path + " kann nicht gelesen werden: " + SystemErrorText(read.Error));
    return bytes;
}

}  // namespace

std::string LockFilePath(const std::string& database) {
    return std::filesystem::path(database).replace_extension(".ldb").string();
}

std::vector<RosterRecord> ReadLockFileRoster(const std::string& ldbPath) {
    UniqueFd fd(::open(ldbPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) {
        if (errno == ENOENT) return {};
        throw Error("Die Sperrdatei " + ldbPath + " kann nicht gelesen werden: " + SystemErrorText(errno));
    }
    struct stat st{};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw Error("Die Sperrdatei " + ldbPath + " kann nicht gelesen werden: keine Datei");
    const std::string bytes = ReadAll(fd.Get(), ldbPath, kLdbRecordSize * kLdbMaxRecords);
    if (bytes.size() % kLdbRecordSize != 0 || bytes.size() > kLdbRecordSize * kLdbMaxRecords)
        throw Error("Die Sperrdatei " + ldbPath + " ist beschädigt.");

    std::vector<RosterRecord> roster;
    for (std::size_t n = 0; n * kLdbRecordSize < bytes.size(); ++n) {
        const std::string_view record = std::string_view(bytes).substr(n * kLdbRecordSize, kLdbRecordSize);
        roster.push_back({NameField(record.substr(0, 32)), NameField(record.substr(32, 32)),
                          platform::ByteRangeLocked(fd.Get(), static_cast<off_t>(kLdbUserLockBase + n + 1), 1)});
    }
    return roster;
}

std::string RosterConnectionString(const std::string& dataSource, const std::string& password) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dataSource + ";Jet OLEDB:Database Password=" + password;
}

JetRosterConnection::JetRosterConnection(std::string connectionString, std::string dataSource,
                                         std::optional<std::string> password)
    : FConnectionString(std::move(connectionString)), FDataSource(std::move(dataSource)),
      FPassword(std::move(password)) {}

void JetRosterConnection::Open() {
    if (FConnected) return;
    UniqueFd fd(::open(FDataSource.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) {
        if (errno == ENOENT) throw Error("Die Datei '" + FDataSource + "' wurde nicht gefunden.");
        throw Error(FDataSource + ": " + SystemErrorText(errno));
    }
    std::string page(kJet4PageSize, '\0');
    page.resize(platform::ReadAt(fd.Get(), page.data(), page.size(), 0).Done);
    const auto header = ReadJetHeader(page);
    if (!header) throw Error(FDataSource + ": Unerkanntes Datenbankformat");
    if (!PasswordMatches(*header, FPassword.value_or(""))) throw Error("Kein gültiges Kennwort.");
    FConnected = true;
}

std::vector<RosterRecord> JetRosterConnection::UserRoster() {
    Open();
    return ReadLockFileRoster(LockFilePath(FDataSource));
}

}  // namespace vb
