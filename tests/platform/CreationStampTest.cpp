#include "platform/CreationStamp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "support/LocalClock.h"
#include "support/TempDir.h"

namespace vb {
namespace {

using test::WriteFile;


void ExpectClock(const std::optional<std::tm>& actual, const std::tm& expected) {
    ASSERT_TRUE(actual.has_value());
    EXPECT_EQ(actual->tm_year, expected.tm_year);
    EXPECT_EQ(actual->tm_mon, expected.tm_mon);
    EXPECT_EQ(actual->tm_mday, expected.tm_mday);
    EXPECT_EQ(actual->tm_hour, expected.tm_hour);
    EXPECT_EQ(actual->tm_min, expected.tm_min);
    EXPECT_EQ(actual->tm_sec, expected.tm_sec);
}

// The time zone of the process for the life of the object.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) : FEnv("TZ", zone) { ::tzset(); }
    ~ScopedTimeZone() { ::tzset(); }

private:
    test::ScopedEnv FEnv;
};

class CreationStampTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(FArchive, "PK\x05\x06");
        // A modification time far from any stamp used below: 2001-09-09 01:46:40 UTC.
        const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, FArchive.c_str(), times, 0), 0);
    }
    bool XattrsWork() {
        if (::setxattr(FArchive.c_str(), "user.vorlixbackup.probe", "1", 1, 0) == 0) {
            ::removexattr(FArchive.c_str(), "user.vorlixbackup.probe");
            return true;
        }
        return false;
    }
    test::TempDir FDir;
    std::string FArchive = (FDir / "Daten_1.zip").string();
};

TEST_F(CreationStampTest, KeepsTheLocalClockReadingWithoutTimeZoneConversion) {
    if (!XattrsWork()) GTEST_SKIP() << "the temporary folder takes no user extended attributes";
    const std::tm stamp = test::LocalClock(2016, 5, 23, 14, 3, 12);
    {
        ScopedTimeZone berlin("Europe/Berlin");
        ASSERT_TRUE(platform::SetCreationStamp(FArchive, stamp));
    }
    char raw[64] = {};
    ASSERT_EQ(::getxattr(FArchive.c_str(), platform::kCreationStampAttribute, raw, sizeof raw), 19);
    EXPECT_STREQ(raw, "2016-05-23 14:03:12");
    for (const char* zone : {"Europe/Berlin", "UTC", "America/New_York"}) {
        SCOPED_TRACE(zone);
        ScopedTimeZone tz(zone);
        ExpectClock(platform::ReadCreationStamp(FArchive), stamp);
    }
}

TEST_F(CreationStampTest, WithoutAUsableStampTheModificationTimeInLocalTimeStandsIn) {
    ScopedTimeZone berlin("Europe/Berlin");
    const std::tm modified = test::LocalClock(2001, 9, 9, 3, 46, 40);  // 01:46:40 UTC in summer time
    ExpectClock(platform::ReadCreationStamp(FArchive), modified);
    if (!XattrsWork()) GTEST_SKIP() << "the temporary folder takes no user extended attributes";
    for (const char* stored : {"", "garbage", "2016-02-30 10:00:00", "2016-05-23 24:00:00", "2016-05-23T14:03:12",
                               "2016-05-23 14:03:12 "}) {
        SCOPED_TRACE(stored);
        ASSERT_EQ(::setxattr(FArchive.c_str(), platform::kCreationStampAttribute, stored, std::strlen(stored), 0), 0);
        ExpectClock(platform::ReadCreationStamp(FArchive), modified);
    }
    ASSERT_EQ(::setxattr(FArchive.c_str(), platform::kCreationStampAttribute, "2016-02-29 00:00:00", 19, 0), 0);
    ExpectClock(platform::ReadCreationStamp(FArchive), test::LocalClock(2016, 2, 29, 0, 0, 0));
}

TEST_F(CreationStampTest, MissingFileHasNoStampAndTakesNone) {
    const std::string missing = (FDir / "fehlt.zip").string();
    EXPECT_FALSE(platform::SetCreationStamp(missing, test::LocalClock(2016, 5, 23, 14, 3, 12)));
    EXPECT_FALSE(platform::ReadCreationStamp(missing).has_value());
}

}  // namespace
}  // namespace vb
