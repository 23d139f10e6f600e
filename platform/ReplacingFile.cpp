#include "platform/ReplacingFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

#include "platform/RenameNoReplace.h"
#include "platform/TemporaryFiles.h"

namespace vb::platform {
namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

ReplacingFile::ReplacingFile(std::string target, Durability durability, std::string temporaryTemplate)
    : FTarget(std::move(target)),
      FTemporary(temporaryTemplate.empty() ? TemporaryTemplateFor(FTarget) : std::move(temporaryTemplate)),
      FDurability(durability) {
    FFd.Reset(::mkostemp(FTemporary.data(), O_CLOEXEC));
    if (!FFd.Valid()) FCreateError = errno;
}

ReplacingFile::~ReplacingFile() {
    FFd.Reset();
    if (!FCommitted && FCreateError == 0) ::unlink(FTemporary.c_str());
}

int ReplacingFile::Flush() {
    if (FFd.Valid() && ::fsync(FFd.Get()) != 0) return errno;
    FFlushed = true;
    return 0;
}

int ReplacingFile::Close() {
    // The descriptor is gone whatever close reports.
    if (FFd.Valid() && ::close(FFd.Release()) != 0) return errno;
    return 0;
}

int ReplacingFile::Commit(Placing placing) {
    if (FCommitted) return 0;
    if (FCreateError != 0) return FCreateError;
    const bool durable = FDurability == Durability::Durable;
    if (durable && !FFlushed) {
        if (const int error = Flush(); error != 0) return error;
    }
    if (placing == Placing::NoReplace) {
        if (!RenameNoReplace(FTemporary, FTarget)) return errno;
    } else if (::rename(FTemporary.c_str(), FTarget.c_str()) != 0) {
        return errno;
    }
    FCommitted = true;
    if (durable) {
        // Makes the rename itself last; a folder that cannot be flushed still has it.
        UniqueFd folder(::open(FolderOf(FTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.Valid()) ::fsync(folder.Get());
    }
    return 0;
}

}  // namespace vb::platform
