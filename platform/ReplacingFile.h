#pragma once
// A file that takes the place of another only when it is whole: the new content goes
// to a temporary file beside the target, and Commit renames it into place. Until then
// the target stays as it was; a ReplacingFile destroyed without a commit removes its
// temporary file, so a failed write leaves neither a partial file nor a damaged old
// one behind.
//
// An unnamed file (where the file system has them) has no name at all until Commit
// links it in as the target: nothing can see or stumble on it, a killed program
// leaves nothing behind, and placing a new file is one change to its folder instead
// of two. Only a target that exists already still takes the way over a temporary
// name, since a link cannot replace it.
//
// Use: construct, check Valid(), write through Fd(), Commit(). Every step returns 0
// or the errno value of the call that failed.
#include <sys/types.h>

#include <string>

#include "platform/UniqueFd.h"

namespace vb::platform {

class ReplacingFile {
public:
    // Durable files are flushed to disk before they are renamed, and their folder
    // after it, so that the new content survives a power cut once Commit returns.
    enum class Durability { Durable, Volatile };
    // Replace: the target, if any, is replaced. NoReplace: the commit fails with
    // EEXIST when anything is at the target, which then stays as it is.
    enum class Placing { Replace, NoReplace };
    // Named: the temporary file has a name from the start. Unnamed: it has none until
    // Commit, where the file system allows that; elsewhere it is named.
    enum class Naming { Named, Unnamed };

    // Creates the temporary file (mode 0600) from `temporaryTemplate`, a path in the
    // target's folder ending in "XXXXXX"; by default TemporaryTemplateFor(target).
    explicit ReplacingFile(std::string target, Durability durability = Durability::Durable,
                           std::string temporaryTemplate = {}, Naming naming = Naming::Named);
    // The same inside the open folder `folder` (borrowed; O_PATH will do; it must stay
    // open while this object lives): `name` and `temporaryTemplate` are names in that
    // folder, so the file lands in that very folder whatever happens meanwhile to the
    // path that led there.
    // An unnamed file is created with `unnamedMode` (less the umask): nobody can open it
    // before it has a name; a named one always with 0600.
    ReplacingFile(int folder, std::string name, Durability durability, std::string temporaryTemplate, Naming naming,
                  mode_t unnamedMode = 0600);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Removes the temporary file unless it was committed.
    ~ReplacingFile();

    // False when the temporary file could not be created; CreateError() tells why.
    bool Valid() const { return FFd.Valid() || FCommitted; }
    int CreateError() const { return FCreateError; }
    // The temporary file, open for reading and writing; after Commit the same file
    // under the target's name. -1 after Close or TakeFd.
    int Fd() const { return FFd.Get(); }
    // The temporary file's name; empty for an unnamed file.
    const std::string& TemporaryPath() const { return FUnnamed ? kNoName : FTemporary; }
    const std::string& Target() const { return FTarget; }

    // Flushes the content to disk (Commit does it for a durable file when not yet done).
    [[nodiscard]] int Flush();
    // Closes the temporary file early, reporting what the close reports. An unnamed
    // file must stay open until Commit has linked it: it is closed when it is destroyed.
    [[nodiscard]] int Close();
    // Puts the file in the target's place. On failure the target is untouched and the
    // temporary file is still there (until destruction).
    [[nodiscard]] int Commit(Placing placing = Placing::Replace);
    // The open file; after Commit it is the file at the target.
    UniqueFd TakeFd() { return std::move(FFd); }

private:
    void Create(Naming naming, mode_t unnamedMode = 0600);
    int CommitUnnamed(Placing placing);

    static inline const std::string kNoName;
    int FFolder;              // AT_FDCWD when the names are paths
    std::string FFolderName;  // the folder as a name relative to FFolder
    std::string FTarget;
    std::string FTemporary;
    Durability FDurability;
    UniqueFd FFd;
    int FCreateError = 0;
    bool FFlushed = false;
    bool FCommitted = false;
    bool FUnnamed = false;
};

}  // namespace vb::platform
