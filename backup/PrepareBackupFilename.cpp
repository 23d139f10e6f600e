#include "backup/PrepareBackupFilename.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "catalogue/TJob.h"
#include "platform/RenameNoReplace.h"
#include "settings/TBackupStrategie.h"

namespace vb {
namespace {

// A file of that name exists; a folder does not count.
bool IsExistingFile(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// "-yy-mm-dd.zip": two-digit year, month and day with literal hyphens, so the names
// of one century sort by date.
std::string DaySuffix(const std::tm& now) {
    const int year = ((now.tm_year + 1900) % 100 + 100) % 100;
    char text[48];
    std::snprintf(text, sizeof text, "-%02d-%02d-%02d.zip", year, now.tm_mon + 1, now.tm_mday);
    return text;
}

struct Generations {
    std::string g1, g2, g3;
    explicit Generations(const TJob& job) {
        const std::string base = job.DestDir + "/" + job.Bezeichnung;
        g1 = base + "_1.zip", g2 = base + "_2.zip", g3 = base + "_3.zip";
    }
};

// Anything at all of that name: file, folder or link.
bool NameTaken(const std::string& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool RotateGenerations(const TJob& job) {
    const Generations g(job);
    // All three are tested before anything moves.
    const bool e1 = IsExistingFile(g.g1), e2 = IsExistingFile(g.g2), e3 = IsExistingFile(g.g3);
    if (e1 && e2 && e3) ::unlink(g.g3.c_str());
    if (e1 && e2) platform::RenameNoReplace(g.g2, g.g3);
    if (e1) platform::RenameNoReplace(g.g1, g.g2);
    return !NameTaken(g.g1);
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

}  // namespace vb
