#pragma once
// A rename that never replaces an existing target, as the generation rotation of the
// archives needs: when the target name is taken, the rename fails and both files stay.
#include <string>

namespace vb::platform {

// Renames `from` to `to` only when nothing exists at `to` (not even a folder or a
// dangling link). False, with nothing changed, when `to` exists, `from` is missing or
// the file system refuses.
bool RenameNoReplace(const std::string& from, const std::string& to);
// The same with names relative to open folders (AT_FDCWD: the current folder).
bool RenameNoReplaceAt(int fromFolder, const std::string& from, int toFolder, const std::string& to);

}  // namespace vb::platform
