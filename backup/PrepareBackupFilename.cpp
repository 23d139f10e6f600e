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

std::string RotateGenerations(const TJob& job) {
    const std::string base = job.DestDir + "/" + job.Bezeichnung;
    const std::string g1 = base + "_1.zip", g2 = base + "_2.zip", g3 = base + "_3.zip";
    // All three are tested before anything moves.
    const bool e1 = IsExistingFile(g1), e2 = IsExistingFile(g2), e3 = IsExistingFile(g3);
    if (e1 && e2 && e3) ::unlink(g3.c_str());
    if (e1 && e2) platform::RenameNoReplace(g2, g3);
    if (e1) platform::RenameNoReplace(g1, g2);
    return "/" + job.Bezeichnung + "_1.zip";
}

}  // namespace

std::string PrepareBackupFilename(const TJob& job, std::uint8_t strategie, const std::tm& now,
                                  const std::function<void(std::uint64_t)>& setSpanningThreshold) {
    if (setSpanningThreshold) setSpanningThreshold(0);
    switch (strategie) {
    case bsDreiGenerationen:
        return RotateGenerations(job);
    case bsGleicheDatei:
        return "/" + job.Bezeichnung + ".zip";
    case bsJedenTag:
    default:
        return "/" + job.Bezeichnung + DaySuffix(now);
    }
}

}  // namespace vb
