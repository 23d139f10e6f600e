#pragma once
// Shell commands for tests: the peers that check our archives (unzip, 7-Zip, Python's
// zipfile) and the tools that make archives we must read.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace vb::test {

// Runs a shell command; returns its exit code (-1 when it did not exit normally) and
// puts standard output and standard error together in `output`.
inline int RunCommand(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buffer;
    std::string text;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What a shell command writes (standard output and standard error), whatever its
// exit code.
inline std::string CommandOutput(const std::string& command) {
    std::string output;
    RunCommand(command, &output);
    return output;
}

// True when the program is on PATH.
inline bool HaveTool(const std::string& name) { return RunCommand("command -v " + name + " >/dev/null") == 0; }

// Single-quoted for the shell.
inline std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

}  // namespace vb::test
