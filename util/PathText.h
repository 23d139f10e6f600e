#pragma once
// Paths as text: the folder and the name of a path, and the archive extension. Pure
// string work; nothing here asks the file system.
#include <string>
#include <string_view>

namespace vb {

// The folder part of `path`: "." without a slash, "/" for a name right below the root.
std::string FolderOf(const std::string& path);
// What follows the last slash (the whole path without one).
std::string FileNameOf(const std::string& path);
// The last name of `path`, slashes at its end ignored: "b" for "/a/b/".
std::string_view LastNameOf(std::string_view path);
// True when `name` ends in ".zip", letters in any case.
bool EndsWithZip(std::string_view name);

}  // namespace vb
