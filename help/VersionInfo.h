#pragma once
// The program's version information: the texts a Windows version resource would hold.
#include <string>

namespace vb {

struct VersionInfo {
    std::string InternalName;
    std::string FileDescription;
    std::string FileVersion;
    std::string CompanyName;
    std::string ProductName;
    std::string LegalCopyright;
};

// The version information built into this executable.
const VersionInfo& ProgramVersionInfo();

}  // namespace vb
