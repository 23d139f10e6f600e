#include "dbcheck/DBPassword.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "platform/RegistryStore.h"
#include "platform/RegistryWholeString.h"
#include "support/TempDir.h"
#include "util/Error.h"
#include "util/Utf8.h"

namespace vb {
namespace {

using test::ReadFile;
using test::WriteFile;
constexpr auto HKCU = RegistryRoot::CurrentUser;

// The XOR of each byte with "Marlon Quisty", worked out by hand for the checks.
std::string Xor(const std::string& bytes) {
    static const std::string key = "Marlon Quisty";
    std::string out = bytes;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(out[i] ^ key.at(i));
    return out;
}

TEST(ScrambleTextTest, XorsEachAnsiByteWithTheKeyAndUndoesItself) {
    EXPECT_EQ(ScrambleText("pelnor"), Xor("pelnor"));
    // 'o' meets the 'o' of "Marlon": the scrambled default holds a NUL.
    EXPECT_EQ(ScrambleText("pelnor"), std::string("=\x04\x1e\x02\x00\x1c", 6));
    EXPECT_EQ(ScrambleText(""), "");
    for (const std::string text : {"pelnor", "a", "13 Zeichen!!!", "xz857", "Marlon Quisty", "Z"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ScrambleText(ScrambleText(text)), text);
    }
    // A byte equal to the key byte becomes a NUL inside the text.
    EXPECT_EQ(ScrambleText("Max"), std::string("\0\0", 2) + static_cast<char>('x' ^ 'r'));
    // Non-ASCII: Windows-1252 bytes scrambled, the result read back through that code
    // page (0xE4 ^ 'M' = 0xA9, the copyright sign); a character it lacks becomes '?'.
    EXPECT_EQ(ScrambleText("ä"), "©");
    EXPECT_EQ(ScrambleText("ů"), std::string(1, '?' ^ 'M'));
}

TEST(ScrambleTextTest, MoreThanThirteenBytesIsARangeError) {
    EXPECT_NO_THROW(ScrambleText("1234567890123"));
    EXPECT_EQ(ScrambleText(ScrambleText("äääääääääääää")), "äääääääääääää") << "13 letters in 26 UTF-8 bytes";
    for (const std::string& text : {std::string("12345678901234"), std::string("ääääääääääääää"), std::string(300, 'a')}) {
        SCOPED_TRACE(text);
        try {
            ScrambleText(text);
            ADD_FAILURE() << "no error";
        } catch (const RangeError& e) {
            EXPECT_STREQ(e.what(), "Fehler bei Bereichsprüfung");
        }
    }
}

// A store file whose DBPWD has the given data (the text right of '=').
std::string StoreWith(const std::string& data) {
    return "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix2000]\n\"DBPWD\"=" + data +
           "\n";
}

// "hex(2):..." data of a text, as regedit writes an expandable string.
std::string ExpandableData(const std::string& text) {
    std::string bytes = utf8::toUtf16le(text) + std::string(2, '\0');
    std::string data = "hex(2):";
    char buffer[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
        data += (i ? "," : "") + std::string(buffer);
    }
    return data;
}

class GetDBPasswordTest : public ::testing::Test {
protected:
    std::optional<std::string> Stored() const { return FStore.ReadString(HKCU, kProductKey, kPasswordValue); }
    test::TempDir FDir;
    RegistryStore FStore{FDir / "registry.reg"};
};

TEST_F(GetDBPasswordTest, NothingUsableStoredWritesTheScrambledDefault) {
    struct Case {
        const char* name;
        std::function<void(RegistryStore&)> prepare;
    } cases[] = {
        {"no key", [](RegistryStore&) {}},
        {"key without value", [](RegistryStore& s) { s.CreateKey(HKCU, kProductKey); }},
        {"empty value", [](RegistryStore& s) { s.WriteString(kProductKey, kPasswordValue, ""); }},
        {"number", [](RegistryStore& s) { s.WriteDword(kProductKey, kPasswordValue, 4711); }},
        {"string list", [](RegistryStore& s) { WriteFile(s.Path(), StoreWith("hex(7):61,00,00,00,00,00")); }},
        {"binary", [](RegistryStore& s) { WriteFile(s.Path(), StoreWith("hex:3d,04,1e")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        RegistryStore store(dir / "registry.reg");
        c.prepare(store);
        EXPECT_EQ(GetDBPassword(store), "pelnor");
        EXPECT_EQ(ReadWholeString(store, HKCU, kProductKey, kPasswordValue), Xor("pelnor"));
        EXPECT_FALSE(store.ReadDword(HKCU, kProductKey, kPasswordValue).has_value());
        EXPECT_EQ(GetDBPassword(store), "pelnor") << "the second lookup reads the stored default";
    }
}

TEST_F(GetDBPasswordTest, StoredTextIsUnscrambledAndLeftAlone) {
    struct Case {
        const char* name;
        std::string stored;
        std::string expected;
    } cases[] = {
        {"product password", Xor("geheim"), "geheim"},
        {"number-looking text is text", "4711", Xor("4711")},
        {"exactly 13 bytes", Xor("Dreizehn13Byt"), "Dreizehn13Byt"},
        {"non-ASCII", ScrambleText("Grüße"), "Grüße"},
        // A password character equal to the key character scrambles to NUL; the
        // whole text still comes back.
        {"NUL inside", ScrambleText("xyrzz"), "xyrzz"},
        {"NUL first", ScrambleText("Mx"), "Mx"},
        {"all NUL", ScrambleText("Marlon"), "Marlon"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FStore.WriteString(kProductKey, kPasswordValue, c.stored);
        const std::string before = ReadFile(FStore.Path());
        EXPECT_EQ(GetDBPassword(FStore), c.expected);
        EXPECT_EQ(ReadFile(FStore.Path()), before);
    }
}

TEST_F(GetDBPasswordTest, ExpandableStringIsTakenWithoutExpanding) {
    WriteFile(FStore.Path(), StoreWith(ExpandableData(ScrambleText("%HOME%"))));
    EXPECT_EQ(GetDBPassword(FStore), "%HOME%");
    WriteFile(FStore.Path(), StoreWith(ExpandableData(ScrambleText("pelnor"))));
    EXPECT_EQ(GetDBPassword(FStore), "pelnor") << "with the NUL inside";
}

TEST_F(GetDBPasswordTest, StoredTextOfFourteenBytesIsARangeErrorAndWritesNothing) {
    FStore.WriteString(kProductKey, kPasswordValue, "14 Bytes lang!");
    const std::string before = ReadFile(FStore.Path());
    try {
        GetDBPassword(FStore);
        ADD_FAILURE() << "no error";
    } catch (const RangeError& e) {
        EXPECT_STREQ(e.what(), "Fehler bei Bereichsprüfung");
    }
    EXPECT_EQ(ReadFile(FStore.Path()), before);
}

TEST_F(GetDBPasswordTest, KeyThatCannotBeCreatedGivesTheEmptyPassword) {
    WriteFile(FDir / "datei", "");
    RegistryStore store(FDir / "datei/vorlix-backup/registry.reg");  // below a file
    EXPECT_EQ(GetDBPassword(store), "");
}

TEST_F(GetDBPasswordTest, DefaultThatCannotBeWrittenIsARegistryError) {
    // The store takes its lock file before every write; a folder in its place makes
    // every write fail, while reading still works.
    const std::filesystem::path lock = FStore.Path().string() + ".lock";
    FStore.WriteString(kProductKey, kPasswordValue, Xor("geheim"));
    std::filesystem::remove(lock);
    std::filesystem::create_directory(lock);
    EXPECT_EQ(GetDBPassword(FStore), "geheim") << "a usable value needs no write";

    std::filesystem::remove(lock);
    FStore.WriteDword(kProductKey, kPasswordValue, 1);
    std::filesystem::remove(lock);
    std::filesystem::create_directory(lock);
    EXPECT_THROW(GetDBPassword(FStore), RegistryError);
    std::filesystem::remove(lock);
    EXPECT_EQ(FStore.ReadDword(HKCU, kProductKey, kPasswordValue), 1u) << "the stored value stays as it was";
}

}  // namespace
}  // namespace vb
