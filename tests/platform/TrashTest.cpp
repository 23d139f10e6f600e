// Moving a definition file to the freedesktop.org trash.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Trash.h"
#include "support/TempDir.h"

namespace vb {
namespace {

using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

TEST(TrashTest, MovesFilesIntoAHomeTrashThatDidNotExist) {
    TempDir dir;
    // XDG_DATA_HOME names a folder that does not exist yet.
    ScopedEnv dataHome("XDG_DATA_HOME", (dir / "data").string());
    std::filesystem::create_directory(dir / "Daten, alt");
    const auto first = dir / "Daten, alt" / "JobDef_2.csv";
    WriteFile(first, "eins");
    ASSERT_TRUE(platform::MoveToTrash(first.string()));
    EXPECT_FALSE(std::filesystem::exists(first));
    const auto trash = dir / "data" / "Trash";
    EXPECT_EQ(ReadFile(trash / "files" / "JobDef_2.csv"), "eins");
    const std::string info = ReadFile(trash / "info" / "JobDef_2.csv.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + dir.Path().string() + "/Daten%2C%20alt/JobDef_2.csv\nDeletionDate=", 0), 0u)
        << info;
    EXPECT_EQ(info.size(), info.find("DeletionDate=") + std::string("DeletionDate=2024-01-01T00:00:00\n").size());

    // The same name again is kept beside the first.
    WriteFile(first, "zwei");
    ASSERT_TRUE(platform::MoveToTrash(first.string()));
    EXPECT_EQ(ReadFile(trash / "files" / "JobDef_2.csv"), "eins");
    EXPECT_EQ(ReadFile(trash / "files" / "JobDef_2.2.csv"), "zwei");
    EXPECT_TRUE(std::filesystem::exists(trash / "info" / "JobDef_2.2.csv.trashinfo"));
    struct stat status {};
    ASSERT_EQ(::stat((trash / "files").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
}

TEST(TrashTest, RefusesFoldersAndMissingFiles) {
    TempDir dir;
    ScopedEnv dataHome("XDG_DATA_HOME", (dir / "data").string());
    std::filesystem::create_directory(dir / "folder");
    EXPECT_FALSE(platform::MoveToTrash((dir / "folder").string()));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
    EXPECT_FALSE(platform::MoveToTrash((dir / "missing.csv").string()));
    EXPECT_FALSE(platform::MoveToTrash(""));
    EXPECT_FALSE(std::filesystem::exists(dir / "data" / "Trash" / "info" / "missing.csv.trashinfo"));
}

TEST(TrashTest, FileOnAnotherFileSystemGoesToThatFileSystemsTrash) {
    struct stat tmp {}, shm {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(std::filesystem::temp_directory_path().c_str(), &tmp) != 0 ||
        tmp.st_dev == shm.st_dev) {
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    }
    TempDir home;
    ScopedEnv dataHome("XDG_DATA_HOME", (home / "data").string());
    char pattern[] = "/dev/shm/vbtrash-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::filesystem::path folder = pattern;
    const std::filesystem::path trash = "/dev/shm/.Trash-" + std::to_string(::getuid());
    const bool trashExisted = std::filesystem::exists(trash);
    const auto file = folder / "JobDef_9.csv";
    WriteFile(file, "neun");
    const bool moved = platform::MoveToTrash(file.string());
    // Find our entry whatever number it got, then clean up.
    std::string trashed, info;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(trash / "info", ec)) {
        const std::string text = ReadFile(entry.path());
        if (text.find("Path=" + folder.filename().string() + "/JobDef_9.csv\n") == std::string::npos) continue;
        info = text;
        const std::string name = entry.path().stem().string();
        trashed = ReadFile(trash / "files" / name);
        std::filesystem::remove(trash / "files" / name);
        std::filesystem::remove(entry.path());
    }
    std::filesystem::remove_all(folder);
    if (!trashExisted) std::filesystem::remove_all(trash);
    EXPECT_TRUE(moved);
    EXPECT_EQ(trashed, "neun");
    EXPECT_NE(info.find("[Trash Info]\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(home / "data" / "Trash" / "files" / "JobDef_9.csv"));
}

}  // namespace
}  // namespace vb
