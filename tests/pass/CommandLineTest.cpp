#include "pass/CommandLine.h"

#include <gtest/gtest.h>

namespace vb {
namespace {

const std::string kProgram = "/opt/VorlixBackup/vorlixbackup";

TEST(CommandLine, Decisions) {
    struct Case {
        const char* name;
        std::vector<std::string> parameters;
        EntryMode mode;
        std::string jobs;
    } cases[] = {
        {"no parameter", {}, EntryMode::Interactive, ""},
        {"/backup", {"/backup"}, EntryMode::Backup, ""},
        {"-BACKUP", {"-BACKUP"}, EntryMode::Backup, ""},
        {"/Backup", {"/Backup"}, EntryMode::Backup, ""},
        {"job names with blanks", {"/BACKUP", "Job", "1,Job2"}, EntryMode::Backup, " Job 1,Job2"},
        {"quoted name keeps its quotes", {"/BACKUP", "\"Job 1\""}, EntryMode::Backup, " \"Job 1\""},
        {"restore ignores names", {"/RESTORE", "Job1"}, EntryMode::Restore, ""},
        {"backup wins, nothing after it", {"/RESTORE", "/BACKUP"}, EntryMode::Backup, ""},
        {"backup wins, restore as a name", {"/BACKUP", "/RESTORE"}, EntryMode::Backup, " /RESTORE"},
        {"switch not found: from the seventh character",
         {"Job1", "/BACKUP"},
         EntryMode::Backup,
         "orlixBackup/vorlixbackup Job1 /BACKUP"},
        {"umlauts keep their positions", {"/backup", "Schüler"}, EntryMode::Backup, " Schüler"},
        {"no switch character", {"BACKUP"}, EntryMode::UsageError, ""},
        {"unknown switch", {"/backupx"}, EntryMode::UsageError, ""},
        {"help", {"/help"}, EntryMode::UsageError, ""},
        {"--help", {"--help"}, EntryMode::Help, ""},
        {"--version", {"--version"}, EntryMode::Version, ""},
        {"help wins over version", {"--version", "--help"}, EntryMode::Help, ""},
        {"backup wins over version", {"/BACKUP", "--version"}, EntryMode::Backup, " --version"},
        {"version as a switch is unknown", {"/version"}, EntryMode::UsageError, ""},
        {"--versions of a file", {"--versions", "/srv/Notenliste.xls"}, EntryMode::Versions, ""},
        {"--versions without a file", {"--versions"}, EntryMode::UsageError, ""},
        {"--versions of two files", {"--versions", "a", "b"}, EntryMode::UsageError, ""},
        {"restore wins over versions", {"--versions", "/RESTORE"}, EntryMode::Restore, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EntryDecision d = DecideEntry(c.parameters, RawCommandLine(kProgram, c.parameters));
        EXPECT_EQ(d.mode, c.mode);
        EXPECT_EQ(d.jobs, c.jobs);
        EXPECT_EQ(d.path, d.mode == EntryMode::Versions ? c.parameters[1] : "");
    }
}

TEST(CommandLine, UsageBoxNamesTheFirstParameter) {
    const std::vector<std::string> parameters = {"/x", "/y"};
    const EntryDecision d = DecideEntry(parameters, RawCommandLine(kProgram, parameters));
    EXPECT_EQ(d.errorMessage, "Unzulässiger Parameter! (/x)\nAufruf: VorlixBackup /BACKUP oder VorlixBackup /RESTORE");
}

// A folder named like the switch in the program's path (/srv/backup, /opt/X-Backup) is
// not the switch: the names still follow the switch among the parameters.
TEST(CommandLine, SwitchInsideTheProgramPathIsPassedOver) {
    const struct {
        std::string program;
        std::vector<std::string> parameters;
        std::string jobs;
    } cases[] = {
        {"/opt/X-Backup/vorlixbackup", {"-backup", "Job"}, " Job"},
        {"/srv/backup/vorlixbackup", {"/BACKUP", "Job", "1"}, " Job 1"},
        {"/srv/backup/vorlixbackup", {"Job1", "/BACKUP"}, "ackup/vorlixbackup Job1 /BACKUP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        const std::string raw = RawCommandLine(c.program, c.parameters);
        EXPECT_EQ(JobListText(c.parameters, raw, CharacterCount(c.program)), c.jobs);
        EXPECT_EQ(DecideEntry(c.parameters, raw, CharacterCount(c.program)).jobs, c.jobs);
    }
    // Positions count characters: a multi-byte character before the seventh one.
    EXPECT_EQ(JobListText({"Job", "/BACKUP"}, "/ü/abcdefg"), "defg");
}

}  // namespace
}  // namespace vb
