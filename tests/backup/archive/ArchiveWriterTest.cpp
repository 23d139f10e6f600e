#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>

#include "ArchiveTestSupport.h"
#include "support/RandomBytes.h"
#include "backup/archive/ArchiveReader.h"
#include "backup/archive/ArchiveWriter.h"
#include "backup/archive/CompressionPipeline.h"
#include "util/Error.h"

namespace vb::test {
namespace {

namespace fs = std::filesystem;
const std::string kPeers = std::string(VB_SOURCE_DIR) + "/tests/backup/archive/peers.py";

std::string TextBytes(std::size_t n) {
    std::string s;
    const char* words[] = {"Schüler ", "Klasse ", "Noten ", "Zeugnis ", "Lehrer\r\n", "Fach "};
    for (std::size_t i = 0; s.size() < n; ++i) s += words[(i * 7 + i / 3) % 6];
    s.resize(n);
    return s;
}

// The 7-Zip command of this system.
std::string SevenZip() {
    return HaveTool("7z") ? "7z" : "7zz";
}

// A data folder with every kind of entry the writer handles.
class WriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Data = Dir / "Daten";
        MakeFile(Data / "Liste.txt", TextBytes(5000));
        MakeFile(Data / "Schüler.mdb", TextBytes(300000));
        MakeFile(Data / "leer.txt", "");
        MakeFile(Data / ".sync_state", "x");
        MakeFile(Data / "Foto.jpg", RandomBytes(200000, 1));             // stored: Deflate does not pay
        MakeFile(Data / "Sub" / "Noten.mdb", TextBytes(9 << 20));         // chunked Deflate
        MakeFile(Data / "Sub" / "Film.bin", RandomBytes(5 << 20, 2));     // chunked, then stored
        fs::create_directories(Data / "Sub" / "Leer");
        Archive = (Dir / "Sicherung.zip").string();
    }

    void Backup(ArchiveWriter& writer) {
        writer.Open(Archive);
        writer.SetRecurse(true);
        writer.AddFiles(Data.string() + "/*.*");
        writer.Save();
        writer.Close();
    }

    void ExpectPeersAccept(const std::string& password = "") {
        std::string out;
        const std::string pw = password.empty() ? "" : " -P " + Quote(password);
        EXPECT_EQ(RunCommand("unzip -t" + pw + " " + Quote(Archive), &out), 0) << out;
        const std::string p7 = " -p" + Quote(password);
        EXPECT_EQ(RunCommand(SevenZip() + " t" + p7 + " " + Quote(Archive), &out), 0) << out;
        EXPECT_EQ(RunCommand("python3 " + kPeers + " test " + Quote(Archive) + (password.empty() ? "" : " " + Quote(password)), &out), 0);
        EXPECT_EQ(out, "OK\n");
    }

    // Changes one file, saves, and expects that file alone to be compressed.
    void ChangeListeAndBackup(ArchiveWriter& writer) {
        MakeFile(Data / "Liste.txt", TextBytes(7000), 1710496800 + 86400);
        std::vector<std::string> progress;
        writer.OnItemProgress = [&](const ArchiveEntry& e) {
            progress.push_back(e.SourcePath);
            return true;
        };
        Backup(writer);
        EXPECT_EQ(progress, std::vector<std::string>{(Data / "Liste.txt").string()});
    }

    // Every file of the data folder equals its copy below `root`.
    void ExpectSameFiles(const fs::path& root) {
        for (const auto& item : fs::recursive_directory_iterator(Data)) {
            const fs::path copy = root / fs::relative(item.path(), "/");
            SCOPED_TRACE(copy.string());
            if (item.is_directory()) {
                EXPECT_TRUE(fs::is_directory(copy));
            } else {
                EXPECT_EQ(ReadFile(copy), ReadFile(item.path()));
            }
        }
    }

    TempDir Dir;
    fs::path Data;
    std::string Archive;
};

TEST_F(WriterTest, NewArchivePassesThePeersAndExtractsExactly) {
    ArchiveWriter writer;
    Backup(writer);
    ExpectPeersAccept();
    const fs::path out = Dir / "py";
    ASSERT_EQ(RunCommand("python3 " + kPeers + " extract " + Quote(Archive) + " " + Quote(out.string())), 0);
    ExpectSameFiles(out);
    std::string names;
    RunCommand("python3 " + kPeers + " names " + Quote(Archive), &names);
    const std::string base = fs::relative(Data, "/").string();
    EXPECT_NE(names.find(base + "/Schüler.mdb\n"), std::string::npos) << names;
    EXPECT_NE(names.find(base + "/Sub/Leer/\n"), std::string::npos) << names;
}

TEST_F(WriterTest, EntryFieldsFollowTheFormat) {
    ArchiveWriter writer;
    Backup(writer);
    const std::string base = fs::relative(Data, "/").string();
    struct Case {
        const char* name;
        const char* raw;  // method flags compressed-size version system needed extra-ids
    } cases[] = {
        {"/leer.txt", "0 0000 0 20 0 10 "},
        {"/Sub/Leer/", "0 0000 0 20 0 20 "},
        {"/Liste.txt", "8 0000"},
        {"/Foto.jpg", "0 0000 200000 20 0 10 "},
        {"/Sub/Film.bin", "0 0000 5242880 20 0 10 "},
        {"/Schüler.mdb", "8 0000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        RunCommand("python3 " + kPeers + " raw " + Quote(Archive) + " " + Quote(base + c.name), &out);
        EXPECT_EQ(out.substr(0, std::strlen(c.raw)), c.raw);
    }
    std::string out;
    RunCommand("python3 " + kPeers + " raw " + Quote(Archive) + " " + Quote(base + "/Schüler.mdb"), &out);
    EXPECT_NE(out.find(" 20 0 20 7075"), std::string::npos) << out;  // OEM name with Unicode Path field

    ArchiveReader reader;
    reader.Open(Archive);
    for (const auto& e : reader.Entries()) {
        SCOPED_TRACE(e.Name);
        if (e.IsFolder()) continue;  // folders carry the time of their last change
        const bool hidden = e.Name.find("/.sync_state") != std::string::npos;
        EXPECT_EQ(e.ExternalAttributes, 0x20u | (hidden ? 0x02u : 0u));
        EXPECT_EQ(e.DosDate, ((2024 - 1980) << 9) | (3 << 5) | 15);
    }
}

TEST_F(WriterTest, PasswordProtectedArchivePassesThePeers) {
    ArchiveWriter writer;
    writer.SetPassword("geheim");
    Backup(writer);
    std::string check;
    EXPECT_EQ(RunCommand(SevenZip() + " t -pgeheim " + Quote(Archive), &check), 0) << check;
    EXPECT_EQ(RunCommand("python3 " + kPeers + " test " + Quote(Archive) + " geheim", &check), 0);
    EXPECT_EQ(check, "OK\n");

    // Info-ZIP unzip 6.0 as Debian 12 ships it skips 8 bytes too many after every
    // data descriptor (as if it were a Zip64 one) once an archive holds an Info-ZIP
    // Unicode Path field, and then reports "overlapped components". Our encrypted
    // entries carry descriptors and Schüler.mdb carries the field. When unzip refuses
    // the whole archive, a stream written by Python's zipfile with the same layout
    // must be refused the same way.
    const int whole = RunCommand("unzip -t -P geheim " + Quote(Archive), &check);
    if (whole != 0) {
        EXPECT_NE(check.find("overlapped components"), std::string::npos) << check;
        const std::string reference = (Dir / "reference.zip").string();
        ASSERT_EQ(RunCommand("python3 " + kPeers + " make-upath " + Quote(reference)), 0);
        std::string referenceOut;
        EXPECT_EQ(RunCommand("unzip -t " + Quote(reference), &referenceOut), whole) << referenceOut;
        EXPECT_NE(referenceOut.find("overlapped components"), std::string::npos) << referenceOut;
        ArchiveReader reader;
        reader.Open(Archive);
        // Tested alone, unzip checks each entry's data (" OK"); only the entry
        // right before the central directory still meets the overlap report.
        for (const auto& e : reader.Entries()) {
            SCOPED_TRACE(e.Name);
            std::string out;
            const int rc = RunCommand("unzip -t -P geheim " + Quote(Archive) + " " + Quote(e.Name), &out);
            EXPECT_NE(out.find(" OK\n"), std::string::npos) << out;
            EXPECT_TRUE(rc == 0 || (rc == whole && out.find("overlapped components") != std::string::npos)) << out;
        }
    }

    std::string out;
    RunCommand("python3 " + kPeers + " raw " + Quote(Archive) + " " + Quote(fs::relative(Data, "/").string() + "/leer.txt"), &out);
    EXPECT_EQ(out.substr(0, 10), "0 0009 12 ") << out;  // the encryption header alone
    EXPECT_NE(RunCommand("unzip -t -P falsch " + Quote(Archive), &out), 0);
    EXPECT_NE(RunCommand(SevenZip() + " t -pfalsch " + Quote(Archive), &out), 0);
}

// Deflate is tried on the first 64 KiB of a file, and of each 4 MiB chunk of a large
// one, before the rest: a start that does not shrink is stored whole (a chunk as
// stored blocks of the Deflate stream); a start that shrinks is deflated as before.
TEST_F(WriterTest, ProbeOfTheStartDecidesWhatIsStored) {
    const std::string kibText = TextBytes(64 << 10);
    const std::string kibRandom = RandomBytes(64 << 10, 3);
    struct Case {
        const char* name;
        std::string content;
        int method;
        bool smaller;  // compressed smaller than the file (encryption header aside)
    } cases[] = {
        {"Zufall klein.bin", RandomBytes(30000, 4), 0, false},                              // no probe: Deflate did not pay
        {"Zufall am Anfang.bin", kibRandom + TextBytes(200000), 0, false},                  // the probe decides
        {"Text am Anfang.bin", kibText + RandomBytes(200000, 5), 8, true},
        {"Gross gemischt.bin", RandomBytes(zip::kChunkSize, 6) + TextBytes(5 << 20), 8, true},  // stored blocks, then Deflate
        {"Gross Text dann Zufall.bin", TextBytes(zip::kChunkSize) + RandomBytes(5 << 20, 7), 8, true},
    };
    fs::remove_all(Data);
    for (const auto& c : cases) MakeFile(Data / c.name, c.content);
    for (const std::string password : {"", "geheim"}) {
        SCOPED_TRACE("password " + password);
        fs::remove(Archive);
        ArchiveWriter writer;
        writer.SetPassword(password);
        Backup(writer);
        const std::size_t header = password.empty() ? 0 : 12;
        std::string out;
        EXPECT_EQ(RunCommand(SevenZip() + " t -p" + Quote(password) + " " + Quote(Archive), &out), 0) << out;
        EXPECT_EQ(RunCommand("python3 " + kPeers + " test " + Quote(Archive) + (password.empty() ? "" : " geheim"), &out), 0);
        EXPECT_EQ(out, "OK\n");
        if (password.empty()) {
            EXPECT_EQ(RunCommand("unzip -t " + Quote(Archive), &out), 0) << out;
            const fs::path copy = Dir / "py";
            fs::remove_all(copy);
            ASSERT_EQ(RunCommand("python3 " + kPeers + " extract " + Quote(Archive) + " " + Quote(copy.string())), 0);
            ExpectSameFiles(copy);
        }
        ArchiveReader reader;
        reader.Open(Archive);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            const auto e = std::find_if(reader.Entries().begin(), reader.Entries().end(),
                                        [&](const ArchiveEntry& x) { return x.Name.ends_with(std::string("/") + c.name); });
            ASSERT_NE(e, reader.Entries().end());
            EXPECT_EQ(e->Method, c.method);
            EXPECT_EQ(e->UncompressedSize, c.content.size());
            EXPECT_EQ(e->CompressedSize - header < c.content.size(), c.smaller);
            if (!c.smaller) {
                EXPECT_EQ(e->CompressedSize - header, c.content.size());
            }
        }
    }
}

TEST_F(WriterTest, UnchangedRunLeavesTheFileUntouched) {
    ArchiveWriter writer;
    Backup(writer);
    struct stat before{};
    ::stat(Archive.c_str(), &before);
    const std::string bytes = ReadFile(Archive);
    Backup(writer);
    struct stat after{};
    ::stat(Archive.c_str(), &after);
    EXPECT_TRUE(ReadFile(Archive) == bytes);
    EXPECT_EQ(after.st_ino, before.st_ino);  // not even rewritten
}

TEST_F(WriterTest, ChangedFileIsReplacedInPlaceAndOthersKeepTheirBytes) {
    ArchiveWriter writer;
    Backup(writer);
    ArchiveReader reader;
    reader.Open(Archive);
    const auto before = reader.Entries();
    reader.Close();

    ChangeListeAndBackup(writer);
    reader.Open(Archive);
    const auto after = reader.Entries();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        SCOPED_TRACE(after[i].Name);
        EXPECT_EQ(after[i].Name, before[i].Name);
        const bool changed = after[i].Name.ends_with("/Liste.txt");
        EXPECT_EQ(after[i].UncompressedSize != before[i].UncompressedSize, changed);
        if (!changed) {
            EXPECT_EQ(after[i].Crc32, before[i].Crc32);
        }
    }
    ExpectPeersAccept();
}

// Archives of other tools carry local headers and descriptors that differ from ours
// (Info-ZIP's time fields, sizes only in a descriptor when streamed), or entries
// that do not adjoin: an update rewrites such headers, copies only each entry's own
// bytes, and must keep every unchanged entry intact.
TEST_F(WriterTest, UpdateOfForeignArchiveKeepsTheUnchangedEntries) {
    const std::string relative = fs::relative(Data, "/").string();
    const struct {
        const char* name;
        std::string command;
    } cases[] = {
        {"Info-ZIP", "cd / && zip -q -r -6 " + Quote(Archive) + " " + Quote(relative)},
        {"Info-ZIP streamed", "cd / && zip -q -r -6 - " + Quote(relative) + " > " + Quote(Archive)},
        // Headers like ours, but the entries neither adjoin nor follow the directory's order.
        {"Python with gaps", "python3 " + kPeers + " make-gaps " + Quote(Archive) + " " + Quote(Data.string())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(Archive);
        MakeFile(Data / "Liste.txt", TextBytes(5000));
        // Folder times on an even second: Python rounds odd seconds down, we round up.
        for (const auto& folder : {Data / "Sub", Data / "Sub" / "Leer"})
            fs::last_write_time(folder, fs::file_time_type::clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1710496800))));
        std::string out;
        ASSERT_EQ(RunCommand(c.command, &out), 0) << out;
        ArchiveReader reader;
        reader.Open(Archive);
        const std::size_t count = reader.Count();
        reader.Close();

        ArchiveWriter writer;
        ChangeListeAndBackup(writer);
        reader.Open(Archive);
        EXPECT_EQ(reader.Count(), count);
        reader.Close();
        ExpectPeersAccept();
        const fs::path target = Dir / ("x-" + std::string(c.name));
        ASSERT_EQ(RunCommand("unzip -q -o " + Quote(Archive) + " -d " + Quote(target.string()), &out), 0) << out;
        ExpectSameFiles(target);
    }
}

TEST_F(WriterTest, CompareRuleUsesDosTimeAndSize) {
    MakeFile(Data / "Liste.txt", TextBytes(5000), 1710496800 + 1);
    ArchiveWriter writer;
    Backup(writer);
    const std::string bytes = ReadFile(Archive);
    // Same size, changed within the same two seconds: kept.
    MakeFile(Data / "Liste.txt", TextBytes(4999) + "!", 1710496800 + 2);
    Backup(writer);
    EXPECT_TRUE(ReadFile(Archive) == bytes);
    // Same time, other size: replaced.
    MakeFile(Data / "Liste.txt", TextBytes(4000), 1710496800);
    Backup(writer);
    EXPECT_FALSE(ReadFile(Archive) == bytes);
    ExpectPeersAccept();
}

TEST_F(WriterTest, DeletedFilesKeepTheirEntriesAndUnreadableNewFilesAreLeftOut) {
    ArchiveWriter writer;
    Backup(writer);
    fs::remove(Data / "Liste.txt");
    MakeFile(Data / "neu.txt", "neu");
    writer.Open(Archive);
    writer.SetRecurse(false);
    writer.AddFiles(Data.string() + "/*.txt");
    fs::remove(Data / "neu.txt");  // gone before the save reads it
    writer.Close();
    ArchiveReader reader;
    reader.Open(Archive);
    bool liste = false, neu = false;
    for (const auto& e : reader.Entries()) {
        liste |= e.Name.ends_with("/Liste.txt");
        neu |= e.Name.ends_with("/neu.txt");
    }
    EXPECT_TRUE(liste);
    EXPECT_FALSE(neu);
}

TEST_F(WriterTest, NamesDifferingInCaseAreTwoEntries) {
    MakeFile(Data / "A.txt", "gross");
    MakeFile(Data / "a.txt", "klein");
    ArchiveWriter writer;
    writer.Open(Archive);
    writer.AddFiles(Data.string() + "/?.txt");
    writer.Close();
    ArchiveReader reader;
    reader.Open(Archive);
    EXPECT_EQ(reader.Count(), 2u);
}

TEST_F(WriterTest, SecondSelectionSavesFirstAndStoresOnce) {
    ArchiveWriter writer;
    writer.Open(Archive);
    writer.AddFiles(Data.string() + "/*.txt");
    writer.AddFiles(Data.string() + "/Liste.*");
    // The second selection saved the archive: it is complete on disk already.
    ArchiveReader reader;
    reader.Open(Archive);
    EXPECT_EQ(reader.Count(), 2u);
    writer.Close();
    reader.Open(Archive);
    EXPECT_EQ(reader.Count(), 2u);
}

TEST_F(WriterTest, OpeningRules) {
    MakeFile(Dir / "text.zip", "no archive at all, just some text that is long enough");
    MakeFile(Dir / "first-disk.zip", std::string("PK\x07\x08", 4) + "rest of a first disk");
    MakeFile(Dir / "empty.zip", "");
    struct Case {
        std::string path;
        std::string error;
    } cases[] = {
        {(Dir / "text.zip").string(), "Unhandled Archive Type"},
        {(Dir / "missing.7z").string(), "Unhandled Archive Type"},
        {(Dir / "first-disk.zip").string(), "Invalid file - not a PKZip file"},
        {(Dir / "empty.zip").string(), ""},
        {(Dir / "new.zip").string(), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ArchiveWriter writer;
        EXPECT_EQ(ErrorOf([&] { writer.Open(c.path); }), c.error);
    }
    // A new archive reaches the disk only when saved, so a run that ends before
    // leaves no empty file; closed without entries it is a valid empty ZIP.
    ArchiveWriter writer;
    const std::string fresh = (Dir / "fresh.zip").string();
    writer.Open(fresh);
    EXPECT_FALSE(fs::exists(fresh));
    writer.Close();
    EXPECT_EQ(fs::file_size(fresh), 22u);
    ArchiveReader reader;
    EXPECT_EQ(ErrorOf([&] { reader.Open(fresh); }), "");
    EXPECT_EQ(reader.Count(), 0u);
}

TEST_F(WriterTest, AbortedSaveLeavesTheOldArchiveAndNoTemporaryFile) {
    ArchiveWriter writer;
    Backup(writer);
    const std::string bytes = ReadFile(Archive);
    MakeFile(Data / "Liste.txt", "geändert", 1710496800 + 86400);
    writer.OnItemProgress = [](const ArchiveEntry&) { return false; };
    writer.Open(Archive);
    writer.SetRecurse(true);
    writer.AddFiles(Data.string() + "/*.*");
    EXPECT_EQ(ErrorOf([&] { writer.Save(); }), "Process aborted by user");
    EXPECT_TRUE(ReadFile(Archive) == bytes);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator(Dir.Path())) ++files;
    EXPECT_EQ(files, 2u);  // Daten and the archive
}

// A new archive over an existing file (the next generation) takes its place only
// when complete, after the caller's step; a failed save or a discarded archive
// leaves the old file as it was, and the writer starts the next archive clean.
TEST_F(WriterTest, NewArchiveReplacesNothingUntilComplete) {
    ArchiveWriter writer;
    Backup(writer);
    const std::string old = ReadFile(Archive);
    const std::string moved = (Dir / "Sicherung_2.zip").string();
    struct Case {
        const char* name;
        std::function<void()> beforePlacing;
        std::string error;
    } cases[] = {
        {"step fails", [] { throw Error("Rotation misslungen"); }, "Rotation misslungen"},
        {"old file still in place", [] {}, "kann nicht an seinen Platz gebracht werden: File exists"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writer.OpenNew(Archive, c.beforePlacing);
        writer.AddFiles((Data / "Liste.txt").string());
        const std::string error = ErrorOf([&] { writer.Save(); });
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_TRUE(ReadFile(Archive) == old);
        writer.Discard();
        EXPECT_FALSE(writer.IsOpen());
    }
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator(Dir.Path())) ++files;
    EXPECT_EQ(files, 2u) << "no temporary file may stay";

    int steps = 0;
    writer.OpenNew(Archive, [&] {
        ++steps;
        EXPECT_TRUE(ReadFile(Archive) == old) << "the old archive is still whole while the new one is complete";
        fs::rename(Archive, moved);
    });
    writer.AddFiles((Data / "Liste.txt").string());
    writer.Close();
    EXPECT_EQ(steps, 1);
    EXPECT_TRUE(ReadFile(moved) == old);
    ArchiveReader reader;
    reader.Open(Archive);
    EXPECT_EQ(reader.Count(), 1u);
    ExpectPeersAccept();
}

TEST_F(WriterTest, NamesThatAreNoUtf8AreReportedAndSkipped) {
    MakeFile(Data / "Sch\xFCler.txt", "latin-1 name");
    std::vector<std::string> skipped;
    ArchiveWriter writer;
    writer.OnFileSkipped = [&](const std::string& path) { skipped.push_back(path); };
    writer.Open(Archive);
    writer.AddFiles(Data.string() + "/*.txt");
    writer.Close();
    EXPECT_EQ(skipped, std::vector<std::string>{(Data / "Sch\xFCler.txt").string()});
    ExpectPeersAccept();
}

// Long runs of folders and empty files ahead of a file: one folder per class, and
// many empty files before a small one.
TEST_F(WriterTest, ManyEntriesWithoutDataAheadOfAFile) {
    const struct {
        const char* name;
        std::function<void(const fs::path&)> make;
        std::size_t entries;
    } cases[] = {
        {"64 folders with one file each",
         [](const fs::path& root) {
             for (int i = 0; i < 64; ++i) MakeFile(root / ("Klasse" + std::to_string(i)) / "Noten.txt", TextBytes(3000 + i));
         },
         128},
        {"200 empty files and one file",
         [](const fs::path& root) {
             for (int i = 0; i < 200; ++i) MakeFile(root / ("leer" + std::to_string(i)), "");
             MakeFile(root / "zzz.txt", TextBytes(5000));
         },
         201},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path root = Dir / c.name;
        c.make(root);
        fs::remove(Archive);
        ArchiveWriter writer;
        writer.Open(Archive);
        writer.SetRecurse(true);
        writer.AddFiles(root.string() + "/*");
        writer.Close();
        ExpectPeersAccept();
        ArchiveReader reader;
        reader.Open(Archive);
        EXPECT_EQ(reader.Count(), c.entries);
    }
}

TEST_F(WriterTest, ManyEntriesUseZip64) {
    const fs::path many = Dir / "many";
    fs::create_directories(many);
    for (int i = 0; i < 65540; ++i) WriteFile(many / std::to_string(i), "");
    ArchiveWriter writer;
    writer.Open(Archive);
    writer.AddFiles(many.string() + "/*");
    writer.Close();
    ExpectPeersAccept();
    ArchiveReader reader;
    reader.Open(Archive);
    EXPECT_EQ(reader.Count(), 65540u);
}

TEST_F(WriterTest, EntryOver4GiBUsesZip64) {
    if (!std::getenv("VB_ARCHIVE_LARGE")) GTEST_SKIP() << "writes and tests a 4.2 GiB sparse file; set VB_ARCHIVE_LARGE=1";
    const fs::path big = Dir / "big" / "sparse.bin";
    fs::create_directories(big.parent_path());
    MakeFile(big, "Anfang");
    fs::resize_file(big, (std::uint64_t{1} << 32) + 12345);
    ArchiveWriter writer;
    writer.Open(Archive);
    writer.AddFiles(big.string());
    writer.Close();
    ExpectPeersAccept();
    ArchiveReader reader;
    reader.Open(Archive);
    ASSERT_EQ(reader.Count(), 1u);
    EXPECT_EQ(reader.Entry(0).UncompressedSize, (std::uint64_t{1} << 32) + 12345);
    EXPECT_EQ(reader.Entry(0).VersionNeeded, 45);
}

}  // namespace
}  // namespace vb::test
