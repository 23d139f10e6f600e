#pragma once
// The copy of a job's archives to an rclone remote, "Zweitkopie (extern)": after each
// archive a backup pass writes, the remote folder is brought in line with the job's
// archives in its target folder, under the same names and the same strategy. A file
// is uploaded under a temporary name (name + ".vbteil"), checked there (its size, and
// its hash where the remote offers one) and only then renamed to its final name, so
// the final name never holds a part. The three generations rotate on the remote by
// renames; per-day archives older than the kept days are removed there (and only
// there). An archive the remote lacks, or holds in an older or different version,
// is copied, so that the pass after a failed copy copies what is missing.
//
// A failure changes nothing local: it is reported as an error (the standard error of
// an unattended pass) and logged in the job's log, and the job counts as incomplete.
#include <ctime>
#include <string>

#include "util/RunHost.h"

namespace vb {

class RcloneRemote;
class TJob;
struct TOptions;

class OffsiteCopy {
public:
    // The target, kept days, strategy, data folder and logging come from `options`;
    // both must outlive the object.
    OffsiteCopy(const TOptions& options, RunHost& host);

    // Brings the remote's archives of `job` in line; `now` is the local time of the
    // pass, which the kept days count from. `started` is a remote of the pass whose
    // rclone already runs; it is used when it has the options' target. True when the
    // remote holds every archive it should; false after the error was reported.
    bool CopyJob(const TJob& job, const std::tm& now, const RcloneRemote* started = nullptr);

    // Says (message and log line) that the spanned set `archivePath` is not copied:
    // its volumes live on removable media.
    void SkipSpanned(const std::string& archivePath);

private:
    void Log(const std::string& name, const std::string& event);

    const TOptions& FOptions;
    RunHost& FHost;
};

// The file in the data folder that records the last copy that succeeded.
std::string LastCopyRecordPath(const std::string& datenDir);
// "10.12.2026 21:35:09 (Job „Verwaltung“ nach schule-nc:Sicherungen)", or "" when no
// copy has succeeded yet.
std::string LastCopyText(const std::string& datenDir);

}  // namespace vb
