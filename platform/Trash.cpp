#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/AtomicFile.h"
#include "platform/UniqueFd.h"
#include "util/Error.h"

namespace vb::platform {
namespace {

namespace fs = std::filesystem;

std::optional<struct stat> LStat(const fs::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return std::nullopt;
    return status;
}

// Creates `path` and its missing parents with mode 0700; true when it is a folder
// afterwards.
bool MakeFolders(const fs::path& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return true;
    if (path.has_parent_path() && path.parent_path() != path && !MakeFolders(path.parent_path())) return false;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return fs::is_directory(path, ec);
}

// A trash folder that may be used: a real folder (no link) owned by us.
bool UsableTrash(const fs::path& trash) {
    const auto status = LStat(trash);
    return status && S_ISDIR(status->st_mode) && status->st_uid == ::getuid();
}

// The file-name characters that stay as they are in the Path key (RFC 2396's
// unreserved characters and the separator); every other byte is %XX.
std::string EscapePath(std::string_view path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const unsigned char b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            std::string_view("-_.!~*'()/").find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

std::string DeletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

fs::path HomeTrash() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/') return fs::path(dataHome) / "Trash";
    const char* home = std::getenv("HOME");
    if (!home || *home != '/') return {};
    return fs::path(home) / ".local/share/Trash";
}

// The top folder of the file system that holds `folder`.
fs::path TopDirectory(const fs::path& folder, dev_t device) {
    fs::path top = folder;
    while (top.has_parent_path() && top.parent_path() != top) {
        const auto parent = LStat(top.parent_path());
        if (!parent || parent->st_dev != device) break;
        top = top.parent_path();
    }
    return top;
}

// The trash of the file system `device` at `top`: $top/.Trash/$uid when the
// administrator made $top/.Trash (a sticky folder, no link), else $top/.Trash-$uid.
fs::path TopTrash(const fs::path& top) {
    const std::string uid = std::to_string(::getuid());
    const fs::path shared = top / ".Trash";
    if (const auto status = LStat(shared); status && S_ISDIR(status->st_mode) && (status->st_mode & S_ISVTX)) {
        const fs::path mine = shared / uid;
        if (::mkdir(mine.c_str(), 0700) == 0 || errno == EEXIST) {
            if (UsableTrash(mine)) return mine;
        }
    }
    const fs::path own = top / (".Trash-" + uid);
    if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return UsableTrash(own) ? own : fs::path();
}

// Moves `file` into `trash`, recording `recordedPath` as where it came from.
bool MoveInto(const fs::path& trash, const fs::path& file, const std::string& recordedPath) {
    const fs::path files = trash / "files";
    const fs::path info = trash / "info";
    if (!MakeFolders(files) || !MakeFolders(info)) return false;
    const std::string stem = file.stem().string();
    const std::string extension = file.extension().string();
    const std::string content =
        "[Trash Info]\nPath=" + EscapePath(recordedPath) + "\nDeletionDate=" + DeletionDate() + "\n";
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const std::string name =
            attempt == 1 ? file.filename().string() : stem + "." + std::to_string(attempt) + extension;
        const fs::path infoFile = info / (name + ".trashinfo");
        // The info file is made first and exclusively: it reserves the name.
        UniqueFd fd(::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!fd.Valid()) {
            if (errno == EEXIST) continue;
            return false;
        }
        fd.Reset();
        bool written = true;
        try {
            WriteFileAtomically(infoFile, content, 0600);
        } catch (const Error&) {
            written = false;
        }
        std::error_code ec;
        const bool taken = fs::exists(fs::symlink_status(files / name, ec));  // a file without its info
        if (written && !taken && ::rename(file.c_str(), (files / name).c_str()) == 0) return true;
        ::unlink(infoFile.c_str());
        if (!written || !taken) return false;
    }
    return false;
}

}  // namespace

bool MoveToTrash(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    const fs::path file = fs::absolute(path, ec).lexically_normal();
    if (ec || !file.has_filename()) return false;
    const auto status = LStat(file);
    if (!status || S_ISDIR(status->st_mode)) return false;

    const fs::path home = HomeTrash();
    if (!home.empty() && MakeFolders(home)) {
        const auto trashStatus = LStat(home);
        if (trashStatus && trashStatus->st_dev == status->st_dev) return MoveInto(home, file, file.string());
    }
    const fs::path top = TopDirectory(file.parent_path(), status->st_dev);
    const fs::path trash = TopTrash(top);
    if (trash.empty()) return false;
    return MoveInto(trash, file, file.lexically_relative(top).string());
}

}  // namespace vb::platform
