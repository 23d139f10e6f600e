#pragma once
// One folder of an rclone remote ("schule-nc:Sicherungen/Verwaltung"), reached through
// rclone's remote control, which the first operation starts and the object ends. rclone finds its configuration where it always does
// (RCLONE_CONFIG, else ~/.config/rclone/rclone.conf); the credentials stay there and
// never pass through this program. Every operation that fails throws vb::Error with a
// German message that says what went wrong (rclone missing, remote unknown, login
// refused, connection lost, remote full) and ends with rclone's own last words.
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "util/RunHost.h"

namespace vb {

class RcloneDaemon;

// A hash of a file as rclone names its kind ("MD5", "SHA-1") and its hex digits.
struct FileHash {
    std::string Kind;
    std::string Hex;
};

struct RemoteFile {
    std::string Name;  // without folder
    std::uint64_t Size = 0;
    std::time_t ModTime = 0;       // as the remote reports it, to the second
    std::optional<FileHash> Hash;  // only from Describe, where the remote offers MD5 or SHA-1
};

// Bytes moved so far and in all, while a transfer runs.
using TransferProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// A transfer's progress in the host's status line ("<text> (NN %)") and progress bar.
TransferProgress ProgressOnHost(RunHost& host, const std::string& text);

class RcloneRemote {
public:
    // `target` is "remote:folder" (the folder may be empty or have several levels).
    // Throws vb::Error for anything else, such as a text that rclone would read as
    // one of its options.
    explicit RcloneRemote(std::string target);
    ~RcloneRemote();
    RcloneRemote(RcloneRemote&&) noexcept;
    const std::string& Target() const { return FTarget; }
    // Starts rclone now, without waiting for it, so that its start overlaps other
    // work; the first operation would start it otherwise. Throws vb::Error when rclone
    // is not installed.
    void Start() const;
    // Target + "/" + name.
    std::string PathOf(const std::string& name) const;

    // The files of the folder; empty when the folder does not exist yet.
    std::vector<RemoteFile> List() const;
    // The file `name` of the folder with its size and its MD5 (else SHA-1) where the
    // remote offers one, in one call; nullopt when there is no such file.
    std::optional<RemoteFile> Describe(const std::string& name) const;
    // Copies the local file to `name` in the folder (created when missing), replacing
    // a file of that name; always sends the whole file, whatever a file of that name
    // holds already.
    void Upload(const std::string& localPath, const std::string& name, const TransferProgress& progress) const;
    // Copies `name` of the folder to the local file `localPath`.
    void Download(const std::string& name, const std::string& localPath, const TransferProgress& progress) const;
    // Renames `from` to `to` on the remote, without moving its bytes through this
    // machine where the remote can. `replace`: a file `to` may be there and is
    // replaced. False spares rclone the look for it; a file that is there after all is
    // then replaced or the rename fails, as the remote handles it.
    void Move(const std::string& from, const std::string& to, bool replace = true) const;
    void Delete(const std::string& name) const;
    // The hash of a local file in `kind` ("MD5", "SHA-1"), computed by rclone.
    std::string LocalHash(const std::string& localPath, const std::string& kind) const;
    // The names of the remotes that rclone's configuration holds, without the colon.
    static std::vector<std::string> ListRemotes();

private:
    const RcloneDaemon& Daemon() const;

    std::string FTarget;
    mutable std::unique_ptr<RcloneDaemon> FDaemon;
};

}  // namespace vb
