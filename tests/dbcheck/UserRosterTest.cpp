// The user roster read from a Jet lock file (.ldb) beside the database.
#include "dbcheck/UserRoster.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "dbcheck/JetFixtures.h"
#include "platform/UniqueFd.h"
#include "util/Error.h"

namespace vb {
namespace {

// One 64-byte record as Jet writes it: each name ended by a NUL and padded.
std::string Record(const std::string& computer, const std::string& login, char pad = ' ') {
    auto field = [pad](const std::string& name) {
        std::string f = name + '\0';
        f.resize(32, pad);
        return f;
    };
    return field(computer) + field(login);
}

TEST(UserRoster, RecordsInFileOrderWithTheirNames) {
    test::TempDir dir;
    const std::string ldb = (dir / "vorlixintern.ldb").string();
    test::WriteFile(ldb, Record("SEKRETARIAT", "Admin") + Record("LEHRER-PC2", "admin", '\0') +
                             Record("B\xDC" "RO", "M\xFCller"));  // Windows-1252
    const std::vector<RosterRecord> expected = {
        {"SEKRETARIAT", "Admin", false}, {"LEHRER-PC2", "admin", false}, {"BÜRO", "Müller", false}};
    EXPECT_EQ(ReadLockFileRoster(ldb), expected);
}

TEST(UserRoster, AHeldUserLockMarksItsRecordConnected) {
    test::TempDir dir;
    const std::string ldb = (dir / "x.ldb").string();
    test::WriteFile(ldb, Record("PC1", "Admin") + Record("PC2", "Admin"));
    // Another open of the file holds the user lock of record 1, as a connected
    // client's server process would.
    UniqueFd holder(::open(ldb.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(holder.Valid());
    struct flock lock{};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kLdbUserLockBase + 2;
    lock.l_len = 1;
    ASSERT_EQ(::fcntl(holder.Get(), F_OFD_SETLK, &lock), 0);
    const auto roster = ReadLockFileRoster(ldb);
    ASSERT_EQ(roster.size(), 2u);
    EXPECT_FALSE(roster[0].Connected);
    EXPECT_TRUE(roster[1].Connected);
}

TEST(UserRoster, MissingLockFileMeansNobodyAndDamagedOnesAreReported) {
    test::TempDir dir;
    EXPECT_TRUE(ReadLockFileRoster((dir / "none.ldb").string()).empty());
    const struct {
        const char* name;
        std::string content;
    } damaged[] = {
        {"part of a record", Record("PC1", "Admin") + "PC2"},
        {"more than 255 records", std::string(256 * 64, ' ')},
    };
    for (const auto& c : damaged) {
        SCOPED_TRACE(c.name);
        test::WriteFile(dir / "bad.ldb", c.content);
        EXPECT_THROW(ReadLockFileRoster((dir / "bad.ldb").string()), Error);
    }
    std::filesystem::create_directory(dir / "folder.ldb");
    EXPECT_THROW(ReadLockFileRoster((dir / "folder.ldb").string()), Error);
}

TEST(UserRoster, ConnectionOpensTheDatabaseAndReadsTheLockFileBesideIt) {
    test::TempDir dir;
    const std::string db = (dir / "vorlixintern.mdb").string();
    test::WriteJetWithPassword("jet4-nopw.mdb", db, "pelnor");
    test::WriteFile(dir / "vorlixintern.ldb", Record("PC1", "Admin"));
    EXPECT_EQ(LockFilePath(db), (dir / "vorlixintern.ldb").string());

    JetRosterConnection good(RosterConnectionString(db, "pelnor"), db, "pelnor");
    EXPECT_EQ(good.ConnectionString(),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db + ";Jet OLEDB:Database Password=pelnor");
    EXPECT_EQ(good.UserRoster(), (std::vector<RosterRecord>{{"PC1", "Admin", false}}));
    EXPECT_TRUE(good.Connected());

    JetRosterConnection wrong(RosterConnectionString(db, "x"), db, "x");
    EXPECT_THROW(wrong.UserRoster(), Error);
    JetRosterConnection none(RosterConnectionString("", "x"), "", "x");
    EXPECT_THROW(none.UserRoster(), Error);
}

}  // namespace
}  // namespace vb
