#pragma once
// Reads a UTF-16 text file (the form of the log files) into lines.
#include <filesystem>
#include <string>
#include <vector>

namespace vb {

// The file's text as UTF-8 lines, split at CR LF, CR or LF. A leading FF FE is skipped;
// a leading FE FF marks big-endian units, which are swapped up to the first zero unit;
// any other start is read as UTF-16 little-endian. The text ends at the first zero
// unit or at the end of the file. Throws vb::Error when the file cannot be read.
std::vector<std::string> LoadTextFile(const std::filesystem::path& file);

}  // namespace vb
