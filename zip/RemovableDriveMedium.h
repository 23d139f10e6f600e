#pragma once
// The real removable drive behind ArchiveMedium.
#include "zip/ArchiveMedium.h"
#include "platform/UniqueFd.h"

namespace vb {

class RemovableDriveMedium : public ArchiveMedium {
public:
    ~RemovableDriveMedium() override;
    bool IsRemovable(const std::string& path) override;
    bool MediumReady(const std::string& path) override;
    bool Create(const std::string& path) override;
    long Write(const void* data, std::size_t size) override;
    std::uint64_t FreeSpace() override;
    bool Rewrite(std::uint64_t offset, const void* data, std::size_t size) override;
    bool CloseFile() override;
    bool SetVolumeLabel(const std::string& path, const std::string& label) override;

private:
    UniqueFd FFd;
};

}  // namespace vb
