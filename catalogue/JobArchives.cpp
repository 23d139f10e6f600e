#include "catalogue/JobArchives.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <tuple>

#include "catalogue/TJob.h"
#include "platform/CreationStamp.h"
#include "platform/FileStat.h"
#include "platform/PathWalk.h"
#include "platform/RenameNoReplace.h"
#include "platform/TemporaryFiles.h"
#include "catalogue/TBackupStrategie.h"
#include "util/PathText.h"

namespace vb {
namespace {

// A file of that name exists; a folder does not count.
bool IsExistingFile(const std::string& path) {
    const auto status = platform::StatPath(path, true);
    return status && status->Kind != platform::FileKind::Directory;
}

// "-yy-mm-dd.zip": two-digit year, month and day with literal hyphens, so the names
// of one century sort by date.
std::string DaySuffix(const std::tm& now) {
    const int year = ((now.tm_year + 1900) % 100 + 100) % 100;
    char text[48];
    std::snprintf(text, sizeof text, "-%02d-%02d-%02d.zip", year, now.tm_mon + 1, now.tm_mday);
    return text;
}

constexpr std::string_view kPendingSuffix = "_1.zip.vbneu";

struct Generations {
    std::string g1, g2, g3, pending;
    explicit Generations(const TJob& job) {
        const std::string folder = job.DestDir + "/";
        g1 = folder + GenerationName(job, 1), g2 = folder + GenerationName(job, 2), g3 = folder + GenerationName(job, 3);
        pending = folder + job.Bezeichnung + std::string(kPendingSuffix);
    }
};

// Anything at all of that name: file, folder or link.
bool NameTaken(const std::string& path) { return platform::StatPath(path, false).has_value(); }

// Two names of one regular file: what a rename by link and unlink leaves when it is
// cut short between the two.
bool SameFile(const std::string& a, const std::string& b) {
    const auto sa = platform::StatPath(a, false);
    const auto sb = platform::StatPath(b, false);
    return sa && sb && sa->Kind == platform::FileKind::Regular && sa->Device == sb->Device && sa->Inode == sb->Inode;
}

// The one place that reads the tests' request to end the process at a step of the
// rotation (see RotateGenerations); a real run never has the variable set.
void ReachedRotationStep(int step) {
    static const int exitAt = [] {
        const char* value = std::getenv("VB_TEST_EXIT_AT_ROTATION_STEP");
        return value ? std::atoi(value) : 0;
    }();
    if (step == exitAt) ::_exit(3);
}

// "-yy-mm-dd" at the end of `stem`, with any digits.
bool EndsWithDay(std::string_view stem) {
    if (stem.size() < 9) return false;
    const std::string_view day = stem.substr(stem.size() - 9);
    for (std::size_t i = 0; i < day.size(); ++i) {
        const bool digit = day[i] >= '0' && day[i] <= '9';
        if (i % 3 == 0 ? day[i] != '-' : !digit) return false;
    }
    return true;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Letters without regard to case first, then the bytes, so that the order is total.
bool NameOrder(const std::string& a, const std::string& b) {
    const auto folded = [](const std::string& s) {
        std::string out(s);
        std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
        return out;
    };
    const std::string fa = folded(a), fb = folded(b);
    return fa != fb ? fa < fb : a < b;
}

}  // namespace

std::string PendingGenerationPath(const TJob& job) { return Generations(job).pending; }

bool RotateGenerations(const TJob& job) {
    const Generations g(job);
    // A step whose rename was cut short between link and unlink is done: the name it
    // was leaving goes. When that was the last step, the rotation is complete.
    if (SameFile(g.pending, g.g1)) return ::unlink(g.pending.c_str()) == 0;
    if (SameFile(g.g1, g.g2)) ::unlink(g.g1.c_str());
    if (SameFile(g.g2, g.g3)) ::unlink(g.g2.c_str());
    // All are tested before anything moves; each step below is the one that the
    // names found call for, so a repeated call after a killed one does what is left.
    const bool waiting = IsExistingFile(g.pending);
    const bool e1 = IsExistingFile(g.g1), e2 = IsExistingFile(g.g2), e3 = IsExistingFile(g.g3);
    ReachedRotationStep(1);
    if (e1 && e2 && e3) ::unlink(g.g3.c_str());
    ReachedRotationStep(2);
    if (e1 && e2) platform::RenameNoReplace(g.g2, g.g3);
    ReachedRotationStep(3);
    if (e1) platform::RenameNoReplace(g.g1, g.g2);
    if (!waiting) return !NameTaken(g.g1);
    ReachedRotationStep(4);
    platform::RenameNoReplace(g.pending, g.g1);
    ReachedRotationStep(5);
    return !NameTaken(g.pending);
}

bool FinishInterruptedRotation(const TJob& job) {
    const std::string pending = Generations(job).pending;
    if (!NameTaken(pending)) return true;
    return IsExistingFile(pending) && RotateGenerations(job);
}

bool GenerationsWillRotate(const TJob& job) {
    const Generations g(job);
    if (!IsExistingFile(g.g1)) return !NameTaken(g.g1);
    // _1 moves onto _2 when that name is free, or when _2 is a file that moves on.
    if (!NameTaken(g.g2)) return true;
    if (!IsExistingFile(g.g2)) return false;
    // _2 moves onto _3 when that name is free, or when _3 is a file that is deleted.
    return !NameTaken(g.g3) || IsExistingFile(g.g3);
}

std::string PrepareBackupFilename(const TJob& job, std::uint8_t strategie, const std::tm& now,
                                  const std::function<void(std::uint64_t)>& setSpanningThreshold) {
    if (setSpanningThreshold) setSpanningThreshold(0);
    switch (strategie) {
    case bsDreiGenerationen:
        return "/" + job.Bezeichnung + "_1.zip";
    case bsGleicheDatei:
        return "/" + job.Bezeichnung + ".zip";
    case bsJedenTag:
    default:
        return "/" + job.Bezeichnung + DaySuffix(now);
    }
}

std::vector<std::string_view> JobsWhoseArchiveThisMayBe(std::string_view fileName) {
    std::vector<std::string_view> jobs;
    if (const auto original = platform::StandsInFor(fileName)) fileName = *original;
    if (fileName.ends_with(kPendingSuffix)) {
        jobs.push_back(fileName.substr(0, fileName.size() - kPendingSuffix.size()));
        return jobs;
    }
    if (!fileName.ends_with(".zip")) return jobs;
    const std::string_view stem = fileName.substr(0, fileName.size() - 4);
    jobs.push_back(stem);  // same file
    const std::size_t n = stem.size();
    if (n >= 2 && stem[n - 2] == '_' && stem[n - 1] >= '1' && stem[n - 1] <= '3') jobs.push_back(stem.substr(0, n - 2));
    if (EndsWithDay(stem)) jobs.push_back(stem.substr(0, n - 9));
    return jobs;
}

std::string ArchivePath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::vector<std::string> ListArchiveNames(const std::string& folder) {
    std::vector<std::string> names;
    if (folder.empty()) return names;
    // The target folder is reached under the rule for links, like every folder a
    // restore reads from or writes into.
    const platform::WalkResult walked = platform::OpenFolder(folder);
    if (!walked.Ok()) return names;
    const auto items = platform::ListFolder(walked.Fd.Get());
    if (!items) return names;
    for (const platform::FolderItem& item : *items) {
        if (EndsWithZip(item.Name)) names.push_back(item.Name);
    }
    std::sort(names.begin(), names.end(), NameOrder);
    return names;
}

std::vector<std::string> JobArchiveNames(const std::string& folder, std::string_view jobName) {
    std::vector<std::string> names;
    for (std::string& name : ListArchiveNames(folder)) {
        if (!name.ends_with(".zip")) continue;  // never "X.ZIP" of a job "X", which the backup never writes
        const auto jobs = JobsWhoseArchiveThisMayBe(name);
        if (std::find(jobs.begin(), jobs.end(), jobName) != jobs.end()) names.push_back(std::move(name));
    }
    return names;
}

std::string ArchiveForRestorePass(const std::string& folder, const std::string& recorded) {
    const std::vector<std::string> names = ListArchiveNames(folder);
    if (!recorded.empty() && std::find(names.begin(), names.end(), recorded) != names.end()) return recorded;
    std::string newest;
    std::tuple<int, int, int, int, int, int> newestStamp{};
    for (const std::string& name : names) {
        const auto stamp = platform::ReadCreationStamp(ArchivePath(folder, name));
        if (!stamp) continue;
        const auto key = std::make_tuple(stamp->tm_year, stamp->tm_mon, stamp->tm_mday, stamp->tm_hour,
                                         stamp->tm_min, stamp->tm_sec);
        if (newest.empty() || key >= newestStamp) {
            newest = name;
            newestStamp = key;
        }
    }
    return newest;
}

std::string GenerationName(const TJob& job, int n) { return job.Bezeichnung + "_" + std::to_string(n) + ".zip"; }

std::vector<std::string> ArchivesOfJob(const std::vector<std::string>& names, const TJob& job,
                                       std::uint8_t strategie) {
    std::vector<std::string> found;
    const auto has = [&](const std::string& name) { return std::find(names.begin(), names.end(), name) != names.end(); };
    switch (strategie) {
    case bsDreiGenerationen:
        for (int n = 1; n <= 3; ++n) {
            if (has(GenerationName(job, n))) found.push_back(GenerationName(job, n));
        }
        return found;
    case bsGleicheDatei:
        if (has(job.Bezeichnung + ".zip")) found.push_back(job.Bezeichnung + ".zip");
        return found;
    case bsJedenTag:
    default:
        for (const std::string& name : names) {
            if (ArchiveDay(name, job)) found.push_back(name);
        }
        std::sort(found.begin(), found.end());
        return found;
    }
}

std::optional<long> ArchiveDay(std::string_view name, const TJob& job) {
    const std::string_view prefix = job.Bezeichnung;
    if (name.size() != prefix.size() + 13 || !name.starts_with(prefix) || !name.ends_with(".zip")) return std::nullopt;
    const std::string_view stem = name.substr(0, name.size() - 4);
    if (!EndsWithDay(stem)) return std::nullopt;
    const auto number = [&](std::size_t at) { return (stem[at] - '0') * 10 + (stem[at + 1] - '0'); };
    const std::size_t at = prefix.size();
    using namespace std::chrono;
    const year_month_day date{year(2000 + number(at + 1)), month(static_cast<unsigned>(number(at + 4))),
                              day(static_cast<unsigned>(number(at + 7)))};
    if (!date.ok()) return std::nullopt;
    return sys_days(date).time_since_epoch().count();
}

long DayNumber(const std::tm& now) {
    using namespace std::chrono;
    const year_month_day date{year(now.tm_year + 1900), month(static_cast<unsigned>(now.tm_mon + 1)),
                              day(static_cast<unsigned>(now.tm_mday))};
    return sys_days(date).time_since_epoch().count();
}

}  // namespace vb
