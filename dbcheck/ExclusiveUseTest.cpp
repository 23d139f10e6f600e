#include "dbcheck/ExclusiveUseTest.h"


#include "dbcheck/DBPassword.h"
#include "dbcheck/JetConnection.h"
#include "platform/FileStat.h"
#include "util/Error.h"
#include "platform/RunPhases.h"

namespace vb {
namespace {

constexpr const char* kFixedUserDbPassword = "xz857";

// The file-name part of a path, in lower case. The names compared against are ASCII,
// so only ASCII letters need folding.
std::string LowerFileName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

// Anything at the path except a folder counts as a file (a FIFO or device then fails
// the open and reads as in use, so nothing writes into it).
bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    const auto status = platform::StatPath(path, true);
    return status && status->Kind != platform::FileKind::Directory;
}

}  // namespace

ExclusiveUseTest::ExclusiveUseTest(RegistryStore& store, std::string vorlixDB)
    : FStore(store), FVorlixDB(std::move(vorlixDB)) {}

ExclusiveUseTest::Database ExclusiveUseTest::DatabaseAt(const std::string& path) const {
    const std::string name = LowerFileName(path);
    if (name == "vorlixintern.mdb" || (!FVorlixDB.empty() && path == FVorlixDB)) return Database::Product;
    if (name == "vxuser.mdb") return Database::Users;
    if (name == "reports.mdb") return Database::Reports;
    return Database::None;
}

std::optional<ExclusiveUseTest::Target> ExclusiveUseTest::TargetFor(const std::string& path) {
    std::optional<std::string> password;
    switch (DatabaseAt(path)) {
        case Database::None: return std::nullopt;
        case Database::Product: password = GetDBPassword(FStore); break;
        case Database::Users: password = kFixedUserDbPassword; break;
        case Database::Reports: break;
    }
    return Target{JetConnectionString(path, password), password};
}

std::optional<std::string> ExclusiveUseTest::ConnectionStringFor(const std::string& path) {
    if (auto target = TargetFor(path)) return target->ConnectionString;
    return std::nullopt;
}

bool ExclusiveUseTest::TestExclusive(const std::string& path) {
    FLastConnectionString.clear();
    // The name first: a restore asks for every file it writes, and most are no database.
    if (DatabaseAt(path) == Database::None || !FileExists(path)) return true;
    // Password errors happen before the guarded open and reach the caller.
    const auto target = TargetFor(path);
    if (!target) return true;
    FLastConnectionString = target->ConnectionString;
    JetConnection connection(target->ConnectionString, path, target->Password);
    try {
        connection.Open();
        connection.Close();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string ExclusiveUseTest::FindOpenDatabase() {
    RunPhase phase("database check");
    return TestExclusive(FVorlixDB) ? std::string() : FVorlixDB;
}

}  // namespace vb
