#pragma once
// rclone's remote control ("rclone rcd"), started once and asked over HTTP on the
// loopback address for each operation, so that a copy with its listing, check and
// rename starts rclone once and not once per step. It listens on a port the system
// chooses and answers only requests that carry a password drawn at random for it,
// which reaches rclone through its environment (never its command line): no other
// user of the machine can give it orders. It ends with the object.
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace vb {

namespace platform {
class ChildProcess;
}

// An operation that rclone refused or failed: its HTTP status (0 when rclone gave no
// answer at all) and rclone's own error text.
class RcloneCallFailed : public std::runtime_error {
public:
    RcloneCallFailed(int status, const std::string& text) : std::runtime_error(text), Status(status) {}
    int Status;
};

class RcloneDaemon {
public:
    // Starts `rclone rcd` with `flags` added to its command line; the first call waits
    // until it listens. Throws vb::Error with a German message when rclone is not
    // installed (and the first call, when it does not come up).
    explicit RcloneDaemon(const std::vector<std::string>& flags);
    ~RcloneDaemon();
    RcloneDaemon(const RcloneDaemon&) = delete;
    RcloneDaemon& operator=(const RcloneDaemon&) = delete;

    // rclone's reply to `method` ("operations/list") with `input`; throws
    // RcloneCallFailed. Calls may come from several threads at once.
    nlohmann::json Call(const std::string& method, const nlohmann::json& input) const;
    // The same for an operation that runs as long as a transfer does.
    nlohmann::json CallLong(const std::string& method, const nlohmann::json& input) const;

    // The port it listens on, once it does; throws vb::Error when it does not come up.
    std::uint16_t Port() const;
    // What a user reads when rclone is not installed.
    static std::string MissingText();
    pid_t Pid() const;

private:
    struct StartWatch;

    nlohmann::json Post(const std::string& method, const nlohmann::json& input, bool lasting) const;

    std::string FAuthorization;
    std::shared_ptr<StartWatch> FWatch;  // shared with the thread that reads rclone's output
    std::unique_ptr<platform::ChildProcess> FProcess;
};

}  // namespace vb
