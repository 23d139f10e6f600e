#include "pass/RcloneDaemon.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <nlohmann/json.hpp>

#include "platform/ChildProcess.h"
#include "platform/LoopbackHttp.h"
#include "platform/SecureRandom.h"
#include "util/Error.h"

namespace vb {
namespace {

std::string Hex(const unsigned char* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

std::string Base64(const std::string& data) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    std::size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(data[i]) << 16 | static_cast<unsigned char>(data[i + 1]) << 8 |
                           static_cast<unsigned char>(data[i + 2]);
        for (int shift : {18, 12, 6, 0}) text += kDigits[(v >> shift) & 63];
    }
    if (i < data.size()) {
        const bool two = i + 1 < data.size();
        const unsigned v = static_cast<unsigned char>(data[i]) << 16 |
                           (two ? static_cast<unsigned char>(data[i + 1]) << 8 : 0u);
        text += kDigits[(v >> 18) & 63];
        text += kDigits[(v >> 12) & 63];
        text += two ? kDigits[(v >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

constexpr std::string_view kListening = "Serving remote control on http://127.0.0.1:";

}  // namespace

// What the starting server says on standard error, until it names its port.
struct RcloneDaemon::StartWatch {
    std::mutex Lock;
    std::condition_variable Changed;
    std::uint16_t Port = 0;
    bool Ended = false;
    std::string LastLine;
};

RcloneDaemon::RcloneDaemon(const std::vector<std::string>& flags) {
    unsigned char secret[16];
    platform::FillRandom(secret, sizeof secret);
    const std::string password = Hex(secret, sizeof secret);
    FAuthorization = "Basic " + Base64("vorlixbackup:" + password);

    auto watch = FWatch = std::make_shared<StartWatch>();
    // The options on the command line win over any RCLONE_RC_* of the environment: the
    // server asks for the password and serves no files.
    std::vector<std::string> argv = {"rclone",          "rcd", "--rc-addr", "127.0.0.1:0", "--rc-no-auth=false",
                                     "--rc-serve=false", "--rc-web-gui=false"};
    argv.insert(argv.end(), flags.begin(), flags.end());
    FProcess = std::make_unique<platform::ChildProcess>(
        argv, std::vector<std::string>{"RCLONE_RC_USER=vorlixbackup", "RCLONE_RC_PASS=" + password},
        [watch](std::string_view line) {
            const std::lock_guard lock(watch->Lock);
            if (line.empty()) {
                watch->Ended = true;
            } else if (const std::size_t at = line.find(kListening); at != std::string_view::npos) {
                watch->Port = static_cast<std::uint16_t>(std::atoi(std::string(line.substr(at + kListening.size())).c_str()));
            } else {
                watch->LastLine = std::string(line);
            }
            watch->Changed.notify_all();
        });
    if (!FProcess->Started()) {
        throw Error(MissingText());
    }
}

RcloneDaemon::~RcloneDaemon() = default;

std::string RcloneDaemon::MissingText() {
    return "Das Programm rclone wurde nicht gefunden; bitte das Debian-Paket \u201Erclone\u201C installieren.";
}

pid_t RcloneDaemon::Pid() const { return FProcess->Pid(); }

std::uint16_t RcloneDaemon::Port() const {
    std::unique_lock lock(FWatch->Lock);
    FWatch->Changed.wait_for(lock, std::chrono::seconds(30), [&] { return FWatch->Port != 0 || FWatch->Ended; });
    if (FWatch->Port == 0) {
        std::string text = "rclone konnte nicht gestartet werden";
        if (!FWatch->LastLine.empty()) text += " (rclone: " + FWatch->LastLine + ")";
        throw Error(text + ".");
    }
    return FWatch->Port;
}

nlohmann::json RcloneDaemon::Call(const std::string& method, const nlohmann::json& input) const {
    return Post(method, input, false);
}

nlohmann::json RcloneDaemon::CallLong(const std::string& method, const nlohmann::json& input) const {
    return Post(method, input, true);
}

nlohmann::json RcloneDaemon::Post(const std::string& method, const nlohmann::json& input, bool lasting) const {
    // rclone's own time limits (--contimeout, --timeout) end a remote that stops
    // answering; these only end the wait for an rclone that hangs itself.
    const auto patience = lasting ? std::chrono::hours(24) : std::chrono::minutes(10);
    const auto reply = platform::PostJson(Port(), "/" + method, FAuthorization, input.dump(),
                                          std::chrono::duration_cast<std::chrono::seconds>(patience));
    if (!reply) throw RcloneCallFailed(0, "rclone antwortet nicht mehr");
    nlohmann::json body = nlohmann::json::parse(reply->Body, nullptr, false);
    if (reply->Status == 200 && !body.is_discarded()) return body;
    std::string text = body.is_object() && body.contains("error") && body["error"].is_string()
                           ? body["error"].get<std::string>()
                           : reply->Body;
    throw RcloneCallFailed(reply->Status, text);
}

}  // namespace vb
