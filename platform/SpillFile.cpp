#include "platform/SpillFile.h"

#include "platform/FileIo.h"
#include "platform/TemporaryFiles.h"

namespace vb::platform {

std::optional<std::uint64_t> SpillFile::Append(std::initializer_list<std::string_view> pieces) {
    if (FFailed) return std::nullopt;
    if (!FFd.Valid()) {
        int error = 0;
        FFd = CreateScratchFile(FFolder, error);
        if (!FFd.Valid()) {
            FFailed = true;
            return std::nullopt;
        }
    }
    const std::uint64_t start = FSize;
    std::uint64_t at = start;
    for (const std::string_view piece : pieces) {
        if (!WriteAt(FFd.Get(), piece, at)) {
            FFailed = true;
            return std::nullopt;
        }
        at += piece.size();
    }
    FSize = at;
    return start;
}

}  // namespace vb::platform
