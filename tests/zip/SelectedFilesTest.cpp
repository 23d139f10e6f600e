#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zip/EntryName.h"
#include "zip/SelectedFiles.h"

namespace vb::zip {
namespace {

// Every file comes back as it was added: runs of one folder, a folder left and met
// again, a device change within a folder, a path without a folder, a last name too
// long for a run, and more files than one block holds, with runs across its end.
TEST(SelectedFiles, GivesBackEveryFileAsAdded) {
    struct Added {
        std::string Path;
        bool Folder;
        std::uint64_t Device, Inode;
    };
    std::vector<Added> added = {
        {"/daten/", true, 1, 10},
        {"/daten/a.txt", false, 1, 11},
        {"/daten/Unter/", true, 1, 12},
        {"/daten/Unter/b.txt", false, 1, 13},
        {"/daten/c.txt", false, 1, 14},
        {"/daten/c2.txt", false, 2, 15},
        {"ohne-ordner.txt", false, 1, 16},
        {"/daten/" + std::string(70000, 'x'), false, 1, 17},
        {"/daten/d.txt", false, 1, 18},
    };
    for (std::uint64_t i = 0; i < 2 * SelectedFiles::kBlockFiles + 5; ++i) {
        const std::string folder = "/daten/Ordner" + std::to_string(i / 1000) + "/";
        added.push_back({folder + "f" + std::to_string(i) + ".txt", false, 3, 100 + i});
    }
    SelectedFiles files;
    for (const Added& a : added) files.Add(a.Path, a.Folder, a.Device, a.Inode);
    files.Trim();
    ASSERT_EQ(files.Size(), added.size());
    std::string scratch;
    for (std::size_t i = 0; i < added.size(); ++i) {
        SCOPED_TRACE(i);
        const SelectedFiles::File f = files.At(i);
        EXPECT_EQ(f.Path, added[i].Path);
        EXPECT_EQ(f.Folder, added[i].Folder);
        EXPECT_EQ(f.Device, added[i].Device);
        EXPECT_EQ(f.Inode, added[i].Inode);
        EXPECT_EQ(files.PathOf(i, scratch), added[i].Path);
        EXPECT_EQ(files.NameOf(i, scratch), StoredNameFromPath(added[i].Path, added[i].Folder));
    }
    files.Clear();
    EXPECT_TRUE(files.Empty());
    files.Add("/neu.txt", false, 1, 1);
    EXPECT_EQ(files.At(0).Path, "/neu.txt");
}

}  // namespace
}  // namespace vb::zip
