#pragma once
// The main window as the backup and restore runs see it, played by a test: the job
// table and the definition table with their rules, the archive reader and the
// browser's rows over it, and every box recorded (FakeHost). WindowRuns puts both
// runs and the pass engine over it, as the window does.
#include "backup/BackupRun.h"
#include "zip/ArchiveReader.h"
#include "zip/ArchiveWriter.h"
#include "catalogue/CsvTable.h"
#include "catalogue/DefinitionList.h"
#include "catalogue/JobList.h"
#include "pass/Pass.h"
#include "restore/ArchiveBrowser.h"
#include "catalogue/JobArchives.h"
#include "restore/RestoreRun.h"
#include "support/FakeHost.h"

namespace vb::test {

class FakeWindow : public FakeHost {
public:
    CsvTable Jobs{kJobListDefinition};
    CsvTable Defs{kDefinitionListDefinition};
    JobList JobRules{Jobs, *this, *this};
    DefinitionList DefRules{Defs, *this};
    ArchiveReader Reader;
    ArchiveBrowser Rows;
    // A job change also opens the job's first listed archive, as the archive browser does.
    bool FBrowsesArchives = false;

    FakeWindow() {
        FList = &JobRules;
        FDefinitions = &DefRules;
    }
    void LoadCurrentJob() override {
        FakeHost::LoadCurrentJob();
        if (!FBrowsesArchives) return;
        Reader.Close();
        const auto names = ListArchiveNames(FJob.DestDir);
        if (!names.empty()) {
            FJob.BackupFilename = names.front();
            Reader.Open(ArchivePath(FJob.DestDir, names.front()));
        }
        Rows.Load(Reader.Entries());
    }
    std::vector<std::size_t> SelectedBrowserEntries() const override { return Rows.SelectedEntries(); }
    void BrowserArchiveChanged(const std::string&) override { Rows.Load(Reader.Entries()); }
    void ClearBrowserSelection() override { Rows.ClearSelection(); }
};

// Both runs and the pass over `window`, with the window's options, database check and
// whether nobody watches the restore.
struct WindowRuns {
    WindowRuns(FakeWindow& window, ExclusiveUseTest& databases, const TOptions& options, const bool& unattended)
        : Backup({window.Jobs, window.Defs, window.DefRules, Writer, databases, options}, window, window),
          Restore({window.Reader, databases, options, unattended}, window, window),
          ThePass(window.Jobs, Backup, Restore, window, options) {}

    ArchiveWriter Writer;
    BackupRun Backup;
    RestoreRun Restore;
    Pass ThePass;
};

}  // namespace vb::test
