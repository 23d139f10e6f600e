#pragma once
// The connection to a Jet database as this program uses it: opened exclusively and
// closed again at once, to learn whether anybody else uses the database. On Linux
// there is no Jet provider; the connection stands in for it. It opens the file and
// holds it exclusively (no other process has it open or locked), checks that it is
// a Jet 3 or Jet 4 database, and that the password matches the one in its header.
#include <optional>
#include <string>

#include "platform/OpenFiles.h"

namespace vb {

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" <path> ";Mode=Share Exclusive;Persist
// Security Info=False", and ";Jet OLEDB:Database Password=" <password> when a password
// is given. Path and password are taken as they are, without quoting.
std::string JetConnectionString(const std::string& dataSource, const std::optional<std::string>& password);

class JetConnection {
public:
    // `connectionString` is the text above; the data source and password are given
    // apart as well, so that a ';' inside them cannot change their meaning.
    JetConnection(std::string connectionString, std::string dataSource, std::optional<std::string> password);

    const std::string& ConnectionString() const { return FConnectionString; }
    // Always off and share-exclusive: no login dialog, nobody else in the database.
    bool LoginPrompt() const { return false; }
    bool ShareExclusive() const { return true; }

    // Opens the database exclusively. Throws vb::Error when the file cannot be opened,
    // is in use, is no Jet 3/4 database, or the password does not open it.
    void Open();
    // Releases the database; harmless when not open.
    void Close();
    bool Connected() const { return FFile.has_value(); }

private:
    std::string FConnectionString;
    std::string FDataSource;
    std::optional<std::string> FPassword;
    std::optional<platform::ExclusiveFile> FFile;
};

}  // namespace vb
