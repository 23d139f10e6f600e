#pragma once
// The restore roots the drive selector offers: "/" first (stored names are relative to
// it, so a restore to "/" puts files back where they came from), then the mount points
// of real file systems: local and removable block devices and network shares, taken
// from /proc/self/mountinfo. Pseudo file systems (proc, sysfs, tmpfs, overlay, cgroup,
// ...), read-only images (squashfs), mounts of single files and bind mounts (a folder
// of a file system shown a second time, as containers and services set up) are left
// out.
#include <functional>
#include <string>
#include <vector>

namespace vb::platform {

enum class MountKind { Root, Local, Removable, Network };

struct MountPoint {
    std::string Path;  // without a trailing "/" except for "/" itself
    MountKind Kind = MountKind::Local;
};

// The kind as the selector shows it: "Stammverzeichnis", "lokal",
// "Wechseldatenträger", "Netzwerk".
std::string MountKindName(MountKind kind);

// The mount points of real file systems in the text of a mountinfo file, in its
// order, without "/" and without repeats. `isRemovable` answers for a block device
// given by its major and minor number.
std::vector<MountPoint> ParseMountInfo(const std::string& text,
                                       const std::function<bool(unsigned major, unsigned minor)>& isRemovable);

// "/" followed by the real mount points of this process that are folders.
std::vector<MountPoint> RestoreRoots();

}  // namespace vb::platform
