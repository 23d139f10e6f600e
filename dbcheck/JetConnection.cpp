#include "dbcheck/JetConnection.h"

#include <unistd.h>


#include "dbcheck/JetHeader.h"
#include "platform/FileIo.h"
#include "platform/SystemError.h"
#include "util/Error.h"

namespace vb {
namespace {

// The first page of the file, as much of it as there is (up to one Jet 4 page).
std::string ReadFirstPage(int fd, const std::string& path) {
    std::string page(kJet4PageSize, '\0');
    // A file shorter than a page gives what it has; the header check judges it.
    const platform::IoResult read = platform::ReadAt(fd, page.data(), page.size(), 0);
    if (read.Error != 0) throw Error(path + ": " + SystemErrorText(read.Error));
    page.resize(read.Done);
    return page;
}

}  // namespace

std::string JetConnectionString(const std::string& dataSource, const std::optional<std::string>& password) {
    std::string text = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dataSource +
                       ";Mode=Share Exclusive;Persist Security Info=False";
    if (password) text += ";Jet OLEDB:Database Password=" + *password;
    return text;
}

JetConnection::JetConnection(std::string connectionString, std::string dataSource,
                             std::optional<std::string> password)
    : FConnectionString(std::move(connectionString)), FDataSource(std::move(dataSource)),
      FPassword(std::move(password)) {}

void JetConnection::Open() {
    Close();
    platform::ExclusiveFile file(FDataSource);
    const auto header = ReadJetHeader(ReadFirstPage(file.Fd(), FDataSource));
    if (!header) throw Error(FDataSource + ": Unerkanntes Datenbankformat");
    if (!PasswordMatches(*header, FPassword.value_or(""))) throw Error("Kein gültiges Kennwort.");
    FFile.emplace(std::move(file));
}

void JetConnection::Close() { FFile.reset(); }

}  // namespace vb
