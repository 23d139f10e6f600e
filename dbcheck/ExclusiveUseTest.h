#pragma once
// Whether one of the product's database files is free: not opened by any other
// program, so that a backup may pack it and a restore may replace it. Only the known
// database names are tested; every other file counts as free.
//
//   vorlixintern.mdb  tested with the product's password from the registry
//   vxuser.mdb        tested with the fixed password "xz857"
//   reports.mdb       tested without a password
//
// Names compare without regard to letter case, wherever the file lies. The main
// window owns one of these, together with the path of the product database
// FVorlixDB, which nothing assigns: it stays empty, so FindOpenDatabase never finds
// a database in use.
#include <optional>
#include <string>

namespace vb {

class RegistryStore;

class ExclusiveUseTest {
public:
    // `store` is the current user's registry, read anew for every vorlixintern.mdb.
    explicit ExclusiveUseTest(RegistryStore& store, std::string vorlixDB = {});

    // True when the file is free: no file at `path` (a folder does not count), a name
    // that is not tested, or the database could be opened exclusively with its
    // password and was closed again. False when that open fails for any reason (in
    // use, wrong password, no Jet database, unreadable); no message. Errors while
    // the registry password is obtained (vb::RegistryError, vb::RangeError) reach
    // the caller.
    bool TestExclusive(const std::string& path);

    // FVorlixDB when TestExclusive finds it in use, else "".
    std::string FindOpenDatabase();

    // The connection string the test would open `path` with; nullopt when the name
    // is not tested. Reads the registry for the product database.
    std::optional<std::string> ConnectionStringFor(const std::string& path);

    // The connection string of the last test that opened a database ("" when the
    // last test opened nothing).
    const std::string& LastConnectionString() const { return FLastConnectionString; }

    const std::string& VorlixDB() const { return FVorlixDB; }

private:
    struct Target {
        std::string ConnectionString;
        std::optional<std::string> Password;
    };
    enum class Database { None, Product, Users, Reports };
    // Which of the tested databases `path` names, by its name alone.
    Database DatabaseAt(const std::string& path) const;
    std::optional<Target> TargetFor(const std::string& path);

    RegistryStore& FStore;
    std::string FVorlixDB;
    std::string FLastConnectionString;
};

}  // namespace vb
