#include "platform/ScratchFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TempDir.h"

namespace vb::platform {
namespace {

namespace fs = std::filesystem;

TEST(ScratchFolder, IsPrivateAndGoesWithItsFiles) {
    test::TempDir dir;
    std::string path;
    {
        const ScratchFolder scratch(dir.Path().string(), "vb-zweitkopie");
        path = scratch.Path();
        EXPECT_EQ(fs::path(path).filename().string().rfind(".vb-zweitkopie-", 0), 0u);
        struct stat st{};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        test::WriteFile(fs::path(path) / "Job_1.zip", "PK");
    }
    EXPECT_FALSE(fs::exists(path));
}

// What a killed run left goes; other names, links and files of such names stay.
TEST(ScratchFolder, StaleFoldersOfThePrefixAreRemoved) {
    test::TempDir dir;
    fs::create_directories(dir / ".vb-zweitkopie-a1B2c3");
    test::WriteFile(dir / ".vb-zweitkopie-a1B2c3/Job_1.zip", "PK");
    fs::create_directories(dir / ".vb-zweitkopie-lang-zu");
    fs::create_directories(dir / "ziel");
    fs::create_directory_symlink(dir / "ziel", dir / ".vb-zweitkopie-Link00");
    test::WriteFile(dir / ".vb-zweitkopie-Datei0", "");
    EXPECT_EQ(RemoveStaleScratchFolders(dir.Path().string(), "vb-zweitkopie"), 1);
    EXPECT_FALSE(fs::exists(dir / ".vb-zweitkopie-a1B2c3"));
    EXPECT_TRUE(fs::exists(dir / ".vb-zweitkopie-lang-zu"));
    EXPECT_TRUE(fs::is_symlink(dir / ".vb-zweitkopie-Link00"));
    EXPECT_TRUE(fs::exists(dir / ".vb-zweitkopie-Datei0"));
}

}  // namespace
}  // namespace vb::platform
