#pragma once
// Which disk files a pattern (folder + "/" + mask) selects: files and folders whose
// names match the mask, hidden ones included, and with recursion the same search in
// every subfolder, depth first in the order the file system lists them.
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileStat.h"

namespace vb::zip {

// `*` matches any run of characters, `?` one character; ASCII letters match without
// regard to case, every other character exactly. "*" and "*.*" match every name.
bool MatchesMask(std::string_view name, std::string_view mask);

struct SelectedItem {
    std::string Path;      // folder text of the pattern followed by the names found
    bool Folder = false;
    platform::FileStatus Status;  // as found while searching (a link's target)
};

enum class SkipReason {
    FolderUnreadable,  // a folder that exists but cannot be listed: its contents are missing
    ForeignLink,       // a link of another user to a file outside the searched folder, or
                       // on the way to the pattern's folder
};

struct SelectionHandlers {
    // Asked for every candidate file: true keeps it out (the archive being written,
    // and its temporary files), whatever happened to that file since the last call.
    std::function<bool(const std::string& path, const platform::FileStatus& status)> Excluded;
    std::function<void(const SelectedItem&)> Found;
    std::function<void(const std::string& path, SkipReason reason)> Skipped;
};

// Calls `Found` for each selected item. A symbolic link to a file is selected under
// its own name (its target's content is what gets saved) when the link belongs to the
// running user or to root, or when its target lies inside the pattern's folder; any
// other link to a file is reported as a ForeignLink. The pattern's folder is reached
// by the same rule (platform/PathWalk.h): a link of another user on the way to it, or
// in its place, reports the folder as a ForeignLink and selects nothing. Below it, a
// symbolic link to a folder is neither selected nor descended into, and folders are
// walked by descriptor, so one swapped for a link while the search runs is not entered; devices, sockets and fifos are
// never selected; pseudo file systems (proc, sysfs, devtmpfs, cgroup, ...) are never entered. A folder that exists but
// cannot be listed is reported as FolderUnreadable.
void SelectFiles(std::string_view pattern, bool recursive, const SelectionHandlers& handlers);

}  // namespace vb::zip
