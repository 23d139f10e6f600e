#include "pass/StandAlonePass.h"

#include "backup/BackupRun.h"
#include "zip/ArchiveReader.h"
#include "zip/ArchiveWriter.h"
#include "catalogue/CsvTable.h"
#include "catalogue/DefinitionList.h"
#include "catalogue/JobList.h"
#include "catalogue/TJob.h"
#include "dbcheck/ExclusiveUseTest.h"
#include "platform/ShellFolders.h"
#include "restore/RestoreRun.h"
#include "settings/Settings.h"

namespace vb {

// Without a window nothing shows a job or an archive: the hosts' window callbacks do
// nothing, and the restore root is "/".
struct StandAlonePass::Engine : JobListHost, BackupRunHost, RestoreRunHost {
    Engine(RegistryStore& registry, const TOptions& options, RunHost& host)
        : Registry(registry), Options(options), Host(host), Databases(registry) {
        Writer.SetTempDirectory(TemporaryFolder());
        Reader.SetTempDirectory(TemporaryFolder());
    }

    // JobListHost
    std::string DatenDir() const override { return Options.FDatenDir; }
    bool MoveToTrash(const std::string&) override { return false; }
    void LoadCurrentJob() override {}
    void FillJobSelectors() override {}
    // BackupRunHost
    void SetDefinitionGridUpdates(bool) override {}
    void CloseBrowserArchive() override {}
    void ShowArchiveInBrowser(const std::string&) override {}
    // RestoreRunHost
    std::vector<std::size_t> SelectedBrowserEntries() const override { return {}; }
    void BrowserArchiveChanged(const std::string&) override {}
    void ClearBrowserSelection() override {}
    std::string GetRestoreRoot() const override { return "/"; }

    void OpenJobList() {
        JobRules.Open(Options.FDatenDir, kDefaultBackupFolder);
        if (Jobs.RecordCount() == 0) return;
        // A fault of the first job's definition list concerns that job alone, which
        // reports it when the pass runs it.
        try {
            const TJob first = JobOfRow(Jobs, 0);
            if (!first.DefFile.empty()) CreateDefaultDefinitionFile(first.DefFile, ProgramFilesFolder(Registry));
        } catch (const std::exception&) {
        }
    }

    RegistryStore& Registry;
    const TOptions& Options;
    RunHost& Host;
    const bool Unattended = true;
    CsvTable Jobs{kJobListDefinition};
    CsvTable Definitions{kDefinitionListDefinition};
    JobList JobRules{Jobs, *this, Host};
    DefinitionList DefinitionRules{Definitions, Host};
    ArchiveWriter Writer;
    ArchiveReader Reader;
    ExclusiveUseTest Databases;
    BackupRun Backup{{Jobs, Definitions, DefinitionRules, Writer, Databases, Options}, Host, *this};
    RestoreRun Restore{{Reader, Databases, Options, Unattended}, Host, *this};
    Pass ThePass{Jobs, Backup, Restore, Host, Options};
    bool OpenFailed = false;
};

StandAlonePass::StandAlonePass(RegistryStore& registry, const TOptions& options, RunHost& host)
    : FEngine(std::make_unique<Engine>(registry, options, host)) {}

StandAlonePass::~StandAlonePass() = default;

void StandAlonePass::Run(PassKind kind, const std::string& jobs) {
    FEngine->OpenFailed = false;
    try {
        FEngine->OpenJobList();
    } catch (const std::exception& e) {
        FEngine->OpenFailed = true;
        FEngine->Host.ShowError(e.what());
        return;
    }
    FEngine->ThePass.Run(kind, jobs);
}

bool StandAlonePass::Incomplete() const { return FEngine->OpenFailed || FEngine->ThePass.Incomplete(); }

}  // namespace vb
