#include "pass/RemoteRestore.h"

#include <algorithm>

#include "catalogue/JobArchives.h"
#include "catalogue/TJob.h"
#include "pass/RcloneRemote.h"
#include "platform/FileStat.h"
#include "settings/Settings.h"
#include "util/Error.h"

namespace vb {

RemoteArchive::RemoteArchive(const std::string& dataFolder, std::string name)
    : FFolder(dataFolder, kRemoteArchiveFolderPrefix), FName(std::move(name)) {}

std::vector<RemoteFile> RemoteArchive::ListOnRemote(const TOptions& options, const TJob& job) {
    std::vector<RemoteFile> files = RcloneRemote(options.FZweitkopieZiel).List();
    std::vector<std::string> names;
    for (const RemoteFile& file : files) names.push_back(file.Name);
    const std::vector<std::string> archives = ArchivesOfJob(names, job, options.FStrategie);
    std::erase_if(files, [&](const RemoteFile& file) {
        return std::find(archives.begin(), archives.end(), file.Name) == archives.end();
    });
    return files;
}

std::unique_ptr<RemoteArchive> RemoteArchive::FetchNewest(const TOptions& options, const TJob& job, RunHost& host) {
    const std::vector<RemoteFile> files = ListOnRemote(options, job);
    const RemoteFile* newest = nullptr;
    for (const RemoteFile& file : files) {
        if (!newest || file.ModTime > newest->ModTime || (file.ModTime == newest->ModTime && file.Name > newest->Name))
            newest = &file;
    }
    return newest ? Fetch(options, *newest, host) : nullptr;
}

std::unique_ptr<RemoteArchive> RemoteArchive::Fetch(const TOptions& options, const RemoteFile& file, RunHost& host) {
    const RcloneRemote remote(options.FZweitkopieZiel);
    std::unique_ptr<RemoteArchive> fetched(new RemoteArchive(options.FDatenDir, file.Name));
    const std::string local = fetched->Path();
    remote.Download(file.Name, local, ProgressOnHost(host, "Lade " + file.Name + " von " + remote.Target()));
    host.SetStatus("");
    host.SetProgress(0, 0);
    const auto status = platform::StatPath(local, false);
    if (!status || status->Size != file.Size) {
        throw Error("Die Sicherung " + remote.PathOf(file.Name) + " kam nicht vollst\u00E4ndig an (" +
                    std::to_string(status ? status->Size : 0) + " von " + std::to_string(file.Size) + " Bytes).");
    }
    const auto described = remote.Describe(file.Name);
    if (described && described->Hash && described->Hash->Hex != remote.LocalHash(local, described->Hash->Kind)) {
        throw Error("Die Pr\u00FCfsumme (" + described->Hash->Kind + ") der geladenen Sicherung " +
                    remote.PathOf(file.Name) + " stimmt nicht.");
    }
    return fetched;
}

std::string RemoteArchive::Path() const { return ArchivePath(FFolder.Path(), FName); }

TJob RemoteArchive::AsJob(const TJob& job) const {
    TJob copy = job;
    copy.DestDir = FFolder.Path();
    copy.BackupFilename = FName;
    return copy;
}

bool LocalArchiveMissing(const TJob& job, std::uint8_t strategie) {
    return ArchivesOfJob(ListArchiveNames(job.DestDir), job, strategie).empty();
}

}  // namespace vb
