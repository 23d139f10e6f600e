#include "pass/RcloneRemote.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>
#include <string_view>

#include "pass/RcloneDaemon.h"
#include "platform/ProcessRunner.h"
#include "util/Error.h"

namespace vb {
namespace {

using nlohmann::json;

std::string Quoted(const std::string& text) { return "\u201E" + text + "\u201C"; }

// rclone's option, for one operation, not to look whether its destination exists.
json NoCheckDest() { return {{"NoCheckDest", true}}; }

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// A remote that stays away fails the pass within about a minute instead of hanging it.
const std::vector<std::string> kCommonFlags = {"--ask-password=false", "--low-level-retries", "3", "--contimeout",
                                               "15s",                  "--timeout",           "60s"};

// What went wrong, in German, from rclone's error text.
std::string Reason(std::string_view e, const std::string& target) {
    const std::string remote = target.substr(0, target.find(':'));
    if (Contains(e, "didn't find section in config file") || Contains(e, "not found in config")) {
        return "Das Ziel " + Quoted(remote) + " ist in der rclone-Konfiguration nicht eingerichtet (rclone config).";
    }
    if (Contains(e, "401 Unauthorized") || Contains(e, "403 Forbidden") || Contains(e, "unable to authenticate") ||
        Contains(e, "AccessDenied") || Contains(e, "InvalidAccessKeyId") || Contains(e, "SignatureDoesNotMatch")) {
        return "Die Anmeldung am Ziel " + Quoted(remote) +
               " wurde abgelehnt; bitte Benutzername und Passwort in der rclone-Konfiguration pr\u00FCfen.";
    }
    if (Contains(e, "Insufficient Storage") || Contains(e, "no space left") || Contains(e, "quota") ||
        Contains(e, "Quota")) {
        return "Auf dem Ziel " + Quoted(remote) + " ist kein Platz mehr frei.";
    }
    if (Contains(e, "connection refused") || Contains(e, "connection reset") || Contains(e, "EOF") ||
        Contains(e, "broken pipe") || Contains(e, "timeout") || Contains(e, "no such host") ||
        Contains(e, "unreachable") || Contains(e, "connection lost")) {
        return "Die Verbindung zum Ziel " + Quoted(remote) + " ist fehlgeschlagen oder abgebrochen.";
    }
    return "rclone konnte den Auftrag f\u00FCr das Ziel " + Quoted(remote) + " nicht ausf\u00FChren.";
}

[[noreturn]] void Fail(const std::string& complaint, const std::string& target) {
    std::string text = Reason(complaint, target);
    if (!complaint.empty()) text += " (rclone: " + complaint + ")";
    throw Error(text);
}

json Call(const RcloneDaemon& daemon, const std::string& method, const json& input, const std::string& target) {
    try {
        return daemon.Call(method, input);
    } catch (const RcloneCallFailed& failed) {
        Fail(failed.what(), target);
    }
}

// A copy of one file, with its progress read from rclone's statistics four times a
// second while the copy runs on a thread of its own.
void CopyFile(const RcloneDaemon& daemon, const json& input, const std::string& target,
              const TransferProgress& progress) {
    auto copy = std::async(std::launch::async, [&] { return daemon.CallLong("operations/copyfile", input); });
    while (copy.wait_for(std::chrono::milliseconds(250)) != std::future_status::ready) {
        if (!progress) continue;
        try {
            const json stats = daemon.Call("core/stats", json::object());
            const auto transferring = stats.find("transferring");
            if (transferring != stats.end() && transferring->is_array() && !transferring->empty()) {
                const json& file = transferring->front();
                progress(file.value("bytes", std::uint64_t{0}), file.value("size", std::uint64_t{0}));
            }
        } catch (const RcloneCallFailed&) {
            // The copy's own answer says what went wrong.
        }
    }
    try {
        copy.get();
    } catch (const RcloneCallFailed& failed) {
        Fail(failed.what(), target);
    }
}

// A local file as rclone's local file system ("/folder") and a name in it.
std::pair<std::string, std::string> LocalPlace(const std::string& path) {
    const std::filesystem::path whole = std::filesystem::absolute(path);
    return {whole.parent_path().string(), whole.filename().string()};
}

// rclone's key in "Hashes" for the kind ("MD5" -> "md5", "SHA-1" -> "sha1").
std::string HashKey(const std::string& kind) {
    std::string key;
    for (const char c : kind)
        if (c != '-') key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

// "2026-12-10T21:35:11.123456789+01:00" (or "...Z") as seconds since the epoch.
std::time_t ParseRfc3339(const std::string& text) {
    std::tm tm{};
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec, &consumed) != 6)
        return 0;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    std::time_t seconds = ::timegm(&tm);
    std::size_t at = static_cast<std::size_t>(consumed);
    if (at < text.size() && text[at] == '.') at = text.find_first_not_of("0123456789", at + 1);
    if (at != std::string::npos && at + 5 < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int offset = (std::atoi(text.c_str() + at + 1) * 60 + std::atoi(text.c_str() + at + 4)) * 60;
        seconds -= text[at] == '+' ? offset : -offset;
    }
    return seconds;
}

RemoteFile FileOf(const json& item) {
    RemoteFile file;
    file.Name = item.value("Name", std::string());
    file.Size = item.value("Size", std::uint64_t{0});
    file.ModTime = ParseRfc3339(item.value("ModTime", std::string()));
    if (const auto hashes = item.find("Hashes"); hashes != item.end() && hashes->is_object()) {
        for (const char* kind : {"MD5", "SHA-1"}) {
            const std::string hex = hashes->value(HashKey(kind), std::string());
            if (!hex.empty()) {
                file.Hash = FileHash{kind, hex};
                break;
            }
        }
    }
    return file;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
    return text;
}

}  // namespace

TransferProgress ProgressOnHost(RunHost& host, const std::string& text) {
    return [&host, text](std::uint64_t done, std::uint64_t total) {
        if (total == 0) return;
        host.SetStatus(text + " (" + std::to_string(done * 100 / total) + " %)");
        host.SetProgress(static_cast<int>(done * 1000 / total), 1000);
        host.Breathe();
    };
}

RcloneRemote::RcloneRemote(std::string target) : FTarget(std::move(target)) {
    // rclone would read a leading "-" as one of its options.
    if (FTarget.empty() || FTarget.front() == '-' || FTarget.find(':') == std::string::npos)
        throw Error("Das Ziel " + Quoted(FTarget) + " ist kein rclone-Ziel der Form remote:Ordner.");
}

RcloneRemote::~RcloneRemote() = default;
RcloneRemote::RcloneRemote(RcloneRemote&&) noexcept = default;

void RcloneRemote::Start() const {
    if (!FDaemon) FDaemon = std::make_unique<RcloneDaemon>(kCommonFlags);
}

const RcloneDaemon& RcloneRemote::Daemon() const {
    Start();
    return *FDaemon;
}

std::string RcloneRemote::PathOf(const std::string& name) const {
    if (FTarget.empty() || FTarget.back() == ':' || FTarget.back() == '/') return FTarget + name;
    return FTarget + "/" + name;
}

std::vector<RemoteFile> RcloneRemote::List() const {
    json reply;
    try {
        reply = Daemon().Call("operations/list",
                              {{"fs", FTarget}, {"remote", ""}, {"opt", {{"filesOnly", true}, {"noMimeType", true}}}});
    } catch (const RcloneCallFailed& failed) {
        // A folder that does not exist yet holds nothing.
        if (failed.Status == 404 && Contains(failed.what(), "directory not found")) return {};
        Fail(failed.what(), FTarget);
    }
    std::vector<RemoteFile> files;
    if (const auto list = reply.find("list"); list != reply.end() && list->is_array()) {
        for (const json& item : *list) files.push_back(FileOf(item));
    }
    return files;
}

std::optional<RemoteFile> RcloneRemote::Describe(const std::string& name) const {
    const json reply = Call(Daemon(), "operations/stat",
                            {{"fs", FTarget},
                             {"remote", name},
                             {"opt", {{"showHash", true}, {"hashTypes", {"MD5", "SHA-1"}}, {"noMimeType", true}}}},
                            FTarget);
    const auto item = reply.find("item");
    if (item == reply.end() || !item->is_object()) return std::nullopt;
    RemoteFile file = FileOf(*item);
    file.Name = name;
    return file;
}

void RcloneRemote::Upload(const std::string& localPath, const std::string& name,
                          const TransferProgress& progress) const {
    const auto [folder, file] = LocalPlace(localPath);
    // Without the look at the destination: rclone would skip a file there of the same
    // size and time, and the request costs a round trip.
    CopyFile(Daemon(),
             {{"srcFs", folder}, {"srcRemote", file}, {"dstFs", FTarget}, {"dstRemote", name}, {"_config", NoCheckDest()}},
             FTarget, progress);
}

void RcloneRemote::Download(const std::string& name, const std::string& localPath,
                            const TransferProgress& progress) const {
    const auto [folder, file] = LocalPlace(localPath);
    CopyFile(Daemon(), {{"srcFs", FTarget}, {"srcRemote", name}, {"dstFs", folder}, {"dstRemote", file}}, FTarget,
             progress);
}

void RcloneRemote::Move(const std::string& from, const std::string& to, bool replace) const {
    json input = {{"srcFs", FTarget}, {"srcRemote", from}, {"dstFs", FTarget}, {"dstRemote", to}};
    if (!replace) input["_config"] = NoCheckDest();
    Call(Daemon(), "operations/movefile", input, FTarget);
}

void RcloneRemote::Delete(const std::string& name) const {
    Call(Daemon(), "operations/deletefile", {{"fs", FTarget}, {"remote", name}}, FTarget);
}

std::string RcloneRemote::LocalHash(const std::string& localPath, const std::string& kind) const {
    const auto [folder, file] = LocalPlace(localPath);
    // A local file: none of the remote's reasons applies.
    const auto failed = [&](const std::string& complaint) {
        std::string text = "rclone konnte die Pr\u00FCfsumme (" + kind + ") der Datei " + localPath + " nicht berechnen.";
        if (!complaint.empty()) text += " (rclone: " + complaint + ")";
        return Error(text);
    };
    json reply;
    try {
        reply = Daemon().Call("operations/stat", {{"fs", folder},
                                                  {"remote", file},
                                                  {"opt", {{"showHash", true}, {"hashTypes", {kind}}, {"noMimeType", true}}}});
    } catch (const RcloneCallFailed& e) {
        throw failed(e.what());
    }
    const auto item = reply.find("item");
    if (item == reply.end() || !item->is_object()) throw failed("");
    return item->value("Hashes", json::object()).value(HashKey(kind), std::string());
}

std::vector<std::string> RcloneRemote::ListRemotes() {
    std::vector<std::string> argv = {"rclone", "listremotes"};
    argv.insert(argv.end(), kCommonFlags.begin(), kCommonFlags.end());
    const platform::StreamedResult result = platform::RunCommandStreamed(argv, {});
    if (result.ExitStatus == 127) throw Error(RcloneDaemon::MissingText());
    if (result.ExitStatus != 0) Fail(Trimmed(result.Errors), "");
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < result.Output.size()) {
        std::size_t end = result.Output.find('\n', start);
        if (end == std::string::npos) end = result.Output.size();
        std::string name = Trimmed(result.Output.substr(start, end - start));
        if (name.ends_with(':')) name.pop_back();
        if (!name.empty()) names.push_back(std::move(name));
        start = end + 1;
    }
    return names;
}

}  // namespace vb
