#pragma once
// A private folder for files that live only as long as one operation (an archive
// fetched from a remote for a restore): "<parent>/.<prefix>-XXXXXX", mode 0700, removed
// with the files in it when the object goes.
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
// "." + prefix + "-" and six characters, with the files in them. Only a caller that
// knows no run uses them (the holder of the pass lock) may call it. Returns how many
// it removed.
int RemoveStaleScratchFolders(const std::string& parent, const std::string& prefix);

}  // namespace vb::platform
