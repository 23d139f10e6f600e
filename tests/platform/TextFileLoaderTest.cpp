#include "platform/TextFileLoader.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "util/Error.h"

namespace vb {
namespace {

TEST(TextFileLoader, ByteOrderMarksLineEndsAndZeroUnits) {
    using Lines = std::vector<std::string>;
    const struct {
        const char* name;
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"log as written", std::string("a\0 \0\xFC\0\r\0\n\0b\0\r\0\n\0", 16), Lines{"a ü", "b"}},
        {"little-endian mark", std::string("\xFF\xFEx\0\n\0y\0", 8), Lines{"x", "y"}},
        {"big-endian mark", std::string("\xFE\xFF\0x\0\r\0y", 8), Lines{"x", "y"}},
        {"stops at a zero unit", std::string("a\0\0\0b\0", 6), Lines{"a"}},
        {"odd last byte becomes a unit", std::string("a\0b", 3), Lines{"ab"}},
        {"empty", std::string(), Lines{}},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteFile(dir / "f.log", c.bytes);
        EXPECT_EQ(LoadTextFile(dir / "f.log"), c.lines);
    }
    EXPECT_THROW(LoadTextFile(dir / "missing.log"), Error);
    std::filesystem::create_directory(dir / "folder.log");
    try {
        LoadTextFile(dir / "folder.log");
        ADD_FAILURE() << "a folder was read";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Die Datei " + (dir / "folder.log").string() + " kann nicht gelesen werden.");
    }
}

}  // namespace
}  // namespace vb
