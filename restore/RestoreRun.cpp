#include "restore/RestoreRun.h"

#include <sys/stat.h>

#include <chrono>
#include <unordered_map>
#include <unordered_set>

#include "zip/ArchiveReader.h"
#include "catalogue/DefinitionList.h"
#include "catalogue/TJob.h"
#include "dbcheck/ExclusiveUseTest.h"
#include "platform/FileStat.h"
#include "catalogue/JobArchives.h"
#include "settings/Settings.h"
#include "util/Error.h"
#include "util/EscapeControl.h"
#include "util/Finally.h"
#include "util/GermanFormat.h"

namespace vb {
namespace {

const char* const kStillOpen = " ist noch ge\xC3\xB6" "ffnet und konnte deshalb nicht wiederhergestellt werden.";

// "/a//b/" as "/a/b": folders of the definition list as written by hand.
std::string FolderText(const std::string& folder) {
    std::string out;
    for (const char c : folder) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

bool LiesBelow(const std::string& path, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        if (folder == "/" ||
            (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/'))
            return true;
    }
    return false;
}

// Why an unattended restore must not trust the archive at `path`: anyone may write
// it, or anyone may put another file in its place. "" when it may be trusted.
std::string UntrustedArchive(const std::string& path) {
    const auto file = platform::StatPath(path, true);
    if (file && (file->Mode & S_IWOTH))
        return "Die Sicherung " + path +
               " ist für alle Benutzer beschreibbar und wird nicht wiederhergestellt. "
               "Bitte entziehen Sie das Schreibrecht (chmod o-w).";
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    const auto status = platform::StatPath(folder.empty() ? "." : folder, true);
    if (status && (status->Mode & S_IWOTH) && !(status->Mode & S_ISVTX))
        return "Der Ordner " + folder + " der Sicherung " + path +
               " ist für alle Benutzer beschreibbar; die Sicherung wird nicht wiederhergestellt. "
               "Bitte entziehen Sie das Schreibrecht (chmod o-w) oder setzen Sie das Sticky-Bit (chmod +t).";
    return {};
}

bool IsFolder(const std::string& path) {
    const auto status = platform::StatPath(path, true);
    return status && status->Kind == platform::FileKind::Directory;
}

}  // namespace

RestoreRun::RestoreRun(RestoreRunContext parts, RunHost& host, RestoreRunHost& window)
    : FContext(parts), FHost(host), FWindow(window) {}

void RestoreRun::Skip(const std::string& name, const std::string& reason, bool boxShown) {
    FSkipped.push_back({name, reason, boxShown});
    FContext.Reader.Log().Line(name, " skipped ");
}

bool RestoreRun::RestoreJob(const TJob& job, bool wholeArchive) {
    FSkipped.clear();
    ArchiveReader& reader = FContext.Reader;
    const bool unattended = FContext.Auto;

    if (ListArchiveNames(job.DestDir).empty()) {
        FHost.ShowError("Im Zielverzeichnis " + job.DestDir + " wurde keine Sicherung gefunden.");
        return false;
    }
    const std::string archiveName =
        wholeArchive ? ArchiveForRestorePass(job.DestDir, job.BackupFilename) : job.BackupFilename;

    // 1. The selection, as the entries' stored names: the view's order and its
    // leaving out of folders play no part.
    std::unordered_set<std::string> selected;
    if (!wholeArchive) {
        for (std::size_t index : FWindow.SelectedBrowserEntries()) selected.insert(reader.Entry(index).Name);
    }
    // 2. and 3. The archive is opened afresh.
    reader.Close();
    FWindow.BrowserArchiveChanged("");
    FHost.SetStatus("");
    reader.Open(ArchivePath(job.DestDir, archiveName));
    FWindow.BrowserArchiveChanged(archiveName);
    // 4. Tags.
    for (std::size_t i = 0; i < reader.Count(); ++i) {
        reader.SetTagged(i, wholeArchive || selected.count(reader.Entry(i).Name) > 0);
    }

    const std::string root = FWindow.GetRestoreRoot();
    if (!IsFolder(root)) throw Error("Das Wiederherstellungsziel " + root + " ist nicht vorhanden.");
    if (unattended) {
        // Nobody watches: only an archive nobody else could have put there, and only
        // into the folders the job backs up.
        if (const std::string why = UntrustedArchive(reader.FileName()); !why.empty()) {
            FHost.ShowError(why);
            return false;
        }
        std::vector<std::string> folders;
        for (const std::string& folder : SavedFolders(job.DefFile)) {
            if (!folder.empty()) folders.push_back(FolderText(folder));
        }
        for (std::size_t i = 0; i < reader.Count(); ++i) {
            const ArchiveEntry& entry = reader.Entry(i);
            std::string target = FolderText(root + entry.Name);
            if (!entry.Tagged || LiesBelow(target, folders)) continue;
            reader.SetTagged(i, false);
            Skip(entry.Name, "liegt nicht unter einem Ordner, den der Job sichert", false);
        }
    }

    // 5. to 7.
    const bool extracted = ExtractTagged(root, unattended);
    ReportSkipped();
    return extracted && FSkipped.empty();
}

bool RestoreRun::ExtractTagged(const std::string& root, bool unattended) {
    ArchiveReader& reader = FContext.Reader;
    FHost.SetBusy(true);
    Finally finishing([&] {
        reader.SetLogFile("");
        reader.SetLogging(false);
        reader.OnNeedPassword = nullptr;
        reader.OnRequestLastDisk = nullptr;
        reader.OnRequestNthDisk = nullptr;
        FHost.SetBusy(false);
        FWindow.ClearBrowserSelection();
        FHost.SetStatus("");
        FHost.SetProgress(0, 0);
    });
    reader.SetLogFile(FContext.Options.FDatenDir + "/VB-Restore.log");
    reader.SetLogging(FContext.Options.FLogging);
    reader.OnNeedPassword = [this](const std::string& current) {
        const auto password = FHost.AskPassword("Passworteingabe", "Passwort:");
        return password ? *password : current;
    };
    reader.OnRequestLastDisk = [this] { return FHost.ConfirmOkCancel("Bitte die letzte Diskette einlegen"); };
    reader.OnRequestNthDisk = [this](int disk) {
        return FHost.ConfirmOkCancel("Bitte Diskette Nr. " + std::to_string(disk) + " einlegen");
    };

    // 6. The folders on the way are walked (and what is missing is made); entries
    // whose target is in use are left out before anything is extracted, and nothing
    // is extracted when the entries cannot fit.
    reader.SetBaseDirectory(root);
    std::vector<std::size_t> toExtract;
    std::unordered_map<std::uint64_t, std::pair<std::uint64_t, std::uint64_t>> space;  // needed, available
    for (std::size_t i = 0; i < reader.Count(); ++i) {
        const ArchiveEntry& entry = reader.Entry(i);
        if (!entry.Tagged) continue;
        const std::string target = root + entry.Name;
        std::string reason;
        std::uint64_t fileSystem = 0, available = 0;
        if (!reader.PrepareTargetFolder(i, reason, fileSystem, available)) {
            Skip(entry.Name, reason, false);
            continue;
        }
        auto& [needed, free] = space[fileSystem];
        needed += entry.UncompressedSize;
        free = available;
        if (!FContext.Databases.TestExclusive(target)) {
            if (!unattended) {
                FHost.ShowError(EscapeControl(entry.Name) + kStillOpen +
                                "\n\nBitte schlie\xC3\x9F"
                                "en Sie alle Anwendungen, die auf diese Datei zugreifen, "
                                "und starten dann erneut.");
            }
            Skip(entry.Name, "die Datei ist noch ge\xC3\xB6" "ffnet", !unattended);
            continue;
        }
        toExtract.push_back(i);
    }
    for (const auto& [fileSystem, need] : space) {
        if (need.first <= need.second) continue;
        FHost.ShowError("Auf dem Ziellaufwerk ist nicht genug Platz frei: Die Wiederherstellung braucht " +
                        FormatThousands(static_cast<std::int64_t>(need.first)) + " Bytes, frei sind " +
                        FormatThousands(static_cast<std::int64_t>(need.second)) +
                        " Bytes. Es wurde nichts wiederhergestellt.");
        return false;
    }

    std::size_t done = 0;
    auto lastBreath = std::chrono::steady_clock::now();
    reader.ExtractEntries(toExtract, [&](std::size_t index, bool ok, const std::string& reason) {
        const std::string& name = reader.Entry(index).Name;
        if (!ok) Skip(name, reason, false);
        ++done;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastBreath >= std::chrono::milliseconds(40) || done == toExtract.size()) {
            lastBreath = now;
            FHost.SetStatus("Entpacke: " + EscapeControl(root + name) + " ...");
            FHost.SetProgress(static_cast<int>(done), static_cast<int>(toExtract.size()));
            FHost.Breathe();
        }
    });
    return true;
}

void RestoreRun::ReportSkipped() {
    if (FSkipped.empty()) return;
    if (FContext.Auto) {
        for (const SkippedEntry& s : FSkipped)
            FHost.ShowError(EscapeControl(s.Name) + " wurde nicht wiederhergestellt: " + EscapeControl(s.Reason));
        return;
    }
    std::string text;
    for (const SkippedEntry& s : FSkipped) {
        if (!s.InUseBoxShown) text += "\n" + EscapeControl(s.Name) + " (" + EscapeControl(s.Reason) + ")";
    }
    if (!text.empty()) FHost.ShowError("Die folgenden Eintr\xC3\xA4ge wurden nicht wiederhergestellt:\n" + text);
}

}  // namespace vb
