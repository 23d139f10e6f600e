#pragma once
// A job's archive fetched from the rclone remote for a restore: the newest archive of
// the job there (by the time the remote reports), downloaded into a private scratch
// folder in the data folder under its own name, and checked against the remote (size,
// and hash where the remote offers one) before anything reads it. The scratch folder
// and the file go with the object.
#include <memory>
#include <string>
#include <vector>

#include "pass/RcloneRemote.h"
#include "platform/ScratchFolder.h"
#include "util/RunHost.h"

namespace vb {

class TJob;
struct TOptions;

// The prefix of the scratch folders in the data folder ("." + prefix + "-XXXXXX").
inline constexpr const char* kRemoteArchiveFolderPrefix = "vb-zweitkopie";

class RemoteArchive {
public:
    // The newest archive of `job` (under the options' strategy) on the options'
    // target, fetched; nullptr when the remote holds none. Throws vb::Error with the
    // German message when the remote cannot be reached or the download is not whole.
    static std::unique_ptr<RemoteArchive> FetchNewest(const TOptions& options, const TJob& job, RunHost& host);
    // The archive `file` of the options' target (as ListOnRemote gives it), fetched.
    static std::unique_ptr<RemoteArchive> Fetch(const TOptions& options, const RemoteFile& file, RunHost& host);
    // The archives of `job` (under the options' strategy) on the options' target.
    static std::vector<RemoteFile> ListOnRemote(const TOptions& options, const TJob& job);

    // The job as a restore of the fetched archive sees it: the scratch folder as its
    // target folder, the archive's name as its recorded archive.
    TJob AsJob(const TJob& job) const;
    const std::string& Name() const { return FName; }
    // The fetched file.
    std::string Path() const;

private:
    RemoteArchive(const std::string& dataFolder, std::string name);

    platform::ScratchFolder FFolder;
    std::string FName;
};

// True when the job's target folder holds no archive of the job under `strategie`.
bool LocalArchiveMissing(const TJob& job, std::uint8_t strategie);

}  // namespace vb
