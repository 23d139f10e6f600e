#pragma once
// Remote folders for the tests of the copy to an rclone remote: real servers that
// rclone itself serves on localhost (WebDAV or SFTP) from a folder of the test, on a
// port the system chooses, with a login that a temporary rclone configuration
// (RCLONE_CONFIG) holds, and a proxy in front of one that cuts the connection after a
// given number of bytes. Each is ready when its constructor returns: it has named its
// port, which it only does once it listens.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/RunCommand.h"
#include "support/TempDir.h"

extern char** environ;

namespace vb::test {

// A child process whose standard output or standard error (`stream` 1 or 2) the test
// reads line by line; it is ended with SIGTERM when the object goes.
class BackgroundProcess {
public:
    BackgroundProcess(const std::vector<std::string>& argv, int stream) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], stream);
        std::vector<std::string> copies = argv;
        std::vector<char*> args;
        for (auto& a : copies) args.push_back(a.data());
        args.push_back(nullptr);
        const int spawned = ::posix_spawnp(&FPid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        FOut = ::fdopen(fds[0], "r");
        if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);
    }
    ~BackgroundProcess() { Stop(); }
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // Reads lines until one contains `marker` and returns it; throws at the end of the
    // stream (the process ended before it said so).
    std::string LineWith(const std::string& marker) {
        char* line = nullptr;
        std::size_t size = 0;
        std::string found;
        while (::getline(&line, &size, FOut) >= 0) {
            if (std::string(line).find(marker) != std::string::npos) {
                found = line;
                break;
            }
        }
        std::free(line);
        if (found.empty()) throw std::runtime_error("the process ended without \"" + marker + "\"");
        return found;
    }

    void Stop() {
        if (FPid > 0) {
            ::kill(FPid, SIGTERM);
            int status = 0;
            ::waitpid(FPid, &status, 0);
            FPid = -1;
        }
        if (FOut) std::fclose(FOut);
        FOut = nullptr;
    }

private:
    pid_t FPid = -1;
    FILE* FOut = nullptr;
};

// The number after the last colon of `line` ("... started on http://127.0.0.1:4711/",
// "... listening on 127.0.0.1:4711").
inline int PortIn(const std::string& line) {
    const std::size_t colon = line.rfind(':');
    if (colon == std::string::npos) throw std::runtime_error("no port in: " + line);
    return std::stoi(line.substr(colon + 1));
}

// rclone's configuration for the test: a file in the test's folder that
// RCLONE_CONFIG names while the object lives.
class RcloneConfig {
public:
    explicit RcloneConfig(const std::filesystem::path& file) : FFile(file), FEnv("RCLONE_CONFIG", file.string()) {
        WriteFile(FFile, "");
    }
    // Adds the remote `name` with `lines` ("key = value"); a "pass" is obscured as
    // rclone expects it.
    void AddRemote(const std::string& name, const std::vector<std::pair<std::string, std::string>>& lines) {
        std::string text = ReadFile(FFile) + "[" + name + "]\n";
        for (const auto& [key, value] : lines) {
            std::string stored = value;
            if (key == "pass") {
                stored = CommandOutput("rclone obscure " + Quote(value));
                while (!stored.empty() && stored.back() == '\n') stored.pop_back();
            }
            text += key + " = " + stored + "\n";
        }
        WriteFile(FFile, text + "\n");
    }
    const std::filesystem::path& File() const { return FFile; }

private:
    std::filesystem::path FFile;
    ScopedEnv FEnv;
};

enum class ServerKind { WebDav, Sftp };

inline const char* KindName(ServerKind kind) { return kind == ServerKind::WebDav ? "webdav" : "sftp"; }

// `rclone serve webdav|sftp` of `root` on 127.0.0.1, user "lehrer", password
// "geheim".
class RcloneServer {
public:
    static constexpr const char* kUser = "lehrer";
    static constexpr const char* kPassword = "geheim";

    RcloneServer(ServerKind kind, const std::filesystem::path& root, const std::filesystem::path& cache)
        : FKind(kind),
          FProcess(
              {"rclone", "serve", KindName(kind), "--addr", "127.0.0.1:0", "--user", kUser, "--pass", kPassword,
               "--cache-dir", cache.string(), root.string()},
              2) {
        FPort = PortIn(FProcess.LineWith(kind == ServerKind::WebDav ? "Server started on" : "listening on"));
    }

    int Port() const { return FPort; }
    ServerKind Kind() const { return FKind; }

    // The lines of a remote of this server reached at `port` (the server's own, or a
    // proxy's) with `password`.
    std::vector<std::pair<std::string, std::string>> RemoteLines(int port, const std::string& password) const {
        const std::string address = "127.0.0.1";
        if (FKind == ServerKind::WebDav) {
            return {{"type", "webdav"},
                    {"url", "http://" + address + ":" + std::to_string(port) + "/"},
                    {"vendor", "other"},
                    {"user", kUser},
                    {"pass", password}};
        }
        return {{"type", "sftp"}, {"host", address}, {"port", std::to_string(port)}, {"user", kUser}, {"pass", password}};
    }

    void Stop() { FProcess.Stop(); }

private:
    ServerKind FKind;
    BackgroundProcess FProcess;
    int FPort = 0;
};

// A TCP proxy in front of `port` that ends every connection and stops listening once
// `cutAfter` bytes have gone from the clients to the server: a connection lost in the
// middle of an upload, at a moment fixed by bytes, not by time.
class CuttingProxy {
public:
    CuttingProxy(int port, long cutAfter)
        : FProcess({"python3", VB_SOURCE_DIR "/tests/support/cutting-proxy.py", std::to_string(port),
                    std::to_string(cutAfter)},
                   1) {
        FPort = PortIn(FProcess.LineWith("port:"));  // "port:4711"
    }
    int Port() const { return FPort; }

private:
    BackgroundProcess FProcess;
    int FPort = 0;
};

}  // namespace vb::test
