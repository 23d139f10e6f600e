#pragma once
// The user roster of a Jet database: who is connected to it, from its lock file.
//
// Jet keeps a lock file beside the database, with the database's base name and the
// extension .ldb. It has no header: up to 255 records of 64 bytes, one per
// connection slot. Bytes 0-31 hold the computer name and bytes 32-63 the login name
// (the security account, "Admin" without workgroup security), each ended by a NUL;
// writers pad the rest with blanks or NULs. The names are 8-bit text in the ANSI
// code page.
//
// A record stays in the file after its user has left, until the slot is used again
// or the last user closes the database. A connected user holds a one-byte lock at
// 0x10000000 + n + 1 of the lock file for record n for as long as it is connected;
// locks of clients of a file server on this host (Samba mirrors them as POSIX locks)
// or of processes here are seen, others are not.
#include <optional>
#include <string>
#include <vector>

namespace vb {

struct RosterRecord {
    std::string ComputerName;  // UTF-8
    std::string LoginName;     // UTF-8
    bool Connected = false;
    bool operator==(const RosterRecord&) const = default;
};

inline constexpr std::size_t kLdbRecordSize = 64;
inline constexpr std::size_t kLdbMaxRecords = 255;
inline constexpr long long kLdbUserLockBase = 0x10000000;

// The lock file of `database`: the same path with the extension ".ldb".
std::string LockFilePath(const std::string& database);

// The records of the lock file `ldbPath`, in file order; an empty list when there is
// no lock file (nobody is connected). Throws vb::Error when the file cannot be read,
// or is damaged: a size that is no whole number of records, or more than 255.
std::vector<RosterRecord> ReadLockFileRoster(const std::string& ldbPath);

// The connection the users dialog reads from: to a Jet database in the provider's
// default share mode. It checks that the file exists, is a Jet 3 or Jet 4 database
// and that the password opens it; it holds nothing open.
class JetRosterConnection {
public:
    // `connectionString` for display; data source and password given apart.
    JetRosterConnection(std::string connectionString, std::string dataSource, std::optional<std::string> password);

    const std::string& ConnectionString() const { return FConnectionString; }
    bool LoginPrompt() const { return false; }

    // Throws vb::Error with the reason when the database cannot be opened.
    void Open();
    bool Connected() const { return FConnected; }
    // The Jet user roster: opens the connection if it is not open yet, then reads
    // the lock file beside the database.
    std::vector<RosterRecord> UserRoster();

private:
    std::string FConnectionString;
    std::string FDataSource;
    std::optional<std::string> FPassword;
    bool FConnected = false;
};

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" <path> ";Jet OLEDB:Database
// Password=" <password>: the users dialog's connection, without a mode entry.
std::string RosterConnectionString(const std::string& dataSource, const std::string& password);

}  // namespace vb
