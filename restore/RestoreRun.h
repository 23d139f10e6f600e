#pragma once
// The restore run: extracts entries of one job's archive below the restore root, for
// the button "Start" (the entries selected in the entry view) and for each job of a
// pass (pass/Pass.h; every entry of the job's own archive). Its owner (the window, or
// the unattended pass) lends it the reader; the run talks back through RunHost
// (boxes, prompts, status) and RestoreRunHost (the archive browser). The caller holds
// the data folder's pass lock.
//
// Entries that are left out (target in use, wrong password, damaged data, a target
// that cannot be written, a name that would leave the restore root) are named in the
// restore log with a " skipped " line and reported after the run: one box listing
// them in the window, one error line each in an unattended run, which then counts as
// failed.
//
// An unattended restore trusts less, since nobody watches it: an archive that anyone
// may write, or that lies in a folder where anyone may replace it, is refused whole,
// and an entry is put back only below one of the folders the job's definition list
// saves; entries elsewhere are left out and named. Nothing is extracted when the
// entries to restore cannot fit into the free space of their file systems.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "util/RunHost.h"

namespace vb {

class ArchiveReader;
class ExclusiveUseTest;
class TJob;
struct TOptions;

class RestoreRunHost {
public:
    virtual ~RestoreRunHost() = default;
    // The archive indices of the entries selected in the entry view.
    virtual std::vector<std::size_t> SelectedBrowserEntries() const = 0;
    // The reader closed its archive (`fileName` empty) or opened `fileName` anew: the
    // entry view lists what the reader holds, with no selection.
    virtual void BrowserArchiveChanged(const std::string& fileName) = 0;
    // Clears the entry view's selection.
    virtual void ClearBrowserSelection() = 0;
    // The chosen restore root, with a trailing "/".
    virtual std::string GetRestoreRoot() const = 0;
};

struct RestoreRunContext {
    ArchiveReader& Reader;
    ExclusiveUseTest& Databases;
    const TOptions& Options;
    const bool& Auto;  // an unattended pass: nobody watches
};

struct SkippedEntry {
    std::string Name;    // stored name
    std::string Reason;  // why it was left out
    bool InUseBoxShown = false;  // the window named it in its own box already
};

class RestoreRun {
public:
    RestoreRun(RestoreRunContext parts, RunHost& host, RestoreRunHost& window);

    // One run for `job`. With `wholeArchive` every entry of the job's own archive is
    // restored (job.BackupFilename, its BACKUPDATEI, when present in the target
    // folder, else its newest archive); otherwise the entries selected in the entry
    // view of the archive job.BackupFilename. True when every entry handed to the run
    // was restored. A job
    // whose target folder holds no archive ends with "Im Zielverzeichnis ... wurde keine
    // Sicherung gefunden." Errors opening the archive, a missing restore root and
    // errors the reader throws pass on after the run has cleaned up.
    bool RestoreJob(const TJob& job, bool wholeArchive);

    // Entries left out by the last RestoreJob.
    const std::vector<SkippedEntry>& Skipped() const { return FSkipped; }

private:
    // False, after its message, when the entries were not extracted at all.
    bool ExtractTagged(const std::string& root, bool unattended);
    void Skip(const std::string& name, const std::string& reason, bool boxShown);
    void ReportSkipped();

    RestoreRunContext FContext;
    RunHost& FHost;
    RestoreRunHost& FWindow;
    std::vector<SkippedEntry> FSkipped;
};

}  // namespace vb
