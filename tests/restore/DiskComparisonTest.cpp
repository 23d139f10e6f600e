// The rule that says what restoring an entry would do, and its run against real
// files below a restore root.
#include "restore/DiskComparison.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "zip/DosTime.h"
#include "zip/WinZipAes.h"
#include "support/LocalClock.h"
#include "support/TempDir.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
using test::LocalClock;

std::time_t At(int hour, int minute, int second) {
    std::tm t = LocalClock(2026, 12, 3, hour, minute, second);
    return std::mktime(&t);
}

std::uint32_t Crc(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

ArchiveEntry Entry(const std::string& name, const std::string& content, std::time_t modified) {
    ArchiveEntry entry;
    entry.Name = name;
    entry.UncompressedSize = content.size();
    entry.Crc32 = Crc(content);
    const zip::DosDateTime dos = zip::ToDosDateTime(modified);
    entry.DosDate = dos.Date;
    entry.DosTime = dos.Time;
    return entry;
}

// The entry was backed up at 10:00:08 with "Noten 1"; each row says what the disk
// holds and what the rule answers. The CRC is asked for only where the sizes agree.
TEST(DiskComparisonRule, EachState) {
    struct Row {
        const char* name;
        bool present;
        bool regular;
        std::string content;
        std::time_t modified;
        DiskState expected;
        bool crcAsked;
    };
    const std::time_t backedUp = At(10, 0, 8);
    const Row rows[] = {
        {"missing on disk", false, true, "", 0, DiskState::Neu, false},
        {"same content, same time", true, true, "Noten 1", backedUp, DiskState::Gleich, true},
        {"odd second within the 2-second resolution", true, true, "Noten 1", At(10, 0, 7), DiskState::Gleich, true},
        {"time changed, content did not", true, true, "Noten 1", At(11, 30, 0), DiskState::Gleich, true},
        {"one second later differs in content", true, true, "Noten 2", At(10, 0, 9), DiskState::NeuerAufPlatte, true},
        {"newer on disk, other size", true, true, "Noten 1 und mehr", At(12, 0, 0), DiskState::NeuerAufPlatte, false},
        {"older on disk, other size", true, true, "Note", At(9, 0, 0), DiskState::AelterAufPlatte, false},
        {"older on disk, same size", true, true, "Noten 0", At(9, 0, 0), DiskState::AelterAufPlatte, true},
        {"same time and size, other content", true, true, "Noten X", backedUp, DiskState::AndersAufPlatte, true},
        {"a folder in its place", true, false, "", backedUp, DiskState::NichtLesbar, false},
    };
    const ArchiveEntry entry = Entry("Noten.xls", "Noten 1", backedUp);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool asked = false;
        std::optional<DiskFile> disk;
        if (row.present) disk = DiskFile{row.regular, row.content.size(), row.modified};
        const DiskState state = CompareEntry(entry, disk, [&]() -> std::optional<std::uint32_t> {
            asked = true;
            return Crc(row.content);
        });
        EXPECT_EQ(state, row.expected);
        EXPECT_EQ(asked, row.crcAsked);
    }
}

TEST(DiskComparisonRule, AnUnreadableFileIsNeverTakenAsTheSame) {
    const ArchiveEntry entry = Entry("a", "abc", At(10, 0, 0));
    EXPECT_EQ(CompareEntry(entry, DiskFile{true, 3, At(10, 0, 0)}, [] { return std::optional<std::uint32_t>(); }),
              DiskState::NichtLesbar);
}

// AE-2 entries store no CRC: equal size and time count as the same, anything else
// goes by time.
TEST(DiskComparisonRule, EntriesWithoutCrcGoBySizeAndTime) {
    ArchiveEntry entry = Entry("a", "abc", At(10, 0, 1));  // stored as 10:00:02
    entry.Flags = 1;
    entry.Method = zip::kMethodAes;
    entry.Crc32 = 0;
    entry.CentralExtra = zip::MakeAesField({2, 3, 8});
    ASSERT_FALSE(StoredCrc(entry).has_value());
    const auto never = []() -> std::optional<std::uint32_t> {
        ADD_FAILURE() << "no CRC to compare with";
        return std::nullopt;
    };
    EXPECT_EQ(CompareEntry(entry, DiskFile{true, 3, At(10, 0, 1)}, never), DiskState::Gleich);
    EXPECT_EQ(CompareEntry(entry, DiskFile{true, 3, At(10, 0, 2)}, never), DiskState::Gleich);
    EXPECT_EQ(CompareEntry(entry, DiskFile{true, 3, At(10, 0, 0)}, never), DiskState::AelterAufPlatte);
    EXPECT_EQ(CompareEntry(entry, DiskFile{true, 3, At(10, 5, 0)}, never), DiskState::NeuerAufPlatte);
    entry.CentralExtra = zip::MakeAesField({1, 3, 8});
    EXPECT_TRUE(StoredCrc(entry).has_value());
}

TEST(DiskComparisonRule, Texts) {
    EXPECT_EQ(DiskStateText(DiskState::Neu), "neu");
    EXPECT_EQ(DiskStateText(DiskState::AelterAufPlatte), "älter auf der Platte");
    EXPECT_EQ(DiskStateText(DiskState::NeuerAufPlatte), "neuer auf der Platte");
    EXPECT_EQ(DiskStateText(DiskState::Gleich), "gleich");
    EXPECT_EQ(DiskStateText(DiskState::Ordner, 0), "keine Änderung");
    EXPECT_EQ(DiskStateText(DiskState::Ordner, 1), "1 Änderung");
    EXPECT_EQ(DiskStateText(DiskState::Ordner, 3), "3 Änderungen");
}

class DiskComparisonRun : public ::testing::Test {
protected:
    test::TempDir FDir;
    fs::path FRoot = FDir / "wurzel";
    void SetUp() override { fs::create_directories(FRoot / "schule/noten"); }
    void Put(const std::string& name, const std::string& content, std::time_t modified) {
        test::WriteFile(FRoot / name, content);
        const struct timespec times[2] = {{modified, 0}, {modified, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (FRoot / name).c_str(), times, 0), 0);
    }
};

TEST_F(DiskComparisonRun, FilesBelowTheRootAndFolderCounts) {
    const std::time_t t = At(10, 0, 0);
    Put("schule/noten/gleich.xls", "gleich", t);
    Put("schule/noten/neuer.xls", "neuer Inhalt", At(15, 0, 0));
    Put("schule/alt.txt", "alt", At(8, 0, 0));
    fs::create_directories(FRoot / "schule/ordner.txt");
    ASSERT_EQ(::mkfifo((FRoot / "schule/rohr").c_str(), 0600), 0);  // no file to compare
    const std::vector<ArchiveEntry> entries = {
        Entry("schule/", "", t),
        Entry("schule/noten/", "", t),
        Entry("schule/noten/gleich.xls", "gleich", t),
        Entry("schule/noten/neuer.xls", "alter Inhalt", t),
        Entry("schule/noten/fehlt.xls", "x", t),
        Entry("schule/alt.txt", "neuer", t),
        Entry("schule/ordner.txt", "x", t),
        Entry("schule/rohr", "x", t),
        Entry("anderswo/neu.txt", "x", t),
        Entry("../hinaus.txt", "x", t),
    };
    const auto result = DiskComparison::Run(entries, FRoot.string() + "/");
    const std::vector<DiskState> expected = {
        DiskState::Ordner, DiskState::Ordner,          DiskState::Gleich,      DiskState::NeuerAufPlatte,
        DiskState::Neu,    DiskState::AelterAufPlatte, DiskState::NichtLesbar, DiskState::NichtLesbar,
        DiskState::Neu,    DiskState::NichtLesbar,
    };
    EXPECT_EQ(result.States, expected);
    EXPECT_EQ(result.Changes[0], 5u);  // neuer, fehlt, alt, ordner.txt, rohr
    EXPECT_EQ(result.Changes[1], 2u);
}

TEST_F(DiskComparisonRun, AStopLeavesTheRestUnknown) {
    const std::vector<ArchiveEntry> entries = {Entry("a", "a", At(10, 0, 0)), Entry("b", "b", At(10, 0, 0))};
    int asked = 0;
    const auto result = DiskComparison::Run(entries, FRoot.string(), [&] { return ++asked > 1; });
    EXPECT_EQ(result.States[0], DiskState::Neu);
    EXPECT_EQ(result.States[1], DiskState::Unknown);
}

// A link of another user is never followed to read what it points at, in the folders
// on the way or in the file's own place; root's own links are.
TEST_F(DiskComparisonRun, LinksOfOtherUsersAreNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a link another owner";
    const std::time_t t = At(10, 0, 0);
    fs::create_directories(FDir / "geheim");
    test::WriteFile(FDir / "geheim/datei", "geheim");
    fs::create_symlink(FDir / "geheim/datei", FRoot / "fremd");
    ASSERT_EQ(::lchown((FRoot / "fremd").c_str(), 65534, 65534), 0);
    fs::create_symlink(FDir / "geheim", FRoot / "fremder_ordner");
    ASSERT_EQ(::lchown((FRoot / "fremder_ordner").c_str(), 65534, 65534), 0);
    fs::create_symlink(FDir / "geheim/datei", FRoot / "eigen");
    const struct timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (FDir / "geheim/datei").c_str(), times, 0), 0);
    const std::vector<ArchiveEntry> entries = {Entry("fremd", "geheim", t), Entry("fremder_ordner/datei", "geheim", t),
                                               Entry("eigen", "geheim", t)};
    const auto result = DiskComparison::Run(entries, FRoot.string());
    EXPECT_EQ(result.States,
              (std::vector<DiskState>{DiskState::NichtLesbar, DiskState::NichtLesbar, DiskState::Gleich}));
}

}  // namespace
}  // namespace vb
