#include <grp.h>
#include <gtest/gtest.h>

#include <pwd.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <map>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>

#include "ArchiveTestSupport.h"
#include "support/OpenWatch.h"
#include "zip/ArchiveReader.h"
#include "zip/ArchiveWriter.h"
#include "zip/CompressionPipeline.h"
#include "zip/EntryName.h"
#include "zip/WinZipAes.h"
#include "support/RandomBytes.h"
#include "platform/UniqueFd.h"
#include "util/Error.h"
#include "util/Utf8.h"

namespace vb::test {
namespace {

namespace fs = std::filesystem;
const std::string kPeers = std::string(VB_SOURCE_DIR) + "/tests/zip/peers.py";

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

    // Changes a file of the archive that Backup made, selects everything again and
    // aborts the save at its first entry.
    void AbortSaveOfAChange(ArchiveWriter& writer) {
        MakeFile(Data / "Liste.txt", "geändert", 1710496800 + 86400);
        writer.OnItemProgress = [](const ArchiveEntry&) { return false; };
        writer.Open(Archive);
        writer.SetRecurse(true);
        writer.AddFiles(Data.string() + "/*.*");
        EXPECT_EQ(ErrorOf([&] { writer.Save(); }), "Process aborted by user");
    }

    void ExpectPeersAccept(const std::string& password = "") {
        std::string out;
        const std::string pw = password.empty() ? "" : " -P " + Quote(password);
        EXPECT_EQ(RunCommand("unzip -t" + pw + " " + Quote(Archive), &out), 0) << out;
        const std::string p7 = " -p" + Quote(password);
        EXPECT_EQ(RunCommand(SevenZip() + " t" + p7 + " " + Quote(Archive), &out), 0) << out;
        EXPECT_EQ(out.find("Warning"), std::string::npos) << out;
        EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
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
        // DOS attributes in the low half, the file's Unix mode in the upper one, also
        // for these names stored in CP850 (host 0).
        EXPECT_EQ(e.ExternalAttributes & 0xFFFF, 0x20u | (hidden ? 0x02u : 0u));
        struct stat st {};
        ASSERT_EQ(::stat(("/" + e.Name).c_str(), &st), 0);
        EXPECT_EQ(e.ExternalAttributes >> 16, static_cast<std::uint32_t>(st.st_mode))
            << std::hex << e.ExternalAttributes;
        EXPECT_EQ(e.DosDate, ((2024 - 1980) << 9) | (3 << 5) | 15);
    }
}

// Our archives, plain and protected, with names in each of the three encodings (OEM
// with a Unicode Path field, ANSI with one, UTF-8), pass every peer without a
// warning and extract under their right names with unzip in a UTF-8 locale.
TEST_F(WriterTest, ArchivesPassEveryPeerAndExtractUnderTheirNames) {
    const std::vector<std::string> names = {"Schüler.mdb", "Liste Ö–Z.txt", "Łódź.txt", "日本.txt"};
    for (const auto& name : names) MakeFile(Data / "Namen" / name, TextBytes(3000) + name);
    const std::string base = fs::relative(Data, "/").string();
    for (const std::string password : {"", "geheim"}) {
        SCOPED_TRACE(password.empty() ? "plain" : "protected");
        fs::remove(Archive);
        ArchiveWriter writer;
        writer.SetPassword(password);
        // The peers include Info-ZIP's unzip, which knows only the traditional cipher.
        writer.SetEncryption(zip::EncryptionMethod::ZipCrypto);
        Backup(writer);
        ExpectPeersAccept(password);

        struct Case {
            const char* name;
            const char* raw;  // method flags ... version system
        } cases[] = {
            {"/Namen/Schüler.mdb", " 20 0 "},     // CP850, Unicode Path field
            {"/Namen/Liste Ö–Z.txt", " 20 11 "},  // Windows-1252, Unicode Path field
            {"/Namen/Łódź.txt", " 20 3 "},        // UTF-8 with the Unix mode
            {"/Namen/日本.txt", " 20 3 "},
            {"/leer.txt", " 20 0 "},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            std::string out;
            RunCommand("python3 " + kPeers + " raw " + Quote(Archive) + " " + Quote(base + c.name), &out);
            EXPECT_NE(out.find(c.raw), std::string::npos) << out;
            // Encrypted entries carry no data descriptor: flag bit 3 stays clear.
            const bool utf8 = std::string(c.raw) == " 20 3 ";
            const std::string flags = std::string(utf8 ? "08" : "00") + (password.empty() ? "00" : "01");
            EXPECT_EQ(out.substr(out.find(' ') + 1, 4), flags) << out;
        }

        const fs::path target = Dir / ("unzip" + password);
        std::string out;
        ASSERT_EQ(RunCommand("LC_ALL=C.UTF-8 unzip -q -o" + (password.empty() ? "" : " -P " + Quote(password)) + " " +
                                 Quote(Archive) + " -d " + Quote(target.string()),
                             &out),
                  0)
            << out;
        ExpectSameFiles(target);
    }
    ArchiveReader reader;
    reader.Open(Archive);
    for (const auto& e : reader.Entries()) {
        if (!e.Name.ends_with("Łódź.txt")) continue;
        struct stat st{};
        ASSERT_EQ(::stat((Data / "Namen" / "Łódź.txt").c_str(), &st), 0);
        EXPECT_EQ(e.ExternalAttributes >> 16, static_cast<std::uint32_t>(st.st_mode)) << std::hex << e.ExternalAttributes;
        EXPECT_EQ(e.ExternalAttributes & 0xFF, 0x20u);
    }
}

// Owner, group and mode travel with every entry, whichever way its name is stored.
// Our reader gives them back; unzip -X, run as root, gives every file its owner and
// group (from the 0x7875 field) and takes the mode where it trusts the upper half:
// always on host 3, on host 0 when the owner bits agree with the DOS attributes (so
// not for an executable file), never on host 11. The peers accept both fields.
TEST_F(WriterTest, OwnerGroupAndModeTravelWithTheEntries) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of other owners can only be made as root";
    struct User {
        uid_t Uid = 0;
        gid_t Gid = 0;
        std::string Name, Group;
    };
    auto user = [](const char* name) {
        const passwd* p = ::getpwnam(name);  // static storage: copied at once
        const group* g = p ? ::getgrgid(p->pw_gid) : nullptr;
        return p && g ? std::optional<User>(User{p->pw_uid, p->pw_gid, p->pw_name, g->gr_name}) : std::nullopt;
    };
    const auto nobody = user("nobody"), daemon = user("daemon");
    ASSERT_TRUE(nobody && daemon);
    ASSERT_NE(nobody->Uid, daemon->Uid);
    ASSERT_NE(nobody->Gid, daemon->Gid);
    const struct File {
        const char* name;
        mode_t mode;
        const std::optional<User>& owner;
        mode_t unzipMode;  // what unzip -X makes of it with umask 022
        const char* raw;   // version made by and host
    } files[] = {
        {"privat.txt", 0600, nobody, 0600, " 20 0 "},     {"gruppe.txt", 0640, daemon, 0640, " 20 0 "},
        {"skript.sh", 0755, daemon, 0644, " 20 0 "},      {"Łódź.sh", 0755, nobody, 0755, " 20 3 "},
        {"Liste Ö–Z.txt", 0640, nobody, 0644, " 20 11 "},
    };
    const fs::path rights = Dir / "Rechte";
    for (const auto& f : files) {
        MakeFile(rights / f.name, std::string("Inhalt von ") + f.name);
        ASSERT_EQ(::chown((rights / f.name).c_str(), f.owner->Uid, f.owner->Gid), 0);
        ASSERT_EQ(::chmod((rights / f.name).c_str(), f.mode), 0);
    }
    auto save = [&] {
        ArchiveWriter writer;
        writer.Open(Archive);
        writer.AddFiles(rights.string() + "/*.*");
        writer.Save();
        writer.Close();
    };
    save();
    ExpectPeersAccept();
    std::string out;
    EXPECT_EQ(RunCommand("bsdtar -tf " + Quote(Archive), &out), 0) << out;

    const std::string base = fs::relative(rights, "/").string();
    ArchiveReader reader;
    reader.Open(Archive);
    ASSERT_EQ(reader.Count(), std::size(files));
    auto entry = [&](const std::string& name) {
        const auto e = std::find_if(reader.Entries().begin(), reader.Entries().end(),
                                    [&](const ArchiveEntry& entry) { return entry.Name == base + "/" + name; });
        return e == reader.Entries().end() ? nullptr : &*e;
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const ArchiveEntry* e = entry(f.name);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->UnixMode, std::optional<std::uint32_t>(S_IFREG | f.mode));
        EXPECT_EQ(e->Uid, std::optional<std::uint32_t>(f.owner->Uid));
        EXPECT_EQ(e->Gid, std::optional<std::uint32_t>(f.owner->Gid));
        EXPECT_EQ(e->OwnerName, f.owner->Name);
        EXPECT_EQ(e->GroupName, f.owner->Group);
        RunCommand("python3 " + kPeers + " raw " + Quote(Archive) + " " + Quote(base + "/" + f.name), &out);
        EXPECT_NE(out.find(f.raw), std::string::npos) << out;
        EXPECT_TRUE(out.ends_with("7875,4256\n")) << out;  // after a Unicode Path field, if any
    }

    const fs::path target = Dir / "unzip";
    ASSERT_EQ(
        RunCommand("umask 022 && LC_ALL=C.UTF-8 unzip -q -X " + Quote(Archive) + " -d " + Quote(target.string()), &out),
        0)
        << out;
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        struct stat st {};
        ASSERT_EQ(::stat((target / base / f.name).c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, f.owner->Uid);
        EXPECT_EQ(st.st_gid, f.owner->Gid);
        EXPECT_EQ(st.st_mode & 07777, f.unzipMode) << std::oct << st.st_mode;
    }

    // An update copies an unchanged entry as it is, with the owner it was saved with
    // (a new owner alone changes neither time nor size); a changed file's entry is
    // written anew with its owner now.
    ASSERT_EQ(::chown((rights / "privat.txt").c_str(), daemon->Uid, daemon->Gid), 0);
    MakeFile(rights / "gruppe.txt", "neuer Inhalt", 1710496800 + 86400);
    ASSERT_EQ(::chown((rights / "gruppe.txt").c_str(), nobody->Uid, nobody->Gid), 0);
    save();
    reader.Open(Archive);
    ASSERT_TRUE(entry("privat.txt") && entry("gruppe.txt"));
    EXPECT_EQ(entry("privat.txt")->Uid, std::optional<std::uint32_t>(nobody->Uid));
    EXPECT_EQ(entry("privat.txt")->OwnerName, nobody->Name);
    EXPECT_EQ(entry("gruppe.txt")->Uid, std::optional<std::uint32_t>(nobody->Uid));
    EXPECT_EQ(entry("gruppe.txt")->OwnerName, nobody->Name);
    EXPECT_EQ(entry("gruppe.txt")->UnixMode, std::optional<std::uint32_t>(S_IFREG | 0640));
}

TEST_F(WriterTest, WrongPasswordIsRefusedByThePeers) {
    struct Case {
        const char* Name;
        zip::EncryptionMethod Method;
        std::string EmptyFile;  // method, flags and size of the empty file's entry
        std::string Peers;      // commands that must refuse the wrong password
    };
    const Case cases[] = {
        {"ZipCrypto", zip::EncryptionMethod::ZipCrypto, "0 0001 12 ", "unzip -t -P falsch"},
        {"AES-256", zip::EncryptionMethod::Aes256, "99 0001 28 ", "bsdtar -xOf - --passphrase falsch <"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove(Archive);
        ArchiveWriter writer;
        writer.SetPassword("geheim");
        writer.SetEncryption(c.Method);
        Backup(writer);
        std::string out;
        RunCommand("python3 " + kPeers + " raw " + Quote(Archive) + " " +
                       Quote(fs::relative(Data, "/").string() + "/leer.txt"),
                   &out);
        EXPECT_EQ(out.substr(0, c.EmptyFile.size()), c.EmptyFile) << out;  // encryption without data
        EXPECT_NE(RunCommand(c.Peers + " " + Quote(Archive) + " >/dev/null", &out), 0) << out;
        EXPECT_NE(RunCommand(SevenZip() + " t -pfalsch " + Quote(Archive), &out), 0);
    }
}

// New archives and updates with AES-256: 7-Zip and bsdtar (and this program's reader)
// read them byte for byte, with a plain and an umlaut password (taken as UTF-8), stored
// and deflated, whole and chunked; an update keeps each unchanged entry's encryption
// and encrypts what is new with the method now set.
TEST_F(WriterTest, AesArchivesAreReadByThePeersByteForByte) {
    // The traditional cipher takes the Windows-1252 bytes of a password, which 7-Zip
    // and bsdtar do not: an archive of both methods is read by them with an ASCII one.
    const struct {
        std::string password;
        zip::EncryptionMethod first;  // of the archive before the update
        std::uint16_t unchanged;      // the method an unchanged entry keeps
    } cases[] = {{"geheim", zip::EncryptionMethod::ZipCrypto, 8},
                 {"Zeugnis-Grüße", zip::EncryptionMethod::Aes256, zip::kMethodAes}};
    std::time_t changed = 1710496800;
    for (const auto& [password, first, unchanged] : cases) {
        SCOPED_TRACE(password);
        fs::remove(Archive);
        {
            ArchiveWriter writer;
            writer.SetPassword(password);
            writer.SetEncryption(first);
            Backup(writer);
        }
        // The update: one file changed, one new, with AES now.
        MakeFile(Data / "Liste.txt", TextBytes(7000), changed += 86400);
        MakeFile(Data / "Sub" / "neu.txt", TextBytes(100));
        {
            ArchiveWriter writer;
            writer.SetPassword(password);
            Backup(writer);
        }
        ArchiveReader listing;
        listing.Open(Archive);
        std::map<std::string, std::uint16_t> methods;
        for (const ArchiveEntry& e : listing.Entries()) {
            methods[e.Name.substr(e.Name.rfind('/', e.Name.size() - 2) + 1)] = e.Method;
            if (e.Method != zip::kMethodAes) continue;
            const auto field = zip::FindAesField(e.CentralExtra);
            ASSERT_TRUE(field) << e.Name;
            EXPECT_EQ(field->Version, 2);
            EXPECT_EQ(field->Strength, 3);
            EXPECT_EQ(e.Crc32, 0u) << e.Name;  // AE-2 leaves the CRC out
        }
        EXPECT_EQ(methods["Liste.txt"], zip::kMethodAes);
        EXPECT_EQ(methods["neu.txt"], zip::kMethodAes);
        EXPECT_EQ(methods["Noten.mdb"], unchanged);
        EXPECT_EQ(methods["Leer/"], 0);

        std::string out;
        EXPECT_EQ(RunCommand(SevenZip() + " t -p" + Quote(password) + " " + Quote(Archive), &out), 0) << out;
        const fs::path bsd = Dir / "bsdtar";
        fs::remove_all(bsd);
        fs::create_directories(bsd);
        EXPECT_EQ(RunCommand("bsdtar -xf " + Quote(Archive) + " -C " + Quote(bsd.string()) + " --passphrase " +
                                 Quote(password),
                             &out),
                  0)
            << out;
        ExpectSameFiles(bsd);
        const fs::path ours = Dir / "ours";
        fs::remove_all(ours);
        fs::create_directories(ours);
        ArchiveReader reader;
        reader.SetPassword(password);
        reader.Open(Archive);
        reader.SetBaseDirectory(ours.string());
        std::vector<std::size_t> all(reader.Count());
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
        EXPECT_EQ(reader.ExtractEntries(all), all.size());
        ExpectSameFiles(ours);
        fs::remove(Data / "Sub" / "neu.txt");
    }
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
    const struct {
        std::string password;
        zip::EncryptionMethod method;
        std::size_t overhead;  // what encryption adds to the data
    } settings[] = {{"", zip::EncryptionMethod::Aes256, 0},
                    {"geheim", zip::EncryptionMethod::ZipCrypto, 12},
                    {"geheim", zip::EncryptionMethod::Aes256, 28}};
    for (const auto& [password, method, header] : settings) {
        SCOPED_TRACE("password " + password + ", overhead " + std::to_string(header));
        fs::remove(Archive);
        ArchiveWriter writer;
        writer.SetPassword(password);
        writer.SetEncryption(method);
        Backup(writer);
        std::string out;
        EXPECT_EQ(RunCommand(SevenZip() + " t -p" + Quote(password) + " " + Quote(Archive), &out), 0) << out;
        if (header != 28) {  // Python's zipfile knows no AES
            EXPECT_EQ(
                RunCommand("python3 " + kPeers + " test " + Quote(Archive) + (password.empty() ? "" : " geheim"), &out),
                0);
            EXPECT_EQ(out, "OK\n");
        }
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
            const auto aes = zip::FindAesField(e->CentralExtra);
            EXPECT_EQ(aes ? aes->Method : e->Method, c.method);
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
        // Zip64 fields of zeros in the local headers, 24-byte descriptors, comments.
        {"Python streamed Zip64", "python3 " + kPeers + " make-stream64 " + Quote(Archive) + " " + Quote(Data.string())},
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
        std::string comments;
        RunCommand("python3 " + kPeers + " comments " + Quote(Archive), &comments);

        ArchiveWriter writer;
        ChangeListeAndBackup(writer);
        reader.Open(Archive);
        EXPECT_EQ(reader.Count(), count);
        reader.Close();
        ExpectPeersAccept();
        // The archive comment and the entry comments stay, the changed entry's too.
        std::string commentsAfter;
        RunCommand("python3 " + kPeers + " comments " + Quote(Archive), &commentsAfter);
        EXPECT_EQ(commentsAfter, comments);
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
    std::vector<std::pair<std::string, bool>> leftOut;  // path, kept from before
    writer.OnFileLeftOut = [&](const std::string& path, bool kept) { leftOut.emplace_back(path, kept); };
    writer.Open(Archive);
    writer.SetRecurse(false);
    writer.AddFiles(Data.string() + "/*.txt");
    fs::remove(Data / "neu.txt");  // gone before the save reads it
    writer.Close();
    EXPECT_EQ(leftOut, (std::vector<std::pair<std::string, bool>>{{(Data / "neu.txt").string(), false}}));
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

// Two selections that both take a file in (two rows, overlapping masks) store it
// once, and nothing is written before the save at the end: a run killed in between
// never leaves a complete-looking archive that lacks the rest of the selection.
TEST_F(WriterTest, FileSelectedTwiceIsStoredOnceAndSavedOnlyAtTheEnd) {
    const struct {
        const char* name;
        bool update;  // an existing archive whose Liste.txt changed
    } cases[] = {{"new archive", false}, {"update", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(Archive);
        std::string before;
        if (c.update) {
            ArchiveWriter first;
            first.Open(Archive);
            first.AddFiles(Data.string() + "/*.txt");
            first.Close();
            before = ReadFile(Archive);
            MakeFile(Data / "Liste.txt", TextBytes(6000), 1710496800 + 86400);
        }
        ArchiveWriter writer;
        int saves = 0;
        writer.OnWritten = [&](int, const zip::WrittenDirectory&) { ++saves; };
        writer.Open(Archive);
        writer.AddFiles(Data.string() + "/*.txt");
        writer.AddFiles(Data.string() + "/Liste.*");
        writer.AddFiles(Data.string() + "/*.txt");
        EXPECT_EQ(saves, 0);
        if (c.update)
            EXPECT_TRUE(ReadFile(Archive) == before) << "the archive changed before the end";
        else
            EXPECT_FALSE(fs::exists(Archive)) << "the archive was written before the end";
        writer.Close();
        EXPECT_EQ(saves, 1);
        ArchiveReader reader;
        reader.Open(Archive);
        std::vector<std::string> names;
        for (const auto& e : reader.Entries()) names.push_back(fs::path(e.Name).filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"Liste.txt", "leer.txt"}));
        ExpectPeersAccept();
    }
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
    AbortSaveOfAChange(writer);
    EXPECT_TRUE(ReadFile(Archive) == bytes);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator(Dir.Path())) ++files;
    EXPECT_EQ(files, 2u);  // Daten and the archive
}

// After a failed save the writer still knows its entries by name: the files selected
// again and saved are stored once each.
TEST_F(WriterTest, SaveAfterAFailedOneStoresEachFileOnce) {
    ArchiveWriter writer;
    Backup(writer);
    AbortSaveOfAChange(writer);
    writer.OnItemProgress = nullptr;
    writer.AddFiles(Data.string() + "/*.*");
    writer.Close();
    ArchiveReader reader;
    reader.Open(Archive);
    std::map<std::string, int> count;
    for (const auto& e : reader.Entries()) ++count[e.Name];
    ASSERT_FALSE(count.empty());
    for (const auto& [name, n] : count) EXPECT_EQ(n, 1) << name;
    ExpectPeersAccept();
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
        {"old file still in place", [] {}, "kann nicht an seinen Platz gebracht werden: die Datei existiert bereits"},
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

// A file that looks changed is opened to be sure, and only while its path still leads
// to the file the search found: a link that its user points elsewhere meanwhile keeps
// the old version, and the file it points to now is never opened.
TEST_F(WriterTest, AChangedFileIsOpenedOnlyWhereTheSearchFoundIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "a link of another user can only be made by root";
    MakeFile(Dir / "geheim.txt", "geheim");
    const fs::path link = Data / "verweis.txt";
    const auto linkTo = [&](const fs::path& target) {
        fs::remove(link);
        fs::create_symlink(target, link);
        return ::lchown(link.c_str(), 65534, 65534) == 0;
    };
    ASSERT_TRUE(linkTo(Data / "Liste.txt"));
    ArchiveWriter writer;
    writer.Open(Archive);
    writer.AddFiles(Data.string() + "/verweis.txt");
    writer.Close();

    MakeFile(Data / "Liste.txt", "ge\u00E4ndert", 1710496800 + 86400);
    const OpenWatch watch((Dir / "geheim.txt").string());
    ASSERT_TRUE(watch.Watching());
    if (watch.SeesPathDescriptors()) GTEST_SKIP() << "this kernel reports O_PATH descriptors as opened";
    std::vector<std::string> skipped;
    writer.OnFileSkipped = [&](const std::string& path, bool) { skipped.push_back(path); };
    // Asked once the search has judged the link, before the file is registered.
    writer.KeepOut = [&](const std::string& path) { return path == link.string() && !linkTo(Dir / "geheim.txt"); };
    writer.Open(Archive);
    writer.AddFiles(Data.string() + "/verweis.txt");
    writer.Close();
    EXPECT_FALSE(watch.OpenedSince());
    EXPECT_EQ(skipped, std::vector<std::string>{link.string()});
    ArchiveReader reader;
    reader.Open(Archive);
    ASSERT_EQ(reader.Count(), 1u);
    EXPECT_EQ(reader.Entry(0).UncompressedSize, 5000u);  // the old version of Liste.txt
}

TEST_F(WriterTest, NamesThatAreNoUtf8AreReportedAndSkipped) {
    MakeFile(Data / "Sch\xFCler.txt", "latin-1 name");
    std::vector<std::string> skipped;
    ArchiveWriter writer;
    writer.OnFileSkipped = [&](const std::string& path, bool) { skipped.push_back(path); };
    const fs::path log = Dir / "VB-Backup.log";
    writer.SetLogFile(log.string());
    writer.SetLogging(true);
    writer.Open(Archive);
    writer.AddFiles(Data.string() + "/*.txt");
    writer.Close();
    EXPECT_EQ(skipped, std::vector<std::string>{(Data / "Sch\xFCler.txt").string()});
    // The log names it too, its undecodable byte shown as U+FFFD.
    const std::string lines = utf8::fromUtf16le(ReadFile(log));
    EXPECT_NE(lines.find(fs::relative(Data, "/").string() + "/Sch\uFFFDler.txt skipped "), std::string::npos) << lines;
    ExpectPeersAccept();
}

// A directory that does not match the file (an entry that overlaps the next, a local
// header that disagrees with its central one, an end record that claims no entries
// with data before it) means a damaged archive: it is refused and stays as it was.
TEST_F(WriterTest, DamagedDirectoryIsRefusedAndTheArchiveKept) {
    for (const char* kind : {"size", "local", "empty", "tail"}) {
        SCOPED_TRACE(kind);
        fs::remove(Archive);
        ArchiveWriter first;
        Backup(first);
        ASSERT_EQ(RunCommand("python3 " + kPeers + " damage " + Quote(Archive) + " " + kind), 0);
        const std::string bytes = ReadFile(Archive);
        MakeFile(Data / "Liste.txt", TextBytes(7000), 1710496800 + 86400);
        ArchiveWriter writer;
        EXPECT_EQ(ErrorOf([&] { Backup(writer); }), "Invalid file - not a PKZip file");
        EXPECT_TRUE(ReadFile(Archive) == bytes);
        MakeFile(Data / "Liste.txt", TextBytes(5000));
    }
}

// A damaged archive fails its save also when nothing was selected: its entries are
// read while the selection runs, and the save waits for them. The writer is closed
// afterwards, as after any failed opening.
TEST_F(WriterTest, DamagedArchiveFailsTheSaveEvenWithNothingSelected) {
    ArchiveWriter first;
    Backup(first);
    ASSERT_EQ(RunCommand("python3 " + kPeers + " damage " + Quote(Archive) + " local"), 0);
    const std::string bytes = ReadFile(Archive);
    ArchiveWriter writer;
    writer.Open(Archive);
    EXPECT_EQ(ErrorOf([&] { writer.Save(); }), "Invalid file - not a PKZip file");
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_TRUE(ReadFile(Archive) == bytes);
}

// The entries of an opened archive are read while the first selection walks its
// folders, and what it finds meanwhile waits. Whether they arrive before the search
// starts or while it runs, the same files are registered, reported and logged, in
// the same order.
TEST_F(WriterTest, SelectionWhileTheEntriesArriveEqualsOneAfterThem) {
    // Enough entries that reading them outlasts the start of the search.
    for (int folder = 0; folder < 20; ++folder)
        for (int file = 0; file < 100; ++file)
            MakeFile(Data / ("Ordner" + std::to_string(folder)) / ("Datei" + std::to_string(file) + ".txt"),
                     TextBytes(50 + file));
    ArchiveWriter first;
    Backup(first);
    MakeFile(Data / "Ordner3" / "Datei7.txt", TextBytes(999), 1710496800 + 86400);
    MakeFile(Data / "Ordner19" / "neu.txt", "neu");
    MakeFile(Data / "Sub" / "neu.txt", "neu");
    MakeFile(Data / "Ordner5" / "neu.txt", "neu");
    MakeFile(Data / "Ordner5" / "Datei9.txt", TextBytes(999), 1710496800 + 86400);
    const bool root = ::geteuid() == 0;
    if (root) {  // a link of another user that leads out of the searched folder: passed over
        MakeFile(Dir / "fremd.txt", "fremd");
        fs::create_symlink(Dir / "fremd.txt", Data / "Ordner5" / "fremd.txt");
        ASSERT_EQ(::lchown((Data / "Ordner5" / "fremd.txt").c_str(), 65534, 65534), 0);
    }
    struct Outcome {
        std::vector<std::string> Entries;  // name and what the save would do
        std::vector<std::string> Skipped;
        std::vector<std::string> Log;  // without the time stamps
        std::size_t ToWrite = 0;
    };
    const auto select = [&](bool entriesFirst, const std::string& logName, const std::string& pattern) {
        Outcome out;
        ArchiveWriter writer;
        writer.OnFileSkipped = [&](const std::string& path, bool kept) {
            out.Skipped.push_back(path + (kept ? " kept" : " new"));
        };
        writer.SetLogFile((Dir / logName).string());
        writer.SetLogging(true);
        writer.SetRecurse(true);
        writer.Open(Archive);
        if (entriesFirst) {
            EXPECT_GT(writer.Entries().size(), 2000u);
        }
        writer.AddFiles(pattern);
        out.ToWrite = writer.ToWrite();
        for (const ArchiveEntry& e : writer.Entries())
            out.Entries.push_back(e.Name + " " + std::to_string(static_cast<int>(e.Action)));
        writer.Discard();
        std::istringstream lines(utf8::fromUtf16le(ReadFile(Dir / logName)));
        for (std::string line; std::getline(lines, line);) {
            while (!line.empty() && std::strchr("0123456789.: \r", line.back())) line.pop_back();
            out.Log.push_back(line);
        }
        return out;
    };
    // The whole folder (the entries arrive while the search runs) and one small
    // folder (the search ends first), with the files at least to write.
    for (const auto& [pattern, toWrite] : {std::pair{Data.string() + "/*.*", 5u}, std::pair{Data.string() + "/Ordner5/*.*", 2u}}) {
        SCOPED_TRACE(pattern);
        const Outcome after = select(true, "nach.log", pattern);
        const Outcome during = select(false, "waehrend.log", pattern);
        // The files changed and new (and the folders that got new files, when their
        // time moved to the next two seconds)
        EXPECT_GE(after.ToWrite, toWrite);
        EXPECT_EQ(after.Skipped.size(), root ? 1u : 0u);
        EXPECT_EQ(after.Log.size(), 1 + after.ToWrite + after.Skipped.size());  // the start, each one not unchanged
        EXPECT_EQ(during.ToWrite, after.ToWrite);
        EXPECT_EQ(during.Skipped, after.Skipped);
        EXPECT_EQ(during.Entries, after.Entries);
        EXPECT_EQ(during.Log, after.Log);
        fs::remove(Dir / "nach.log");
        fs::remove(Dir / "waehrend.log");
    }
}

// An archive of another tool that holds a name twice: what extracts is the new file.
TEST_F(WriterTest, EveryEntryOfADuplicateNameIsFreshened) {
    const fs::path file = Data / "Liste.txt";
    std::string out;
    ASSERT_EQ(RunCommand("python3 " + kPeers + " make-duplicates " + Quote(Archive) + " " + Quote(file.string()), &out), 0) << out;
    ArchiveWriter writer;
    writer.Open(Archive);
    writer.AddFiles(file.string());
    writer.Close();
    ExpectPeersAccept();
    const fs::path target = Dir / "x";
    ASSERT_EQ(RunCommand("unzip -q -o " + Quote(Archive) + " -d " + Quote(target.string()), &out), 0) << out;
    EXPECT_EQ(ReadFile(target / fs::relative(file, "/")), ReadFile(file));
    ArchiveReader reader;
    reader.Open(Archive);
    ASSERT_EQ(reader.Count(), 2u);
    for (const auto& e : reader.Entries()) EXPECT_EQ(e.UncompressedSize, fs::file_size(file));
}

// A changed file that cannot be read in full when the archive is saved (gone, cut
// short or grown while it is packed, or unreadable) keeps its old entry, and the
// writer reports it.
TEST_F(WriterTest, ChangedFileThatCannotBeSavedKeepsItsOldVersion) {
    const fs::path big = Data / "Sub" / "Noten.mdb";  // packed in chunks
    const fs::path small = Data / "Liste.txt";
    const struct {
        const char* what;
        fs::path file;
        std::function<void(const fs::path&)> beforeSave;  // after the file was selected
        std::function<void(const fs::path&)> whilePacked;
    } cases[] = {
        {"removed", small, [](const fs::path& f) { fs::remove(f); }, nullptr},
        {"unreadable", small, [](const fs::path& f) { fs::permissions(f, fs::perms::none); }, nullptr},
        {"cut short while packed", small, nullptr, [](const fs::path& f) { fs::resize_file(f, 100); }},
        {"grown while packed", small, nullptr, [](const fs::path& f) { fs::resize_file(f, fs::file_size(f) + 10); }},
        {"large, cut short while packed", big, nullptr, [](const fs::path& f) { fs::resize_file(f, 5 << 20); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(Archive);
        MakeFile(small, TextBytes(5000));
        MakeFile(big, TextBytes(9 << 20));
        {
            ArchiveWriter first;
            Backup(first);
        }
        const std::string old = ReadFile(c.file);
        MakeFile(c.file, TextBytes(old.size() + 3000), 1710496800 + 86400);
        fs::permissions(Dir.Path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
        ArchiveWriter writer;
        std::vector<std::pair<std::string, bool>> reported;  // path, kept from before
        writer.OnFileLeftOut = [&](const std::string& path, bool kept) { reported.emplace_back(path, kept); };
        writer.OnItemProgress = [&](const ArchiveEntry& e) {
            if (c.whilePacked && e.SourcePath == c.file.string()) c.whilePacked(c.file);
            return true;
        };
        writer.Open(Archive);
        writer.SetRecurse(true);
        writer.AddFiles(Data.string() + "/*.*");
        if (c.beforeSave) c.beforeSave(c.file);
        fs::permissions(Archive, fs::perms::all);
        fs::permissions(Dir.Path(), fs::perms::all);
        {
            std::optional<AsNobody> nobody;  // permission bits hold for root too
            if (std::string(c.what) == "unreadable") nobody.emplace();
            writer.Close();
        }
        EXPECT_EQ(reported, (std::vector<std::pair<std::string, bool>>{{c.file.string(), true}}));
        ExpectPeersAccept();
        const fs::path target = Dir / "x";
        fs::remove_all(target);
        std::string out;
        ASSERT_EQ(RunCommand("unzip -q -o " + Quote(Archive) + " -d " + Quote(target.string()), &out), 0) << out;
        EXPECT_TRUE(ReadFile(target / fs::relative(c.file, "/")) == old);
        if (fs::exists(c.file)) fs::permissions(c.file, fs::perms::owner_all);
    }
}

// A folder that cannot be listed and a changed file that cannot be opened are
// reported; the old entry of the file stays.
TEST_F(WriterTest, UnreadableFolderAndUnopenableChangedFileAreReported) {
    fs::create_directories(Data / "Gesperrt");
    MakeFile(Data / "Gesperrt" / "a.txt", "a");
    {
        ArchiveWriter first;
        Backup(first);
    }
    const std::string liste = ReadFile(Data / "Liste.txt");
    MakeFile(Data / "Liste.txt", TextBytes(6000), 1710496800 + 86400);
    fs::permissions(Data / "Liste.txt", fs::perms::none);
    fs::permissions(Data / "Gesperrt", fs::perms::none);
    fs::permissions(Dir.Path(), fs::perms::all);
    std::vector<std::pair<std::string, bool>> skipped;  // path, kept from before
    fs::permissions(Archive, fs::perms::all);
    {
        AsNobody nobody;
        ArchiveWriter writer;
        writer.OnFileSkipped = [&](const std::string& path, bool kept) { skipped.emplace_back(path, kept); };
        Backup(writer);
    }
    std::sort(skipped.begin(), skipped.end());
    // Both have entries from the first run, which the archive keeps.
    EXPECT_EQ(skipped, (std::vector<std::pair<std::string, bool>>{{(Data / "Gesperrt").string(), true},
                                                                   {(Data / "Liste.txt").string(), true}}));
    fs::permissions(Data / "Gesperrt", fs::perms::owner_all);
    const fs::path target = Dir / "x";
    std::string out;
    ASSERT_EQ(RunCommand("unzip -q -o " + Quote(Archive) + " -d " + Quote(target.string()), &out), 0) << out;
    EXPECT_TRUE(ReadFile(target / fs::relative(Data / "Liste.txt", "/")) == liste);
    EXPECT_TRUE(fs::exists(target / fs::relative(Data / "Gesperrt" / "a.txt", "/")));  // from the first run
}

// The archive never takes itself in: a save between two selections replaces the
// archive file, and the search that goes on must still know it.
TEST_F(WriterTest, ArchiveInASearchedFolderIsNeverSelected) {
    Archive = (Data / "backup" / "Daten.zip").string();
    fs::create_directories(Data / "backup");
    MakeFile(Data / "backup" / ".Daten.zip.vbtmp-abc123", "left by a killed run");
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        MakeFile(Data / "noten.mdb", TextBytes(4000 + run), 1710496800 + 86400 * run);
        ArchiveWriter writer;
        writer.Open(Archive);
        writer.AddFiles(Data.string() + "/*.mdb");
        writer.Save();
        writer.SetRecurse(true);
        writer.AddFiles(Data.string() + "/*.*");
        writer.Close();
        ArchiveReader reader;
        reader.Open(Archive);
        for (const auto& e : reader.Entries()) {
            EXPECT_FALSE(e.Name.ends_with("Daten.zip")) << e.Name;
            EXPECT_EQ(e.Name.find(".vbtmp-"), std::string::npos) << e.Name;
        }
    }
}

// After a save the writer's entries are those of the new file, and a selection made
// before Close builds on them: what the save wrote is neither added again nor lost.
TEST_F(WriterTest, SelectionAfterASaveKnowsTheEntriesWritten) {
    ArchiveWriter writer;
    writer.Open(Archive);
    writer.AddFiles(Data.string() + "/*.txt");
    writer.Save();
    ArchiveReader reader;
    reader.Open(Archive);
    ASSERT_EQ(writer.Entries().size(), reader.Entries().size());
    for (std::size_t i = 0; i < reader.Entries().size(); ++i) {
        const ArchiveEntry& mine = writer.Entries()[i];
        const ArchiveEntry& file = reader.Entries()[i];
        SCOPED_TRACE(file.Name);
        EXPECT_EQ(mine.Name, file.Name);
        EXPECT_EQ(mine.Action, EntryAction::Unchanged);
        EXPECT_EQ(mine.Crc32, file.Crc32);
        EXPECT_EQ(mine.CompressedSize, file.CompressedSize);
        EXPECT_EQ(mine.LocalHeaderOffset, file.LocalHeaderOffset);
        EXPECT_EQ(mine.OwnerName, file.OwnerName);
    }
    writer.SetRecurse(true);
    writer.AddFiles(Data.string() + "/*.*");
    writer.Close();
    reader.Open(Archive);
    std::set<std::string> names;
    for (const auto& e : reader.Entries()) EXPECT_TRUE(names.insert(e.Name).second) << e.Name << " twice";
    ExpectPeersAccept();
    // The same as one selection of everything.
    Archive = (Dir / "Einmal.zip").string();
    ArchiveWriter whole;
    Backup(whole);
    reader.Open(Archive);
    std::set<std::string> wholeNames;
    for (const auto& e : reader.Entries()) wholeNames.insert(e.Name);
    EXPECT_EQ(names, wholeNames);
}

// Files new to the archive wait compactly until they are written; asked for between
// two selections they become whole entries. Either way the archive is the same: the
// same entries in the same order, each file once, counted alike before the save.
TEST_F(WriterTest, FilesWaitingForTheSaveAreTheSameWhetherAskedForOrNot) {
    MakeFile(Data / "Sub" / "Tief" / "Zeugnis.txt", TextBytes(700));
    auto select = [&](ArchiveWriter& writer, const std::string& path, bool askBetween) {
        Archive = (Dir / path).string();
        writer.Open(Archive);
        writer.AddFiles(Data.string() + "/*.txt");
        if (askBetween) {
            const std::vector<ArchiveEntry>& entries = writer.Entries();
            ASSERT_EQ(entries.size(), 2u);
            for (const ArchiveEntry& e : entries) {
                SCOPED_TRACE(e.Name);
                EXPECT_EQ(e.Action, EntryAction::Add);
                EXPECT_EQ(e.Name, zip::StoredNameFromPath(e.SourcePath, false));
                EXPECT_NE(e.SourceInode, 0u);
            }
        }
        writer.SetRecurse(true);
        writer.AddFiles(Data.string() + "/*.*");
        writer.AddFiles(Data.string() + "/Sub/*.txt");  // selects Zeugnis.txt a second time
    };
    ArchiveWriter asked, compact;
    select(asked, "Gefragt.zip", true);
    select(compact, "Kompakt.zip", false);
    EXPECT_EQ(compact.ToWrite(), asked.ToWrite());
    std::vector<std::string> order;
    for (const ArchiveEntry& e : asked.Entries()) order.push_back(e.Name);
    EXPECT_EQ(std::set<std::string>(order.begin(), order.end()).size(), order.size());
    EXPECT_EQ(asked.ToWrite(), order.size());
    asked.Close();
    compact.Close();
    for (const char* name : {"Gefragt.zip", "Kompakt.zip"}) {
        SCOPED_TRACE(name);
        Archive = (Dir / name).string();
        ArchiveReader reader;
        reader.Open(Archive);
        std::vector<std::string> written;
        for (const ArchiveEntry& e : reader.Entries()) written.push_back(e.Name);
        EXPECT_EQ(written, order);
        ExpectPeersAccept();
    }
}

// A central directory kept partly in a scratch file (every header on its own, pieces
// of a few headers, or none where no scratch file can be made) gives the archive that
// a directory held in memory gives, byte for byte, and the entries after the save are
// read back from it. The scratch file never has a name in its folder.
TEST_F(WriterTest, DirectoryInAScratchFileGivesTheSameArchive) {
    for (int i = 0; i < 40; ++i)
        MakeFile(Data / "Klassen" / ("Notenübersicht der Klasse " + std::to_string(i) + ".txt"), TextBytes(100 + i));
    const fs::path scratch = Dir / "tmp";
    fs::create_directories(scratch);
    const struct {
        const char* name;
        std::size_t limit;
        fs::path folder;
        bool spills;
    } cases[] = {
        {"every header on its own", 0, scratch, true},
        {"pieces of a few headers", 700, scratch, true},
        {"in memory", zip::WrittenDirectory::kMemoryLimit, scratch, false},
        {"no scratch file can be made", 0, Dir / "fehlt", false},
    };
    std::string expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Archive = (Dir / (std::string(c.name) + ".zip")).string();
        ArchiveWriter writer;
        writer.SetTempDirectory(c.folder.string());
        writer.SetDirectoryMemoryLimit(c.limit);
        std::uint64_t spilled = 0;
        writer.OnWritten = [&](int, const zip::WrittenDirectory& written) { spilled = written.SpilledSize(); };
        writer.Open(Archive);
        writer.SetRecurse(true);
        writer.AddFiles(Data.string() + "/*.*");
        writer.Save();
        EXPECT_EQ(spilled > 0, c.spills);
        EXPECT_TRUE(fs::is_empty(scratch));
        ArchiveReader reader;
        reader.Open(Archive);
        ASSERT_EQ(writer.Entries().size(), reader.Entries().size());
        for (std::size_t i = 0; i < reader.Entries().size(); ++i) {
            EXPECT_EQ(writer.Entries()[i].Name, reader.Entries()[i].Name);
            EXPECT_EQ(writer.Entries()[i].LocalHeaderOffset, reader.Entries()[i].LocalHeaderOffset);
        }
        writer.Close();
        const std::string bytes = ReadFile(Archive);
        if (expected.empty()) {
            ExpectPeersAccept();
            expected = bytes;
        } else {
            EXPECT_TRUE(bytes == expected) << "the archive differs from the first one";
        }
    }
}

// New archives are for their owner alone; an update keeps the mode, owner and group
// the archive had, and updates a linked archive at the link's target.
TEST_F(WriterTest, ArchiveFileKeepsModeOwnerAndLink) {
    ::umask(022);
    ArchiveWriter writer;
    Backup(writer);
    struct stat st{};
    ASSERT_EQ(::stat(Archive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    ::chmod(Archive.c_str(), 0640);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(Archive.c_str(), 65534, 65534), 0);
    }
    const std::string link = (Dir / "Verweis.zip").string();
    fs::create_symlink(Archive, link);
    MakeFile(Data / "Liste.txt", TextBytes(7000), 1710496800 + 86400);
    const std::string before = ReadFile(Archive);
    writer.Open(link);
    writer.SetRecurse(true);
    writer.AddFiles(Data.string() + "/*.*");
    writer.Close();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_FALSE(ReadFile(Archive) == before);
    ASSERT_EQ(::stat(Archive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
    ExpectPeersAccept();
}

TEST_F(WriterTest, ArchivePathThatIsNoFileIsRefusedAtOnce) {
    const std::string fifo = (Dir / "Pipe.zip").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(Dir / "Ordner.zip");
    for (const std::string& path : {fifo, (Dir / "Ordner.zip").string()}) {
        SCOPED_TRACE(path);
        ArchiveWriter writer;
        EXPECT_EQ(ErrorOf([&] { writer.Open(path); }), "Das Archiv " + path + " ist keine gewöhnliche Datei.");
        ArchiveReader reader;
        EXPECT_EQ(ErrorOf([&] { reader.Open(path); }), "Das Archiv " + path + " ist keine gewöhnliche Datei.");
    }
}

TEST_F(WriterTest, PatternWithoutFolderIsRefused) {
    ArchiveWriter writer;
    writer.Open(Archive);
    EXPECT_EQ(ErrorOf([&] { writer.AddFiles("", "*.mdb"); }),
              "Eine Zeile der Sicherungsdefinition nennt keinen Ordner (Dateimaske *.mdb).");
    EXPECT_EQ(ErrorOf([&] { writer.AddFiles("*.mdb"); }), "Für die Dateimaske *.mdb ist kein Ordner angegeben.");
    writer.AddFiles(Data.string(), "Liste.txt");
    writer.Close();
    ArchiveReader reader;
    reader.Open(Archive);
    EXPECT_EQ(reader.Count(), 1u);
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

// Pages of `file` in the page cache, from `offset` on, `length` bytes.
std::size_t CachedPages(const fs::path& file, std::size_t offset, std::size_t length) {
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    void* map = ::mmap(nullptr, offset + length, PROT_READ, MAP_SHARED, fd.Get(), 0);
    if (map == MAP_FAILED) return SIZE_MAX;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((offset + length + page - 1) / page);
    ::mincore(map, offset + length, resident.data());
    ::munmap(map, offset + length);
    return static_cast<std::size_t>(
        std::count_if(resident.begin() + static_cast<std::ptrdiff_t>(offset / page), resident.end(),
                      [](unsigned char r) { return r & 1; }));
}

// A large archive does not keep its pages in the page cache once they are on disk:
// it would take as much new memory as it is large and push out what others cache.
TEST_F(WriterTest, WrittenPartsOfALargeArchiveLeaveThePageCache) {
    {
        // Some file systems keep the pages of a file that is on disk anyway.
        const fs::path probe = Dir / "probe.bin";
        MakeFile(probe, RandomBytes(1 << 20, 3));
        const UniqueFd fd(::open(probe.c_str(), O_RDONLY | O_CLOEXEC));
        ::fdatasync(fd.Get());
        ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_DONTNEED);
        if (CachedPages(probe, 0, 1 << 20) != 0) GTEST_SKIP() << "the temporary folder keeps the pages of its files";
        fs::remove(probe);
    }
    for (int i = 0; i < 6; ++i) MakeFile(Data / "Sub" / ("Teil" + std::to_string(i) + ".bin"), RandomBytes(8 << 20, 10 + i));
    ArchiveWriter writer;
    Backup(writer);
    EXPECT_GT(fs::file_size(Archive), std::uintmax_t{48} << 20);
    EXPECT_EQ(CachedPages(Archive, 0, 16 << 20), 0u);
    ExpectPeersAccept();
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
