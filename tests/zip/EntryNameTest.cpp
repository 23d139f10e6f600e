#include <gtest/gtest.h>
#include <libdeflate.h>

#include <ctime>

#include "support/TempDir.h"

#include "zip/ByteOrder.h"
#include "zip/DosTime.h"
#include "zip/EntryName.h"
#include "zip/FileSelector.h"
#include "zip/ZipRecords.h"

namespace vb::zip {
namespace {

TEST(StoredName, DriveAndParentPartsAreRemoved) {
    struct Case {
        const char* path;
        bool folder;
        const char* stored;
    } cases[] = {
        {"/opt/Vorlix/DB/vorlix2000n.mdb", false, "opt/Vorlix/DB/vorlix2000n.mdb"},
        {"../../Daten/a.txt", false, "Daten/a.txt"},
        {"/../x/y", false, "x/y"},
        {"Daten//Sub/", true, "Daten/Sub/"},
        {"/srv/Daten/Sub", true, "srv/Daten/Sub/"},
        {"./rel/b.txt", false, "rel/b.txt"},
        {"/", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(StoredNameFromPath(c.path, c.folder), c.stored);
    }
}

TEST(NameBytes, FiveStepChoice) {
    struct Case {
        const char* name;
        std::string bytes;
        std::uint8_t host;
        bool utf8;
        bool unicodeField;
    } cases[] = {
        {"Liste.txt", "Liste.txt", kHostMsDos, false, false},
        {"Schüler.mdb", "Sch\x81ler.mdb", kHostMsDos, false, true},        // ü exists in CP850
        {"Preis€.txt", "Preis\x80.txt", kHostNtfs, false, true},            // € only in Windows-1252
        {"Baăie.txt", "Baaie.txt", kHostMsDos, false, true},          // ă: best fit to a
        {"Liste Ö–Z.txt", "Liste \xD6\x96Z.txt", kHostNtfs, false, true},  // these bytes are valid UTF-8 too
        {"日本.txt", "日本.txt", kHostUnix, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto encoded = EncodeName(c.name);
        ASSERT_TRUE(encoded);
        EXPECT_EQ(encoded->Bytes, c.bytes);
        EXPECT_EQ(encoded->Host, c.host);
        EXPECT_EQ(encoded->Utf8Flag, c.utf8);
        EXPECT_EQ(!encoded->UnicodeExtra.empty(), c.unicodeField);
        if (c.unicodeField) {
            const auto field = FindExtraField(encoded->UnicodeExtra, kUnicodePathExtraId);
            ASSERT_TRUE(field);
            EXPECT_EQ((*field)[0], 1);
            const auto* p = reinterpret_cast<const unsigned char*>(field->data());
            EXPECT_EQ(Get32(p + 1), libdeflate_crc32(0, c.bytes.data(), c.bytes.size()));
            EXPECT_EQ(field->substr(5), c.name);
        }
        // What we write reads back as the same name.
        EXPECT_EQ(DecodeName(encoded->Bytes, encoded->Utf8Flag ? kFlagUtf8 : 0, encoded->Host, encoded->UnicodeExtra),
                  c.name);
    }
}

TEST(NameBytes, InvalidUtf8IsRefused) {
    EXPECT_FALSE(EncodeName("Sch\xFCler.txt"));
}

TEST(NameBytes, DecodingRules) {
    std::string goodField;
    {
        std::string data = "\x01";
        Put32(data, libdeflate_crc32(0, "Sch?ler", 7));
        data += "Schüler";
        AppendExtraField(goodField, kUnicodePathExtraId, data);
    }
    std::string staleField;  // CRC of other header bytes: ignored
    {
        std::string data = "\x01";
        Put32(data, 12345);
        data += "Falsch";
        AppendExtraField(staleField, kUnicodePathExtraId, data);
    }
    std::string ansiField;
    {
        std::string data = "\x01";
        Put32(data, libdeflate_crc32(0, "Liste \xD6\x96Z.txt", 13));
        data += "Liste Ö–Z.txt";
        AppendExtraField(ansiField, kUnicodePathExtraId, data);
    }
    std::string xceed;
    AppendExtraField(xceed, kXceedUnicodeExtraId, std::string("NUCX\x02\x00\xFC\x00\xDF\x00", 10));
    struct Case {
        const char* what;
        std::string bytes;
        std::uint16_t flags;
        std::uint8_t host;
        std::string extra;
        std::string name;
    } cases[] = {
        {"oem", "Sch\x81ler", 0, kHostMsDos, "", "Schüler"},
        {"ansi", "Sch\xFCler", 0, kHostNtfs, "", "Schüler"},
        {"unix host ansi", "Sch\xFCler", 0, kHostUnix, "", "Schüler"},
        {"utf8 without flag", "Schüler", 0, kHostUnix, "", "Schüler"},
        {"utf8 flag", "a.txt", kFlagUtf8, kHostMsDos, "", "a.txt"},
        {"unicode path", "Sch?ler", 0, kHostMsDos, goodField, "Schüler"},
        {"stale unicode path", "Sch?ler", 0, kHostMsDos, staleField, "Sch?ler"},
        {"xceed field", "??", 0, kHostMsDos, xceed, "üß"},
        // Windows-1252 bytes that happen to be valid UTF-8 ("Ö–" is D6 96): the field
        // that names exactly these bytes wins over the guess.
        {"ansi bytes that look like utf8", "Liste \xD6\x96Z.txt", 0, kHostNtfs, ansiField, "Liste Ö–Z.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DecodeName(c.bytes, c.flags, c.host, c.extra), c.name);
    }
}

// Names are read into the program's form: a backslash separates folders on the hosts that
// use it and is a character elsewhere; a drive in front goes from every host.
TEST(NameBytes, FoldersAndDrivesOfOtherHosts) {
    constexpr std::uint8_t kMacintosh = 7;
    const struct Case {
        const char* what;
        std::string bytes;
        std::uint16_t flags;
        std::uint8_t host;
        std::string name;
    } cases[] = {
        {"ms-dos folders", "dir\\sub\\x.txt", 0, kHostMsDos, "dir/sub/x.txt"},
        {"ntfs folders", "dir\\sub\\", 0, kHostNtfs, "dir/sub/"},
        {"hpfs folders", "a\\b", 0, kHostHpfs, "a/b"},
        {"vfat folders", "a\\b", 0, kHostVfat, "a/b"},
        {"vfat folders in utf-8", "Sch\xC3\xBCler\\x", kFlagUtf8, kHostVfat, "Schüler/x"},
        {"unix keeps the backslash", "dir\\sub\\x.txt", 0, kHostUnix, "dir\\sub\\x.txt"},
        {"macintosh keeps the backslash", "a\\b", 0, kMacintosh, "a\\b"},
        {"drive with backslash", "C:\\a\\b", 0, kHostMsDos, "a/b"},
        {"drive with slash, small letter", "c:/x", 0, kHostUnix, "x"},
        {"bare drive", "z:x.txt", 0, kHostNtfs, "x.txt"},
        {"drive on unix with backslash", "C:\\a\\b", 0, kHostUnix, "a\\b"},
        {"only the first drive", "C:/D:/x", 0, kHostMsDos, "D:/x"},
        {"no letter, no drive", "1:/x", 0, kHostMsDos, "1:/x"},
        {"colon later stays", "ab:c", 0, kHostMsDos, "ab:c"},
        {"absolute stays absolute", "/etc/passwd", 0, kHostUnix, "/etc/passwd"},
        {"absolute after a drive", "C:\\\\x", 0, kHostMsDos, "/x"},
        {"control bytes stay", "a\x1b\\b", 0, kHostMsDos, "a\x1b/b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DecodeName(c.bytes, c.flags, c.host, ""), c.name);
    }
}

TEST(Mask, MatchesWithoutAsciiCase) {
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        {"Noten.MDB", "*.mdb", true},  {"README", "*.*", true},     {"README", "*", true},
        {"a.txt", "?.TXT", true},      {"ab.txt", "?.txt", false},  {"Über.txt", "ü*", false},
        {"Über.txt", "Ü*", true},      {"Über.txt", "?ber.txt", true}, {"x.mdb.bak", "*.mdb", false},
        {"abcabd", "*ab?", true},      {"", "*", true},              {"a", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " ~ " + c.mask);
        EXPECT_EQ(MatchesMask(c.name, c.mask), c.match);
    }
}

TEST(DosTime, LocalTimeWithTwoSecondSteps) {
    // 2024-03-15 11:00:00 in Berlin.
    test::ScopedEnv zone("TZ", "Europe/Berlin");
    tzset();
    const std::time_t t = 1710496800;
    const DosDateTime dos = ToDosDateTime(t);
    EXPECT_EQ(dos.Date, ((2024 - 1980) << 9) | (3 << 5) | 15);
    EXPECT_EQ(dos.Time, 11 << 11);
    EXPECT_EQ(FromDosDateTime(dos), t);
    EXPECT_EQ(ToDosDateTime(t + 1), ToDosDateTime(t + 2));  // odd seconds round up
    EXPECT_EQ(ToDosDateTime(0).Date, (1 << 5) | 1);        // before 1980: 1980-01-01
}

TEST(DosTime, WallTimesAroundTheChangesOfOffset) {
    test::ScopedEnv zone("TZ", "Europe/Berlin");
    tzset();
    auto dos = [](int year, int month, int day, int hour, int minute) {
        return DosDateTime{static_cast<std::uint16_t>((hour << 11) | (minute << 5)),
                           static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day)};
    };
    const struct {
        DosDateTime Wall;
        std::time_t Expected;
    } cases[] = {
        {dos(2024, 3, 31, 1, 30), 1711845000},   // 00:30 UTC, winter time
        {dos(2024, 3, 31, 2, 30), 1711848600},   // never came: 01:30 UTC (03:30 summer time)
        {dos(2024, 3, 31, 3, 30), 1711848600},   // 01:30 UTC, summer time
        {dos(2024, 10, 27, 1, 30), 1729985400},  // 23:30 UTC the day before
        {dos(2024, 10, 27, 2, 30), 1729989000},  // came twice: the first, 00:30 UTC
        {dos(2024, 10, 27, 3, 30), 1729996200},  // 02:30 UTC, winter time
        {dos(2024, 7, 1, 23, 58), 1719871080},   // 21:58 UTC
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Expected);
        EXPECT_EQ(FromDosDateTime(c.Wall), c.Expected);
    }
}

}  // namespace
}  // namespace vb::zip
