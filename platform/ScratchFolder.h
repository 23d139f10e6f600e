#pragma once
// A private folder for files that live only as long as one operation (an archive
// fetched from a remote for a restore): "<parent>/.<prefix>-<pid>-XXXXXX", mode 0700,
// removed with the files in it when the object goes. The process id in the name tells
// a later run whether the folder's maker still lives.
#include <string>

namespace vb::platform {

class ScratchFolder {
public:
    // Throws vb::Error with the system's text when the folder cannot be made.
    ScratchFolder(const std::string& parent, const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

// Removes what killed runs left of such folders in `parent`: folders named
// "." + prefix + "-<pid>-" and six characters whose process no longer runs, with the
// files in them. Returns how many it removed.
int RemoveStaleScratchFolders(const std::string& parent, const std::string& prefix);

}  // namespace vb::platform
