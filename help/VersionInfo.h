#pragma once
// The program's version information: the texts a Windows version resource would
// hold, compiled into the program.
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

// `legalCopyright` used as a format with `year` as its one integer argument: "%d"
// (also "%u", "%4d" and such with a width) becomes the year and "%%" a percent sign.
// A text without format specifiers comes back unchanged, and so does any other
// specifier, which has no argument to take.
std::string FormatCopyright(const std::string& legalCopyright, int year);

}  // namespace vb
