#include "platform/MountPoints.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/FileStat.h"

namespace vb::platform {
namespace {

const std::set<std::string> kNetworkTypes = {"nfs",        "nfs4",       "cifs",          "smb3", "smbfs",
                                             "ncpfs",      "afs",        "ceph",          "glusterfs",
                                             "fuse.sshfs", "fuse.glusterfs", "fuse.davfs2", "davfs", "9p"};
// Block-device file systems that hold no files of their own to restore into.
const std::set<std::string> kImageTypes = {"squashfs"};

// Mount points write blanks, tabs, line feeds and backslashes as octal escapes.
std::string Unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// The subvolume a btrfs mount shows ("/@home" from "rw,subvol=/@home"); a mount of
// a subvolume names it as its root without being a bind mount.
std::string BtrfsSubvolume(const std::string& superOptions) {
    std::istringstream options(superOptions);
    for (std::string option; std::getline(options, option, ',');) {
        if (option.rfind("subvol=", 0) == 0) return Unescape(option.substr(7));
    }
    return {};
}

bool ReadFlag(const std::string& path) {
    std::ifstream in(path);
    int value = 0;
    return in >> value && value == 1;
}

bool BlockDeviceIsRemovable(unsigned major, unsigned minor) {
    const std::string device = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    // A partition reports through the disk it belongs to.
    return ReadFlag(device + "/removable") || ReadFlag(device + "/../removable");
}

}  // namespace

std::string MountKindName(MountKind kind) {
    switch (kind) {
    case MountKind::Root: return "Stammverzeichnis";
    case MountKind::Local: return "lokal";
    case MountKind::Removable: return "Wechseldatentr\xC3\xA4ger";
    case MountKind::Network: return "Netzwerk";
    }
    return {};
}

std::vector<MountPoint> ParseMountInfo(const std::string& text,
                                       const std::function<bool(unsigned major, unsigned minor)>& isRemovable) {
    std::vector<MountPoint> points;
    std::set<std::string> seen = {"/"};
    std::set<std::string> views;  // device and folder of each mount listed, and of "/"
    bool haveRoot = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - type source super-options
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string field; fields >> field;) f.push_back(field);
        const auto dash = std::find(f.begin(), f.end(), "-");
        if (f.size() < 6 || dash == f.end() || dash + 2 >= f.end()) continue;
        const std::string& type = *(dash + 1);
        const std::string& source = *(dash + 2);
        unsigned major = 0, minor = 0;
        if (std::sscanf(f[2].c_str(), "%u:%u", &major, &minor) != 2) continue;
        if (Unescape(f[4]) == "/" && !haveRoot) {
            haveRoot = true;
            views.insert(f[2] + " " + Unescape(f[3]));
            continue;
        }
        MountPoint point;
        point.Path = Unescape(f[4]);
        if (kNetworkTypes.count(type)) {
            point.Kind = MountKind::Network;
        } else if (source.rfind("/dev/", 0) == 0 && !kImageTypes.count(type)) {
            point.Kind = isRemovable && isRemovable(major, minor) ? MountKind::Removable : MountKind::Local;
        } else {
            continue;
        }
        // A bind mount shows a folder of a local file system that is mounted
        // elsewhere already (containers, sandboxes and services mount them for their
        // own use): the user restores to the file system's own mount point instead.
        // A network share may be mounted from a folder of its export, so only its
        // repeats are left out.
        const std::string root = Unescape(f[3]);
        const std::string superOptions = dash + 3 < f.end() ? *(dash + 3) : std::string();
        const bool wholeFileSystem = root == "/" || (type == "btrfs" && root == BtrfsSubvolume(superOptions));
        if (point.Kind != MountKind::Network && !wholeFileSystem) continue;
        if (!views.insert(f[2] + " " + root).second) continue;
        if (!seen.insert(point.Path).second) continue;
        points.push_back(std::move(point));
    }
    return points;
}

std::vector<MountPoint> RestoreRoots() {
    std::vector<MountPoint> roots = {{"/", MountKind::Root}};
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    for (MountPoint& point : ParseMountInfo(text.str(), BlockDeviceIsRemovable)) {
        const auto status = StatPath(point.Path, true);
        if (status && status->Kind == FileKind::Directory) roots.push_back(std::move(point));
    }
    return roots;
}

}  // namespace vb::platform
