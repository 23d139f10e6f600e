// The bad nights of an unattended backup, with the real program: killed runs, a full
// disk, missing source folders, jobs with nothing to save, unknown names, broken
// jobs beside good ones, leftovers of killed runs and passwords no archive can hold.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <random>
#include <thread>

#include "BackupEndToEnd.h"

namespace vb {
namespace {

using test::BackupEndToEndTest;
namespace fs = std::filesystem;

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

bool PassesUnzipTest(const fs::path& archive) {
    return test::CommandOutput("unzip -tq '" + archive.string() + "'").find("No errors detected") != std::string::npos;
}

class BackupReliabilityTest : public BackupEndToEndTest {
protected:
    std::map<std::string, std::string> ArchiveContents() const {
        std::map<std::string, std::string> contents;
        for (const std::string& name : Archives()) {
            if (name.front() != '.') contents[name] = test::ReadFile(FTarget / name);
        }
        return contents;
    }
    std::string JobList() const { return test::ReadFile(FData / "Backupjobs.csv"); }
    // The content of brief.txt in `archive`.
    static std::string Brief(const fs::path& archive) {
        return test::CommandOutput("unzip -p '" + archive.string() + "' '*brief.txt'");
    }
    // Every file of the target folder with its brief.txt, each one checked by unzip -t.
    std::map<std::string, std::string> TestedBriefs() const {
        std::map<std::string, std::string> briefs;
        for (const std::string& name : Archives()) {
            SCOPED_TRACE(name);
            EXPECT_TRUE(PassesUnzipTest(FTarget / name));
            briefs[name] = Brief(FTarget / name);
        }
        return briefs;
    }
    void UseStrategy(std::uint32_t strategy) { FRegistry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", strategy); }
};

// kill -9 at random moments of a run never costs an archive that existed: per day and
// same file keep the old archive byte for byte or have the complete new one;
// generations may be caught in the middle of their rotation, which the next run
// finishes, losing none. No empty archive is ever left, and the next run clears the
// temporary files the killed ones left. (RunEndedAtEachRotationStepIsFinished checks
// every step of the rotation deterministically; this adds kills at any moment.)
TEST_F(BackupReliabilityTest, KilledRunsLeaveEveryGenerationIntact) {
    test::WriteFile(FSource / "gross.mdb", RandomBytes(24 << 20, 7));
    std::mt19937 rng(20261210);
    for (std::uint32_t strategy : {0u, 1u, 2u}) {
        SCOPED_TRACE(strategy);
        fs::remove_all(FTarget);
        UseStrategy(strategy);
        const int setupRuns = strategy == 1 ? 3 : 1;
        for (int run = 0; run < setupRuns; ++run) {
            test::WriteFile(FSource / "brief.txt", "Lauf " + std::to_string(run));
            ASSERT_EQ(Backup().exitStatus, 0);
        }
        // How long an undisturbed run takes decides where the kills land.
        test::WriteFile(FSource / "brief.txt", "neu");
        const auto started = std::chrono::steady_clock::now();
        ASSERT_EQ(Backup().exitStatus, 0);
        const auto duration = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
        for (int kill = 0; kill < 4; ++kill) {
            const auto before = ArchiveContents();
            test::WriteFile(FSource / "brief.txt", "Abbruch " + std::to_string(kill));
            const auto delay = std::chrono::milliseconds(
                std::uniform_int_distribution<long>(50, std::max<long>(100, duration.count()))(rng));
            SCOPED_TRACE("kill after " + std::to_string(delay.count()) + " ms");
            auto program = test::StartProgram(test::kProgram, {"/BACKUP"}, Environment(), FDir.Path().string());
            std::this_thread::sleep_for(delay);
            ::kill(program.pid, SIGKILL);
            test::FinishProgram(program);

            const auto after = ArchiveContents();
            for (const auto& [name, bytes] : after) {
                SCOPED_TRACE(name);
                EXPECT_GT(bytes.size(), 22u) << "an empty archive was left";
                EXPECT_TRUE(PassesUnzipTest(FTarget / name));
            }
            const std::string killed = "Abbruch " + std::to_string(kill);
            if (strategy == 1) {
                // Wherever the kill landed, the next run finishes what it left: its own
                // archive is the newest, then the killed run's when that was complete
                // (under any name), then the older ones, none lost.
                bool killedRunComplete = false;
                for (const auto& [name, bytes] : after) killedRunComplete |= Brief(FTarget / name) == killed;
                test::WriteFile(FSource / "brief.txt", "danach " + std::to_string(kill));
                ASSERT_EQ(Backup().exitStatus, 0);
                const auto next = ArchiveContents();
                ASSERT_EQ(next.size(), 3u);
                EXPECT_EQ(Brief(FTarget / "Job 1_1.zip"), "danach " + std::to_string(kill));
                if (killedRunComplete) {
                    EXPECT_EQ(Brief(FTarget / "Job 1_2.zip"), killed);
                    EXPECT_EQ(next.at("Job 1_3.zip"), before.at("Job 1_1.zip"));
                } else {
                    EXPECT_EQ(next.at("Job 1_2.zip"), before.at("Job 1_1.zip"));
                    EXPECT_EQ(next.at("Job 1_3.zip"), before.at("Job 1_2.zip"));
                }
                continue;
            }
            if (after == before) continue;
            // The run got to its end before the kill: the archive is the complete new one.
            ASSERT_EQ(after.size(), before.size());
            EXPECT_EQ(Brief(FTarget / after.begin()->first), killed);
        }
        // The next run completes and leaves no temporary file of a killed one.
        ASSERT_EQ(Backup().exitStatus, 0);
        for (const auto& item : fs::directory_iterator(FTarget)) {
            EXPECT_EQ(item.path().filename().string().find(".vbtmp-"), std::string::npos) << item.path();
        }
    }
}

// A run ended at each step of the rotation (by VB_TEST_EXIT_AT_ROTATION_STEP) fails and
// keeps its complete archive under the name of its step; the next run finishes that
// rotation before its own, so every generation ends one further and none is lost.
TEST_F(BackupReliabilityTest, RunEndedAtEachRotationStepIsFinishedByTheNextRun) {
    UseStrategy(1);
    const std::string pending = "Job 1_1.zip.vbneu";
    const struct {
        int step;
        std::map<std::string, std::string> left;  // archive -> its brief.txt
    } cases[] = {
        {1, {{pending, "Lauf 4"}, {"Job 1_1.zip", "Lauf 3"}, {"Job 1_2.zip", "Lauf 2"}, {"Job 1_3.zip", "Lauf 1"}}},
        {2, {{pending, "Lauf 4"}, {"Job 1_1.zip", "Lauf 3"}, {"Job 1_2.zip", "Lauf 2"}}},
        {3, {{pending, "Lauf 4"}, {"Job 1_1.zip", "Lauf 3"}, {"Job 1_3.zip", "Lauf 2"}}},
        {4, {{pending, "Lauf 4"}, {"Job 1_2.zip", "Lauf 3"}, {"Job 1_3.zip", "Lauf 2"}}},
        {5, {{"Job 1_1.zip", "Lauf 4"}, {"Job 1_2.zip", "Lauf 3"}, {"Job 1_3.zip", "Lauf 2"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("step " + std::to_string(c.step));
        fs::remove_all(FTarget);
        for (int run = 1; run <= 3; ++run) {
            test::WriteFile(FSource / "brief.txt", "Lauf " + std::to_string(run));
            ASSERT_EQ(Backup().exitStatus, 0);
        }
        test::WriteFile(FSource / "brief.txt", "Lauf 4");
        const auto ended = Backup({}, {{"VB_TEST_EXIT_AT_ROTATION_STEP", std::to_string(c.step)}});
        EXPECT_NE(ended.exitStatus, 0);
        EXPECT_EQ(TestedBriefs(), c.left);

        test::WriteFile(FSource / "brief.txt", "Lauf 5");
        const auto next = Backup();
        ASSERT_EQ(next.exitStatus, 0) << next.standardError;
        EXPECT_EQ(TestedBriefs(),
                  (std::map<std::string, std::string>{
                      {"Job 1_1.zip", "Lauf 5"}, {"Job 1_2.zip", "Lauf 4"}, {"Job 1_3.zip", "Lauf 3"}}));
        EXPECT_NE(JobList().find(",Job 1_1.zip\r\n"), std::string::npos) << JobList();
    }
}

// A waiting new _1 that still cannot take its place (a folder named like _2 is in the
// way) stays whole under its name; the run updates _1 instead, says so and fails.
TEST_F(BackupReliabilityTest, WaitingArchiveThatCannotBePlacedIsKeptAndThePassFails) {
    UseStrategy(1);
    ASSERT_EQ(Backup().exitStatus, 0);
    test::WriteFile(FSource / "brief.txt", "wartend");
    ASSERT_NE(Backup({}, {{"VB_TEST_EXIT_AT_ROTATION_STEP", "1"}}).exitStatus, 0);
    const fs::path pending = FTarget / "Job 1_1.zip.vbneu";
    const std::string waiting = test::ReadFile(pending);
    fs::create_directory(FTarget / "Job 1_2.zip");
    test::WriteFile(FSource / "brief.txt", "danach");
    const auto result = Backup();
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("Die vollst\u00E4ndige Sicherung " + pending.string() +
                                        " eines abgebrochenen Laufs kann nicht an ihren Platz gebracht werden"),
              std::string::npos)
        << result.standardError;
    EXPECT_TRUE(test::ReadFile(pending) == waiting);
    EXPECT_EQ(Brief(pending), "wartend");
    EXPECT_EQ(Brief(FTarget / "Job 1_1.zip"), "danach");
}

// A full disk (here a file-size limit) fails one job whole: its archive is not
// written and not recorded, the log says so, the message gives the system's reason
// in a German sentence naming the archive, and the next job of the pass runs clean.
TEST_F(BackupReliabilityTest, FullDiskFailsOneJobAndTheNextStartsClean) {
    fs::create_directories(FDir / "gross");
    test::WriteFile(FDir / "gross/daten.bin", RandomBytes(3 << 20, 3));
    WriteDefinition("def2.csv", "Gross," + (FDir / "gross").string() + ",*.*,1,0");
    WriteJobs({"A gross," + (FDir / "zielA").string() + "," + (FDir / "def2.csv").string() + ",1,",
               "B klein," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",1,"});
    UseStrategy(2);
    test::ProgramLimits limits;
    limits.fileSize = 1 << 20;
    auto result = Backup({}, {}, limits);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("Fehler beim Packen!"), std::string::npos) << result.standardError;
    EXPECT_NE(result.standardError.find("Das Archiv " + (FDir / "zielA/A gross.zip").string() +
                                        " kann nicht geschrieben werden: die Datei wird zu groß"),
              std::string::npos)
        << result.standardError;
    EXPECT_FALSE(fs::exists(FDir / "zielA/A gross.zip"));
    EXPECT_TRUE(fs::is_empty(FDir / "zielA")) << "no temporary file may stay";
    EXPECT_TRUE(PassesUnzipTest(FTarget / "B klein.zip"));
    const std::string jobs = JobList();
    EXPECT_NE(jobs.find(",B klein.zip\r\n"), std::string::npos) << jobs;
    EXPECT_EQ(jobs.find("A gross.zip"), std::string::npos) << jobs;

    // Alone, the failed job's log ends with the line that says so.
    result = Backup({"A gross"}, {}, limits);
    EXPECT_EQ(result.exitStatus, 1);
    const std::string log = Log();
    EXPECT_NE(log.find("daten.bin added "), std::string::npos) << log;
    const std::string last = log.substr(log.rfind('\n', log.size() - 3) + 1);
    EXPECT_NE(last.find("A gross.zip nicht geschrieben: "), std::string::npos) << log;
}

// A row whose folder is missing or no folder is skipped with a message naming it and
// a " skipped " line; when nothing at all can be read, no archive is written and no
// generation moves.
TEST_F(BackupReliabilityTest, MissingSourceFoldersAreErrorsAndNeverReplaceAGoodArchive) {
    UseStrategy(1);
    ASSERT_EQ(Backup().exitStatus, 0);
    ASSERT_EQ(Backup().exitStatus, 0);
    const auto good = ArchiveContents();
    ASSERT_EQ(good.size(), 2u);
    const std::string missing = (FDir / "nicht-eingehaengt").string();
    test::WriteFile(FDir / "datei", "kein Ordner");
    const struct {
        const char* name;
        std::string rows;
        bool written;
        std::vector<std::string> messages;
    } cases[] = {
        {"missing folder", "Netz," + missing + ",*.*,1,1", false, {"Der Ordner " + missing + " der Zeile \u201ENetz\u201C existiert nicht"}},
        {"a file, not a folder", "Datei," + (FDir / "datei").string() + ",*.*,1,0", false, {"ist kein Ordner"}},
        {"one missing among good rows",
         "Netz," + missing + ",*.*,1,1\r\nQuelle," + FSource.string() + ",*.txt,1,1", true, {"existiert nicht"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteDefinition("def1.csv", c.rows);
        const auto before = ArchiveContents();
        const auto result = Backup();
        EXPECT_EQ(result.exitStatus, 1);
        for (const std::string& text : c.messages) {
            EXPECT_NE(result.standardError.find(text), std::string::npos) << result.standardError;
        }
        EXPECT_NE(Log().find(" skipped "), std::string::npos) << Log();
        if (c.written) {
            EXPECT_EQ(ArchiveContents().size(), 3u);
            EXPECT_EQ(ArchiveContents().at("Job 1_2.zip"), before.at("Job 1_1.zip"));
        } else {
            EXPECT_EQ(ArchiveContents(), before) << "nothing could be read, so nothing may move";
            EXPECT_NE(result.standardError.find("es wurde keine Sicherung geschrieben"), std::string::npos)
                << result.standardError;
        }
    }
}

// What used to end silently with exit status 0 is now a German message and status 1,
// and nothing is written.
TEST_F(BackupReliabilityTest, SilentOmissionsAreReported) {
    WriteDefinition("leer.csv", "Aus," + FSource.string() + ",*.*,0,1");
    const struct {
        const char* name;
        std::vector<std::string> jobs;
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {"no row to save", {"Job 1," + FTarget.string() + "," + (FDir / "leer.csv").string() + ",1,"}, {},
         "hat keine Zeile, die gesichert werden soll"},
        // (The first job's missing list is written with the default rows when the
        // window is created, so the job with the missing list comes second.)
        {"missing definition file",
         {"A erster," + (FDir / "zielA").string() + "," + (FDir / "def1.csv").string() + ",0,",
          "Job 1," + FTarget.string() + "," + (FDir / "fehlt.csv").string() + ",1,"},
         {},
         "Die Definitionsdatei " + (FDir / "fehlt.csv").string() + " des Jobs \u201EJob 1\u201C existiert nicht."},
        {"unknown job name", {"Job 1," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",1,"}, {"Tippfehler"},
         "Einen Job namens \u201ETippfehler\u201C gibt es"},
        {"no automatic job", {"Job 1," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",0,"}, {},
         "keinen automatischen Job"},
        {"slash in a hand-edited job name", {"Klasse 5/6," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",1,"},
         {}, "Der Jobname \u201EKlasse 5/6\u201C darf keinen Schr\u00E4gstrich (/)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(FTarget);
        WriteJobs(c.jobs);
        const std::string jobs = JobList();
        const auto result = Backup(c.arguments);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.standardError.find(c.message), std::string::npos) << result.standardError;
        EXPECT_FALSE(fs::exists(FTarget)) << "nothing may be written";
        EXPECT_EQ(JobList(), jobs);
    }
}

// A broken job (no definition file named, not automatic, sorted first) neither stops
// nor spoils a named job, and an automatic broken job is reported once while the
// others still run.
TEST_F(BackupReliabilityTest, BrokenJobConcernsThatJobAlone) {
    UseStrategy(2);
    WriteJobs({"A kaputt," + (FDir / "zielA").string() + ",,0,", "J," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",1,"});
    auto result = Backup({"J"});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    EXPECT_TRUE(PassesUnzipTest(FTarget / "J.zip"));
    EXPECT_NE(JobList().find("J," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",1,J.zip\r\n"),
              std::string::npos)
        << JobList();

    WriteJobs({"A kaputt," + (FDir / "zielA").string() + ",,1,", "J," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",1,"});
    fs::remove_all(FTarget);
    result = Backup();
    EXPECT_EQ(result.exitStatus, 1);
    const std::string message = "keine Definitionsdatei angegeben";
    const auto first = result.standardError.find(message);
    EXPECT_NE(first, std::string::npos) << result.standardError;
    EXPECT_EQ(result.standardError.find(message, first + 1), std::string::npos) << "reported twice:\n"
                                                                                << result.standardError;
    EXPECT_TRUE(PassesUnzipTest(FTarget / "J.zip"));
    EXPECT_EQ(JobList().find("A kaputt.zip"), std::string::npos) << JobList();
}

// Recording the archive name changes that one cell of the list as it is on disk: a
// row another program added during the pass survives.
TEST_F(BackupReliabilityTest, RecordingTheArchiveKeepsRowsAddedDuringThePass) {
    UseStrategy(2);
    test::WriteFile(FSource / "gross.mdb", RandomBytes(16 << 20, 9));
    auto program = test::StartProgram(test::kProgram, {"/BACKUP"}, Environment(), FDir.Path().string());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::ofstream(FData / "Backupjobs.csv", std::ios::app) << "Neu," << (FDir / "ziel2").string() << ",x.csv,0,\r\n";
    const auto result = test::FinishProgram(program);
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const std::string jobs = JobList();
    EXPECT_NE(jobs.find("Job 1," + FTarget.string() + "," + (FDir / "def1.csv").string() + ",1,Job 1.zip\r\n"),
              std::string::npos)
        << jobs;
    EXPECT_NE(jobs.find("Neu," + (FDir / "ziel2").string() + ",x.csv,0,\r\n"), std::string::npos) << jobs;
}

// A password outside Windows-1252 would be stored as question marks: refused before
// anything is written.
TEST_F(BackupReliabilityTest, PasswordOutsideWindows1252IsRefused) {
    UseStrategy(2);
    FRegistry.WriteDword("Software\\Vorlix-Backup", "PASSWORTSCHUTZ", 1);
    const auto result = Backup({}, {{"VORLIXBACKUP_PASSWORD", "\u041F\u0430\u0440\u043E\u043B\u044C"}});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("Zeichensatz Windows-1252"), std::string::npos) << result.standardError;
    EXPECT_TRUE(Archives().empty());
}

// Temporary files of killed runs on the same target go with the next run; files that
// only look similar stay.
TEST_F(BackupReliabilityTest, TemporariesOfKilledRunsAreRemoved) {
    UseStrategy(2);
    fs::create_directories(FTarget);
    const std::vector<fs::path> stale = {FTarget / ".Job 1.zip.vbtmp-a1B2c3", FData / ".Backupjobs.csv.vbtmp-Xy9zZ0"};
    const std::vector<fs::path> others = {FTarget / ".Job 1.zip.vbtmp-kurz", FTarget / ".Anderer.zip.vbtmp-a1B2c3",
                                          FTarget / "Job 1.zip.vbtmp-a1B2c3"};
    for (const auto& file : stale) test::WriteFile(file, "Rest");
    for (const auto& file : others) test::WriteFile(file, "fremd");
    ASSERT_EQ(Backup().exitStatus, 0);
    for (const auto& file : stale) EXPECT_FALSE(fs::exists(file)) << file;
    for (const auto& file : others) EXPECT_TRUE(fs::exists(file)) << file;
}

// A damaged settings file does not silently become defaults (which could mean an
// unprotected archive of protected data): it is reported, the pass writes nothing,
// and the values that can be read are kept.
TEST_F(BackupReliabilityTest, DamagedSettingsStopThePass) {
    const fs::path file = FDir / "home/.config/vorlix-backup/registry.reg";
    FRegistry.WriteDword("Software\\Vorlix-Backup", "PASSWORTSCHUTZ", 1);
    std::ofstream(file, std::ios::app) << "\"STRATEGIE\"=kaputt\n";
    const auto result = Backup({}, {{"VORLIXBACKUP_PASSWORD", "geheim"}});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("Die Einstellungsdatei " + file.string() + " ist besch\u00E4digt"),
              std::string::npos)
        << result.standardError;
    EXPECT_FALSE(fs::exists(FTarget));
    EXPECT_EQ(FRegistry.ReadDword(RegistryRoot::CurrentUser, "Software\\Vorlix-Backup", "PASSWORTSCHUTZ"), 1u);
}

// A FIFO where a file is expected is refused at once instead of hanging the pass.
TEST_F(BackupReliabilityTest, FifosInPlaceOfFilesDoNotHang) {
    UseStrategy(2);
    const struct {
        const char* name;
        fs::path fifo;
        std::map<std::string, std::string> env;
        std::string message;
    } cases[] = {
        {"definition file", FDir / "def1.csv", {}, "Can't read CSV file " + (FDir / "def1.csv").string()},
        {"log file", FData / "VB-Backup.log", {}, "Error creating Log File"},
        {"password file", FDir / "passwort", {{"VORLIXBACKUP_PASSWORD_FILE", (FDir / "passwort").string()}},
         "Die Passwortdatei"},
        {"settings", FDir / "home/.config/vorlix-backup/registry.reg", {}, "keine gew\u00F6hnliche Datei"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string saved = fs::exists(c.fifo) ? test::ReadFile(c.fifo) : std::string();
        const bool existed = fs::exists(c.fifo);
        if (!c.env.empty()) FRegistry.WriteDword("Software\\Vorlix-Backup", "PASSWORTSCHUTZ", 1);
        fs::remove(c.fifo);
        ASSERT_EQ(::mkfifo(c.fifo.c_str(), 0600), 0);
        test::ProgramLimits limits;
        limits.timeoutSeconds = 30;
        const auto result = Backup({}, c.env, limits);
        EXPECT_FALSE(result.timedOut) << "the pass hangs";
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_NE(result.standardError.find(c.message), std::string::npos) << result.standardError;
        fs::remove(c.fifo);
        if (existed) test::WriteFile(c.fifo, saved);
        if (!c.env.empty()) FRegistry.WriteDword("Software\\Vorlix-Backup", "PASSWORTSCHUTZ", 0);
    }
}

}  // namespace
}  // namespace vb
