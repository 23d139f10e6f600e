#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "ArchiveTestSupport.h"
#include "zip/FileSelector.h"
#include "platform/FileSystems.h"

namespace vb::test {
namespace {

namespace fs = std::filesystem;

TEST(Selection, HiddenFilesFoldersLinksAndSpecialFiles) {
    TempDir dir;
    const fs::path root = dir / "root";
    MakeFile(root / "a.txt", "a");
    MakeFile(root / ".hidden.txt", "h");
    MakeFile(root / "Sub" / "b.TXT", "b");
    MakeFile(root / "Sub" / "Deep" / "c.txt", "c");
    fs::create_directory_symlink(root / "Sub", root / "LinkToSub");
    fs::create_symlink(root / "a.txt", root / "link.txt");
    fs::create_symlink(root / "missing", root / "dangling.txt");
    ASSERT_EQ(::mkfifo((root / "pipe.txt").c_str(), 0600), 0);
    MakeFile(root / "archive.txt", "the archive itself");
    struct stat self{};
    ::stat((root / "archive.txt").c_str(), &self);
    zip::SelectionHandlers handlers;
    handlers.Excluded = [&](const std::string&, const platform::FileStatus& status) {
        return status.Device == self.st_dev && status.Inode == self.st_ino;
    };

    struct Case {
        const char* what;
        const char* mask;
        bool recursive;
        std::vector<std::string> expected;  // relative to root, folders end in "/"
    } cases[] = {
        {"flat", "*.txt", false, {".hidden.txt", "a.txt", "link.txt"}},
        {"recursive", "*.txt", true, {".hidden.txt", "Sub/Deep/c.txt", "Sub/b.TXT", "a.txt", "link.txt"}},
        {"folders without recursion", "*.*", false,
         {".hidden.txt", "Sub/", "a.txt", "link.txt"}},
        {"nothing", "*.none", true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> got;
        std::vector<std::size_t> depth;
        handlers.Found = [&](const zip::SelectedItem& item) {
            std::string rel = item.Path.substr(root.string().size() + 1);
            depth.push_back(std::count(rel.begin(), rel.end(), '/'));
            if (item.Folder) rel += "/";
            got.push_back(rel);
        };
        zip::SelectFiles(" " + (root / c.mask).string() + " ", c.recursive, handlers);
        // A folder's own matches come before those of its subfolders.
        EXPECT_TRUE(std::is_sorted(depth.begin(), depth.end()));
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, c.expected);
    }
}

struct Selection {
    std::vector<std::string> Found;    // relative to the root, folders end in "/"
    std::vector<std::string> Skipped;  // relative to the root, with the reason's first letter
};

Selection Select(const fs::path& root, const std::string& mask, bool recursive) {
    Selection s;
    zip::SelectionHandlers handlers;
    auto relative = [&root](const std::string& path) { return path.substr(root.string().size() + 1); };
    handlers.Found = [&](const zip::SelectedItem& item) { s.Found.push_back(relative(item.Path) + (item.Folder ? "/" : "")); };
    handlers.Skipped = [&](const std::string& path, zip::SkipReason reason) {
        s.Skipped.push_back((reason == zip::SkipReason::FolderUnreadable ? "F " : "L ") + relative(path));
    };
    zip::SelectFiles((root / mask).string(), recursive, handlers);
    std::sort(s.Found.begin(), s.Found.end());
    std::sort(s.Skipped.begin(), s.Skipped.end());
    return s;
}

// A folder that cannot be listed is reported, not taken silently for an empty one.
TEST(Selection, UnreadableFolderIsReported) {
    TempDir dir;
    const fs::path root = dir / "root";
    MakeFile(root / "a.txt", "a");
    MakeFile(root / "Gesperrt" / "b.txt", "b");
    fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
    fs::permissions(root / "Gesperrt", fs::perms::none);
    AsNobody nobody;
    const Selection s = Select(root, "*", true);
    EXPECT_EQ(s.Found, (std::vector<std::string>{"Gesperrt/", "a.txt"}));
    EXPECT_EQ(s.Skipped, std::vector<std::string>{"F Gesperrt"});
}

// Links to files: the running user's (or root's) are followed wherever they point;
// another user's only to a file inside the searched folder.
TEST(Selection, LinksOfOtherUsersAreFollowedOnlyInsideTheFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a link to another user needs root";
    TempDir dir;
    const fs::path root = dir / "root";
    MakeFile(root / "Sub" / "intern.txt", "inside");
    MakeFile(dir / "geheim.txt", "outside");
    const struct {
        const char* link;
        fs::path target;
        uid_t owner;
    } links[] = {
        {"fremd-aussen.txt", dir / "geheim.txt", 65534},
        {"fremd-innen.txt", root / "Sub" / "intern.txt", 65534},
        {"fremd-relativ.txt", "Sub/intern.txt", 65534},
        {"fremd-hinaus.txt", "Sub/../../geheim.txt", 65534},
        {"eigen-aussen.txt", dir / "geheim.txt", 0},
    };
    for (const auto& l : links) {
        fs::create_symlink(l.target, root / l.link);
        ASSERT_EQ(::lchown((root / l.link).c_str(), l.owner, l.owner), 0);
    }
    const Selection s = Select(root, "*.txt", true);
    EXPECT_EQ(s.Found, (std::vector<std::string>{"Sub/intern.txt", "eigen-aussen.txt", "fremd-innen.txt", "fremd-relativ.txt"}));
    EXPECT_EQ(s.Skipped, (std::vector<std::string>{"L fremd-aussen.txt", "L fremd-hinaus.txt"}));
}

TEST(Selection, PseudoFileSystemsAreNeverEntered) {
    TempDir dir;
    MakeFile(dir / "a.txt", "a");
    EXPECT_FALSE(platform::IsPseudoFileSystem(dir.Path().string()));
    for (const char* folder : {"/proc", "/proc/self", "/sys", "/sys/kernel"}) {
        SCOPED_TRACE(folder);
        if (!fs::exists(folder)) continue;
        EXPECT_TRUE(platform::IsPseudoFileSystem(folder));
        EXPECT_EQ(Select(folder, "*", false).Found, std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace vb::test
