#include "ArchiveTestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>

#include <array>
#include <cstdio>

#include "util/Error.h"

namespace vb::test {

void MakeFile(const std::filesystem::path& file, const std::string& content, std::time_t mtime) {
    std::filesystem::create_directories(file.parent_path());
    WriteFile(file, content);
    struct utimbuf times{mtime, mtime};
    ::utime(file.c_str(), &times);
}

int RunCommand(const std::string& command, std::string* output) {
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

bool HaveTool(const std::string& name) {
    return RunCommand("command -v " + name + " >/dev/null") == 0;
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

}  // namespace vb::test
