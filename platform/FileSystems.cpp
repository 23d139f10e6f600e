#include "platform/FileSystems.h"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <array>
#include <fstream>
#include <sstream>

namespace vb::platform {
namespace {

constexpr unsigned long kTmpfsMagic = 0x01021994;  // tmpfs and devtmpfs alike

constexpr std::array<unsigned long, 21> kPseudoMagics = {
    0x9fa0,      // proc
    0x62656572,  // sysfs
    0x1cd1,      // devpts
    0x27e0eb,    // cgroup
    0x63677270,  // cgroup2
    0x64626720,  // debugfs
    0x74726163,  // tracefs
    0x73636673,  // securityfs
    0x6165676c,  // pstore
    0xcafe4a11,  // bpf
    0x62656570,  // configfs
    0x65735543,  // fusectl
    0x19800202,  // mqueue
    0x958458f6,  // hugetlbfs
    0xde5e81e4,  // efivarfs
    0x42494e4d,  // binfmt_misc
    0xf97cff8c,  // selinuxfs
    0x6e736673,  // nsfs
    0x0187,      // autofs
    0x534f434b,  // sockfs
    0x50495045,  // pipefs
};

// The type name that /proc/self/mountinfo gives the mount of device `dev`.
std::string MountType(dev_t dev) {
    std::ifstream in("/proc/self/mountinfo");
    const std::string wanted = std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, device;
        fields >> id >> parent >> device;
        if (device != wanted) continue;
        // The type follows the " - " separator.
        const auto dash = line.find(" - ");
        if (dash == std::string::npos) continue;
        std::istringstream rest(line.substr(dash + 3));
        std::string type;
        rest >> type;
        return type;
    }
    return {};
}

bool IsPseudo(const struct statfs& fs, dev_t device) {
    const auto magic = static_cast<unsigned long>(fs.f_type);
    for (const unsigned long pseudo : kPseudoMagics)
        if (magic == pseudo) return true;
    return magic == kTmpfsMagic && MountType(device) == "devtmpfs";
}

}  // namespace

bool IsPseudoFileSystem(const std::string& path) {
    struct statfs fs{};
    struct stat st {};
    return ::statfs(path.c_str(), &fs) == 0 && ::stat(path.c_str(), &st) == 0 && IsPseudo(fs, st.st_dev);
}

bool IsPseudoFileSystem(int folder) {
    struct statfs fs {};
    struct stat st {};
    return ::fstatfs(folder, &fs) == 0 && ::fstat(folder, &st) == 0 && IsPseudo(fs, st.st_dev);
}

}  // namespace vb::platform
