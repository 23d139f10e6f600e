// The one rule for links on the way to a folder, walked with descriptors: links of
// root and of this user are followed, links of anyone else are not, and what is
// opened is the folder that was judged.
#include "platform/PathWalk.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/OpenWatch.h"
#include "support/TempDir.h"

namespace vb::platform {
namespace {

namespace fs = std::filesystem;

// The folder an open descriptor stands for, as the kernel names it.
std::string PathOf(const UniqueFd& fd) {
    return fs::read_symlink("/proc/self/fd/" + std::to_string(fd.Get())).string();
}

void LinkOwnedBy(const fs::path& target, const fs::path& link, uid_t owner) {
    fs::create_symlink(target, link);
    ASSERT_EQ(::lchown(link.c_str(), owner, owner), 0);
}

TEST(PathWalkTest, LinksOfRootAndThisUserAreFollowedOthersNot) {
    if (::geteuid() != 0) GTEST_SKIP() << "links of another user can only be made by root";
    test::TempDir dir;
    const fs::path root = fs::canonical(dir.Path());
    fs::create_directories(root / "echt/innen");
    test::WriteFile(root / "datei", "x");
    LinkOwnedBy(root / "echt", root / "von-root", 0);
    LinkOwnedBy("echt", root / "relativ", 0);
    LinkOwnedBy(root / "echt", root / "fremd", 65534);
    LinkOwnedBy(root / "fehlt", root / "ins-leere", 0);
    LinkOwnedBy(root / "datei", root / "auf-datei", 0);
    LinkOwnedBy(root / "schleife", root / "schleife", 0);
    LinkOwnedBy(root / "fremd", root / "ueber-fremd", 0);

    struct Case {
        std::string Path;
        WalkProblem Problem;
        std::string Opened;  // the folder reached, or where the walk stopped
    };
    const std::string r = root.string();
    const Case cases[] = {
        {r + "/echt/innen", WalkProblem::None, r + "/echt/innen"},
        {r + "//echt/./innen/", WalkProblem::None, r + "/echt/innen"},
        {r + "/echt/innen/../innen", WalkProblem::None, r + "/echt/innen"},
        {r + "/von-root/innen", WalkProblem::None, r + "/echt/innen"},
        {r + "/relativ/innen", WalkProblem::None, r + "/echt/innen"},
        {r + "/fremd/innen", WalkProblem::ForeignLink, r + "/fremd"},
        {r + "/ueber-fremd/innen", WalkProblem::ForeignLink, r + "/fremd"},
        {r + "/ins-leere", WalkProblem::NotAFolder, r + "/ins-leere"},
        {r + "/auf-datei/x", WalkProblem::NotAFolder, r + "/auf-datei"},
        {r + "/datei", WalkProblem::NotAFolder, r + "/datei"},
        {r + "/fehlt/x", WalkProblem::Missing, r + "/fehlt"},
        {r + "/schleife", WalkProblem::TooManyLinks, r + "/schleife"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Path);
        const WalkResult walked = OpenFolder(c.Path);
        EXPECT_EQ(walked.Problem, c.Problem);
        if (walked.Ok()) {
            EXPECT_EQ(PathOf(walked.Fd), c.Opened);
        } else {
            EXPECT_EQ(walked.Where, c.Opened);
            EXPECT_FALSE(walked.Fd.Valid());
        }
    }
    const WalkResult foreign = OpenFolder(r + "/fremd/innen");
    EXPECT_EQ(WalkProblemText(foreign), "Der Pfad " + r +
                                            "/fremd ist eine Verknüpfung eines anderen Benutzers (Eigentümer 65534) "
                                            "und wird nicht verfolgt.");
}

// A file the search found is opened again by its path, straight or through the links
// the search judged, and never once the path leads elsewhere: then the file it leads
// to is not even opened.
TEST(PathWalkTest, AFoundFileIsOpenedOnlyWhileThePathLeadsToIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "links of another user can only be made by root";
    test::TempDir dir;
    const fs::path root = fs::canonical(dir.Path());
    fs::create_directories(root / "innen");
    test::WriteFile(root / "innen/zeugnis.txt", "Zeugnis");
    test::WriteFile(root / "geheim.txt", "geheim");
    LinkOwnedBy(root / "innen/zeugnis.txt", root / "verweis", 65534);
    LinkOwnedBy(root / "innen", root / "ordner", 65534);
    const auto status = StatPath((root / "innen/zeugnis.txt").string(), false);
    ASSERT_TRUE(status);

    const std::pair<fs::path, bool> cases[] = {
        {root / "innen/zeugnis.txt", true},
        {root / "verweis", true},
        {root / "ordner/zeugnis.txt", true},
        {root / "geheim.txt", false},
        {root / "innen", false},
        {root / "fehlt.txt", false},
    };
    for (const auto& [path, opened] : cases) {
        SCOPED_TRACE(path);
        const FoundFile found = OpenFoundFile(path.string(), status->Device, status->Inode, O_RDONLY);
        ASSERT_EQ(found.Fd.Valid(), opened);
        if (!opened) continue;
        EXPECT_EQ(found.Status.Inode, status->Inode);
        char text[16] = {};
        EXPECT_EQ(::read(found.Fd.Get(), text, sizeof text), 7);
        EXPECT_STREQ(text, "Zeugnis");
    }

    // The user points the link elsewhere after the search.
    fs::remove(root / "verweis");
    LinkOwnedBy(root / "geheim.txt", root / "verweis", 65534);
    const test::OpenWatch watch((root / "geheim.txt").string());
    ASSERT_TRUE(watch.Watching());
    if (watch.SeesPathDescriptors()) GTEST_SKIP() << "this kernel reports O_PATH descriptors as opened";
    EXPECT_FALSE(OpenFoundFile((root / "verweis").string(), status->Device, status->Inode, O_RDONLY).Fd.Valid());
    EXPECT_FALSE(watch.OpenedSince());
    // The watch sees a real open.
    { const UniqueFd opened(::open((root / "geheim.txt").c_str(), O_RDONLY | O_CLOEXEC)); }
    EXPECT_TRUE(watch.OpenedSince());
}

// The owner of a link is what counts, not where it points: this user's own links are
// followed for a user that is not root.
TEST(PathWalkTest, AUserFollowsOwnLinksButNotThoseOfAnother) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
    test::TempDir dir;
    const fs::path root = fs::canonical(dir.Path());
    fs::permissions(root, fs::perms::all);
    fs::create_directories(root / "ziel");
    LinkOwnedBy(root / "ziel", root / "eigen", 65534);
    LinkOwnedBy(root / "ziel", root / "von-daemon", 1);
    ASSERT_EQ(::setegid(65534), 0);
    ASSERT_EQ(::seteuid(65534), 0);
    const WalkResult own = OpenFolder((root / "eigen").string());
    const WalkResult other = OpenFolder((root / "von-daemon").string());
    ASSERT_EQ(::seteuid(0), 0);
    ASSERT_EQ(::setegid(0), 0);
    EXPECT_TRUE(own.Ok());
    EXPECT_EQ(other.Problem, WalkProblem::ForeignLink);
    EXPECT_EQ(other.LinkOwner, 1u);
}

// A folder created and opened in one step: it is made where the walk stands, and a
// link that is there instead is judged like any other.
TEST(PathWalkTest, CreatingASubfolderMakesItOrJudgesWhatIsThere) {
    test::TempDir dir;
    const fs::path root = fs::canonical(dir.Path());
    const WalkResult top = OpenFolder(root.string());
    ASSERT_TRUE(top.Ok());
    bool created = false;
    const WalkResult made = OpenOrCreateSubfolder(top.Fd.Get(), "neu", root.string(), 0700, created);
    ASSERT_TRUE(made.Ok());
    EXPECT_TRUE(created);
    EXPECT_EQ(PathOf(made.Fd), (root / "neu").string());
    EXPECT_EQ(fs::status(root / "neu").permissions() & fs::perms::all, fs::perms::owner_all);
    const WalkResult again = OpenOrCreateSubfolder(top.Fd.Get(), "neu", root.string(), 0700, created);
    ASSERT_TRUE(again.Ok());
    EXPECT_FALSE(created);

    if (::geteuid() != 0) return;
    fs::create_directories(root / "woanders");
    LinkOwnedBy(root / "woanders", root / "gepflanzt", 65534);
    const WalkResult planted = OpenOrCreateSubfolder(top.Fd.Get(), "gepflanzt", root.string(), 0700, created);
    EXPECT_EQ(planted.Problem, WalkProblem::ForeignLink);
    EXPECT_FALSE(created);
}

// Walking needs the right to search the folders on the way, not to list them.
TEST(PathWalkTest, SearchRightIsEnoughAndItsLackIsNamed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    test::TempDir dir;
    const fs::path root = fs::canonical(dir.Path());
    fs::permissions(root, fs::perms::all);
    fs::create_directories(root / "nur-suchen/innen");
    fs::create_directories(root / "zu/innen");
    ::chmod((root / "nur-suchen").c_str(), 0711);
    ::chmod((root / "zu").c_str(), 0700);
    ASSERT_EQ(::seteuid(65534), 0);
    const WalkResult searchable = OpenFolder((root / "nur-suchen/innen").string());
    const WalkResult closed = OpenFolder((root / "zu/innen").string());
    ASSERT_EQ(::seteuid(0), 0);
    EXPECT_TRUE(searchable.Ok());
    EXPECT_EQ(closed.Problem, WalkProblem::Failed);
    EXPECT_EQ(closed.Where, (root / "zu/innen").string());
    EXPECT_NE(WalkProblemText(closed).find("kann nicht geöffnet werden: "), std::string::npos)
        << WalkProblemText(closed);
}

}  // namespace
}  // namespace vb::platform
