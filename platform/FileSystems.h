#pragma once
// Kinds of mounted file systems, as the file search needs them.
#include <string>

namespace vb::platform {

// True when the folder `path` lies on a pseudo file system that holds no data of its
// own (proc, sysfs, devtmpfs, devpts, cgroup, debugfs, tracefs, securityfs, ...).
bool IsPseudoFileSystem(const std::string& path);
// The same for an open folder (O_PATH will do).
bool IsPseudoFileSystem(int folder);

}  // namespace vb::platform
