#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "ArchiveTestSupport.h"
#include "support/RandomBytes.h"
#include "zip/ArchiveMedium.h"
#include "zip/ArchiveReader.h"
#include "zip/ArchiveWriter.h"
#include "platform/UniqueFd.h"
#include "util/Error.h"

namespace vb::test {
namespace {

namespace fs = std::filesystem;

// A removable drive whose disks hold a few KiB each. The disk in the drive is the
// file at the archive's path; the others wait in a store folder as disk<N>.
class FakeMedium : public ArchiveMedium {
public:
    FakeMedium(fs::path store, std::uint64_t capacity) : Store(std::move(store)), Capacity(capacity) {
        fs::create_directories(Store);
    }
    ~FakeMedium() override { CloseFile(); }

    bool IsRemovable(const std::string&) override { return true; }
    bool MediumReady(const std::string&) override { return NotReady-- <= 0; }
    bool Create(const std::string& path) override {
        CloseFile();
        Path = path;
        FFd.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        FWritten = 0;
        return FFd.Valid();
    }
    long Write(const void* data, std::size_t size) override {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, Capacity - FWritten));
        if (::write(FFd.Get(), data, n) != static_cast<ssize_t>(n)) return -1;
        FWritten += n;
        return static_cast<long>(n);
    }
    std::uint64_t FreeSpace() override { return Capacity - FWritten; }
    bool Rewrite(std::uint64_t offset, const void* data, std::size_t size) override {
        return ::pwrite(FFd.Get(), data, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
    }
    bool CloseFile() override {
        FFd.Reset();
        return true;
    }
    bool SetVolumeLabel(const std::string&, const std::string& label) override {
        Labels.push_back(label);
        return true;
    }

    // Takes the disk out of the drive into the store and puts in disk `n` (a blank
    // one when the store has none of that number).
    void Insert(int n) {
        if (fs::exists(Path)) fs::rename(Path, Disk(InDrive));
        InDrive = n;
        if (fs::exists(Disk(n))) fs::copy_file(Disk(n), Path);
    }
    fs::path Disk(int n) const { return Store / ("disk" + std::to_string(n)); }

    fs::path Store;
    std::uint64_t Capacity;
    std::string Path;
    int InDrive = 0;
    int NotReady = 0;
    std::vector<std::string> Labels;

private:
    UniqueFd FFd;
    std::uint64_t FWritten = 0;
};

class SpanTest : public ::testing::Test {
protected:
    void SetUp() override {
        Data = Dir / "Daten";
        for (int i = 0; i < 6; ++i) MakeFile(Data / ("Datei" + std::to_string(i) + ".bin"), RandomBytes(3000 + 500 * i, i));
        MakeFile(Data / "Schüler.txt", std::string(2000, 'x'));
        Drive = Dir / "stick";
        fs::create_directories(Drive);
        Archive = (Drive / "Sicherung.zip").string();
    }

    // Backs the data folder up onto `medium`; disk requests insert blank disks.
    void Backup(const std::shared_ptr<FakeMedium>& medium, std::uint64_t threshold = 0) {
        ArchiveWriter writer;
        writer.Medium = medium;
        writer.SetSpanningThreshold(threshold);
        writer.SetPassword(Password);
        writer.SetEncryption(zip::EncryptionMethod::ZipCrypto);  // the peers include Info-ZIP's unzip
        writer.OnRequestBlankDisk = [&, medium](int disk) {
            Requests.push_back(disk);
            medium->Insert(disk);
            return true;
        };
        writer.Open(Archive);
        writer.AddFiles(Data.string() + "/*");
        writer.Close();
    }

    TempDir Dir;
    fs::path Data;
    fs::path Drive;
    std::string Archive;
    // Copies the disks into a folder as a split set (.z01, .z02, ..., .zip) and joins
    // it with Info-ZIP zip into joined.zip there; returns the folder.
    fs::path JoinSet(const FakeMedium& medium, int disks) {
        const fs::path split = Dir / "split";
        fs::create_directories(split);
        for (int d = 0; d + 1 < disks; ++d) {
            char name[16];
            std::snprintf(name, sizeof name, "set.z%02d", d + 1);
            fs::copy_file(medium.Disk(d), split / name);
        }
        fs::copy_file(medium.Disk(disks - 1), split / "set.zip");
        std::string out;
        EXPECT_EQ(RunCommand("cd " + Quote(split.string()) + " && zip -q -s 0 set.zip --out joined.zip", &out), 0) << out;
        return split;
    }

    std::vector<int> Requests;
    std::string Password;
};

TEST_F(SpanTest, ArchiveThatFitsOneDiskStartsWithPK00AndPassesThePeers) {
    auto medium = std::make_shared<FakeMedium>(Dir / "store", 1 << 20);
    Backup(medium);
    EXPECT_TRUE(Requests.empty());
    EXPECT_EQ(ReadFile(Archive).substr(0, 4), "PK00");
    std::string out;
    // The offsets count the marker, so the peers see it as 4 bytes before the first
    // entry (unzip warns about them and goes on).
    const int rc = RunCommand("unzip -t " + Quote(Archive), &out);
    EXPECT_TRUE(rc == 0 || rc == 1) << out;
    EXPECT_NE(out.find("No errors detected"), std::string::npos) << out;
    EXPECT_EQ(RunCommand((RunCommand("command -v 7z >/dev/null") == 0 ? "7z" : "7zz") + std::string(" t ") + Quote(Archive), &out), 0) << out;
    const std::string peers = std::string(VB_SOURCE_DIR) + "/tests/zip/peers.py";
    RunCommand("python3 " + peers + " test " + Quote(Archive), &out);
    EXPECT_EQ(out, "OK\n");

    ArchiveReader reader;
    reader.Open(Archive);
    fs::create_directories(Dir / "zurück");
    reader.SetBaseDirectory((Dir / "zurück").string());
    for (std::size_t i = 0; i < reader.Count(); ++i) EXPECT_TRUE(reader.ExtractAt(i)) << reader.Entry(i).Name;
    for (const auto& item : fs::directory_iterator(Data))
        EXPECT_EQ(ReadFile(Dir / "zurück" / fs::relative(item.path(), "/")), ReadFile(item.path())) << item.path();
}

TEST_F(SpanTest, LargeArchiveSpansDisksWithWholeHeadersAndJoinsWithZip) {
    auto medium = std::make_shared<FakeMedium>(Dir / "store", 4096);
    medium->NotReady = 1;  // the first blank-disk request finds no medium yet
    Backup(medium);
    const int disks = medium->InDrive + 1;
    ASSERT_GE(disks, 4);
    // Disk 1 was asked for twice (no medium the first time), then one request each.
    std::vector<int> expected{1};
    for (int d = 1; d < disks; ++d) expected.push_back(d);
    EXPECT_EQ(Requests, expected);
    ASSERT_EQ(medium->Labels.size(), static_cast<std::size_t>(disks - 1));
    EXPECT_EQ(medium->Labels[0], "PKBACK# 001");
    medium->Insert(-1);  // the last disk into the store too
    EXPECT_EQ(ReadFile(medium->Disk(0)).substr(0, 4), std::string("PK\x07\x08", 4));
    for (int d = 0; d < disks; ++d) EXPECT_LE(fs::file_size(medium->Disk(d)), 4096u) << d;

    // Info-ZIP zip joins a split set named .z01, .z02, ..., .zip; the joined archive
    // must test fine and hold every file byte for byte.
    const fs::path split = JoinSet(*medium, disks);
    std::string out;
    EXPECT_EQ(RunCommand("unzip -t " + Quote((split / "joined.zip").string()), &out), 0) << out;
    const fs::path back = Dir / "back";
    ASSERT_EQ(RunCommand("unzip -q " + Quote((split / "joined.zip").string()) + " -d " + Quote(back.string()), &out), 0) << out;
    for (const auto& item : fs::directory_iterator(Data))
        EXPECT_EQ(ReadFile(back / fs::relative(item.path(), "/")), ReadFile(item.path())) << item.path();
}

// A protected set over several disks with OEM and ANSI names (both with a Unicode
// Path field): joined, it passes every peer and extracts under the right names (the
// spanned writer writes entries as the ordinary one does: no data descriptors). UTF-8
// names are left out here because zip's joining (-s 0) rewrites them in the local
// headers.
TEST_F(SpanTest, ProtectedSetWithCodePageNamesPassesThePeers) {
    for (const char* name : {"Liste Ö–Z.txt", "Preis€.txt"}) MakeFile(Data / name, RandomBytes(2500, 7) + name);
    Password = "geheim";
    auto medium = std::make_shared<FakeMedium>(Dir / "store", 4096);
    Backup(medium);
    const int disks = medium->InDrive + 1;
    ASSERT_GE(disks, 3);
    medium->Insert(-1);
    const std::string joined = (JoinSet(*medium, disks) / "joined.zip").string();
    std::string out;
    EXPECT_EQ(RunCommand("unzip -t -P geheim " + Quote(joined), &out), 0) << out;
    const std::string sevenZip = RunCommand("command -v 7z >/dev/null") == 0 ? "7z" : "7zz";
    EXPECT_EQ(RunCommand(sevenZip + " t -pgeheim " + Quote(joined), &out), 0) << out;
    EXPECT_EQ(out.find("Warning"), std::string::npos) << out;
    const std::string peers = std::string(VB_SOURCE_DIR) + "/tests/zip/peers.py";
    RunCommand("python3 " + peers + " test " + Quote(joined) + " geheim", &out);
    EXPECT_EQ(out, "OK\n");
    const fs::path back = Dir / "back";
    ASSERT_EQ(RunCommand("LC_ALL=C.UTF-8 unzip -q -P geheim " + Quote(joined) + " -d " + Quote(back.string()), &out), 0) << out;
    for (const auto& item : fs::directory_iterator(Data))
        EXPECT_EQ(ReadFile(back / fs::relative(item.path(), "/")), ReadFile(item.path())) << item.path();
}

TEST_F(SpanTest, ReaderExtractsASpannedSetDiskByDisk) {
    auto medium = std::make_shared<FakeMedium>(Dir / "store", 4096);
    Backup(medium);
    const int disks = medium->InDrive + 1;
    ASSERT_GE(disks, 4);
    std::vector<int> asked;
    ArchiveReader reader;
    reader.Medium = medium;
    reader.OnRequestNthDisk = [&](int disk) {
        asked.push_back(disk);
        medium->Insert(disk - 1);
        return true;
    };
    reader.Open(Archive);  // the last disk is in the drive
    ASSERT_EQ(reader.Count(), 7u);
    fs::create_directories(Dir / "zurück");
    reader.SetBaseDirectory((Dir / "zurück").string());
    std::vector<std::size_t> all;
    for (std::size_t i = 0; i < reader.Count(); ++i) all.push_back(i);
    EXPECT_EQ(reader.ExtractEntries(all), 7u);
    for (const auto& item : fs::directory_iterator(Data))
        EXPECT_EQ(ReadFile(Dir / "zurück" / fs::relative(item.path(), "/")), ReadFile(item.path())) << item.path();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), 1);  // from the first disk on, counted from 1

    // Refusing a disk aborts.
    reader.OnRequestNthDisk = [](int) { return false; };
    medium->Insert(disks - 1);
    reader.Open(Archive);
    std::string reason;
    EXPECT_EQ(ErrorOf([&] { reader.ExtractAt(0, &reason); }), "Process aborted by user");
}

TEST_F(SpanTest, ThresholdLimitsEachDisk) {
    auto medium = std::make_shared<FakeMedium>(Dir / "store", 1 << 20);
    Backup(medium, 8192);
    const int disks = medium->InDrive + 1;
    EXPECT_GE(disks, 3);
    medium->Insert(-1);
    for (int d = 0; d < disks; ++d) EXPECT_LE(fs::file_size(medium->Disk(d)), 8192u) << d;
}

TEST_F(SpanTest, CancelledDiskRequestAborts) {
    auto medium = std::make_shared<FakeMedium>(Dir / "store", 4096);
    ArchiveWriter writer;
    writer.Medium = medium;
    writer.OnRequestBlankDisk = [](int) { return false; };
    writer.Open(Archive);
    writer.AddFiles(Data.string() + "/*");
    EXPECT_EQ(ErrorOf([&] { writer.Save(); }), "Process aborted by user");
}

TEST_F(SpanTest, SpannedSetCannotBeUpdated) {
    auto medium = std::make_shared<FakeMedium>(Dir / "store", 4096);
    ArchiveWriter writer;
    writer.Medium = medium;
    writer.OnRequestBlankDisk = [&](int disk) {
        medium->Insert(disk);
        return true;
    };
    writer.Open(Archive);
    writer.AddFiles(Data.string() + "/Datei5.bin");  // 5,500 bytes: two disks
    writer.Save();
    MakeFile(Data / "Datei5.bin", "geändert", 1710496800 + 86400);
    writer.AddFiles(Data.string() + "/Datei5.bin");
    EXPECT_EQ(ErrorOf([&] { writer.Save(); }), "Cannot update an existing spanned disk set");
}

}  // namespace
}  // namespace vb::test
