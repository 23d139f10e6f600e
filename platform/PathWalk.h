#pragma once
// Walking paths with descriptors, for a program that usually runs as root over
// folders that users own. The one rule for links, in both directions (the folders a
// backup reads, the folders a restore writes into): a symbolic link is followed only
// when it belongs to root or to the user the program runs as, which is the kernel's
// protected-symlinks rule applied everywhere. A user may plant a link in a folder of
// their own, but can never make root read or write through it.
//
// Each step opens the next name relative to the folder opened before and never lets
// the kernel follow a link by itself (O_NOFOLLOW): a link is pinned by a descriptor
// of its own, judged by its owner and read from that descriptor, so a link swapped in
// between a check and its use is never followed. Folders are opened with O_PATH,
// which needs the right to search the folders on the way but not to list them.
#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/FileStat.h"
#include "platform/UniqueFd.h"

namespace vb::platform {

enum class WalkProblem {
    None,
    Missing,       // a part of the path does not exist
    NotAFolder,    // a part is a file, or a link to one, where a folder is needed
    ForeignLink,   // a link that belongs to another user
    TooManyLinks,  // more than 40 links on the way (a loop)
    Failed,        // any other failure (no right to search, I/O): Error tells
};

struct WalkResult {
    UniqueFd Fd;  // the folder (O_PATH | O_DIRECTORY) when the walk succeeded
    WalkProblem Problem = WalkProblem::None;
    std::string Where;    // the path as far as the walk came, ending in the part that failed
    int Error = 0;        // errno of the failing step (Failed)
    uid_t LinkOwner = 0;  // the owner of a ForeignLink
    bool Ok() const { return Problem == WalkProblem::None; }
};

// Whether this process may follow a link that belongs to `owner`: root's links and
// its own user's.
bool MayFollowLinkOf(uid_t owner);

// Opens the folder `path`: an absolute path from "/", a relative one from the
// current folder. "." parts and repeated slashes are passed over; ".." goes to the
// parent of the folder reached so far.
WalkResult OpenFolder(std::string_view path);

// Opens `name`, one part without "/", inside the open folder `folder` as a folder,
// following a link there under the rule above. `shown` is the folder's path for the
// Where of a failure.
WalkResult OpenSubfolder(int folder, std::string_view name, std::string_view shown);

// The same, but a missing `name` is created first with `mode` (less the umask) and
// `created` tells so. A folder that a user puts there between creating and opening
// counts as found, a link as a link.
WalkResult OpenOrCreateSubfolder(int folder, std::string_view name, std::string_view shown, mode_t mode, bool& created);

// Opens the file `path` with `flags` (O_NOFOLLOW is added): the folders on the way,
// and a link in the file's own place, are followed only under the rule above. Fd is
// the open file when the walk succeeded; Missing when there is nothing at the end;
// Failed with Error for what the last open reports (EACCES, EISDIR, ...).
WalkResult OpenFile(std::string_view path, int flags);

// The same for `name`, one part without "/", inside the open folder `folder`
// (O_PATH will do); `shown` is the folder's path for the Where of a failure.
WalkResult OpenFileIn(int folder, std::string_view name, std::string_view shown, int flags);

// A file that a search found and judged, opened again to be read.
struct FoundFile {
    UniqueFd Fd;        // invalid when the path no longer leads to that file
    FileStatus Status;  // of the open file
};

// Opens `path` with `flags` (read-only ones) when it still leads to the regular file
// that the search found there (`device` and `inode`; inode 0: any regular file).
// Without a link on the way that is one open. Through a link the path is first
// resolved without opening what it ends in (O_PATH), and only the file found is then
// opened, so a link that a user points elsewhere after the search never makes this
// process open another file, not even for a moment (opening a device acts by
// itself). Which links may be followed was the search's to judge.
FoundFile OpenFoundFile(const std::string& path, dev_t device, ino_t inode, int flags);

// A German sentence for a failed walk, naming the path: "Der Pfad /a/b ist eine
// Verknüpfung eines anderen Benutzers (Eigentümer 1000) und wird nicht verfolgt." and
// the like.
std::string WalkProblemText(const WalkResult& result);

}  // namespace vb::platform
