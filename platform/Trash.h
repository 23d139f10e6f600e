#pragma once
// The freedesktop.org trash: a file moved there can be put back by the desktop's
// file manager. Qt 6.4's QFile::moveToTrash is not used because it puts the file into
// "./files/" of the working folder, and reports success, when $XDG_DATA_HOME does
// not exist yet.
#include <string>

namespace vb::platform {

// Moves the file (never a folder) at `path` into the trash of the current user: the
// home trash ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash, created when
// missing) when the file lies on the same file system, otherwise the trash at the
// top of the file's own file system ($topdir/.Trash/$uid or $topdir/.Trash-$uid).
// A name already in the trash gets a number. Asks nothing and shows nothing;
// false when the file could not be moved (it then stays where it was).
bool MoveToTrash(const std::string& path);

}  // namespace vb::platform
