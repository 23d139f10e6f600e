#include "pass/OffsiteCopy.h"

#include <algorithm>
#include <map>
#include <optional>

#include "zip/ArchiveLog.h"
#include "catalogue/JobArchives.h"
#include "catalogue/TJob.h"
#include "pass/RcloneRemote.h"
#include "platform/AtomicFile.h"
#include "platform/FileStat.h"
#include "settings/Settings.h"
#include "util/Error.h"
#include "util/Finally.h"
#include "util/GermanFormat.h"
#include "util/PathText.h"

namespace vb {
namespace {

constexpr std::string_view kPartSuffix = ".vbteil";

std::string Quoted(const std::string& text) { return "\u201E" + text + "\u201C"; }

// One archive of the job in its target folder.
struct LocalArchive {
    std::string Path;
    platform::FileStatus Status;
};

// The remote holds this version of the archive or a later copy of it: the same size,
// and a time no earlier than the local file's last change. (A remote that keeps the
// time of the upload shows a later one; one that takes the local time the same.)
bool Holds(const RemoteFile& remote, const LocalArchive& local) {
    return remote.Size == local.Status.Size && remote.ModTime >= local.Status.ModifiedTime;
}

// The remote folder's files by name, kept up to date with what this pass changes.
using RemoteFolder = std::map<std::string, RemoteFile>;

class JobCopy {
public:
    JobCopy(const RcloneRemote& remote, RunHost& host, const TJob& job, std::uint8_t strategie)
        : FRemote(remote), FHost(host), FJob(job), FStrategie(strategie) {
        for (RemoteFile& file : FRemote.List()) FFiles[file.Name] = std::move(file);
    }

    // Uploads of this job's archives that a cut connection left under their
    // temporary name.
    void RemoveLeftoverUploads() {
        std::vector<std::string> leftovers;
        for (const auto& [name, file] : FFiles) {
            if (!name.ends_with(kPartSuffix)) continue;
            const std::string archive = name.substr(0, name.size() - kPartSuffix.size());
            if (!ArchivesOfJob({archive}, FJob, FStrategie).empty()) leftovers.push_back(name);
        }
        for (const std::string& leftover : leftovers) Delete(leftover);
    }

    // The archives of the job in its target folder, by name. A link in an archive's
    // place is no archive of this program and goes nowhere.
    std::map<std::string, LocalArchive> LocalArchives() const {
        std::map<std::string, LocalArchive> archives;
        for (const std::string& name : ArchivesOfJob(ListArchiveNames(FJob.DestDir), FJob, FStrategie)) {
            const std::string path = ArchivePath(FJob.DestDir, name);
            if (const auto status = platform::StatPath(path, false); status && status->Kind == platform::FileKind::Regular)
                archives[name] = {path, *status};
        }
        return archives;
    }

    // The generations in the order that frees each name before it is filled: _3 takes
    // the old _2 and _2 the old _1 by a rename on the remote, and _1 is uploaded.
    void Generations() {
        const auto archives = LocalArchives();
        for (int n = 3; n >= 1; --n) {
            const auto local = archives.find(GenerationName(FJob, n));
            if (local == archives.end() || Has(local->first, local->second)) continue;
            const std::string younger = n > 1 ? GenerationName(FJob, n - 1) : std::string();
            if (!younger.empty() && Has(younger, local->second)) {
                FRemote.Move(younger, local->first, FFiles.contains(local->first));
                FFiles[local->first] = FFiles[younger];
                FFiles.erase(younger);
                continue;
            }
            Upload(local->first, local->second);
        }
    }

    // Per day: what is within the kept days goes up when missing; what is older goes
    // on the remote.
    void Days(long today, int keptDays) {
        const long oldest = today - keptDays;
        for (const auto& [name, local] : LocalArchives()) {
            if (*ArchiveDay(name, FJob) >= oldest && !Has(name, local)) Upload(name, local);
        }
        std::vector<std::string> names;
        for (const auto& [name, file] : FFiles) names.push_back(name);
        for (const std::string& name : ArchivesOfJob(names, FJob, FStrategie)) {
            if (*ArchiveDay(name, FJob) < oldest) Delete(name);
        }
    }

    void SameFile() {
        for (const auto& [name, local] : LocalArchives()) {
            if (!Has(name, local)) Upload(name, local);
        }
    }

    std::function<void(const std::string&, const std::string&)> OnLog;

private:
    bool Has(const std::string& name, const LocalArchive& local) const {
        const auto found = FFiles.find(name);
        return found != FFiles.end() && Holds(found->second, local);
    }

    void Delete(const std::string& name) {
        FRemote.Delete(name);
        FFiles.erase(name);
        OnLog(FRemote.PathOf(name), " auf dem Ziel gel\u00F6scht ");
    }

    // Up under the temporary name, checked there, then renamed: the final name never
    // holds a part, and a check that fails leaves the remote's earlier copy alone.
    void Upload(const std::string& name, const LocalArchive& local) {
        const std::string part = name + std::string(kPartSuffix);
        FRemote.Upload(local.Path, part, ProgressOnHost(FHost, "Zweitkopie: " + name + " nach " + FRemote.Target()));
        FHost.SetStatus("Zweitkopie: " + name + " wird gepr\u00FCft...");
        const auto placed = FRemote.Describe(part);
        if (!placed || placed->Size != local.Status.Size) {
            throw Error("Die Datei " + FRemote.PathOf(part) + " ist nach dem Hochladen " +
                        (placed ? std::to_string(placed->Size) : std::string("0")) + " statt " +
                        std::to_string(local.Status.Size) + " Bytes gro\u00DF.");
        }
        if (placed->Hash && placed->Hash->Hex != FRemote.LocalHash(local.Path, placed->Hash->Kind)) {
            throw Error("Die Pr\u00FCfsumme (" + placed->Hash->Kind + ") der Datei " + FRemote.PathOf(part) +
                        " stimmt nicht mit der Sicherung " + local.Path + " \u00FCberein.");
        }
        // The rename on the remote either happens whole or fails (and then throws).
        FRemote.Move(part, name, FFiles.contains(name));
        FFiles.erase(part);
        RemoteFile moved = *placed;
        moved.Name = name;
        // The remote keeps the time of the upload or of the local file; either holds
        // this version from now on.
        moved.ModTime = std::max(moved.ModTime, local.Status.ModifiedTime);
        FFiles[name] = std::move(moved);
        OnLog(FRemote.PathOf(name), " Zweitkopie geschrieben ");
    }

    const RcloneRemote& FRemote;
    RunHost& FHost;
    const TJob& FJob;
    const std::uint8_t FStrategie;
    RemoteFolder FFiles;
};

}  // namespace

OffsiteCopy::OffsiteCopy(const TOptions& options, RunHost& host) : FOptions(options), FHost(host) {}

void OffsiteCopy::Log(const std::string& name, const std::string& event) {
    if (!FOptions.FLogging) return;
    ArchiveLog log;
    if (log.Continue(FOptions.FDatenDir + "/VB-Backup.log")) log.Line(name, event);
}

bool OffsiteCopy::CopyJob(const TJob& job, const std::tm& now, const RcloneRemote* started) {
    const std::string& target = FOptions.FZweitkopieZiel;
    FHost.SetBusy(true);
    Finally idle([this] {
        FHost.SetStatus("");
        FHost.SetProgress(0, 0);
        FHost.SetBusy(false);
    });
    try {
        if (target.find(':') == std::string::npos) {
            throw Error("F\u00FCr die Zweitkopie ist kein Ziel eingestellt (Einstellungen, \u201EZweitkopie "
                        "(extern)\u201C: Ziel in der Form remote:Ordner).");
        }
        std::optional<RcloneRemote> own;
        const RcloneRemote& remote = started && started->Target() == target ? *started : own.emplace(target);
        FHost.SetStatus("Zweitkopie: Verbindung zu " + target + "...");
        FHost.Breathe();
        JobCopy copy(remote, FHost, job, FOptions.FStrategie);
        copy.OnLog = [this](const std::string& name, const std::string& event) { Log(name, event); };
        copy.RemoveLeftoverUploads();
        switch (FOptions.FStrategie) {
        case bsDreiGenerationen: copy.Generations(); break;
        case bsGleicheDatei: copy.SameFile(); break;
        case bsJedenTag:
        default: copy.Days(DayNumber(now), FOptions.FZweitkopieTage); break;
        }
    } catch (const Error& e) {
        Log(target, std::string(" Zweitkopie fehlgeschlagen: ") + e.what() + " ");
        FHost.ShowError("Die Zweitkopie des Jobs " + Quoted(job.Bezeichnung) + " nach " + Quoted(target) +
                        " ist fehlgeschlagen: " + e.what() +
                        "\n\nDie Sicherung im Zielordner bleibt unver\u00E4ndert; der n\u00E4chste Lauf kopiert, "
                        "was auf dem Ziel fehlt.");
        return false;
    }
    // The record is a convenience for the settings page; a failure to write it costs
    // no archive and is not worth failing the pass.
    try {
        WriteFileAtomically(LastCopyRecordPath(FOptions.FDatenDir),
                            FormatShortDate(now) + " " + FormatLongTime(now) + " (Job " + Quoted(job.Bezeichnung) +
                                " nach " + target + ")\n");
    } catch (const Error&) {
    }
    return true;
}

void OffsiteCopy::SkipSpanned(const std::string& archivePath) {
    Log(archivePath, " Zweitkopie \u00FCbersprungen: auf mehrere Datentr\u00E4ger verteilt ");
    FHost.ShowMessage("Die Sicherung " + archivePath +
                      " ist auf mehrere Datentr\u00E4ger verteilt; sie wird nicht auf das externe Ziel kopiert.");
}

std::string LastCopyRecordPath(const std::string& datenDir) { return ArchivePath(datenDir, "VB-Zweitkopie.txt"); }

std::string LastCopyText(const std::string& datenDir) {
    std::string text;
    if (!ReadWholeFile(LastCopyRecordPath(datenDir), text)) return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace vb
