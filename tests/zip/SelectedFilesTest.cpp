#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"
#include "zip/EntryName.h"
#include "zip/SelectedFiles.h"

namespace vb::zip {
namespace {

void ExpectEveryFileAsAdded(const std::string& scratchFolder, std::size_t limit);

// Every file comes back as it was added: runs of one folder, a folder left and met
// again, a device change within a folder, a path without a folder, a last name too
// long for a run, and more files than one block holds, with runs across its end.
// So it does with its full blocks in memory, in a scratch file, and when the scratch
// file cannot be made; also when two threads ask at once, one in order, one backwards.
TEST(SelectedFiles, GivesBackEveryFileAsAdded) {
    test::TempDir dir;
    const struct {
        const char* name;
        std::string folder;
        std::size_t limit;
    } cases[] = {
        {"in memory", "", SelectedFiles::kMemoryLimit},
        {"scratch file", dir.Path().string(), 0},
        {"no scratch file", (dir / "fehlt").string(), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectEveryFileAsAdded(c.folder, c.limit);
    }
}

void ExpectEveryFileAsAdded(const std::string& scratchFolder, std::size_t limit) {
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
    SelectedFiles files(scratchFolder, limit);
    for (const Added& a : added) files.Add(a.Path, a.Folder, a.Device, a.Inode);
    files.Trim();
    ASSERT_EQ(files.Size(), added.size());
    files.ReadAhead(0);
    std::vector<std::string> inOrder(added.size());
    std::thread worker([&] {
        for (std::size_t i = 0; i < added.size(); ++i) inOrder[i] = files.At(i).Path;
    });
    std::string scratch;
    for (std::size_t i = added.size(); i-- > 0;) {
        SCOPED_TRACE(i);
        const SelectedFiles::File f = files.At(i);
        EXPECT_EQ(f.Path, added[i].Path);
        EXPECT_EQ(f.Folder, added[i].Folder);
        EXPECT_EQ(f.Device, added[i].Device);
        EXPECT_EQ(f.Inode, added[i].Inode);
        EXPECT_EQ(files.PathOf(i, scratch), added[i].Path);
        EXPECT_EQ(files.NameOf(i, scratch), StoredNameFromPath(added[i].Path, added[i].Folder));
    }
    worker.join();
    for (std::size_t i = 0; i < added.size(); ++i) EXPECT_EQ(inOrder[i], added[i].Path) << i;
    files.Clear();
    EXPECT_TRUE(files.Empty());
    files.Add("/neu.txt", false, 1, 1);
    EXPECT_EQ(files.At(0).Path, "/neu.txt");
}

}  // namespace
}  // namespace vb::zip
