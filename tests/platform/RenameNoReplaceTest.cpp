#include "platform/RenameNoReplace.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

TEST(RenameNoReplaceTest, MovesOnlyOntoAFreeName) {
    test::TempDir dir;
    const fs::path a = dir / "a.zip", b = dir / "b.zip", c = dir / "c.zip", folder = dir / "d.zip";
    WriteFile(a, "A");
    WriteFile(b, "B");
    fs::create_directory(folder);

    EXPECT_FALSE(platform::RenameNoReplace(a, b));
    EXPECT_EQ(ReadFile(a), "A");
    EXPECT_EQ(ReadFile(b), "B");

    EXPECT_FALSE(platform::RenameNoReplace(a, folder));
    EXPECT_EQ(ReadFile(a), "A");
    EXPECT_TRUE(fs::is_directory(folder));

    fs::create_symlink(dir / "nirgends", dir / "dangling.zip");
    EXPECT_FALSE(platform::RenameNoReplace(a, dir / "dangling.zip"));
    EXPECT_EQ(ReadFile(a), "A");

    EXPECT_TRUE(platform::RenameNoReplace(a, c));
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(ReadFile(c), "A");

    EXPECT_FALSE(platform::RenameNoReplace(a, dir / "e.zip")) << "source is gone";
    EXPECT_FALSE(fs::exists(dir / "e.zip"));
}

}  // namespace
}  // namespace vb
