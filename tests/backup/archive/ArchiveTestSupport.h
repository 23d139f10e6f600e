#pragma once
// Helpers for the archive tests: files with given times, peer tools, and a look at
// the raw records of an archive.
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "support/TempDir.h"

namespace vb::test {

// Writes `content` and sets the last-write time.
void MakeFile(const std::filesystem::path& file, const std::string& content, std::time_t mtime = 1710496800);

// Runs a shell command; returns its exit code and puts stdout+stderr in `output`.
int RunCommand(const std::string& command, std::string* output = nullptr);

// True when the program is on PATH.
bool HaveTool(const std::string& name);

// Single-quoted for the shell.
std::string Quote(const std::string& text);

// The message of the vb::Error that `f` throws, or "" when it throws none.
std::string ErrorOf(const std::function<void()>& f);

}  // namespace vb::test
