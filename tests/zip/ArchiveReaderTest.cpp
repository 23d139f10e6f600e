#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ArchiveTestSupport.h"
#include "zip/ArchiveReader.h"
#include "zip/ArchiveWriter.h"
#include "zip/ByteOrder.h"
#include "zip/EntryCipher.h"
#include "zip/EntryDecoder.h"
#include "zip/WinZipAes.h"
#include "zip/ZipCrypto.h"
#include "support/PasswordCheck.h"
#include "util/Error.h"

namespace vb::test {
namespace {

namespace fs = std::filesystem;
const std::string kPeers = std::string(VB_SOURCE_DIR) + "/tests/zip/peers.py";

std::string Text(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; s.size() < n; ++i) s += "Zeile " + std::to_string(i * 7919 % 1000) + " Noten\r\n";
    s.resize(n);
    return s;
}

// Whether `password` passes the 2-byte verifier of the AES-256 entry whose local
// header is at `offset` (one wrong password in 65,536 does).
bool PassesAesVerifier(const std::string& bytes, std::size_t offset, const std::string& password) {
    const auto* local = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
    const std::size_t data = offset + 30 + zip::Get16(local + 26) + zip::Get16(local + 28);
    const zip::WinZipAes aes(password, bytes.substr(data, 16), 3);
    return bytes.compare(data + 16, 2, reinterpret_cast<const char*>(aes.Verifier().data()), 2) == 0;
}

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        Source = Dir / "src";
        MakeFile(Source / "Liste.txt", Text(20000));
        MakeFile(Source / "Sub" / "Groß.mdb", Text(6 << 20));
        MakeFile(Source / "leer.txt", "");
        Out = Dir / "out";
        fs::create_directories(Out);
    }

    // Extracts every entry and compares with the source folder.
    void ExtractAndCompare(const std::string& archive, const std::string& password = "") {
        ArchiveReader reader;
        reader.SetPassword(password);
        reader.Open(archive);
        reader.SetBaseDirectory(Out.string());
        ASSERT_GE(reader.Count(), 3u);
        for (std::size_t i = 0; i < reader.Count(); ++i) {
            std::string reason;
            EXPECT_TRUE(reader.ExtractAt(i, &reason)) << reader.Entry(i).Name << ": " << reason;
        }
        for (const char* name : {"Liste.txt", "Sub/Groß.mdb", "leer.txt"}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(ReadFile(Out / name), ReadFile(Source / name));
        }
    }

    TempDir Dir;
    fs::path Source, Out;
};

TEST_F(ReaderTest, ReadsArchivesOfOtherTools) {
    struct Case {
        const char* tool;
        std::string command;
        std::string password;
    } cases[] = {
        {"zip", "cd src && zip -qr ../t.zip .", ""},
        {"zip -e", "cd src && zip -qr -P geheim ../t.zip .", "geheim"},
        {"7z ZipCrypto",
         "cd src && $(command -v 7z || command -v 7zz) a -tzip -mem=ZipCrypto -pgeheim ../t.zip . >/dev/null",
         "geheim"},
        {"7z AES-256",
         "cd src && $(command -v 7z || command -v 7zz) a -tzip -mem=AES256 -pgeheim ../t.zip . >/dev/null", "geheim"},
        {"7z AES-128 stored",
         "cd src && $(command -v 7z || command -v 7zz) a -tzip -mx0 -mem=AES128 -pgeheim ../t.zip . >/dev/null",
         "geheim"},
        {"bsdtar AES-256",
         "cd src && bsdtar --format zip --options zip:encryption=aes256 --passphrase 'Grüße' -cf ../t.zip .", "Grüße"},
        {"bsdtar AES-128",
         "cd src && bsdtar --format zip --options zip:encryption=aes128 --passphrase geheim -cf ../t.zip .", "geheim"},
        {"python", "python3 " + kPeers + " make t.zip src", ""},
        {"python zip64", "python3 " + kPeers + " make t.zip src zip64", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tool);
        fs::remove(Dir / "t.zip");
        fs::remove_all(Out);
        fs::create_directories(Out);
        std::string output;
        ASSERT_EQ(RunCommand("cd " + Quote(Dir.Path().string()) + " && " + c.command, &output), 0) << output;
        ExtractAndCompare((Dir / "t.zip").string(), c.password);
    }
}

// zip encrypts with the password's UTF-8 bytes, this program first tries its
// Windows-1252 bytes. The archive is re-encrypted with other random header bytes
// until those pass the entry's one-byte check too: the right encoding must still win.
TEST_F(ReaderTest, AnotherEncodingPassingTheCheckDoesNotHideTheRightOne) {
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e", ansi = "Gr\xFC\xDF" "e";
    const fs::path archive = Dir / "u.zip";
    ASSERT_EQ(RunCommand("cd " + Quote(Source.string()) + " && zip -q -P " + utf8 + " " + Quote(archive.string()) +
                         " Liste.txt"),
              0);
    std::string bytes = ReadFile(archive);
    ArchiveEntry entry;
    std::optional<zip::EntryData> data;
    {
        ArchiveReader reader;
        reader.Open(archive.string());
        ASSERT_EQ(reader.Count(), 1u);
        entry = reader.Entry(0);
        const UniqueFd fd(::open(archive.c_str(), O_RDONLY | O_CLOEXEC));
        data = zip::LocateEntryData(fd.Get(), bytes.size(), entry);
        ASSERT_TRUE(data);
    }
    const unsigned char check = zip::TraditionalCheckByte(entry, *data);
    auto* stored = reinterpret_cast<unsigned char*>(bytes.data() + data->Offset);
    std::vector<unsigned char> plain(stored, stored + entry.CompressedSize);
    zip::ZipCrypto(utf8).Decrypt(plain.data(), plain.size());
    ASSERT_EQ(plain[11], check);
    for (unsigned seed = 0;; ++seed) {
        ASSERT_LT(seed, 65536u);
        plain[0] = static_cast<unsigned char>(seed);
        plain[1] = static_cast<unsigned char>(seed >> 8);
        std::vector<unsigned char> sealed = plain;
        zip::ZipCrypto(utf8).Encrypt(sealed.data(), sealed.size());
        unsigned char head[zip::ZipCrypto::kHeaderSize];
        std::copy_n(sealed.begin(), sizeof head, head);
        zip::ZipCrypto(ansi).Decrypt(head, sizeof head);
        if (head[11] != check) continue;
        std::copy(sealed.begin(), sealed.end(), stored);
        break;
    }
    WriteFile(archive, bytes);
    std::string output;
    ASSERT_EQ(RunCommand("unzip -t -P " + utf8 + " " + Quote(archive.string()), &output), 0) << output;

    ArchiveReader reader;
    reader.SetPassword(utf8);
    reader.Open(archive.string());
    reader.SetBaseDirectory(Out.string());
    std::string reason;
    EXPECT_TRUE(reader.ExtractAt(0, &reason)) << reason;
    EXPECT_EQ(ReadFile(Out / "Liste.txt"), ReadFile(Source / "Liste.txt"));
}

// Local headers read in blocks are found as by single reads: in archive order, in
// reverse, and where a header begins near a block's end and runs past it.
TEST_F(ReaderTest, LocalHeadersFromBlocksAgreeWithSingleReads) {
    // 2,000 stored files of 100-499 bytes: about 700 KB, headers at every kind of offset.
    const fs::path many = Dir / "viele";
    fs::create_directories(many);
    for (int i = 0; i < 2000; ++i) WriteFile(many / ("d" + std::to_string(i) + ".txt"), std::string(100 + (i * 37) % 400, 'x'));
    const fs::path archive = Dir / "viele.zip";
    ASSERT_EQ(RunCommand("cd " + Quote(many.string()) + " && zip -q -0 -r " + Quote(archive.string()) + " ."), 0);
    std::string bytes = ReadFile(archive);
    ArchiveReader reader;
    reader.Open(archive.string());
    std::vector<ArchiveEntry> entries;
    for (std::size_t i = 0; i < reader.Count(); ++i) entries.push_back(reader.Entry(i));
    // One local header damaged: both ways refuse it.
    entries[700].LocalHeaderOffset += 1;
    UniqueFd fd(::open(archive.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd.Valid());
    const std::uint64_t size = bytes.size();
    auto same = [&](const std::optional<zip::EntryData>& a, const std::optional<zip::EntryData>& b) {
        return a.has_value() == b.has_value() && (!a || (a->Offset == b->Offset && a->LocalDescriptor == b->LocalDescriptor));
    };
    zip::LocalHeaders forward(fd.Get(), size), backward(fd.Get(), size);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        const auto single = zip::LocateEntryData(fd.Get(), size, entries[i]);
        EXPECT_EQ(single.has_value(), i != 700);
        EXPECT_TRUE(same(forward.Locate(entries[i]), single));
        const std::size_t j = entries.size() - 1 - i;
        EXPECT_TRUE(same(backward.Locate(entries[j]), zip::LocateEntryData(fd.Get(), size, entries[j])));
    }
    // A block that begins at one header ends inside another's fixed part.
    std::size_t straddling = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::uint64_t end = entries[i].LocalHeaderOffset + zip::LocalHeaders::kBlock;
        for (std::size_t j = i + 1; j < entries.size(); ++j) {
            const std::uint64_t at = entries[j].LocalHeaderOffset;
            if (at >= end) break;
            if (end - at >= 30) continue;
            SCOPED_TRACE(std::to_string(i) + " then " + std::to_string(j));
            zip::LocalHeaders blocks(fd.Get(), size);
            EXPECT_TRUE(same(blocks.Locate(entries[i]), zip::LocateEntryData(fd.Get(), size, entries[i])));
            EXPECT_TRUE(same(blocks.Locate(entries[j]), zip::LocateEntryData(fd.Get(), size, entries[j])));
            ++straddling;
        }
    }
    EXPECT_GT(straddling, 0u);
}

// The entries of one folder follow each other and share its walk, but each name is
// checked whole: a bad last part after good files of the same folder is refused.
TEST_F(ReaderTest, EveryNameIsCheckedInAFolderAlreadyWalked) {
    const fs::path archive = Dir / "namen.zip";
    ASSERT_EQ(RunCommand("python3 -c 'import sys, zipfile\n"
                         "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                         "    for n in [\"Daten/a.txt\", \"Daten/..\", \"Daten/.\", \"Daten/b\\x01.txt\", \"Daten/c.txt\",\n"
                         "              \"Daten/../d.txt\", \"Daten/e.txt\"]: z.writestr(n, n)' " +
                         Quote(archive.string())),
              0);
    ArchiveReader reader;
    reader.Open(archive.string());
    reader.SetBaseDirectory(Out.string());
    std::vector<std::size_t> all(reader.Count());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    std::vector<std::string> outcome;
    reader.ExtractEntries(all, [&](std::size_t index, bool ok, const std::string& reason) {
        outcome.push_back(reader.Entry(index).Name + (ok ? ": ok" : ": " + reason));
    });
    EXPECT_EQ(outcome, (std::vector<std::string>{
                           "Daten/a.txt: ok",
                           "Daten/..: Der Name Daten/.. f\xC3\xBChrt aus dem Zielordner hinaus",
                           "Daten/.: Der Name Daten/. f\xC3\xBChrt aus dem Zielordner hinaus",
                           "Daten/b\x01.txt: Der Name Daten/b\\x01.txt enth\xC3\xA4lt Steuerzeichen",
                           "Daten/c.txt: ok",
                           "Daten/../d.txt: Der Name Daten/../d.txt f\xC3\xBChrt aus dem Zielordner hinaus",
                           "Daten/e.txt: ok",
                       }));
    EXPECT_EQ(ReadFile(Out / "Daten/e.txt"), "Daten/e.txt");
    EXPECT_FALSE(fs::exists(Out / "d.txt"));
}

// Opening the same archive again gives its directory as it is now: an archive changed
// in place (same size, same place, other names) is read anew.
TEST_F(ReaderTest, ReopeningSeesAnArchiveChangedInPlace) {
    std::string output;
    ASSERT_EQ(RunCommand("cd " + Quote(Source.string()) + " && zip -q ../t.zip Liste.txt leer.txt", &output), 0) << output;
    const fs::path archive = Dir / "t.zip";
    ArchiveReader reader;
    reader.Open(archive.string());
    ASSERT_EQ(reader.Count(), 2u);
    EXPECT_EQ(reader.Entry(1).Name, "leer.txt");
    reader.Open(archive.string());
    EXPECT_EQ(reader.Entry(1).Name, "leer.txt");

    std::string bytes = ReadFile(archive);
    for (std::size_t at = 0; (at = bytes.find("leer.txt", at)) != std::string::npos;) bytes.replace(at, 4, "voll");
    WriteFile(archive, bytes);
    reader.Open(archive.string());
    ASSERT_EQ(reader.Count(), 2u);
    EXPECT_EQ(reader.Entry(1).Name, "voll.txt");
}

TEST_F(ReaderTest, BatchExtractionReportsInOrder) {
    const std::string archive = (Dir / "t.zip").string();
    ASSERT_EQ(RunCommand("cd " + Quote(Source.string()) + " && zip -qr -P geheim " + Quote(archive) + " ."), 0);
    ArchiveReader reader;
    std::size_t asked = 0;
    reader.OnNeedPassword = [&](const std::string&) {
        ++asked;
        return std::string("geheim");
    };
    reader.Open(archive);
    reader.SetBaseDirectory(Out.string());
    std::vector<std::size_t> indices;
    for (std::size_t i = reader.Count(); i-- > 0;) indices.push_back(i);
    std::vector<std::size_t> reported;
    EXPECT_EQ(reader.ExtractEntries(indices, [&](std::size_t index, bool ok, const std::string& reason) {
        reported.push_back(index);
        EXPECT_TRUE(ok) << reason;
    }), indices.size());
    EXPECT_EQ(reported, indices);
    EXPECT_EQ(asked, 1u);
    for (const char* name : {"Liste.txt", "Sub/Groß.mdb", "leer.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadFile(Out / name), ReadFile(Source / name));
    }
}

TEST_F(ReaderTest, OpeningErrors) {
    MakeFile(Dir / "empty.zip", "");
    MakeFile(Dir / "text.zip", "just text");
    ASSERT_EQ(RunCommand("cd " + Quote(Dir.Path().string()) + " && cd src && zip -qr ../ok.zip . && cd .. && "
                         "head -c -10 ok.zip > cut.zip"), 0);
    struct Case {
        const char* name;
        const char* error;
    } cases[] = {
        {"missing.zip", "File not found"},
        {"empty.zip", "Invalid Stream"},
        {"text.zip", "Unhandled Archive Type"},
        {"cut.zip", "Unhandled Archive Type"},  // end record cut off
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveReader reader;
        EXPECT_EQ(ErrorOf([&] { reader.Open((Dir / c.name).string()); }), c.error);
    }
    ArchiveReader reader;
    EXPECT_EQ(ErrorOf([&] { reader.SetBaseDirectory((Dir / "nowhere").string()); }), "Directory does not exist");
}

// Entries that share bytes are refused when the archive is opened, as an update
// refuses them: 20 central entries on one local entry of 200 KiB make a file of 205 KB
// that unpacks to 4 MB. The same entry listed once, and archives of zip and 7-Zip, open.
TEST_F(ReaderTest, ArchiveWithOverlappingEntriesIsRefusedWhenOpened) {
    const std::string sevenZip = "$(command -v 7z || command -v 7zz)";
    const struct Case {
        const char* what;
        std::string commands;  // in the test folder, making t.zip
        bool opens;
    } cases[] = {
        {"one entry", "python3 " + kPeers + " make-overlap t.zip 1", true},
        {"twenty entries on one", "python3 " + kPeers + " make-overlap t.zip 20", false},
        {"zip", "cd src && zip -qr ../t.zip .", true},
        {"7-Zip", "cd src && " + sevenZip + " a -tzip ../t.zip . >/dev/null", true},
        {"entry reaching into the next",
         "python3 " + kPeers + " make t.zip src && python3 " + kPeers + " damage t.zip size", false},
        {"local header disagreeing",
         "python3 " + kPeers + " make t.zip src && python3 " + kPeers + " damage t.zip local", false},
        {"no entries after data", "python3 " + kPeers + " make t.zip src && python3 " + kPeers + " damage t.zip empty",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(Dir / "t.zip");
        std::string output;
        ASSERT_EQ(RunCommand("cd " + Quote(Dir.Path().string()) + " && " + c.commands, &output), 0) << output;
        ArchiveReader reader;
        EXPECT_EQ(ErrorOf([&] { reader.Open((Dir / "t.zip").string()); }),
                  c.opens ? "" : "Invalid file - not a PKZip file");
        EXPECT_EQ(reader.IsOpen(), c.opens);
        EXPECT_EQ(reader.Count() > 0, c.opens);
    }
}

// The Unix mode comes from the upper half of the external attributes only where it is
// one (any value on host 3, a file, folder or link type elsewhere), never from DOS
// attributes; ids and names only from well-formed fields.
TEST_F(ReaderTest, OwnerAndModeAreReadAsStored) {
    ASSERT_EQ(RunCommand("cd " + Quote(Dir.Path().string()) + " && python3 " + kPeers + " make-owners o.zip"), 0);
    using Id = std::optional<std::uint32_t>;
    const struct Case {
        const char* name;
        Id mode, uid, gid;
        const char* owner;
        const char* group;
    } cases[] = {
        {"dos.txt", {}, {}, {}, "", ""},
        {"dos-mode.txt", 0100640, {}, {}, "", ""},
        {"ntfs-dir/", 040750, {}, {}, "", ""},
        {"ntfs-fifo.txt", {}, {}, {}, "", ""},
        {"link", 0120777, {}, {}, "", ""},
        {"unix.txt", 0100755, {}, {}, "", ""},
        {"unix-zero.txt", {}, {}, {}, "", ""},
        {"ids.txt", 0100600, 1000, 100, "anna", "users"},
        {"wide-ids.txt", 0100600, {}, 7, "", ""},
        {"bad-names.txt", 0100600, {}, {}, "", "staff"},
        {"short-ids.txt", 0100600, {}, {}, "", ""},
        {"other-version.txt", 0100600, {}, {}, "", ""},
    };
    ArchiveReader reader;
    reader.Open((Dir / "o.zip").string());
    ASSERT_EQ(reader.Count(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const ArchiveEntry& e = reader.Entry(i);
        EXPECT_EQ(e.Name, c.name);
        EXPECT_EQ(e.UnixMode, c.mode);
        EXPECT_EQ(e.Uid, c.uid);
        EXPECT_EQ(e.Gid, c.gid);
        EXPECT_EQ(e.OwnerName, c.owner);
        EXPECT_EQ(e.GroupName, c.group);
    }

    // zip keeps the owner in 0x7875 and the mode with host 3; 7-Zip keeps the mode.
    struct stat st {};
    ASSERT_EQ(::stat((Source / "Liste.txt").c_str(), &st), 0);
    for (const std::string tool : {"zip -q", "$(command -v 7z || command -v 7zz) a -tzip"}) {
        SCOPED_TRACE(tool);
        fs::remove(Dir / "t.zip");
        std::string output;
        ASSERT_EQ(RunCommand("cd " + Quote(Source.string()) + " && " + tool + " ../t.zip Liste.txt", &output), 0)
            << output;
        reader.Open((Dir / "t.zip").string());
        ASSERT_EQ(reader.Count(), 1u);
        EXPECT_EQ(reader.Entry(0).UnixMode, Id(st.st_mode));
        if (tool.starts_with("zip")) {
            EXPECT_EQ(reader.Entry(0).Uid, Id(st.st_uid));
            EXPECT_EQ(reader.Entry(0).Gid, Id(st.st_gid));
        }
    }
}

TEST_F(ReaderTest, DamagedEntryFailsWithoutLeavingAPartialFileAndKeepsTheOldOne) {
    const std::string archive = (Dir / "t.zip").string();
    ASSERT_EQ(RunCommand("cd " + Quote(Source.string()) + " && zip -q -0 " + Quote(archive) + " Liste.txt"), 0);
    // Flip one byte of the stored data.
    std::string bytes = ReadFile(archive);
    const std::size_t at = bytes.find("Zeile 0");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'z';
    WriteFile(archive, bytes);
    MakeFile(Out / "Liste.txt", "old content");
    ArchiveReader reader;
    reader.Open(archive);
    reader.SetBaseDirectory(Out.string());
    std::string reason;
    EXPECT_FALSE(reader.ExtractAt(0, &reason));
    EXPECT_EQ(reason, "Failed CRC Check");
    EXPECT_EQ(ReadFile(Out / "Liste.txt"), "old content");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator(Out)) ++files;
    EXPECT_EQ(files, 1u);
}

// An AES entry is authenticated: a wrong password is refused by its verifier, and
// data changed after encryption by its authentication code; neither writes a file.
TEST_F(ReaderTest, AesEntriesAreAuthenticatedBeforeAnythingIsWritten) {
    const std::string archive = (Dir / "t.zip").string();
    std::string bytes;
    // The 2-byte verifier lets one wrong password in 65,536 pass: the archive is made
    // again until the wrong one of this test is not such a one.
    for (bool lucky = true; lucky;) {
        fs::remove(archive);
        ASSERT_EQ(RunCommand("cd " + Quote(Source.string()) +
                             " && $(command -v 7z || command -v 7zz) a -tzip -mx0 "
                             "-mem=AES256 -pgeheim " +
                             Quote(archive) + " Liste.txt >/dev/null"),
                  0);
        bytes = ReadFile(archive);
        lucky = PassesAesVerifier(bytes, 0, "falsch");
    }
    struct Case {
        const char* Name;
        std::string Password;
        bool Flip;
        std::string Reason;
    };
    const Case cases[] = {
        {"wrong password", "falsch", false, "Cannot extract file - invalid password"},
        {"changed data", "geheim", true, zip::kAuthenticationFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string copy = bytes;
        if (c.Flip) copy[copy.size() / 2] ^= 0x01;
        WriteFile(archive, copy);
        fs::remove_all(Out);
        fs::create_directories(Out);
        ArchiveReader reader;
        reader.SetPassword(c.Password);
        reader.SetPasswordRetries(0);
        reader.Open(archive);
        reader.SetBaseDirectory(Out.string());
        std::string reason;
        EXPECT_FALSE(reader.ExtractAt(0, &reason));
        EXPECT_EQ(reason, c.Reason);
        EXPECT_TRUE(fs::is_empty(Out));
    }
}

// The keys of AES entries are derived on all cores once a password has opened one of
// them; an entry that password does not open comes back and asks for its own.
TEST_F(ReaderTest, AesEntriesOfTwoPasswordsAskForTheSecondInOrder) {
    const std::string archive = (Dir / "t.zip").string();
    for (int i = 0; i < 6; ++i) MakeFile(Source / ("erst" + std::to_string(i) + ".txt"), Text(1000 + i));
    MakeFile(Source / "zuletzt.txt", Text(3000));
    const std::string sevenZip = "$(command -v 7z || command -v 7zz) a -tzip -mem=AES256 ";
    // Made again while the first password happens to pass the last entry's verifier.
    for (bool lucky = true; lucky;) {
        fs::remove(archive);
        ASSERT_EQ(
            RunCommand("cd " + Quote(Source.string()) + " && " + sevenZip + "-peins " + Quote(archive) +
                       " erst*.txt >/dev/null && " + sevenZip + "-pzwei " + Quote(archive) + " zuletzt.txt >/dev/null"),
            0);
        ArchiveReader listing;
        listing.Open(archive);
        lucky = PassesAesVerifier(ReadFile(archive), listing.Entries().back().LocalHeaderOffset, "eins");
    }
    ArchiveReader reader;
    reader.SetPassword("eins");
    int asked = 0;
    reader.OnNeedPassword = [&](const std::string&) {
        ++asked;
        return std::string("zwei");
    };
    reader.Open(archive);
    reader.SetBaseDirectory(Out.string());
    std::vector<std::size_t> all(reader.Count());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    std::vector<std::string> order;
    EXPECT_EQ(reader.ExtractEntries(all,
                                    [&](std::size_t index, bool ok, const std::string& reason) {
                                        order.push_back(reader.Entry(index).Name);
                                        EXPECT_TRUE(ok) << reader.Entry(index).Name << ": " << reason;
                                    }),
              7u);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(order.back(), "zuletzt.txt");
    for (int i = 0; i < 6; ++i) {
        const std::string name = "erst" + std::to_string(i) + ".txt";
        EXPECT_EQ(ReadFile(Out / name), ReadFile(Source / name)) << name;
    }
    EXPECT_EQ(ReadFile(Out / "zuletzt.txt"), ReadFile(Source / "zuletzt.txt"));
}

TEST_F(ReaderTest, UnsupportedMethodIsSkipped) {
    ASSERT_EQ(RunCommand("cd " + Quote(Dir.Path().string()) + " && python3 " + kPeers + " make b.zip src bzip2"), 0);
    ArchiveReader reader;
    reader.Open((Dir / "b.zip").string());
    reader.SetBaseDirectory(Out.string());
    std::string reason;
    EXPECT_FALSE(reader.ExtractAt(0, &reason));
    EXPECT_EQ(reason, "Cannot extract file - unsupported compression method");
}

TEST_F(ReaderTest, ExtractionStaysBelowTheBaseFolder) {
    const std::string script =
        "import zipfile\n"
        "with zipfile.ZipFile('evil.zip', 'w') as z:\n"
        "    for n in ['../evil.txt', '/abs.txt', 'a/../../b.txt', 'link/inner.txt', 'target.txt', 'ok/fine.txt']:\n"
        "        z.writestr(zipfile.ZipInfo(n), 'data')\n";
    WriteFile(Dir / "make.py", script);
    ASSERT_EQ(RunCommand("cd " + Quote(Dir.Path().string()) + " && python3 make.py"), 0);
    fs::create_directories(Dir / "elsewhere");
    fs::create_directory_symlink(Dir / "elsewhere", Out / "link");
    MakeFile(Dir / "elsewhere" / "victim.txt", "untouched");
    fs::create_symlink(Dir / "elsewhere" / "victim.txt", Out / "target.txt");

    ArchiveReader reader;
    reader.Open((Dir / "evil.zip").string());
    reader.SetBaseDirectory(Out.string());
    std::vector<bool> results;
    for (std::size_t i = 0; i < reader.Count(); ++i) results.push_back(reader.ExtractAt(i));
    EXPECT_EQ(results, (std::vector<bool>{false, false, false, true, true, true}));
    EXPECT_FALSE(fs::exists(Dir / "evil.txt"));
    // An existing folder link belongs to the target system and is followed.
    EXPECT_EQ(ReadFile(Dir / "elsewhere" / "inner.txt"), "data");
    EXPECT_EQ(ReadFile(Dir / "elsewhere" / "victim.txt"), "untouched");
    EXPECT_FALSE(fs::is_symlink(Out / "target.txt"));
    EXPECT_EQ(ReadFile(Out / "target.txt"), "data");
    EXPECT_EQ(ReadFile(Out / "ok" / "fine.txt"), "data");
}

TEST_F(ReaderTest, PasswordRequests) {
    const std::string archive = (Dir / "p.zip").string();
    // The encryption headers are random: write the archive until no wrong answer of the
    // cases below happens to pass an entry's check byte.
    for (int attempt = 0;; ++attempt) {
        ASSERT_LT(attempt, 20);
        fs::remove(archive);
        ArchiveWriter writer;
        writer.SetPassword("richtig");
        writer.Open(archive);
        writer.AddFiles((Source / "*.txt").string());
        writer.Close();
        if (!AnyPassesTheCheck(archive, {"a", "b", "c", "x", "y", "z", "falsch"})) break;
    }

    struct Case {
        const char* what;
        std::string known;
        std::vector<std::string> answers;  // what the user types, in order
        bool ok;
        std::size_t asked;
        const char* reason;
    } cases[] = {
        {"right at once", "", {"richtig"}, true, 1, ""},
        {"right at the third request", "", {"a", "b", "richtig"}, true, 3, ""},
        {"three wrong answers", "", {"a", "b", "c", "richtig"}, false, 3, "Cannot extract file - invalid password"},
        {"cancelled first request", "", {""}, false, 1, "Cannot extract file - invalid password"},
        {"known password is right", "richtig", {}, true, 0, ""},
        {"known password is wrong", "falsch", {"x", "y", "richtig"}, true, 3, ""},
        {"known wrong, three wrong", "falsch", {"x", "y", "z"}, false, 3, "Cannot extract file - invalid password"},
        {"empty further answer", "falsch", {""}, false, 1, "Process aborted by user"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Out);
        fs::create_directories(Out);
        ArchiveReader reader;
        reader.SetPassword(c.known);
        std::size_t asked = 0;
        reader.OnNeedPassword = [&](const std::string&) {
            return asked < c.answers.size() ? c.answers[asked++] : std::string();
        };
        reader.Open(archive);
        reader.SetBaseDirectory(Out.string());
        std::size_t liste = 0;
        while (!reader.Entry(liste).Name.ends_with("Liste.txt")) ++liste;
        std::string reason;
        EXPECT_EQ(reader.ExtractAt(liste, &reason), c.ok);
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(reason, c.reason);
        if (c.ok) {
            // The accepted password serves the next entries without asking.
            const std::size_t before = asked;
            for (std::size_t i = 0; i < reader.Count(); ++i) EXPECT_TRUE(reader.ExtractAt(i));
            EXPECT_EQ(asked, before);
            EXPECT_EQ(reader.Password(), "richtig");
        }
    }
}

TEST_F(ReaderTest, TimeAndReadOnlyAttributeAreRestored) {
    ::chmod((Source / "Liste.txt").c_str(), 0444);
    const std::string archive = (Dir / "t.zip").string();
    ArchiveWriter writer;
    writer.Open(archive);
    writer.AddFiles((Source / "*.txt").string());
    writer.Close();
    MakeFile(Out / fs::relative(Source / "Liste.txt", "/"), "old", 0);
    ArchiveReader reader;
    reader.Open(archive);
    reader.SetBaseDirectory(Out.string());
    for (std::size_t i = 0; i < reader.Count(); ++i) ASSERT_TRUE(reader.ExtractAt(i));
    const fs::path copy = Out / fs::relative(Source / "Liste.txt", "/");
    struct stat st{};
    ASSERT_EQ(::stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1710496800);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_EQ(ReadFile(copy), ReadFile(Source / "Liste.txt"));
}

}  // namespace
}  // namespace vb::test
