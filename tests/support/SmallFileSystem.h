#pragma once
// A tmpfs of a given size mounted on a folder of the test, for a disk that fills up;
// unmounted when the object goes. Mounting needs root; Mounted() says whether it came.
#include <sys/mount.h>

#include <filesystem>
#include <string>

namespace vb::test {

class SmallFileSystem {
public:
    SmallFileSystem(const std::filesystem::path& folder, const std::string& size) : FFolder(folder) {
        std::filesystem::create_directories(folder);
        FMounted = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (FMounted) ::umount2(FFolder.c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool Mounted() const { return FMounted; }

private:
    std::filesystem::path FFolder;
    bool FMounted = false;
};

}  // namespace vb::test
