#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "ArchiveTestSupport.h"
#include "backup/archive/FileSelector.h"

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
    const zip::FileIdentity archive{self.st_dev, self.st_ino};

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
        zip::SelectFiles(" " + (root / c.mask).string() + " ", c.recursive, archive, [&](const zip::SelectedItem& item) {
            std::string rel = item.Path.substr(root.string().size() + 1);
            depth.push_back(std::count(rel.begin(), rel.end(), '/'));
            if (item.Folder) rel += "/";
            got.push_back(rel);
        });
        // A folder's own matches come before those of its subfolders.
        EXPECT_TRUE(std::is_sorted(depth.begin(), depth.end()));
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, c.expected);
    }
}

}  // namespace
}  // namespace vb::test
