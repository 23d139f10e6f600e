// Unpacks the Debian package that `make package` builds and checks what a fresh
// system gets from it: the files in their places (nothing in /opt), a desktop entry
// and metainfo that the desktop's own validators accept, dependencies found by
// dh_shlibdeps, a program built with Debian's hardening flags, and a program that runs
// an unattended backup from the unpacked tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/Headless.h"
#include "support/RunCommand.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace vb {
namespace {

namespace fs = std::filesystem;

struct ShellResult {
    int exitStatus = -1;
    std::string output;
};
ShellResult RunShell(const std::string& command) {
    ShellResult result;
    result.exitStatus = test::RunCommand(command, &result.output);
    return result;
}
std::string ShellQuote(const fs::path& path) { return test::Quote(path.string()); }

fs::path PackageFile() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(VB_TEST_DEB_DIR, ec)) {
        if (entry.path().extension() == ".deb") return entry.path();
    }
    return {};
}

class PackageTest : public ::testing::Test {
protected:
    test::TempDir FDir;
    fs::path FRoot = FDir / "root";
    fs::path FDeb = PackageFile();

    void SetUp() override {
        if (FDeb.empty() && !std::getenv("VB_REQUIRE_PACKAGE"))
            GTEST_SKIP() << "no package in " << VB_TEST_DEB_DIR << "; `make package` builds it";
        ASSERT_FALSE(FDeb.empty()) << "no package in " << VB_TEST_DEB_DIR;
        const auto unpacked = RunShell("dpkg-deb -x " + ShellQuote(FDeb) + " " + ShellQuote(FRoot));
        ASSERT_EQ(unpacked.exitStatus, 0) << unpacked.output;
    }
    std::string Field(const std::string& name) const {
        return RunShell("dpkg-deb -f " + ShellQuote(FDeb) + " " + name).output;
    }
};

TEST_F(PackageTest, HoldsTheProgramItsHelpPagesAndDesktopFilesInTheirPlaces) {
    std::string architecture = RunShell("dpkg --print-architecture").output;
    if (!architecture.empty()) architecture.pop_back();
    EXPECT_EQ(FDeb.filename().string(), "vorlixbackup_" VB_FILE_VERSION "_" + architecture + ".deb");
    const fs::path program = FRoot / "usr/bin/vorlixbackup";
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(program)));
    EXPECT_NE(fs::status(program).permissions() & fs::perms::others_exec, fs::perms::none);
    for (const char* file :
         {"usr/share/vorlixbackup/vorlixbackup.chm", "usr/share/applications/de.vorlix.VorlixBackup.desktop",
          "usr/share/icons/hicolor/scalable/apps/de.vorlix.VorlixBackup.svg",
          "usr/share/metainfo/de.vorlix.VorlixBackup.metainfo.xml", "usr/share/doc/vorlixbackup/copyright",
          "usr/share/doc/vorlixbackup/changelog.gz"}) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(fs::is_regular_file(FRoot / file));
    }
    // The window module in the program's library folder, where the executable looks
    // for it once installed.
    const std::string multiarch = RunShell("dpkg-architecture -qDEB_HOST_MULTIARCH").output;
    const std::string moduleDir = "/usr/lib/" + multiarch.substr(0, multiarch.find('\n')) + "/vorlixbackup";
    EXPECT_TRUE(fs::is_regular_file(FRoot / moduleDir.substr(1) / "vorlixbackup-window.so")) << moduleDir;
    // Unpacked elsewhere, the executable with a display names that folder as the place
    // it looked in (unless the package is installed there).
    if (!fs::exists(moduleDir + "/vorlixbackup-window.so")) {
        const auto run = RunShell("env QT_QPA_PLATFORM=offscreen " + ShellQuote(program) + " /BACKUP 2>&1");
        EXPECT_NE(run.exitStatus, 0);
        EXPECT_NE(run.output.find("(" + moduleDir + "/vorlixbackup-window.so) kann nicht geladen werden"),
                  std::string::npos)
            << run.output;
    }
    // man reads both pages: each compressed page renders without a complaint from groff.
    for (const char* page : {"usr/share/man/man1/vorlixbackup.1.gz", "usr/share/man/de/man1/vorlixbackup.1.gz"}) {
        SCOPED_TRACE(page);
        ASSERT_TRUE(fs::is_regular_file(FRoot / page));
        const auto rendered = RunShell("zcat " + ShellQuote(FRoot / page) + " | groff -man -Tutf8 -ww -z");
        EXPECT_EQ(rendered.exitStatus, 0) << rendered.output;
        EXPECT_EQ(rendered.output, "");
    }
    // Only /usr: /opt, /etc and the folders below /var are no part of the package's
    // files (the maintainer scripts make the shared folders).
    const auto listing = RunShell("dpkg-deb -c " + ShellQuote(FDeb) + " | awk '{print $6}'");
    ASSERT_EQ(listing.exitStatus, 0);
    std::istringstream paths(listing.output);
    for (std::string path; std::getline(paths, path);) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(path == "./" || path.rfind("./usr/", 0) == 0);
    }
    // Nothing points back into the build folder.
    EXPECT_EQ(RunShell("readelf -d " + ShellQuote(program) + " | grep -E 'RPATH|RUNPATH'").output, "");
}

// dpkg-buildflags with hardening=+all: a position-independent executable, relocations
// read-only and bound at start, the stack protector and the checked variants of the C
// library's string and memory functions.
TEST_F(PackageTest, ProgramIsBuiltWithDebianHardening) {
    const std::string program = ShellQuote(FRoot / "usr/bin/vorlixbackup");
    const std::string header = RunShell("readelf -h " + program).output;
    EXPECT_NE(header.find("DYN (Position-Independent Executable file)"), std::string::npos) << header;
    const std::string dynamic = RunShell("readelf -d " + program).output;
    EXPECT_NE(dynamic.find("BIND_NOW"), std::string::npos) << dynamic;
    EXPECT_NE(dynamic.find("PIE"), std::string::npos) << dynamic;
    const std::string segments = RunShell("readelf -lW " + program).output;
    EXPECT_NE(segments.find("GNU_RELRO"), std::string::npos);
    EXPECT_EQ(segments.find("RWE"), std::string::npos) << "an executable stack";
    const std::string symbols = RunShell("readelf --dyn-syms -W " + program).output;
    EXPECT_NE(symbols.find("__stack_chk_fail"), std::string::npos);
    EXPECT_NE(symbols.find("_chk@"), std::string::npos) << "no fortified function";
}

// The control fields a Debian maintainer looks at.
TEST_F(PackageTest, ControlFieldsAreEnglishCompleteAndTrue) {
    EXPECT_EQ(Field("Version"), VB_FILE_VERSION "\n");
    // No Homepage: the maker has none to name.
    const std::string control = RunShell("dpkg-deb -f " + ShellQuote(FDeb)).output;
    EXPECT_EQ(control.find("Homepage:"), std::string::npos) << control;
    const std::string description = Field("Description");
    EXPECT_EQ(description.rfind("back up school administration data folders into ZIP archives\n", 0), 0u)
        << description;
    const std::string recommends = Field("Recommends");
    for (const char* package : {"qt6-translations-l10n", "fonts-wine"}) {
        SCOPED_TRACE(package);
        EXPECT_NE(recommends.find(package), std::string::npos) << recommends;
    }
    // Installed-Size counts KiB of the unpacked files: it matches what du counts.
    const long declared = std::stol(Field("Installed-Size"));
    const long counted = std::stol(RunShell("du -sk --apparent-size " + ShellQuote(FRoot)).output);
    EXPECT_LT(std::labs(declared - counted), counted / 10 + 8) << declared << " KiB declared, " << counted << " KiB";
}

TEST_F(PackageTest, DependenciesComeFromTheLibrariesTheProgramLinks) {
    EXPECT_EQ(Field("Package"), "vorlixbackup\n");
    const std::string depends = Field("Depends");
    for (const char* library :
         {"libc6", "libqt6widgets6", "libqt6gui6", "zlib1g", "libdeflate0", "libstdc++6", "libchm1", "adduser"}) {
        SCOPED_TRACE(library);
        EXPECT_NE(depends.find(library), std::string::npos) << depends;
    }
}

TEST_F(PackageTest, DesktopEntryAndMetainfoPassTheirValidators) {
    const auto desktop = RunShell("desktop-file-validate " +
                                  ShellQuote(FRoot / "usr/share/applications/de.vorlix.VorlixBackup.desktop"));
    EXPECT_EQ(desktop.exitStatus, 0) << desktop.output;
    EXPECT_EQ(desktop.output, "");
    const auto metainfo = RunShell("appstreamcli validate --no-net " +
                                   ShellQuote(FRoot / "usr/share/metainfo/de.vorlix.VorlixBackup.metainfo.xml"));
    EXPECT_EQ(metainfo.exitStatus, 0) << metainfo.output;
    // The tree as a whole: the metainfo's launchable names the desktop entry, whose
    // icon is installed.
    const auto tree = RunShell("appstreamcli validate-tree --no-net " + ShellQuote(FRoot));
    EXPECT_EQ(tree.exitStatus, 0) << tree.output;
}

TEST_F(PackageTest, UnpackedProgramRunsAnUnattendedBackupWithoutDisplay) {
    const fs::path source = FDir / "quelle", target = FDir / "ziel", data = FDir / "shared/VorlixBackup";
    fs::create_directories(source);
    fs::create_directories(data);
    test::WriteFile(source / "Noten.txt", "Mathematik 2\r\n");
    test::WriteFile(FDir / "def.csv", "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nQuelle," + source.string() +
                                          ",*.txt,1,1\r\n");
    test::WriteFile(data / "Backupjobs.csv",
                    "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nPaket," +
                        target.string() + "," + (FDir / "def.csv").string() + ",1,\r\n");
    const auto result = test::RunProgram((FRoot / "usr/bin/vorlixbackup").string(), {"/BACKUP"},
                                         test::HeadlessEnvironment(FDir.Path()),
                                         FDir.Path().string());
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    std::vector<fs::path> archives;
    for (const auto& entry : fs::directory_iterator(target)) archives.push_back(entry.path());
    ASSERT_EQ(archives.size(), 1u);
    const auto check = RunShell("unzip -t " + ShellQuote(archives.front()));
    EXPECT_EQ(check.exitStatus, 0) << check.output;
    EXPECT_NE(check.output.find("Noten.txt"), std::string::npos) << check.output;
}

// The version and its date stand in three places that must agree: the build's
// version, debian/changelog (whose date becomes SOURCE_DATE_EPOCH) and the release
// date of the metainfo.
TEST(PackageSource, ChangelogNamesTheBuildsVersionAndReleaseDate) {
    const std::string changelog = ShellQuote(VB_SOURCE_DIR "/debian/changelog");
    EXPECT_EQ(RunShell("dpkg-parsechangelog -l " + changelog + " -S Version").output, VB_FILE_VERSION "\n");
    EXPECT_EQ(RunShell("date -u -d \"$(dpkg-parsechangelog -l " + changelog + " -S Date)\" +%F").output,
              VB_RELEASE_DATE "\n");
}

}  // namespace
}  // namespace vb
