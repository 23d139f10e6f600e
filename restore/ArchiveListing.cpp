#include "restore/ArchiveListing.h"

#include "platform/CreationStamp.h"
#include "platform/FileStat.h"
#include "util/Error.h"
#include "util/GermanFormat.h"

namespace vb {

std::string ArchiveStatusLine(const std::string& path) {
    const auto status = platform::StatPath(path, true);
    const auto stamp = platform::ReadCreationStamp(path);
    if (!status || !stamp) throw Error("File not found");
    std::string when = FormatShortDate(*stamp);
    if (stamp->tm_hour != 0 || stamp->tm_min != 0 || stamp->tm_sec != 0) when += " " + FormatLongTime(*stamp);
    return "Archivgr\xC3\xB6\xC3\x9F" "e: " + FormatThousands(static_cast<std::int64_t>(status->Size)) +
           " Bytes, erzeugt am " + when;
}

}  // namespace vb
