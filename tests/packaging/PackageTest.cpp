// Unpacks the Debian package that `make package` builds and checks what a fresh
// system gets from it: the files in their places, a desktop entry and metainfo that
// the desktop's own validators accept, dependencies found by dpkg-shlibdeps, and a
// program that runs an unattended backup from the unpacked tree.
#include <gtest/gtest.h>

#include <filesystem>

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
        ASSERT_FALSE(FDeb.empty()) << "no package in " << VB_TEST_DEB_DIR;
        const auto unpacked = RunShell("dpkg-deb -x " + ShellQuote(FDeb) + " " + ShellQuote(FRoot));
        ASSERT_EQ(unpacked.exitStatus, 0) << unpacked.output;
    }
    std::string Field(const std::string& name) const {
        return RunShell("dpkg-deb -f " + ShellQuote(FDeb) + " " + name).output;
    }
};

TEST_F(PackageTest, HoldsTheProgramItsLinkAndTheDesktopFiles) {
    EXPECT_EQ(FDeb.filename().string().rfind("vorlixbackup_", 0), 0u) << FDeb;
    const fs::path program = FRoot / "opt/vorlixbackup/vorlixbackup";
    ASSERT_TRUE(fs::is_regular_file(program));
    EXPECT_NE(fs::status(program).permissions() & fs::perms::others_exec, fs::perms::none);
    // The link is relative, so it leads to the program in any unpacked tree too.
    const fs::path link = FRoot / "usr/bin/vorlixbackup";
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::read_symlink(link).is_relative()) << fs::read_symlink(link);
    EXPECT_TRUE(fs::equivalent(link, program));

    for (const char* file : {"usr/share/applications/de.vorlix.VorlixBackup.desktop",
                             "usr/share/icons/hicolor/scalable/apps/de.vorlix.VorlixBackup.svg",
                             "usr/share/metainfo/de.vorlix.VorlixBackup.metainfo.xml"}) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(fs::is_regular_file(FRoot / file));
    }
    if (fs::exists(VB_SOURCE_DIR "/doc/vorlixbackup.1")) {
        const fs::path page = FRoot / "usr/share/man/man1/vorlixbackup.1.gz";
        ASSERT_TRUE(fs::is_regular_file(page));
        // man reads it: the compressed page renders without a complaint from groff.
        const auto rendered = RunShell("zcat " + ShellQuote(page) + " | groff -man -Tutf8 -ww -z");
        EXPECT_EQ(rendered.exitStatus, 0) << rendered.output;
        EXPECT_EQ(rendered.output, "");
    }
    // Nothing points back into the build folder.
    EXPECT_EQ(RunShell("readelf -d " + ShellQuote(program) + " | grep -E 'RPATH|RUNPATH'").output, "");
}

TEST_F(PackageTest, DependenciesComeFromTheLibrariesTheProgramLinks) {
    EXPECT_EQ(Field("Package"), "vorlixbackup\n");
    const std::string depends = Field("Depends");
    for (const char* library : {"libc6", "libqt6widgets6", "libqt6gui6", "zlib1g",
                                "libdeflate0", "libstdc++6"}) {
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

}  // namespace
}  // namespace vb
