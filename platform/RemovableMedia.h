#pragma once
// Removable drives: whether a path lies on one, and its volume label.
#include <string>

namespace vb::platform {

// True when the block device holding `path` (or, for a missing file, its folder)
// reports itself removable in /sys.
bool IsOnRemovableDrive(const std::string& path);

// Sets the label of the FAT file system mounted at the drive of `path` with the
// system's fatlabel tool; false when that is not possible.
bool SetVolumeLabel(const std::string& path, const std::string& label);

}  // namespace vb::platform
