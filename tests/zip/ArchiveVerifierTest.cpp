// The check after packing: an archive read back from the disk passes when it is
// sound, and each kind of damage is named; a failed check keeps the old archive.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "ArchiveTestSupport.h"
#include "backup/VerifiedSave.h"
#include "zip/ArchiveDirectory.h"
#include "zip/ArchiveVerifier.h"
#include "zip/ArchiveWriter.h"
#include "platform/PageCache.h"
#include "platform/UniqueFd.h"
#include "util/Utf8.h"

namespace vb::test {
namespace {

namespace fs = std::filesystem;

std::string Text(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; s.size() < n; ++i) s += "Klasse " + std::to_string(i % 97) + " Noten\r\n";
    s.resize(n);
    return s;
}

class VerifierTest : public ::testing::Test {
protected:
    TempDir Dir;
    fs::path Data = Dir / "Daten";
    std::string Archive = (Dir / "Sicherung.zip").string();
    zip::WrittenDirectory Written;

    void SetUp() override {
        MakeFile(Data / "Liste.txt", Text(5000));
        MakeFile(Data / "Schüler.mdb", Text(300000));
        MakeFile(Data / "leer.txt", "");
        MakeFile(Data / "Sub" / "Noten.mdb", Text(9 << 20));  // Deflate in chunks
    }

    // A copy of the writer's record (which lives as long as the save), its bytes in
    // memory up to `limit` and the rest in a scratch file.
    zip::WrittenDirectory Copied(const zip::WrittenDirectory& written,
                                 std::size_t limit = zip::WrittenDirectory::kMemoryLimit) const {
        zip::WrittenDirectory copy(Dir.Path().string(), limit);
        zip::WrittenDirectory::Reader reader(written);
        for (std::uint64_t i = 0; i < written.Count(); ++i) copy.Add(reader.Next(UINT32_MAX).value(), written.Anew(i));
        return copy;
    }

    // Packs the data folder and keeps the writer's record of what it wrote.
    void Pack(ArchiveWriter& writer, const std::string& password = "") {
        writer.SetPassword(password);
        writer.Open(Archive);
        writer.SetRecurse(true);
        writer.AddFiles(Data.string() + "/*.*");
        writer.OnWritten = [&](int, const zip::WrittenDirectory& written) { Written = Copied(written); };
        writer.Save();
        writer.OnWritten = nullptr;
        writer.Close();
    }

    // The entries of the writer's record, in order.
    std::vector<ArchiveEntry> WrittenEntries() const {
        std::vector<ArchiveEntry> entries;
        zip::WrittenDirectory::Reader reader(Written);
        while (auto e = reader.Next(UINT32_MAX)) entries.push_back(std::move(*e));
        EXPECT_EQ(entries.size(), Written.Count());
        return entries;
    }
    ArchiveEntry Entry(const std::string& suffix) const {
        for (const auto& e : WrittenEntries())
            if (e.Name.size() >= suffix.size() && e.Name.compare(e.Name.size() - suffix.size(), suffix.size(), suffix) == 0)
                return e;
        throw std::runtime_error("no entry " + suffix);
    }
};

// Where the entry's data begins in the archive `fd`: behind its local header's name
// and extra fields.
off_t DataOffset(int fd, const ArchiveEntry& e) {
    unsigned char fixed[30] = {};
    if (::pread(fd, fixed, sizeof fixed, static_cast<off_t>(e.LocalHeaderOffset)) != 30) ADD_FAILURE() << e.Name;
    const int variable = (fixed[26] | (fixed[27] << 8)) + (fixed[28] | (fixed[29] << 8));
    return static_cast<off_t>(e.LocalHeaderOffset) + 30 + variable;
}

TEST_F(VerifierTest, SoundArchivesPassPlainAndEncrypted) {
    for (const std::string password : {"", "Geheimä"}) {
        SCOPED_TRACE(password);
        fs::remove(Archive);
        ArchiveWriter writer;
        Pack(writer, password);
        ASSERT_EQ(Written.Count(), 5u);  // four files and the folder "Sub/"
        for (std::uint64_t i = 0; i < Written.Count(); ++i) EXPECT_TRUE(Written.Anew(i));
        EXPECT_EQ(ErrorOf([&] { ArchiveVerifier(password).Verify(Archive, Written); }), "");
    }
}

TEST_F(VerifierTest, EachDamageIsNamed) {
    ArchiveWriter writer;
    Pack(writer, "Geheim");
    const ArchiveEntry liste = Entry("Liste.txt");
    const std::uint64_t size = fs::file_size(Archive);
    const struct Case {
        const char* name;
        std::function<void(int fd)> damage;
        std::string password;
        std::string expected;
    } cases[] = {
        {"sound", [](int) {}, "Geheim", ""},
        {"a flipped byte in compressed data",
         [&](int fd) { ::pwrite(fd, "\xFF\x00\xFF", 3, DataOffset(fd, liste) + 40); }, "Geheim", "Liste.txt: "},
        {"another password", [](int) {}, "Anders", ": das Passwort der Sicherung entschl"},
        {"central directory cut off", [&](int fd) { ::ftruncate(fd, static_cast<off_t>(size - 30)); }, "Geheim",
         "das Inhaltsverzeichnis des Archivs ist besch"},
        {"local header overwritten",
         [&](int fd) { ::pwrite(fd, "XXXX", 4, static_cast<off_t>(liste.LocalHeaderOffset)); }, "Geheim",
         "Liste.txt: der lokale Kopf fehlt"},
    };
    const std::string good = ReadFile(Archive);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(Archive, good);
        {
            const UniqueFd fd(::open(Archive.c_str(), O_RDWR));
            c.damage(fd.Get());
        }
        const std::string error = ErrorOf([&] { ArchiveVerifier(c.password).Verify(Archive, Written); });
        if (c.expected.empty()) {
            EXPECT_EQ(error, "");
        } else {
            EXPECT_NE(error.find("Die Prüfung der Sicherung " + Archive + " ist fehlgeschlagen: "), std::string::npos) << error;
            EXPECT_NE(error.find(c.expected), std::string::npos) << error;
        }
    }
}

TEST_F(VerifierTest, ADirectoryThatDiffersFromTheWritersRecordFails) {
    ArchiveWriter writer;
    Pack(writer);
    const std::string good = ReadFile(Archive);
    // The record held in memory, and kept in a scratch file but for its last header.
    for (const std::size_t limit : {zip::WrittenDirectory::kMemoryLimit, std::size_t{0}}) {
        SCOPED_TRACE(limit);
        std::vector<ArchiveEntry> entries = WrittenEntries();
        auto record = [&] {
            zip::WrittenDirectory directory(Dir.Path().string(), limit);
            for (const auto& e : entries) directory.Add(e, false);
            EXPECT_EQ(directory.SpilledSize() > 0, limit == 0);
            return directory;
        };
        EXPECT_EQ(ErrorOf([&] { ArchiveVerifier("").Verify(Archive, record()); }), "");
        entries[1].Crc32 ^= 1;
        EXPECT_NE(ErrorOf([&] {
                      ArchiveVerifier("").Verify(Archive, record());
                  }).find(entries[1].Name + ": der Eintrag im Inhaltsverzeichnis weicht ab"),
                  std::string::npos);
        entries[1].Crc32 ^= 1;
        // A byte of the file's directory changed: the CRC-32 in the second header.
        {
            const zip::WrittenDirectory sound = record();
            zip::WrittenDirectory::Reader reader(sound);
            reader.Next(UINT32_MAX);
            const UniqueFd fd(::open(Archive.c_str(), O_RDWR));
            const auto dir = zip::FindArchiveDirectory(fd.Get(), fs::file_size(Archive));
            ::pwrite(fd.Get(), "\xA5", 1, static_cast<off_t>(dir.CentralDirectoryOffset + reader.Position() + 16));
        }
        EXPECT_NE(ErrorOf([&] {
                      ArchiveVerifier("").Verify(Archive, record());
                  }).find(entries[1].Name + ": der Eintrag im Inhaltsverzeichnis weicht ab"),
                  std::string::npos);
        WriteFile(Archive, good);
        entries[2].HeaderName += "x";  // a longer directory
        EXPECT_NE(ErrorOf([&] { ArchiveVerifier("").Verify(Archive, record()); }).find("weicht ab"), std::string::npos);
        entries.pop_back();
        EXPECT_NE(ErrorOf([&] { ArchiveVerifier("").Verify(Archive, record()); }).find("statt 4 Eintr"),
                  std::string::npos);
    }
}

// Damage between writing and the check (a disk that did not keep what it was given)
// stops the save: with the check on the old archive stays; without it the damage
// would become the archive.
TEST_F(VerifierTest, FailedCheckKeepsTheOldArchiveAndIsLogged) {
    for (const bool verify : {true, false}) {
        SCOPED_TRACE(verify);
        const std::time_t changed = 1710496800 + (verify ? 1 : 2) * 86400;
        fs::remove(Archive);
        ArchiveWriter writer;
        Pack(writer);
        const std::string old = ReadFile(Archive);

        MakeFile(Data / "Liste.txt", Text(7000), changed);
        writer.SetLogFile((Dir / "VB-Backup.log").string());
        writer.SetLogging(true);
        writer.Open(Archive);
        writer.SetRecurse(true);
        writer.AddFiles(Data.string() + "/*.*");
        writer.OnWritten = [&](int fd, const zip::WrittenDirectory& written) {
            Written = Copied(written);
            for (const auto& e : WrittenEntries()) {
                if (e.Name.find("Liste.txt") == std::string::npos) continue;
                ::pwrite(fd, "\xFF\xFF\xFF\xFF", 4, DataOffset(fd, e) + 20);
            }
        };
        const std::string error = ErrorOf([&] { SaveAndCloseArchive(writer, verify); });
        writer.OnWritten = nullptr;
        const std::string log = utf8::fromUtf16le(ReadFile(Dir / "VB-Backup.log"));
        if (verify) {
            EXPECT_NE(error.find("Liste.txt: "), std::string::npos) << error;
            EXPECT_TRUE(ReadFile(Archive) == old) << "the old archive is kept";
            EXPECT_FALSE(writer.IsOpen()) << "nothing unchecked is saved later";
            EXPECT_NE(log.find(Archive + " Prüfung fehlgeschlagen: "), std::string::npos) << log;
            EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 3) << "no temporary file left";
        } else {
            EXPECT_EQ(error, "");
            EXPECT_FALSE(ReadFile(Archive) == old);
            std::string out;
            EXPECT_NE(RunCommand("unzip -tq " + Quote(Archive), &out), 0) << out;
        }
    }
}

TEST_F(VerifierTest, CheckedSaveLogsAndLeavesASoundArchive) {
    // The writer's directory in memory, and in a scratch file but for its last header.
    for (const std::size_t limit : {zip::WrittenDirectory::kMemoryLimit, std::size_t{0}}) {
        SCOPED_TRACE(limit);
        fs::remove(Archive);
        fs::remove(Dir / "VB-Backup.log");
        ArchiveWriter writer;
        writer.SetDirectoryMemoryLimit(limit);
        writer.SetTempDirectory(Dir.Path().string());
        writer.SetLogFile((Dir / "VB-Backup.log").string());
        writer.SetLogging(true);
        writer.SetPassword("Geheim");
        writer.Open(Archive);
        writer.SetRecurse(true);
        writer.AddFiles(Data.string() + "/*.*");
        std::uint64_t spilled = 0;
        writer.OnWritten = [&](int, const zip::WrittenDirectory& written) { spilled = written.SpilledSize(); };
        EXPECT_EQ(ErrorOf([&] { SaveAndCloseArchive(writer, true); }), "");
        EXPECT_EQ(spilled > 0, limit == 0);
        const std::string log = utf8::fromUtf16le(ReadFile(Dir / "VB-Backup.log"));
        EXPECT_NE(log.find(Archive + " geprüft "), std::string::npos) << log;
        // Checked with the AES entries the writer makes by default, and by 7-Zip.
        std::string out;
        EXPECT_EQ(RunCommand("$(command -v 7z || command -v 7zz) t -pGeheim " + Quote(Archive), &out), 0) << out;
    }
}

// The pages of a written file leave the cache, so the check reads the disk. File
// systems that live in memory keep them; there is nothing to see.
TEST(PageCache, DroppedPagesAreReadFromTheDiskAgain) {
    TempDir dir;
    const fs::path file = dir / "daten.bin";
    WriteFile(file, std::string(1 << 20, 'x'));
    const UniqueFd fd(::open(file.c_str(), O_RDONLY));
    ASSERT_TRUE(platform::DropCachedPages(fd.Get()));
    void* map = ::mmap(nullptr, 1 << 20, PROT_READ, MAP_SHARED, fd.Get(), 0);
    ASSERT_NE(map, MAP_FAILED);
    std::vector<unsigned char> resident((1 << 20) / ::getpagesize());
    ASSERT_EQ(::mincore(map, 1 << 20, resident.data()), 0);
    ::munmap(map, 1 << 20);
    const auto cached = std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; });
    if (cached == static_cast<long>(resident.size()) && RunCommand("stat -f -c %T " + Quote(dir.Path().string()) + " | grep -q tmpfs") == 0)
        GTEST_SKIP() << "the temporary folder is a tmpfs, whose pages cannot leave memory";
    EXPECT_EQ(cached, 0);
}

}  // namespace
}  // namespace vb::test
