#include "platform/ScratchFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
        EXPECT_EQ(fs::path(path).filename().string().rfind(".vb-zweitkopie-" + std::to_string(::getpid()) + "-", 0), 0u);
        struct stat st{};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        test::WriteFile(fs::path(path) / "Job_1.zip", "PK");
    }
    EXPECT_FALSE(fs::exists(path));
}

// What a killed run left goes; a folder whose process runs, other names, links and
// files of such names stay. (No process has the id 999999999: it is above pid_max.)
TEST(ScratchFolder, StaleFoldersOfThePrefixAreRemoved) {
    test::TempDir dir;
    const std::string running = ".vb-zweitkopie-" + std::to_string(::getpid()) + "-a1B2c3";
    for (const std::string& name : {std::string(".vb-zweitkopie-999999999-a1B2c3"), running, std::string(".vb-zweitkopie-lang-zu")}) {
        fs::create_directories(dir / name);
        test::WriteFile(dir / name / "Job_1.zip", "PK");
    }
    fs::create_directories(dir / "ziel");
    fs::create_directory_symlink(dir / "ziel", dir / ".vb-zweitkopie-999999999-Link00");
    test::WriteFile(dir / ".vb-zweitkopie-999999999-Datei0", "");
    EXPECT_EQ(RemoveStaleScratchFolders(dir.Path().string(), "vb-zweitkopie"), 1);
    EXPECT_FALSE(fs::exists(dir / ".vb-zweitkopie-999999999-a1B2c3"));
    EXPECT_TRUE(fs::exists(dir / running / "Job_1.zip"));
    EXPECT_TRUE(fs::exists(dir / ".vb-zweitkopie-lang-zu"));
    EXPECT_TRUE(fs::is_symlink(dir / ".vb-zweitkopie-999999999-Link00"));
    EXPECT_TRUE(fs::exists(dir / ".vb-zweitkopie-999999999-Datei0"));
}

}  // namespace
}  // namespace vb::platform
