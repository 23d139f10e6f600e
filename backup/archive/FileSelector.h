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

struct FileIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
};

struct SelectedItem {
    std::string Path;      // folder text of the pattern followed by the names found
    bool Folder = false;
    platform::FileStatus Status;  // as found while searching (a link's target)
};

// Calls `found` for each selected item. A symbolic link to a file is selected under
// its own name (its target's content is what gets saved); a symbolic link to a folder
// is neither selected nor descended into; devices, sockets and fifos are never
// selected. The file `exclude` (the archive being written) is never selected. A
// folder that cannot be listed adds nothing.
void SelectFiles(std::string_view pattern, bool recursive, const std::optional<FileIdentity>& exclude,
                 const std::function<void(const SelectedItem&)>& found);

}  // namespace vb::zip
