#pragma once
// What an extraction finds on the target side and how it treats it:
// - an existing folder link (say /home pointing to another disk) is part of the system
//   restored into and is followed;
// - a file that is a link is replaced by the extracted file, never written through;
// - nothing an archive contains ever becomes a link (an entry holding a link is
//   written as a plain file);
// - a file that replaces an existing one keeps that file's owner, group and
//   permission bits (the archive holds no owner; a restore run by root must not hand
//   a user's files to root); a file created anew gets its folder's group and the
//   permissions 0666 less the umask.
#include <sys/types.h>

#include <string>

namespace vb::zip {

enum class FolderOnTheWay {
    Present,  // a folder, or a link to one
    Missing,  // nothing there: the folder is created
    Blocked,  // a file, a link to a file, or a link that leads nowhere
};

FolderOnTheWay ExamineFolderOnTheWay(const std::string& path);

// Gives the new content in `fd`, which is about to replace `target`, the owner, group
// and permission bits it should have (see above), with the write bits of the archive's
// read-only attribute on top: `readOnly` clears them all, else the owner may write.
// `directory` is the target's folder. Failures are ignored: the file keeps what it was
// created with.
void TakeOverOwnership(int fd, const std::string& target, const std::string& directory, mode_t umask,
                       bool readOnly);

}  // namespace vb::zip
