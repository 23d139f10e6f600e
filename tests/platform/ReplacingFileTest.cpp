#include "platform/ReplacingFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "support/AsNobody.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace vb {
namespace {

namespace fs = std::filesystem;
using platform::ReplacingFile;
using test::ReadFile;
using test::WriteFile;

std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Lowers the largest file size this process may write for the life of the object;
// a write beyond it fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &FOld);
        FPrevious = ::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{bytes, FOld.rlim_max};
        FSet = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &FOld);
        ::signal(SIGXFSZ, FPrevious);
    }
    bool Set() const { return FSet; }

private:
    rlimit FOld{};
    sighandler_t FPrevious = SIG_DFL;
    bool FSet = false;
};

TEST(ReplacingFileTest, TargetChangesOnlyByASuccessfulCommit) {
    struct Case {
        const char* name;
        std::optional<std::string> old;  // the target before, if any
        bool commit;
        ReplacingFile::Placing placing;
        int error;             // what Commit returns
        std::string expected;  // the target afterwards
    };
    const Case cases[] = {
        {"replaces the old file", "alt", true, ReplacingFile::Placing::Replace, 0, "neu"},
        {"creates a missing file", std::nullopt, true, ReplacingFile::Placing::Replace, 0, "neu"},
        {"no-replace takes a free name", std::nullopt, true, ReplacingFile::Placing::NoReplace, 0, "neu"},
        {"no-replace leaves an existing file", "alt", true, ReplacingFile::Placing::NoReplace, EEXIST, "alt"},
        {"dropped without commit", "alt", false, ReplacingFile::Placing::Replace, 0, "alt"},
    };
    // Root links an unnamed file in by its descriptor; another user the same way where
    // the kernel lets the file's creator do so (Linux 6.10 on), else through /proc.
    for (const bool asNobody : {false, true})
    for (const auto naming : {ReplacingFile::Naming::Named, ReplacingFile::Naming::Unnamed})
    for (const Case& c : cases) {
        if (asNobody && ::geteuid() != 0) continue;
        SCOPED_TRACE(std::string(c.name) + (naming == ReplacingFile::Naming::Named ? ", named" : ", unnamed") +
                     (asNobody ? ", as nobody" : ""));
        test::TempDir dir;
        std::optional<test::AsNobody> nobody;
        if (asNobody) {
            ASSERT_EQ(::chown(dir.Path().c_str(), 65534, 65534), 0);
            nobody.emplace();
        }
        const fs::path target = dir / "Daten.csv";
        if (c.old) WriteFile(target, *c.old);
        {
            ReplacingFile file(target.string(), ReplacingFile::Durability::Durable, {}, naming);
            ASSERT_TRUE(file.Valid()) << file.CreateError();
            if (naming == ReplacingFile::Naming::Named) {
                EXPECT_EQ(fs::path(file.TemporaryPath()).parent_path(), dir.Path());
            } else {
                // The folder shows no temporary file while it is written.
                EXPECT_EQ(FolderNames(dir.Path()).size(), c.old ? 1u : 0u);
            }
            ASSERT_TRUE(platform::WriteAll(file.Fd(), "neu"));
            if (c.old) {
                EXPECT_EQ(ReadFile(target), *c.old) << "the target is untouched before the commit";
            }
            if (c.commit) {
                EXPECT_EQ(file.Commit(c.placing), c.error);
                if (c.error == 0) {
                    // The descriptor now reads the file at the target.
                    const UniqueFd fd = file.TakeFd();
                    char bytes[3] = {};
                    EXPECT_TRUE(platform::ReadAt(fd.Get(), bytes, sizeof bytes, 0));
                    EXPECT_EQ(std::string(bytes, sizeof bytes), "neu");
                }
            }
        }
        EXPECT_EQ(ReadFile(target), c.expected);
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"Daten.csv"}) << "no temporary file stays";
    }
}

TEST(ReplacingFileTest, FullDiskKeepsTheOldFileAndNamesTheReasonInGerman) {
    test::TempDir dir;
    const fs::path target = dir / "Backupjobs.csv";
    WriteFile(target, "alte Zeilen");
    {
        FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.Set());
        try {
            WriteFileAtomically(target, std::string(5000, 'x'));
            ADD_FAILURE() << "a write beyond the limit must fail";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Die Datei " + target.string() +
                                                 " kann nicht gespeichert werden (schreiben: die Datei wird zu groß).");
        }
    }
    EXPECT_EQ(ReadFile(target), "alte Zeilen");
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"Backupjobs.csv"});
}

TEST(FileIoTest, ShortTransfersAreContinuedOrReported) {
    test::TempDir dir;
    const fs::path path = dir / "zehn.bin";
    WriteFile(path, "0123456789");
    const UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(fd.Valid());
    char buffer[20] = {};

    platform::IoResult r = platform::ReadAt(fd.Get(), buffer, 4, 3);
    EXPECT_TRUE(r);
    EXPECT_EQ(std::string(buffer, 4), "3456");

    r = platform::ReadAt(fd.Get(), buffer, sizeof buffer, 5);
    EXPECT_FALSE(r);
    EXPECT_TRUE(r.EndOfFile);
    EXPECT_EQ(r.Error, 0);
    EXPECT_EQ(r.Done, 5u);

    r = platform::ReadAt(-1, buffer, 1, 0);
    EXPECT_FALSE(r);
    EXPECT_EQ(r.Error, EBADF);

    // Under a size limit the system writes what fits and refuses the rest: the loop
    // goes on after the short write and reports the refusal with what was written.
    {
        FileSizeLimit limit(16);
        ASSERT_TRUE(limit.Set());
        ASSERT_EQ(::lseek(fd.Get(), 0, SEEK_END), 10);
        r = platform::WriteAll(fd.Get(), "abcdefghij");
        EXPECT_EQ(r.Error, EFBIG);
        EXPECT_EQ(r.Done, 6u);
        r = platform::WriteAt(fd.Get(), "XY", 14);
        EXPECT_TRUE(r);
        EXPECT_EQ(r.Done, 2u);
    }
    EXPECT_EQ(ReadFile(path), "0123456789abcdXY");

    std::string rest = "vorher:";
    ASSERT_EQ(::lseek(fd.Get(), 12, SEEK_SET), 12);
    r = platform::ReadToEnd(fd.Get(), rest);
    EXPECT_TRUE(r);
    EXPECT_EQ(r.Done, 4u);
    EXPECT_EQ(rest, "vorher:cdXY");
}

}  // namespace
}  // namespace vb
