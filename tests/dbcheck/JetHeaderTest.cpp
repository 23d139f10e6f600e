#include "dbcheck/JetHeader.h"

#include <gtest/gtest.h>

#include "JetFixtures.h"
#include "util/Utf8.h"

namespace vb {
namespace {

using test::JetFixture;
using test::ReadFile;

TEST(JetHeaderTest, ReadsVersionAndPasswordOfTheRealDatabases) {
    struct Case {
        const char* file;
        JetVersion version;
        std::string password;  // UTF-8
    } cases[] = {
        {"jet4-pw-password.mdb", JetVersion::Jet4, "password"},
        {"jet4-pw-ucanaccess.mdb", JetVersion::Jet4, "ucanaccess"},
        {"jet4-nopw.mdb", JetVersion::Jet4, ""},
        {"jet3-nopw.mdb", JetVersion::Jet3, ""},
        {"jet3-encrypted-nopw.mdb", JetVersion::Jet3, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto header = ReadJetHeader(ReadFile(JetFixture(c.file)));
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(header->Version, c.version);
        const std::string stored = c.version == JetVersion::Jet4 ? utf8::fromUtf16le(header->StoredPassword)
                                                                  : header->StoredPassword;
        EXPECT_EQ(stored, c.password);
    }
}

TEST(JetHeaderTest, PasswordMustMatchExactlyUnlessTheDatabaseHasNone) {
    test::TempDir dir;
    test::WriteJetWithPassword("jet3-nopw.mdb", dir / "jet3.mdb", "Grün;=1");
    test::WriteJetWithPassword("jet4-nopw.mdb", dir / "jet4.mdb", "Grün;=1€");
    struct Case {
        std::string file;
        std::string given;
        bool matches;
    } cases[] = {
        {JetFixture("jet4-pw-password.mdb"), "password", true},
        {JetFixture("jet4-pw-password.mdb"), "Password", false},
        {JetFixture("jet4-pw-password.mdb"), "passwor", false},
        {JetFixture("jet4-pw-password.mdb"), "password ", false},
        {JetFixture("jet4-pw-password.mdb"), "", false},
        {JetFixture("jet4-pw-ucanaccess.mdb"), "ucanaccess", true},
        {JetFixture("jet4-nopw.mdb"), "", true},
        {JetFixture("jet4-nopw.mdb"), "beliebig", true},
        {JetFixture("jet3-nopw.mdb"), "pelnor", true},
        {dir / "jet3.mdb", "Grün;=1", true},
        {dir / "jet3.mdb", "grün;=1", false},
        {dir / "jet3.mdb", "Grün;=1€", false},
        {dir / "jet3.mdb", "Grůn;=1", false},  // ů is no Windows-1252 character
        {dir / "jet4.mdb", "Grün;=1€", true},
        {dir / "jet4.mdb", "Grün;=1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + " / " + c.given);
        const auto header = ReadJetHeader(ReadFile(c.file));
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(PasswordMatches(*header, c.given), c.matches);
    }
}

TEST(JetHeaderTest, RefusesWhatIsNoJet3OrJet4Database) {
    const std::string jet4 = ReadFile(JetFixture("jet4-nopw.mdb"));
    const std::string jet3 = ReadFile(JetFixture("jet3-nopw.mdb"));
    auto with = [](std::string page, std::size_t at, std::string bytes) { return page.replace(at, bytes.size(), bytes); };
    struct Case {
        const char* name;
        std::string page;
    } cases[] = {
        {"empty", ""},
        {"text", std::string(5000, 'x')},
        {"Jet 3 shorter than a page", jet3.substr(0, 2047)},
        {"Jet 4 with only a Jet 3 page", jet4.substr(0, 2048)},
        {"page type not 0", with(jet4, 0, "\x01")},
        {"ACE engine name", with(jet4, 4, "Standard ACE DB")},
        {"MSISAM engine name", with(jet4, 4, "MSISAM Database")},
        {"ACE version byte", with(jet4, 0x14, "\x02")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ReadJetHeader(c.page).has_value());
    }
    EXPECT_TRUE(ReadJetHeader(jet3.substr(0, 2048)).has_value()) << "one page is enough for Jet 3";
}

TEST(JetHeaderTest, CompressedJet4PasswordOpensWithNoPassword) {
    test::TempDir dir;
    // A password field that begins with FF FE, the compressed one-byte form.
    test::WriteJetWithPassword("jet4-nopw.mdb", dir / "c.mdb", "xabc");
    std::string file = ReadFile(dir / "c.mdb");
    ScrambleJetHeader(file, JetVersion::Jet4);
    double created = 0;
    std::memcpy(&created, file.data() + 0x72, sizeof created);
    const auto days = static_cast<std::uint32_t>(created);
    file[0x42] = static_cast<char>(0xFF ^ (days & 0xFF));
    file[0x43] = static_cast<char>(0xFE ^ ((days >> 8) & 0xFF));
    ScrambleJetHeader(file, JetVersion::Jet4);
    const auto header = ReadJetHeader(file);
    ASSERT_TRUE(header.has_value());
    EXPECT_TRUE(header->CompressedPassword);
    EXPECT_FALSE(PasswordMatches(*header, ""));
    EXPECT_FALSE(PasswordMatches(*header, "abc"));
}

}  // namespace
}  // namespace vb
